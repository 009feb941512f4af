// tpp lint against small templates, each with one planted fault: the exact
// report lines and the exit status.
#include <gtest/gtest.h>

#include <stdio.h>

#include <filesystem>
#include <string>
#include <vector>

#include "TppLint.h"
#include "TppLintCommand.h"
#include "host-support/Files.h"

namespace {

struct LintRun {
  int status;
  std::string out;
  std::string err;
};

LintRun runLint(const std::vector<std::string>& paths, bool utf8 = false) {
  ScratchFolder scratch("lint");
  const std::string& folder = scratch.path();
  std::string outPath = folder + "/out.txt", errPath = folder + "/err.txt";
  FILE* out = fopen(localPath(outPath).c_str(), "wb");
  FILE* err = fopen(localPath(errPath).c_str(), "wb");
  std::vector<const char*> args;
  for (const std::string& path : paths) args.push_back(path.c_str());
  LintRun run{-1, "", ""};
  if (out != nullptr && err != nullptr) {
    run.status = lintTemplateFiles(static_cast<int>(args.size()), args.data(), utf8, out, err);
  }
  if (out != nullptr) fclose(out);
  if (err != nullptr) fclose(err);
  run.out = readFileBytes(outPath);
  run.err = readFileBytes(errPath);
  return run;
}

// A fixture as the lint is handed it: it opens the file with fopen and
// reads it through the profile functions, which take the same path.
std::string fixture(const char* name) { return localPath(fixturePath("lint", name)); }

struct LintCase {
  const char* fixture;
  int status;
  // Report lines without the leading file name; empty for a clean file.
  std::vector<std::string> lines;
};

const LintCase kCases[] = {
    // Every variable form, full-width keywords, "$$", nested, case and
    // random sections, a section name holding ゾ (0x83 0x5D): clean.
    {"clean.tpp", 0, {}},
    // An explicit empty "ghost=" is a template for any ghost: no warning.
    {"any-ghost.tpp", 0, {}},

    // ---- errors
    {"unknown-variable.tpp", 1,
     {":4: error: variable \"greet\" names neither a keyword nor a section and expands to nothing"}},
    // "$frame枚": a plain name runs on into the text behind it.
    {"plain-runs-on.tpp", 1,
     {":4: error: variable \"frame\x96\x87\" names neither a keyword nor a section and expands to nothing "
      "(a plain $name runs up to the next blank or '$': write ${frame})"}},
    {"cycle.tpp", 1,
     {":8: error: cycle of sections: a -> b -> a (it repeats until the nesting limit of 32 cuts it off)"}},
    {"pattern-zero.tpp", 1, {":4: error: \"pattern\" is 0; a section needs 1 or more alternatives"}},
    // pattern=三
    {"pattern-not-number.tpp", 1,
     {":4: error: \"pattern\" is \"\x8e\x4f\", not a number; it must count the alternatives"}},
    {"missing-alternative.tpp", 1,
     {":3: error: section \"start\": alternative 2 is missing; the section says nothing when it is chosen"}},
    {"unterminated.tpp", 1,
     {":4: error: \"${\" is never closed by '}'; the rest of the text is sent as it stands"}},
    // 0x82 followed by a blank: a lead byte without its second byte.
    {"invalid-sjis.tpp", 1, {":4: error: bytes 0x82 0x20 are not valid Shift_JIS"}},
    {"no-start-end.tpp", 1, {":1: error: no section \"start\" and no section \"end\"; nothing would ever be sent"}},
    {"utf8.tpp", 1, {":2: error: the file is UTF-8, not Shift_JIS; save it as Shift_JIS (code page 932)"}},
    // "[ゾ": the 0x5D inside ゾ closes nothing.
    {"header-kanji-unclosed.tpp", 1,
     {":7: error: section header has no closing ']'; the line is not read as a section",
      ":8: warning: key \"1\" is repeated; only its first value (line 6) is read"}},
    // "[open=x": without ']' the line is a key of the section above.
    {"header-unclosed-key.tpp", 1,
     {":6: error: section header has no closing ']'; the line is read as key \"[open\" of the section above"}},
    {"header-unclosed.tpp", 1,
     {":1: warning: no section \"end\"; nothing is sent when a save ends",
      ":5: error: section header has no closing ']'; the line is not read as a section",
      ":6: warning: key \"1\" is repeated; only its first value (line 4) is read"}},

    // Each SakuraScript fault on its line (line 5 and the end section are
    // clean: escapes, ソ, ゾ and 表, tags built from a variable); "\e" twice
    // in one alternative is reported once.
    {"sakura-script.tpp", 1,
     {":6: error: \"\\e\" ends the script here; the rest of the alternative and all that the script holds "
      "after it are never shown (the plug-in ends every script with its own \"\\e\")",
      ":7: error: \"\\-\" makes the mascot program quit",
      ":8: error: \"\\s[\" is never closed by ']'; the mascot shows the rest of the script as text or drops it",
      ":9: error: \"\\![\" is never closed by ']'; the mascot shows the rest of the script as text or drops it",
      ":10: warning: \"\\w\" is not followed by a digit from 1 to 9 and is no wait; write \\w1 to \\w9, or "
      "\\_w[milliseconds]",
      ":11: warning: the text ends with a lone \"\\\", which makes a tag of what follows it (at the end of the "
      "script the plug-in's closing \"\\e\" is shown as text)"}},

    // ---- warnings
    {"switch-unknown.tpp", 0,
     {":4: warning: \"switch\" is \"cas\", neither \"case\" nor \"random\"; the alternatives are chosen at random"}},
    {"source-unknown.tpp", 0,
     {":6: warning: \"source\" is \"frames\", not one of frame, length, time, filter, pixel; the number of frames "
      "decides"}},
    {"threshold-missing.tpp", 0,
     {":3: warning: section \"start\": threshold \"case2\" is missing (it reads as 0), so alternative 2 can never "
      "be chosen"}},
    {"thresholds-descending.tpp", 0,
     {":7: warning: section \"start\": alternative 2 can never be chosen: case2 (100) is not greater than case1 "
      "(500)"}},
    {"threshold-beyond.tpp", 0,
     {":7: warning: threshold \"case2\" is not read: with \"pattern\" 2 the thresholds end at case1"}},
    // case1=六十
    {"threshold-not-number.tpp", 0,
     {":6: warning: \"case1\" is \"\x98\x5a\x8f\x5c\", not a number; it reads as 0"}},
    {"pattern-negative.tpp", 0,
     {":4: warning: \"pattern\" is negative (-2); write the number of alternatives"}},
    {"random-with-thresholds.tpp", 0,
     {":5: warning: \"source\" is read only with \"switch\" set to \"case\"; this section chooses at random"}},
    {"above-pattern.tpp", 0, {":7: warning: alternative 3 is above \"pattern\" (2) and is never chosen"}},
    // 1100 times あ: the 2048 bytes of the plug-in's read end inside the 1024th.
    {"too-long.tpp", 0,
     {":4: warning: alternative 1 is 2200 bytes long; only its first 2047 bytes are read",
      ":4: warning: alternative 1 is cut inside a double-byte character: the plug-in reads only its first 2046 "
      "bytes and loses that character"}},
    // Values whose read ends inside ソ (0x83 0x5C): "ghost" (258 bytes read
    // into 260), an alternative, "source" and "switch" (2046 into 2048).
    // A message that quotes the value is cut to the 1023 bytes of a report.
    {"cut-inside-character.tpp", 0,
     {":2: warning: \"ghost\" is 260 bytes long; only its first 259 bytes are read",
      ":2: warning: \"ghost\" is cut inside a double-byte character: the plug-in reads only its first 258 bytes "
      "and loses that character",
      ":4: warning: alternative 1 is 2050 bytes long; only its first 2047 bytes are read",
      ":4: warning: alternative 1 is cut inside a double-byte character: the plug-in reads only its first 2046 "
      "bytes and loses that character",
      ":8: warning: " + ("\"source\" is \"" + std::string(2046, 's')).substr(0, 1023),
      ":8: warning: \"source\" is cut inside a double-byte character: the plug-in reads only its first 2046 "
      "bytes and loses that character",
      ":14: warning: " + ("\"switch\" is \"" + std::string(2046, 'w')).substr(0, 1023),
      ":14: warning: \"switch\" is cut inside a double-byte character: the plug-in reads only its first 2046 "
      "bytes and loses that character"}},
    {"keyword-section.tpp", 0,
     {":7: warning: section \"Time\" is named like the keyword \"time\" and can never be expanded"}},
    {"no-ghost.tpp", 0,
     {":1: warning: no \"ghost\" in section \"config\"; requests go out as SSTP/1.1 without a ghost condition "
      "(write an empty \"ghost=\" if that is meant)"}},
    {"key-before-section.tpp", 0,
     {":1: warning: key \"ghost\" stands before the first section and is never read",
      ":1: warning: no \"ghost\" in section \"config\"; requests go out as SSTP/1.1 without a ghost condition "
      "(write an empty \"ghost=\" if that is meant)"}},
    {"only-start.tpp", 0, {":1: warning: no section \"end\"; nothing is sent when a save ends"}},
    // An alternative continued on a second line: the second line is lost.
    {"no-equals.tpp", 0,
     {":5: warning: line has no '=' and is not read (an alternative must stay on one line)"}},
    {"unbalanced-quote.tpp", 0,
     {":4: warning: alternative 1 opens a quote that it does not close; the quote is sent as text"}},
    {"duplicate-key.tpp", 0, {":5: warning: key \"1\" is repeated; only its first value (line 4) is read"}},
    {"duplicate-section.tpp", 0,
     {":7: warning: section \"START\" is repeated; only its first occurrence (line 3) is read"}},
    // ";1=...": the profile format has no comments inside a section.
    {"unknown-key.tpp", 0,
     {":4: warning: key \";1\" is not read by the plug-in (a line with '=' is a key even when it starts with ';')"}},
};

TEST(TppLint, ReportsEachPlantedFaultExactly) {
  for (const LintCase& c : kCases) {
    std::string path = fixture(c.fixture);
    std::string expected;
    for (const std::string& line : c.lines) expected += path + line + "\n";
    LintRun run = runLint({path});
    EXPECT_EQ(run.out, expected) << c.fixture;
    EXPECT_EQ(run.status, c.status) << c.fixture;
    EXPECT_EQ(run.err, "") << c.fixture;
  }
}

TEST(TppLint, ChecksEveryFileAndKeepsTheWorstStatus) {
  LintRun run = runLint({fixture("clean.tpp"), fixture("switch-unknown.tpp"), fixture("pattern-zero.tpp")});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find(fixture("switch-unknown.tpp") + ":4: warning:"), std::string::npos);
  EXPECT_NE(run.out.find(fixture("pattern-zero.tpp") + ":4: error:"), std::string::npos);
}

