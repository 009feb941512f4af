// tpp cases: the ranges of case mode worked out by hand from the choosing
// rule (the key is the first threshold greater than the value), and the
// limits of a listing on generated templates.
#include <gtest/gtest.h>

#include <stdint.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "TppCases.h"
#include "host-support/Files.h"
#include "template/SectionExpansion.h"

namespace {

struct RangeRow {
  int32_t pattern;
  std::vector<int32_t> thresholds;  // case1, case2, ...; those left out read as 0
  std::vector<std::string> conditions;
};

const RangeRow kRanges[] = {
    // In order: the documented example.
    {3, {60, 600}, {"length < 60", "60 <= length < 600", "length >= 600"}},
    {3, {-10, 10}, {"length < -10", "-10 <= length < 10", "length >= 10"}},
    // Out of order: the scan stops at case1 for every value below 500, so
    // key 2 is never reached; key 3 needs both thresholds passed.
    {3, {500, 100}, {"length < 500", "never chosen", "length >= 500"}},
    {4, {100, 50, 200}, {"length < 100", "never chosen", "100 <= length < 200", "length >= 200"}},
    {5, {40, 30, 20, 10}, {"length < 40", "never chosen", "never chosen", "never chosen", "length >= 40"}},
    // Equal thresholds: a value equal to one passes it.
    {4, {60, 60, 600}, {"length < 60", "never chosen", "60 <= length < 600", "length >= 600"}},
    // Missing thresholds read as 0.
    {3, {}, {"length < 0", "never chosen", "length >= 0"}},
    {2, {}, {"length < 0", "length >= 0"}},
    {4, {10}, {"length < 10", "never chosen", "never chosen", "length >= 10"}},
    {4, {-5}, {"length < -5", "-5 <= length < 0", "never chosen", "length >= 0"}},
    // The ends of the 32-bit range: no value is below INT32_MIN, so key 1
    // is never chosen and "at least INT32_MIN" is any value.
    {2, {INT32_MIN}, {"never chosen", "any length"}},
    {2, {INT32_MAX}, {"length < 2147483647", "length >= 2147483647"}},
    {3, {INT32_MIN, INT32_MAX}, {"never chosen", "length < 2147483647", "length >= 2147483647"}},
    {3, {INT32_MAX, INT32_MIN}, {"length < 2147483647", "never chosen", "length >= 2147483647"}},
    // "pattern" 1 or less: key 1 whatever the value, nothing read.
    {1, {100}, {"any length"}},
    {0, {100}, {"any length"}},
    {-1, {100}, {"any length"}},
    {-7, {100}, {"any length"}},
};

TEST(CaseModeConditions, FollowTheChoosingRule) {
  for (const RangeRow& row : kRanges) {
    EXPECT_EQ(caseModeConditions(row.pattern, row.thresholds, "length"), row.conditions)
        << "pattern " << row.pattern << ", " << row.thresholds.size() << " thresholds";
  }
}

// The plug-in reads at most 4096 thresholds in one expansion: with 4100
// alternatives the scan stops at key 4097, and the keys behind it are never
// chosen, whatever their thresholds.
TEST(CaseModeConditions, StopWhereThePlugInStopsReadingThresholds) {
  std::vector<int32_t> thresholds;
  for (int32_t i = 1; i <= 4099; i++) thresholds.push_back(i);
  std::vector<std::string> conditions = caseModeConditions(4100, thresholds, "frame");
  ASSERT_EQ(conditions.size(), 4100u);
  EXPECT_EQ(conditions[0], "frame < 1");
  EXPECT_EQ(conditions[1], "1 <= frame < 2");
  EXPECT_EQ(conditions[4095], "4095 <= frame < 4096");
  EXPECT_EQ(conditions[4096], "frame >= 4096");  // key 4097
  EXPECT_EQ(conditions[4097], "never chosen");
  EXPECT_EQ(conditions[4099], "never chosen");
  static_assert(kMaxThresholdReads == 4096, "the rows above count on this limit");
}

// Writes `bytes` as a template, lists `sections` and returns the lines.
std::vector<std::string> casesOf(const std::string& bytes, const std::vector<std::string>& sections) {
  ScratchFolder scratch("cases");
  const std::string& folder = scratch.path();
  writeFileBytes(folder + "/t.tpp", bytes);
  std::string outPath = folder + "/out.txt";
  FILE* out = fopen(localPath(outPath).c_str(), "wb");
  EXPECT_NE(out, nullptr);
  if (out != nullptr) {
    EXPECT_TRUE(writeCases(hostPath(folder + "/t.tpp").c_str(), sections, false, out));
    fclose(out);
  }
  std::string text = readFileBytes(outPath);
  std::vector<std::string> lines;
  for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

TEST(Cases, ASectionOfTooManyAlternativesIsOneLine) {
  std::vector<std::string> lines = casesOf(
      "[start]\r\npattern=100001\r\n1=a\r\n[end]\r\npattern=-2147483648\r\n"
      "[big]\r\npattern=2147483647\r\nswitch=case\r\n",
      {"start", "end", "big"});
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "[start] (pattern 100001: more than 100000 alternatives, not listed)",
                       "[end] (pattern -2147483648: more than 100000 alternatives, not listed)",
                       "[big] (pattern 2147483647: more than 100000 alternatives, not listed)",
                   }));
}

// 400 alternatives that each name a section of 300: 120,401 lines, and
// the listing stops after 100,000 of them. Without the limit a few
// sections that name each other's sections grow the tree without bound.
TEST(Cases, TheTreeStopsAfterItsLineLimit) {
  std::string bytes = "[start]\r\n1=$(a)\r\n[a]\r\npattern=400\r\n";
  for (int k = 1; k <= 400; k++) bytes += std::to_string(k) + "=$(b)\r\n";
  bytes += "[b]\r\npattern=300\r\n";
  std::vector<std::string> lines = casesOf(bytes, {"start", "end"});
  ASSERT_EQ(lines.size(), static_cast<size_t>(kListedLines) + 1);
  EXPECT_EQ(lines[0], "[start] 1 (random 1/1): $(a)");
  EXPECT_EQ(lines[1], "  [a] 1 (random 1/400): $(b)");
  EXPECT_EQ(lines[2], "    [b] 1 (random 1/300): ");
  EXPECT_EQ(lines[99999], "    [b] 66 (random 66/300): ");
  EXPECT_EQ(lines[100000], "(stopped after 100000 lines)");
}

}  // namespace
