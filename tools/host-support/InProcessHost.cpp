#include "host-support/InProcessHost.h"

#include <stdio.h>
#include <string.h>

#ifndef _WIN32
#include <dlfcn.h>
#include <malloc.h>
#endif
#if defined(__SANITIZE_ADDRESS__)
// From the sanitizers' allocator interface, whose header GCC does not ship.
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

#include "host-support/PortRedirect.h"
#include "host-support/PluginLoader.h"
#include "host-support/Files.h"

namespace {

// Host records are handed over between runs of these.
constexpr size_t kGuardBytes = 64;
constexpr uint8_t kGuardByte = 0xA5;
// An output name without a terminator is followed by as many guard bytes
// as the plug-in's name field holds, so that reading it up to the field's
// end stays inside the host's block; writing there is still damage.
constexpr size_t kNameGuardBytes = 260;

// Host-side bytes between two guards, and the payload as it was handed
// over, to tell what the plug-in changed.
struct Guarded {
  std::string name;
  size_t guard = kGuardBytes;  // bytes of each guard
  std::vector<uint8_t> bytes;
  std::vector<uint8_t> handedOver;
};

uint8_t* payloadOf(Guarded& block) { return block.bytes.data() + block.guard; }

Guarded makeGuarded(const std::string& name, size_t size, size_t guard = kGuardBytes) {
  Guarded block;
  block.name = name;
  block.guard = guard;
  block.bytes.assign(size + 2 * guard, kGuardByte);
  std::fill(block.bytes.begin() + guard, block.bytes.end() - guard, 0);
  return block;
}

void seal(Guarded& block) {
  block.handedOver.assign(block.bytes.begin() + block.guard, block.bytes.end() - block.guard);
}

std::string damageOf(const Guarded& block) {
  size_t size = block.bytes.size() - 2 * block.guard;
  for (size_t i = 0; i < block.bytes.size(); ++i) {
    bool guard = i < block.guard || i >= block.guard + size;
    uint8_t expected = guard ? kGuardByte : block.handedOver[i - block.guard];
    if (block.bytes[i] != expected) {
      long at = static_cast<long>(i) - static_cast<long>(block.guard);
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
  std::vector<Guarded> filterRecords;  // one for each given entry of scene.filters
  std::vector<size_t> recordOfFilter;  // per entry: its index in filterRecords
  Guarded defaultFilter;               // for indexes past scene.filters
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

int32_t __cdecl hostIsSaveFrame(void* edit, int32_t frame) {
  checkEditHandle(edit, "is-save-frame");
  const std::vector<int32_t>& answers = host.scene.saveFrameAnswers;
  return answers.empty() ? 1 : answers[static_cast<uint32_t>(frame) % answers.size()];
}

int32_t __cdecl hostFileInfo(void* edit, uint32_t* record16) {
  checkEditHandle(edit, "file-information");
  if (!host.scene.fileInfoAnswers) return 0;
  fillFileInfo(record16, host.scene.rate, host.scene.scale);
  return 1;
}

int32_t __cdecl hostPictureSize(void* edit, int32_t, void*, int32_t* width, int32_t* height) {
  checkEditHandle(edit, "picture-size");
  if (host.scene.writesWidth) *width = host.scene.width;
  if (host.scene.writesHeight) *height = host.scene.height;
  return 1;
}

int32_t __cdecl hostLoadInt(void* filter, const char* key, int32_t defaultValue) {
  checkFilter(filter, "load-integer");
  return strcmp(key, "port") == 0 ? host.scene.savedPort.value_or(defaultValue) : defaultValue;
}

// The stored "path", or null when none is stored.
const std::string* storedPath(std::string* full) {
  if (host.scene.savedPath.has_value()) return &*host.scene.savedPath;
  if (host.scene.savedTemplate.empty()) return nullptr;
  *full = hostPath(host.folder + "/" + host.scene.savedTemplate);
  return full;
}

int32_t __cdecl hostLoadText(void* filter, const char* key, char* buffer260, const char* defaultText) {
  checkFilter(filter, "load-text");
  std::string full;
  const std::string* stored = strcmp(key, "path") == 0 ? storedPath(&full) : nullptr;
  if (stored == nullptr) {
    fillHostTextBuffer(buffer260, defaultText != nullptr ? defaultText : "");
    return 1;
  }
  switch (host.scene.pathWrite) {
    case TextWrite::terminated:
      fillHostTextBuffer(buffer260, *stored);
      break;
    case TextWrite::unterminated:
      memcpy(buffer260, stored->data(), std::min<size_t>(stored->size(), hostLayout::kHostTextBytes));
      break;
    case TextWrite::nothing:
      break;
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
  if (i >= host.scene.filters.size()) return payloadOf(host.defaultFilter);
  if (!host.scene.filters[i].given) return nullptr;
  return payloadOf(host.filterRecords[host.recordOfFilter[i]]);
}

// A filter record between guard bytes, in the descriptor's layout.
Guarded makeFilterRecord(const std::string& name, const HostFilter& filter) {
  Guarded record = makeGuarded(name, hostLayout::kDescriptorBytes);
  setWordAt(payloadOf(record), hostLayout::kDescriptorFlags, filter.flags);
  setPointerAt(payloadOf(record), hostLayout::kDescriptorProcessing,
               filter.processing ? reinterpret_cast<void*>(&filterFunction) : nullptr);
  seal(record);
  return record;
}

// The window calls that reach the plug-in's controls: user32's under
// Windows; natively those of the module's own stand-ins, which hold the
// controls the plug-in made.
struct WindowCalls {
  HWND(WINAPI* getDlgItem)(HWND, int);
  LRESULT(WINAPI* sendMessage)(HWND, UINT, WPARAM, LPARAM);
  BOOL(WINAPI* enumChildWindows)(HWND, WNDENUMPROC, LPARAM);
  BOOL(WINAPI* destroyWindow)(HWND);
};

template <typename F>
void takeExport(void* module, const char* name, F* function) {
  *function = reinterpret_cast<F>(moduleExport(module, name));
}

WindowCalls windowCallsOf(const HostedPlugin& plugin) {
  WindowCalls calls;
#ifdef _WIN32
  (void)plugin;
  calls = WindowCalls{GetDlgItem, SendMessageA, EnumChildWindows, DestroyWindow};
#else
  takeExport(plugin.module, "GetDlgItem", &calls.getDlgItem);
  takeExport(plugin.module, "SendMessageA", &calls.sendMessage);
  takeExport(plugin.module, "EnumChildWindows", &calls.enumChildWindows);
  takeExport(plugin.module, "DestroyWindow", &calls.destroyWindow);
#endif
  return calls;
}

BOOL CALLBACK collectChild(HWND child, LPARAM found) {
  reinterpret_cast<std::vector<HWND>*>(found)->push_back(child);
  return TRUE;
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
  // The name's bytes, with or without a terminator behind them.
  size_t nameBytes = scene.outputName.size() + (scene.outputNameTerminated ? 1 : 0);
  host.outputName = makeGuarded("output name", nameBytes, scene.outputNameTerminated ? kGuardBytes : kNameGuardBytes);
  memcpy(payloadOf(host.outputName), scene.outputName.c_str(), nameBytes);
  seal(host.outputName);
  host.filterRecords.clear();
  host.recordOfFilter.assign(scene.filters.size(), 0);
  for (size_t i = 0; i < scene.filters.size(); ++i) {
    if (!scene.filters[i].given) continue;
    host.recordOfFilter[i] = host.filterRecords.size();
    host.filterRecords.push_back(makeFilterRecord("filter record " + std::to_string(i), scene.filters[i]));
  }
  host.defaultFilter = makeFilterRecord("filter record past the list", HostFilter());
}

int32_t initialiseWindow(const HostedPlugin& plugin) {
  auto handler = functionAt<hostLayout::PluginWindowHandler>(plugin.descriptor, hostLayout::kDescriptorWindowHandler);
  return handler(plugin.window, hostLayout::kWindowInitMessage, 0, 0, payloadOf(host.editHandle), plugin.descriptor);
}

int32_t destroyWindow(const HostedPlugin& plugin) {
  auto handler = functionAt<hostLayout::PluginWindowHandler>(plugin.descriptor, hostLayout::kDescriptorWindowHandler);
  int32_t result = handler(plugin.window, WM_DESTROY, 0, 0, payloadOf(host.editHandle), plugin.descriptor);
  // The controls go; the host's own window stays for a later
  // initialisation (natively it is no row of the stand-ins, which then
  // find every row free again).
  WindowCalls calls = windowCallsOf(plugin);
  std::vector<HWND> children;
  calls.enumChildWindows(plugin.window, collectChild, reinterpret_cast<LPARAM>(&children));
  for (HWND child : children) calls.destroyWindow(child);
  return result;
}

int32_t pickListEntry(const HostedPlugin& plugin, int32_t controlId, int32_t index) {
  WindowCalls calls = windowCallsOf(plugin);
  HWND list = calls.getDlgItem(plugin.window, controlId);
  if (list == nullptr) return -1;
  calls.sendMessage(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  auto handler = functionAt<hostLayout::PluginWindowHandler>(plugin.descriptor, hostLayout::kDescriptorWindowHandler);
  WPARAM command = MAKEWPARAM(static_cast<WORD>(controlId), CBN_SELCHANGE);
  return handler(plugin.window, WM_COMMAND, command, reinterpret_cast<LPARAM>(list), payloadOf(host.editHandle),
                 plugin.descriptor);
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
  damage += damageOf(host.defaultFilter);
  for (int offset = 0; offset < hostLayout::kDescriptorBytes; offset += 4) {
    if (wordAt(plugin.descriptor, offset) != wordAt(plugin.descriptorAtAttach.data(), offset)) {
      damage += "descriptor word at byte " + std::to_string(offset) + " changed; ";
    }
  }
  return damage;
}

void unloadHostedPlugin(HostedPlugin* plugin) {
#ifdef _WIN32
  if (plugin->window != nullptr) DestroyWindow(plugin->window);
  if (plugin->module != nullptr) FreeLibrary(static_cast<HMODULE>(plugin->module));
#endif
  plugin->window = nullptr;
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

std::string ghostOf(const std::string& request) {
  size_t start = request.find("\r\nIfGhost: ");
  if (start == std::string::npos) return "";
  start += 11;
  return request.substr(start, request.find("\r\n", start) - start);
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

long heapInUseKiB() {
#ifdef _WIN32
  // GetProcessHeaps may need more room than a first guess when the process
  // makes heaps meanwhile; 64 more each time.
  std::vector<HANDLE> heaps(64);
  for (;;) {
    DWORD count = GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data());
    if (count == 0) return -1;
    if (count <= heaps.size()) {
      heaps.resize(count);
      break;
    }
    heaps.resize(count + 64);
  }
  unsigned long long bytes = 0;
  for (HANDLE heap : heaps) {
    if (!HeapLock(heap)) return -1;
    PROCESS_HEAP_ENTRY entry;
    memset(&entry, 0, sizeof entry);
    while (HeapWalk(heap, &entry)) {
      if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) bytes += entry.cbData;
    }
    HeapUnlock(heap);
  }
  return static_cast<long>(bytes / 1024);
#elif defined(__SANITIZE_ADDRESS__)
  return static_cast<long>(__sanitizer_get_current_allocated_bytes() / 1024);
#else
  return static_cast<long>(mallinfo2().uordblks / 1024);
#endif
}
