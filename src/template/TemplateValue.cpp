#include "template/TemplateValue.h"

#include <string.h>
#include <windows.h>

size_t readTemplateValue(const char* path, const char* section, const char* key, const char* fallback,
                         char* buffer, size_t size) {
  // Cleared as a whole, not only the byte in front of the last one, where
  // Wine leaves one unwritten: a function that left any other byte
  // unwritten would then end the value early, never add to it. The cost is
  // in docs/performance.md.
  memset(buffer, 0, size);
  GetPrivateProfileStringA(section, key, fallback, buffer, static_cast<DWORD>(size), path);
  buffer[size - 1] = '\0';
  return strlen(buffer);
}
