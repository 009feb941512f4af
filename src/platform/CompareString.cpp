// placeholder, replaced by the real stand-in
#include <windows.h>
#include <string.h>
int WINAPI CompareStringA(LCID, DWORD, LPCSTR a, int an, LPCSTR b, int bn) {
  int r = strncasecmp(a, b, an < bn ? an : bn);
  if (r == 0) r = an - bn;
  return r < 0 ? CSTR_LESS_THAN : r > 0 ? CSTR_GREATER_THAN : CSTR_EQUAL;
}
