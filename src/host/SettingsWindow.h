// The filter window: template and port choices, restored from and stored to
// the host's settings.
#pragma once

#include <stdint.h>

#include "host/HostInterface.h"

// Handles the host's window initialisation (1127), WM_COMMAND and
// WM_DESTROY for the filter window. Returns 0 for every message.
int32_t __cdecl settingsWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                   void* editHandle, HostFilterDescriptor* filter);
