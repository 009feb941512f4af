// Stand-ins for GetPrivateProfileStringA and GetPrivateProfileIntA. The rules
// are those Windows' own functions show under Wine for the same files (the
// platform test suite runs one table against both):
//
// - The file is code page 932 bytes; a UTF-8 byte order mark is skipped.
//   Lines end at CR or LF. Blanks (tab, LF, VT, FF, CR, space and ^Z)
//   around lines, names and values are dropped. A NUL ends the name or
//   value it stands in.
// - Each line is a section header, a key or blank, as common/ProfileLine.h
//   reads it ("[open=x" is a key named "[open"; ";k=v" one named ";k").
//   Lines before the first section belong to a nameless section, so "[]"
//   later in the file is never found. A key line without '=' gives the
//   default.
// - Names are compared ignoring ASCII case only, by characters. Only the
//   first section of a name is searched and the first key of a name wins.
// - One pair of matching quotes (" or ') around the value, or the default,
//   is removed. The default loses its trailing spaces (not other blanks).
// - A file that can't be read, or whose path is 260 characters or longer,
//   reads as an empty file.
// - What comes back is the wide function's text (at most size - 1
//   characters) converted into size - 1 bytes of whole characters; text
//   that does not fit leaves the byte where a double-byte character would
//   begin unwritten and ends at a NUL in the last byte (writeConverted).
//
// Parsed files are cached by path, size and modification time, so a
// template read many times during one save is parsed once; a file changed
// on disk is read again. At most kCachedFiles files are kept.
//
// Native build only; on Windows the real functions are used.
#define _FILE_OFFSET_BITS 64

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>
#include <windows.h>

#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "PathMap.h"
#include "common/Cp932.h"
#include "common/ProfileLine.h"

