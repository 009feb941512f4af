#include "FuzzSupport.h"

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>
#include <windows.h>

namespace {

// More than the profile stand-in caches, so that a flush empties it of
// every other file even if the cache grows a little.
constexpr int kFlushFiles = 8;

std::string scratchFolder;

void removeScratchFolder() {
  for (int i = 0; i < kFlushFiles; ++i) unlink((scratchFolder + "/flush" + std::to_string(i) + ".ini").c_str());
  rmdir(scratchFolder.c_str());
}

void writeFile(const std::string& path, const uint8_t* bytes, size_t size) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) fuzzFail("open of a scratch file", __FILE__, __LINE__);
  for (size_t done = 0; done < size;) {
    ssize_t wrote = write(fd, bytes + done, size - done);
    if (wrote <= 0) fuzzFail("write of a scratch file", __FILE__, __LINE__);
    done += static_cast<size_t>(wrote);
  }
  close(fd);
}

}  // namespace

void setUpScratch() {
  if (!scratchFolder.empty()) return;
  const char* base = getenv("TMPDIR");
  std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/sstp-fuzz-XXXXXX";
  if (mkdtemp(&pattern[0]) == nullptr) fuzzFail("mkdtemp of the scratch folder", __FILE__, __LINE__);
  scratchFolder = pattern;
  atexit(removeScratchFolder);
  static const char kFlushText[] = "[s]\r\nk=1\r\n";
  for (int i = 0; i < kFlushFiles; ++i) {
    writeFile(scratchFolder + "/flush" + std::to_string(i) + ".ini", reinterpret_cast<const uint8_t*>(kFlushText),
              sizeof kFlushText - 1);
  }
  flushProfileCache();
}

void flushProfileCache() {
  for (int i = 0; i < kFlushFiles; ++i) {
    GetPrivateProfileIntA("s", "k", 0, (scratchFolder + "/flush" + std::to_string(i) + ".ini").c_str());
  }
}

void fuzzFail(const char* what, const char* file, int line) {
  fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
  abort();
}

std::string writeScratchFile(const uint8_t* bytes, size_t size) {
  static unsigned long counter = 0;
  if (scratchFolder.empty()) fuzzFail("setUpScratch was not called", __FILE__, __LINE__);
  std::string path = scratchFolder + "/" + std::to_string(++counter) + ".tpp";
  writeFile(path, bytes, size);
  return path;
}

void removeScratchFile(const std::string& path) { unlink(path.c_str()); }

char* exactText(const uint8_t* bytes, size_t size) {
  const void* nul = memchr(bytes, '\0', size);
  size_t length = nul != nullptr ? static_cast<const uint8_t*>(nul) - bytes : size;
  char* text = static_cast<char*>(malloc(length + 1));
  if (text == nullptr) fuzzFail("malloc of the input text", __FILE__, __LINE__);
  memcpy(text, bytes, length);
  text[length] = '\0';
  return text;
}
