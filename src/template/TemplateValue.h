// One value of a template file, read through the platform's profile
// functions into a buffer of the reader's size: the one way the plug-in and
// the template tools read a text value, so that both see the same bytes.
#pragma once

#include <stddef.h>

// Reads the value of `key` in `section` of the template file `path` into
// `buffer` of `size` bytes (at least 1), or `fallback` when the file has no
// such key, and returns its length. The value holds only bytes of the file
// (or of `fallback`): one that does not fit ends at its last whole
// character within size - 1 bytes, also when the profile function cuts it
// inside a double-byte character, where it leaves the byte that character
// would begin at unwritten (the buffer is cleared before the read, so that
// byte ends the value). A read the function does not write at all (Windows,
// for a path of 260 bytes or more) gives the empty text. The buffer is
// always terminated, at the latest in its last byte.
size_t readTemplateValue(const char* path, const char* section, const char* key, const char* fallback,
                         char* buffer, size_t size);
