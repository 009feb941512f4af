#include "Aviutl2Host.h"

#include <string.h>

#include "GuardedPages.h"
#include "HostState.h"

using namespace aviutl2Layout;

Aviutl2Host* runningHost = nullptr;

namespace {

double nowMs() {
  LARGE_INTEGER count, frequency;
  QueryPerformanceCounter(&count);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(count.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// An overrun in words, with the member it reached where the record is one
// of pointers the host knows by name.
std::string describeOverrun(const Aviutl2Host* host, const Overrun& overrun) {
  std::string text = std::string(overrun.write ? "write" : "read") + " past the end of " + overrun.record;
  const HostShape& shape = host->settings.shape;
  int member = static_cast<int>(overrun.offset / 8);
  if (overrun.record == "HOST_APP_TABLE") {
    text += " (" + std::to_string(shape.tableMembers * 8) + " bytes): member #" + std::to_string(member) + " " +
            tableMemberName(member);
  } else if (overrun.record == "EDIT_HANDLE") {
    text += " (" + std::to_string(shape.editHandleMembers * 8) + " bytes): member #" + std::to_string(member) +
            " " + editHandleMemberName(member);
  } else {
    text += ": byte " + std::to_string(overrun.offset);
  }
  return text + ", on thread " + std::to_string(overrun.threadId);
}

// The event thread: delivers the events posted, one after another, until
// the host stops.
void deliverEvent(Aviutl2Host* host, int type) {
  std::vector<Registration> listeners;
  {
    std::lock_guard<std::mutex> hold(host->lock);
    if (host->module == nullptr || type > host->settings.shape.lastEventType) return;
    for (const Registration& r : host->registrations) {
      if (r.member == kTableRegisterEventListener && r.eventType == type) listeners.push_back(r);
    }
  }
  for (const Registration& listener : listeners) {
    auto proc = reinterpret_cast<ParamProc>(listener.callback);
    callPlugin(host, "event " + std::to_string(type) + " listener", [&] { proc(listener.object); });
  }
}

void runEventThread(Aviutl2Host* host) {
  std::unique_lock<std::mutex> hold(host->eventLock);
  host->eventThreadId = GetCurrentThreadId();
  host->eventDone.notify_all();
  for (;;) {
    host->eventWake.wait(hold, [host] { return host->stopping || !host->pendingEvents.empty(); });
    if (host->pendingEvents.empty()) return;
    int type = host->pendingEvents.front();
    host->pendingEvents.pop_front();
    hold.unlock();
    deliverEvent(host, type);
    hold.lock();
    ++host->eventsDelivered;
    host->eventDone.notify_all();
  }
}

// Gives the event thread an event of `type` and waits up to `timeoutMs`
// for its delivery; false when it has not ended by then.
bool postEvent(Aviutl2Host* host, int type, DWORD timeoutMs) {
  std::unique_lock<std::mutex> hold(host->eventLock);
  uint64_t ticket = ++host->eventsPosted;
  host->pendingEvents.push_back(type);
  host->eventWake.notify_all();
  return host->eventDone.wait_for(hold, std::chrono::milliseconds(timeoutMs),
                                  [host, ticket] { return host->eventsDelivered >= ticket; });
}

HWND makeHostWindow() {
  return CreateWindowExW(0, L"STATIC", L"AviUtl ExEdit2 (stand-in host)", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                         CW_USEDEFAULT, 640, 480, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

}  // namespace

HostShape hostShapeOf(HostSdk sdk) {
  switch (sdk) {
    case HostSdk::current:
      return HostShape{kTableMembers, kEditHandleMembers, 5, kEditInfoBytes};
    case HostSdk::noEditStateEvent:
      return HostShape{kTableMembers, kEditGetEffectItemGroupNames + 1, 4, kEditInfoBytesBeforeBackground};
    case HostSdk::noEventListener:
      return HostShape{kTableRegisterEventListener, 14, 0, kEditInfoBytesBeforeBackground};
    case HostSdk::noEditState:
      return HostShape{24, kEditGetEditState, 0, kEditInfoBytesBeforeBackground};
  }
  return HostShape{kTableMembers, kEditHandleMembers, 5, kEditInfoBytes};
}

void waitForEvents(Aviutl2Host* host) {
  std::unique_lock<std::mutex> hold(host->eventLock);
  host->eventDone.wait(hold, [host] { return host->eventsDelivered >= host->eventsPosted; });
}

void addFault(Aviutl2Host* host, const std::string& fault) {
  std::lock_guard<std::mutex> hold(host->lock);
  host->faults.push_back(fault);
}

namespace {

// Records the overruns caught as faults and closes the guard pages again.
void collectOverruns(Aviutl2Host* host) {
  std::vector<Overrun> overruns = takeOverruns();
  rearmGuardPages();
  std::lock_guard<std::mutex> hold(host->lock);
  for (const Overrun& overrun : overruns) host->faults.push_back(describeOverrun(host, overrun));
}

}  // namespace

void recordPluginCall(Aviutl2Host* host, const std::string& entry, void (*call)(void* context), void* context) {
  double began = nowMs();
  call(context);
  double took = nowMs() - began;
  {
    std::lock_guard<std::mutex> hold(host->lock);
    host->calls.push_back(PluginCall{entry, GetCurrentThreadId(), took});
  }
  collectOverruns(host);
}

Aviutl2Host* startAviutl2Host(const Aviutl2HostSettings& settings, std::string* error) {
  if (runningHost != nullptr) {
    *error = "a stand-in host is running already";
    return nullptr;
  }
  Aviutl2Host* host = new Aviutl2Host;
  host->settings = settings;
  host->editInfo = sceneInfo(1920, 1080, 30, 1, 299);
  if (!buildHostRecords(host)) {
    *error = "the host's records can't be had";
  } else if (settings.makeWindow && (host->window = makeHostWindow()) == nullptr) {
    *error = "the host's window can't be made (error " + std::to_string(GetLastError()) + ")";
  } else {
    runningHost = host;
    host->eventThread = std::thread(runEventThread, host);
    std::unique_lock<std::mutex> hold(host->eventLock);
    host->eventDone.wait(hold, [host] { return host->eventThreadId != 0; });
    return host;
  }
  freeHostRecords(host);
  delete host;
  return nullptr;
}

void stopAviutl2Host(Aviutl2Host* host) {
  if (host == nullptr) return;
  unloadAviutl2Plugin(host);
  {
    std::lock_guard<std::mutex> hold(host->eventLock);
    host->stopping = true;
    host->eventWake.notify_all();
  }
  host->eventThread.join();
  if (host->window != nullptr) DestroyWindow(host->window);
  freeHostRecords(host);
  runningHost = nullptr;
  delete host;
}

PluginExports pluginExports(const Aviutl2Host* host) {
  std::lock_guard<std::mutex> hold(host->lock);
  return host->exports;
}

EDIT_INFO sceneInfo(int width, int height, int rate, int scale, int frameMax, int selectStart, int selectEnd) {
  EDIT_INFO info = {};
  info.width = width;
  info.height = height;
  info.rate = rate;
  info.scale = scale;
  info.sample_rate = 48000;
  info.frame_max = frameMax;
  info.select_range_start = selectStart;
  info.select_range_end = selectEnd;
  return info;
}

void setEditInfo(Aviutl2Host* host, const EDIT_INFO& info) {
  std::lock_guard<std::mutex> hold(host->lock);
  host->editInfo = info;
}

bool changeEditState(Aviutl2Host* host, EditState state, StateChange change, DWORD timeoutMs) {
  host->state = static_cast<int>(state);
  return change == StateChange::silent || postEvent(host, static_cast<int>(EVENT_TYPE::CHANGE_EDIT_STATE), timeoutMs);
}

bool fireEvent(Aviutl2Host* host, EVENT_TYPE type, DWORD timeoutMs) {
  return postEvent(host, static_cast<int>(type), timeoutMs);
}

EditState editState(const Aviutl2Host* host) { return static_cast<EditState>(host->state.load()); }

const HOST_APP_TABLE* hostTable(const Aviutl2Host* host) { return host->table; }

const EDIT_HANDLE* hostEditHandle(const Aviutl2Host* host) { return host->editHandle; }

HWND hostWindow(const Aviutl2Host* host) { return host->window; }

DWORD eventThreadId(const Aviutl2Host* host) { return host->eventThreadId; }

std::wstring appDataPath(const Aviutl2Host* host) { return host->settings.appDataPath; }

std::wstring pluginName(const Aviutl2Host* host) {
  std::lock_guard<std::mutex> hold(host->lock);
  return host->pluginName;
}

std::wstring pluginInformation(const Aviutl2Host* host) {
  std::lock_guard<std::mutex> hold(host->lock);
  return host->pluginInformation;
}

std::vector<PluginCall> pluginCalls(const Aviutl2Host* host) {
  std::lock_guard<std::mutex> hold(host->lock);
  return host->calls;
}

std::vector<PluginCall> pluginCallsTo(const Aviutl2Host* host, const std::string& entry) {
  std::vector<PluginCall> found;
  for (const PluginCall& call : pluginCalls(host)) {
    if (call.entry == entry) found.push_back(call);
  }
  return found;
}

std::vector<LogLine> logLines(const Aviutl2Host* host) {
  std::lock_guard<std::mutex> hold(host->lock);
  return host->logLines;
}

std::vector<Registration> registrations(const Aviutl2Host* host) {
  std::lock_guard<std::mutex> hold(host->lock);
  return host->registrations;
}

std::vector<HostFault> takeFaults(Aviutl2Host* host) {
  collectOverruns(host);
  std::lock_guard<std::mutex> hold(host->lock);
  std::vector<HostFault> taken;
  taken.swap(host->faults);
  return taken;
}

int tableCallCount(const Aviutl2Host* host, int member) {
  return member >= 0 && member < kTableMembers ? host->tableCalls[member].load() : 0;
}

int editHandleCallCount(const Aviutl2Host* host, int member) {
  return member >= 0 && member < kEditHandleMembers ? host->editHandleCalls[member].load() : 0;
}

std::string utf8Of(const std::wstring& text) {
  if (text.empty()) return std::string();
  int size = static_cast<int>(text.size());
  int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string converted(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), size, &converted[0], bytes, nullptr, nullptr);
  return converted;
}

std::wstring wideOf(const std::string& text) {
  if (text.empty()) return std::wstring();
  int size = static_cast<int>(text.size());
  int characters = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
  std::wstring converted(static_cast<size_t>(characters), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), size, &converted[0], characters);
  return converted;
}

const char* logLevelName(LogLevel level) {
  switch (level) {
    case LogLevel::log: return "log";
    case LogLevel::info: return "info";
    case LogLevel::warn: return "warn";
    case LogLevel::error: return "error";
    case LogLevel::verbose: return "verbose";
  }
  return "log";
}
