#include "TppOutput.h"

#include <string.h>

#include <string>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <errno.h>
#include <iconv.h>
#endif

// The UTF-8 form of a code page 932 text; false when it can't be made.
static bool toUtf8(const char* text, std::string* utf8) {
  size_t length = strlen(text);
  if (length == 0) return true;
#ifdef _WIN32
  int wideLength = MultiByteToWideChar(932, 0, text, static_cast<int>(length), nullptr, 0);
  if (wideLength <= 0) return false;
  std::wstring wide(static_cast<size_t>(wideLength), L'\0');
  MultiByteToWideChar(932, 0, text, static_cast<int>(length), &wide[0], wideLength);
  int utf8Length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
  if (utf8Length <= 0) return false;
  utf8->assign(static_cast<size_t>(utf8Length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, &(*utf8)[0], utf8Length, nullptr, nullptr);
  return true;
#else
  iconv_t converter = iconv_open("UTF-8", "CP932");
  if (converter == reinterpret_cast<iconv_t>(-1)) return false;
  char* in = const_cast<char*>(text);
  size_t inLeft = length;
  char buffer[1024];
  bool ok = true;
  while (inLeft > 0) {
    char* out = buffer;
    size_t outLeft = sizeof buffer;
    size_t result = iconv(converter, &in, &inLeft, &out, &outLeft);
    utf8->append(buffer, static_cast<size_t>(out - buffer));
    if (result != static_cast<size_t>(-1)) continue;
    if (errno == E2BIG) continue;
    if (errno != EILSEQ && errno != EINVAL) {
      ok = false;
      break;
    }
    // An invalid or cut character: one replacement character for its
    // first byte, then go on behind it.
    utf8->append("\xEF\xBF\xBD");
    ++in;
    --inLeft;
  }
  iconv_close(converter);
  return ok;
#endif
}

int writeScriptText(FILE* out, const char* text, int utf8) {
#ifdef _WIN32
  // Text mode would turn every "\n" into "\r\n".
  _setmode(_fileno(out), _O_BINARY);
#endif
  std::string converted;
  const char* bytes = text;
  size_t length = strlen(text);
  if (utf8) {
    if (!toUtf8(text, &converted)) return 0;
    bytes = converted.data();
    length = converted.size();
  }
  if (length > 0 && fwrite(bytes, 1, length, out) != length) return 0;
  return fflush(out) == 0;
}
