// A stand-in AviUtl ExEdit2 host in this process, for suites and the
// aviutl2-host program: it loads a general plug-in (.aux2) as the host
// does, serves the records of Aviutl2Layout.h and records what the plug-in
// does with them.
//
// - Loading: LoadLibraryW, then the exports in the host's order:
//   RequiredVersion (a number above the host's version refuses the
//   plug-in), InitializeLogger, InitializeConfig, InitializePlugin(version)
//   (false: not registered, unloaded, UninitializePlugin not called),
//   RegisterPlugin(table), GetCommonPluginTable. Unloading calls
//   UninitializePlugin, then FreeLibrary.
// - Threads: the exports, the settings callback and every request of the
//   caller's run on the caller's thread, the host's main thread; event
//   listeners run on an event thread of the host's own.
// - Older hosts: HostSdk decides which members the records have. The
//   function table and the edit handle end right before a no-access page
//   (GuardedPages.h), so a plug-in that reads a member the host doesn't
//   have is caught and reported as a fault; it reads zeros there and goes
//   on.
// - Not modelled: edit and read sections (refused, as during file
//   output), rendering, enumerations, scenes, projects, restarting, the
//   style lookups of CONFIG_HANDLE (no font, 0) and language files
//   (translate and get_language_text give the text back). These are
//   counted and answer false, 0 or null, doing nothing.
// - Recorded: every call into the plug-in (entry, thread, duration), every
//   log line, every registration, how often each host function was called,
//   and faults: reads past a record's end and breaches of the host's rules.
//   Durations are recorded, never judged here.
//
// The host functions get no host pointer, so there is one host at a time
// in a process, and it serves one plug-in at a time. Requests are made
// from one thread, the one that started the host.
#pragma once

#include <stdint.h>
#include <windows.h>

#include <string>
#include <vector>

#include "Aviutl2Layout.h"

// The SDK a host was built from, by what its records have.
enum class HostSdk {
  current,           // 2026-09-19 on: every member, event types 1-5, EDIT_INFO of 80 bytes
  noEditStateEvent,  // 2026-06-14 on: event listeners of types 1-4 only, EDIT_HANDLE to #18, 76 bytes
  noEventListener,   // before: the table ends at #27 (no register_event_listener), EDIT_HANDLE at #13
  noEditState,       // before 2026-04-12: the table ends at #23, EDIT_HANDLE at #6 (no get_edit_state)
};

// What a host's records have.
struct HostShape {
  int tableMembers;       // HOST_APP_TABLE members #0 to #(n-1)
  int editHandleMembers;  // EDIT_HANDLE members #0 to #(n-1)
  int lastEventType;      // listeners of types 1 to n are called; others are recorded only
  int editInfoBytes;      // the most get_edit_info copies
};

// The shape of a host of `sdk`.
HostShape hostShapeOf(HostSdk sdk);

// A host version number as the host passes it to InitializePlugin, by the
// encoding plug-ins assume (major × 1,000,000 + minor × 10,000 + beta ×
// 100 + build; not documented by the host): 2.1.0 here.
constexpr DWORD kDefaultHostVersion = 2010000;

struct Aviutl2HostSettings {
  HostShape shape = hostShapeOf(HostSdk::current);
  DWORD hostVersion = kDefaultHostVersion;
  std::wstring appDataPath = L"C:\\ProgramData\\aviutl2";  // CONFIG_HANDLE's app_data_path, as given
  bool makeWindow = true;  // a hidden host window (needs a display); false: the window handle is null
};

// A plug-in's exports, as found.
struct PluginExports {
  bool registerPlugin = false;
  bool initializePlugin = false;
  bool uninitializePlugin = false;
  bool initializeLogger = false;
  bool initializeConfig = false;
  bool requiredVersion = false;
  bool getCommonPluginTable = false;
};

enum class LoadResult {
  registered,        // every export ran; the plug-in is loaded
  cannotLoad,        // LoadLibraryW failed (already loaded: one plug-in at a time)
  noRegisterPlugin,  // no export RegisterPlugin; unloaded, nothing called
  hostTooOld,        // RequiredVersion gave a number above the host's; unloaded, nothing else called
  initializeFailed,  // InitializePlugin returned false; unloaded without UninitializePlugin
};

// One call from the host into the plug-in.
struct PluginCall {
  std::string entry;  // the export's name, "config menu NAME" or "event TYPE listener"
  DWORD threadId;
  double milliseconds;  // from the call to its return
};

enum class LogLevel { log, info, warn, error, verbose };

struct LogLine {
  LogLevel level;
  std::wstring text;
  DWORD threadId;
};

// One call of a HOST_APP_TABLE function that registers or hands over
// something (every member but create_edit_handle), with its arguments.
struct Registration {
  int member;             // its index in HOST_APP_TABLE
  std::wstring name;      // its first text argument (a name, or the information); empty without one
  std::wstring detail;    // a second text argument (file filter, module name)
  void* object = nullptr; // a pointer argument: a table, a window, a param
  void* callback = nullptr;
  int eventType = 0;      // register_event_listener's type
};

// A fault the host caught: what, in words (a record's name and byte, or
// the rule and the function that broke it).
typedef std::string HostFault;

struct Aviutl2Host;

// Starts a host: its records (in guarded pages), its window when asked
// for, its event thread. Returns null with `error` set when a host is
// running already, the pages can't be had or the window can't be made.
Aviutl2Host* startAviutl2Host(const Aviutl2HostSettings& settings, std::string* error);

