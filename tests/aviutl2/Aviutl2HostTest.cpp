// The stand-in AviUtl ExEdit2 host's own contracts (tools/aviutl2-host),
// proved with the probe plug-in (tools/aviutl2-host/probe), whose log lines
// say what it was called with and on which thread.
#include <gtest/gtest.h>

#include <stdint.h>
#include <string.h>
#include <windows.h>

#include <string>
#include <vector>

#include "Aviutl2Host.h"
#include "host-support/Files.h"

using namespace aviutl2Layout;

namespace {

std::wstring probePath() { return wideOf(hostPath(AUX2_PROBE_PATH)); }

// A host of `sdk` with the probe loaded in the mode `probeMode` (see
// Probe.cpp); stopped at the end of the test.
class HostTest : public ::testing::Test {
 protected:
  void TearDown() override {
    stopHost();
    SetEnvironmentVariableA("AUX2_PROBE", nullptr);
  }

  // Stops the host, if one runs; a table case does so before its next row.
  void stopHost() {
    stopAviutl2Host(host);
    host = nullptr;
  }

  // A scratch folder for the test, made on first use and removed after
  // TearDown has stopped the host (a loaded module can't be deleted).
  const std::string& folder() {
    if (scratch.path().empty()) scratch = ScratchFolder("aviutl2");
    return scratch.path();
  }
  ScratchFolder scratch;

  void start(HostSdk sdk = HostSdk::current, const std::wstring& appData = L"C:\\ProgramData\\aviutl2") {
    Aviutl2HostSettings settings;
    settings.shape = hostShapeOf(sdk);
    settings.appDataPath = appData;
    std::string error;
    host = startAviutl2Host(settings, &error);
    ASSERT_NE(nullptr, host) << error;
  }

  LoadResult load(const char* probeMode, std::string* error = nullptr) {
    SetEnvironmentVariableA("AUX2_PROBE", probeMode);
    std::string ignored;
    return loadAviutl2Plugin(host, probePath(), error != nullptr ? error : &ignored);
  }

  // The entries of the calls into the plug-in, in order.
  std::vector<std::string> entries() {
    std::vector<std::string> names;
    for (const PluginCall& call : pluginCalls(host)) names.push_back(call.entry);
    return names;
  }

  // The probe's log lines, UTF-8, without the thread it adds.
  std::vector<std::string> lines() {
    std::vector<std::string> texts;
    for (const LogLine& line : logLines(host)) {
      std::string text = utf8Of(line.text);
      texts.push_back(text.substr(0, text.find(" [thread")));
    }
    return texts;
  }

