// Rules for looking at Shift_JIS (code page 932) text. Every text of the
// plug-in is a NUL-terminated Shift_JIS byte string; a scan for an ASCII sign
// steps by characters and looks only at each character's first byte, so the
// second byte of a double-byte character (ソ is 0x83 0x5C) is never taken
// for a backslash or a bracket.
#pragma once

#include <stdint.h>

// Returns the length in bytes, 1 or 2, of the character whose first byte is
// `lead`: 2 for 0x81-0x9F and 0xE0-0xEF, 1 for every other byte. A fixed
// table; the platform is not asked which bytes are lead bytes.
// It differs from the platform's rule (common/Cp932.h, lead bytes to 0xFC)
// on purpose: the plug-in's scans are defined by this table alone.
int32_t sjisCharLength(unsigned char lead);

// Returns the length of the character at `text`, never stepping over the
// terminator: a lead byte followed by NUL counts as 1. Scans that use it
// read nothing behind the terminator of a text cut inside a character.
int32_t sjisStep(const char* text);

// Shortens `path` in place right behind its last backslash, leaving its
// folder ("C:\a\b.tpp" becomes "C:\a\"). Without a backslash, and for an
// empty text, the text stays unchanged.
void cutToDirectory(char* path);

// Returns a pointer into `path` at its file name: the part after the last
// backslash, the whole text when there is none, the empty text when the
// path ends with a backslash. No copy is made.
const char* baseNameOf(const char* path);
char* baseNameOf(char* path);

// Compares two whole texts ignoring letter case and character width (a
// full-width letter equals its ASCII form), with the platform's locale
// comparison. Returns 0 when equal, -1 when `a` sorts first, 1 otherwise,
// also when the comparison itself fails.
int32_t sameTextIgnoringCase(const char* a, const char* b);
