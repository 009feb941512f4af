#include "PathMap.h"

#include <windows.h>

bool isCp932LeadByte(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

std::string toPosixPath(const char* windowsPath) {
  std::string out;
  const char* p = windowsPath;
  if ((p[0] == 'Z' || p[0] == 'z') && p[1] == ':') p += 2;
  while (*p != '\0') {
    if (isCp932LeadByte(static_cast<unsigned char>(*p)) && p[1] != '\0') {
      out += p[0];
      out += p[1];
      p += 2;
      continue;
    }
    out += (*p == '\\') ? '/' : *p;
    ++p;
  }
  return out;
}

std::string toWindowsPath(const char* posixPath) {
  std::string out(posixPath);
  for (char& c : out) {
    if (c == '/') c = '\\';
  }
  return out;
}

// Thread-local like Windows' own last-error value.
static thread_local DWORD lastError = ERROR_SUCCESS;

DWORD WINAPI GetLastError(void) { return lastError; }

void WINAPI SetLastError(DWORD code) { lastError = code; }
