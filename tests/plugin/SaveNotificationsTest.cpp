// End to end: the built plug-in in the host emulator saves a video, and a
// test receiver stands in for the mascot server. The emulator sends the
// plug-in's connections for 9801 and 11000 to the receivers' free ports.
// Saves start just after a new wall-clock second, so the plug-in's
// whole-second clock measures the save's length exactly.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "EmulatorRun.h"
#include "host-support/Files.h"

namespace {

// Shift_JIS words of the texts below.
#define SAKURA "\x82\xB3\x82\xAD\x82\xE7"        /* さくら */
#define START_WORD "\x8A\x4A\x8E\x6E"            /* 開始 */
#define END_WORD "\x8F\x49\x97\xB9"              /* 終了 */
#define SECONDS_WORD "\x95\x62"                  /* 秒 */
#define MINUTES_WORD "\x95\xAA"                  /* 分 */
#define HOURS_WORD "\x8E\x9E\x8A\xD4"            /* 時間 */

class SaveNotifications : public EndToEnd {};

// The scripts of the fixtures values-ghost.tpp and values-noghost.tpp.
std::string valuesScript(const char* word, int frames, const std::string& length, const std::string& time,
                         const std::string& fps, int filters, const std::string& size, const std::string& file) {
  return std::string(word) + " frame=" + std::to_string(frames) + " length=" + length + " time=" + time +
         " fps=" + fps + " filter=" + std::to_string(filters) + " size=" + size + " file=" + file;
}

// C:\動画\結果.mp4 as the emulator's command line takes it: in the ANSI code
// page under Windows, in UTF-8 natively (the emulator converts it).
#ifdef _WIN32
const char kOutputArgument[] = "C:\\\x93\xAE\x89\xE6\\\x8C\x8B\x89\xCA.mp4";
#else
const char kOutputArgument[] = "C:\\\xE5\x8B\x95\xE7\x94\xBB\\\xE7\xB5\x90\xE6\x9E\x9C.mp4";
#endif

struct SaveCase {
  const char* what;
  const char* fixture;
  const char* ghost;
  std::vector<std::string> options;
  std::string startScript;
  std::string endScript;
  int32_t learned[4];  // the run the estimator learns: pixels, frames, filters, seconds
};

TEST_F(SaveNotifications, StartAndEndCarryTheJobValuesAndTheRunIsLearned) {
  const SaveCase cases[] = {
      // An all-zero record estimates 0 and is reset: 0.0001 * 76800 * 900 = 6912 s.
      {"a ghost: SSTP/1.4 with IfGhost", "values-ghost.tpp", SAKURA, {"--save-seconds", "1"},
       valuesScript(START_WORD, 900, "30 " SECONDS_WORD, "1 " HOURS_WORD " 55 " MINUTES_WORD, "29.97 fps", 0,
                    "320x240", "output.avi"),
       valuesScript(END_WORD, 900, "30 " SECONDS_WORD, "1 " SECONDS_WORD, "900.0 fps", 0, "320x240",
                    "output.avi"),
       {76800, 900, 0, 1}},
      {"no ghost: SSTP/1.1", "values-noghost.tpp", "", {"--save-seconds", "1"},
       valuesScript(START_WORD, 900, "30 " SECONDS_WORD, "1 " HOURS_WORD " 55 " MINUTES_WORD, "29.97 fps", 0,
                    "320x240", "output.avi"),
       valuesScript(END_WORD, 900, "30 " SECONDS_WORD, "1 " SECONDS_WORD, "900.0 fps", 0, "320x240",
                    "output.avi"),
       {76800, 900, 0, 1}},
      // One frame at 29.97 fps runs 100 / 2997 = 0 s; the estimate 7.68 s.
      {"a range of one frame", "values-ghost.tpp", SAKURA, {"--range", "5-5", "--save-seconds", "1"},
       valuesScript(START_WORD, 1, "0 " SECONDS_WORD, "7 " SECONDS_WORD, "29.97 fps", 0, "320x240",
                    "output.avi"),
       valuesScript(END_WORD, 1, "0 " SECONDS_WORD, "1 " SECONDS_WORD, "1.0 fps", 0, "320x240", "output.avi"),
       {76800, 1, 0, 1}},
      {"one frame at one frame per second", "values-ghost.tpp", SAKURA,
       {"--range", "5-5", "--rate", "1/1", "--save-seconds", "1"},
       valuesScript(START_WORD, 1, "1 " SECONDS_WORD, "7 " SECONDS_WORD, "1.0 fps", 0, "320x240", "output.avi"),
       valuesScript(END_WORD, 1, "1 " SECONDS_WORD, "1 " SECONDS_WORD, "1.0 fps", 0, "320x240", "output.avi"),
       {76800, 1, 0, 1}},
      // Elapsed 0 s: the speed is 0 instead of a division by zero, the end
      // script is still sent and the run of 0 s is learned.
      {"a save that ends in the second it began", "values-ghost.tpp", SAKURA, {"--save-seconds", "0"},
       valuesScript(START_WORD, 900, "30 " SECONDS_WORD, "1 " HOURS_WORD " 55 " MINUTES_WORD, "29.97 fps", 0,
                    "320x240", "output.avi"),
       valuesScript(END_WORD, 900, "30 " SECONDS_WORD, "0 " SECONDS_WORD, "0.0 fps", 0, "320x240",
                    "output.avi"),
       {76800, 900, 0, 0}},
      // A frame rate of 0: the running time is 0 instead of a division by zero.
      {"a frame rate of 0", "values-ghost.tpp", SAKURA, {"--rate", "0/1", "--save-seconds", "1"},
       valuesScript(START_WORD, 900, "0 " SECONDS_WORD, "1 " HOURS_WORD " 55 " MINUTES_WORD, "0.0 fps", 0,
                    "320x240", "output.avi"),
       valuesScript(END_WORD, 900, "0 " SECONDS_WORD, "1 " SECONDS_WORD, "900.0 fps", 0, "320x240",
                    "output.avi"),
       {76800, 900, 0, 1}},
      // Of three filters only 0x1 with a processing function counts; the
      // save stops at frame 449; the output name is Shift_JIS.
      {"filters, size, output name and an early end", "values-ghost.tpp", SAKURA,
       {"--filter", "0x1", "--filter", "0x1/noproc", "--filter", "0x5", "--size", "640x480", "--output",
        kOutputArgument, "--end-frame", "449", "--save-seconds", "1"},
       // (1 * 0.5 + 1) * 0.0001 * 307200 * 900 = 41472 s.
       valuesScript(START_WORD, 900, "30 " SECONDS_WORD, "11 " HOURS_WORD " 31 " MINUTES_WORD, "29.97 fps", 1,
                    "640x480", "\x8C\x8B\x89\xCA.mp4" /* 結果.mp4 */),
       valuesScript(END_WORD, 450, "30 " SECONDS_WORD, "1 " SECONDS_WORD, "450.0 fps", 1, "640x480",
                    "\x8C\x8B\x89\xCA.mp4" /* 結果.mp4 */),
       {307200, 450, 1, 1}},
  };
  for (const SaveCase& c : cases) {
    SCOPED_TRACE(c.what);
    restartReceivers();
    PluginFolder folder = makePluginFolder("save", {{c.fixture, "job.tpp"}});
    EmulatorResult result = run(folder, c.options);
    ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
    std::vector<std::string> requests = receiverRequests(at9801);
    ASSERT_EQ(requests.size(), 2u) << result.out;
    EXPECT_EQ(requests[0], sendRequest(c.ghost, c.startScript));
    EXPECT_EQ(requests[1], sendRequest(c.ghost, c.endScript));
    EXPECT_TRUE(receiverRequests(at11000).empty());
    EXPECT_EQ(readFileBytes(folder.extendedFile()),
              recordBytes(recordAfterOneRun(c.learned[0], c.learned[1], c.learned[2], c.learned[3])));
  }
}

TEST_F(SaveNotifications, EmptySectionsSendNothingButTheRunIsStillLearned) {
  PluginFolder folder = makePluginFolder("silent", {{"silent.tpp", "silent.tpp"}});
  EmulatorResult result = run(folder, {"--save-seconds", "1"});
  ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
  EXPECT_TRUE(receiverRequests(at9801).empty());
  EXPECT_EQ(readFileBytes(folder.extendedFile()), recordBytes(recordAfterOneRun(76800, 900, 0, 1)));
}

TEST_F(SaveNotifications, TheNextRunOfTheHostStartsFromWhatWasLearned) {
  PluginFolder folder = makePluginFolder("learned", {{"values-ghost.tpp", "job.tpp"}});
  // The pick stores "path"; without it every window initialisation would
  // fall back to the first template and reset what was learned.
  ASSERT_EQ(run(folder, {"--save-seconds", "2", "init", "pick-template", "0", "save", "destroy"}).exitCode, 0);
  ASSERT_EQ(receiverRequests(at9801).size(), 2u);
  // A new host process: the extended data comes back from its file, and
  // the same job is now estimated at the 2 s it took.
  EmulatorResult second = run(folder, {"--save-seconds", "1"});
  ASSERT_EQ(second.exitCode, 0) << second.out << second.err;
  std::vector<std::string> requests = receiverRequests(at9801);
  ASSERT_EQ(requests.size(), 4u);
  EXPECT_EQ(requests[2], sendRequest(SAKURA, valuesScript(START_WORD, 900, "30 " SECONDS_WORD, "2 " SECONDS_WORD,
                                                          "29.97 fps", 0, "320x240", "output.avi")));
  std::string record = readFileBytes(folder.extendedFile());
  ASSERT_EQ(record.size(), 88u);
  EXPECT_EQ(record.substr(0, 8), std::string("\x02\0\0\0\x02\0\0\0", 8));  // nextSlot 2, sampleCount 2
  EXPECT_EQ(record.substr(24, 32), std::string("\x00\x2C\x01\x00\x84\x03\0\0\0\0\0\0\x02\0\0\0"
                                               "\x00\x2C\x01\x00\x84\x03\0\0\0\0\0\0\x01\0\0\0",
                                               32));  // (76800, 900, 0, 2) then (76800, 900, 0, 1)
}

TEST_F(SaveNotifications, SavesWithoutAChosenTemplateSendNothing) {
  PluginFolder folder = makePluginFolder("unchosen", {{"values-ghost.tpp", "job.tpp"}});
  writeSettings(folder, {{"path", folder.hostFile("job.tpp")}});
  // Before the window's initialisation nothing is chosen; after its
  // destruction the catalogue is gone and so is the choice. The host's
  // save still works and the runs are still learned.
  EmulatorResult result = run(folder, {"--save-seconds", "1", "save", "init", "destroy", "save"});
  ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
  EXPECT_TRUE(receiverRequests(at9801).empty());
  std::string record = readFileBytes(folder.extendedFile());
  ASSERT_EQ(record.size(), 88u);
  EXPECT_EQ(record.substr(4, 4), std::string("\x02\0\0\0", 4));  // two runs learned
}

}  // namespace
