// The records AviUtl ExEdit2 shares with a general plug-in (.aux2), as this
// plug-in uses them: the function table RegisterPlugin gets, the edit
// handle, the edit information, the logger and the plug-in's own
// information. x86-64 only: every member is an 8-byte function pointer at
// index × 8, in the order the host appends them; only the members this
// plug-in calls are named, the others keep their places. No record has a
// size or version field, so the host version handed to InitializePlugin is
// the only sign of which members a host has (the constants at the end).
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <windows.h>

static_assert(sizeof(void*) == 8, "AviUtl ExEdit2 plug-ins are 64-bit");

namespace aviutl2 {

// The edit information get_edit_info copies, up to scene_id (the record of
// the SDKs from 2025/12/27 to 2026/9/19; later hosts append fields and copy
// only the size asked for). Frames count from 0; the selection is -1 at
// both ends when nothing is selected.
struct EDIT_INFO {
  int width, height;
  int rate, scale;  // frames a second: rate / scale
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
};

// What get_edit_state returns.
constexpr int EDIT_STATE_EDIT = 0;
constexpr int EDIT_STATE_PLAY = 1;  // preview playback
constexpr int EDIT_STATE_SAVE = 2;  // file output

// The kind of change an event listener is registered for; int-sized.
enum class EVENT_TYPE : int32_t {
  CHANGE_EDIT_STATE = 5,  // playback or file output began or ended (SDK 2026/9/19 on)
};

typedef void (*EventProc)(void* param);
typedef void (*ConfigProc)(HWND hwnd, HINSTANCE dll_hinst);

// The edit handle create_edit_handle returns, up to get_edit_state.
struct EDIT_HANDLE {
  void* reserved0[2];
  void (*get_edit_info)(EDIT_INFO* info, int info_size);  // #2
  void* reserved3[4];
  int (*get_edit_state)();  // #7, SDK 2026/4/12 on
};

// The host's function table, up to register_event_listener.
struct HOST_APP_TABLE {
  void* reserved0[8];
  EDIT_HANDLE* (*create_edit_handle)();  // #8
  void* reserved9[4];
  void (*register_config_menu)(LPCWSTR name, ConfigProc proc);  // #13
  void* reserved14[14];
  void (*register_event_listener)(EVENT_TYPE type, void* param, EventProc proc);  // #28, SDK 2026/6/14 on
};

// The logger InitializeLogger gets; each function takes the logger itself
// and a UTF-16 text, of which the host keeps 1024 characters.
struct LOG_HANDLE {
  void (*log)(LOG_HANDLE* handle, LPCWSTR message);
  void (*info)(LOG_HANDLE* handle, LPCWSTR message);
  void (*warn)(LOG_HANDLE* handle, LPCWSTR message);
  void (*error)(LOG_HANDLE* handle, LPCWSTR message);
  void (*verbose)(LOG_HANDLE* handle, LPCWSTR message);
};
constexpr size_t kLogCharacters = 1024;

// The plug-in's name and information, from the export GetCommonPluginTable.
struct COMMON_PLUGIN_TABLE {
  LPCWSTR name;
  LPCWSTR information;
};

static_assert(offsetof(EDIT_HANDLE, get_edit_info) == 16, "EDIT_HANDLE #2");
static_assert(offsetof(EDIT_HANDLE, get_edit_state) == 56, "EDIT_HANDLE #7");
static_assert(offsetof(HOST_APP_TABLE, create_edit_handle) == 64, "HOST_APP_TABLE #8");
static_assert(offsetof(HOST_APP_TABLE, register_config_menu) == 104, "HOST_APP_TABLE #13");
static_assert(offsetof(HOST_APP_TABLE, register_event_listener) == 224, "HOST_APP_TABLE #28");
static_assert(sizeof(HOST_APP_TABLE) == 232, "HOST_APP_TABLE: 29 members");
static_assert(offsetof(EDIT_INFO, frame_max) == 28, "EDIT_INFO frame_max");
static_assert(offsetof(EDIT_INFO, select_range_start) == 52 && offsetof(EDIT_INFO, select_range_end) == 56,
              "EDIT_INFO selection");
static_assert(sizeof(EDIT_INFO) == 76, "EDIT_INFO up to scene_id");
static_assert(sizeof(EVENT_TYPE) == 4, "EVENT_TYPE is int-sized");
static_assert(sizeof(LOG_HANDLE) == 40 && offsetof(LOG_HANDLE, error) == 24, "LOG_HANDLE");
static_assert(sizeof(COMMON_PLUGIN_TABLE) == 16, "COMMON_PLUGIN_TABLE");

// Host versions, as InitializePlugin(version) gets them. The host documents
// no encoding; plug-ins read major × 1,000,000 + minor × 10,000 + beta or
// patch × 100 + build (2.00 beta15 is 2001500, 2.0.54 is 2005400, 2.1.0 is
// 2010000). The host does not say which version brought a member either:
// these two are this plug-in's assumptions, each the first release known to
// be later than the SDK that added the member. Too high refuses a host that
// would have worked; too low would call through a member the host doesn't
// have, so each errs high.
//
// get_edit_state (EDIT_HANDLE #7) came with the SDK of 2026/4/12; 2.0.54,
// the release of July 2026, is the first known to have it. Without it the
// plug-in can't see a file output: it refuses to load.
constexpr DWORD kHostVersionWithEditState = 2005400;
// register_event_listener (HOST_APP_TABLE #28) came with the SDK of
// 2026/6/14 and CHANGE_EDIT_STATE with that of 2026/9/19; 2.1.0 has both.
// Below it the plug-in only watches get_edit_state: a host from before
// 2026/9/19 never fires CHANGE_EDIT_STATE, so nothing is lost.
constexpr DWORD kHostVersionWithEventListener = 2010000;
// Every release of the host, from 2.00 beta1 on, reports at least this. A
// smaller number (0 from a host that has none to give) is no release's: the
// plug-in takes such a host for one of the newest SDK it knows, since no
// release can be told from it.
constexpr DWORD kFirstHostVersion = 2000100;

}  // namespace aviutl2
