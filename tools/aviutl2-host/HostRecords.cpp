// The functions behind the records the stand-in host hands a plug-in: the
// function table, the edit handle, the logger and the configuration handle.
#include <string.h>

#include <type_traits>

#include "GuardedPages.h"
#include "HostState.h"

using namespace aviutl2Layout;

namespace {

const char* const kTableMemberNames[kTableMembers] = {
    "set_plugin_information", "register_input_plugin", "register_output_plugin", "register_filter_plugin",
    "register_script_module", "register_import_menu", "register_export_menu", "register_window_client",
    "create_edit_handle", "register_project_load_handler", "register_project_save_handler", "register_layer_menu",
    "register_object_menu", "register_config_menu", "register_edit_menu", "register_clear_cache_handler",
    "register_change_scene_handler", "register_import_menu_param", "register_export_menu_param",
    "register_layer_menu_param", "register_object_menu_param", "register_edit_menu_param",
    "register_file_drop_handler", "register_file_drop_param_handler", "register_object_item_menu",
    "register_object_item_menu_param", "register_script_module_name", "register_font_collection",
    "register_event_listener",
};

const char* const kEditHandleMemberNames[kEditHandleMembers] = {
    "call_edit_section", "call_edit_section_param", "get_edit_info", "restart_host_app", "enum_effect_name",
    "enum_module_info", "get_host_app_window", "get_edit_state", "call_read_section", "call_read_section_param",
    "enum_effect_item", "rendering_scene_video", "rendering_scene_audio", "wait_rendering_task", "enum_font_name",
    "enum_palette_name", "rendering_object_video", "rendering_object_audio", "get_effect_item_group_names",
    "enum_scene_name", "select_scene", "create_scene", "create_project", "open_project_file", "save_project_file",
    "output_file",
};

// A registration's arguments, each kept by its type; a bool (allow_effect_only) is not kept.
void noteArgument(Registration* r, LPCWSTR text) { (r->name.empty() ? r->name : r->detail) = text ? text : L""; }
void noteArgument(Registration*, bool) {}
void noteArgument(Registration* r, EVENT_TYPE type) { r->eventType = static_cast<int>(type); }
void noteArgument(Registration* r, const void* object) { r->object = const_cast<void*>(object); }
template <typename R, typename... A>
void noteArgument(Registration* r, R (*callback)(A...)) {
  r->callback = reinterpret_cast<void*>(callback);
}

// Every table member but create_edit_handle: counted, its arguments
// recorded as a registration; the host takes them only inside
// RegisterPlugin.
template <int Member, typename F>
struct Recorder;
template <int Member, typename... A>
struct Recorder<Member, void (*)(A...)> {
  static void call(A... arguments) {
    Aviutl2Host* host = runningHost;
    ++host->tableCalls[Member];
    if (!host->insideRegisterPlugin) addFault(host, std::string(kTableMemberNames[Member]) + " called outside RegisterPlugin");
    Registration registration;
    registration.member = Member;
    (noteArgument(&registration, arguments), ...);
    std::lock_guard<std::mutex> hold(host->lock);
    if (Member == 0) host->pluginInformation = registration.name;
    host->registrations.push_back(registration);
  }
};

// Counts a call of edit-handle member `member` and checks the host's rules
// for it: only get_host_app_window inside RegisterPlugin; no edit section
// from an event listener.
void noteEditCall(int member) {
  Aviutl2Host* host = runningHost;
  ++host->editHandleCalls[member];
  if (host->insideRegisterPlugin && member != kEditGetHostAppWindow) {
    addFault(host, std::string(kEditHandleMemberNames[member]) + " called inside RegisterPlugin");
  }
  if (member <= 1 && GetCurrentThreadId() == host->eventThreadId) {
    addFault(host, std::string(kEditHandleMemberNames[member]) + " called from an event listener");
  }
}

// An edit-handle member the stand-in doesn't serve: counted, checked, and
// it answers false, 0 or null, doing nothing (an edit section is refused as
// during file output).
template <int Member, typename F>
struct Unserved;
template <int Member, typename R, typename... A>
struct Unserved<Member, R (*)(A...)> {
  static R call(A...) {
    noteEditCall(Member);
    return R();
  }
};

EDIT_HANDLE* createEditHandle() {
  ++runningHost->tableCalls[kTableCreateEditHandle];
  return runningHost->editHandle;
}

void getEditInfo(EDIT_INFO* info, int size) {
  noteEditCall(kEditGetEditInfo);
  Aviutl2Host* host = runningHost;
  if (info == nullptr || size < 0) {
    addFault(host, "get_edit_info given " + std::string(info == nullptr ? "a null record" : "a negative size"));
    return;
  }
  int bytes = size < host->settings.shape.editInfoBytes ? size : host->settings.shape.editInfoBytes;
  std::lock_guard<std::mutex> hold(host->lock);
  memcpy(info, &host->editInfo, static_cast<size_t>(bytes));
}

HWND getHostAppWindow() {
  noteEditCall(kEditGetHostAppWindow);
  return runningHost->window;
}

int getEditState() {
  noteEditCall(kEditGetEditState);
  return runningHost->state;
}

// Puts the function `Slot<Member, F>::call` into the member at index
// `Member` of `record`; false when that member is not at byte Member × 8
// (a mistake in the lists below).
template <template <int, typename> class Slot, int Member, typename Record, typename F>
bool place(Record* record, F Record::*member) {
  record->*member = &Slot<Member, F>::call;
  return reinterpret_cast<char*>(&(record->*member)) - reinterpret_cast<char*>(record) == Member * 8;
}

bool fillTable(HOST_APP_TABLE* t) {
  bool placed = place<Recorder, 0>(t, &HOST_APP_TABLE::set_plugin_information) &&
                place<Recorder, 1>(t, &HOST_APP_TABLE::register_input_plugin) &&
                place<Recorder, 2>(t, &HOST_APP_TABLE::register_output_plugin) &&
                place<Recorder, 3>(t, &HOST_APP_TABLE::register_filter_plugin) &&
                place<Recorder, 4>(t, &HOST_APP_TABLE::register_script_module) &&
                place<Recorder, 5>(t, &HOST_APP_TABLE::register_import_menu) &&
                place<Recorder, 6>(t, &HOST_APP_TABLE::register_export_menu) &&
                place<Recorder, 7>(t, &HOST_APP_TABLE::register_window_client) &&
                place<Recorder, 9>(t, &HOST_APP_TABLE::register_project_load_handler) &&
                place<Recorder, 10>(t, &HOST_APP_TABLE::register_project_save_handler) &&
                place<Recorder, 11>(t, &HOST_APP_TABLE::register_layer_menu) &&
                place<Recorder, 12>(t, &HOST_APP_TABLE::register_object_menu) &&
                place<Recorder, 13>(t, &HOST_APP_TABLE::register_config_menu) &&
                place<Recorder, 14>(t, &HOST_APP_TABLE::register_edit_menu) &&
                place<Recorder, 15>(t, &HOST_APP_TABLE::register_clear_cache_handler) &&
                place<Recorder, 16>(t, &HOST_APP_TABLE::register_change_scene_handler) &&
                place<Recorder, 17>(t, &HOST_APP_TABLE::register_import_menu_param) &&
                place<Recorder, 18>(t, &HOST_APP_TABLE::register_export_menu_param) &&
                place<Recorder, 19>(t, &HOST_APP_TABLE::register_layer_menu_param) &&
                place<Recorder, 20>(t, &HOST_APP_TABLE::register_object_menu_param) &&
                place<Recorder, 21>(t, &HOST_APP_TABLE::register_edit_menu_param) &&
                place<Recorder, 22>(t, &HOST_APP_TABLE::register_file_drop_handler) &&
                place<Recorder, 23>(t, &HOST_APP_TABLE::register_file_drop_param_handler) &&
                place<Recorder, 24>(t, &HOST_APP_TABLE::register_object_item_menu) &&
                place<Recorder, 25>(t, &HOST_APP_TABLE::register_object_item_menu_param) &&
                place<Recorder, 26>(t, &HOST_APP_TABLE::register_script_module_name) &&
                place<Recorder, 27>(t, &HOST_APP_TABLE::register_font_collection) &&
                place<Recorder, 28>(t, &HOST_APP_TABLE::register_event_listener);
  t->create_edit_handle = createEditHandle;
  return placed;
}

bool fillEditHandle(EDIT_HANDLE* e) {
  bool placed = place<Unserved, 0>(e, &EDIT_HANDLE::call_edit_section) &&
                place<Unserved, 1>(e, &EDIT_HANDLE::call_edit_section_param) &&
                place<Unserved, 3>(e, &EDIT_HANDLE::restart_host_app) &&
                place<Unserved, 4>(e, &EDIT_HANDLE::enum_effect_name) &&
                place<Unserved, 5>(e, &EDIT_HANDLE::enum_module_info) &&
                place<Unserved, 8>(e, &EDIT_HANDLE::call_read_section) &&
                place<Unserved, 9>(e, &EDIT_HANDLE::call_read_section_param) &&
                place<Unserved, 10>(e, &EDIT_HANDLE::enum_effect_item) &&
                place<Unserved, 11>(e, &EDIT_HANDLE::rendering_scene_video) &&
                place<Unserved, 12>(e, &EDIT_HANDLE::rendering_scene_audio) &&
                place<Unserved, 13>(e, &EDIT_HANDLE::wait_rendering_task) &&
                place<Unserved, 14>(e, &EDIT_HANDLE::enum_font_name) &&
                place<Unserved, 15>(e, &EDIT_HANDLE::enum_palette_name) &&
                place<Unserved, 16>(e, &EDIT_HANDLE::rendering_object_video) &&
                place<Unserved, 17>(e, &EDIT_HANDLE::rendering_object_audio) &&
                place<Unserved, 18>(e, &EDIT_HANDLE::get_effect_item_group_names) &&
                place<Unserved, 19>(e, &EDIT_HANDLE::enum_scene_name) &&
                place<Unserved, 20>(e, &EDIT_HANDLE::select_scene) &&
                place<Unserved, 21>(e, &EDIT_HANDLE::create_scene) &&
                place<Unserved, 22>(e, &EDIT_HANDLE::create_project) &&
                place<Unserved, 23>(e, &EDIT_HANDLE::open_project_file) &&
                place<Unserved, 24>(e, &EDIT_HANDLE::save_project_file) &&
                place<Unserved, 25>(e, &EDIT_HANDLE::output_file);
  e->get_edit_info = getEditInfo;
  e->get_host_app_window = getHostAppWindow;
  e->get_edit_state = getEditState;
  return placed;
}

// The logger and the configuration handle check that they are handed
// themselves.
bool isOwnLogger(LOG_HANDLE* handle, const char* function) {
  if (handle == runningHost->logger) return true;
  addFault(runningHost, std::string(function) + " given a foreign LOG_HANDLE");
  return false;
}

bool isOwnConfig(CONFIG_HANDLE* handle, const char* function) {
  if (handle == runningHost->config) return true;
  addFault(runningHost, std::string(function) + " given a foreign CONFIG_HANDLE");
  return false;
}

template <LogLevel Level>
void writeLog(LOG_HANDLE* handle, LPCWSTR message) {
  Aviutl2Host* host = runningHost;
  const char* name = logLevelName(Level);
  if (!isOwnLogger(handle, name)) return;
  if (message == nullptr) addFault(host, std::string(name) + " given a null text");
  std::wstring text = message != nullptr ? message : L"";
  if (text.size() > static_cast<size_t>(kLogCharacters)) {
    addFault(host, std::string(name) + " given " + std::to_string(text.size()) + " characters, more than the host keeps");
  }
  std::lock_guard<std::mutex> hold(host->lock);
  host->logLines.push_back(LogLine{Level, text, GetCurrentThreadId()});
}

// Texts without a language file come back as they were given.
LPCWSTR translate(CONFIG_HANDLE* handle, LPCWSTR text) {
  isOwnConfig(handle, "translate");
  return text;
}

LPCWSTR getLanguageText(CONFIG_HANDLE* handle, LPCWSTR, LPCWSTR text) {
  isOwnConfig(handle, "get_language_text");
  return text;
}

// No style.conf: no font, colours and sizes 0, no colour list.
FONT_INFO* getFontInfo(CONFIG_HANDLE* handle, LPCSTR) {
  isOwnConfig(handle, "get_font_info");
  return nullptr;
}

int getStyleNumber(CONFIG_HANDLE* handle, LPCSTR) {
  isOwnConfig(handle, "get_color_code or get_layout_size");
  return 0;
}

int getColorCodeIndex(CONFIG_HANDLE* handle, LPCSTR, int) {
  isOwnConfig(handle, "get_color_code_index");
  return 0;
}

// Hands out the first `members` members of `full` in a guarded record
// that ends right behind them.
template <typename Record>
Record* guardedCopy(const char* name, const Record& full, int members) {
  size_t bytes = static_cast<size_t>(members) * 8;
  void* record = allocateGuarded(name, bytes);
  if (record != nullptr) memcpy(record, &full, bytes);
  return static_cast<Record*>(record);
}

}  // namespace

