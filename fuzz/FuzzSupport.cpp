#include "FuzzSupport.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include "host-support/Files.h"

namespace {

// More than the profile stand-in caches, so that a flush empties it of
// every other file even if the cache grows a little.
constexpr int kFlushFiles = 8;

std::string scratchFolder;

void removeScratchFolder() { removeTree(scratchFolder); }

std::string flushFile(int i) { return scratchFolder + "/flush" + std::to_string(i) + ".ini"; }

void writeScratch(const std::string& path, const std::string& bytes) {
  if (!writeFileBytes(path, bytes)) fuzzFail("write of a scratch file", __FILE__, __LINE__);
}

}  // namespace

void setUpScratch() {
  if (!scratchFolder.empty()) return;
  const char* base = getenv("TMPDIR");
  std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/sstp-fuzz-XXXXXX";
  if (mkdtemp(&pattern[0]) == nullptr) fuzzFail("mkdtemp of the scratch folder", __FILE__, __LINE__);
  scratchFolder = pattern;
  atexit(removeScratchFolder);
  for (int i = 0; i < kFlushFiles; ++i) writeScratch(flushFile(i), "[s]\r\nk=1\r\n");
  flushProfileCache();
}

void flushProfileCache(ProfileIntReader read) {
  for (int i = 0; i < kFlushFiles; ++i) {
    read("s", "k", 0, flushFile(i).c_str());
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
  writeScratch(path, std::string(reinterpret_cast<const char*>(bytes), size));
  return path;
}

bool holdsUnwrittenMarker(const void* bytes, size_t size) {
  return memchr(bytes, kProfileUnwrittenByte, size) != nullptr;
}

void removeScratchFile(const std::string& path) { removeTree(path); }

char* exactText(const uint8_t* bytes, size_t size) {
  const void* nul = memchr(bytes, '\0', size);
  size_t length = nul != nullptr ? static_cast<const uint8_t*>(nul) - bytes : size;
  char* text = static_cast<char*>(malloc(length + 1));
  if (text == nullptr) fuzzFail("malloc of the input text", __FILE__, __LINE__);
  memcpy(text, bytes, length);
  text[length] = '\0';
  return text;
}
