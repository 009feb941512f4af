// Stand-in for GetModuleFileNameA. A module handle is what dlopen returned
// for the module (the host writes it into the filter descriptor); null is
// the program itself. The path comes back with backslashes, as Windows
// gives it, so that the plug-in finds its folder by the last backslash.
#ifndef _GNU_SOURCE
#define _GNU_SOURCE
#endif
#include <windows.h>

#include <dlfcn.h>
#include <limits.h>
#include <link.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "PathMap.h"

namespace {

// Finds `module` among the loaded objects without dereferencing it, so a
// handle that is no module is refused instead of read.
const char* loadedObjectName(HMODULE module) {
  void* self = dlopen(nullptr, RTLD_NOW);
  if (self == nullptr) return nullptr;
  struct link_map* map = nullptr;
  const char* name = nullptr;
  if (dlinfo(self, RTLD_DI_LINKMAP, &map) == 0) {
    for (; map != nullptr; map = map->l_next) {
      if (static_cast<void*>(map) == static_cast<void*>(module)) {
        name = map->l_name;
        break;
      }
    }
  }
  dlclose(self);
  return name;
}

// The program's own path.
bool programPath(char* out, size_t size) {
  ssize_t length = readlink("/proc/self/exe", out, size - 1);
  if (length <= 0) return false;
  out[length] = '\0';
  return true;
}

}  // namespace

DWORD WINAPI GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size) {
  char posix[PATH_MAX];
  if (module == nullptr) {
    if (!programPath(posix, sizeof posix)) return 0;
  } else {
    const char* name = loadedObjectName(module);
    if (name == nullptr) {
      SetLastError(ERROR_MOD_NOT_FOUND);
      return 0;
    }
    if (name[0] == '\0') {
      // The program's own entry has no name.
      if (!programPath(posix, sizeof posix)) return 0;
    } else if (name[0] == '/' || realpath(name, posix) == nullptr) {
      if (strlen(name) >= sizeof posix) return 0;
      strcpy(posix, name);
    }
  }
  std::string path = toWindowsPath(posix);
  if (buffer == nullptr || size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  // As Wine (and Windows XP): a path that does not fit fills the buffer
  // without a terminator, and the result is `size`.
  if (path.size() >= size) {
    memcpy(buffer, path.data(), size);
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  memcpy(buffer, path.c_str(), path.size() + 1);
  return static_cast<DWORD>(path.size());
}
