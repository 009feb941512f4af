// `tpp lint`: finds what makes a template say less than its author meant.
// A template is read the way the plug-in reads it (the profile functions for
// values) plus a scan of its lines for line numbers and for the list of its
// sections and keys.
#pragma once

#include <stdio.h>

// Checks the template files `paths[0..count-1]` and writes one line per
// problem to `out`, ordered by line: "FILE:LINE: error: message" or
// "FILE:LINE: warning: message". A file that can't be read is named on
// `err` and the others are still checked. With `utf8` the messages, which
// may quote the template's Shift_JIS text, are written as UTF-8. Returns 2
// when a file could not be read or the report could not be written, else 1
// when any error was found, else 0 (warnings alone give 0).
int lintTemplateFiles(int count, const char* const* paths, bool utf8, FILE* out, FILE* err);
