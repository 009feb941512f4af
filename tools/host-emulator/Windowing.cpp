#include "Windowing.h"

#include <stdio.h>
#include <string.h>
#include <windows.h>

#include <vector>

#ifndef _WIN32
#include <dlfcn.h>
#endif

#include "FakeHost.h"
#include "Text.h"

namespace {

// The window calls the emulator makes: Windows' own under Windows, the
// plug-in module's stand-ins natively.
struct WindowCalls {
  decltype(&SendMessageA) sendMessage;
  decltype(&GetDlgItem) getDlgItem;
  decltype(&GetParent) getParent;
  decltype(&GetClassNameA) getClassName;
  decltype(&GetWindowTextA) getWindowText;
  decltype(&GetWindowLongA) getWindowLong;
  decltype(&GetWindowRect) getWindowRect;
  decltype(&MapWindowPoints) mapWindowPoints;
  decltype(&EnumChildWindows) enumChildWindows;
  decltype(&GetObjectA) getObject;
};

WindowCalls calls;
HWND filterWindow = nullptr;
uint8_t* descriptor = nullptr;
bool forwarding = false;

const char* messageName(UINT message) {
  switch (message) {
    case hostLayout::kWindowInitMessage: return "window initialisation (1127)";
    case WM_COMMAND: return "WM_COMMAND";
    case WM_DESTROY: return "WM_DESTROY";
    default: return "message";
  }
}

LRESULT callHandler(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto handler = functionAt<hostLayout::PluginWindowHandler>(descriptor, hostLayout::kDescriptorWindowHandler);
  if (handler == nullptr) return 0;
  int32_t result = handler(window, message, wParam, lParam, editHandle(), descriptor);
  say("host: %s -> %d\n", messageName(message), result);
  return result;
}

#ifdef _WIN32

LRESULT CALLBACK hostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  bool forHandler = message == hostLayout::kWindowInitMessage || message == WM_COMMAND || message == WM_DESTROY;
  if (forwarding && forHandler) {
    callHandler(window, message, wParam, lParam);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

bool createWindow(void*, std::string* error) {
  calls = WindowCalls{&SendMessageA,   &GetDlgItem,      &GetParent,       &GetClassNameA,
                      &GetWindowTextA, &GetWindowLongA,  &GetWindowRect,   &MapWindowPoints,
                      &EnumChildWindows, &GetObjectA};
  WNDCLASSA windowClass;
  memset(&windowClass, 0, sizeof windowClass);
  windowClass.lpfnWndProc = hostWindowProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = "HostEmulatorFilterWindow";
  RegisterClassA(&windowClass);
  // The client area gets the size the descriptor asks for.
  RECT frame = {0, 0, static_cast<LONG>(wordAt(descriptor, hostLayout::kDescriptorWindowWidth)),
                static_cast<LONG>(wordAt(descriptor, hostLayout::kDescriptorWindowHeight))};
  DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
  AdjustWindowRect(&frame, style, FALSE);
  const char* name = static_cast<const char*>(pointerAt(descriptor, hostLayout::kDescriptorName));
  filterWindow = CreateWindowExA(0, windowClass.lpszClassName, name ? name : "", style, CW_USEDEFAULT,
                                 CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top, nullptr,
                                 nullptr, windowClass.hInstance, nullptr);
  if (filterWindow == nullptr) {
    *error = "CreateWindowExA failed with error " + std::to_string(GetLastError());
    return false;
  }
  return true;
}

LRESULT deliver(UINT message, WPARAM wParam, LPARAM lParam) {
  return SendMessageA(filterWindow, message, wParam, lParam);
}

// Looks for the error box while the window initialises, reads it and
// presses OK, as a user would.
volatile LONG watching = 0;

struct BoxContents {
  std::string text;
  HICON icon = nullptr;
  std::string buttons;
};

BOOL CALLBACK readBoxControl(HWND control, LPARAM lParam) {
  BoxContents* box = reinterpret_cast<BoxContents*>(lParam);
  char name[64] = "";
  GetClassNameA(control, name, sizeof name);
  char text[1024] = "";
  GetWindowTextA(control, text, sizeof text);
  LONG style = GetWindowLongA(control, GWL_STYLE);
  if (_stricmp(name, "Static") == 0) {
    if ((style & SS_TYPEMASK) == SS_ICON) {
      box->icon = reinterpret_cast<HICON>(SendMessageA(control, STM_GETICON, 0, 0));
    } else if (text[0] != '\0') {
      box->text = text;
    }
  } else if (_stricmp(name, "Button") == 0 && IsWindowVisible(control)) {
    if (!box->buttons.empty()) box->buttons += ",";
    box->buttons += text;
  }
  return TRUE;
}

DWORD WINAPI watchForErrorBox(LPVOID) {
  while (InterlockedCompareExchange(&watching, 1, 1) == 1) {
    HWND box = FindWindowA("#32770", "ERROR");
    if (box != nullptr) {
      Sleep(100);  // let the box finish its initialisation
      BoxContents contents;
      EnumChildWindows(box, readBoxControl, reinterpret_cast<LPARAM>(&contents));
      const char* icon = contents.icon == nullptr ? "none"
                         : contents.icon == LoadIconA(nullptr, IDI_HAND) ? "error"
                                                                        : "other";
      std::string buttons = utf8FromSjis(contents.buttons);
      say("messagebox caption=\"ERROR\" owner=%s text=%s icon=%s buttons=%s\n",
          GetWindow(box, GW_OWNER) == filterWindow ? "filter-window" : "other",
          quoted(contents.text).c_str(), icon, buttons.c_str());
      PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
      return 0;
    }
    Sleep(20);
  }
  return 0;
}

void runInitialisation() {
  InterlockedExchange(&watching, 1);
  HANDLE watcher = CreateThread(nullptr, 0, watchForErrorBox, nullptr, 0, nullptr);
  deliver(hostLayout::kWindowInitMessage, 0, 0);
  InterlockedExchange(&watching, 0);
  if (watcher != nullptr) {
    WaitForSingleObject(watcher, INFINITE);
    CloseHandle(watcher);
  }
}

void destroyWindow() { DestroyWindow(filterWindow); }

#else

template <typename F>
bool lookUp(void* module, const char* name, F* function, std::string* error) {
  *function = reinterpret_cast<F>(dlsym(module, name));
  if (*function == nullptr) *error += std::string(error->empty() ? "" : ", ") + name;
  return *function != nullptr;
}

bool createWindow(void* module, std::string* error) {
  std::string missing;
  lookUp(module, "SendMessageA", &calls.sendMessage, &missing);
  lookUp(module, "GetDlgItem", &calls.getDlgItem, &missing);
  lookUp(module, "GetParent", &calls.getParent, &missing);
  lookUp(module, "GetClassNameA", &calls.getClassName, &missing);
  lookUp(module, "GetWindowTextA", &calls.getWindowText, &missing);
  lookUp(module, "GetWindowLongA", &calls.getWindowLong, &missing);
  lookUp(module, "GetWindowRect", &calls.getWindowRect, &missing);
  lookUp(module, "MapWindowPoints", &calls.mapWindowPoints, &missing);
  lookUp(module, "EnumChildWindows", &calls.enumChildWindows, &missing);
  lookUp(module, "GetObjectA", &calls.getObject, &missing);
  if (!missing.empty()) {
    *error = "the plug-in module has no window stand-ins: " + missing;
    return false;
  }
  // The host's own window is only a handle to the plug-in.
  filterWindow = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x7FFE0000));
  return true;
}

