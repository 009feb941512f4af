#include "aviutl2/SettingsDialog.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include "aviutl2/HostLog.h"
#include "aviutl2/Settings.h"
#include "sstp/SstpNotifier.h"
#include "template/TemplateCatalog.h"

namespace {

constexpr DWORD kWindowStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kLabelStyle = WS_CHILD | WS_VISIBLE | SS_RIGHT;
constexpr DWORD kTextStyle = WS_CHILD | WS_VISIBLE | SS_LEFT;
constexpr DWORD kListStyle = WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | CBS_DROPDOWNLIST;
constexpr int kClientWidth = 320;
constexpr int kClientHeight = 68;
// Where the window opens: this far into its owner's window.
constexpr int kOwnerOffset = 48;
const int32_t kPorts[] = {kSstpDefaultPort, kSstpOtherPort};

// The window and its class; used on the thread that made them only.
HWND settingsWindow = nullptr;
HINSTANCE classModule = nullptr;

HWND makeControl(HWND window, const wchar_t* type, const wchar_t* text, DWORD style, int x, int y, int width,
                 int height, int id) {
  HWND control = CreateWindowExW(0, type, text, style, x, y, width, height, window,
                                 reinterpret_cast<HMENU>(static_cast<uintptr_t>(id)), classModule, nullptr);
  HGDIOBJ font = GetStockObject(DEFAULT_GUI_FONT);
  if (control != nullptr) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
  return control;
}

// A label of Shift_JIS text; `cutLineFeed` drops a line feed at its end.
HWND makeLabel(HWND window, const char* text, bool cutLineFeed, DWORD style, int x, int y, int width, int id) {
  wchar_t wide[128];
  wideOfCp932(text, wide, 128);
  size_t length = wcslen(wide);
  if (cutLineFeed && length > 0 && wide[length - 1] == L'\n') wide[length - 1] = L'\0';
  return makeControl(window, L"STATIC", wide, style, x, y, width, 16, id);
}

// The template list, or the text that there is none.
void makeTemplateList(HWND window) {
  int32_t count = templateCount();
  if (count == 0) {
    makeLabel(window, kNoTemplateText, true, kTextStyle, 60, 9, 252, kNoTemplateTextId);
    return;
  }
  HWND list = makeControl(window, L"COMBOBOX", L"", kListStyle, 60, 5, 252, 200, kTemplateListId);
  for (int32_t i = 0; i < count; ++i) {
    char* text = templateListText(i);
    wchar_t wide[1024];
    wideOfCp932(text, wide, 1024);
    free(text);
    SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide));
  }
  SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(chosenTemplate()), 0);
}

void makePortList(HWND window) {
  HWND list = makeControl(window, L"COMBOBOX", L"", kListStyle, 60, 36, 70, 200, kPortListId);
  int32_t chosen = chosenPort();
  for (size_t i = 0; i < sizeof kPorts / sizeof kPorts[0]; ++i) {
    wchar_t text[16];
    swprintf(text, 16, L"%d", static_cast<int>(kPorts[i]));
    SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    if (kPorts[i] == chosen) SendMessageW(list, CB_SETCURSEL, i, 0);
  }
}

// A list's choice changed: the choice is taken and stored.
void listChanged(HWND window, int id) {
  LRESULT index = SendMessageW(GetDlgItem(window, id), CB_GETCURSEL, 0, 0);
  if (index < 0) return;
  if (id == kTemplateListId) chooseTemplate(static_cast<int32_t>(index));
  if (id == kPortListId && static_cast<size_t>(index) < sizeof kPorts / sizeof kPorts[0]) choosePort(kPorts[index]);
}

LRESULT CALLBACK settingsWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      // Nothing may leave a window procedure through the host's message loop.
      try {
        if (HIWORD(wParam) == CBN_SELCHANGE) listChanged(window, LOWORD(wParam));
      } catch (...) {
      }
      return 0;
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      if (window == settingsWindow) settingsWindow = nullptr;
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

bool registerWindowClass(HINSTANCE module) {
  if (classModule != nullptr) return true;
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = settingsWindowProc;
  windowClass.hInstance = module;
  windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kSettingsWindowClass;
  if (RegisterClassExW(&windowClass) == 0) return false;
  classModule = module;
  return true;
}

// The window's outer rectangle: the client size, a little into the owner.
RECT windowRect(HWND owner) {
  RECT rect = {0, 0, kClientWidth, kClientHeight};
  AdjustWindowRectEx(&rect, kWindowStyle, FALSE, 0);
  RECT ownerRect = {0, 0, 0, 0};
  if (owner != nullptr) GetWindowRect(owner, &ownerRect);
  OffsetRect(&rect, ownerRect.left + kOwnerOffset - rect.left, ownerRect.top + kOwnerOffset - rect.top);
  return rect;
}

}  // namespace

HWND openSettingsWindow(HWND owner, HINSTANCE module) {
  if (settingsWindow != nullptr) {
    ShowWindow(settingsWindow, SW_SHOWNORMAL);
    SetForegroundWindow(settingsWindow);
    return settingsWindow;
  }
  RECT rect = windowRect(owner);
  if (registerWindowClass(module)) {
    settingsWindow = CreateWindowExW(0, kSettingsWindowClass, L"SSTP", kWindowStyle, rect.left, rect.top,
                                     rect.right - rect.left, rect.bottom - rect.top, owner, nullptr, module, nullptr);
  }
  if (settingsWindow == nullptr) {
    LogText line;
    line.add(L"the settings window can't be opened (error ").addNumber(GetLastError()).add(L")");
    logLine(LogLevel::warn, line);
    return nullptr;
  }
  makeLabel(settingsWindow, kTemplateListLabel, false, kLabelStyle, 8, 9, 50, 0);
  makeTemplateList(settingsWindow);
  makeLabel(settingsWindow, kPortListLabel, false, kLabelStyle, 8, 40, 50, 0);
  makePortList(settingsWindow);
  ShowWindow(settingsWindow, SW_SHOWNORMAL);
  return settingsWindow;
}

void closeSettingsWindow() {
  if (settingsWindow != nullptr) {
    DWORD owner = GetWindowThreadProcessId(settingsWindow, nullptr);
    if (owner == GetCurrentThreadId()) {
      DestroyWindow(settingsWindow);
    } else {
      DWORD_PTR ignored;
      SendMessageTimeoutW(settingsWindow, WM_CLOSE, 0, 0, SMTO_BLOCK, 1000, &ignored);
    }
  }
  if (classModule == nullptr) return;
  if (UnregisterClassW(kSettingsWindowClass, classModule)) {
    classModule = nullptr;
    return;
  }
  logLine(LogLevel::warn, L"the settings window could not be closed before the plug-in was unloaded");
}
