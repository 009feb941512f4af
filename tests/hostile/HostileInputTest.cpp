// Hostile input end to end: the built plug-in, loaded in this process as
// the host loads it, meets broken host answers, hostile templates and long
// folders. In every row the host goes on, both save handlers return 1 and
// nothing outside a record changes (guard bytes around every host record,
// the descriptor's words). Every handler call has to come back; a hang runs
// into the suite's time limit instead of holding the save.
#include <gtest/gtest.h>
#include <string.h>

#include <list>
#include <random>
#include <string>
#include <vector>

#include "host-support/InProcessHost.h"
#include "host-support/Files.h"

namespace {

#define SECONDS " \x95\x62"                     /* 秒 */
#define DAYS_AND " \x93\xFA\x82\xC6 "          /* 日と */
#define HOURS " \x8E\x9E\x8A\xD4"              /* 時間 */
#define KANA_A "\x82\xA0"                      /* あ */
#define SO "\x83\x5C"                          /* ソ */

std::string fixtureBytes(const char* name) { return readFileBytes(fixturePath("hostile", name)); }

std::string repeated(const std::string& piece, size_t count) {
  std::string text;
  for (size_t i = 0; i < count; ++i) text += piece;
  return text;
}

std::string randomBytes(unsigned seed, size_t size) {
  std::mt19937 generator(seed);
  std::string bytes(size, '\0');
  for (char& byte : bytes) byte = static_cast<char>(generator() & 0xFF);
  return bytes;
}

struct SaveOutcome {
  int32_t started = 0;
  int32_t ended = 0;
  std::vector<std::string> scripts;  // of the requests the receiver got, in order
  std::vector<std::string> ghosts;   // the ghost each of them names
  std::string damage;
};

// Plug-in folders opened by a test, closed after it.
class Hostile : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(hostReceiver(), nullptr);
    takeReceiverRequests(hostReceiver());
  }

  void TearDown() override {
    for (HostedPlugin& plugin : plugins) {
      if (plugin.descriptor != nullptr) {
        EXPECT_EQ(destroyWindow(plugin), 0);
        EXPECT_EQ(hostDamage(plugin), "");
      }
      unloadHostedPlugin(&plugin);
    }
  }

  // A folder under a fresh temporary one, of `length` bytes as the plug-in
  // sees it (0: the temporary folder itself), removed after the test.
  std::string newFolder(const char* tag, size_t length = 0) {
    folders.emplace_back(tag);
    std::string base = folders.back().path();
    std::string folder = length > 0 ? folderOfLength(base, length) : base;
    EXPECT_TRUE(createFolders(folder)) << folder;
    return folder;
  }

  // Loads the plug-in from `folder` holding `templates`, attaches the host
  // with `scene` and initialises the window. Null on failure.
  HostedPlugin* open(const std::string& folder, const std::vector<std::pair<std::string, std::string>>& templates,
                     const HostScene& scene, ModulePath how = ModulePath::ansi) {
    for (const auto& file : templates) {
      EXPECT_TRUE(writeFileBytes(folder + "/" + file.first, file.second)) << file.first;
    }
    plugins.push_back(HostedPlugin());
    HostedPlugin* plugin = &plugins.back();
    std::string error;
    if (!loadHostedPlugin(folder, how, plugin, &error) || !attachHostedPlugin(plugin, &error)) {
      ADD_FAILURE() << error;
      return nullptr;
    }
    setScene(scene);
    EXPECT_EQ(initialiseWindow(*plugin), 0);
    return plugin;
  }

  // Loads the plug-in with `bytes` as its one template, chosen by the host.
  HostedPlugin* openWithTemplate(const char* tag, const std::string& bytes) {
    HostScene scene;
    scene.savedTemplate = "hostile.tpp";
    return open(newFolder(tag), {{"hostile.tpp", bytes}}, scene);
  }

  SaveOutcome save(const HostedPlugin& plugin, int32_t firstFrame, int32_t lastFrame) {
    SaveOutcome outcome;
    outcome.started = saveStart(plugin, firstFrame, lastFrame);
    outcome.ended = saveEnd(plugin);
    for (const std::string& request : takeReceiverRequests(hostReceiver())) {
      outcome.scripts.push_back(scriptOf(request));
      outcome.ghosts.push_back(ghostOf(request));
    }
    outcome.damage = hostDamage(plugin);
    return outcome;
  }

  std::list<HostedPlugin> plugins;  // open() hands out pointers into it
  std::vector<ScratchFolder> folders;  // removed after TearDown has unloaded the plug-ins
};

