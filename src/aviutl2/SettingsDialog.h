// The settings window the host's settings menu opens: the same two lists
// as the 1.x edition's filter window (the template as "ghost (file)", the
// port 9801 or 11000), each choice stored at once. It is a small window of
// its own owned by the host's window, made on the thread that opens it (the
// host's main thread, whose message loop serves it); opening returns at
// once. With no template in the folder it says so in place of the list.
#pragma once

#include <windows.h>

// The window's class, and the IDs of its controls, for the suites.
constexpr wchar_t kSettingsWindowClass[] = L"SstpNotifierSettings";
constexpr int kTemplateListId = 40001;    // the template list (a drop-down list)
constexpr int kPortListId = 40002;        // the port list: "9801", "11000"
constexpr int kNoTemplateTextId = 40003;  // in place of the template list when there is none

// Opens the window owned by `owner` (null: unowned), or shows and brings
// forward the one open already. `module` is this plug-in's module, for the
// window class. Returns the window, or null (logged) when it can't be made.
HWND openSettingsWindow(HWND owner, HINSTANCE module);

// Closes the window if it is open and gives its class back, before the
// module is unloaded: on the thread that opened it, or else by asking that
// thread. A window or class that can't be let go is logged.
void closeSettingsWindow();
