#include "TppOutput.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <errno.h>
#include <iconv.h>
#endif

namespace {

#ifdef _WIN32

// Converts `text` from code page `from` to code page `to` through UTF-16;
// the system replaces what does not convert. Returns false when a code page
// is not available.
bool convertText(const std::string& text, UINT from, UINT to, std::string* out) {
  out->clear();
  if (text.empty()) return true;
  int wideLength = MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (wideLength <= 0) return false;
  std::wstring wide(static_cast<size_t>(wideLength), L'\0');
  MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), &wide[0], wideLength);
  int length = WideCharToMultiByte(to, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return false;
  out->assign(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(to, 0, wide.data(), wideLength, &(*out)[0], length, nullptr, nullptr);
  return true;
}

#else

// Converts `text` from the encoding `from` to `to` with iconv. A byte that
// does not convert (or starts a character cut off by the end) is replaced by
// `replacement`, or kept as it is when `replacement` is null, and the
// conversion goes on behind it. Returns false when iconv has no such
// conversion or fails otherwise.
bool convertText(const std::string& text, const char* from, const char* to, const char* replacement,
                 std::string* out) {
  out->clear();
  if (text.empty()) return true;
  iconv_t converter = iconv_open(to, from);
  if (converter == reinterpret_cast<iconv_t>(-1)) return false;
  char* in = const_cast<char*>(text.data());
  size_t inLeft = text.size();
  char buffer[1024];
  bool ok = true;
  while (inLeft > 0) {
    char* next = buffer;
    size_t room = sizeof buffer;
    size_t result = iconv(converter, &in, &inLeft, &next, &room);
    out->append(buffer, static_cast<size_t>(next - buffer));
    if (result != static_cast<size_t>(-1) || errno == E2BIG) continue;
    if (errno != EILSEQ && errno != EINVAL) {
      ok = false;
      break;
    }
    if (replacement != nullptr) {
      out->append(replacement);
    } else {
      out->push_back(*in);
    }
    ++in;
    --inLeft;
  }
  iconv_close(converter);
  return ok;
}

#endif

}  // namespace

std::string utf8FromSjis(const std::string& sjis, bool* converted) {
  std::string utf8;
#ifdef _WIN32
  bool ok = convertText(sjis, 932, CP_UTF8, &utf8);
#else
  bool ok = convertText(sjis, "CP932", "UTF-8", "\xEF\xBF\xBD", &utf8);  // U+FFFD
#endif
  if (converted != nullptr) *converted = ok;
  return ok ? utf8 : sjis;
}

std::string sjisFromUtf8(const std::string& utf8) {
  std::string sjis;
#ifdef _WIN32
  bool ok = convertText(utf8, CP_UTF8, 932, &sjis);
#else
  bool ok = convertText(utf8, "UTF-8", "CP932", nullptr, &sjis);
#endif
  return ok ? sjis : utf8;
}

void setBinaryMode(FILE* stream) {
#ifdef _WIN32
  _setmode(_fileno(stream), _O_BINARY);
#endif
}

bool writeScriptText(FILE* out, const char* text, bool utf8) {
  setBinaryMode(out);
  std::string bytes = text;
  if (utf8) {
    bool converted = false;
    bytes = utf8FromSjis(bytes, &converted);
    if (!converted) return false;
  }
  if (!bytes.empty() && fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size()) return false;
  return fflush(out) == 0;
}
