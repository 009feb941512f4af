#include "host-support/ImportHooks.h"

#include <stdint.h>
#include <string.h>

#ifdef _WIN32
#include <windows.h>
#else
#ifndef _GNU_SOURCE
#define _GNU_SOURCE
#endif
#include <dlfcn.h>
#include <elf.h>
#include <link.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

#ifdef _WIN32

void* hookImport(void* module, const char* library, const char* name, void* replacement) {
  HMODULE exporter = LoadLibraryA(library);
  void* original = exporter ? reinterpret_cast<void*>(GetProcAddress(exporter, name)) : nullptr;
  if (original == nullptr) return nullptr;
  BYTE* base = static_cast<BYTE*>(module);
  IMAGE_DOS_HEADER* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  IMAGE_NT_HEADERS* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  IMAGE_DATA_DIRECTORY imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (imports.VirtualAddress == 0) return nullptr;
  int patched = 0;
  // Every slot that holds the function, whether it was imported by name or
  // by ordinal: the loader has already bound them all.
  for (IMAGE_IMPORT_DESCRIPTOR* entry = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
       entry->Name != 0; ++entry) {
    for (IMAGE_THUNK_DATA* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
         slot->u1.Function != 0; ++slot) {
      if (slot->u1.Function != reinterpret_cast<uintptr_t>(original)) continue;
      DWORD old;
      VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, PAGE_READWRITE, &old);
      slot->u1.Function = reinterpret_cast<uintptr_t>(replacement);
      VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, old, &old);
      ++patched;
    }
  }
  return patched > 0 ? original : nullptr;
}

#else

namespace {

// The loaded address of a dynamic-section pointer: glibc has already added
// the load address to most of them, but not on every platform.
uintptr_t loadedAddress(const struct link_map* map, ElfW(Addr) value) {
  return value < map->l_addr ? map->l_addr + value : value;
}

}  // namespace

void* hookImport(void* module, const char*, const char* name, void* replacement) {
  struct link_map* map = nullptr;
  if (dlinfo(module, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr) return nullptr;
  // Where the import leads without the hook: the module's own definition,
  // else the first among its dependencies. (The GOT slot itself may still
  // point at the lazy-binding stub.)
  void* original = dlsym(module, name);
  if (original == nullptr) return nullptr;
  const ElfW(Sym)* symbols = nullptr;
  const char* names = nullptr;
  uintptr_t tables[2] = {0, 0};  // DT_JMPREL, DT_REL
  size_t sizes[2] = {0, 0};
  for (const ElfW(Dyn)* entry = map->l_ld; entry->d_tag != DT_NULL; ++entry) {
    switch (entry->d_tag) {
      case DT_SYMTAB: symbols = reinterpret_cast<const ElfW(Sym)*>(loadedAddress(map, entry->d_un.d_ptr)); break;
      case DT_STRTAB: names = reinterpret_cast<const char*>(loadedAddress(map, entry->d_un.d_ptr)); break;
      case DT_JMPREL: tables[0] = loadedAddress(map, entry->d_un.d_ptr); break;
      case DT_PLTRELSZ: sizes[0] = entry->d_un.d_val; break;
      case DT_REL: tables[1] = loadedAddress(map, entry->d_un.d_ptr); break;
      case DT_RELSZ: sizes[1] = entry->d_un.d_val; break;
      default: break;
    }
  }
  if (symbols == nullptr || names == nullptr) return nullptr;
  int patched = 0;
  uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  for (int t = 0; t < 2; ++t) {
    const Elf32_Rel* relocations = reinterpret_cast<const Elf32_Rel*>(tables[t]);
    for (size_t i = 0; relocations != nullptr && i < sizes[t] / sizeof(Elf32_Rel); ++i) {
      int type = ELF32_R_TYPE(relocations[i].r_info);
      if (type != R_386_JMP_SLOT && type != R_386_GLOB_DAT) continue;
      const ElfW(Sym)& symbol = symbols[ELF32_R_SYM(relocations[i].r_info)];
      if (strcmp(names + symbol.st_name, name) != 0) continue;
      void** slot = reinterpret_cast<void**>(map->l_addr + relocations[i].r_offset);
      uintptr_t start = reinterpret_cast<uintptr_t>(slot) & ~(page - 1);
      // The slot may lie in the part that was made read-only after loading.
      mprotect(reinterpret_cast<void*>(start), page, PROT_READ | PROT_WRITE);
      *slot = replacement;
      ++patched;
    }
  }
  return patched > 0 ? original : nullptr;
}

#endif
