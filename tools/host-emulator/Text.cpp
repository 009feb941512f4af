#include "Text.h"

#include <stdio.h>

std::string quoted(const std::string& sjis) {
  std::string text = utf8FromSjis(sjis);
  std::string out = "\"";
  for (char c : text) {
    switch (c) {
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      default: out += c;
    }
  }
  return out + "\"";
}

void useBinaryOutput() {
  setBinaryMode(stdout);
  setBinaryMode(stderr);
  setvbuf(stdout, nullptr, _IOLBF, 0);
}
