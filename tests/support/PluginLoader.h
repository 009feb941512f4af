// Loads the built plug-in module the way the AviUtl host does: the module
// file (dlopen natively, LoadLibraryA under Wine), its export GetFilterTable,
// and the descriptor it returns seen only as 32-bit words at byte offsets.
// Nothing here knows the plug-in's own records; a test that uses this talks
// to the module as a host would.
//
// A fake host is a table of cdecl functions at the byte offsets the plug-in
// calls (HostLayout.h); build one with HostTable and setHostFunction and
// hand it over with attachHost. Host functions that take no edit handle
// (the filter-record function) have to keep their state in statics.
#pragma once

#include <stdint.h>

#include <string>

#include "support/HostLayout.h"

struct LoadedPlugin {
  void* module;            // the dlopen handle natively, the HMODULE under Wine
  uint8_t* descriptor;     // what GetFilterTable returned
};

// The POSIX path of the built module (build/native/sstp.so or
// build/win32/sstp.auf); hostPath() turns it into the path a host opens.
std::string pluginPath();

// Loads the built module and calls GetFilterTable, once per process: later
// calls return the same module and descriptor, which stay loaded until the
// process ends. On failure both are null and `error`, when given, says why.
LoadedPlugin loadPlugin(std::string* error = nullptr);

// Loads the module file at `posixPath` (a copy placed beside test templates,
// say) and calls GetFilterTable. Each path is a module of its own with fresh
// state; it stays loaded until the process ends. Failure as loadPlugin.
LoadedPlugin loadPluginFrom(const std::string& posixPath, std::string* error = nullptr);

// What a host does after GetFilterTable: writes its function table and the
// module handle into the descriptor.
void attachHost(const LoadedPlugin& plugin, const void* functionTable);
