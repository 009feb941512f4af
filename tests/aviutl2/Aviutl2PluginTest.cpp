// End to end: the built sstp.aux2 in the stand-in AviUtl ExEdit2 host
// (tools/aviutl2-host), a test receiver on each of 9801 and 11000. The
// host changes its edit state with the CHANGE_EDIT_STATE event or silently;
// the requests must be those the 1.x edition composes for the same
// template and values (composeNotice), and leave within half a second.
#include <gtest/gtest.h>

#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

#include "PluginHarness.h"
#include "aviutl2/Aviutl2Interface.h"
#include "estimate/Estimator.h"
#include "job/SaveJob.h"
#include "sstp/SstpNotifier.h"

using aviutl2Layout::EDIT_INFO;

namespace {

#define SAKURA "\x82\xB3\x82\xAD\x82\xE7"  /* さくら */
#define END_WORD "\x8F\x49\x97\xB9"        /* 終了 */
#define SECONDS_WORD "\x95\x62"            /* 秒 */

// The longest a notice may take to leave after the change it announces in
// these suites. The plug-in takes a change in within its watch period (100
// ms) or at once from the event; the rest is the machine's: suites run two
// at a time on two processors, beside emulated ones. A notice that waited
// for anything (a delivery, a poll that never comes) misses it by seconds.
constexpr double kNoticeLatencyMs = 1000;
// Likewise for a call of the host's into the plug-in that must not wait for
// the mascot, which would hold it for the whole delivery limit.
constexpr double kHostCallMs = 500;
// The scheduling slack an unload may take beyond the delivery limit.
constexpr double kUnloadSlackMs = 1000;

// What one output made the receiver get, and how soon after each change.
struct OutputRun {
  std::vector<std::string> requests;
  double startMs = -1;  // from the change to the start request; -1: none came
  double endMs = -1;
};

// Waits until `receiver` holds `count` requests, at most `timeoutMs`;
// returns the milliseconds since `since`, or -1 when they did not come.
double arrival(SstpReceiver* receiver, size_t count, double since, DWORD timeoutMs) {
  double left = since + timeoutMs - nowMs();
  bool came = waitForReceiverRequests(receiver, count, left > 0 ? static_cast<uint32_t>(left) : 0);
  return came ? nowMs() - since : -1;
}

class Aviutl2Plugin : public PluginSuite {
 protected:
  // A file output of exactly `seconds` seconds, begun wherever the wall
  // clock is in its second; the host announces each change `how`. Notices
  // are awaited at `receiver`.
  OutputRun runOutput(StateChange how, int seconds, SstpReceiver* receiver) {
    OutputRun run;
    double began = nowMs();
    EXPECT_TRUE(changeEditState(host, EditState::save, how));
    run.startMs = arrival(receiver, 1, began, 2000);
    double left = began + seconds * 1000.0 - nowMs();
    if (left > 0) Sleep(static_cast<DWORD>(left));
    double ended = nowMs();
    EXPECT_TRUE(changeEditState(host, EditState::edit, how));
    run.endMs = arrival(receiver, 2, ended, 2000);
    Sleep(300);  // time for a notice announced twice
    run.requests = takeReceiverRequests(receiver);
    return run;
  }
};

struct OutputCase {
  const char* comment;
  HostSdk sdk;
  StateChange how;
  const char* fixture;  // in tests/plugin/fixtures, the 1.x edition's
  const char* ghost;
  EDIT_INFO scene;
  JobRecord start;  // the values it must give at the start (timeSeconds: the estimate, computed)
  int seconds;
};

TEST_F(Aviutl2Plugin, StartAndEndRequestsAreThoseOfThe1xEdition) {
  const OutputCase cases[] = {
      {"the event, the whole scene", HostSdk::current, StateChange::withEvent, "values-ghost.tpp", SAKURA,
       sceneInfo(1920, 1080, 30, 1, 299), jobOf(1920, 1080, 3000, 300, 10), 1},
      {"no event: the watch", HostSdk::current, StateChange::silent, "values-ghost.tpp", SAKURA,
       sceneInfo(1920, 1080, 30, 1, 299), jobOf(1920, 1080, 3000, 300, 10), 1},
      // 90 frames at 29.97 fps run 3.003 s.
      {"a selection, 30000/1001", HostSdk::current, StateChange::withEvent, "values-ghost.tpp", SAKURA,
       sceneInfo(1280, 720, 30000, 1001, 899, 100, 189), jobOf(1280, 720, 2997, 90, 3), 2},
      {"no ghost: SSTP/1.1", HostSdk::current, StateChange::withEvent, "values-noghost.tpp", "",
       sceneInfo(640, 480, 25, 1, 249), jobOf(640, 480, 2500, 250, 10), 1},
      // Ended in the second it began: a speed of 0, as in the 1.x edition.
      {"an output of no whole second", HostSdk::current, StateChange::withEvent, "values-ghost.tpp", SAKURA,
       sceneInfo(1920, 1080, 30, 1, 299), jobOf(1920, 1080, 3000, 300, 10), 0},
      // The listener is registered; such a host never fires type 5.
      {"a host of the 2026-06-14 SDK", HostSdk::noEditStateEvent, StateChange::withEvent, "values-ghost.tpp",
       SAKURA, sceneInfo(1920, 1080, 30, 1, 299), jobOf(1920, 1080, 3000, 300, 10), 1},
  };
  for (const OutputCase& c : cases) {
    SCOPED_TRACE(c.comment);
    std::string templatePath = addTemplate("plugin", c.fixture, "values.tpp");
    startHost(c.sdk, kDefaultHostVersion, c.scene);
    ASSERT_EQ(LoadResult::registered, load());
    OutputRun run = runOutput(c.how, c.seconds, receiverAt9801());

    // A fresh folder: the estimator starts from its defaults.
    JobRecord job = c.start;
    resetEstimator();
    std::string start = startNoticeOf(&job, templatePath, c.ghost);
    finishJob(&job, c.seconds);
    std::string end = noticeOf("end", job, c.ghost);
    ASSERT_EQ(run.requests.size(), 2u);
    EXPECT_EQ(run.requests[0], start);
    EXPECT_EQ(run.requests[1], end);
    EXPECT_GE(run.startMs, 0);
    EXPECT_LE(run.startMs, kNoticeLatencyMs);
    EXPECT_GE(run.endMs, 0);
    EXPECT_LE(run.endMs, kNoticeLatencyMs);
    // The run is learned and kept for the next session.
    learnFromJob(job);
    std::string record = readFileBytes(path("sstp.estimate"));
    ASSERT_EQ(record.size(), sizeof estimatorRecord);
    EXPECT_EQ(0, memcmp(record.data(), &estimatorRecord, sizeof estimatorRecord));
    TearDown();
    removeTree(path("sstp.estimate"));
    removeTree(path("sstp.aux2"));
  }
}

// The same end notice written out by hand: 300 frames in 1 s are 300.0 fps.
TEST_F(Aviutl2Plugin, EndNoticeBytes) {
  addTemplate("plugin", "values-ghost.tpp", "values.tpp");
  startHost();
  ASSERT_EQ(LoadResult::registered, load());
  OutputRun run = runOutput(StateChange::withEvent, 1, receiverAt9801());
  ASSERT_EQ(run.requests.size(), 2u);
  EXPECT_EQ(run.requests[1],
            "SEND SSTP/1.4\r\nSender: AviUtl with SSTP\r\nCharset: Shift_JIS\r\nIfGhost: " SAKURA "\r\n"
            "Script: " END_WORD " frame=300 length=10 " SECONDS_WORD " time=1 " SECONDS_WORD
            " fps=300.0 fps filter=0 size=1920x1080 file=\\e\r\nOption: nodescript\r\n\r\n");
}

TEST_F(Aviutl2Plugin, PreviewPlaybackIsNoOutput) {
  struct Step {
    EditState state;
    DWORD holdMs;
  };
  struct Row {
    const char* comment;
    StateChange how;
    std::vector<Step> steps;
    size_t notices;
  } rows[] = {
      {"playback with the event", StateChange::withEvent, {{EditState::play, 1100}, {EditState::edit, 300}}, 0},
      {"playback without", StateChange::silent, {{EditState::play, 1100}, {EditState::edit, 300}}, 0},
      // Output straight out of playback and back into it is output all the same.
      {"playback, output, playback", StateChange::silent,
       {{EditState::play, 300}, {EditState::save, 1100}, {EditState::play, 300}, {EditState::edit, 300}}, 2},
      {"an output ending in playback", StateChange::withEvent,
       {{EditState::save, 1100}, {EditState::play, 1100}, {EditState::edit, 300}}, 2},
  };
  addTemplate("plugin", "values-ghost.tpp", "values.tpp");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.comment);
    startHost();
    ASSERT_EQ(LoadResult::registered, load());
    for (const Step& step : row.steps) {
      EXPECT_TRUE(changeEditState(host, step.state, row.how));
      Sleep(step.holdMs);
    }
    std::vector<std::string> requests = takeRequests(receiverAt9801(), row.notices, 1000);
    ASSERT_EQ(requests.size(), row.notices);
    if (row.notices == 2) {
      EXPECT_EQ(requests[0].find("Script: \x8A\x4A\x8E\x6E"), requests[0].find("Script: "));  // 開始
      EXPECT_NE(requests[1].find("Script: " END_WORD), std::string::npos);
    }
    TearDown();
  }
}

