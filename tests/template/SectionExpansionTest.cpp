#include <gtest/gtest.h>

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "host-support/Files.h"
#include "template/SectionExpansion.h"

namespace {

// The worked example's clock: an even and an odd second.
constexpr int32_t kEvenSecond = 1700000000;
constexpr int32_t kOddSecond = 1700000001;

JobRecord jobFor(const char* fixture) {
  JobRecord job{};
  std::string path = hostPath(fixturePath("template", fixture));
  strncpy(job.templatePath, path.c_str(), sizeof(job.templatePath) - 1);
  return job;
}

// Takes ownership of a text from the expansion.
std::string taken(char* text) {
  EXPECT_NE(nullptr, text);
  std::string out = text != nullptr ? text : "";
  free(text);
  return out;
}

std::string expandAt(const char* name, const JobRecord& job, int32_t now) {
  return taken(expandSectionAt(name, job, now));
}

TEST(ExpandSection, WorkedExample) {
  JobRecord job = jobFor("worked.tpp");
  job.frames = 900;
  job.lengthSeconds = 60;
  job.timeSeconds = 95;
  // 900 フレームを保存します。1 分 35 秒ほどかかります。
  EXPECT_EQ("900 \x83\x74\x83\x8C\x81\x5B\x83\x80\x82\xF0\x95\xDB\x91\xB6\x82\xB5\x82\xDC\x82\xB7\x81\x42"
            "1 \x95\xAA 35 \x95\x62\x82\xD9\x82\xC7\x82\xA9\x82\xA9\x82\xE8\x82\xDC\x82\xB7\x81\x42",
            expandAt("start", job, kEvenSecond));
  // 保存を始めます。普通の長さです。 (60 passes case1 60 but not case2 600)
  EXPECT_EQ("\x95\xDB\x91\xB6\x82\xF0\x8E\x6E\x82\xDF\x82\xDC\x82\xB7\x81\x42"
            "\x95\x81\x92\xCA\x82\xCC\x92\xB7\x82\xB3\x82\xC5\x82\xB7\x81\x42",
            expandAt("start", job, kOddSecond));
}

TEST(ExpandSection, ReadsTheClockWhenNoneIsGiven) {
  JobRecord job = jobFor("choice.tpp");
  EXPECT_EQ("one", taken(expandSection("randomsingle", job)));  // one alternative: any second
  job.frames = 5000;
  EXPECT_EQ("three", taken(expandSection("ascending", job)));
}

TEST(FormatDuration, PicksTheLargestUnit) {
  struct Row { int32_t seconds; const char* text; } rows[] = {
      {0, "0 \x95\x62"},                                       // 0 秒
      {59, "59 \x95\x62"},                                     // 59 秒
      {60, "1 \x95\xAA 0 \x95\x62"},                           // 1 分 0 秒
      {95, "1 \x95\xAA 35 \x95\x62"},                          // 1 分 35 秒
      {3599, "59 \x95\xAA 59 \x95\x62"},                       // 59 分 59 秒
      {3600, "1 \x8E\x9E\x8A\xD4 0 \x95\xAA"},                 // 1 時間 0 分: seconds left out
      {86399, "23 \x8E\x9E\x8A\xD4 59 \x95\xAA"},              // 23 時間 59 分
      {86400, "1 \x93\xFA\x82\xC6 0 \x8E\x9E\x8A\xD4"},        // 1 日と 0 時間
      {90061, "1 \x93\xFA\x82\xC6 1 \x8E\x9E\x8A\xD4"},        // 1 日と 1 時間: minutes left out
      {-61, "-1 \x95\xAA -1 \x95\x62"},                        // -1 分 -1 秒: truncation toward zero
      {INT32_MIN, "-24855 \x93\xFA\x82\xC6 -3 \x8E\x9E\x8A\xD4"},  // no overflow at the extreme
  };
  for (const Row& row : rows) {
    EXPECT_EQ(row.text, taken(formatDuration(row.seconds))) << row.seconds;
  }
}

TEST(ExpandSection, Keywords) {
  JobRecord job = jobFor("worked.tpp");
  job.frames = 900;
  job.lengthSeconds = 61;
  job.timeSeconds = 3600;
  job.fpsTimes100 = 2997;
  job.filters = 3;
  job.width = 1280;
  job.height = 720;
  strcpy(job.outputName, "C:\\out\\movie.avi");
  struct Row { const char* name; const char* text; } rows[] = {
      {"frame", "900"},
      {"FRAME", "900"},                                                // letter case is ignored
      {"\x82\x86\x82\x92\x82\x81\x82\x8D\x82\x85", "900"},             // ｆｒａｍｅ
      {"\x82\x65\x82\x71\x82\x60\x82\x6C\x82\x64", "900"},             // ＦＲＡＭＥ
      {"length", "1 \x95\xAA 1 \x95\x62"},                             // 1 分 1 秒
      {"Time", "1 \x8E\x9E\x8A\xD4 0 \x95\xAA"},                       // 1 時間 0 分
      {"fps", "29.97 fps"},
      {"\x82\x65\x82\x90\x82\x93", "29.97 fps"},                       // Ｆｐｓ
      {"filter", "3"},
      {"width", "1280"},
      {"HEIGHT", "720"},
      {"filename", "movie.avi"},
      {"\x82\x86\x82\x89\x82\x8C\x82\x85\x82\x8E\x82\x81\x82\x8D\x82\x85", "movie.avi"},  // ｆｉｌｅｎａｍｅ
      {"frames", ""},                                                  // no keyword and no section
      {" frame", ""},
      {"filters", ""},
      {"", ""},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(row.text, expandAt(row.name, job, kEvenSecond)) << row.name;
  }
}

TEST(ExpandSection, FramesPerSecond) {
  JobRecord job{};
  struct Row { int32_t fpsTimes100; const char* text; } rows[] = {
      {2997, "29.97 fps"},
      {3000, "30.0 fps"},               // no hundredths: one zero
      {2905, "29.05 fps"},              // hundredths below 10 keep their zero
      {2950, "29.50 fps"},
      {5, "0.05 fps"},
      {0, "0.0 fps"},
      {-5, "-0.05 fps"},                // the sign once, in front
      {-2997, "-29.97 fps"},
      {-3000, "-30.0 fps"},
      {INT32_MIN, "-21474836.48 fps"},  // no overflow at the extreme
  };
  for (const Row& row : rows) {
    job.fpsTimes100 = row.fpsTimes100;
    EXPECT_EQ(row.text, expandAt("fps", job, kEvenSecond)) << row.fpsTimes100;
  }
}

TEST(ExpandSection, FileNameOfTheOutput) {
  JobRecord job{};
  struct Row { const char* output; const char* name; } rows[] = {
      {"C:\\out\\movie.avi", "movie.avi"},
      {"movie.avi", "movie.avi"},                            // no backslash: the whole name
      {"", ""},
      {"C:\\out\\", ""},
      // C:\ソフト\動画.avi: the 0x5C inside ソ is no separator
      {"C:\\\x83\x5C\x83\x74\x83\x67\\\x93\xAE\x89\xE6.avi", "\x93\xAE\x89\xE6.avi"},
      {"C:\\$frame.avi", "$frame.avi"},                      // a value is never parsed again
  };
  for (const Row& row : rows) {
    strcpy(job.outputName, row.output);
    EXPECT_EQ(row.name, expandAt("filename", job, kEvenSecond)) << row.output;
  }
  // A name that fills the whole field without a terminator is read up to
  // the field's end and no further.
  memset(job.outputName, 'a', sizeof(job.outputName));
  EXPECT_EQ(std::string(sizeof(job.outputName), 'a'), expandAt("filename", job, kEvenSecond));
}

TEST(ExpandSection, CaseMode) {
  JobRecord job = jobFor("choice.tpp");
  struct Row { const char* section; int32_t frames; const char* text; } rows[] = {
      // case1 1000, case2 5000
      {"ascending", -5, "one"},
      {"ascending", 0, "one"},
      {"ascending", 999, "one"},
      {"ascending", 1000, "two"},     // a value equal to a threshold passes it
      {"ascending", 4999, "two"},
      {"ascending", 5000, "three"},
      {"ascending", INT32_MAX, "three"},
      // case1 500, case2 100: the scan stops at the first greater threshold
      {"descending", 300, "one"},
      {"descending", 600, "three"},
      // no thresholds: each reads as 0
      {"nothresholds", 0, "three"},
      {"nothresholds", 7, "three"},
      {"nothresholds", -1, "one"},
      // a count of 1 or less reads no threshold and yields key 1
      {"casesingle", 0, "one"},
      {"casezero", 0, "one"},
      {"casenegative", 0, "one"},
      // "CASE", "ｃａｓｅ" are case mode; "cases" is random mode (the
      // clock's even second chooses key 1)
      {"upper", 10, "two"},
      {"fullwidth", 10, "two"},
      {"cases", 10, "one"},
  };
  for (const Row& row : rows) {
    job.frames = row.frames;
    EXPECT_EQ(row.text, expandAt(row.section, job, kEvenSecond)) << row.section << " " << row.frames;
  }
}

// Each section compares its source with case1 = 10; only the job value
// that the source names is 10, so "above" shows that it was the one read.
TEST(ExpandSection, CaseSource) {
  struct Row { const char* section; int32_t JobRecord::*field; } rows[] = {
      {"source-frame", &JobRecord::frames},
      {"source-length", &JobRecord::lengthSeconds},
      {"source-time", &JobRecord::timeSeconds},
      {"source-filter", &JobRecord::filters},
      {"source-pixel", &JobRecord::pixels},
      {"source-lengthwide", &JobRecord::lengthSeconds},  // ＬＥＮＧＴＨ
      {"source-pixelupper", &JobRecord::pixels},         // Pixel
      {"source-unknown", &JobRecord::frames},            // "pixels": an unknown word means frames
      {"source-empty", &JobRecord::frames},              // no source key: frames
  };
  int32_t JobRecord::*fields[] = {&JobRecord::frames, &JobRecord::lengthSeconds, &JobRecord::timeSeconds,
                                  &JobRecord::filters, &JobRecord::pixels, &JobRecord::width,
                                  &JobRecord::height, &JobRecord::fpsTimes100};
  for (const Row& row : rows) {
    for (int32_t JobRecord::*field : fields) {
      JobRecord job = jobFor("sources.tpp");
      job.*field = 10;
      EXPECT_EQ(field == row.field ? "above" : "below", expandAt(row.section, job, kEvenSecond)) << row.section;
    }
  }
}

TEST(ExpandSection, RandomMode) {
  JobRecord job = jobFor("choice.tpp");
  struct Row { const char* section; int32_t now; const char* text; } rows[] = {
      {"random3", 0, "one"},                // the second modulo 3, plus 1
      {"random3", 1, "two"},
      {"random3", 5, "three"},
      {"random3", kEvenSecond, "three"},
      {"randomsingle", kOddSecond, "one"},  // one alternative, any second
      {"randomnegative", 3, "one"},         // -3 chooses among 1 to 3
      {"randomnegative", 4, "two"},
      {"randomnegative", 2, "three"},
      {"random3", -1, "three"},             // a negative clock still chooses a key in range
      {"random3", INT32_MIN, "two"},
      {"randomzero", 0, ""},                // no alternatives: the empty text
      {"randomzero", 7, ""},
      {"ten", 9, "ten"},                    // key 10 is "10", never "010"
      {"gap", 1, ""},                       // key 2 is missing
      {"gap", 0, "one"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(row.text, expandAt(row.section, job, row.now)) << row.section << " " << row.now;
  }
}

TEST(ExpandSection, MissingFileSectionOrKey) {
  JobRecord job = jobFor("no-such-file.tpp");
  EXPECT_EQ("", expandAt("start", job, kEvenSecond));
  job.frames = 12;
  EXPECT_EQ("12", expandAt("frame", job, kEvenSecond));  // keywords need no file
  job = jobFor("nesting.tpp");
  EXPECT_EQ("", expandAt("no such section", job, kEvenSecond));
}

TEST(ExpandSection, VariablesAreExpandedOnce) {
  JobRecord job = jobFor("nesting.tpp");
  job.frames = 7;
  strcpy(job.outputName, "C:\\$frame.avi");
  // [outer] 1=${dollar}/${frame}/$(missing)/$filename: [dollar] 1=$$frame
  // yields "$frame", which stays text; the missing section leaves nothing;
  // the file's section [frame] is never read.
  EXPECT_EQ("$frame/7//$frame.avi", expandAt("outer", job, kEvenSecond));
}

TEST(ExpandSection, ShiftJisNamesAndValues) {
  JobRecord job = jobFor("sjis.tpp");
  // [表] 1=C:\表\ソ\$(ソフト), [ソフト] 1=${マ}, [マ] 1=$[ゾ], [ゾ] 1=ゾ}]\ :
  // section names and values whose second bytes are 0x5C, 0x7D and 0x5D.
  EXPECT_EQ("C:\\\x95\x5C\\\x83\x5C\\\x83\x5D}]\\", expandAt("\x95\x5C", job, kEvenSecond));
}

// A cycle ends at the depth limit; the text around the cut is still produced.
TEST(ExpandSection, NestingStopsAtTheDepthLimit) {
  JobRecord job = jobFor("nesting.tpp");
  // [dN] 1=N(${dN+1}): sections 1 to kMaxSectionDepth are expanded.
  std::string expected;
  for (int32_t i = 1; i <= kMaxSectionDepth; ++i) expected += std::to_string(i) + "(";
  expected += std::string(kMaxSectionDepth, ')');
  EXPECT_EQ(expected, expandAt("d1", job, kEvenSecond));
  EXPECT_EQ(std::string(kMaxSectionDepth, 'x'), expandAt("self", job, kEvenSecond));
  EXPECT_EQ("abababababababababababababababab", expandAt("ping", job, kEvenSecond));
}

// True when `text` is `count` copies of `c` (compared without printing
// texts of thousands of bytes).
bool isRunOf(const std::string& text, size_t count, char c) {
  return text.size() == count && text.find_first_not_of(c) == std::string::npos;
}

// A section that names itself twice would expand 2^32 times; the work
// limits end it.
TEST(ExpandSection, FanOutIsBounded) {
  JobRecord job = jobFor("nesting.tpp");
  // [fan] 1=x$fan$fan: every expansion of fan yields one "x".
  std::string fan = expandAt("fan", job, kEvenSecond);
  EXPECT_TRUE(isRunOf(fan, kMaxExpansions, 'x')) << fan.size();
  // [fantop] 1=<${fan}>: the text after the spent variable is still produced.
  std::string top = expandAt("fantop", job, kEvenSecond);
  EXPECT_TRUE(top.size() > 2 && top.front() == '<' && top.back() == '>' &&
              isRunOf(top.substr(1, top.size() - 2), kMaxExpansions - 1, 'x')) << top.size();

  // [wide] 1=<2000 a>$wide$wide: pieces that fit, then nothing.
  std::string wide = expandAt("wide", job, kEvenSecond);
  EXPECT_TRUE(isRunOf(wide, kMaxScriptBytes / 2000 * 2000, 'a')) << wide.size();

  // [keywords]: ten keywords and two self-references; keywords count too.
  strcpy(job.outputName, "f");
  std::string keywords = expandAt("keywords", job, kEvenSecond);
  EXPECT_TRUE(keywords.size() < static_cast<size_t>(kMaxExpansions) && isRunOf(keywords, keywords.size(), 'f'))
      << keywords.size();
  // Each expansion starts with fresh limits.
  EXPECT_TRUE(fan == expandAt("fan", job, kEvenSecond));
}

TEST(ExpandSection, ThresholdScanIsBounded) {
  // pattern 2147483647 in case mode with no thresholds: every threshold
  // reads 0, so the scan would read two thousand million keys.
  JobRecord job = jobFor("choice.tpp");
  EXPECT_EQ("reached", expandAt("manythresholds", job, kEvenSecond));
}

}  // namespace
