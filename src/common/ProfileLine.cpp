#include "common/ProfileLine.h"

#include <string.h>

#include "common/Cp932.h"

namespace {

// Trims a name or value and cuts it at a NUL.
void trimField(const char* text, size_t* start, size_t* end) {
  trimProfileBlanks(text, start, end);
  const void* nul = memchr(text + *start, '\0', *end - *start);
  if (nul != nullptr) *end = static_cast<size_t>(static_cast<const char*>(nul) - text);
}

}  // namespace

ProfileLine readProfileLine(const char* text, size_t start, size_t end) {
  ProfileLine line = {ProfileLineKind::blank, start, start, start, start, false};
  trimProfileBlanks(text, &start, &end);
  if (start == end) return line;

  if (text[start] == '[') {
    size_t close = 0;
    bool found = false;
    for (size_t i = start + 1; i < end; i += cp932CharLength(text + i, text + end)) {
      if (text[i] == ']') {
        close = i;
        found = true;
      }
    }
    if (found) {
      line.kind = ProfileLineKind::section;
      line.nameStart = start + 1;
      line.nameEnd = close;
      trimField(text, &line.nameStart, &line.nameEnd);
      line.valueStart = line.valueEnd = close;
      return line;
    }
  }

  // '=' (0x3D) is never the second byte of a character.
  const void* equals = memchr(text + start, '=', end - start);
  line.kind = ProfileLineKind::key;
  line.hasValue = equals != nullptr;
  line.nameStart = start;
  line.nameEnd = line.hasValue ? static_cast<size_t>(static_cast<const char*>(equals) - text) : end;
  line.valueStart = line.hasValue ? line.nameEnd + 1 : end;
  line.valueEnd = end;
  trimField(text, &line.nameStart, &line.nameEnd);
  trimField(text, &line.valueStart, &line.valueEnd);
  return line;
}
