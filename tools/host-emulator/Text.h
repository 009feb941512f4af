// Text for the emulator's output: the plug-in's texts are Shift_JIS, the
// terminal wants UTF-8. The conversions both ways (utf8FromSjis,
// sjisFromUtf8) are tpp's, from TppOutput.h.
#pragma once

#include <string>

#include "TppOutput.h"

// Returns `sjis` as a quoted UTF-8 text with \n, \r, \t, \\ and \" escaped;
// a byte that is not code page 932 shows as U+FFFD natively.
std::string quoted(const std::string& sjis);

// Sets standard output and error to pass bytes unchanged (no CR LF), and
// standard output to be flushed at each line.
void useBinaryOutput();
