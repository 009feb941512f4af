// The settings window the host's settings menu opens, driven from the test
// thread (the host's main thread) by messages, as a user's choices send
// them; what it stores in sstp.ini and the learned record in sstp.estimate
// beside the module, and how both come back after the plug-in is loaded
// again. And a folder without templates.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "PluginHarness.h"
#include "aviutl2/SettingsDialog.h"
#include "estimate/Estimator.h"
#include "template/TemplateCatalog.h"

namespace {

#define SAKURA "\x82\xB3\x82\xAD\x82\xE7"  /* さくら */
#define UNYUU "\x82\xA4\x82\xC9\x82\xE3\x82\xA4"  /* うにゅう */

std::wstring wideOfSjis(const std::string& text) {
  int characters = MultiByteToWideChar(932, 0, text.c_str(), -1, nullptr, 0);
  std::wstring wide(static_cast<size_t>(characters > 0 ? characters : 1), L'\0');
  MultiByteToWideChar(932, 0, text.c_str(), -1, &wide[0], characters);
  wide.resize(wide.size() - 1);
  return wide;
}

std::wstring windowText(HWND window) {
  wchar_t text[512] = L"";
  GetWindowTextW(window, text, 512);
  return text;
}

// The entries of a drop-down list and the one selected.
struct ListState {
  std::vector<std::wstring> entries;
  LRESULT selected;
};

ListState listState(HWND list) {
  ListState state;
  LRESULT count = SendMessageW(list, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    wchar_t text[512] = L"";
    SendMessageW(list, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
    state.entries.push_back(text);
  }
  state.selected = SendMessageW(list, CB_GETCURSEL, 0, 0);
  return state;
}

// Picks entry `index` of the list `id` as a user does: the selection, then
// the notice its window gets.
void pick(HWND window, int id, int index) {
  HWND list = GetDlgItem(window, id);
  ASSERT_NE(list, nullptr);
  SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  SendMessageW(window, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

std::wstring profileText(const std::string& file, const wchar_t* key) {
  wchar_t text[512] = L"";
  GetPrivateProfileStringW(L"SSTP", key, L"(none)", text, 512, wideOf(hostPath(file)).c_str());
  return text;
}

class Aviutl2Settings : public PluginSuite {
 protected:
  // The labels the window must list, in the catalogue's order.
  std::vector<std::wstring> expectedLabels() {
    std::vector<std::wstring> labels;
    TemplateCatalog* catalog = scanTemplates(hostFolder(folder.path()).c_str());
    for (int32_t i = 0; catalog != nullptr && i < catalog->entryCount; ++i) {
      char* label = templateLabel(catalog, i);
      labels.push_back(wideOfSjis(label));
      free(label);
    }
    releaseTemplates(catalog);
    return labels;
  }

  // One output of 1 s with the event; the requests at `receiver`.
  std::vector<std::string> oneOutput(SstpReceiver* receiver) {
    EXPECT_TRUE(changeEditState(host, EditState::save, StateChange::withEvent));
    Sleep(1000);
    EXPECT_TRUE(changeEditState(host, EditState::edit, StateChange::withEvent));
    return takeRequests(receiver, 2, 2000);
  }
};

TEST_F(Aviutl2Settings, ChoicesAndTheLearnedRecordSurviveAReload) {
  addTemplate("plugin", "values-ghost.tpp", "a.tpp");
  std::string other = addTemplate("plugin", "other-ghost.tpp", "b.tpp");
  startHost();
  ASSERT_EQ(LoadResult::registered, load());
  ASSERT_TRUE(openConfigMenu(host));
  HWND window = settingsWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(GetWindow(window, GW_OWNER), hostWindow(host));
  EXPECT_TRUE(IsWindowVisible(window));
  // As listed by the catalogue, the first chosen; 9801.
  std::vector<std::wstring> labels = expectedLabels();
  ASSERT_EQ(labels.size(), 2u);
  ListState templates = listState(GetDlgItem(window, kTemplateListId));
  EXPECT_EQ(templates.entries, labels);
  EXPECT_EQ(templates.selected, 0);
  ListState ports = listState(GetDlgItem(window, kPortListId));
  EXPECT_EQ(ports.entries, (std::vector<std::wstring>{L"9801", L"11000"}));
  EXPECT_EQ(ports.selected, 0);
  // A second open brings the same window forward.
  ASSERT_TRUE(openConfigMenu(host));
  EXPECT_EQ(settingsWindow(), window);

  // b.tpp and 11000, each stored at once.
  int otherIndex = labels[0].find(L"(b.tpp)") != std::wstring::npos ? 0 : 1;
  pick(window, kTemplateListId, otherIndex);
  EXPECT_EQ(profileText(path("sstp.ini"), L"path"), wideOf(other));
  EXPECT_EQ(profileText(path("sstp.ini"), L"port"), L"(none)");  // not chosen yet
  pick(window, kPortListId, 1);
  EXPECT_EQ(profileText(path("sstp.ini"), L"port"), L"11000");
  SendMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(settingsWindow(), nullptr);

  // The notices follow at once: b.tpp's ghost on 11000.
  std::vector<std::string> first = oneOutput(receiverAt11000());
  ASSERT_EQ(first.size(), 2u);
  EXPECT_NE(first[0].find("IfGhost: " UNYUU "\r\n"), std::string::npos);
  EXPECT_TRUE(takeReceiverRequests(receiverAt9801()).empty());
  unload();
  std::string record = readFileBytes(path("sstp.estimate"));
  ASSERT_EQ(record.size(), sizeof(EstimatorRecord));

  // Loaded again: the same choices, and the estimate from the learned run.
  restartHost();
  ASSERT_EQ(LoadResult::registered, load());
  ASSERT_TRUE(openConfigMenu(host));
  EXPECT_EQ(listState(GetDlgItem(settingsWindow(), kTemplateListId)).selected, otherIndex);
  EXPECT_EQ(listState(GetDlgItem(settingsWindow(), kPortListId)).selected, 1);
  std::vector<std::string> second = oneOutput(receiverAt11000());
  ASSERT_EQ(second.size(), 2u);
  JobRecord job = jobOf(1920, 1080, 3000, 300, 10);
  memcpy(&estimatorRecord, record.data(), sizeof estimatorRecord);
  EXPECT_EQ(second[0], startNoticeOf(&job, other, UNYUU));
  EXPECT_EQ(estimatorRecord.sampleCount, 1);  // it was learned, not reset
  EXPECT_TRUE(logLines(host).empty());
}

// A usable record of one learned run, whose estimates differ from the
// defaults'.
std::string learnedRecord() {
  resetEstimator();
  learnFromRun(76800, 900, 0, 1);
  return std::string(reinterpret_cast<const char*>(&estimatorRecord), sizeof estimatorRecord);
}

// A saved template that is gone: the first listed is chosen and the
// estimator starts afresh, as in the 1.x edition; an unreadable record
// starts afresh too, with a line in the log.
TEST_F(Aviutl2Settings, AGoneTemplateOrAnUnreadableRecordStartsAfresh) {
  struct Row {
    const char* comment;
    std::string ini;
    std::string record;
    size_t logLines;
  } rows[] = {
      {"the saved template is gone", "[SSTP]\r\npath=C:\\gone.tpp\r\nport=11000\r\n", learnedRecord(), 0},
      {"a record of 87 bytes", "", std::string(87, '\0'), 1},
      {"a record of 89 bytes", "", std::string(89, '\0'), 1},
  };
  std::string templatePath = addTemplate("plugin", "values-ghost.tpp", "values.tpp");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.comment);
    writeFileBytes(path("sstp.ini"), row.ini);
    writeFileBytes(path("sstp.estimate"), row.record);
    startHost();
    ASSERT_EQ(LoadResult::registered, load());
    SstpReceiver* receiver = row.ini.empty() ? receiverAt9801() : receiverAt11000();
    std::vector<std::string> requests = oneOutput(receiver);
    ASSERT_EQ(requests.size(), 2u);
    JobRecord job = jobOf(1920, 1080, 3000, 300, 10);
    resetEstimator();
    EXPECT_EQ(requests[0], startNoticeOf(&job, templatePath, SAKURA));
    EXPECT_EQ(logged(L"sstp.estimate is no learned record").size(), row.logLines);
    EXPECT_EQ(logLines(host).size(), row.logLines);
    TearDown();
  }
}

// No template in the plug-in's folder: one line in the log, the window
// says so in place of the list, and outputs send nothing; the host goes on.
TEST_F(Aviutl2Settings, AFolderWithoutTemplates) {
  startHost();
  ASSERT_EQ(LoadResult::registered, load());
  std::vector<LogLine> lines = logLines(host);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].text, L"SSTP: no template (*.tpp) in " + wideOf(hostFolder(folder.path())) +
                               L": no notice is sent");
  ASSERT_TRUE(openConfigMenu(host));
  HWND window = settingsWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(GetDlgItem(window, kTemplateListId), nullptr);
  // TPP ファイルが見つかりません
  EXPECT_EQ(windowText(GetDlgItem(window, kNoTemplateTextId)),
            L"TPP \u30D5\u30A1\u30A4\u30EB\u304C\u898B\u3064\u304B\u308A\u307E\u305B\u3093");
  pick(window, kPortListId, 1);
  EXPECT_TRUE(oneOutput(receiverAt11000()).empty());
  EXPECT_TRUE(takeReceiverRequests(receiverAt9801()).empty());
  EXPECT_EQ(logLines(host).size(), 1u);
  // The run is learned all the same; the window goes with the plug-in.
  unload();
  EXPECT_EQ(readFileBytes(path("sstp.estimate")).size(), sizeof(EstimatorRecord));
  EXPECT_EQ(settingsWindow(), nullptr);
}

