#include "template/TemplateCatalog.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include "common/TextCopy.h"
#include "template/JobRecord.h"
#include "template/SjisText.h"
#include "template/TemplateValue.h"

namespace {

// The file names found by one directory search, in the order found: a
// singly linked list that is appended at its tail and read from its head.
struct FoundName {
  FoundName* next;
  char name[1];  // allocated to the name's length
};

struct FoundNames {
  FoundName* head;
  FoundName** tail;
  int32_t count;
};

bool appendName(FoundNames* list, const char* name) {
  size_t length = strlen(name);
  FoundName* node = static_cast<FoundName*>(malloc(sizeof(FoundName) + length));
  if (node == nullptr) return false;
  node->next = nullptr;
  memcpy(node->name, name, length + 1);
  *list->tail = node;
  list->tail = &node->next;
  ++list->count;
  return true;
}

void releaseNames(FoundNames* list) {
  FoundName* node = list->head;
  while (node != nullptr) {
    FoundName* next = node->next;
    free(node);
    node = next;
  }
  list->head = nullptr;
  list->tail = &list->head;
  list->count = 0;
}

// Collects the names matching `pattern`. Returns false when memory ran out.
bool searchFolder(const char* pattern, FoundNames* list) {
  WIN32_FIND_DATAA data;
  HANDLE search = FindFirstFileA(pattern, &data);
  if (search == INVALID_HANDLE_VALUE) return true;
  bool ok = true;
  do {
    // The search fills a 260-byte field; never read past it.
    data.cFileName[MAX_PATH - 1] = '\0';
    if (!appendName(list, data.cFileName)) {
      ok = false;
      break;
    }
  } while (FindNextFileA(search, &data));
  FindClose(search);
  return ok;
}

// Fills entry `index` of `catalog` for the file `name` in `folder`.
bool fillEntry(TemplateCatalog* catalog, int32_t index, const char* folder, const char* name) {
  size_t folderLength = strlen(folder);
  size_t nameLength = strlen(name);
  char* path = static_cast<char*>(malloc(folderLength + nameLength + 1));
  if (path == nullptr) return false;
  memcpy(path, folder, folderLength);
  memcpy(path + folderLength, name, nameLength + 1);
  catalog->paths[index] = path;

  char ghost[kGhostNameSize];
  readTemplateGhost(path, ghost);
  catalog->ghostNames[index] = copyText(ghost);
  return catalog->ghostNames[index] != nullptr;
}

}  // namespace

void readTemplateGhost(const char* path, char (&buffer)[kGhostNameSize]) {
  readTemplateValue(path, "config", "ghost", "", buffer, kGhostNameSize);
}

TemplateCatalog* scanTemplates(const char* folder) {
  TemplateCatalog* catalog = static_cast<TemplateCatalog*>(calloc(1, sizeof(TemplateCatalog)));
  if (catalog == nullptr) return nullptr;
  if (folder == nullptr) return catalog;

  // A folder too long for the 260-byte pattern can't be searched: no entries.
  char pattern[MAX_PATH];
  int length = snprintf(pattern, sizeof pattern, "%s*.tpp", folder);
  if (length < 0 || length >= static_cast<int>(sizeof pattern)) return catalog;

  FoundNames names = {nullptr, nullptr, 0};
  names.tail = &names.head;
  bool ok = searchFolder(pattern, &names);
  if (ok && names.count > 0) {
    size_t slots = static_cast<size_t>(names.count);
    catalog->paths = static_cast<char**>(calloc(slots, sizeof(char*)));
    catalog->ghostNames = static_cast<char**>(calloc(slots, sizeof(char*)));
    ok = catalog->paths != nullptr && catalog->ghostNames != nullptr;
    // entryCount grows entry by entry, so a release on failure frees
    // exactly what was filled (the slots start null).
    for (FoundName* node = names.head; ok && node != nullptr; node = node->next) {
      ok = fillEntry(catalog, catalog->entryCount, folder, node->name);
      ++catalog->entryCount;
    }
  }
  releaseNames(&names);
  if (!ok) {
    releaseTemplates(catalog);
    return nullptr;
  }
  return catalog;
}

void releaseTemplates(TemplateCatalog* catalog) {
  if (catalog == nullptr) return;
  for (int32_t i = 0; i < catalog->entryCount; ++i) {
    if (catalog->paths != nullptr) free(catalog->paths[i]);
    if (catalog->ghostNames != nullptr) free(catalog->ghostNames[i]);
  }
  free(catalog->paths);
  free(catalog->ghostNames);
  free(catalog);
}

const char kTemplateListLabel[] = "\x83\x74\x83\x40\x83\x43\x83\x8B\x81\x46";  // ファイル：
const char kPortListLabel[] = "\x83\x7C\x81\x5B\x83\x67\x81\x46";  // ポート：
// TPP ファイルが見つかりません
const char kNoTemplateText[] =
    "TPP \x83\x74\x83\x40\x83\x43\x83\x8B\x82\xAA\x8C\xA9\x82\xC2\x82\xA9\x82\xE8\x82\xDC\x82\xB9\x82\xF1\n";

bool templateChoosable(const TemplateCatalog* catalog, int32_t index) {
  return strlen(catalog->paths[index]) < sizeof(JobRecord::templatePath);
}

char* templateLabel(const TemplateCatalog* catalog, int32_t index) {
  const char* ghost = catalog->ghostNames[index];
  const char* file = baseNameOf(catalog->paths[index]);
  size_t size = strlen(ghost) + strlen(file) + sizeof("SEND/1.1 ()");
  char* text = static_cast<char*>(malloc(size));
  if (text == nullptr) return nullptr;
  if (ghost[0] != '\0') {
    snprintf(text, size, "%s (%s)", ghost, file);
  } else {
    snprintf(text, size, "SEND/1.1 (%s)", file);
  }
  return text;
}

