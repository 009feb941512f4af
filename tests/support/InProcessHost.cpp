#include "support/InProcessHost.h"

#include <stdio.h>
#include <string.h>

#ifndef _WIN32
#include <dlfcn.h>
#endif

#include "PortRedirect.h"
#include "support/PluginLoader.h"
#include "support/TestFiles.h"

namespace {

// Host records are handed over between runs of these.
constexpr size_t kGuardBytes = 64;
constexpr uint8_t kGuardByte = 0xA5;
// Distinct filter records; indexes beyond share the last.
constexpr size_t kFilterRecords = 8;

// Host-side bytes between two guards, and the payload as it was handed
// over, to tell what the plug-in changed.
struct Guarded {
  std::string name;
  std::vector<uint8_t> bytes;
  std::vector<uint8_t> handedOver;
};

uint8_t* payloadOf(Guarded& block) { return block.bytes.data() + kGuardBytes; }

Guarded makeGuarded(const std::string& name, size_t size) {
  Guarded block;
  block.name = name;
  block.bytes.assign(size + 2 * kGuardBytes, kGuardByte);
  std::fill(block.bytes.begin() + kGuardBytes, block.bytes.end() - kGuardBytes, 0);
  return block;
}

void seal(Guarded& block) {
  block.handedOver.assign(block.bytes.begin() + kGuardBytes, block.bytes.end() - kGuardBytes);
}

std::string damageOf(const Guarded& block) {
  size_t size = block.bytes.size() - 2 * kGuardBytes;
  for (size_t i = 0; i < block.bytes.size(); ++i) {
    bool guard = i < kGuardBytes || i >= kGuardBytes + size;
    uint8_t expected = guard ? kGuardByte : block.handedOver[i - kGuardBytes];
    if (block.bytes[i] != expected) {
      long at = static_cast<long>(i) - static_cast<long>(kGuardBytes);
      return block.name + (guard ? " guard" : "") + " changed at byte " + std::to_string(at) + "; ";
    }
  }
  return std::string();
}

// Everything the host functions see; statics, since the filter-record
// function gets no edit handle.
struct HostState {
  HostScene scene;
  std::string folder;  // the plug-in's folder, for the "path" setting
  uint8_t* descriptor = nullptr;
  Guarded table;
  Guarded editHandle;
  Guarded outputName;
  std::vector<Guarded> filterRecords;
  std::string misuse;
};

HostState host;

void checkEditHandle(void* edit, const char* function) {
  if (edit != payloadOf(host.editHandle)) host.misuse += std::string(function) + " got a foreign edit handle; ";
}

void checkFilter(void* filter, const char* function) {
  if (filter != host.descriptor) host.misuse += std::string(function) + " got a foreign filter record; ";
}

int32_t __cdecl hostCurrentFrame(void* edit) {
  checkEditHandle(edit, "current-frame");
  return host.scene.currentFrame;
}

int32_t __cdecl hostIsSaveFrame(void* edit, int32_t) {
  checkEditHandle(edit, "is-save-frame");
  return 1;
}

int32_t __cdecl hostFileInfo(void* edit, uint32_t* record16) {
  checkEditHandle(edit, "file-information");
  if (!host.scene.fileInfoAnswers) return 0;
  fillFileInfo(record16, host.scene.rate, host.scene.scale);
  return 1;
}

int32_t __cdecl hostPictureSize(void* edit, int32_t, void*, int32_t* width, int32_t* height) {
  checkEditHandle(edit, "picture-size");
  *width = 320;
  *height = 240;
  return 1;
}

int32_t __cdecl hostLoadInt(void* filter, const char* key, int32_t defaultValue) {
  checkFilter(filter, "load-integer");
  return strcmp(key, "port") == 0 ? host.scene.savedPort : defaultValue;
}

int32_t __cdecl hostLoadText(void* filter, const char* key, char* buffer260, const char* defaultText) {
  checkFilter(filter, "load-text");
  if (strcmp(key, "path") == 0 && !host.scene.savedTemplate.empty()) {
    fillHostTextBuffer(buffer260, hostPath(host.folder + "/" + host.scene.savedTemplate));
  } else {
    fillHostTextBuffer(buffer260, defaultText != nullptr ? defaultText : "");
  }
  return 1;
}

int32_t __cdecl hostStoreText(void* filter, const char*, const char*) {
  checkFilter(filter, "store-text");
  return 1;
}

int32_t __cdecl hostSystemInfo(void* edit, uint32_t* record19) {
  checkEditHandle(edit, "system-information");
  if (!host.scene.systemInfoAnswers) return 0;
  const char* name = host.scene.nullOutputName ? nullptr : reinterpret_cast<const char*>(payloadOf(host.outputName));
  fillSystemInfo(record19, host.scene.reportedFilters, name);
  return 1;
}

void __cdecl filterFunction() {}

void* __cdecl hostFilterRecord(int32_t index) {
  if (index < 0 || index >= host.scene.reportedFilters) {
    host.misuse += "filter record asked for index " + std::to_string(index) + "; ";
    return nullptr;
  }
  size_t i = static_cast<size_t>(index);
  if (i < host.scene.filterGiven.size() && !host.scene.filterGiven[i]) return nullptr;
  return payloadOf(host.filterRecords[std::min(i, kFilterRecords - 1)]);
}

void buildTable() {
  host.table = makeGuarded("host function table", sizeof(hostLayout::HostTable));
  hostLayout::HostTable* table = reinterpret_cast<hostLayout::HostTable*>(payloadOf(host.table));
  setHostFunction(table, hostLayout::kHostCurrentFrame, &hostCurrentFrame);
  setHostFunction(table, hostLayout::kHostIsSaveFrame, &hostIsSaveFrame);
  setHostFunction(table, hostLayout::kHostFileInfo, &hostFileInfo);
  setHostFunction(table, hostLayout::kHostPictureSize, &hostPictureSize);
  setHostFunction(table, hostLayout::kHostLoadInt, &hostLoadInt);
  setHostFunction(table, hostLayout::kHostLoadText, &hostLoadText);
  setHostFunction(table, hostLayout::kHostStoreText, &hostStoreText);
  setHostFunction(table, hostLayout::kHostSystemInfo, &hostSystemInfo);
  setHostFunction(table, hostLayout::kHostFilterRecord, &hostFilterRecord);
  seal(host.table);
  host.editHandle = makeGuarded("edit handle", 64);
  seal(host.editHandle);
}

}  // namespace

