// The AviUtl ExEdit2 host's records as the stand-in host and the suites see
// them: the function table a general plug-in gets in RegisterPlugin, the
// edit handle, the edit information, the logger and the configuration
// handle, with the exports' signatures and the host's numbers. Written
// here on their own from the host's documented contracts, apart from the
// plug-in's own declarations, so that a layout mistake in the plug-in fails
// a test instead of being shared by it.
//
// Every record is 64-bit: a member is an 8-byte pointer at index × 8, in
// the order the host's SDK appends them; none has a size or version field,
// so a plug-in cannot see where an older host's record ends.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <windows.h>

static_assert(sizeof(void*) == 8, "AviUtl ExEdit2 and its plug-ins are 64-bit");

namespace aviutl2Layout {

// Records the stand-in hands over or receives only as pointers.
struct INPUT_PLUGIN_TABLE;
struct OUTPUT_PLUGIN_TABLE;
struct FILTER_PLUGIN_TABLE;
struct SCRIPT_MODULE_TABLE;
struct EDIT_SECTION;
struct PROJECT_FILE;
struct MODULE_INFO;
struct IDWriteFontCollection;
typedef void* OBJECT_HANDLE;

// The scene's background colour (EDIT_INFO from the 2026-09-19 SDK on).
struct EDIT_INFO_COLOR {
  uint8_t r, g, b, a;
};

// The edit information get_edit_info copies. Frames and layers count from
// 0; the selection is -1 at both ends when there is none.
struct EDIT_INFO {
  int width, height;
  int rate, scale;
  int sample_rate;
  int frame;
  int layer;
  int frame_max;  // the last frame an object occupies
  int layer_max;
  int display_frame_start;
  int display_layer_start;
  int display_frame_num;
  int display_layer_num;
  int select_range_start;
  int select_range_end;
  float grid_bpm_tempo;
  int grid_bpm_beat;
  float grid_bpm_offset;
  int scene_id;
  EDIT_INFO_COLOR background;  // 2026-09-19 on
};

// Its size before the background colour was added, and with it.
constexpr int kEditInfoBytesBeforeBackground = 76;
constexpr int kEditInfoBytes = 80;

// Callback shapes the host's registrations take.
typedef void (*SectionProc)(EDIT_SECTION* edit);
typedef void (*ParamSectionProc)(void* param, EDIT_SECTION* edit);
typedef void (*ParamProc)(void* param);
typedef void (*ProjectProc)(PROJECT_FILE* project);
typedef void (*ConfigProc)(HWND hwnd, HINSTANCE dll_hinst);
typedef void (*FileDropProc)(EDIT_SECTION* edit, LPCWSTR file);
typedef void (*ParamFileDropProc)(void* param, LPCWSTR file);
typedef void (*ObjectItemProc)(EDIT_SECTION* edit, OBJECT_HANDLE object, LPCWSTR effect, LPCWSTR item);
typedef void (*ParamObjectItemProc)(void* param, OBJECT_HANDLE object, LPCWSTR effect, LPCWSTR item);
typedef void (*NameProc)(void* param, LPCWSTR name);
typedef void (*EffectNameProc)(void* param, LPCWSTR name, int type, int flag);
typedef void (*EffectItemProc)(void* param, LPCWSTR name, int type);
typedef void (*ModuleInfoProc)(void* param, MODULE_INFO* info);
typedef void (*VideoProc)(void* param, int frame, const void* buffer, int width, int height, int pitch);
typedef void (*AudioProc)(void* param, int frame, const float* left, const float* right, int samples);
typedef void (*SceneNameProc)(void* param, LPCWSTR name, int scene_id);

// What changed, for register_event_listener; int-sized.
enum class EVENT_TYPE : int32_t {
  UPDATE_OBJECT = 1,
  CHANGE_EDIT_FRAME = 2,
  CHANGE_EDIT_SCENE = 3,
  CHANGE_FOCUS_OBJECT = 4,
  CHANGE_EDIT_STATE = 5,  // preview playback or file output began or ended (2026-09-19 on)
};

// What get_edit_state returns.
constexpr int EDIT_STATE_EDIT = 0;
constexpr int EDIT_STATE_PLAY = 1;
constexpr int EDIT_STATE_SAVE = 2;

// The edit handle create_edit_handle returns; its functions take no handle.
struct EDIT_HANDLE {
  bool (*call_edit_section)(SectionProc proc);
  bool (*call_edit_section_param)(void* param, ParamSectionProc proc);
  void (*get_edit_info)(EDIT_INFO* info, int info_size);
  void (*restart_host_app)();
  void (*enum_effect_name)(void* param, EffectNameProc proc);
  void (*enum_module_info)(void* param, ModuleInfoProc proc);
  HWND (*get_host_app_window)();
  int (*get_edit_state)();  // 2026-04-12 on
  bool (*call_read_section)(SectionProc proc);
  bool (*call_read_section_param)(void* param, ParamSectionProc proc);
  bool (*enum_effect_item)(LPCWSTR effect, void* param, EffectItemProc proc);
  bool (*rendering_scene_video)(int frame, void* param, VideoProc proc);
  bool (*rendering_scene_audio)(int frame, void* param, AudioProc proc);
  void (*wait_rendering_task)();
  void (*enum_font_name)(void* param, NameProc proc);
  void (*enum_palette_name)(void* param, NameProc proc);
  bool (*rendering_object_video)(OBJECT_HANDLE object, int frame, bool apply_effect, void* param, VideoProc proc);
  bool (*rendering_object_audio)(OBJECT_HANDLE object, int frame, bool apply_effect, void* param, AudioProc proc);
  int (*get_effect_item_group_names)(LPCWSTR effect, LPCWSTR item, LPCWSTR* names, int count, int* index);
  // 2026-09-19 on.
  void (*enum_scene_name)(void* param, SceneNameProc proc);
  bool (*select_scene)(int scene_id);
  bool (*create_scene)(LPCWSTR name, LPCWSTR label, int width, int height, int rate, int scale, int sample_rate,
                       EDIT_INFO_COLOR background);
  bool (*create_project)(int width, int height, int rate, int scale, int sample_rate, EDIT_INFO_COLOR background,
                         bool show_confirm);
  bool (*open_project_file)(LPCWSTR file, bool show_confirm);
  bool (*save_project_file)(LPCWSTR file);
  bool (*output_file)(LPCWSTR file, LPCWSTR output_plugin, void* param, void (*proc)(void*, PROJECT_FILE*));
};

// The host's function table, handed to RegisterPlugin.
struct HOST_APP_TABLE {
  void (*set_plugin_information)(LPCWSTR information);
  void (*register_input_plugin)(INPUT_PLUGIN_TABLE* table);
  void (*register_output_plugin)(OUTPUT_PLUGIN_TABLE* table);
  void (*register_filter_plugin)(FILTER_PLUGIN_TABLE* table);
  void (*register_script_module)(SCRIPT_MODULE_TABLE* table);
  void (*register_import_menu)(LPCWSTR name, SectionProc proc);
  void (*register_export_menu)(LPCWSTR name, SectionProc proc);
  void (*register_window_client)(LPCWSTR name, HWND hwnd);
  EDIT_HANDLE* (*create_edit_handle)();
  void (*register_project_load_handler)(ProjectProc proc);
  void (*register_project_save_handler)(ProjectProc proc);
  void (*register_layer_menu)(LPCWSTR name, SectionProc proc);
  void (*register_object_menu)(LPCWSTR name, SectionProc proc);
  void (*register_config_menu)(LPCWSTR name, ConfigProc proc);
  void (*register_edit_menu)(LPCWSTR name, SectionProc proc);
  void (*register_clear_cache_handler)(SectionProc proc);
  void (*register_change_scene_handler)(SectionProc proc);
  void (*register_import_menu_param)(LPCWSTR name, void* param, ParamProc proc);
  void (*register_export_menu_param)(LPCWSTR name, void* param, ParamProc proc);
  void (*register_layer_menu_param)(LPCWSTR name, void* param, ParamProc proc);
  void (*register_object_menu_param)(LPCWSTR name, void* param, ParamProc proc);
  void (*register_edit_menu_param)(LPCWSTR name, void* param, ParamProc proc);
  void (*register_file_drop_handler)(LPCWSTR name, LPCWSTR filefilter, FileDropProc proc);
  void (*register_file_drop_param_handler)(LPCWSTR name, LPCWSTR filefilter, void* param, ParamFileDropProc proc);
  void (*register_object_item_menu)(LPCWSTR name, bool allow_effect_only, ObjectItemProc proc);
  void (*register_object_item_menu_param)(LPCWSTR name, bool allow_effect_only, void* param,
                                          ParamObjectItemProc proc);
  void (*register_script_module_name)(SCRIPT_MODULE_TABLE* table, LPCWSTR module_name);
  void (*register_font_collection)(IDWriteFontCollection* collection);
  void (*register_event_listener)(EVENT_TYPE type, void* param, ParamProc func_proc_event);
};

// The logger InitializeLogger gets; each function takes the handle itself.
// The host keeps at most 1024 characters of one output.
struct LOG_HANDLE {
  void (*log)(LOG_HANDLE* handle, LPCWSTR message);
  void (*info)(LOG_HANDLE* handle, LPCWSTR message);
  void (*warn)(LOG_HANDLE* handle, LPCWSTR message);
  void (*error)(LOG_HANDLE* handle, LPCWSTR message);
  void (*verbose)(LOG_HANDLE* handle, LPCWSTR message);
};
constexpr int kLogCharacters = 1024;

struct FONT_INFO {
  LPCWSTR name;
  float size;
};

// The configuration handle InitializeConfig gets: the application data
// folder, then functions that take the handle itself.
struct CONFIG_HANDLE {
  LPCWSTR app_data_path;
  LPCWSTR (*translate)(CONFIG_HANDLE* handle, LPCWSTR text);
  LPCWSTR (*get_language_text)(CONFIG_HANDLE* handle, LPCWSTR section, LPCWSTR text);
  FONT_INFO* (*get_font_info)(CONFIG_HANDLE* handle, LPCSTR key);
  int (*get_color_code)(CONFIG_HANDLE* handle, LPCSTR key);
  int (*get_layout_size)(CONFIG_HANDLE* handle, LPCSTR key);
  int (*get_color_code_index)(CONFIG_HANDLE* handle, LPCSTR key, int index);
};

// The plug-in's information, from its export GetCommonPluginTable.
struct COMMON_PLUGIN_TABLE {
  LPCWSTR name;
  LPCWSTR information;
};

// The exports of a general plug-in (.aux2), looked up by these names.
typedef void (*RegisterPluginFunction)(HOST_APP_TABLE* host);
typedef bool (*InitializePluginFunction)(DWORD version);
typedef void (*UninitializePluginFunction)();
typedef void (*InitializeLoggerFunction)(LOG_HANDLE* logger);
typedef void (*InitializeConfigFunction)(CONFIG_HANDLE* config);
typedef DWORD (*RequiredVersionFunction)();
typedef COMMON_PLUGIN_TABLE* (*GetCommonPluginTableFunction)();

// Members by index: the byte offset of member i is i × 8.
constexpr int kTableMembers = sizeof(HOST_APP_TABLE) / 8;
constexpr int kEditHandleMembers = sizeof(EDIT_HANDLE) / 8;
constexpr int kTableCreateEditHandle = 8;
constexpr int kTableRegisterConfigMenu = 13;
constexpr int kTableRegisterFontCollection = 27;
constexpr int kTableRegisterEventListener = 28;
constexpr int kEditGetEditInfo = 2;
constexpr int kEditGetHostAppWindow = 6;
constexpr int kEditGetEditState = 7;
constexpr int kEditGetEffectItemGroupNames = 18;

static_assert(kTableMembers == 29 && sizeof(HOST_APP_TABLE) == 232, "HOST_APP_TABLE: 29 pointers");
static_assert(offsetof(HOST_APP_TABLE, create_edit_handle) == kTableCreateEditHandle * 8, "create_edit_handle");
static_assert(offsetof(HOST_APP_TABLE, register_config_menu) == kTableRegisterConfigMenu * 8, "register_config_menu");
static_assert(offsetof(HOST_APP_TABLE, register_font_collection) == kTableRegisterFontCollection * 8,
              "register_font_collection");
static_assert(offsetof(HOST_APP_TABLE, register_event_listener) == kTableRegisterEventListener * 8,
              "register_event_listener");
static_assert(kEditHandleMembers == 26, "EDIT_HANDLE: 26 pointers");
static_assert(offsetof(EDIT_HANDLE, get_edit_info) == kEditGetEditInfo * 8, "get_edit_info");
static_assert(offsetof(EDIT_HANDLE, get_host_app_window) == kEditGetHostAppWindow * 8, "get_host_app_window");
static_assert(offsetof(EDIT_HANDLE, get_edit_state) == kEditGetEditState * 8, "get_edit_state");
static_assert(offsetof(EDIT_HANDLE, get_effect_item_group_names) == kEditGetEffectItemGroupNames * 8,
              "get_effect_item_group_names");
static_assert(sizeof(EDIT_INFO) == kEditInfoBytes, "EDIT_INFO: 80 bytes");
static_assert(offsetof(EDIT_INFO, frame_max) == 28, "frame_max");
static_assert(offsetof(EDIT_INFO, select_range_start) == 52 && offsetof(EDIT_INFO, select_range_end) == 56,
              "select_range_start/end");
static_assert(offsetof(EDIT_INFO, scene_id) == 72, "scene_id");
static_assert(offsetof(EDIT_INFO, background) == kEditInfoBytesBeforeBackground, "background");
static_assert(sizeof(EVENT_TYPE) == 4, "EVENT_TYPE is int-sized");
static_assert(sizeof(LOG_HANDLE) == 40 && offsetof(LOG_HANDLE, verbose) == 32, "LOG_HANDLE");
static_assert(sizeof(CONFIG_HANDLE) == 56 && offsetof(CONFIG_HANDLE, get_color_code_index) == 48, "CONFIG_HANDLE");
static_assert(sizeof(FONT_INFO) == 16 && sizeof(COMMON_PLUGIN_TABLE) == 16, "FONT_INFO, COMMON_PLUGIN_TABLE");
static_assert(sizeof(bool) == 1, "the host's bool is one byte");

}  // namespace aviutl2Layout