LRESULT deliver(UINT message, WPARAM wParam, LPARAM lParam) {
  return callHandler(filterWindow, message, wParam, lParam);
}

void runInitialisation() { deliver(hostLayout::kWindowInitMessage, 0, 0); }

void destroyWindow() { deliver(WM_DESTROY, 0, 0); }

#endif

BOOL CALLBACK collectChild(HWND child, LPARAM lParam) {
  std::vector<HWND>* children = reinterpret_cast<std::vector<HWND>*>(lParam);
  if (calls.getParent(child) == filterWindow) children->push_back(child);
  return TRUE;
}

void dumpList(HWND control, int id) {
  int count = static_cast<int>(calls.sendMessage(control, CB_GETCOUNT, 0, 0));
  int selection = static_cast<int>(calls.sendMessage(control, CB_GETCURSEL, 0, 0));
  say("list id=%d count=%d selection=%d\n", id, count, selection);
  for (int i = 0; i < count; ++i) {
    LRESULT length = calls.sendMessage(control, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
    std::string text(length > 0 ? static_cast<size_t>(length) + 1 : 1, '\0');
    calls.sendMessage(control, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&text[0]));
    text.resize(strlen(text.c_str()));
    say("entry id=%d index=%d text=%s\n", id, i, quoted(text).c_str());
  }
}

}  // namespace