// values.tpp: start "${frame}|${length}|${fps}|${filter}|${filename}", end "$frame".
const char kNormalStart[] = "900|30" SECONDS "|29.97 fps|0|output.avi";

struct RecordCase {
  const char* what;
  HostScene scene;
  int32_t firstFrame;
  int32_t lastFrame;
  std::string startScript;
  std::string endScript;
};

HostScene sceneWith(void (*change)(HostScene*)) {
  HostScene scene;
  scene.savedTemplate = "values.tpp";
  change(&scene);
  return scene;
}

TEST_F(Hostile, BrokenHostAnswersGiveDefaultsAndTouchNothingOutside) {
  const RecordCase cases[] = {
      {"a first frame after the last: nothing to count, the length turns negative",
       sceneWith([](HostScene* s) { s->currentFrame = 50; }), 100, 50, "0|-1" SECONDS "|29.97 fps|0|output.avi",
       "0"},
      {"35,791,395 frames: the length times the sample passes 32 bits",
       sceneWith([](HostScene* s) { s->currentFrame = 35791394; }), 0, 35791394,
       "35791395|13" DAYS_AND "19" HOURS "|29.97 fps|0|output.avi", "35791395"},
      {"the last frame is the largest frame number",
       sceneWith([](HostScene* s) { s->currentFrame = INT32_MAX; }), 0, INT32_MAX,
       "2147483647|829" DAYS_AND "8" HOURS "|29.97 fps|0|output.avi", "2147483647"},
      {"every frame number: 2^32 - 1 frames are held at INT32_MAX",
       sceneWith([](HostScene* s) { s->currentFrame = INT32_MAX; }), INT32_MIN, INT32_MAX,
       "2147483647|1658" DAYS_AND "16" HOURS "|29.97 fps|0|output.avi", "2147483647"},
      {"five filters reported, records for two of them",
       sceneWith([](HostScene* s) {
         s->reportedFilters = 5;
         s->filters = {{}, {false}, {}, {false}, {false}};  // {false}: no record
       }),
       0, 899, "900|30" SECONDS "|29.97 fps|2|output.avi", "900"},
      {"100,000 filters reported, no record at all",
       sceneWith([](HostScene* s) {
         s->reportedFilters = 100000;
         s->filters.assign(100000, HostFilter{false});
       }),
       0, 899, "900|30" SECONDS "|29.97 fps|0|output.avi", "900"},
      {"a negative filter count", sceneWith([](HostScene* s) { s->reportedFilters = -7; }), 0, 899,
       "900|30" SECONDS "|29.97 fps|0|output.avi", "900"},
      {"a frame rate with scale 0: the default rate",
       sceneWith([](HostScene* s) { s->scale = 0; }), 0, 899, kNormalStart, "900"},
      {"a rate whose value times 100 passes 32 bits: the default rate",
       sceneWith([](HostScene* s) {
         s->rate = INT32_MAX;
         s->scale = 1;
       }),
       0, 899, kNormalStart, "900"},
      {"no file information", sceneWith([](HostScene* s) { s->fileInfoAnswers = false; }), 0, 899, kNormalStart,
       "900"},
      {"an output name of 1000 bytes: 259 are kept",
       sceneWith([](HostScene* s) { s->outputName = "C:\\" + std::string(997, 'n'); }), 0, 899,
       "900|30" SECONDS "|29.97 fps|0|" + std::string(256, 'n'), "900"},
      {"1000 bytes of double-byte characters: none is cut in half",
       sceneWith([](HostScene* s) { s->outputName = "C:\\a" + repeated(KANA_A, 498); }), 0, 899,
       "900|30" SECONDS "|29.97 fps|0|a" + repeated(KANA_A, 127), "900"},
      {"a null output name", sceneWith([](HostScene* s) { s->nullOutputName = true; }), 0, 899,
       "900|30" SECONDS "|29.97 fps|0|", "900"},
      {"no system information: no filters, no name",
       sceneWith([](HostScene* s) {
         s->systemInfoAnswers = false;
         s->reportedFilters = 3;
       }),
       0, 899, "900|30" SECONDS "|29.97 fps|0|", "900"},
      {"no function table at all: nothing is asked, nothing counted",
       sceneWith([](HostScene* s) { s->noFunctionTable = true; }), 0, 899,
       "0|30" SECONDS "|29.97 fps|0|", "0"},
  };
  std::string folder = newFolder("records");
  HostedPlugin* plugin = open(folder, {{"values.tpp", fixtureBytes("values.tpp")}}, sceneWith([](HostScene*) {}));
  ASSERT_NE(plugin, nullptr);
  for (const RecordCase& c : cases) {
    SCOPED_TRACE(c.what);
    setScene(c.scene);
    SaveOutcome outcome = save(*plugin, c.firstFrame, c.lastFrame);
    EXPECT_EQ(outcome.started, 1);
    EXPECT_EQ(outcome.ended, 1);
    EXPECT_EQ(outcome.damage, "");
    EXPECT_EQ(outcome.scripts, (std::vector<std::string>{c.startScript, c.endScript}));
  }
}

