#include "aviutl2/PluginFiles.h"

#include <string.h>

#include "sstp/SstpNotifier.h"

namespace {

constexpr wchar_t kSettingsSection[] = L"SSTP";
constexpr wchar_t kSettingsName[] = L"sstp.ini";
constexpr wchar_t kRecordName[] = L"sstp.estimate";
// The longest path Windows hands a module ("\\?\" paths included).
constexpr DWORD kLongestPath = 32768;

// `wide` in the ANSI code page; false when a character has no form there
// (none is replaced by a look-alike).
bool ansiOf(const std::wstring& wide, std::string* ansi) {
  ansi->clear();
  if (wide.empty()) return true;
  BOOL lossy = FALSE;
  int size = static_cast<int>(wide.size());
  int bytes = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), size, nullptr, 0, nullptr, &lossy);
  if (bytes <= 0 || lossy) return false;
  ansi->resize(static_cast<size_t>(bytes));
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), size, &(*ansi)[0], bytes, nullptr, &lossy);
  return !lossy;
}

std::wstring wideOfAnsi(const char* ansi) {
  int characters = MultiByteToWideChar(CP_ACP, 0, ansi, -1, nullptr, 0);
  if (characters <= 1) return std::wstring();
  std::wstring wide(static_cast<size_t>(characters), L'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi, -1, &wide[0], characters);
  wide.resize(static_cast<size_t>(characters) - 1);
  return wide;
}

// Reads the whole of a file of exactly `size` bytes into `bytes`; false
// when it can't be read or is of another length.
bool readExactly(HANDLE file, void* bytes, DWORD size) {
  LARGE_INTEGER length;
  if (!GetFileSizeEx(file, &length) || length.QuadPart != size) return false;
  DWORD read = 0;
  return ReadFile(file, bytes, size, &read, nullptr) && read == size;
}

}  // namespace

HMODULE ownModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&ownModule), &module);
  return module;
}

PluginPaths pluginPaths(HMODULE module) {
  PluginPaths paths;
  std::wstring path(kLongestPath, L'\0');
  DWORD length = GetModuleFileNameW(module, &path[0], kLongestPath);
  if (length == 0 || length >= kLongestPath) return paths;
  path.resize(length);
  size_t cut = path.find_last_of(L'\\');
  if (cut == std::wstring::npos) return paths;
  paths.folder = path.substr(0, cut + 1);
  if (!ansiOf(paths.folder, &paths.ansiFolder)) paths.ansiFolder.clear();
  paths.settingsFile = paths.folder + kSettingsName;
  paths.recordFile = paths.folder + kRecordName;
  return paths;
}

StoredSettings readSettings(const std::wstring& settingsFile) {
  StoredSettings stored;
  stored.port = kSstpDefaultPort;
  if (settingsFile.empty()) return stored;
  wchar_t path[MAX_PATH] = L"";
  GetPrivateProfileStringW(kSettingsSection, L"path", L"", path, MAX_PATH, settingsFile.c_str());
  path[MAX_PATH - 1] = L'\0';
  if (!ansiOf(path, &stored.templatePath)) stored.templatePath.clear();
  UINT port = GetPrivateProfileIntW(kSettingsSection, L"port", kSstpDefaultPort, settingsFile.c_str());
  stored.port = chosenSstpPort(static_cast<int32_t>(port));
  return stored;
}

bool storeSetting(const std::wstring& settingsFile, const wchar_t* key, const char* value) {
  if (settingsFile.empty()) return false;
  std::wstring wide = wideOfAnsi(value);
  if (wide.empty() && value[0] != '\0') return false;
  bool stored = WritePrivateProfileStringW(kSettingsSection, key, wide.c_str(), settingsFile.c_str()) != 0;
  // Whatever the system keeps of the file goes to the disk now.
  WritePrivateProfileStringW(nullptr, nullptr, nullptr, settingsFile.c_str());
  return stored;
}

RecordFile readRecordFile(const std::wstring& recordFile, EstimatorRecord* record) {
  if (recordFile.empty()) return RecordFile::missing;
  HANDLE file = CreateFileW(recordFile.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? RecordFile::missing
                                                                          : RecordFile::unreadable;
  }
  EstimatorRecord read;
  bool whole = readExactly(file, &read, sizeof read);
  CloseHandle(file);
  if (!whole) return RecordFile::unreadable;
  memcpy(record, &read, sizeof read);
  return RecordFile::read;
}

bool writeRecordFile(const std::wstring& recordFile, const EstimatorRecord& record) {
  if (recordFile.empty()) return false;
  std::wstring fresh = recordFile + L".new";
  HANDLE file = CreateFileW(fresh.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool whole = WriteFile(file, &record, sizeof record, &written, nullptr) && written == sizeof record;
  whole = CloseHandle(file) && whole;
  if (whole && MoveFileExW(fresh.c_str(), recordFile.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return true;
  }
  DeleteFileW(fresh.c_str());
  return false;
}