bool loadHostedPlugin(const std::string& folder, ModulePath how, HostedPlugin* plugin, std::string* error) {
  std::string module;
  if (!copyPlugin(folder, &module)) {
    *error = "can't copy the module to " + module;
    return false;
  }
  plugin->folder = folder;
  LoadedPlugin loaded = loadPluginFrom(module, error, how);
  plugin->module = loaded.module;
  plugin->descriptor = loaded.descriptor;
  return loaded.descriptor != nullptr;
}

bool attachHostedPlugin(HostedPlugin* plugin, std::string* error) {
  if (host.table.bytes.empty()) buildTable();
  host.descriptor = plugin->descriptor;
  host.folder = plugin->folder;
  LoadedPlugin loaded = {plugin->module, plugin->descriptor};
  attachHost(loaded, payloadOf(host.table));
  plugin->descriptorAtAttach.assign(plugin->descriptor, plugin->descriptor + hostLayout::kDescriptorBytes);
  hostReceiver();
  if (!installPortRedirects(plugin->module, error)) return false;
#ifdef _WIN32
  plugin->window = CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPED, 0, 0, 320, 90, nullptr, nullptr,
                                   GetModuleHandleA(nullptr), nullptr);
  if (plugin->window == nullptr) {
    *error = "CreateWindowExA failed with error " + std::to_string(GetLastError());
    return false;
  }
#else
  // To the plug-in the host's window is only a handle.
  plugin->window = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x7FFE0000));
#endif
  return true;
}

void setScene(const HostScene& scene) {
  host.scene = scene;
  host.outputName = makeGuarded("output name", scene.outputName.size() + 1);
  memcpy(payloadOf(host.outputName), scene.outputName.c_str(), scene.outputName.size() + 1);
  seal(host.outputName);
  host.filterRecords.clear();
  for (size_t i = 0; i < kFilterRecords; ++i) {
    host.filterRecords.push_back(makeGuarded("filter record " + std::to_string(i), hostLayout::kDescriptorBytes));
    setWordAt(payloadOf(host.filterRecords.back()), hostLayout::kDescriptorFlags, hostLayout::kFilterActive);
    setPointerAt(payloadOf(host.filterRecords.back()), hostLayout::kDescriptorProcessing,
                 reinterpret_cast<void*>(&filterFunction));
    seal(host.filterRecords.back());
  }
}

int32_t initialiseWindow(const HostedPlugin& plugin) {
  auto handler = functionAt<hostLayout::PluginWindowHandler>(plugin.descriptor, hostLayout::kDescriptorWindowHandler);
  return handler(plugin.window, hostLayout::kWindowInitMessage, 0, 0, payloadOf(host.editHandle), plugin.descriptor);
}

int32_t destroyWindow(const HostedPlugin& plugin) {
  auto handler = functionAt<hostLayout::PluginWindowHandler>(plugin.descriptor, hostLayout::kDescriptorWindowHandler);
  int32_t result = handler(plugin.window, WM_DESTROY, 0, 0, payloadOf(host.editHandle), plugin.descriptor);
#ifdef _WIN32
  DestroyWindow(plugin.window);
#endif
  return result;
}

