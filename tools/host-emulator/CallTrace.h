// --trace: prints the plug-in's calls to the window, font and message-box
// functions with their exact arguments, as a debugger would, by hooking the
// plug-in module's imports (see ImportHooks.h). Handles are printed by name:
// "filter-window", "module", and "control-N" / "font-N" in order of creation.
#pragma once

// Hooks the calls in `module`. `filterWindow` is the host's window handle.
// Returns false when one of the functions is not imported.
bool installCallTrace(void* module, void* filterWindow);