TEST(TppLint, AFileThatCantBeReadGivesStatusTwoAndTheRestIsChecked) {
  std::string missing = fixture("no-such-template.tpp");
  LintRun run = runLint({missing, fixture("pattern-zero.tpp")});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, missing + ": error: cannot read the file\n");
  EXPECT_NE(run.out.find(":4: error:"), std::string::npos);
}

// With --utf8 the quoted template text comes out as UTF-8; the path stays.
TEST(TppLint, Utf8OptionConvertsTheQuotedText) {
  std::string path = fixture("plain-runs-on.tpp");
  LintRun run = runLint({path}, true);
  EXPECT_EQ(run.out, path + ":4: error: variable \"frame\xE6\x9E\x9A\" names neither a keyword nor a section and "
                            "expands to nothing (a plain $name runs up to the next blank or '$': write ${frame})\n");
}

TEST(TppLint, UsageErrorsGiveStatusTwo) {
  char utf8[] = "--utf8";
  char unknown[] = "--quiet";
  char file[] = "x.tpp";
  char* onlyOption[] = {utf8};
  char* badOption[] = {file, unknown};
  EXPECT_EQ(runLintCommand(0, nullptr), 2);
  EXPECT_EQ(runLintCommand(1, onlyOption), 2);
  EXPECT_EQ(runLintCommand(2, badOption), 2);
}

