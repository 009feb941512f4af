// Copies of texts, allocated the way every text the plug-in builds is: with
// malloc, released by the caller with free().
#pragma once

// Returns a new copy of `text` with its terminator; null `text` is copied as
// the empty text. Returns null only when memory cannot be had.
char* copyText(const char* text);
