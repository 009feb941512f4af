#include "template/SjisText.h"

#include <string.h>
#include <windows.h>

int32_t sjisCharLength(unsigned char lead) {
  if ((lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xEF)) return 2;
  return 1;
}

int32_t sjisStep(const char* text) {
  int32_t length = sjisCharLength(static_cast<unsigned char>(text[0]));
  // A lead byte right before the terminator is a cut character: step over
  // the lead byte alone so that the scan stops at the terminator.
  if (length == 2 && text[1] == '\0') return 1;
  return length;
}

namespace {

// Returns the index just behind the last backslash that starts a character,
// or 0 when there is none.
size_t findNameStart(const char* path) {
  size_t remembered = 0;
  for (size_t i = 0; path[i] != '\0'; i += sjisStep(path + i)) {
    if (path[i] == '\\') remembered = i + 1;
  }
  return remembered;
}

}  // namespace

void cutToDirectory(char* path) {
  size_t nameStart = findNameStart(path);
  if (nameStart != 0) path[nameStart] = '\0';
}

const char* baseNameOf(const char* path) { return path + findNameStart(path); }

char* baseNameOf(char* path) { return path + findNameStart(path); }

int32_t sameTextIgnoringCase(const char* a, const char* b) {
  int result = CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE | NORM_IGNOREWIDTH, a,
                              static_cast<int>(strlen(a)), b, static_cast<int>(strlen(b)));
  if (result == CSTR_EQUAL) return 0;
  if (result == CSTR_LESS_THAN) return -1;
  return 1;
}
