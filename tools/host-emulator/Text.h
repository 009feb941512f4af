// Text for the emulator's output: the plug-in's texts are Shift_JIS, the
// terminal wants UTF-8.
#pragma once

#include <string>

// Returns the Shift_JIS (code page 932) text `sjis` as UTF-8; bytes that
// don't convert are kept as they are.
std::string utf8FromSjis(const std::string& sjis);

// Returns the UTF-8 text `utf8` as Shift_JIS; on failure the bytes as given.
std::string sjisFromUtf8(const std::string& utf8);

// Returns `sjis` as a quoted UTF-8 text with \n, \r, \t, \\ and \" escaped.
std::string quoted(const std::string& sjis);

// Sets standard output and error to pass bytes unchanged (no CR LF).
void useBinaryOutput();
