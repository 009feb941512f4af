// Stand-ins for the directory search. The pattern is a Windows path: its
// folder part is mapped to a POSIX folder and read with readdir, and each
// name is matched against the last part of the pattern:
//   '*' any run of characters, also none; '?' exactly one character;
//   every other character itself, ASCII letters without regard to case.
// Characters are code page 932 characters as common/Cp932.h steps them (a
// lead byte that no trail byte follows stands alone); the second byte of a
// double-byte character is compared exactly. As under Windows and
// Wine, a name that is no valid 8.3 name also matches through the short
// name made for it: up to four characters of its stem, a tilde and three
// hash characters, a dot and the first three characters of its last
// extension (the hash is our own, not Wine's). So "*.tpp" finds "a.TPP"
// and also "a.tppx" (short name "A~xxx.TPP"), but not "a.tpp.bak" nor "."
// and "..", while "*" finds "." and ".." too. Entries come in the order
// readdir gives them.
#include <windows.h>

#include <dirent.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <new>
#include <string>

#include "PathMap.h"
#include "common/Cp932.h"

namespace {

struct Search {
  DIR* folder;
  std::string folderPath;  // POSIX, ends with '/'
  std::string namePattern;
};

bool sameCharacter(const char* a, const char* b, size_t length) {
  if (length == 1) return upperAscii(a[0]) == upperAscii(b[0]);
  return a[0] == b[0] && a[1] == b[1];
}

// Matches `name` against `pattern`, both NUL-terminated. The pattern is
// short (one file name), so plain backtracking is enough.
bool matches(const char* pattern, const char* name) {
  while (*pattern != '\0') {
    if (*pattern == '*') {
      while (*pattern == '*') ++pattern;
      if (*pattern == '\0') return true;
      for (const char* rest = name; *rest != '\0'; rest += cp932Step(rest)) {
        if (matches(pattern, rest)) return true;
      }
      return false;
    }
    if (*name == '\0') return false;
    size_t length = cp932Step(name);
    if (*pattern == '?') {
      ++pattern;
    } else {
      size_t patternLength = cp932Step(pattern);
      if (patternLength != length || !sameCharacter(pattern, name, length)) return false;
      pattern += patternLength;
    }
    name += length;
  }
  return *name == '\0';
}

// True for a name that is its own 8.3 name: a stem of 1 to 8 characters
// and at most one dot followed by at most 3, none of them a character that
// a short name can't hold.
bool isShortName(const char* name) {
  const char* dot = strchr(name, '.');
  size_t stem = dot ? static_cast<size_t>(dot - name) : strlen(name);
  size_t extension = dot ? strlen(dot + 1) : 0;
  if (stem == 0 || stem > 8 || extension > 3 || (dot && strchr(dot + 1, '.'))) return false;
  for (const char* p = name; *p != '\0'; ++p) {
    if (strchr(" +,;=[]~\"*/:<>?\\|", *p) != nullptr) return false;
  }
  return true;
}

// The short name Windows makes for a name that is not one: "STEM~HSH.EXT".
std::string shortNameOf(const char* name) {
  const char* start = name;
  while (*start == '.') ++start;
  const char* dot = strrchr(start, '.');
  std::string stem;
  for (const char* p = start; p != dot && *p != '\0' && stem.size() < 4; ++p) {
    if (*p != '.' && *p != ' ') stem += upperAscii(*p);
  }
  unsigned hash = 0xBEEF;
  for (const char* p = name; *p != '\0'; ++p) hash = ((hash << 3) ^ (hash >> 5) ^ static_cast<unsigned char>(upperAscii(*p))) & 0xFFFF;
  constexpr char kHashCharacters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345";
  std::string out = stem + "~";
  for (int i = 0; i < 3; ++i) out += kHashCharacters[(hash >> (5 * i)) & 31];
  if (dot != nullptr && dot[1] != '\0') {
    out += '.';
    for (const char* p = dot + 1; *p != '\0' && out.size() < stem.size() + 8; ++p) out += upperAscii(*p);
  }
  return out;
}

// FILETIME counts 100-nanosecond steps since 1601.
FILETIME fileTime(time_t seconds) {
  uint64_t value = (static_cast<uint64_t>(seconds) + 11644473600ULL) * 10000000ULL;
  FILETIME out;
  out.dwLowDateTime = static_cast<DWORD>(value);
  out.dwHighDateTime = static_cast<DWORD>(value >> 32);
  return out;
}

// Fills `data` with the next matching entry. Returns false at the end.
bool nextMatch(Search* search, LPWIN32_FIND_DATAA data) {
  while (struct dirent* entry = readdir(search->folder)) {
    size_t length = strlen(entry->d_name);
    if (length >= MAX_PATH) continue;
    bool dotEntry = strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0;
    std::string shortName = dotEntry || isShortName(entry->d_name) ? std::string() : shortNameOf(entry->d_name);
    if (!matches(search->namePattern.c_str(), entry->d_name) &&
        (shortName.empty() || !matches(search->namePattern.c_str(), shortName.c_str()))) {
      continue;
    }
    memset(data, 0, sizeof *data);
    struct stat info;
    std::string full = search->folderPath + entry->d_name;
    if (stat(full.c_str(), &info) == 0) {
      data->dwFileAttributes = S_ISDIR(info.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
      data->nFileSizeLow = static_cast<DWORD>(static_cast<uint64_t>(info.st_size));
      data->nFileSizeHigh = static_cast<DWORD>(static_cast<uint64_t>(info.st_size) >> 32);
      data->ftCreationTime = fileTime(info.st_ctime);
      data->ftLastAccessTime = fileTime(info.st_atime);
      data->ftLastWriteTime = fileTime(info.st_mtime);
    } else {
      data->dwFileAttributes = FILE_ATTRIBUTE_NORMAL;
    }
    // Wine shows a Unix dot file as hidden.
    if (entry->d_name[0] == '.' && strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0) {
      data->dwFileAttributes |= FILE_ATTRIBUTE_HIDDEN;
    }
    memcpy(data->cFileName, entry->d_name, length + 1);
    memcpy(data->cAlternateFileName, shortName.c_str(), shortName.size() + 1);
    return true;
  }
  return false;
}

}  // namespace

HANDLE WINAPI FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data) {
  if (pattern == nullptr || data == nullptr) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  std::string posix = toPosixPath(pattern);
  size_t slash = posix.rfind('/');
  Search* search = new (std::nothrow) Search;
  if (search == nullptr) return INVALID_HANDLE_VALUE;
  search->folderPath = slash == std::string::npos ? std::string("./") : posix.substr(0, slash + 1);
  search->namePattern = slash == std::string::npos ? posix : posix.substr(slash + 1);
  search->folder = opendir(search->folderPath.c_str());
  if (search->folder == nullptr) {
    delete search;
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  if (!nextMatch(search, data)) {
    closedir(search->folder);
    delete search;
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  return search;
}

BOOL WINAPI FindNextFileA(HANDLE handle, LPWIN32_FIND_DATAA data) {
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE || data == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!nextMatch(static_cast<Search*>(handle), data)) {
    SetLastError(ERROR_NO_MORE_FILES);
    return FALSE;
  }
  return TRUE;
}

BOOL WINAPI FindClose(HANDLE handle) {
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  Search* search = static_cast<Search*>(handle);
  closedir(search->folder);
  delete search;
  return TRUE;
}