// The scene is read again when the output starts; when the host gives
// nothing usable then, what was last read while editing stands.
TEST_F(Aviutl2Plugin, TheSceneIsReadAtTheStartOrElseTheLastOneReadWhileEditing) {
  struct Row {
    const char* comment;
    EDIT_INFO editing;   // while editing, read for 300 ms
    EDIT_INFO atStart;   // what the host gives once the output starts
    JobRecord start;
  } rows[] = {
      {"a scene changed just before", sceneInfo(1920, 1080, 30, 1, 299), sceneInfo(1280, 720, 60, 1, 59, 10, 19),
       jobOf(1280, 720, 6000, 10, 0)},
      {"no answer at the start", sceneInfo(1920, 1080, 30, 1, 299), EDIT_INFO{}, jobOf(1920, 1080, 3000, 300, 10)},
      {"never an answer", EDIT_INFO{}, EDIT_INFO{}, jobOf(0, 0, 2997, 0, 0)},
  };
  std::string templatePath = addTemplate("plugin", "values-ghost.tpp", "values.tpp");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.comment);
    startHost(HostSdk::current, kDefaultHostVersion, row.editing);
    ASSERT_EQ(LoadResult::registered, load());
    Sleep(300);
    setEditInfo(host, row.atStart);
    EXPECT_TRUE(changeEditState(host, EditState::save, StateChange::withEvent));
    std::vector<std::string> requests = takeRequests(receiverAt9801(), 1, 2000);
    JobRecord job = row.start;
    resetEstimator();
    std::string start = startNoticeOf(&job, templatePath, SAKURA);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0], start);
    EXPECT_TRUE(changeEditState(host, EditState::edit, StateChange::withEvent));
    TearDown();
    removeTree(path("sstp.estimate"));
  }
}

