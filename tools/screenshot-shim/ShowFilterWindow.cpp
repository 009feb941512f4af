// show-filter-window.auf: a module that the host emulator loads in place of
// the plug-in, so that script/screenshot can capture the settings window.
// The emulator keeps the filter window hidden and pumps no messages while
// it waits; this module loads the real plug-in (the path in SHOT_PLUGIN),
// hands the emulator the plug-in's own filter record and wraps its window
// handler. Once the plug-in has built its controls, the window is shown at
// the screen's top left and kept painted while each rectangle to capture
// is offered on standard output as "shot N: WxH+X+Y" (the window; the
// window with the template list dropped down). Windows only.
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

#include "host/HostInterface.h"

namespace {

// The settings window's template list, found by its control ID as a user
// of the window would find it.
constexpr int kTemplateListId = 40001;

// How long the window is painted before a rectangle is taken, and while
// the capture runs (script/screenshot waits a second, then captures).
constexpr DWORD kSettleMs = 500;
constexpr DWORD kCaptureMs = 4000;

using GetFilterTableFunction = HostFilterDescriptor*(WINAPI*)(void);

WindowHandler pluginHandler;

// Dispatches the thread's messages for `ms` milliseconds so the window paints.
void pumpMessages(DWORD ms) {
  DWORD start = GetTickCount();
  while (GetTickCount() - start < ms) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    Sleep(10);
  }
}

// Offers a rectangle of the screen to capture and keeps painting meanwhile.
void offerShot(int number, const RECT& area) {
  printf("shot %d: %ldx%ld+%ld+%ld\n", number, area.right - area.left, area.bottom - area.top, area.left,
         area.top);
  fflush(stdout);
  pumpMessages(kCaptureMs);
}

// The plug-in's handler, then, after the window's initialisation, both
// shots; the window is hidden again afterwards. Returns the plug-in's result.
int32_t __cdecl showingHandler(HWND window, UINT message, WPARAM wParam, LPARAM lParam, void* editHandle,
                               HostFilterDescriptor* filter) {
  int32_t result = pluginHandler(window, message, wParam, lParam, editHandle, filter);
  if (message != kWindowInitMessage) return result;

  SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
  UpdateWindow(window);
  pumpMessages(kSettleMs);
  RECT frame;
  GetWindowRect(window, &frame);
  offerShot(1, frame);

  // The template list dropped down: the window and the list together.
  HWND list = GetDlgItem(window, kTemplateListId);
  SendMessageA(list, CB_SHOWDROPDOWN, TRUE, 0);
  pumpMessages(kSettleMs);
  COMBOBOXINFO info;
  info.cbSize = sizeof info;
  RECT dropped = frame;
  if (GetComboBoxInfo(list, &info)) GetWindowRect(info.hwndList, &dropped);
  RECT both;
  UnionRect(&both, &frame, &dropped);
  offerShot(2, both);
  SendMessageA(list, CB_SHOWDROPDOWN, FALSE, 0);
  ShowWindow(window, SW_HIDE);
  return result;
}

}  // namespace

// Returns the real plug-in's filter record with its window handler wrapped,
// or null when SHOT_PLUGIN does not load or the plug-in gives no record.
extern "C" __declspec(dllexport) HostFilterDescriptor* WINAPI GetFilterTable(void) {
  const char* path = getenv("SHOT_PLUGIN");
  HMODULE plugin = path ? LoadLibraryA(path) : nullptr;
  if (plugin == nullptr) return nullptr;
  // Through void*: GetProcAddress's type is only a placeholder for the
  // function's own.
  auto entry = reinterpret_cast<GetFilterTableFunction>(
      reinterpret_cast<void*>(GetProcAddress(plugin, "GetFilterTable")));
  HostFilterDescriptor* filter = entry ? entry() : nullptr;
  if (filter == nullptr) return nullptr;
  pluginHandler = filter->windowHandler;
  filter->windowHandler = showingHandler;
  return filter;
}
