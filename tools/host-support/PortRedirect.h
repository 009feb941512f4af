// Test facility: sends the plug-in's TCP connections for one local port to
// another, so that tests can run their receiver on a free port while the
// plug-in still speaks to 9801 or 11000. It replaces the plug-in module's
// import of `connect` (see ImportHooks.h).
#pragma once

#include <stdint.h>

#include <string>

// Adds the redirection `fromPort` -> `toPort` (up to 8).
void addPortRedirect(int32_t fromPort, int32_t toPort);

// Installs the redirections into `module` (the handle from LoadLibraryA or
// dlopen). Returns false with `error` set when the import isn't found.
bool installPortRedirects(void* module, std::string* error);
