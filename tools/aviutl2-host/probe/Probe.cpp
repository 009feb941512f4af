// probe.aux2: a general plug-in that proves the stand-in host's own
// contracts. It logs every call it gets (info level, with the thread that
// made it), registers a config menu and, when the host's table gives
// register_event_listener (read without knowing whether the table has it,
// then checked for null), listeners of CHANGE_EDIT_STATE and
// CHANGE_EDIT_FRAME; on each event it logs the edit state and the edit
// information.
//
// The environment variable AUX2_PROBE, read at each call, changes it; its
// words, separated by commas:
//   refuse          InitializePlugin returns false
//   required=N      RequiredVersion returns N (otherwise 0)
//   sleep=N         an event listener sleeps N ms before it returns
//   early-info      RegisterPlugin calls get_edit_info (against the host's rule)
//   foreign-logger  InitializeLogger logs through a copy of the logger
//   late-register   the config menu registers another config menu
//   long-log        InitializePlugin logs 1025 characters
//   edit-in-event   an event listener asks for an edit section
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include <string>

#include "Aviutl2Layout.h"

using namespace aviutl2Layout;

namespace {

LOG_HANDLE* logger = nullptr;
HOST_APP_TABLE* host = nullptr;
EDIT_HANDLE* edit = nullptr;
int stateParam = 5;  // the listeners' params: their event types
int frameParam = 2;

std::string mode() {
  char text[256] = "";
  DWORD length = GetEnvironmentVariableA("AUX2_PROBE", text, sizeof text);
  return length < sizeof text ? std::string(",") + text + "," : std::string(",");
}

bool hasWord(const char* word) { return mode().find(std::string(",") + word + ",") != std::string::npos; }

// The number after "word=", or 0.
long numberAfter(const char* word) {
  std::string m = mode();
  size_t at = m.find(std::string(",") + word + "=");
  return at == std::string::npos ? 0 : strtol(m.c_str() + at + strlen(word) + 2, nullptr, 10);
}

void say(const std::wstring& text) {
  if (logger == nullptr) return;
  wchar_t thread[32];
  swprintf(thread, 32, L" [thread %lu]", GetCurrentThreadId());
  logger->info(logger, (text + thread).c_str());
}

std::wstring number(long long value) { return std::to_wstring(value); }

std::wstring describeEditInfo() {
  EDIT_INFO info;
  memset(&info, 0, sizeof info);
  edit->get_edit_info(&info, sizeof info);
  return L"size " + number(info.width) + L"x" + number(info.height) + L" rate " + number(info.rate) + L"/" +
         number(info.scale) + L" frame_max " + number(info.frame_max) + L" select " +
         number(info.select_range_start) + L".." + number(info.select_range_end);
}

void onEvent(void* param) {
  long sleepMs = numberAfter("sleep");
  if (sleepMs > 0) Sleep(static_cast<DWORD>(sleepMs));
  if (hasWord("edit-in-event")) edit->call_edit_section([](EDIT_SECTION*) {});
  int type = *static_cast<int*>(param);
  say(L"event " + number(type) + L" state " + number(edit->get_edit_state()) + L" " + describeEditInfo());
}

void onConfig(HWND window, HINSTANCE instance) {
  wchar_t text[96];
  swprintf(text, 96, L"config window %p instance %p", static_cast<void*>(window), static_cast<void*>(instance));
  say(text);
  if (hasWord("late-register")) host->register_config_menu(L"Late", onConfig);
}

}  // namespace

extern "C" __declspec(dllexport) DWORD RequiredVersion() { return static_cast<DWORD>(numberAfter("required")); }

extern "C" __declspec(dllexport) void InitializeLogger(LOG_HANDLE* handle) {
  logger = handle;
  say(L"InitializeLogger");
  if (hasWord("foreign-logger")) {
    LOG_HANDLE copy = *handle;
    copy.warn(&copy, L"through a copy");
  }
}

extern "C" __declspec(dllexport) void InitializeConfig(CONFIG_HANDLE* config) {
  say(L"InitializeConfig " + std::wstring(config->app_data_path));
}

// "\u521d\u671f\u5316" is 初期化 (initialisation).
extern "C" __declspec(dllexport) bool InitializePlugin(DWORD version) {
  say(L"InitializePlugin \u521d\u671f\u5316 " + number(version));
  if (hasWord("long-log")) logger->verbose(logger, std::wstring(1025, L'x').c_str());
  return !hasWord("refuse");
}

extern "C" __declspec(dllexport) void RegisterPlugin(HOST_APP_TABLE* table) {
  host = table;
  say(L"RegisterPlugin");
  table->set_plugin_information(L"probe for the stand-in host");
  edit = table->create_edit_handle();
  if (hasWord("early-info")) describeEditInfo();
  table->register_config_menu(L"Probe settings", onConfig);
  auto listen = table->register_event_listener;
  if (listen == nullptr) {
    say(L"no register_event_listener");
    return;
  }
  listen(EVENT_TYPE::CHANGE_EDIT_STATE, &stateParam, onEvent);
  listen(EVENT_TYPE::CHANGE_EDIT_FRAME, &frameParam, onEvent);
}

extern "C" __declspec(dllexport) void UninitializePlugin() { say(L"UninitializePlugin"); }