// A folder whose name the ANSI code page (932 here) can't write: the core
// can't be handed it, so it gives no templates, and says so once.
TEST_F(Aviutl2Settings, AFolderTheAnsiCodePageCantWrite) {
  std::wstring wideFolder = wideOf(hostPath(folder.path())) + L"\\caf\u00E9";  // café
  ASSERT_TRUE(CreateDirectoryW(wideFolder.c_str(), nullptr));
  ASSERT_TRUE(CopyFileW(builtModule().c_str(), (wideFolder + L"\\sstp.aux2").c_str(), FALSE));
  std::wstring fixture = wideOf(hostPath(fixturePath("plugin", "values-ghost.tpp")));
  ASSERT_TRUE(CopyFileW(fixture.c_str(), (wideFolder + L"\\values.tpp").c_str(), FALSE));
  startHost();
  ASSERT_EQ(LoadResult::registered, loadFrom(wideFolder + L"\\sstp.aux2"));
  std::vector<LogLine> lines = logLines(host);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].text, L"SSTP: the plug-in's folder " + wideFolder +
                               L"\\ holds a character the ANSI code page lacks: no template is read and no "
                               L"notice is sent");
  ASSERT_TRUE(openConfigMenu(host));
  EXPECT_NE(GetDlgItem(settingsWindow(), kNoTemplateTextId), nullptr);
  EXPECT_TRUE(oneOutput(receiverAt9801()).empty());
  unload();
}

}  // namespace