// 200 sections of "pattern=99999" in 4 KB: the limit of 100,000 checked
// alternatives holds for the whole file. It used to hold per section, so
// each of these lines bought 100,000 key scans (case mode: as many warning
// lines too, some 2 GB of report for 120 sections); lint seemed to hang.
TEST(TppLint, LimitsTheAlternativesCheckedPerFile) {
  ScratchFolder scratch("lintlimit");
  const std::string& folder = scratch.path();
  std::string bytes;
  for (int i = 0; i < 200; i++) bytes += "[s" + std::to_string(i) + "]\r\npattern=99999\r\n";
  writeFileBytes(folder + "/many.tpp", bytes);
  std::string path = localPath(folder + "/many.tpp");
  LintRun run = runLint({path});
  EXPECT_EQ(run.status, 1);
  auto occurrences = [&run](const char* text) {
    size_t count = 0;
    for (size_t at = run.out.find(text); at != std::string::npos; at = run.out.find(text, at + 1)) count++;
    return count;
  };
  EXPECT_EQ(occurrences("are missing;"), 1u);
  EXPECT_EQ(occurrences("the section is not checked"), 199u);
  EXPECT_NE(run.out.find(path + ":1: error: section \"s0\": alternatives 1 to 99999 are missing;"), std::string::npos);
  EXPECT_NE(run.out.find(path + ":3: error: section \"s1\": \"pattern\" 99999 takes the file's alternatives above "
                                "100000, far more than a template holds; the section is not checked\n"),
            std::string::npos);
}

// The samples shipped in templates/ must lint clean.
TEST(TppLint, ShippedTemplatesAreClean) {
  std::vector<std::string> paths;
  std::error_code ignored;
  std::string templates = localPath(sourcePath("templates"));
  for (const auto& entry : std::filesystem::directory_iterator(templates, ignored)) {
    if (entry.path().extension() == ".tpp") paths.push_back(entry.path().string());
  }
  ASSERT_FALSE(paths.empty());
  LintRun run = runLint(paths);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.status, 0);
}

}  // namespace
