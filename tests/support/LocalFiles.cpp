#include "support/LocalFiles.h"

#include <windows.h>

#include <filesystem>
#include <fstream>

#include "support/TestFiles.h"

std::string localPath(const std::string& posixPath) {
#ifdef _WIN32
  return hostPath(posixPath);
#else
  return posixPath;
#endif
}

void createFolder(const std::string& posixPath) {
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(localPath(posixPath)), ignored);
}

void writeAnyFile(const std::string& posixPath, const std::string& bytes) {
  std::filesystem::path path(localPath(posixPath));
  std::error_code ignored;
  std::filesystem::create_directories(path.parent_path(), ignored);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::string> searchOrder(const std::string& pattern) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA data;
  HANDLE search = FindFirstFileA(pattern.c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    names.push_back(data.cFileName);
  } while (FindNextFileA(search, &data));
  FindClose(search);
  return names;
}