TEST_F(Hostile, ExtendedDataOfRandomBytesIsResetOrUsed) {
  std::string folder = newFolder("extdata");
  HostScene scene = sceneWith([](HostScene*) {});
  HostedPlugin* plugin = open(folder, {{"values.tpp", fixtureBytes("values.tpp")}}, scene);
  ASSERT_NE(plugin, nullptr);
  ASSERT_EQ(extendedDataSize(*plugin), hostLayout::kRecordBytes);
  for (unsigned seed : {1u, 2u, 3u, 4u, 5u}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    // The host hands back whatever bytes it stored.
    std::string bytes = randomBytes(seed, hostLayout::kRecordBytes);
    memcpy(extendedData(*plugin), bytes.data(), bytes.size());
    SaveOutcome outcome = save(*plugin, 0, 899);
    EXPECT_EQ(outcome.started, 1);
    EXPECT_EQ(outcome.ended, 1);
    EXPECT_EQ(outcome.damage, "");
    EXPECT_EQ(outcome.scripts, (std::vector<std::string>{kNormalStart, "900"}));
    // What the plug-in leaves is a record it can use: a slot 0-3 and
    // 0-4 samples.
    int32_t nextSlot = static_cast<int32_t>(wordAt(extendedData(*plugin), hostLayout::kRecordNextSlot));
    int32_t sampleCount = static_cast<int32_t>(wordAt(extendedData(*plugin), hostLayout::kRecordSampleCount));
    EXPECT_TRUE(nextSlot >= 0 && nextSlot <= 3) << nextSlot;
    EXPECT_TRUE(sampleCount >= 1 && sampleCount <= 4) << sampleCount;
  }
}

