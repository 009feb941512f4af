// Writing Shift_JIS text to the console or a pipe from `tpp`.
#pragma once

#include <stdio.h>

// Writes `text` (Shift_JIS) to `out` with no newline conversion and nothing
// added: the bytes unchanged, or with `utf8` converted from code page 932
// to UTF-8 (an invalid byte becomes U+FFFD natively, the platform's
// replacement character on Windows). Returns 1, or 0 when the conversion or
// the write failed.
int writeScriptText(FILE* out, const char* text, int utf8);
