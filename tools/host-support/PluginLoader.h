// Loads a plug-in module the way the AviUtl host does: the module file
// (dlopen natively, LoadLibraryA or LoadLibraryW under Windows), its export
// GetFilterTable, and the descriptor it returns seen only as 32-bit words at
// the byte offsets of HostLayout.h. Nothing here knows the plug-in's own
// records; a suite or tool that uses this talks to the module as a host
// would.
//
// A fake host is a table of cdecl functions at the byte offsets the plug-in
// calls; build one with hostLayout::HostTable and setHostFunction and hand
// it over with attachHost. Host functions that take no edit handle (the
// filter-record function) have to keep their state in statics.
#pragma once

#include <stdint.h>

#include <string>

#include "host-support/HostLayout.h"

struct LoadedPlugin {
  void* module;            // the dlopen handle natively, the HMODULE under Wine
  uint8_t* descriptor;     // what GetFilterTable returned
};

// The POSIX path of the built module (build/native/sstp.so or
// build/win32/sstp.auf).
std::string pluginPath();

// Copies the built module into `posixFolder` under its own name and sets
// `copy` to the copy's path. Returns false when it could not be copied.
bool copyPlugin(const std::string& posixFolder, std::string* copy);

// Loads the built module and calls GetFilterTable, once per process: later
// calls return the same module and descriptor, which stay loaded until the
// process ends. On failure both are null and `error`, when given, says why.
LoadedPlugin loadPlugin(std::string* error = nullptr);

// How a host names the module to Windows' loader: LoadLibraryA with the
// ANSI path, or LoadLibraryW with a "\\?\" path, as a host that takes
// paths longer than 259 bytes does. Natively both are dlopen.
enum class ModulePath { ansi, wide };

// Loads the module file at `path` (a POSIX path, or under Windows one that
// is already a Windows path) and calls GetFilterTable. Each path is a module
// of its own with fresh state; it stays loaded until the process ends, or
// under Windows until FreeLibrary. On failure both are null and `error`,
// when given, says why: "cannot load PATH (error N)" with the loader's
// error under Windows, "cannot load PATH: REASON" natively, "PATH has no
// export GetFilterTable" or "GetFilterTable returned null".
LoadedPlugin loadPluginFrom(const std::string& path, std::string* error = nullptr,
                            ModulePath how = ModulePath::ansi);

// The function the module exports as `name` (GetProcAddress, natively
// dlsym), or null when it exports none. Natively the module holds its own
// copy of the Windows stand-ins, exported by their Windows names, and the
// plug-in calls those: a host reaches the plug-in's controls through them.
void* moduleExport(void* module, const char* name);

// What a host does after GetFilterTable: writes its function table and the
// module handle into the descriptor.
void attachHost(const LoadedPlugin& plugin, const void* functionTable);
