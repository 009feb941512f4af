#include "PathMap.h"

#include <windows.h>

#include "common/Cp932.h"

std::string toPosixPath(const char* windowsPath) {
  std::string out;
  const char* p = windowsPath;
  if ((p[0] == 'Z' || p[0] == 'z') && p[1] == ':') p += 2;
  while (*p != '\0') {
    size_t step = cp932Step(p);
    if (step == 1 && *p == '\\') {
      out += '/';
    } else {
      out.append(p, step);
    }
    p += step;
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

namespace {

// Thread-local like Windows' own last-error value.
thread_local DWORD lastError = ERROR_SUCCESS;

}  // namespace

DWORD WINAPI GetLastError(void) { return lastError; }

void WINAPI SetLastError(DWORD code) { lastError = code; }
