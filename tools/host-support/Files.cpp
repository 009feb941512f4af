#include "host-support/Files.h"

#include <stdio.h>

#include <algorithm>
#include <atomic>

#ifdef _WIN32
#include <process.h>
#include <windows.h>
#else
#include <unistd.h>

#include <filesystem>
#endif

#ifndef SSTP_SOURCE_DIR
#error "SSTP_SOURCE_DIR names the source tree"
#endif

namespace {

// The folder part of a path, without its last slash; empty for a bare name.
std::string parentOf(const std::string& posixPath) {
  size_t cut = posixPath.find_last_of('/');
  return cut == std::string::npos || cut == 0 ? std::string() : posixPath.substr(0, cut);
}

#ifdef _WIN32

long processId() { return static_cast<long>(_getpid()); }

// RemoveDirectoryW takes only an empty folder: the contents go first.
void removeWideTree(const std::wstring& path) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      std::wstring child = path + L"\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        removeWideTree(child);
      } else {
        DeleteFileW(child.c_str());
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(path.c_str());
}

bool writeOnce(const std::string& posixPath, const std::string& bytes) {
  HANDLE file = CreateFileW(longPath(posixPath).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool whole = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
               written == bytes.size();
  return CloseHandle(file) && whole;
}

#else

long processId() { return static_cast<long>(getpid()); }

bool writeOnce(const std::string& posixPath, const std::string& bytes) {
  FILE* file = fopen(posixPath.c_str(), "wb");
  if (file == nullptr) return false;
  bool whole = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return fclose(file) == 0 && whole;
}

#endif

}  // namespace

std::string hostPath(const std::string& posixPath) {
  std::string path = posixPath;
  std::replace(path.begin(), path.end(), '/', '\\');
#ifdef _WIN32
  if (!posixPath.empty() && posixPath[0] == '/') path = "Z:" + path;
#endif
  return path;
}

std::string hostFolder(const std::string& posixFolder) {
  std::string folder = hostPath(posixFolder);
  if (folder.empty() || folder.back() != '\\') folder += '\\';
  return folder;
}

std::string localPath(const std::string& posixPath) {
#ifdef _WIN32
  return hostPath(posixPath);
#else
  return posixPath;
#endif
}

#ifdef _WIN32
std::wstring longPath(const std::string& posixPath) {
  std::string path = hostPath(posixPath);
  int length = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
  std::wstring wide(static_cast<size_t>(length > 0 ? length : 1), L'\0');
  MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, &wide[0], length);
  wide.resize(wcslen(wide.c_str()));
  // "\\?\" names an absolute path only.
  return !posixPath.empty() && posixPath[0] == '/' ? L"\\\\?\\" + wide : wide;
}
#endif

std::string sourcePath(const std::string& relative) { return std::string(SSTP_SOURCE_DIR) + "/" + relative; }

std::string fixturePath(const char* area, const char* name) {
  return sourcePath(std::string("tests/") + area + "/fixtures/" + name);
}

std::string folderOfLength(const std::string& base, size_t length) {
  std::string folder = base;
  size_t now = hostFolder(folder).size();
  // Each name adds itself and a separator; at most 200 bytes a name.
  while (now < length) {
    size_t add = std::min<size_t>(length - now, 201);
    if (length - now - add == 1) add -= 2;  // never leave a remainder of one (an empty name)
    folder += "/" + std::string(add - 1, 'd');
    now += add;
  }
  return folder;
}

std::string makeTempFolder(const char* tag) {
  static std::atomic<int> counter{0};
  std::string path = "/tmp/sstp-test-" + std::to_string(processId()) + "-" + tag + "-" + std::to_string(counter++);
  removeTree(path);
  createFolders(path);
  return path;
}

bool createFolders(const std::string& posixFolder) {
#ifdef _WIN32
  // Each prefix in turn: CreateDirectoryW makes one level.
  for (size_t at = posixFolder.find('/', 1);; at = posixFolder.find('/', at + 1)) {
    std::string prefix = posixFolder.substr(0, at);
    bool made = CreateDirectoryW(longPath(prefix).c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
    if (!made) return false;
    if (at == std::string::npos) return true;
  }
#else
  std::error_code error;
  std::filesystem::create_directories(posixFolder, error);
  return !error;
#endif
}

bool writeFileBytes(const std::string& posixPath, const std::string& bytes) {
  // The folder is made only when the first attempt fails: most files go
  // into a folder that is there.
  if (writeOnce(posixPath, bytes)) return true;
  std::string parent = parentOf(posixPath);
  return !parent.empty() && createFolders(parent) && writeOnce(posixPath, bytes);
}

std::string readFileBytes(const std::string& posixPath) {
  std::string bytes;
  char chunk[65536];
#ifdef _WIN32
  HANDLE file = CreateFileW(longPath(posixPath).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  DWORD got = 0;
  while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) bytes.append(chunk, got);
  CloseHandle(file);
#else
  FILE* file = fopen(posixPath.c_str(), "rb");
  if (file == nullptr) return bytes;
  for (size_t got; (got = fread(chunk, 1, sizeof chunk, file)) > 0;) bytes.append(chunk, got);
  fclose(file);
#endif
  return bytes;
}

void removeTree(const std::string& posixPath) {
#ifdef _WIN32
  std::wstring path = longPath(posixPath);
  DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    removeWideTree(path);
  } else {
    DeleteFileW(path.c_str());
  }
#else
  std::error_code ignored;
  std::filesystem::remove_all(posixPath, ignored);
#endif
}
