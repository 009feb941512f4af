// Code page 932 as the platform reads it: the bytes that begin and continue
// a double-byte character, stepping by characters, the blanks that the
// profile functions drop around names and values, and letter case in names.
// The native stand-ins for the profile, directory search and comparison
// functions follow these rules, and so do the tools that read templates the
// way those functions do. The plug-in's own scans use the fixed table of
// template/SjisText.h instead.
#pragma once

#include <stddef.h>

#include <string>

// True for 0x81-0x9F and 0xE0-0xFC, the first byte of a double-byte
// character.
bool isCp932LeadByte(unsigned char byte);

// True for 0x40-0x7E and 0x80-0xFC, the bytes that can follow a lead byte.
// No byte below '@' is one: NUL, line ends, blanks, '=' and '.' always stand
// for themselves.
bool isCp932TrailByte(unsigned char byte);

// Returns the length in bytes, 1 or 2, of the character at `text` in a text
// that ends at `end` (text < end), reading nothing at `end` or behind it: 2
// for a lead byte followed by a trail byte, 1 for every other byte, so a
// lead byte cut off by the end or followed by a byte that can't continue it
// counts alone.
size_t cp932CharLength(const char* text, const char* end);

// The same for a NUL-terminated text, `text` not at its terminator. NUL is
// no trail byte, so the step never passes the terminator.
size_t cp932Step(const char* text);

// Returns the number of characters in the `length` bytes at `text`, stepped
// as cp932CharLength steps.
size_t cp932CharCount(const char* text, size_t length);

// True for the blanks that the profile functions drop around lines, names
// and values: tab, LF, VT, FF, CR, space and ^Z (0x1A). None is a trail
// byte, so dropping them from either end never splits a character.
bool isProfileBlank(unsigned char byte);

// Moves *start forward and *end back over the blanks at both ends of the
// bytes text[*start] to text[*end - 1]; an all-blank range ends empty with
// *start == *end.
void trimProfileBlanks(const char* text, size_t* start, size_t* end);

// Returns `c` in lower case (upper case) when it is an ASCII letter, every
// other byte unchanged.
char lowerAscii(char c);
char upperAscii(char c);

// Appends the `length` bytes at `name` to *out with the ASCII letters among
// its single-byte characters in lower case; a double-byte character is
// copied as it is (ア is 0x83 0x41, ャ is 0x83 0x61). Two trimmed names are
// the same name to the profile functions exactly when their folded texts
// are equal.
void appendFoldedName(std::string* out, const char* name, size_t length);
