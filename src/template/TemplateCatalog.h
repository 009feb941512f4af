// The template files (*.tpp) in the plug-in's folder with the ghost each names.
#pragma once

#include <stddef.h>
#include <stdint.h>

// Bytes read for the ghost a template names, the terminator included.
constexpr size_t kGhostNameSize = 260;

struct TemplateCatalog {
  int32_t entryCount;  // 0 or more
  char** paths;        // folder followed by file name; null when entryCount is 0
  char** ghostNames;   // [config] ghost of each file, "" when none; null when entryCount is 0
};

// Returns a new catalogue of the files matching "*.tpp" in `folder` (a text
// ending in a backslash), in the order the directory search gives them. A
// folder without templates, or one that can't be searched, gives a
// catalogue with no entries; so does a folder longer than 254 bytes, which
// leaves no room for "*.tpp" in the 260-byte search pattern. A ghost name
// is at most 259 bytes; a path has no limit. Returns null only when memory
// cannot be had (nothing is kept then).
TemplateCatalog* scanTemplates(const char* folder);

// Frees a catalogue from scanTemplates with everything it owns. Null does nothing.
void releaseTemplates(TemplateCatalog* catalog);