const char* tableMemberName(int member) {
  return member >= 0 && member < kTableMembers ? kTableMemberNames[member] : "(no such member)";
}

const char* editHandleMemberName(int member) {
  return member >= 0 && member < kEditHandleMembers ? kEditHandleMemberNames[member] : "(no such member)";
}

bool buildHostRecords(Aviutl2Host* host) {
  HOST_APP_TABLE table = {};
  EDIT_HANDLE editHandle = {};
  if (!fillTable(&table) || !fillEditHandle(&editHandle)) return false;
  const HostShape& shape = host->settings.shape;
  host->table = guardedCopy("HOST_APP_TABLE", table, shape.tableMembers);
  host->editHandle = guardedCopy("EDIT_HANDLE", editHandle, shape.editHandleMembers);
  LOG_HANDLE logger = {writeLog<LogLevel::log>, writeLog<LogLevel::info>, writeLog<LogLevel::warn>,
                       writeLog<LogLevel::error>, writeLog<LogLevel::verbose>};
  host->logger = guardedCopy("LOG_HANDLE", logger, sizeof(LOG_HANDLE) / 8);
  CONFIG_HANDLE config = {host->settings.appDataPath.c_str(), translate, getLanguageText, getFontInfo,
                          getStyleNumber, getStyleNumber, getColorCodeIndex};
  host->config = guardedCopy("CONFIG_HANDLE", config, sizeof(CONFIG_HANDLE) / 8);
  return host->table != nullptr && host->editHandle != nullptr && host->logger != nullptr &&
         host->config != nullptr;
}

void freeHostRecords(Aviutl2Host* host) {
  freeGuarded(host->table);
  freeGuarded(host->editHandle);
  freeGuarded(host->logger);
  freeGuarded(host->config);
  host->table = nullptr;
  host->editHandle = nullptr;
  host->logger = nullptr;
  host->config = nullptr;
}
