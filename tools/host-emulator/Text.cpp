#include "Text.h"

#include <stdio.h>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <iconv.h>
#endif

namespace {

#ifdef _WIN32
std::string convert(const std::string& text, UINT from, UINT to) {
  if (text.empty()) return text;
  int wide = MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (wide <= 0) return text;
  std::wstring buffer(static_cast<size_t>(wide), L'\0');
  MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), &buffer[0], wide);
  int bytes = WideCharToMultiByte(to, 0, buffer.data(), wide, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return text;
  std::string out(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(to, 0, buffer.data(), wide, &out[0], bytes, nullptr, nullptr);
  return out;
}
#else
std::string convert(const std::string& text, const char* from, const char* to) {
  if (text.empty()) return text;
  iconv_t converter = iconv_open(to, from);
  if (converter == reinterpret_cast<iconv_t>(-1)) return text;
  std::string out;
  char buffer[256];
  char* in = const_cast<char*>(text.data());
  size_t inLeft = text.size();
  while (inLeft > 0) {
    char* outPtr = buffer;
    size_t outLeft = sizeof buffer;
    size_t result = iconv(converter, &in, &inLeft, &outPtr, &outLeft);
    out.append(buffer, static_cast<size_t>(outPtr - buffer));
    if (result == static_cast<size_t>(-1) && outLeft == sizeof buffer) {
      // A byte that doesn't convert: keep it and go on.
      out += *in++;
      --inLeft;
    }
  }
  iconv_close(converter);
  return out;
}
#endif

}  // namespace

std::string utf8FromSjis(const std::string& sjis) {
#ifdef _WIN32
  return convert(sjis, 932, CP_UTF8);
#else
  return convert(sjis, "CP932", "UTF-8");
#endif
}

std::string sjisFromUtf8(const std::string& utf8) {
#ifdef _WIN32
  return convert(utf8, CP_UTF8, 932);
#else
  return convert(utf8, "UTF-8", "CP932");
#endif
}

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
#ifdef _WIN32
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
#endif
  setvbuf(stdout, nullptr, _IOLBF, 0);
}
