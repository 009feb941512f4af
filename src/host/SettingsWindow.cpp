// Placeholder until the settings window lands.
#include "host/SettingsWindow.h"

int32_t __cdecl settingsWindowProc(HWND, UINT, WPARAM, LPARAM, void*, HostFilterDescriptor*) { return 0; }