// Unloads the plug-in (as unloadAviutl2Plugin), stops the event thread and
// frees everything. Null is allowed.
void stopAviutl2Host(Aviutl2Host* host);

// Loads the module at `path` (a Windows path) and runs its exports as the
// host does. Returns what happened; `error` says why for anything but
// registered (the loader's error number for cannotLoad).
LoadResult loadAviutl2Plugin(Aviutl2Host* host, const std::wstring& path, std::string* error);

// Waits for the event thread to finish what it was given, calls
// UninitializePlugin and frees the module. Registrations stay recorded
// until the next load; listeners are no longer called. Returns false when
// no plug-in is loaded.
bool unloadAviutl2Plugin(Aviutl2Host* host);

// The exports found by the last load; all false before one.
PluginExports pluginExports(const Aviutl2Host* host);

// The edit information of a scene of width × height at rate/scale frames a
// second whose last occupied frame is frameMax, with the frames from
// selectStart to selectEnd selected (-1 and -1: none); 48000 Hz, every
// other field 0.
aviutl2Layout::EDIT_INFO sceneInfo(int width, int height, int rate, int scale, int frameMax, int selectStart = -1,
                                   int selectEnd = -1);

// Sets what get_edit_info answers from now on (the stand-in starts with
// sceneInfo(1920, 1080, 30, 1, 299)).
void setEditInfo(Aviutl2Host* host, const aviutl2Layout::EDIT_INFO& info);

// The edit state a host is in: what get_edit_state returns.
enum class EditState : int32_t { edit = 0, play = 1, save = 2 };

// Whether a state change reaches the listeners of CHANGE_EDIT_STATE.
enum class StateChange { withEvent, silent };

// Changes the state get_edit_state returns to `state`. withEvent: then the
// event thread calls every listener registered for type 5 (when the host's
// shape has type 5), in the order registered, and this returns once they
// have all returned. Returns false when they have not after `timeoutMs`
// (they go on; later events wait for them); true otherwise, and always for
// silent.
bool changeEditState(Aviutl2Host* host, EditState state, StateChange change, DWORD timeoutMs = 10000);

// Fires event `type` as the host does on a change of that kind: the event
// thread calls the listeners of that type, when the shape has it. Returns
// as changeEditState does.
bool fireEvent(Aviutl2Host* host, aviutl2Layout::EVENT_TYPE type, DWORD timeoutMs = 10000);

// The state get_edit_state returns now.
EditState editState(const Aviutl2Host* host);

// Opens the settings: calls the callback of the `index`-th config menu
// registered with the host's window and the plug-in's HINSTANCE, on the
// calling thread. Returns false when there is no such menu or no plug-in.
bool openConfigMenu(Aviutl2Host* host, size_t index = 0);

// The records as the host hands them to the plug-in, for a suite that
// reaches them itself (only the members of the host's shape exist; a read
// past them is recorded as a fault like the plug-in's).
const aviutl2Layout::HOST_APP_TABLE* hostTable(const Aviutl2Host* host);
const aviutl2Layout::EDIT_HANDLE* hostEditHandle(const Aviutl2Host* host);

// The host's window (null when settings.makeWindow was false).
HWND hostWindow(const Aviutl2Host* host);

// The event thread's ID.
DWORD eventThreadId(const Aviutl2Host* host);

// The application data folder CONFIG_HANDLE names, and the loaded module's
// folder (without a trailing separator; empty with no plug-in loaded).
std::wstring appDataPath(const Aviutl2Host* host);
std::wstring moduleFolder(const Aviutl2Host* host);

// What the host recorded, in order. Calls and log lines are kept until the
// host stops; takeFaults forgets what it returns (and records the reads
// past a record's end made outside a call into the plug-in first).
std::vector<PluginCall> pluginCalls(const Aviutl2Host* host);
// The recorded calls whose entry is `entry`, in order.
std::vector<PluginCall> pluginCallsTo(const Aviutl2Host* host, const std::string& entry);
std::vector<LogLine> logLines(const Aviutl2Host* host);
std::vector<Registration> registrations(const Aviutl2Host* host);
std::vector<HostFault> takeFaults(Aviutl2Host* host);

// The plug-in's name and information: GetCommonPluginTable's, or else the
// text given to set_plugin_information (information only); empty when it
// gave none.
std::wstring pluginName(const Aviutl2Host* host);
std::wstring pluginInformation(const Aviutl2Host* host);

// The host's name of HOST_APP_TABLE member `member` and of EDIT_HANDLE
// member `member` ("register_event_listener", "get_edit_state");
// "(no such member)" for an index out of range.
const char* tableMemberName(int member);
const char* editHandleMemberName(int member);

// How often the plug-in called HOST_APP_TABLE member `member`, and
// EDIT_HANDLE member `member`; 0 for an index out of range.
int tableCallCount(const Aviutl2Host* host, int member);
int editHandleCallCount(const Aviutl2Host* host, int member);

// The UTF-8 form of a wide text (unpaired surrogates become U+FFFD), and
// the wide form of a UTF-8 one.
std::string utf8Of(const std::wstring& text);
std::wstring wideOf(const std::string& text);

// A log level's name as the logger's member spells it ("log", "info", ...).
const char* logLevelName(LogLevel level);
