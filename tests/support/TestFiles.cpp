#include "support/TestFiles.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#ifdef _WIN32
#include <process.h>
#define currentProcessId _getpid
#else
#include <unistd.h>
#define currentProcessId getpid
#endif

#ifndef SSTP_SOURCE_DIR
#define SSTP_SOURCE_DIR "."
#endif

// The path std::filesystem and fstream open: a Windows path under Wine.
static std::string fsPath(const std::string& posixPath) {
#ifdef _WIN32
  return hostPath(posixPath);
#else
  return posixPath;
#endif
}

std::string hostPath(const std::string& posixPath) {
  std::string out = posixPath;
  for (char& c : out) {
    if (c == '/') c = '\\';
  }
#ifdef _WIN32
  if (!posixPath.empty() && posixPath[0] == '/') out = "Z:" + out;
#endif
  return out;
}

std::string fixturePath(const char* area, const char* name) {
  return hostPath(std::string(SSTP_SOURCE_DIR) + "/tests/" + area + "/fixtures/" + name);
}

std::string makeTempFolder(const char* tag) {
  static std::atomic<int> counter{0};
  std::string path = "/tmp/sstp-test-" + std::to_string(static_cast<long>(currentProcessId())) +
                     "-" + tag + "-" + std::to_string(counter++);
  std::error_code ignored;
  std::filesystem::remove_all(fsPath(path), ignored);
  std::filesystem::create_directories(fsPath(path), ignored);
  return path;
}

void writeFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(fsPath(path), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string readFileBytes(const std::string& path) {
  std::ifstream in(fsPath(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void removeTree(const std::string& posixPath) {
  std::error_code ignored;
  std::filesystem::remove_all(fsPath(posixPath), ignored);
}
