#include "common/Cp932.h"

bool isCp932LeadByte(unsigned char byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }

bool isCp932TrailByte(unsigned char byte) { return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFC); }

size_t cp932CharLength(const char* text, const char* end) {
  if (isCp932LeadByte(static_cast<unsigned char>(text[0])) && text + 1 < end &&
      isCp932TrailByte(static_cast<unsigned char>(text[1]))) {
    return 2;
  }
  return 1;
}

size_t cp932Step(const char* text) {
  // text[1] exists: text[0] is no terminator. A terminator there is no
  // trail byte, so the lead byte counts alone.
  if (isCp932LeadByte(static_cast<unsigned char>(text[0])) && isCp932TrailByte(static_cast<unsigned char>(text[1]))) {
    return 2;
  }
  return 1;
}

size_t cp932CharCount(const char* text, size_t length) {
  size_t count = 0;
  for (const char* end = text + length; text < end; text += cp932CharLength(text, end)) ++count;
  return count;
}

bool isProfileBlank(unsigned char byte) { return byte == ' ' || (byte >= '\t' && byte <= '\r') || byte == 0x1A; }

void trimProfileBlanks(const char* text, size_t* start, size_t* end) {
  while (*start < *end && isProfileBlank(static_cast<unsigned char>(text[*start]))) ++*start;
  while (*end > *start && isProfileBlank(static_cast<unsigned char>(text[*end - 1]))) --*end;
}

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

char upperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

void appendFoldedName(std::string* out, const char* name, size_t length) {
  const char* end = name + length;
  for (const char* p = name; p < end;) {
    size_t step = cp932CharLength(p, end);
    if (step == 1) {
      *out += lowerAscii(*p);
    } else {
      out->append(p, step);
    }
    p += step;
  }
}
