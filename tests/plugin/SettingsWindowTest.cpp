// End to end: the plug-in's filter window in the host emulator. Natively the
// controls are the stand-ins inside the module; under Wine they are real
// windows, read back with Windows' own functions. --trace shows the calls
// the plug-in made, with their exact arguments.
#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "EmulatorRun.h"
#include "host-support/Files.h"

namespace {

#define SAKURA "\x82\xB3\x82\xAD\x82\xE7"          /* さくら */
#define UNYU "\x82\xA4\x82\xC9\x82\xE3\x82\xA4"    /* うにゅう */
#define TWO_SECONDS "2 \x95\x62"                   /* 2 秒 */
#define RESET_ESTIMATE "1 \x8E\x9E\x8A\xD4 55 \x95\xAA" /* 1 時間 55 分: 6912 s from a reset record */

class SettingsWindow : public EndToEnd {};

// The text between `key="` and the next `"` in `line`.
std::string field(const std::string& line, const std::string& key) {
  size_t at = line.find(" " + key + "=");
  if (at == std::string::npos) return "<no " + key + ">";
  at += key.size() + 2;
  size_t end = line[at] == '"' ? line.find('"', at + 1) + 1 : line.find(' ', at);
  return line.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

// The entries of the list `id` in the emulator's control dump.
std::vector<std::string> listEntries(const std::string& out, int id) {
  std::vector<std::string> entries;
  for (const std::string& line : linesStartingWith(out, "entry id=" + std::to_string(id) + " ")) {
    entries.push_back(field(line, "text"));
  }
  return entries;
}

std::string listSelection(const std::string& out, int id) {
  std::vector<std::string> lines = linesStartingWith(out, "list id=" + std::to_string(id) + " ");
  return lines.size() == 1 ? field(lines[0], "selection") : "<no list>";
}

// A learned record that estimates the default job (76800 pixels, 900
// frames, no filter) at 2 s; a reset brings back 6912 s.
std::string learnedRecord() { return recordBytes(recordAfterOneRun(76800, 900, 0, 2)); }

TEST_F(SettingsWindow, CreatesItsControlsAsTheHostExpects) {
  PluginFolder folder = makePluginFolder("controls", {{"values-ghost.tpp", "a.tpp"}});
  EmulatorResult result = runEmulator(folder, {"--trace", "init", "dump-controls"});
  ASSERT_EQ(result.exitCode, 0) << result.out << result.err;

  // The calls, in their order: four controls, the font, the font for each.
  const char* const expected[] = {
      "call CreateWindowExA(exstyle=0x00000000, class=\"STATIC\", text=\"ファイル：\", style=0x50000002, x=8, "
      "y=9, width=50, height=16, parent=filter-window, menu=0, instance=module, param=null) -> control-1",
      "call CreateWindowExA(exstyle=0x00000000, class=\"STATIC\", text=\"ポート：\", style=0x50000002, x=8, "
      "y=40, width=50, height=16, parent=filter-window, menu=0, instance=module, param=null) -> control-2",
      "call CreateWindowExA(exstyle=0x00000200, class=\"COMBOBOX\", text=\"\", style=0x50000003, x=60, y=5, "
      "width=200, height=200, parent=filter-window, menu=40001, instance=module, param=null) -> control-3",
      "call CreateWindowExA(exstyle=0x00010200, class=\"COMBOBOX\", text=\"\", style=0x50000003, x=60, y=36, "
      "width=70, height=200, parent=filter-window, menu=40002, instance=module, param=null) -> control-4",
      "call CreateFontA(height=12, width=0, escapement=0, orientation=0, weight=500, italic=0, underline=0, "
      "strikeout=0, charset=128, out-precision=0, clip-precision=0, quality=2, pitch-family=48, "
      "face=\"ＭＳ Ｐゴシック\") -> font-1",
      "call SendMessageA(control-1, WM_SETFONT, font-1, 0)",
      "call SendMessageA(control-2, WM_SETFONT, font-1, 0)",
      "call SendMessageA(control-3, WM_SETFONT, font-1, 0)",
      "call SendMessageA(control-4, WM_SETFONT, font-1, 0)",
  };
  std::vector<std::string> calls = linesStartingWith(result.out, "call ");
  ASSERT_GE(calls.size(), 9u) << result.out;
  for (size_t i = 0; i < 9; ++i) {
    std::string call = calls[i];
    // What WM_SETFONT answers is the control's business.
    if (i >= 5) call = call.substr(0, call.find(" -> "));
    EXPECT_EQ(call, expected[i]);
  }

  // The controls as the window system holds them (a list's own window is
  // its closed box, and Windows keeps WS_EX_CLIENTEDGE off a combo box).
  const char* const controls[] = {
      "control class=Static text=\"ファイル：\" style=0x50000002 exstyle=0x00000000 x=8 y=9 width=50 height=16 id=0",
      "control class=Static text=\"ポート：\" style=0x50000002 exstyle=0x00000000 x=8 y=40 width=50 height=16 id=0",
      "control class=ComboBox text=\"さくら (a.tpp)\" style=0x50000003 exstyle=0x00000000 x=60 y=5 width=200",
      "control class=ComboBox text=\"9801\" style=0x50000003 exstyle=0x00010000 x=60 y=36 width=70",
  };
  std::vector<std::string> dumped = linesStartingWith(result.out, "control class=");
  ASSERT_EQ(dumped.size(), 4u) << result.out;
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(dumped[i].substr(0, strlen(controls[i])), controls[i]);
  std::vector<std::string> fonts = linesStartingWith(result.out, "font id=");
  ASSERT_EQ(fonts.size(), 4u);
  for (const std::string& font : fonts) {
    EXPECT_NE(font.find(" face=\"ＭＳ Ｐゴシック\" height=12 width=0 escapement=0 orientation=0 weight=500 italic=0 "
                        "underline=0 strikeout=0 charset=128 out-precision=0 clip-precision=0 quality=2 "
                        "pitch-family=48"),
              std::string::npos)
        << font;
  }
  EXPECT_EQ(listEntries(result.out, 40002), (std::vector<std::string>{"\"9801\"", "\"11000\""}));
}

TEST_F(SettingsWindow, ListsEveryTemplateInSearchOrder) {
  // A template without a ghost is listed by its SSTP version; a folder whose
  // name matches is listed like a file; other files are not listed.
  PluginFolder folder = makePluginFolder("entries", {{"values-ghost.tpp", "a.tpp"},
                                                     {"values-noghost.tpp", "b.tpp"},
                                                     {"other-ghost.tpp", "C.TPP"},
                                                     {"other-ghost.tpp", "d.tpp.txt"}});
  writeFileBytes(folder.posix + "/e.tp", "");
  createFolders(folder.posix + "/dir.tpp");
  const std::pair<const char*, const char*> texts[] = {
      {"a.tpp", "\"さくら (a.tpp)\""},
      {"b.tpp", "\"SEND/1.1 (b.tpp)\""},
      {"C.TPP", "\"うにゅう (C.TPP)\""},
      {"dir.tpp", "\"SEND/1.1 (dir.tpp)\""},
  };
  std::vector<std::string> expected;
  for (const std::string& name : templateOrder(folder)) {
    for (const auto& text : texts) {
      if (name == text.first) expected.push_back(text.second);
    }
  }
  ASSERT_EQ(expected.size(), 4u);
  EmulatorResult result = runEmulator(folder, {"init", "dump-controls"});
  ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
  EXPECT_EQ(listEntries(result.out, 40001), expected);
}

// Which saved "path" restores which template, and when the estimator starts
// over. The start request tells the chosen template (its ghost) and whether
// the learned record survived (its estimate).
TEST_F(SettingsWindow, RestoresTheSavedTemplateOrFallsBackToTheFirst) {
  enum class Saved { nothing, secondEntry, secondEntryOtherCase, goneFile };
  struct Case {
    const char* what;
    Saved saved;
    int selection;
    bool reset;
  };
  const Case cases[] = {
      {"no saved path: the first, and the estimator starts over", Saved::nothing, 0, true},
      {"the second entry's path: kept, and so is what was learned", Saved::secondEntry, 1, false},
      {"the path in another letter case matches nothing", Saved::secondEntryOtherCase, 0, true},
      {"a template that is gone", Saved::goneFile, 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    restartReceivers();
    PluginFolder folder =
        makePluginFolder("restore", {{"values-ghost.tpp", "a.tpp"}, {"other-ghost.tpp", "b.tpp"}});
    std::vector<std::string> order = templateOrder(folder);
    ASSERT_EQ(order.size(), 2u);
    std::string second = order[1];
    if (c.saved == Saved::secondEntryOtherCase) std::transform(second.begin(), second.end(), second.begin(), ::toupper);
    if (c.saved == Saved::goneFile) second = "gone.tpp";
    if (c.saved != Saved::nothing) writeSettings(folder, {{"path", folder.hostFile(second)}});
    std::string settingsBefore = readFileBytes(folder.settingsFile());
    writeFileBytes(folder.extendedFile(), learnedRecord());

    EmulatorResult result =
        run(folder, {"--no-align", "--save-seconds", "0", "init", "dump-controls", "dump-extdata", "save"});
    ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
    EXPECT_EQ(listSelection(result.out, 40001), std::to_string(c.selection));
    // Initialisation only reads the settings.
    EXPECT_TRUE(linesStartingWith(result.out, "host: store-text").empty());
    EXPECT_EQ(readFileBytes(folder.settingsFile()), settingsBefore);

    std::string chosen = order[static_cast<size_t>(c.selection)];
    std::vector<std::string> requests = receiverRequests(at9801);
    ASSERT_EQ(requests.size(), 2u) << result.out;
    std::string ghost = chosen == "a.tpp" ? SAKURA : UNYU;
    EXPECT_NE(requests[0].find("IfGhost: " + ghost + "\r\n"), std::string::npos) << requests[0];
    EXPECT_NE(requests[0].find(c.reset ? RESET_ESTIMATE : TWO_SECONDS), std::string::npos) << requests[0];
  }
}

TEST_F(SettingsWindow, ChoosesThePortFromTheSavedSetting) {
  struct Case {
    const char* saved;  // null: no setting
    int port;
    const char* selection;
  };
  const Case cases[] = {
      {nullptr, 9801, "0"},
      {"9801", 9801, "0"},
      {"11000", 11000, "1"},
      {"12345", 9801, "0"},  // only 11000 chooses 11000
      {"abc", 9801, "0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.saved ? c.saved : "no setting");
    restartReceivers();
    PluginFolder folder = makePluginFolder("port", {{"values-ghost.tpp", "a.tpp"}});
    std::vector<std::pair<std::string, std::string>> settings = {{"path", folder.hostFile("a.tpp")}};
    if (c.saved != nullptr) settings.push_back({"port", c.saved});
    writeSettings(folder, settings);
    EmulatorResult result = run(folder, {"--no-align", "--save-seconds", "0", "init", "dump-controls", "save"});
    ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
    EXPECT_EQ(listSelection(result.out, 40002), c.selection);
    EXPECT_EQ(receiverRequests(at9801).size(), c.port == 9801 ? 2u : 0u);
    EXPECT_EQ(receiverRequests(at11000).size(), c.port == 11000 ? 2u : 0u);
  }
}

TEST_F(SettingsWindow, APickTakesEffectAtOnceAndIsRestoredNextTime) {
  PluginFolder folder = makePluginFolder("pick", {{"values-ghost.tpp", "a.tpp"}, {"other-ghost.tpp", "b.tpp"}});
  std::vector<std::string> order = templateOrder(folder);
  ASSERT_EQ(order.size(), 2u);
  writeSettings(folder, {{"path", folder.hostFile(order[0])}});
  writeFileBytes(folder.extendedFile(), learnedRecord());

  EmulatorResult result = run(folder, {"--no-align", "--save-seconds", "0", "init", "pick-template", "1",
                                       "pick-port", "1", "save"});
  ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
  // Each pick is stored the moment it is made.
  std::vector<std::string> stores = linesStartingWith(result.out, "host: store-text");
  std::string storedPath = hostPath(folder.posix + "/" + order[1]);
  std::string quotedPath;
  for (char ch : storedPath) quotedPath += ch == '\\' ? std::string("\\\\") : std::string(1, ch);
  ASSERT_EQ(stores.size(), 2u) << result.out;
  EXPECT_EQ(stores[0], "host: store-text \"path\" = \"" + quotedPath + "\"");
  EXPECT_EQ(stores[1], "host: store-text \"port\" = \"11000\"");
  // The save goes to 11000 with the second template, and a pick keeps what
  // the estimator learned.
  EXPECT_TRUE(receiverRequests(at9801).empty());
  std::vector<std::string> requests = receiverRequests(at11000);
  ASSERT_EQ(requests.size(), 2u);
  std::string ghost = order[1] == "a.tpp" ? SAKURA : UNYU;
  EXPECT_NE(requests[0].find("IfGhost: " + ghost + "\r\n"), std::string::npos) << requests[0];
  EXPECT_NE(requests[0].find(TWO_SECONDS), std::string::npos) << requests[0];

  // The next run of the host restores both.
  EmulatorResult next = run(folder, {"init", "dump-controls"});
  ASSERT_EQ(next.exitCode, 0) << next.out << next.err;
  EXPECT_EQ(listSelection(next.out, 40001), "1");
  EXPECT_EQ(listSelection(next.out, 40002), "1");
}

TEST_F(SettingsWindow, ANoticeWithoutASelectionChangesNothing) {
  PluginFolder folder = makePluginFolder("noselect", {{"values-ghost.tpp", "a.tpp"}});
  writeSettings(folder, {{"path", folder.hostFile("a.tpp")}});
  std::string settingsBefore = readFileBytes(folder.settingsFile());
  // Before the initialisation there is no list; pick -1 clears the
  // selection, so CB_GETCURSEL gives -1.
  EmulatorResult result = run(folder, {"--no-align", "--save-seconds", "0", "pick-template", "0", "pick-port",
                                       "1", "init", "pick-template", "-1", "pick-port", "-1", "save"});
  ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
  EXPECT_TRUE(linesStartingWith(result.out, "host: store-text").empty()) << result.out;
  EXPECT_EQ(readFileBytes(folder.settingsFile()), settingsBefore);
  // The choice made at the initialisation stands.
  std::vector<std::string> requests = receiverRequests(at9801);
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_NE(requests[0].find("IfGhost: " SAKURA "\r\n"), std::string::npos);
}

TEST_F(SettingsWindow, LeavesOutATemplateWhosePathIsTooLongToChoose) {
  // The folder as the plug-in spells it, with its last backslash, is 240
  // bytes: "a.tpp" fits the 260 bytes of the chosen path, the long names
  // do not. Three of them, so that one likely comes before a listed entry
  // in the search order and list and catalogue indexes part.
  ScratchFolder base("long");
  std::string folderPath = folderOfLength(base.path(), 240);
  PluginFolder folder =
      makePluginFolder("long", {{"values-ghost.tpp", "a.tpp"}, {"other-ghost.tpp", "b.tpp"}}, folderPath);
  ASSERT_EQ(hostFolder(folder.posix).size(), 240u);
  for (char n = '1'; n <= '3'; ++n) {
    writeFileBytes(folder.posix + "/" + std::string(60, 'l') + n + ".tpp", fixtureBytes("values-noghost.tpp"));
  }
  std::vector<std::string> order = templateOrder(folder);
  ASSERT_EQ(order.size(), 5u);
  std::vector<std::string> listed;
  for (const std::string& name : order) {
    if (name.size() == 5) listed.push_back(name);
  }
  ASSERT_EQ(listed.size(), 2u);

  EmulatorResult result =
      run(folder, {"--no-align", "--save-seconds", "0", "init", "dump-controls", "pick-template", "1", "save"});
  ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
  std::vector<std::string> expected;
  for (const std::string& name : listed) {
    expected.push_back(name == "a.tpp" ? "\"さくら (a.tpp)\"" : "\"うにゅう (b.tpp)\"");
  }
  EXPECT_EQ(listEntries(result.out, 40001), expected);
  // The second entry of the list is the second short name, wherever the
  // long names stood in the catalogue.
  std::vector<std::string> stores = linesStartingWith(result.out, "host: store-text \"path\"");
  ASSERT_EQ(stores.size(), 1u) << result.out;
  EXPECT_NE(stores[0].find("\\" + listed[1] + "\""), std::string::npos) << stores[0];
  std::vector<std::string> requests = receiverRequests(at9801);
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_NE(requests[0].find(std::string("IfGhost: ") + (listed[1] == "a.tpp" ? SAKURA : UNYU)), std::string::npos);
}

// The ports themselves, without the emulator's redirection: the receivers
// listen on 9801 and 11000 of this machine, if they are free.
TEST_F(SettingsWindow, ReachesTheRealPorts) {
  for (int32_t port : {9801, 11000}) {
    SCOPED_TRACE(port);
    ReceiverSettings settings;
    settings.port = port;
    int error = 0;
    SstpReceiver* receiver = startSstpReceiver(settings, &error);
    if (receiver == nullptr) GTEST_SKIP() << "port " << port << " is taken on this machine (error " << error << ")";
    PluginFolder folder = makePluginFolder("realport", {{"values-ghost.tpp", "a.tpp"}});
    writeSettings(folder, {{"path", folder.hostFile("a.tpp")}, {"port", std::to_string(port)}});
    EmulatorResult result = runEmulator(folder, {"--no-align", "--save-seconds", "0"});
    size_t received = receiverRequests(receiver).size();
    stopSstpReceiver(receiver);
    ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
    EXPECT_EQ(received, 2u);
  }
}

TEST_F(SettingsWindow, WithoutATemplateShowsTheErrorAndEndsTheHost) {
  PluginFolder folder = makePluginFolder("empty", {{"values-ghost.tpp", "a.tpp.bak"}});
  EmulatorResult result = runEmulator(folder, {"--trace", "init", "save"});
  EXPECT_EQ(result.exitCode, 1) << result.out << result.err;
  std::vector<std::string> boxes = linesStartingWith(result.out, "call MessageBoxA(");
  ASSERT_EQ(boxes.size(), 1u) << result.out;
  EXPECT_EQ(boxes[0],
            "call MessageBoxA(owner=filter-window, text=\"TPP ファイルが見つかりません\\n\", caption=\"ERROR\", "
            "type=0x00000010)");
#ifdef _WIN32
  // The real box, read by the emulator's watcher, which pressed its OK.
  EXPECT_EQ(linesStartingWith(result.out, "messagebox "),
            std::vector<std::string>{"messagebox caption=\"ERROR\" owner=filter-window text=\"TPP "
                                     "ファイルが見つかりません\\n\" icon=error buttons=OK"});
#else
  EXPECT_NE(result.err.find("MessageBoxA caption=\"ERROR\" type=0x10 text=\"TPP "
                            "\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xAA\x8C\xA9\x82\xC2\x82\xA9\x82\xE8\x82\xDC"
                            "\x82\xB9\x82\xF1\n\"" /* ファイルが見つかりません */),
            std::string::npos)
      << result.err;
#endif
  // The host ended inside the initialisation: no save, nothing kept.
  EXPECT_TRUE(linesStartingWith(result.out, "save ").empty());
  EXPECT_EQ(readFileBytes(folder.extendedFile()), "");
}

}  // namespace
