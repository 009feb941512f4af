// Shared by the libFuzzer targets: the check that turns a broken promise
// into a crash libFuzzer reports, and scratch files for the targets that
// hand the code under test a file.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <windows.h>

#include <string>

// Prints what failed and aborts; libFuzzer saves the input that did it.
[[noreturn]] void fuzzFail(const char* what, const char* file, int line);

#define FUZZ_CHECK(condition) \
  do { \
    if (!(condition)) fuzzFail(#condition, __FILE__, __LINE__); \
  } while (0)

// Call from LLVMFuzzerInitialize in every target that hands out files:
// makes the scratch folder (under $TMPDIR or /tmp, removed at exit) and
// fills the profile stand-in's cache with files of its own (see
// flushProfileCache).
void setUpScratch();

// The profile function whose cache a flush empties: this program's own
// stand-in, or the one inside a loaded plug-in module, which keeps a cache
// of its own.
typedef UINT(WINAPI* ProfileIntReader)(LPCSTR section, LPCSTR key, INT defaultValue, LPCSTR file);

// Reads eight files of the scratch folder through `read`, which pushes
// every file a run read out of the profile stand-in's cache (it keeps 4).
// Call at the end of each run of a target that reads profiles: a run then
// frees what it allocated, and libFuzzer's leak check stays on (it turns
// itself off after 1000 runs that allocate more than they free, and
// script/fuzz fails when it does).
void flushProfileCache(ProfileIntReader read = GetPrivateProfileIntA);

// Writes `bytes` to a new file in the scratch folder and returns its path. Every call gives
// a new name: the profile stand-in caches parsed files by path, size and
// modification time, and two inputs of one size written within one tick of
// the file system's clock would otherwise read as the same file.
std::string writeScratchFile(const uint8_t* bytes, size_t size);

// Whether the bytes hold kProfileUnwrittenByte, the byte the profile
// stand-in writes where a read left a byte unwritten: a notice or script
// holding it sent a byte from memory, unless the input held it too.
bool holdsUnwrittenMarker(const void* bytes, size_t size);
inline bool holdsUnwrittenMarker(const std::string& bytes) { return holdsUnwrittenMarker(bytes.data(), bytes.size()); }

// Removes a file that writeScratchFile made.
void removeScratchFile(const std::string& path);

// The input as a NUL-terminated text in a heap block of exactly its size
// plus the terminator, so that AddressSanitizer sees a read behind it.
// Bytes after a NUL in the input are not part of the text.
char* exactText(const uint8_t* bytes, size_t size);