// The host's "path" is read into the same buffer at every initialisation
// of the window. However the host writes it the second time (a text
// without a terminator, nothing at all), the plug-in reads what a fresh
// load would read, not bytes the first initialisation left behind. Seen
// from the host: the estimator's record is reset when the saved template
// is not found, and kept when it is.
TEST_F(Hostile, EachInitialisationReadsTheSavedPathAfresh) {
  struct PathCase {
    const char* what;
    const char* stored;  // behind the plug-in's folder
    TextWrite write;
    bool found;
  };
  const PathCase cases[] = {
      {"the path cut short, no terminator", "b", TextWrite::unterminated, false},
      {"the path cut short", "b", TextWrite::terminated, false},
      {"nothing written", "", TextWrite::nothing, false},
      {"the whole path, no terminator", "b.tpp", TextWrite::unterminated, true},
  };
  std::string folder = newFolder("reinit");
  HostScene first = sceneWith([](HostScene*) {});
  first.savedTemplate = "b.tpp";
  HostedPlugin* plugin = open(folder, {{"b.tpp", fixtureBytes("values.tpp")}}, first);
  ASSERT_NE(plugin, nullptr);
  const std::string learned = randomBytes(1, hostLayout::kRecordBytes);
  for (const PathCase& c : cases) {
    SCOPED_TRACE(c.what);
    // Chosen by its whole path first, so the buffer holds it.
    setScene(first);
    EXPECT_EQ(destroyWindow(*plugin), 0);
    EXPECT_EQ(initialiseWindow(*plugin), 0);
    EXPECT_EQ(destroyWindow(*plugin), 0);

    HostScene again = first;
    again.savedPath = hostFolder(folder) + c.stored;
    again.pathWrite = c.write;
    setScene(again);
    memcpy(extendedData(*plugin), learned.data(), learned.size());
    EXPECT_EQ(initialiseWindow(*plugin), 0);
    bool kept = memcmp(extendedData(*plugin), learned.data(), learned.size()) == 0;
    EXPECT_EQ(kept, c.found);
    SaveOutcome outcome = save(*plugin, 0, 899);
    EXPECT_EQ(outcome.damage, "");
    EXPECT_EQ(outcome.scripts, (std::vector<std::string>{kNormalStart, "900"}));
  }
}

// Templates built here, too large or too random to keep as fixtures.
std::string megabyteTemplate() {
  std::string text = "[config]\r\nghost=hostile\r\n";
  for (int i = 0; text.size() < (1u << 20); ++i) {
    text += "[filler" + std::to_string(i) + "]\r\npattern=1\r\n1=" + std::string(200, 'f') + "\r\n";
  }
  return text + "[start]\r\n1=start $frame\r\n[end]\r\n1=end $frame\r\n";
}

std::string longLinesTemplate() {
  return "[config]\r\nghost=hostile\r\n[start]\r\n1=" + std::string(100000, 'x') + "\r\n" + std::string(100000, 'k') +
         "=v\r\n[" + std::string(100000, 's') + "]\r\n1=y\r\n[end]\r\n1=end\r\n";
}

std::string manySectionsTemplate() {
  std::string text;
  for (int i = 0; i < 10000; ++i) text += "[s" + std::to_string(i) + "]\r\n1=" + std::to_string(i) + "\r\n";
  // The catalogue's "config" is the last of 10,002 sections.
  return text + "[start]\r\n1=$(s0)$(s9999)$(s5000)\r\n[end]\r\n1=$(s1234)\r\n[config]\r\nghost=hostile\r\n";
}

std::string garbageTemplate(unsigned seed, bool startAfter) {
  std::string bytes = randomBytes(seed, 65536);
  // Not a byte order mark: the file is read as code page 932.
  bytes[0] = '#';
  return startAfter ? bytes + "\r\n[start]\r\n1=after garbage\r\n" : bytes;
}

// A template whose value the plug-in's read has to cut inside a double-byte
// character: ASCII up to the last byte but one of the buffer, then ソ.
// Windows converts whole characters only and leaves the byte where ソ would
// begin unwritten, with the terminator behind it; whatever the buffer held
// there must not reach the ghost. The value is the bytes before ソ.
std::string cutTemplate(const std::string& config, const std::string& start, const std::string& more = "") {
  return "[config]\r\n" + config + "\r\n[start]\r\n" + start + "\r\n[end]\r\n1=end\r\n" + more;
}

// Matches a script against what a row expects.
enum class Expect { exactly, anything, onlyOf };

struct TemplateCase {
  const char* what;
  std::string bytes;
  Expect expect;
  // exactly: the scripts; onlyOf: one script whose bytes all occur in
  // scripts[0], at most scripts[1].size() bytes long.
  std::vector<std::string> scripts;
  std::string ghost = "";  // exactly: when not empty, the ghost every request names
};

