// Replaces a loaded plug-in module's imports with the emulator's own
// functions: under Windows the slots of its import address table, natively
// the GOT slots of its relocations (the plug-in calls even the stand-ins
// inside it through them). The plug-in's code and data stay untouched.
#pragma once

// Points every import of `name` in `module` (the handle from LoadLibraryA or
// dlopen) at `replacement`. `library` names the DLL that exports it under
// Windows and is not used natively. Returns the function the import led to
// before, or null when the module does not import `name`.
void* hookImport(void* module, const char* library, const char* name, void* replacement);
