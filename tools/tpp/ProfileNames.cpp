#include "ProfileNames.h"

#include <string.h>

#include "common/Cp932.h"

std::string foldedName(const std::string& name) {
  size_t start = 0;
  size_t end = name.size();
  trimProfileBlanks(name.data(), &start, &end);
  std::string out;
  appendFoldedName(&out, name.data() + start, end - start);
  return out;
}

int64_t numberedKey(const std::string& name, const char* prefix) {
  std::string f = foldedName(name);
  size_t prefixLength = strlen(prefix);
  if (f.compare(0, prefixLength, prefix) != 0) return -1;
  std::string digits = f.substr(prefixLength);
  if (digits.empty() || digits.size() > 10 || digits[0] == '0') return -1;
  int64_t value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
  }
  return value;
}
