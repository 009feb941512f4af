#include "aviutl2/Settings.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "aviutl2/HostLog.h"
#include "job/SaveJob.h"
#include "sstp/SstpNotifier.h"
#include "template/TemplateCatalog.h"

namespace {

constexpr size_t kPathSize = sizeof(NoticeSettings::templatePath);

// Guards everything below. The list holds the catalogue entries whose path
// fits a job's templatePath, in the catalogue's order.
SRWLOCK settingsLock = SRWLOCK_INIT;
TemplateCatalog* catalog = nullptr;
int32_t* listToCatalog = nullptr;
int32_t listedCount = 0;
int32_t chosen = -1;
int32_t port = kSstpDefaultPort;
std::wstring settingsFile;

// Says in the log why the folder gives no template to choose.
void logNoTemplate(const PluginPaths& paths, const TemplateCatalog* found) {
  LogText line;
  if (paths.folder.empty()) {
    line.add(L"the plug-in's folder can't be found: no template is read and no notice is sent");
  } else if (paths.ansiFolder.empty()) {
    line.add(L"the plug-in's folder ").add(paths.folder.c_str())
        .add(L" holds a character the ANSI code page lacks: no template is read and no notice is sent");
  } else if (found->entryCount == 0) {
    line.add(L"no template (*.tpp) in ").add(paths.folder.c_str()).add(L": no notice is sent");
  } else {
    line.add(L"no template in ").add(paths.folder.c_str())
        .add(L" can be chosen (paths of 260 bytes or more): no notice is sent");
  }
  logLine(LogLevel::warn, line);
}

// Lists the entries of `catalog` that can be chosen. False without memory.
bool listTemplates() {
  if (catalog->entryCount == 0) return true;
  listToCatalog = static_cast<int32_t*>(malloc(sizeof(int32_t) * static_cast<size_t>(catalog->entryCount)));
  if (listToCatalog == nullptr) return false;
  for (int32_t i = 0; i < catalog->entryCount; ++i) {
    if (templateChoosable(catalog, i)) listToCatalog[listedCount++] = i;
  }
  return true;
}

void releaseLocked() {
  releaseTemplates(catalog);
  catalog = nullptr;
  free(listToCatalog);
  listToCatalog = nullptr;
  listedCount = 0;
  chosen = -1;
}

// What `read` gives, read under the shared lock.
template <typename Read>
auto underSharedLock(Read read) -> decltype(read()) {
  AcquireSRWLockShared(&settingsLock);
  auto value = read();
  ReleaseSRWLockShared(&settingsLock);
  return value;
}

// Writes one setting and says in the log when it could not.
void store(const wchar_t* key, const char* value, const std::wstring& file) {
  if (storeSetting(file, key, value)) return;
  LogText line;
  line.add(L"the choice could not be stored in ").add(file.empty() ? L"sstp.ini" : file.c_str());
  logLine(LogLevel::warn, line);
}

}  // namespace

bool loadSettings(const PluginPaths& paths) {
  StoredSettings stored = readSettings(paths.settingsFile);
  TemplateCatalog* found = nullptr;
  if (!paths.ansiFolder.empty()) {
    found = scanTemplates(paths.ansiFolder.c_str());
    if (found == nullptr) return false;
  }
  AcquireSRWLockExclusive(&settingsLock);
  releaseLocked();
  settingsFile = paths.settingsFile;
  port = stored.port;
  catalog = found;
  bool listed = catalog == nullptr || listTemplates();
  if (listed && catalog != nullptr) {
    chosen = restoreTemplateChoice(catalog, listToCatalog, listedCount, stored.templatePath.c_str());
  }
  bool noneListed = listedCount == 0;
  ReleaseSRWLockExclusive(&settingsLock);
  if (listed && noneListed) {
    TemplateCatalog none = {0, nullptr, nullptr};
    logNoTemplate(paths, found != nullptr ? found : &none);
  }
  return listed;
}

void releaseSettings() {
  AcquireSRWLockExclusive(&settingsLock);
  releaseLocked();
  ReleaseSRWLockExclusive(&settingsLock);
}

NoticeSettings noticeSettings() {
  NoticeSettings settings;
  settings.templatePath[0] = '\0';
  settings.ghostName[0] = '\0';
  AcquireSRWLockShared(&settingsLock);
  settings.port = port;
  if (chosen >= 0) {
    int32_t entry = listToCatalog[chosen];
    memcpy(settings.templatePath, catalog->paths[entry], strlen(catalog->paths[entry]) + 1);
    snprintf(settings.ghostName, sizeof settings.ghostName, "%s", catalog->ghostNames[entry]);
  }
  ReleaseSRWLockShared(&settingsLock);
  return settings;
}

int32_t templateCount() {
  return underSharedLock([] { return listedCount; });
}

char* templateListText(int32_t index) {
  return underSharedLock(
      [index] { return index >= 0 && index < listedCount ? templateLabel(catalog, listToCatalog[index]) : nullptr; });
}

int32_t chosenTemplate() {
  return underSharedLock([] { return chosen; });
}

void chooseTemplate(int32_t index) {
  char path[kPathSize];
  AcquireSRWLockExclusive(&settingsLock);
  bool inRange = index >= 0 && index < listedCount;
  if (inRange) {
    chosen = index;
    const char* chosenPath = catalog->paths[listToCatalog[index]];
    memcpy(path, chosenPath, strlen(chosenPath) + 1);
  }
  std::wstring file = settingsFile;
  ReleaseSRWLockExclusive(&settingsLock);
  if (inRange) store(L"path", path, file);
}

int32_t chosenPort() {
  return underSharedLock([] { return port; });
}

void choosePort(int32_t wanted) {
  AcquireSRWLockExclusive(&settingsLock);
  port = chosenSstpPort(wanted);
  char text[16];
  snprintf(text, sizeof text, "%d", static_cast<int>(port));
  std::wstring file = settingsFile;
  ReleaseSRWLockExclusive(&settingsLock);
  store(L"port", text, file);
}