// A mascot that takes the connection and never answers holds neither the
// host's event calls nor its unload for longer than one delivery limit.
TEST_F(Aviutl2Plugin, ASilentMascotHoldsNeitherTheHostsCallsNorItsUnload) {
  addTemplate("plugin", "values-ghost.tpp", "values.tpp");
  setReceiverAnswer(receiverAt9801(), ReceiverAnswer::silent, std::string());
  startHost();
  ASSERT_EQ(LoadResult::registered, load());
  double began = nowMs();
  EXPECT_TRUE(changeEditState(host, EditState::save, StateChange::withEvent));
  Sleep(500);
  EXPECT_TRUE(changeEditState(host, EditState::edit, StateChange::withEvent));
  EXPECT_TRUE(openConfigMenu(host));
  std::vector<PluginCall> events = pluginCallsTo(host, "event 5 listener");
  ASSERT_EQ(events.size(), 2u);
  for (const PluginCall& call : events) EXPECT_LE(call.milliseconds, kHostCallMs);
  EXPECT_LE(pluginCallsTo(host, "config menu SSTP")[0].milliseconds, kSstpDeliveryLimitMs / 2.0);
  // The start is still being delivered, the end waits behind it.
  double unloadMs = unload();
  EXPECT_LE(unloadMs, kSstpDeliveryLimitMs + kUnloadSlackMs);
  EXPECT_GE(nowMs() - began, kSstpDeliveryLimitMs - 100.0);  // the start had its whole limit
  EXPECT_EQ(logged(L"start notice was not delivered to 127.0.0.1:9801").size(), 1u);
  EXPECT_EQ(logged(L"end notice").size(), 1u);
  EXPECT_EQ(settingsWindow(), nullptr);  // closed by the unload
}

// An unload right after an output ended still sends its end: the listener
// saw the change, the watcher takes it in before it stops.
TEST_F(Aviutl2Plugin, AnUnloadRightAfterTheEndStillSendsIt) {
  addTemplate("plugin", "values-ghost.tpp", "values.tpp");
  startHost();
  ASSERT_EQ(LoadResult::registered, load());
  EXPECT_TRUE(changeEditState(host, EditState::save, StateChange::withEvent));
  ASSERT_EQ(takeRequests(receiverAt9801(), 1, 2000).size(), 1u);
  EXPECT_TRUE(changeEditState(host, EditState::edit, StateChange::withEvent));
  unload();
  std::vector<std::string> requests = takeReceiverRequests(receiverAt9801());
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_NE(requests[0].find("Script: " END_WORD), std::string::npos);
  EXPECT_TRUE(logged(L"notice").empty());
}

