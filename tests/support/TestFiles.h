// Files and paths for tests that run both natively and under Wine.
#pragma once

#include <string>

// The path of the fixture `name` in tests/<area>/fixtures, as the program
// under test must spell it (a Windows path under Wine).
std::string fixturePath(const char* area, const char* name);

// Converts a POSIX path to the form the program under test opens: under
// Wine "Z:" followed by the path with backslashes; natively the path with
// backslashes too (the stand-ins map them back).
std::string hostPath(const std::string& posixPath);

// Creates a fresh empty folder under the system's temporary folder and
// returns its POSIX path, ending without a slash.
std::string makeTempFolder(const char* tag);

// Writes `bytes` exactly (no newline conversion) to the POSIX path `path`.
void writeFileBytes(const std::string& path, const std::string& bytes);

// Reads a whole file; empty when it can't be read.
std::string readFileBytes(const std::string& path);

// Removes a folder and everything below it.
void removeTree(const std::string& posixPath);
