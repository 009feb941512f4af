// Windows paths for the stand-ins: the native build hands the plug-in paths
// with backslashes, as Windows does, and maps them to POSIX paths at the
// point where a stand-in touches the file system.
#pragma once

#include <string>

// Returns `windowsPath` with every backslash that starts a code page 932
// character replaced by a slash (the second byte of a double-byte character
// is left alone). A leading drive "Z:" is dropped.
std::string toPosixPath(const char* windowsPath);

// Returns `posixPath` with every slash replaced by a backslash.
std::string toWindowsPath(const char* posixPath);
