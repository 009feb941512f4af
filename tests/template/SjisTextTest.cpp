#include <gtest/gtest.h>

#include <string>

#include "template/SjisText.h"

namespace {

TEST(SjisCharLength, FollowsTheFixedTable) {
  struct Row { int byte; int length; } rows[] = {
      {0x00, 1}, {0x41, 1}, {0x5C, 1}, {0x80, 1},  // ASCII and 0x80
      {0x81, 2}, {0x9F, 2},                        // first double-byte range
      {0xA0, 1}, {0xB1, 1}, {0xDF, 1},             // half-width katakana
      {0xE0, 2}, {0xEF, 2},                        // second double-byte range
      {0xF0, 1}, {0xFC, 1}, {0xFF, 1},             // user-defined leads count 1 here
  };
  for (const Row& row : rows) {
    EXPECT_EQ(row.length, sjisCharLength(static_cast<unsigned char>(row.byte))) << std::hex << row.byte;
  }
}

TEST(PathRules, CutAndBaseName) {
  struct Row { const char* path; const char* folder; const char* name; } rows[] = {
      {"C:\\a\\b.tpp", "C:\\a\\", "b.tpp"},
      {"b.tpp", "b.tpp", "b.tpp"},                          // no backslash
      {"C:\\dir\\", "C:\\dir\\", ""},                       // ends with a backslash
      {"", "", ""},
      {"C:\\\x83\x5C\x83\x74\x83\x67\\x.tpp", "C:\\\x83\x5C\x83\x74\x83\x67\\", "x.tpp"},  // C:\ソフト\x.tpp
      {"C:\\\x95\x5C", "C:\\", "\x95\x5C"},                 // C:\表: the 0x5C is inside 表
      {"\xF0\\x", "\xF0\\", "x"},                           // 0xF0 is a character of its own
      {"C:\\a\\\x83", "C:\\a\\", "\x83"},                   // cut double-byte character at the end
  };
  for (const Row& row : rows) {
    std::string cut = row.path;
    cutToDirectory(&cut[0]);
    EXPECT_STREQ(row.folder, cut.c_str()) << row.path;
    EXPECT_STREQ(row.name, baseNameOf(row.path)) << row.path;
  }
}

TEST(SameTextIgnoringCase, AsciiAndFullWidthLetters) {
  struct Row { const char* text; bool equal; } rows[] = {
      {"frame", true},
      {"Frame", true},
      {"FRAME", true},
      {"\x82\x86\x82\x92\x82\x81\x82\x8D\x82\x85", true},  // ｆｒａｍｅ
      {"\x82\x65\x82\x71\x82\x60\x82\x6C\x82\x64", true},  // ＦＲＡＭＥ
      {"frames", false},
      {" frame", false},
      {"frame ", false},
      {"flame", false},
      {"", false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(row.equal, sameTextIgnoringCase(row.text, "frame") == 0) << row.text;
  }
}

}  // namespace
