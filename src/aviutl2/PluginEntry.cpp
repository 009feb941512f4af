// The module's exports, as AviUtl ExEdit2 calls them on its main thread:
// InitializeLogger, InitializePlugin(version), RegisterPlugin(table),
// GetCommonPluginTable and, at unload, UninitializePlugin. Undecorated
// names; no exception leaves them.
#include <windows.h>

#include "aviutl2/Aviutl2Interface.h"
#include "aviutl2/EditWatch.h"
#include "aviutl2/HostLog.h"
#include "aviutl2/NoticeQueue.h"
#include "aviutl2/PluginFiles.h"
#include "aviutl2/Settings.h"
#include "aviutl2/SettingsDialog.h"
#include "estimate/Estimator.h"
#include "sstp/SstpNotifier.h"

#ifndef SSTP_VERSION
#error "SSTP_VERSION names the project's version"
#endif

using namespace aviutl2;

namespace {

enum class Initialisation { notCalled, refused, accepted };

// What UninitializePlugin keeps of its bound for ending the threads.
constexpr ULONGLONG kUnloadMarginMs = 100;

Initialisation initialisation = Initialisation::notCalled;
DWORD hostVersion = 0;
bool registered = false;
PluginPaths paths;

COMMON_PLUGIN_TABLE pluginTable = {L"SSTP", L"SSTP notifier Ver " SSTP_VERSION " by Vorandel"};

// The learned record of the last session, else the estimator's defaults.
void readRecord() {
  RecordFile read = readRecordFile(paths.recordFile, &estimatorRecord);
  if (read == RecordFile::read) return;
  resetEstimator();
  if (read == RecordFile::unreadable) {
    LogText line;
    line.add(paths.recordFile.c_str()).add(L" is no learned record (88 bytes): the estimate starts afresh");
    logLine(LogLevel::warn, line);
  }
}

void openSettings(HWND window, HINSTANCE module) {
  try {
    openSettingsWindow(window, module != nullptr ? module : ownModule());
  } catch (...) {
  }
}

// Everything RegisterPlugin sets up, once the host is known to be new
// enough.
void registerWith(HOST_APP_TABLE* host) {
  EDIT_HANDLE* edit = host->create_edit_handle();
  host->register_config_menu(L"SSTP", openSettings);
  if (edit == nullptr) {
    logLine(LogLevel::error, L"the host gave no edit handle: no output is noticed");
    return;
  }
  if (!startNoticeThread() || !startEditWatch(edit, paths.recordFile)) return;
  if (hostVersion >= kHostVersionWithEventListener) {
    host->register_event_listener(EVENT_TYPE::CHANGE_EDIT_STATE, nullptr, onEditStateEvent);
  }
}

}  // namespace

extern "C" __declspec(dllexport) void InitializeLogger(LOG_HANDLE* logger) { setHostLogger(logger); }

// Refuses a host too old to tell when a file output runs (no
// get_edit_state), with a line in its log; otherwise reads the settings
// and the learned record.
extern "C" __declspec(dllexport) bool InitializePlugin(DWORD version) {
  try {
    if (version < kFirstHostVersion) version = kHostVersionWithEventListener;
    if (version < kHostVersionWithEditState) {
      initialisation = Initialisation::refused;
      LogText line;
      line.add(L"this host (version ").addNumber(version).add(L") can't tell when a file output runs; version ")
          .addNumber(kHostVersionWithEditState).add(L" or later is needed: the plug-in is not loaded");
      logLine(LogLevel::error, line);
      return false;
    }
    hostVersion = version;
    paths = pluginPaths(ownModule());
    readRecord();
    if (!loadSettings(paths)) logLine(LogLevel::error, L"no memory for the template list: no notice is sent");
    initialisation = Initialisation::accepted;
    return true;
  } catch (...) {
    return false;
  }
}

// Registers the settings menu and, where the host's version says it has
// it, the listener of CHANGE_EDIT_STATE; starts the notice thread and the
// watcher. Without InitializePlugin's version first it registers nothing.
extern "C" __declspec(dllexport) void RegisterPlugin(HOST_APP_TABLE* host) {
  try {
    if (initialisation == Initialisation::notCalled) {
      logLine(LogLevel::error, L"the host gave no version (no InitializePlugin call): the plug-in does nothing");
    }
    if (initialisation != Initialisation::accepted || registered || host == nullptr) return;
    registered = true;
    registerWith(host);
  } catch (...) {
  }
}

extern "C" __declspec(dllexport) COMMON_PLUGIN_TABLE* GetCommonPluginTable() { return &pluginTable; }

// Closes the settings window, stops the watcher and lets the notice thread
// finish what is queued within one delivery limit in all; every thread of
// the plug-in has ended when it returns.
extern "C" __declspec(dllexport) void UninitializePlugin() {
  try {
    // One delivery limit from now for all that is queued, whatever the
    // window and the watcher take to stop, less what ending the threads
    // takes.
    limitNoticesUntil(GetTickCount64() + kSstpDeliveryLimitMs - kUnloadMarginMs);
    closeSettingsWindow();
    stopEditWatch();
    stopNoticeThread();
    releaseSettings();
  } catch (...) {
  }
  setHostLogger(nullptr);
}
