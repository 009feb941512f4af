// The profile-reader stand-in on any file with any section, key, default
// and buffer size: the count it returns fits the buffer and matches the
// text written, and nothing is written behind the buffer. Up to its
// terminator it leaves unwritten only what Windows does, the byte in front
// of a terminator at size - 1 where a double-byte character did not fit:
// read again into a cleared buffer, that byte holds 0 where the first read,
// into a filled buffer, shows kProfileUnwrittenByte, and every other byte
// is the same.
//
// Input: one flags byte, two bytes of buffer size (little-endian, taken
// modulo kLargestBuffer + 1), then section NUL key NUL default NUL and the
// file's bytes. Flags: 1 reads the section's key list (null key), 2 the
// list of sections (null section), 4 passes a null default.
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include <string>
#include <vector>

#include "FuzzSupport.h"

namespace {

constexpr size_t kLargestBuffer = 4096;
constexpr size_t kGuardBytes = 64;
constexpr unsigned char kGuardByte = 0xA5;

// The next text of the input up to a NUL (consumed) or the end.
std::string takeText(const uint8_t*& data, size_t& size) {
  const void* nul = memchr(data, '\0', size);
  size_t length = nul != nullptr ? static_cast<const uint8_t*>(nul) - data : size;
  std::string text(reinterpret_cast<const char*>(data), length);
  size_t used = nul != nullptr ? length + 1 : length;
  data += used;
  size -= used;
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setUpScratch();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  unsigned flags = data[0];
  DWORD bufferSize = static_cast<DWORD>((data[1] | data[2] << 8) % (kLargestBuffer + 1));
  data += 3;
  size -= 3;
  std::string section = takeText(data, size);
  std::string key = takeText(data, size);
  std::string defaultText = takeText(data, size);
  std::string path = writeScratchFile(data, size);

  const char* sectionArg = flags & 2 ? nullptr : section.c_str();
  const char* keyArg = flags & 1 ? nullptr : key.c_str();
  const char* defaultArg = flags & 4 ? nullptr : defaultText.c_str();

  // The buffer with a guard region behind it; the allocation is exact, so
  // AddressSanitizer sees any write behind the guard as well.
  unsigned char* block = static_cast<unsigned char*>(malloc(bufferSize + kGuardBytes));
  FUZZ_CHECK(block != nullptr);
  memset(block, kGuardByte, bufferSize + kGuardBytes);
  char* buffer = reinterpret_cast<char*>(block);
  DWORD length = GetPrivateProfileStringA(sectionArg, keyArg, defaultArg, buffer, bufferSize, path.c_str());
  for (size_t i = bufferSize; i < bufferSize + kGuardBytes; ++i) FUZZ_CHECK(block[i] == kGuardByte);

  if (bufferSize == 0) {
    FUZZ_CHECK(length == 0);
    for (size_t i = 0; i < kGuardBytes; ++i) FUZZ_CHECK(block[i] == kGuardByte);  // nothing written
  } else {
    FUZZ_CHECK(length <= bufferSize - 1);
    FUZZ_CHECK(buffer[length] == '\0');
    // One value: the count is its length, also when the byte in front of
    // the terminator was left unwritten (it holds the marker, not 0). A
    // list: names each ending in NUL, and one more NUL at the end; or the
    // default, when the section holds no key.
    if (sectionArg != nullptr && keyArg != nullptr) FUZZ_CHECK(strnlen(buffer, bufferSize) == length);

    std::vector<char> cleared(bufferSize, '\0');
    FUZZ_CHECK(GetPrivateProfileStringA(sectionArg, keyArg, defaultArg, cleared.data(), bufferSize,
                                        path.c_str()) == length);
    // Up to the terminator only the byte in front of one at size - 1 may
    // be left unwritten.
    for (size_t i = 0; i <= length; ++i) {
      if (cleared[i] == buffer[i]) continue;
      FUZZ_CHECK(length == bufferSize - 1 && i == bufferSize - 2);
      FUZZ_CHECK(cleared[i] == '\0' && block[i] == kProfileUnwrittenByte);
    }
  }

  if (sectionArg != nullptr && keyArg != nullptr) {
    // The integer reading goes through a buffer of its own.
    GetPrivateProfileIntA(sectionArg, keyArg, static_cast<INT>(bufferSize), path.c_str());
  }

  free(block);
  removeScratchFile(path);
  flushProfileCache();
  return 0;
}