TEST_F(Hostile, HostileTemplatesExpandWithinBounds) {
  const std::string cycleLetters = repeated("ABC", 10) + "A";  // 31 levels below "start"
  const std::string cut = std::string(2046, 'a');  // and ソ: 2048 bytes leave room for 2047
  const std::string caseMode = "pattern=2\r\nswitch=case\r\n";
  const TemplateCase cases[] = {
      {"1 MB of sections before start and end", megabyteTemplate(), Expect::exactly, {"start 900", "end 900"}},
      {"lines of 100 KB: the value is cut at 2047 bytes", longLinesTemplate(), Expect::exactly,
       {std::string(2047, 'x'), "end"}},
      {"10,000 sections, config the last", manySectionsTemplate(), Expect::exactly, {"099995000", "1234"}},
      {"binary garbage, seed 1", garbageTemplate(1, false), Expect::anything, {}},
      {"binary garbage, seed 2", garbageTemplate(2, false), Expect::anything, {}},
      {"binary garbage, seed 3", garbageTemplate(3, false), Expect::anything, {}},
      {"binary garbage and then a start section", garbageTemplate(4, true), Expect::exactly, {"after garbage"}},
      {"a cycle through three sections stops at the depth limit", fixtureBytes("cycle.tpp"), Expect::exactly,
       {cycleLetters, "BC" + cycleLetters.substr(0, 29)}},
      {"a section naming itself twice: the name limit ends the fan-out", fixtureBytes("fan-out.tpp"),
       Expect::onlyOf, {"x", std::string(4096, 'x')}},
      {"the same with 2000-byte texts: the size limit ends it", fixtureBytes("fan-out-wide.tpp"), Expect::onlyOf,
       {"w", std::string(1u << 20, 'w')}},
      {"an alternative of 2046 bytes and ソソ", cutTemplate("ghost=hostile", "1=" + cut + SO SO), Expect::exactly,
       {cut, "end"}, "hostile"},
      {"a ghost of 258 bytes and ソ, read into 260", cutTemplate("ghost=" + std::string(258, 'g') + SO, "1=start"),
       Expect::exactly, {"start", "end"}, std::string(258, 'g')},
      {"an alternative of 2046 bytes and ソ in a nested section",
       cutTemplate("ghost=hostile", "1=<$(inner)>", "[inner]\r\n1=" + cut + SO "\r\n"), Expect::exactly,
       {"<" + cut + ">", "end"}, "hostile"},
      {"an alternative of 2046 bytes and ソ chosen in case mode (900 frames, case1=100)",
       cutTemplate("ghost=hostile", caseMode + "case1=100\r\n1=few\r\n2=" + cut + SO), Expect::exactly,
       {cut, "end"}, "hostile"},
      // The word is 2046 bytes long whatever follows: no word of "switch"
      // or "source", so these rows pin the choice the cut word gives.
      {"\"switch\" of 2046 bytes and ソ: an unknown word, so random mode",
       cutTemplate("ghost=hostile", "pattern=2\r\nswitch=" + cut + SO "\r\n1=random\r\n2=random"), Expect::exactly,
       {"random", "end"}, "hostile"},
      {"\"source\" of 2046 bytes and ソ: an unknown word, so the frames decide",
       cutTemplate("ghost=hostile", caseMode + "source=" + cut + SO "\r\ncase1=100\r\n1=not frames\r\n2=frames"),
       Expect::exactly, {"frames", "end"}, "hostile"},
      // Windows reads an integer into 30 wide characters; the native
      // stand-in reads 30 bytes, which cut inside ソ after 28 digits.
      {"a threshold of 28 digits and ソ",
       cutTemplate("ghost=hostile", caseMode + "case1=" + std::string(25, '0') + "100" SO "\r\n1=below\r\n2=from 100"),
       Expect::exactly, {"from 100", "end"}, "hostile"},
  };
  for (const TemplateCase& c : cases) {
    SCOPED_TRACE(c.what);
    HostedPlugin* plugin = openWithTemplate("template", c.bytes);
    ASSERT_NE(plugin, nullptr);
    SaveOutcome outcome = save(*plugin, 0, 899);
    EXPECT_EQ(outcome.started, 1);
    EXPECT_EQ(outcome.ended, 1);
    EXPECT_EQ(outcome.damage, "");
    switch (c.expect) {
      case Expect::exactly:
        EXPECT_EQ(outcome.scripts, c.scripts);
        if (!c.ghost.empty()) {
          EXPECT_EQ(outcome.ghosts, std::vector<std::string>(c.scripts.size(), c.ghost));
        }
        break;
      case Expect::anything:
        EXPECT_LE(outcome.scripts.size(), 2u);
        break;
      case Expect::onlyOf:
        ASSERT_EQ(outcome.scripts.size(), 2u);
        for (const std::string& script : outcome.scripts) {
          EXPECT_FALSE(script.empty());
          EXPECT_LE(script.size(), c.scripts[1].size());
          EXPECT_EQ(script.find_first_not_of(c.scripts[0]), std::string::npos) << script.substr(0, 100);
        }
        break;
    }
  }
}

