#include "host/SettingsWindow.h"

#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include "host/ModuleState.h"
#include "job/SaveJob.h"
#include "sstp/SstpNotifier.h"
#include "template/SjisText.h"
#include "template/TemplateCatalog.h"

namespace {

constexpr int kTemplateListId = 40001;
constexpr int kPortListId = 40002;
constexpr DWORD kLabelStyle = WS_CHILD | WS_VISIBLE | SS_RIGHT;          // 0x50000002
constexpr DWORD kListStyle = WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST;   // 0x50000003
constexpr size_t kTemplatePathSize = sizeof(JobRecord::templatePath);

// The window's controls and the catalogue it shows. A template-list entry
// is a catalogue entry whose path fits templatePath; a longer path is left
// out of the list, so the list index is looked up in listToCatalog.
struct SettingsWindowState {
  HWND fileLabel;
  HWND portLabel;
  HWND templateList;
  HWND portList;
  HFONT controlFont;
  TemplateCatalog* catalog;
  int32_t* listToCatalog;  // catalogue index of each list entry
  int32_t listedCount;
};

SettingsWindowState state;

// Drops the catalogue and everything that points into it. The save handlers
// then send nothing: no template is chosen and ghostName is the empty text.
void forgetCatalog() {
  ghostName = "";
  jobRecord.templatePath[0] = '\0';
  releaseTemplates(state.catalog);
  state.catalog = nullptr;
  free(state.listToCatalog);
  state.listToCatalog = nullptr;
  state.listedCount = 0;
}

void createControls(HWND window, HINSTANCE module) {
  state.fileLabel =
      CreateWindowExA(0, "STATIC", kTemplateListLabel, kLabelStyle, 8, 9, 50, 16, window, nullptr, module, nullptr);
  state.portLabel =
      CreateWindowExA(0, "STATIC", kPortListLabel, kLabelStyle, 8, 40, 50, 16, window, nullptr, module, nullptr);
  state.templateList =
      CreateWindowExA(WS_EX_CLIENTEDGE, "COMBOBOX", "", kListStyle, 60, 5, 200, 200, window,
                      reinterpret_cast<HMENU>(static_cast<uintptr_t>(kTemplateListId)), module, nullptr);
  state.portList = CreateWindowExA(WS_EX_CONTROLPARENT | WS_EX_CLIENTEDGE, "COMBOBOX", "", kListStyle,
                                   60, 36, 70, 200, window,
                                   reinterpret_cast<HMENU>(static_cast<uintptr_t>(kPortListId)), module,
                                   nullptr);
  state.controlFont = CreateFontA(12, 0, 0, 0, FW_MEDIUM, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, 0, 0,
                                  PROOF_QUALITY, DEFAULT_PITCH | FF_MODERN,
                                  "\x82\x6C\x82\x72 \x82\x6F\x83\x53\x83\x56\x83\x62\x83\x4E" /* ＭＳ Ｐゴシック */);
  HWND controls[] = {state.fileLabel, state.portLabel, state.templateList, state.portList};
  for (HWND control : controls) {
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(state.controlFont), 0);
  }
}

// Writes the plug-in's folder (ending in a backslash) into `folder`.
// Returns false when the module's path can't be had whole or has no folder.
bool findPluginFolder(HINSTANCE module, char* folder, DWORD size) {
  folder[0] = '\0';
  DWORD length = GetModuleFileNameA(module, folder, size);
  if (length == 0 || length >= size) return false;
  cutToDirectory(folder);
  size_t cut = strlen(folder);
  return cut > 0 && folder[cut - 1] == '\\';
}

