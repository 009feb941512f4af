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

// Reads the ghost the template file `path` names ([config] ghost) into
// `buffer` of kGhostNameSize bytes, as the catalogue keeps it: "" when the
// file names none or cannot be read, at most 259 bytes of whole characters
// otherwise. The buffer is always terminated.
void readTemplateGhost(const char* path, char (&buffer)[kGhostNameSize]);

// Whether entry `index` of `catalog` can be chosen: its path fits a job's
// templatePath (fewer than 260 bytes). A settings list leaves out the
// entries that can't.
bool templateChoosable(const TemplateCatalog* catalog, int32_t index);

// The text a settings list shows for entry `index` (0 <= index <
// entryCount): "GHOST (FILE)", or "SEND/1.1 (FILE)" for a template that
// names no ghost, FILE being the file's name without its folder. Returns a
// new text (free with free()), or null when memory cannot be had.
char* templateLabel(const TemplateCatalog* catalog, int32_t index);

// The texts around the catalogue in every edition's settings window,
// Shift_JIS: the labels in front of the template list and the port list,
// and what is said when the folder holds no template (with a line feed at
// its end, as a message box shows it).
extern const char kTemplateListLabel[];  // "ファイル："
extern const char kPortListLabel[];      // "ポート："
extern const char kNoTemplateText[];     // "TPP ファイルが見つかりません"