// What the plug-in registers on a current host: the settings menu and
// one listener, of CHANGE_EDIT_STATE; its name and information.
TEST_F(Aviutl2Plugin, RegistersTheSettingsMenuAndTheStateListener) {
  addTemplate("plugin", "values-ghost.tpp", "values.tpp");
  startHost();
  ASSERT_EQ(LoadResult::registered, load());
  std::vector<Registration> found = registrations(host);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].member, aviutl2Layout::kTableRegisterConfigMenu);
  EXPECT_EQ(found[0].name, L"SSTP");
  EXPECT_EQ(found[1].member, aviutl2Layout::kTableRegisterEventListener);
  EXPECT_EQ(found[1].eventType, static_cast<int>(aviutl2Layout::EVENT_TYPE::CHANGE_EDIT_STATE));
  EXPECT_EQ(pluginName(host), L"SSTP");
  EXPECT_EQ(pluginInformation(host).find(L"SSTP notifier Ver "), 0u);
  PluginExports exports = pluginExports(host);
  EXPECT_TRUE(exports.registerPlugin && exports.initializePlugin && exports.uninitializePlugin &&
              exports.initializeLogger && exports.getCommonPluginTable);
  // The host's version is all it asks: no RequiredVersion, which would
  // refuse an old host without a line in its log.
  EXPECT_FALSE(exports.requiredVersion);
  EXPECT_EQ(editHandleCallCount(host, aviutl2Layout::kEditGetEditState), 0);  // nothing read inside RegisterPlugin
  EXPECT_TRUE(logLines(host).empty());
}

// Hosts by their version: get_edit_state is needed; the listener is
// registered only where the version says the table has it, and outputs
// are noticed by the watch where there is no event.
TEST_F(Aviutl2Plugin, OlderHosts) {
  struct Row {
    const char* comment;
    HostSdk sdk;
    DWORD version;
    LoadResult result;
    int listeners;  // register_event_listener calls
    size_t notices;  // of an output announced with the event where the host has it
  } rows[] = {
      {"2.1.0, every member", HostSdk::current, aviutl2::kHostVersionWithEventListener, LoadResult::registered, 1, 2},
      {"2.0.54: get_edit_state, no listener", HostSdk::noEventListener, aviutl2::kHostVersionWithEditState,
       LoadResult::registered, 0, 2},
      {"a current host reporting 2.0.54", HostSdk::current, aviutl2::kHostVersionWithEditState,
       LoadResult::registered, 0, 2},
      {"one below 2.0.54: refused", HostSdk::noEditState, aviutl2::kHostVersionWithEditState - 1,
       LoadResult::initializeFailed, 0, 0},
      {"2.00 beta15: refused", HostSdk::noEditState, 2001500, LoadResult::initializeFailed, 0, 0},
      // No release reports a number below 2.00 beta1's: such a host is
      // taken for a current one.
      {"version 0: the newest SDK", HostSdk::current, 0, LoadResult::registered, 1, 2},
      {"version 2000000: the newest SDK", HostSdk::current, aviutl2::kFirstHostVersion - 1, LoadResult::registered,
       1, 2},
  };
  addTemplate("plugin", "values-ghost.tpp", "values.tpp");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.comment);
    startHost(row.sdk, row.version, sceneInfo(1920, 1080, 30, 1, 299));
    ASSERT_EQ(row.result, load());
    EXPECT_EQ(tableCallCount(host, aviutl2Layout::kTableRegisterEventListener), row.listeners);
    if (row.result == LoadResult::registered) {
      EXPECT_TRUE(changeEditState(host, EditState::save, StateChange::withEvent));
      Sleep(1100);
      EXPECT_TRUE(changeEditState(host, EditState::edit, StateChange::withEvent));
      EXPECT_EQ(takeRequests(receiverAt9801(), row.notices, 2000).size(), row.notices);
      EXPECT_TRUE(logLines(host).empty());
    } else {
      // One line in the host's log, nothing registered, nothing left loaded.
      std::vector<LogLine> lines = logLines(host);
      ASSERT_EQ(lines.size(), 1u);
      EXPECT_EQ(lines[0].level, LogLevel::error);
      EXPECT_NE(lines[0].text.find(L"version " + std::to_wstring(row.version) + L")"), std::wstring::npos);
      EXPECT_TRUE(registrations(host).empty());
      EXPECT_EQ(GetModuleHandleW(wideOf(hostPath(path("sstp.aux2"))).c_str()), nullptr);
      EXPECT_TRUE(pluginCallsTo(host, "UninitializePlugin").empty());
    }
    TearDown();
  }
}

}  // namespace