// A script of 1 MiB (the fan-out at its size limit) to a server that takes
// the connection and never reads: each notice stalls in its send until the
// delivery limit (5 s) and the handler returns.
TEST_F(Hostile, AServerThatNeverReadsHoldsNoNoticeForEver) {
  ASSERT_NE(stalledReceiver(), nullptr);
  HostScene scene;
  scene.savedTemplate = "hostile.tpp";
  scene.savedPort = 11000;
  HostedPlugin* plugin = open(newFolder("stalled"), {{"hostile.tpp", fixtureBytes("fan-out-wide.tpp")}}, scene);
  ASSERT_NE(plugin, nullptr);
  SaveOutcome outcome = save(*plugin, 0, 899);
  EXPECT_EQ(outcome.started, 1);
  EXPECT_EQ(outcome.ended, 1);
  EXPECT_EQ(outcome.damage, "");
  EXPECT_TRUE(outcome.scripts.empty());  // nothing reached the answering receiver
}

// The plug-in's own folder, as long as Windows' paths allow and longer.
// Under Wine (as under Windows without long paths) an ANSI host can't load
// a module whose path passes 259 bytes: LoadLibraryA fails with
// ERROR_FILENAME_EXCED_RANGE. A host that loads it by a "\\?\" path gets a
// plug-in that can't search its folder (FindFirstFileA fails the same way):
// nothing is chosen and nothing sent, but the host goes on. A template
// whose path passes 259 bytes can't be chosen either.
TEST_F(Hostile, LongFoldersKeepTheHostRunning) {
  struct FolderCase {
    const char* what;
    size_t length;
    const char* templateName;
    ModulePath how;
    std::vector<std::string> scripts;
  };
  const FolderCase cases[] = {
      {"a folder of 250 bytes", 250, "a.tpp", ModulePath::ansi, {kNormalStart, "900"}},
      {"a folder of 250 bytes with a template path of 266", 250, "hostile-long.tpp", ModulePath::ansi, {}},
      {"a folder of 300 bytes", 300, "a.tpp", ModulePath::wide, {}},
  };
  for (const FolderCase& c : cases) {
    SCOPED_TRACE(c.what);
    std::string folder = newFolder("folder", c.length);
    ASSERT_EQ(hostFolder(folder).size(), c.length);
    HostScene scene = sceneWith([](HostScene*) {});
    scene.savedTemplate = c.templateName;
#ifdef _WIN32
    if (c.how == ModulePath::wide) {
      ASSERT_TRUE(writeFileBytes(folder + "/" + c.templateName, fixtureBytes("values.tpp")));
      HostedPlugin refused;
      std::string error;
      EXPECT_FALSE(loadHostedPlugin(folder, ModulePath::ansi, &refused, &error));
      EXPECT_NE(error.find("error 206"), std::string::npos) << error;  // ERROR_FILENAME_EXCED_RANGE
    }
#endif
    HostedPlugin* plugin = open(folder, {{c.templateName, fixtureBytes("values.tpp")}}, scene, c.how);
    ASSERT_NE(plugin, nullptr);
    SaveOutcome outcome = save(*plugin, 0, 899);
    EXPECT_EQ(outcome.started, 1);
    EXPECT_EQ(outcome.ended, 1);
    EXPECT_EQ(outcome.damage, "");
    EXPECT_EQ(outcome.scripts, c.scripts);
  }
}

}  // namespace