namespace {

// Paths of MAX_PATH characters or more are refused, as Windows does.
constexpr size_t kMaxPathChars = MAX_PATH - 1;
// Windows reads integers from a 30-character buffer.
constexpr DWORD kIntBufferSize = 30;
constexpr int kCachedFiles = 4;

struct ProfileKey {
  size_t name;
  size_t nameLength;
  size_t value;
  size_t valueLength;
  bool hasValue;
};

struct ProfileSection {
  size_t name;
  size_t nameLength;
  size_t firstKey;
  size_t keyCount;
};

// One parsed file. Names and values are offsets into `text`.
struct ParsedProfile {
  std::string posixPath;
  off_t size = 0;
  struct timespec modified = {0, 0};
  std::string text;
  std::vector<ProfileSection> sections;  // [0] is the nameless section
  std::vector<ProfileKey> keys;
  // Folded section name -> index of the first section of that name.
  std::unordered_map<std::string, size_t> sectionByName;
  // Folded section name, '\n', folded key name -> index of the first key of
  // that name in the first section of that name. '\n' ends a line, so it is
  // never part of a name.
  std::unordered_map<std::string, size_t> keyByName;
};

struct ProfileCache {
  std::mutex lock;
  std::unique_ptr<ParsedProfile> files[kCachedFiles];
  unsigned long lastUse[kCachedFiles] = {};
  unsigned long useCounter = 0;
};

ProfileCache& profileCache() {
  static ProfileCache cache;
  return cache;
}

std::string keyLookupName(const char* section, size_t sectionLength, const char* key,
                          size_t keyLength) {
  std::string out;
  appendFoldedName(&out, section, sectionLength);
  out += '\n';
  appendFoldedName(&out, key, keyLength);
  return out;
}

void parseProfile(ParsedProfile* profile) {
  const std::string& text = profile->text;
  const char* base = text.data();
  size_t length = text.size();
  profile->sections.push_back(ProfileSection{0, 0, 0, 0});
  for (size_t lineStart = 0; lineStart < length;) {
    size_t lineEnd = lineStart;
    while (lineEnd < length && text[lineEnd] != '\r' && text[lineEnd] != '\n') ++lineEnd;
    size_t next = lineEnd + 1;
    ProfileLine line = readProfileLine(base, lineStart, lineEnd);
    lineStart = next;
    if (line.kind == ProfileLineKind::blank) continue;
    if (line.kind == ProfileLineKind::section) {
      profile->sections.push_back(
          ProfileSection{line.nameStart, line.nameEnd - line.nameStart, profile->keys.size(), 0});
      continue;
    }
    ProfileKey key = {line.nameStart, line.nameEnd - line.nameStart, line.valueStart,
                      line.valueEnd - line.valueStart, line.hasValue};
    profile->keys.push_back(key);
    ++profile->sections.back().keyCount;
  }

  for (size_t s = 0; s < profile->sections.size(); ++s) {
    const ProfileSection& section = profile->sections[s];
    std::string name;
    appendFoldedName(&name, base + section.name, section.nameLength);
    if (!profile->sectionByName.emplace(name, s).second) continue;  // not the first
    for (size_t k = section.firstKey; k < section.firstKey + section.keyCount; ++k) {
      const ProfileKey& key = profile->keys[k];
      profile->keyByName.emplace(
          keyLookupName(base + section.name, section.nameLength, base + key.name, key.nameLength),
          k);
    }
  }
}

// Reads and parses the file at `posixPath`; null when it can't be read.
std::unique_ptr<ParsedProfile> loadProfile(const std::string& posixPath) {
  int fd = open(posixPath.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  std::unique_ptr<ParsedProfile> profile;
  struct stat info;
  if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
    try {
      profile.reset(new ParsedProfile);
      profile->posixPath = posixPath;
      profile->size = info.st_size;
      profile->modified = info.st_mtim;
      profile->text.resize(static_cast<size_t>(info.st_size));
      size_t done = 0;
      while (done < profile->text.size()) {
        ssize_t got = read(fd, &profile->text[done], profile->text.size() - done);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<size_t>(got);
      }
      profile->text.resize(done);
      if (profile->text.compare(0, 3, "\xEF\xBB\xBF") == 0) profile->text.erase(0, 3);
      parseProfile(profile.get());
    } catch (...) {
      // Out of memory: the file reads as missing.
      profile.reset();
    }
  }
  close(fd);
  return profile;
}

// Returns the parsed file for the Windows path `file`, from the cache when
// the file is unchanged, or null when it can't be read. Call with the cache
// lock held; the result stays valid while the lock is held.
const ParsedProfile* openProfile(ProfileCache* cache, const char* file) {
  if (file == nullptr || cp932CharCount(file, strlen(file)) > kMaxPathChars) return nullptr;
  std::string posixPath = toPosixPath(file);
  struct stat info;
  if (stat(posixPath.c_str(), &info) != 0) return nullptr;

  // The same file, else an empty slot, else the one used longest ago.
  int slot = -1;
  for (int i = 0; i < kCachedFiles && slot < 0; ++i) {
    const ParsedProfile* cached = cache->files[i].get();
    if (cached == nullptr || cached->posixPath != posixPath) continue;
    if (cached->size == info.st_size && cached->modified.tv_sec == info.st_mtim.tv_sec &&
        cached->modified.tv_nsec == info.st_mtim.tv_nsec) {
      cache->lastUse[i] = ++cache->useCounter;
      return cached;
    }
    slot = i;  // changed on disk
  }
  for (int i = 0; i < kCachedFiles && slot < 0; ++i) {
    if (cache->files[i] == nullptr) slot = i;
  }
  if (slot < 0) {
    slot = 0;
    for (int i = 1; i < kCachedFiles; ++i) {
      if (cache->lastUse[i] < cache->lastUse[slot]) slot = i;
    }
  }
  cache->files[slot].reset();
  cache->files[slot] = loadProfile(posixPath);
  cache->lastUse[slot] = ++cache->useCounter;
  return cache->files[slot].get();
}

// Windows' ANSI function converts the text of the wide one into the
// buffer, and a byte it does not write keeps what the buffer held. Here a
// 0 stays, so that a buffer cleared beforehand reads as on Windows, and any
// other byte becomes kProfileUnwrittenByte: code that reads such a byte
// from a buffer it did not clear shows the same marker in every run.
void leaveUnwritten(char* from, char* to) {
  for (char* p = from; p < to; ++p) {
    if (*p != '\0') *p = static_cast<char>(kProfileUnwrittenByte);
  }
}

// Converts `length` bytes of text, the whole characters that Windows' wide
// function gave (NULs between the names of a list), into `buffer` of `size`
// (at least 1) bytes as the ANSI function does, and returns its count. Text
// that fits in size - 1 bytes is followed by a NUL and returns its length.
// Text that does not is written up to its last whole character that fits;
// NUL goes into the last byte and the count is size - 1. A double-byte
// character that would begin in the last byte but one leaves that byte
// unwritten.
DWORD writeConverted(const char* text, size_t length, char* buffer, DWORD size) {
  const char* end = text + length;
  size_t written = 0;
  while (written < length) {
    size_t step = cp932CharLength(text + written, end);
    if (written + step > size - 1) {
      leaveUnwritten(buffer + written, buffer + size - 1);
      buffer[size - 1] = '\0';
      return size - 1;
    }
    memcpy(buffer + written, text + written, step);
    written += step;
  }
  buffer[written] = '\0';
  return static_cast<DWORD>(written);
}

// Returns how many bytes the first `chars` characters of the `length` bytes
// at `text` take (all of them when it has fewer).
size_t bytesOfChars(const char* text, size_t length, size_t chars) {
  size_t bytes = 0;
  for (size_t i = 0; i < chars && bytes < length; ++i) bytes += cp932CharLength(text + bytes, text + length);
  return bytes;
}

// Copies a value or default of `length` bytes to `buffer` of `size` (at
// least 1) bytes as Windows gives it back, and returns the count Windows
// returns. One pair of matching quotes around the text is removed. The
// wide function keeps at most size - 1 characters, which writeConverted
// then puts into size - 1 bytes. Windows counts the room in characters,
// and drops the closing quote as the last character once the buffer
// (counted in characters) could hold the text behind the opening quote; so
// a quoted value can lose one character more than its length asks for
// ('"quoted"' in 7 bytes gives 'quote'). That is followed here to give the
// same results.
DWORD copyEntry(const char* text, size_t length, char* buffer, DWORD size) {
  bool quoted = false;
  if (length >= 2 && (text[0] == '"' || text[0] == '\'') &&
      text[length - 1] == text[0]) {
    quoted = true;
    ++text;
    --length;
  }
  size_t restChars = cp932CharCount(text, length);
  size_t copyChars = restChars < size - 1 ? restChars : size - 1;
  if (quoted && size >= restChars && copyChars > 0) --copyChars;
  return writeConverted(text, bytesOfChars(text, length, copyChars), buffer, size);
}

// Writes `names` as a list of NUL-terminated names ended by one more NUL,
// and returns its length without the final NUL. The wide function counts
// in characters: a list that does not fit in size characters is cut within
// its last name, which then ends at one NUL with the last byte unwritten
// (leaveUnwritten), and returns size - 2. As in Windows, a name that would
// fill the buffer up to its last character does not fit either. The list
// is then converted as writeConverted does, so one whose double-byte
// characters take more than size - 1 bytes returns size - 1.
DWORD copyList(const std::vector<std::pair<const char*, size_t>>& names, char* buffer,
               DWORD size) {
  if (size < 2) {
    buffer[0] = '\0';
    return 0;
  }
  std::string list;
  size_t usedChars = 0;
  for (const auto& name : names) {
    size_t chars = cp932CharCount(name.first, name.second);
    if (usedChars + chars + 1 >= size - 1) {
      list.append(name.first, bytesOfChars(name.first, name.second, size - 2 - usedChars));
      DWORD count = writeConverted(list.data(), list.size(), buffer, size);
      if (count < size - 1) leaveUnwritten(buffer + count + 1, buffer + size);
      return count;
    }
    list.append(name.first, name.second);
    list += '\0';
    usedChars += chars + 1;
  }
  return writeConverted(list.data(), list.size(), buffer, size);
}

DWORD readProfileString(const ParsedProfile* profile, const char* section, const char* key,
                        const char* defaultText, char* buffer, DWORD size) {
  if (defaultText == nullptr) defaultText = "";
  size_t defaultLength = strlen(defaultText);
  while (defaultLength > 1 && defaultText[defaultLength - 1] == ' ') --defaultLength;

  static const ParsedProfile emptyProfile{};
  if (profile == nullptr) profile = &emptyProfile;
  const char* base = profile->text.data();
  std::vector<std::pair<const char*, size_t>> names;

  if (section == nullptr) {
    for (size_t s = 1; s < profile->sections.size(); ++s) {
      const ProfileSection& one = profile->sections[s];
      if (one.nameLength > 0) names.emplace_back(base + one.name, one.nameLength);
    }
    return copyList(names, buffer, size);
  }

  size_t sectionStart = 0;
  size_t sectionEnd = strlen(section);
  trimProfileBlanks(section, &sectionStart, &sectionEnd);

  if (key == nullptr) {
    std::string folded;
    appendFoldedName(&folded, section + sectionStart, sectionEnd - sectionStart);
    auto found = profile->sectionByName.find(folded);
    if (found != profile->sectionByName.end()) {
      const ProfileSection& one = profile->sections[found->second];
      for (size_t k = one.firstKey; k < one.firstKey + one.keyCount; ++k) {
        const ProfileKey& entry = profile->keys[k];
        // Windows leaves out lines without '=' and names starting with ';'.
        if (!entry.hasValue || (entry.nameLength > 0 && base[entry.name] == ';')) continue;
        names.emplace_back(base + entry.name, entry.nameLength);
      }
    }
    if (!names.empty()) return copyList(names, buffer, size);
    return copyEntry(defaultText, defaultLength, buffer, size);
  }

  size_t keyStart = 0;
  size_t keyEnd = strlen(key);
  trimProfileBlanks(key, &keyStart, &keyEnd);
  auto found = profile->keyByName.find(keyLookupName(
      section + sectionStart, sectionEnd - sectionStart, key + keyStart, keyEnd - keyStart));
  if (found != profile->keyByName.end() && profile->keys[found->second].hasValue) {
    const ProfileKey& entry = profile->keys[found->second];
    return copyEntry(base + entry.value, entry.valueLength, buffer, size);
  }
  return copyEntry(defaultText, defaultLength, buffer, size);
}

// Reads an integer as Windows does: control characters and blanks first,
// one sign, "0x", "0o" or "0b" for base 16, 8 or 2, then digits up to the
// first other character; the value wraps around modulo 2^32.
UINT parseProfileInt(const char* text) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  while (*p != '\0' && *p <= ' ') ++p;
  bool negative = false;
  if (*p == '-' || *p == '+') {
    negative = *p == '-';
    ++p;
  }
  UINT radix = 10;
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'o' || p[1] == 'b')) {
    radix = p[1] == 'x' ? 16 : p[1] == 'o' ? 8 : 2;
    p += 2;
  }
  UINT total = 0;
  for (;; ++p) {
    UINT digit;
    if (*p >= '0' && *p <= '9') {
      digit = *p - '0';
    } else if (*p >= 'a' && *p <= 'z') {
      digit = *p - 'a' + 10;
    } else if (*p >= 'A' && *p <= 'Z') {
      digit = *p - 'A' + 10;
    } else {
      break;
    }
    if (digit >= radix) break;
    total = total * radix + digit;
  }
  return negative ? 0u - total : total;
}

}  // namespace

DWORD WINAPI GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultText,
                                      LPSTR buffer, DWORD size, LPCSTR file) {
  if (buffer == nullptr || size == 0) return 0;
  ProfileCache& cache = profileCache();
  std::lock_guard<std::mutex> hold(cache.lock);
  return readProfileString(openProfile(&cache, file), section, key, defaultText, buffer, size);
}

UINT WINAPI GetPrivateProfileIntA(LPCSTR section, LPCSTR key, INT defaultValue, LPCSTR file) {
  // Cleared: a value cut inside a character (28 digits and ソ) leaves a
  // byte unwritten, and the digits are read up to the first other byte.
  char text[kIntBufferSize] = {};
  DWORD length;
  {
    ProfileCache& cache = profileCache();
    std::lock_guard<std::mutex> hold(cache.lock);
    length = readProfileString(openProfile(&cache, file), section, key, "", text, sizeof text);
  }
  if (length == 0) return static_cast<UINT>(defaultValue);
  return parseProfileInt(text);
}
