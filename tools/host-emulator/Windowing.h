// The filter window as the host owns it. Under Windows (Wine) it is a real,
// hidden top-level window whose window procedure passes the plug-in's
// messages to its window handler, as the host does; natively it is an
// opaque handle and the window calls go to the stand-ins inside the loaded
// plug-in module (looked up there by name), where its controls live.
#pragma once

#include <stdint.h>

#include <string>

// Creates the filter window for the plug-in loaded as `module` with the
// filter record `descriptor`. Returns false with `error` set on failure.
bool openFilterWindow(void* module, uint8_t* descriptor, std::string* error);

// The filter window's handle, for naming it in traces.
void* filterWindowHandle();

// Sends the host's window initialisation (1127). Under Windows a watcher
// thread meanwhile looks for a message box captioned "ERROR", prints its
// text, icon and buttons and presses OK.
void initialiseFilterWindow();

// Picks entry `index` of the list with control ID `id` as a user would:
// CB_SETCURSEL on the list, then WM_COMMAND with CBN_SELCHANGE. Without
// such a list (before the initialisation) the WM_COMMAND goes out alone.
void pickListEntry(int id, int index);

// Prints every control of the filter window: class, text, styles, position
// and size in the window's client area, control ID, font, and a list's
// dropped-down size, entries and selection.
void dumpControls();

// Destroys the filter window; the plug-in receives WM_DESTROY.
void destroyFilterWindow();
