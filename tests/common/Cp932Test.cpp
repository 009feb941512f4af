#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/Cp932.h"

namespace {

TEST(Cp932Bytes, LeadAndTrailRanges) {
  struct Row { int byte; bool lead; bool trail; } rows[] = {
      {0x00, false, false}, {0x0A, false, false}, {0x3D, false, false},  // NUL, LF, '='
      {0x3F, false, false}, {0x40, false, true},                         // trail bytes start at '@'
      {0x5C, false, true},  {0x5D, false, true},                         // '\' and ']' continue ソ and ゾ
      {0x7E, false, true},  {0x7F, false, false},                        // DEL is a gap
      {0x80, false, true},  {0x81, true, true},   {0x9F, true, true},    // first lead range
      {0xA0, false, true},  {0xDF, false, true},                         // half-width katakana
      {0xE0, true, true},   {0xEF, true, true},                          // second lead range
      {0xF0, true, true},   {0xFC, true, true},                          // user-defined leads, unlike the plug-in's table
      {0xFD, false, false}, {0xFF, false, false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(row.lead, isCp932LeadByte(static_cast<unsigned char>(row.byte))) << std::hex << row.byte;
    EXPECT_EQ(row.trail, isCp932TrailByte(static_cast<unsigned char>(row.byte))) << std::hex << row.byte;
  }
}

// The character lengths met walking [text, text + length), by both steppers.
std::vector<size_t> rangeSteps(const std::string& text, size_t length) {
  std::vector<size_t> steps;
  const char* end = text.data() + length;
  for (const char* p = text.data(); p < end; p += steps.back()) steps.push_back(cp932CharLength(p, end));
  return steps;
}

std::vector<size_t> terminatedSteps(const char* text) {
  std::vector<size_t> steps;
  for (const char* p = text; *p != '\0'; p += steps.back()) steps.push_back(cp932Step(p));
  return steps;
}

TEST(Cp932Steps, ByCharactersWithinTheText) {
  struct Row { std::string text; size_t length; std::vector<size_t> steps; } rows[] = {
      {"a\x83\x5C" "b", 4, {1, 2, 1}},       // aソb: the 0x5C belongs to ソ
      {"\xF0\x40", 2, {2}},                  // a user-defined character
      {"\x83\x0A", 2, {1, 1}},               // LF can't continue a lead byte
      {"\x81\x7F\x81\xFD", 4, {1, 1, 1, 1}}, // nor DEL nor 0xFD
      {"\xA0\x40", 2, {1, 1}},               // 0xA0 leads nothing
      {"\x83\x83\x5C", 3, {2, 1}},           // a lead byte can be a second byte
      {"\x83\x5C", 1, {1}},                  // the range ends inside ソ
      {"", 0, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::PrintToString(row.text));
    EXPECT_EQ(row.steps, rangeSteps(row.text, row.length));
    EXPECT_EQ(row.steps.size(), cp932CharCount(row.text.data(), row.length));
    if (row.length == row.text.size()) {
      EXPECT_EQ(row.steps, terminatedSteps(row.text.c_str()));
    }
  }
  // A lead byte before the terminator counts alone: nothing behind is read.
  const char cut[] = {'a', '\x83', '\0', '\x5C'};
  EXPECT_EQ((std::vector<size_t>{1, 1}), terminatedSteps(cut));
}

TEST(ProfileBlanks, TrimmedAtBothEnds) {
  struct Row { const char* text; const char* trimmed; } rows[] = {
      {" \t\x1A" "a b\r\n\v\f ", "a b"},   // inner blanks stay
      {"\x81\x40x\x81\x40", "\x81\x40x\x81\x40"},  // the ideographic space is no blank
      {"\x83 ", "\x83"},                    // a space after a lead byte is a blank
      {"x\x01", "x\x01"},                   // other control characters stay
      {" \t ", ""},
      {"", ""},
  };
  for (const Row& row : rows) {
    std::string text = row.text;
    size_t start = 0;
    size_t end = text.size();
    trimProfileBlanks(text.data(), &start, &end);
    EXPECT_EQ(row.trimmed, text.substr(start, end - start)) << testing::PrintToString(text);
  }
}

TEST(AsciiCase, LettersOnly) {
  struct Row { char c; char lower; char upper; } rows[] = {
      {'@', '@', '@'}, {'A', 'a', 'A'}, {'Z', 'z', 'Z'}, {'[', '[', '['},
      {'`', '`', '`'}, {'a', 'a', 'A'}, {'z', 'z', 'Z'}, {'{', '{', '{'},
      {'\xC1', '\xC1', '\xC1'}, {'\xE1', '\xE1', '\xE1'},  // Latin-1 letters are no ASCII letters
  };
  for (const Row& row : rows) {
    EXPECT_EQ(row.lower, lowerAscii(row.c)) << std::hex << static_cast<int>(row.c);
    EXPECT_EQ(row.upper, upperAscii(row.c)) << std::hex << static_cast<int>(row.c);
  }
}

TEST(FoldedName, LowersSingleByteLettersOnly) {
  struct Row { std::string name; std::string folded; } rows[] = {
      {"Start", "start"},
      {"\x83\x41", "\x83\x41"},          // ア stays; folding its 0x41 would make it ャ
      {"X\x83\x5D" "Y", "x\x83\x5D" "y"}, // XゾY
      {"\x82\x60", "\x82\x60"},          // full-width Ａ is no ASCII letter
      {"\x83Q", "\x83Q"},                // 'Q' can continue a lead byte: one character, kept
      {"\x83\x0A" "Q", "\x83\x0Aq"},     // after a lead byte that stands alone the 'Q' is a letter
  };
  for (const Row& row : rows) {
    std::string out = "kept:";
    appendFoldedName(&out, row.name.data(), row.name.size());
    EXPECT_EQ("kept:" + row.folded, out) << testing::PrintToString(row.name);
  }
}

}  // namespace
