// Files and folders as the test program itself reaches them, in both builds:
// natively by their POSIX paths, under Wine by Windows paths on drive Z:,
// through the wide-character functions so that paths past 260 bytes work.
#pragma once

#include <string>
#include <vector>

// The path this program opens for a POSIX path: a Windows path under Wine.
std::string localPath(const std::string& posixPath);

// Creates the folder `posixPath` with its parents.
void createFolder(const std::string& posixPath);

// Writes `bytes` exactly to `posixPath`, creating its folder; also a path
// longer than 260 bytes.
void writeAnyFile(const std::string& posixPath, const std::string& bytes);

// The names the directory search (FindFirstFileA, FindNextFileA) gives for
// `pattern`, a Windows path such as "Z:\tmp\x\*.tpp", in its order.
std::vector<std::string> searchOrder(const std::string& pattern);
