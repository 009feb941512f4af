// Code page 932 text on the tools' output: converted to UTF-8 for a
// terminal, converted back from UTF-8 for what is typed in one, and written
// as bytes without newline conversion. Used by tpp, sstp-receiver and the
// host emulator (library tppoutput); it needs nothing of the plug-in or the
// stand-ins, since the emulator must not carry a second copy of them.
#pragma once

#include <stdio.h>

#include <string>

// Returns the code page 932 text `sjis` as UTF-8; every byte counts, a NUL
// too. A byte that is not code page 932, or a lead byte cut off by the end,
// becomes U+FFFD natively and the platform's replacement character on
// Windows. When the system has no converter for code page 932 it returns
// `sjis` unchanged and sets *converted to false; otherwise *converted is set
// to true. `converted` may be null.
std::string utf8FromSjis(const std::string& sjis, bool* converted = nullptr);

// Returns the UTF-8 text `utf8` as code page 932. Natively a byte that does
// not convert (no UTF-8, or a character that code page 932 lacks) is kept as
// it is; Windows puts its default character instead. Without a converter,
// returns `utf8` unchanged.
std::string sjisFromUtf8(const std::string& utf8);

// Makes `stream` pass bytes unchanged: on Windows the C runtime's text mode
// would turn every "\n" into "\r\n". Elsewhere streams pass bytes as they
// are and nothing is done.
void setBinaryMode(FILE* stream);

// Writes `text` (code page 932, NUL-terminated) to `out` in binary mode with
// nothing added: its bytes unchanged or, with `utf8`, converted by
// utf8FromSjis; then flushes `out`. Returns true, or false when there is no
// converter or the write or flush failed.
bool writeScriptText(FILE* out, const char* text, bool utf8);
