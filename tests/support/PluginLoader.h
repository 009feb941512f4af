// Loads the built plug-in module the way the AviUtl host does: the module
// file (dlopen natively, LoadLibraryA under Wine), its export GetFilterTable,
// and the descriptor it returns seen only as 32-bit words at byte offsets.
// Nothing here knows the plug-in's own records; a test that uses this talks
// to the module as a host would.
//
// A fake host is a table of cdecl functions at the byte offsets the plug-in
// calls; build one with FakeHostTable and setHostFunction and hand it over
// with attachHost. Host functions that take no edit handle (the filter
// record at 164) have to keep their state in statics.
#pragma once

#include <stdint.h>
#include <windows.h>

#include <string>

static_assert(sizeof(void*) == 4, "the host and the plug-in are 32-bit");

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

// The 32-bit word at `byteOffset` of a record, and the pointer it holds.
uint32_t wordAt(const void* record, int byteOffset);
void* pointerAt(const void* record, int byteOffset);
void setWordAt(void* record, int byteOffset, uint32_t value);
void setPointerAt(void* record, int byteOffset, const void* pointer);

// The NUL-terminated text the pointer at `byteOffset` points at; "" for null.
std::string textAt(const void* record, int byteOffset);

// The function whose pointer is at `byteOffset`, as type F.
template <typename F>
F functionAt(const void* record, int byteOffset) {
  return reinterpret_cast<F>(static_cast<uintptr_t>(wordAt(record, byteOffset)));
}

// Byte offsets in the descriptor.
constexpr int kDescriptorWords = 35;
constexpr int kDescriptorFunctionTable = 96;
constexpr int kDescriptorModule = 104;

// What a host does after GetFilterTable: writes its function table at 96
// and the module handle at 104.
void attachHost(const LoadedPlugin& plugin, const void* functionTable);

// A host function table: 42 words, slots at byte offsets 0 to 164.
constexpr int kHostTableWords = 42;
struct FakeHostTable {
  uintptr_t words[kHostTableWords];
};

template <typename F>
void setHostFunction(FakeHostTable* table, int byteOffset, F function) {
  table->words[byteOffset / 4] = reinterpret_cast<uintptr_t>(function);
}

// The host functions the plug-in calls, by byte offset in the table.
// Records are passed as raw words.
typedef int32_t(__cdecl* HostCurrentFrame)(void* editHandle);                        // 24
typedef int32_t(__cdecl* HostIsSaveFrame)(void* editHandle, int32_t frame);          // 72
typedef int32_t(__cdecl* HostFileInfo)(void* editHandle, uint32_t* record16);        // 92
typedef int32_t(__cdecl* HostPictureSize)(void* editHandle, int32_t frame, void* picture,
                                          int32_t* width, int32_t* height);          // 104
typedef int32_t(__cdecl* HostLoadInt)(void* filter, const char* key, int32_t defaultValue);  // 136
typedef int32_t(__cdecl* HostLoadText)(void* filter, const char* key, char* buffer260,
                                       const char* defaultText);                     // 144
typedef int32_t(__cdecl* HostStoreText)(void* filter, const char* key, const char* text);  // 148
typedef int32_t(__cdecl* HostSystemInfo)(void* editHandle, uint32_t* record19);      // 160
typedef void*(__cdecl* HostFilterRecord)(int32_t index);                             // 164

// The plug-in's handlers, by byte offset in the descriptor.
typedef int32_t(__cdecl* PluginWindowHandler)(HWND window, UINT message, WPARAM wParam,
                                              LPARAM lParam, void* editHandle, void* filter);  // 64
typedef int32_t(__cdecl* PluginSaveStart)(void* filter, int32_t firstFrame, int32_t lastFrame,
                                          void* editHandle);                         // 88
typedef int32_t(__cdecl* PluginSaveEnd)(void* filter, void* editHandle);             // 92
