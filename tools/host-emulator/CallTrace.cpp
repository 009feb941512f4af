#include "CallTrace.h"

#include <stdio.h>
#include <string.h>
#include <windows.h>

#include <string>
#include <vector>

#include "FakeHost.h"
#include "host-support/ImportHooks.h"
#include "Text.h"

namespace {

struct NamedHandle {
  const void* handle;
  std::string name;
};

std::vector<NamedHandle> handles;
int controls = 0;
int fonts = 0;

decltype(&CreateWindowExA) realCreateWindowEx;
decltype(&CreateFontA) realCreateFont;
decltype(&SendMessageA) realSendMessage;
decltype(&MessageBoxA) realMessageBox;
decltype(&DeleteObject) realDeleteObject;

std::string nameOf(const void* handle) {
  if (handle == nullptr) return "null";
  for (const NamedHandle& named : handles) {
    if (named.handle == handle) return named.name;
  }
  char text[32];
  snprintf(text, sizeof text, "0x%08x", static_cast<unsigned>(reinterpret_cast<uintptr_t>(handle)));
  return text;
}

const char* messageName(UINT message) {
  switch (message) {
    case WM_SETFONT: return "WM_SETFONT";
    case WM_GETFONT: return "WM_GETFONT";
    case CB_ADDSTRING: return "CB_ADDSTRING";
    case CB_GETCOUNT: return "CB_GETCOUNT";
    case CB_GETCURSEL: return "CB_GETCURSEL";
    case CB_SETCURSEL: return "CB_SETCURSEL";
    case CB_GETLBTEXT: return "CB_GETLBTEXT";
    case CB_GETLBTEXTLEN: return "CB_GETLBTEXTLEN";
    default: return nullptr;
  }
}

HWND WINAPI traceCreateWindowEx(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x,
                                int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                                LPVOID param) {
  HWND window = realCreateWindowEx(exStyle, className, windowName, style, x, y, width, height, parent, menu,
                                   instance, param);
  if (window != nullptr) handles.push_back(NamedHandle{window, "control-" + std::to_string(++controls)});
  say("call CreateWindowExA(exstyle=0x%08x, class=%s, text=%s, style=0x%08x, x=%d, y=%d, width=%d, "
      "height=%d, parent=%s, menu=%u, instance=%s, param=%s) -> %s\n",
      static_cast<unsigned>(exStyle), quoted(className ? className : "").c_str(),
      quoted(windowName ? windowName : "").c_str(), static_cast<unsigned>(style), x, y, width, height,
      nameOf(parent).c_str(), static_cast<unsigned>(reinterpret_cast<uintptr_t>(menu)),
      nameOf(instance).c_str(), nameOf(param).c_str(), nameOf(window).c_str());
  return window;
}

HFONT WINAPI traceCreateFont(int height, int width, int escapement, int orientation, int weight,
                             DWORD italic, DWORD underline, DWORD strikeOut, DWORD charSet,
                             DWORD outPrecision, DWORD clipPrecision, DWORD quality, DWORD pitchAndFamily,
                             LPCSTR face) {
  HFONT font = realCreateFont(height, width, escapement, orientation, weight, italic, underline, strikeOut,
                              charSet, outPrecision, clipPrecision, quality, pitchAndFamily, face);
  if (font != nullptr) handles.push_back(NamedHandle{font, "font-" + std::to_string(++fonts)});
  say("call CreateFontA(height=%d, width=%d, escapement=%d, orientation=%d, weight=%d, italic=%u, "
      "underline=%u, strikeout=%u, charset=%u, out-precision=%u, clip-precision=%u, quality=%u, "
      "pitch-family=%u, face=%s) -> %s\n",
      height, width, escapement, orientation, weight, static_cast<unsigned>(italic),
      static_cast<unsigned>(underline), static_cast<unsigned>(strikeOut), static_cast<unsigned>(charSet),
      static_cast<unsigned>(outPrecision), static_cast<unsigned>(clipPrecision),
      static_cast<unsigned>(quality), static_cast<unsigned>(pitchAndFamily), quoted(face ? face : "").c_str(),
      nameOf(font).c_str());
  return font;
}

LRESULT WINAPI traceSendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = realSendMessage(window, message, wParam, lParam);
  const char* name = messageName(message);
  std::string wText = message == WM_SETFONT ? nameOf(reinterpret_cast<void*>(wParam))
                                            : std::to_string(static_cast<long>(wParam));
  std::string lText = std::to_string(static_cast<long>(lParam));
  // The text is read after the call, when CB_GETLBTEXT has filled it.
  if ((message == CB_ADDSTRING || message == CB_GETLBTEXT) && lParam != 0) {
    lText = quoted(reinterpret_cast<const char*>(lParam));
  }
  std::string resultText = message == WM_GETFONT ? nameOf(reinterpret_cast<void*>(result))
                                                 : std::to_string(static_cast<long>(result));
  if (name != nullptr) {
    say("call SendMessageA(%s, %s, %s, %s) -> %s\n", nameOf(window).c_str(), name, wText.c_str(),
        lText.c_str(), resultText.c_str());
  } else {
    say("call SendMessageA(%s, 0x%04x, %s, %s) -> %s\n", nameOf(window).c_str(), message, wText.c_str(),
        lText.c_str(), resultText.c_str());
  }
  return result;
}

int WINAPI traceMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  say("call MessageBoxA(owner=%s, text=%s, caption=%s, type=0x%08x)\n", nameOf(owner).c_str(),
      quoted(text ? text : "").c_str(), quoted(caption ? caption : "").c_str(), type);
  int result = realMessageBox(owner, text, caption, type);
  say("call MessageBoxA -> %d\n", result);
  return result;
}

BOOL WINAPI traceDeleteObject(HGDIOBJ object) {
  BOOL result = realDeleteObject(object);
  say("call DeleteObject(%s) -> %d\n", nameOf(object).c_str(), result);
  return result;
}

template <typename F>
bool hook(void* module, const char* library, const char* name, F replacement, F* original) {
  *original = reinterpret_cast<F>(hookImport(module, library, name, reinterpret_cast<void*>(replacement)));
  return *original != nullptr;
}

}  // namespace

bool installCallTrace(void* module, void* filterWindow) {
  handles.push_back(NamedHandle{filterWindow, "filter-window"});
  handles.push_back(NamedHandle{module, "module"});
  bool ok = hook(module, "user32.dll", "CreateWindowExA", &traceCreateWindowEx, &realCreateWindowEx);
  ok = hook(module, "gdi32.dll", "CreateFontA", &traceCreateFont, &realCreateFont) && ok;
  ok = hook(module, "user32.dll", "SendMessageA", &traceSendMessage, &realSendMessage) && ok;
  ok = hook(module, "user32.dll", "MessageBoxA", &traceMessageBox, &realMessageBox) && ok;
  // Only a plug-in that releases its font imports DeleteObject.
  hook(module, "gdi32.dll", "DeleteObject", &traceDeleteObject, &realDeleteObject);
  return ok;
}