  Aviutl2Host* host = nullptr;
};

typedef std::vector<std::string> Texts;

TEST_F(HostTest, CallsTheExportsInTheHostsOrderOnTheCallersThread) {
  start();
  ASSERT_EQ(LoadResult::registered, load(""));
  ASSERT_TRUE(unloadAviutl2Plugin(host));
  EXPECT_EQ((Texts{"RequiredVersion", "InitializeLogger", "InitializeConfig", "InitializePlugin", "RegisterPlugin",
                   "UninitializePlugin"}),
            entries());
  // 初期化 in the probe's text comes back as UTF-8.
  EXPECT_EQ((Texts{"InitializeLogger", "InitializeConfig C:\\ProgramData\\aviutl2",
                   "InitializePlugin \xE5\x88\x9D\xE6\x9C\x9F\xE5\x8C\x96 2010000", "RegisterPlugin",
                   "UninitializePlugin"}),
            lines());
  for (const PluginCall& call : pluginCalls(host)) EXPECT_EQ(GetCurrentThreadId(), call.threadId) << call.entry;
  for (const LogLine& line : logLines(host)) EXPECT_EQ(LogLevel::info, line.level);
  PluginExports found = pluginExports(host);
  EXPECT_TRUE(found.registerPlugin && found.initializePlugin && found.uninitializePlugin && found.initializeLogger &&
              found.initializeConfig && found.requiredVersion);
  EXPECT_FALSE(found.getCommonPluginTable);
  EXPECT_EQ(nullptr, GetModuleHandleW(probePath().c_str()));
  EXPECT_FALSE(unloadAviutl2Plugin(host));
  EXPECT_TRUE(takeFaults(host).empty());
}

TEST_F(HostTest, WhatALoadEndsWith) {
  struct Row {
    const char* probeMode;
    LoadResult result;
    Texts calls;  // into the plug-in, in order
    const char* error;
  } rows[] = {
      {"", LoadResult::registered,
       {"RequiredVersion", "InitializeLogger", "InitializeConfig", "InitializePlugin", "RegisterPlugin"}, ""},
      // Not registered, unloaded without UninitializePlugin.
      {"refuse", LoadResult::initializeFailed,
       {"RequiredVersion", "InitializeLogger", "InitializeConfig", "InitializePlugin"},
       "InitializePlugin returned false"},
      // The host's own version is enough; one more is not.
      {"required=2010000", LoadResult::registered,
       {"RequiredVersion", "InitializeLogger", "InitializeConfig", "InitializePlugin", "RegisterPlugin"}, ""},
      {"required=2010001", LoadResult::hostTooOld, {"RequiredVersion"},
       "the plug-in requires host version 2010001, this is 2010000"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.probeMode);
    start();
    std::string error;
    EXPECT_EQ(row.result, load(row.probeMode, &error));
    EXPECT_EQ(row.error, error);
    EXPECT_EQ(row.calls, entries());
    bool registered = row.result == LoadResult::registered;
    EXPECT_EQ(registered, GetModuleHandleW(probePath().c_str()) != nullptr);
    EXPECT_EQ(registered, !registrations(host).empty());
    EXPECT_EQ(registered, unloadAviutl2Plugin(host));
    stopHost();
  }
}

TEST_F(HostTest, ModulesThatAreNoPlugIn) {
  start();
  std::string error;
  // A module without RegisterPlugin is let go again, nothing called.
  EXPECT_EQ(LoadResult::noRegisterPlugin, loadAviutl2Plugin(host, L"kernel32.dll", &error));
  EXPECT_EQ("kernel32.dll has no export RegisterPlugin", error);
  EXPECT_TRUE(pluginCalls(host).empty());
  std::wstring missing = wideOf(hostPath(folder() + "/missing.aux2"));
  EXPECT_EQ(LoadResult::cannotLoad, loadAviutl2Plugin(host, missing, &error));
  EXPECT_NE(std::string::npos, error.find("(error 126)")) << error;  // ERROR_MOD_NOT_FOUND
  // One plug-in at a time.
  ASSERT_EQ(LoadResult::registered, load(""));
  EXPECT_EQ(LoadResult::cannotLoad, load("", &error));
  EXPECT_EQ("a plug-in is loaded already", error);
}

TEST_F(HostTest, OneHostAtATime) {
  start();
  std::string error;
  EXPECT_EQ(nullptr, startAviutl2Host(Aviutl2HostSettings(), &error));
  EXPECT_EQ("a stand-in host is running already", error);
}

TEST_F(HostTest, RecordsWhatThePlugInRegisters) {
  start();
  ASSERT_EQ(LoadResult::registered, load(""));
  std::vector<Registration> found = registrations(host);
  ASSERT_EQ(4u, found.size());
  EXPECT_EQ(0, found[0].member);  // set_plugin_information
  EXPECT_EQ(L"probe for the stand-in host", pluginInformation(host));
  EXPECT_EQ(kTableRegisterConfigMenu, found[1].member);
  EXPECT_EQ(L"Probe settings", found[1].name);
  EXPECT_NE(nullptr, found[1].callback);
  // The listeners: their types, and each its own param.
  EXPECT_EQ(kTableRegisterEventListener, found[2].member);
  EXPECT_EQ(5, found[2].eventType);
  EXPECT_EQ(2, found[3].eventType);
  EXPECT_NE(found[2].object, found[3].object);
  EXPECT_EQ(1, tableCallCount(host, kTableCreateEditHandle));
  EXPECT_EQ(2, tableCallCount(host, kTableRegisterEventListener));
  EXPECT_EQ(0, tableCallCount(host, kTableMembers));  // out of range
}

TEST_F(HostTest, EditStateEventsRunOnTheEventThread) {
  start();
  ASSERT_EQ(LoadResult::registered, load(""));
  setEditInfo(host, sceneInfo(1280, 720, 30000, 1001, 899, 100, 199));
  EXPECT_TRUE(changeEditState(host, EditState::save, StateChange::withEvent));
  EXPECT_TRUE(changeEditState(host, EditState::edit, StateChange::withEvent));
  // Silent: only what get_edit_state returns changes; the frame event shows it.
  EXPECT_TRUE(changeEditState(host, EditState::play, StateChange::silent));
  EXPECT_EQ(EditState::play, editState(host));
  EXPECT_TRUE(fireEvent(host, EVENT_TYPE::CHANGE_EDIT_FRAME));
  const char* scene = " size 1280x720 rate 30000/1001 frame_max 899 select 100..199";
  Texts expected = {"event 5 state 2", "event 5 state 0", "event 2 state 1"};
  Texts all = lines();
  Texts logged(all.end() - 3, all.end());
  for (std::string& line : expected) line += scene;
  EXPECT_EQ(expected, logged);
  DWORD eventThread = eventThreadId(host);
  EXPECT_NE(GetCurrentThreadId(), eventThread);
  for (const LogLine& line : logLines(host)) {
    bool fromEvent = utf8Of(line.text).compare(0, 6, "event ") == 0;
    EXPECT_EQ(fromEvent ? eventThread : GetCurrentThreadId(), line.threadId) << utf8Of(line.text);
  }
  EXPECT_EQ(2u, pluginCallsTo(host, "event 5 listener").size());
  EXPECT_EQ(1u, pluginCallsTo(host, "event 2 listener").size());
  EXPECT_TRUE(takeFaults(host).empty());
}

TEST_F(HostTest, OlderHosts) {
  struct Row {
    HostSdk sdk;
    size_t stateListenerCalls;  // after one state change with the event
    size_t listeners;           // registrations of register_event_listener
    Texts faults;
  } rows[] = {
      {HostSdk::current, 1, 2, {}},
      // Type 5 is taken and never fired; type 2 still is.
      {HostSdk::noEditStateEvent, 0, 2, {}},
      // The probe reads the member past the table's end, finds null there
      // and registers no listener.
      {HostSdk::noEventListener, 0, 0,
       {"read past the end of HOST_APP_TABLE (224 bytes): member #28 register_event_listener"}},
      {HostSdk::noEditState, 0, 0,
       {"read past the end of HOST_APP_TABLE (192 bytes): member #28 register_event_listener"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(static_cast<int>(row.sdk));
    start(row.sdk);
    ASSERT_EQ(LoadResult::registered, load(""));
    EXPECT_TRUE(changeEditState(host, EditState::play, StateChange::withEvent));
    EXPECT_EQ(row.stateListenerCalls, pluginCallsTo(host, "event 5 listener").size());
    EXPECT_TRUE(fireEvent(host, EVENT_TYPE::CHANGE_EDIT_FRAME));
    EXPECT_EQ(row.listeners != 0 ? 1u : 0u, pluginCallsTo(host, "event 2 listener").size());
    EXPECT_EQ(static_cast<int>(row.listeners), tableCallCount(host, kTableRegisterEventListener));
    Texts faults = takeFaults(host);
    for (std::string& fault : faults) fault = fault.substr(0, fault.find(", on thread"));
    EXPECT_EQ(row.faults, faults);
    stopHost();
  }
}

TEST_F(HostTest, ReadsAndWritesPastARecordAreCaught) {
  struct Row {
    HostSdk sdk;
    bool editHandle;  // else the table
    int member;
    bool write;
    const char* fault;
  } rows[] = {
      {HostSdk::noEditState, true, kEditGetEditState, false,
       "read past the end of EDIT_HANDLE (56 bytes): member #7 get_edit_state"},
      {HostSdk::noEventListener, false, kTableRegisterEventListener, false,
       "read past the end of HOST_APP_TABLE (224 bytes): member #28 register_event_listener"},
      {HostSdk::noEventListener, true, 15, true, "write past the end of EDIT_HANDLE (112 bytes): member #15 enum_palette_name"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.fault);
    start(row.sdk);
    const void* start = row.editHandle ? static_cast<const void*>(hostEditHandle(host))
                                       : static_cast<const void*>(hostTable(host));
    auto record = reinterpret_cast<void* volatile*>(const_cast<void*>(start));
    void* seen = reinterpret_cast<void*>(1);
    if (row.write) {
      record[row.member] = nullptr;
    } else {
      seen = record[row.member];  // zeros once the fault has opened the page
    }
    EXPECT_EQ(row.write ? reinterpret_cast<void*>(1) : nullptr, seen);
    Texts faults = takeFaults(host);
    ASSERT_EQ(1u, faults.size());
    EXPECT_EQ(std::string(row.fault) + ", on thread " + std::to_string(GetCurrentThreadId()), faults[0]);
    // The page is closed again: the next read is caught too.
    seen = record[row.member];
    EXPECT_EQ(1u, takeFaults(host).size());
    stopHost();
  }
}

TEST_F(HostTest, EditInfoCopiesOnlyTheSizeAsked) {
  struct Row {
    HostSdk sdk;
    int size;
    int copied;
  } rows[] = {
      {HostSdk::current, 0, 0},
      {HostSdk::current, 4, 4},    // width only
      {HostSdk::current, 36, 36},  // the first SDK's record
      {HostSdk::current, 76, 76},  // without the background colour
      {HostSdk::current, 80, 80},
      {HostSdk::current, 120, 80},  // a larger record than the host's: its own bytes only
      {HostSdk::noEditStateEvent, 80, 76},
  };
  EDIT_INFO info = {};
  memset(&info, 0x11, sizeof info);
  info.background = EDIT_INFO_COLOR{1, 2, 3, 4};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.size);
    start(row.sdk);
    setEditInfo(host, info);
    uint8_t buffer[120];
    memset(buffer, 0xCD, sizeof buffer);
    hostEditHandle(host)->get_edit_info(reinterpret_cast<EDIT_INFO*>(buffer), row.size);
    EXPECT_EQ(0, memcmp(buffer, &info, static_cast<size_t>(row.copied)));
    for (int i = row.copied; i < 120; ++i) ASSERT_EQ(0xCD, buffer[i]) << "byte " << i;
    EXPECT_TRUE(takeFaults(host).empty());
    stopHost();
  }
}

TEST_F(HostTest, EditInfoRefusesNullAndNegativeSizes) {
  start();
  uint8_t buffer[80];
  memset(buffer, 0xCD, sizeof buffer);
  hostEditHandle(host)->get_edit_info(reinterpret_cast<EDIT_INFO*>(buffer), -1);
  hostEditHandle(host)->get_edit_info(nullptr, 80);
  EXPECT_EQ(0xCD, buffer[0]);
  EXPECT_EQ((Texts{"get_edit_info given a negative size", "get_edit_info given a null record"}), takeFaults(host));
}

TEST_F(HostTest, BreachesOfTheHostsRulesAreFaults) {
  struct Row {
    const char* probeMode;
    Texts faults;
  } rows[] = {
      {"early-info", {"get_edit_info called inside RegisterPlugin"}},
      {"foreign-logger", {"warn given a foreign LOG_HANDLE"}},
      {"late-register", {"register_config_menu called outside RegisterPlugin"}},
      {"long-log", {"verbose given 1025 characters, more than the host keeps"}},
      {"edit-in-event", {"call_edit_section called from an event listener"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.probeMode);
    start();
    ASSERT_EQ(LoadResult::registered, load(row.probeMode));
    // The settings, then a state change with its event.
    ASSERT_TRUE(openConfigMenu(host));
    ASSERT_TRUE(changeEditState(host, EditState::play, StateChange::withEvent));
    EXPECT_EQ(row.faults, takeFaults(host));
    stopHost();
  }
}

TEST_F(HostTest, OpensTheSettingsWithTheHostWindowAndTheModule) {
  start();
  ASSERT_EQ(LoadResult::registered, load(""));
  ASSERT_NE(nullptr, hostWindow(host));
  EXPECT_TRUE(openConfigMenu(host));
  EXPECT_FALSE(openConfigMenu(host, 1));  // only one menu
  wchar_t expected[96];
  swprintf(expected, 96, L"config window %p instance %p", static_cast<void*>(hostWindow(host)),
           static_cast<void*>(GetModuleHandleW(probePath().c_str())));
  std::vector<LogLine> logged = logLines(host);
  EXPECT_EQ(utf8Of(expected), lines().back());
  EXPECT_EQ(GetCurrentThreadId(), logged.back().threadId);
  EXPECT_EQ(1u, pluginCallsTo(host, "config menu Probe settings").size());
  unloadAviutl2Plugin(host);
  EXPECT_FALSE(openConfigMenu(host));
}

TEST_F(HostTest, MeasuresEachCallAndWaitsForEventsOnlyAsLongAsAsked) {
  start();
  ASSERT_EQ(LoadResult::registered, load("sleep=300"));
  EXPECT_TRUE(changeEditState(host, EditState::save, StateChange::withEvent));
  ASSERT_EQ(1u, pluginCallsTo(host, "event 5 listener").size());
  EXPECT_GE(pluginCallsTo(host, "event 5 listener")[0].milliseconds, 290.0);
  // A listener that takes longer than the wait: the host goes on, the
  // listener too, and the unload waits for it.
  EXPECT_FALSE(changeEditState(host, EditState::edit, StateChange::withEvent, 20));
  EXPECT_TRUE(unloadAviutl2Plugin(host));
  EXPECT_EQ(2u, pluginCallsTo(host, "event 5 listener").size());
  EXPECT_EQ("UninitializePlugin", entries().back());
}

TEST_F(HostTest, GivesTheAppDataFolderAndTheModulesFolder) {
  const std::string& folder = this->folder();
  ASSERT_TRUE(writeFileBytes(folder + "/sub/probe.aux2", readFileBytes(AUX2_PROBE_PATH)));
  start(HostSdk::current, L"D:\\aviutl2\\data");
  EXPECT_EQ(L"D:\\aviutl2\\data", appDataPath(host));
  EXPECT_EQ(L"", moduleFolder(host));
  std::string error;
  ASSERT_EQ(LoadResult::registered, loadAviutl2Plugin(host, wideOf(hostPath(folder + "/sub/probe.aux2")), &error));
  EXPECT_EQ(wideOf(hostPath(folder + "/sub")), moduleFolder(host));
  EXPECT_EQ("InitializeConfig D:\\aviutl2\\data", lines()[1]);
}

}  // namespace