// Adds entry `index` of the catalogue to the template list as
// "ghost (file)" or "SEND/1.1 (file)". Returns its list index, or -1 when
// it was not added.
int32_t addTemplateEntry(int32_t index) {
  char* text = templateLabel(state.catalog, index);
  if (text == nullptr) return -1;
  LRESULT added = SendMessageA(state.templateList, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
  free(text);
  return added >= 0 && added < state.catalog->entryCount ? static_cast<int32_t>(added) : -1;
}

// Makes list entry `listIndex` the chosen template.
void chooseListEntry(int32_t listIndex) {
  int32_t index = state.listToCatalog[listIndex];
  memcpy(jobRecord.templatePath, state.catalog->paths[index], strlen(state.catalog->paths[index]) + 1);
  ghostName = state.catalog->ghostNames[index];
}

// Fills the template list and restores the saved choice. Returns false
// when the folder holds no template at all; true when one is chosen, and
// also with none chosen when none could be listed (every path too long for
// templatePath) or memory ran out.
bool restoreTemplate(HostFunctionTable* host, HostFilterDescriptor* filter) {
  // The host may write nothing at all, not even the default, or a text
  // without its terminator: the buffer starts zeroed, so that no byte of
  // an earlier choice completes what the host wrote.
  memset(jobRecord.templatePath, 0, kTemplatePathSize);
  if (host != nullptr && host->loadText != nullptr) {
    host->loadText(filter, "path", jobRecord.templatePath, "");
  }
  jobRecord.templatePath[kTemplatePathSize - 1] = '\0';

  int32_t count = state.catalog->entryCount;
  bool outOfMemory = false;
  if (count > 0) {
    state.listToCatalog = static_cast<int32_t*>(malloc(sizeof(int32_t) * static_cast<size_t>(count)));
    outOfMemory = state.listToCatalog == nullptr;
    if (outOfMemory) count = 0;
  }
  for (int32_t i = 0; i < count; ++i) {
    if (!templateChoosable(state.catalog, i)) continue;
    int32_t listIndex = addTemplateEntry(i);
    if (listIndex < 0) {
      outOfMemory = true;
      continue;
    }
    state.listToCatalog[listIndex] = i;
    if (listIndex >= state.listedCount) state.listedCount = listIndex + 1;
  }

  // When the saved template is gone the first is taken; the host's "path"
  // keeps what it held until the user picks.
  int32_t listIndex =
      restoreTemplateChoice(state.catalog, state.listToCatalog, state.listedCount, jobRecord.templatePath);
  if (listIndex < 0) {
    // Only a folder without templates ends the host. Templates that can't
    // be chosen leave it running with none chosen: saves send nothing.
    if (state.catalog->entryCount == 0 && !outOfMemory) return false;
    forgetCatalog();
    return true;
  }
  chooseListEntry(listIndex);
  SendMessageA(state.templateList, CB_SETCURSEL, static_cast<WPARAM>(listIndex), 0);
  return true;
}

void restorePort(HostFunctionTable* host, HostFilterDescriptor* filter) {
  SendMessageA(state.portList, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("9801"));
  SendMessageA(state.portList, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("11000"));
  int32_t port = kSstpDefaultPort;
  if (host != nullptr && host->loadInt != nullptr) port = host->loadInt(filter, "port", kSstpDefaultPort);
  serverPort = chosenSstpPort(port);
  SendMessageA(state.portList, CB_SETCURSEL, serverPort == kSstpOtherPort ? 1 : 0, 0);
}

void initialiseWindow(HWND window, HostFilterDescriptor* filter) {
  // Should the host send 1127 twice, the first catalogue is released, not leaked.
  forgetCatalog();
  HINSTANCE module = filter->module;
  HostFunctionTable* host = hostFunctions(filter);
  createControls(window, module);

  // Without a folder, or with one too long for the directory search's
  // MAX_PATH pattern (a host that loaded the plug-in by a long path), we
  // can't tell whether templates are there: nothing is chosen and saves
  // send nothing, but the host goes on.
  static char folder[4096];
  if (!findPluginFolder(module, folder, sizeof folder) || strlen(folder) + sizeof("*.tpp") > MAX_PATH) {
    restorePort(host, filter);
    return;
  }
  state.catalog = scanTemplates(folder);
  // Without memory for the catalogue nothing is known about the folder: no
  // template is chosen and saves send nothing, but the host goes on.
  if (state.catalog != nullptr && !restoreTemplate(host, filter)) {
    forgetCatalog();
    MessageBoxA(window, kNoTemplateText, "ERROR", MB_ICONERROR);
    // The host can't go on without a template: the process ends with it.
    exit(1);
  }
  restorePort(host, filter);
}

void templatePicked(HostFunctionTable* host, HostFilterDescriptor* filter) {
  if (state.catalog == nullptr || state.listToCatalog == nullptr) return;
  LRESULT listIndex = SendMessageA(state.templateList, CB_GETCURSEL, 0, 0);
  if (listIndex < 0 || listIndex >= state.listedCount) return;
  chooseListEntry(static_cast<int32_t>(listIndex));
  if (host != nullptr && host->storeText != nullptr) host->storeText(filter, "path", jobRecord.templatePath);
}

void portPicked(HostFunctionTable* host, HostFilterDescriptor* filter) {
  if (state.portList == nullptr) return;
  LRESULT listIndex = SendMessageA(state.portList, CB_GETCURSEL, 0, 0);
  if (listIndex < 0) return;
  static char text[4096];
  LRESULT length = SendMessageA(state.portList, CB_GETLBTEXTLEN, static_cast<WPARAM>(listIndex), 0);
  if (length < 0 || length >= static_cast<LRESULT>(sizeof text)) return;
  text[0] = '\0';
  if (SendMessageA(state.portList, CB_GETLBTEXT, static_cast<WPARAM>(listIndex),
                   reinterpret_cast<LPARAM>(text)) == CB_ERR) {
    return;
  }
  if (host != nullptr && host->storeText != nullptr) host->storeText(filter, "port", text);
  serverPort = static_cast<int32_t>(strtol(text, nullptr, 10));
}

void windowDestroyed() {
  forgetCatalog();
  if (state.controlFont != nullptr) DeleteObject(state.controlFont);
  // The child controls end with the filter window.
  state = SettingsWindowState();
}

}  // namespace

int32_t __cdecl settingsWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                   void* editHandle, HostFilterDescriptor* filter) {
  switch (message) {
    case kWindowInitMessage:
      if (filter != nullptr) initialiseWindow(window, filter);
      break;
    case WM_COMMAND:
      if (HIWORD(wParam) != CBN_SELCHANGE) break;
      if (LOWORD(wParam) == kTemplateListId) templatePicked(hostFunctions(filter), filter);
      if (LOWORD(wParam) == kPortListId) portPicked(hostFunctions(filter), filter);
      break;
    case WM_DESTROY:
      windowDestroyed();
      break;
    default:
      break;
  }
  return 0;
}