// The save handlers run with the host's table at 96, or none when the
// scene says so.
int32_t saveStart(const HostedPlugin& plugin, int32_t firstFrame, int32_t lastFrame) {
  auto start = functionAt<hostLayout::PluginSaveStart>(plugin.descriptor, hostLayout::kDescriptorSaveStart);
  if (host.scene.noFunctionTable) setWordAt(plugin.descriptor, hostLayout::kDescriptorFunctionTable, 0);
  int32_t result = start(plugin.descriptor, firstFrame, lastFrame, payloadOf(host.editHandle));
  setPointerAt(plugin.descriptor, hostLayout::kDescriptorFunctionTable, payloadOf(host.table));
  return result;
}

int32_t saveEnd(const HostedPlugin& plugin) {
  auto end = functionAt<hostLayout::PluginSaveEnd>(plugin.descriptor, hostLayout::kDescriptorSaveEnd);
  if (host.scene.noFunctionTable) setWordAt(plugin.descriptor, hostLayout::kDescriptorFunctionTable, 0);
  int32_t result = end(plugin.descriptor, payloadOf(host.editHandle));
  setPointerAt(plugin.descriptor, hostLayout::kDescriptorFunctionTable, payloadOf(host.table));
  return result;
}

uint8_t* extendedData(const HostedPlugin& plugin) {
  return static_cast<uint8_t*>(pointerAt(plugin.descriptor, hostLayout::kDescriptorExtendedData));
}

int32_t extendedDataSize(const HostedPlugin& plugin) {
  return static_cast<int32_t>(wordAt(plugin.descriptor, hostLayout::kDescriptorExtendedSize));
}

std::string hostDamage(const HostedPlugin& plugin) {
  std::string damage = host.misuse;
  host.misuse.clear();
  damage += damageOf(host.table) + damageOf(host.editHandle) + damageOf(host.outputName);
  for (const Guarded& record : host.filterRecords) damage += damageOf(record);
  for (int offset = 0; offset < hostLayout::kDescriptorBytes; offset += 4) {
    if (wordAt(plugin.descriptor, offset) != wordAt(plugin.descriptorAtAttach.data(), offset)) {
      damage += "descriptor word at byte " + std::to_string(offset) + " changed; ";
    }
  }
  return damage;
}

void unloadHostedPlugin(HostedPlugin* plugin) {
#ifdef _WIN32
  if (plugin->module != nullptr) FreeLibrary(static_cast<HMODULE>(plugin->module));
#endif
  plugin->module = nullptr;
  plugin->descriptor = nullptr;
}

namespace {

struct Receivers {
  SstpReceiver* answering;
  SstpReceiver* stalled;
};

// Started once and kept until the process ends.
const Receivers& receivers() {
  static Receivers started = [] {
    ReceiverSettings settings;
    Receivers both = {startSstpReceiver(settings, nullptr), nullptr};
    settings.answer = ReceiverAnswer::noRead;
    both.stalled = startSstpReceiver(settings, nullptr);
    if (both.answering != nullptr) addPortRedirect(9801, receiverPort(both.answering));
    if (both.stalled != nullptr) addPortRedirect(11000, receiverPort(both.stalled));
    return both;
  }();
  return started;
}

}  // namespace

SstpReceiver* hostReceiver() { return receivers().answering; }

SstpReceiver* stalledReceiver() { return receivers().stalled; }

std::string scriptOf(const std::string& request) {
  size_t start = request.find("\r\nScript: ");
  size_t end = request.find("\\e\r\n", start);
  if (start == std::string::npos || end == std::string::npos) return "<" + request + ">";
  start += 10;
  return request.substr(start, end - start);
}

long residentKiB() {
#ifdef _WIN32
  // K32GetProcessMemoryInfo, looked up so that no import library is needed.
  struct Counters {
    DWORD cb;
    DWORD pageFaultCount;
    SIZE_T peakWorkingSetSize;
    SIZE_T workingSetSize;
    SIZE_T rest[6];
  } counters;
  memset(&counters, 0, sizeof counters);
  counters.cb = sizeof counters;
  typedef BOOL(WINAPI * Query)(HANDLE, Counters*, DWORD);
  Query query = reinterpret_cast<Query>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "K32GetProcessMemoryInfo")));
  if (query == nullptr || !query(GetCurrentProcess(), &counters, sizeof counters)) return 0;
  return static_cast<long>(counters.workingSetSize / 1024);
#else
  FILE* status = fopen("/proc/self/status", "r");
  if (status == nullptr) return 0;
  char line[256];
  long kib = 0;
  while (fgets(line, sizeof line, status) != nullptr) {
    if (sscanf(line, "VmRSS: %ld kB", &kib) == 1) break;
  }
  fclose(status);
  return kib;
#endif
}