bool openFilterWindow(void* module, uint8_t* theDescriptor, std::string* error) {
  descriptor = theDescriptor;
  if (!createWindow(module, error)) return false;
  forwarding = true;
  return true;
}

void* filterWindowHandle() { return filterWindow; }

void initialiseFilterWindow() { runInitialisation(); }

void pickListEntry(int id, int index) {
  HWND list = calls.getDlgItem(filterWindow, id);
  if (list == nullptr) {
    // The notice goes out all the same, as from a host that sends it early.
    say("host: no control with ID %d; WM_COMMAND without a list\n", id);
  } else {
    LRESULT selected = calls.sendMessage(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    say("host: CB_SETCURSEL %d on list %d -> %d\n", index, id, static_cast<int>(selected));
  }
  deliver(WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

void dumpControls() {
  std::vector<HWND> children;
  calls.enumChildWindows(filterWindow, collectChild, reinterpret_cast<LPARAM>(&children));
  say("controls count=%d\n", static_cast<int>(children.size()));
  for (HWND control : children) {
    char name[64] = "";
    calls.getClassName(control, name, sizeof name);
    char text[1024] = "";
    calls.getWindowText(control, text, sizeof text);
    DWORD style = static_cast<DWORD>(calls.getWindowLong(control, GWL_STYLE));
    DWORD exStyle = static_cast<DWORD>(calls.getWindowLong(control, GWL_EXSTYLE));
    int id = static_cast<int>(calls.getWindowLong(control, GWL_ID));
    bool isList = strcmp(name, "ComboBox") == 0;
    RECT rect = {0, 0, 0, 0};
    calls.getWindowRect(control, &rect);
    calls.mapWindowPoints(HWND_DESKTOP, filterWindow, reinterpret_cast<POINT*>(&rect), 2);
    HGDIOBJ font = reinterpret_cast<HGDIOBJ>(calls.sendMessage(control, WM_GETFONT, 0, 0));
    LOGFONTA logFont;
    memset(&logFont, 0, sizeof logFont);
    bool haveFont = font != nullptr && calls.getObject(font, sizeof logFont, &logFont) > 0;
    say("control class=%s text=%s style=0x%08x exstyle=0x%08x x=%d y=%d width=%d height=%d id=%d\n",
        name, quoted(text).c_str(), static_cast<unsigned>(style), static_cast<unsigned>(exStyle),
        static_cast<int>(rect.left), static_cast<int>(rect.top), static_cast<int>(rect.right - rect.left),
        static_cast<int>(rect.bottom - rect.top), id);
    if (haveFont) {
      say("font id=%d face=%s height=%d width=%d escapement=%d orientation=%d weight=%d italic=%d "
          "underline=%d strikeout=%d charset=%d out-precision=%d clip-precision=%d quality=%d "
          "pitch-family=%d\n",
          id, quoted(logFont.lfFaceName).c_str(), static_cast<int>(logFont.lfHeight),
          static_cast<int>(logFont.lfWidth), static_cast<int>(logFont.lfEscapement),
          static_cast<int>(logFont.lfOrientation), static_cast<int>(logFont.lfWeight), logFont.lfItalic,
          logFont.lfUnderline, logFont.lfStrikeOut, logFont.lfCharSet, logFont.lfOutPrecision,
          logFont.lfClipPrecision, logFont.lfQuality, logFont.lfPitchAndFamily);
    } else {
      say("font id=%d none\n", id);
    }
    if (isList) {
      // Windows sizes a list's own window to its closed box; the size it
      // was created with shows only in its dropped-down rectangle, which
      // Wine gives without the closed box's height.
      RECT dropped = {0, 0, 0, 0};
      calls.sendMessage(control, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&dropped));
      say("dropped id=%d width=%d height=%d\n", id, static_cast<int>(dropped.right - dropped.left),
          static_cast<int>(dropped.bottom - dropped.top));
      dumpList(control, id);
    }
  }
}

void destroyFilterWindow() { destroyWindow(); }
