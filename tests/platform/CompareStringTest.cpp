// CompareStringA as the template words use it: ignoring case and width.
// The same tables run against Windows' own function under Wine and against
// the native stand-in; where they disagree, the stand-in is wrong. Only
// equal against not equal is checked: the order of unequal texts is the
// platform's collation.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

const DWORD kBoth = NORM_IGNORECASE | NORM_IGNOREWIDTH;

int compare(DWORD flags, const std::string& a, const std::string& b) {
  return CompareStringA(LOCALE_USER_DEFAULT, flags, a.c_str(), -1, b.c_str(), -1);
}

// Checks a against b both ways round: equal both times, or less one way and
// greater the other.
void expectComparison(DWORD flags, const std::string& a, const std::string& b, bool equal,
                      const char* note) {
  int forward = compare(flags, a, b);
  int backward = compare(flags, b, a);
  if (equal) {
    EXPECT_EQ(CSTR_EQUAL, forward) << note;
    EXPECT_EQ(CSTR_EQUAL, backward) << note;
  } else {
    EXPECT_TRUE(forward == CSTR_LESS_THAN || forward == CSTR_GREATER_THAN) << note << ": " << forward;
    EXPECT_EQ(CSTR_LESS_THAN + CSTR_GREATER_THAN, forward + backward) << note;
  }
}

TEST(CompareString, WordsIgnoringCaseAndWidth) {
  struct Row { const char* a; const char* b; bool equal; const char* note; } rows[] = {
      {"frame", "frame", true, "same word"},
      {"FRAME", "frame", true, "upper case"},
      {"FrAmE", "fRaMe", true, "mixed case"},
      {"\x82\x86\x82\x92\x82\x81\x82\x8D\x82\x85", "frame", true, "full-width lower case"},  // ｆｒａｍｅ
      {"\x82\x65\x82\x71\x82\x60\x82\x6C\x82\x64", "frame", true, "full-width upper case"},  // ＦＲＡＭＥ
      {"\x82\x65r\x82\x81me", "FRAME", true, "widths mixed in one word"},                    // Ｆrａme
      {"\x82\x65\x82\x6F\x82\x72", "fps", true, "full-width keyword"},                         // ＦＰＳ
      {"case1", "\x82\x83\x82\x81\x82\x93\x82\x85\x82\x50", true, "full-width digit"},         // ｃａｓｅ１
      {"frames", "frame", false, "longer"},
      {"fram", "frame", false, "shorter"},
      {" frame", "frame", false, "leading space"},
      {"frame ", "frame", false, "trailing space"},
      {"\x81\x40" "frame", "frame", false, "leading ideographic space"},
      {"fr ame", "frame", false, "space inside"},
      {"flame", "frame", false, "other letter"},
      {"fr-ame", "frame", false, "hyphen inside"},
      {"frame\x01", "frame", false, "control character"},
      {"", "frame", false, "empty against a word"},
      {"", "", true, "both empty"},
      {"case", "random", false, "other word"},
  };
  for (const Row& row : rows) expectComparison(kBoth, row.a, row.b, row.equal, row.note);
}

TEST(CompareString, EveryFullWidthAsciiCharacter) {
  // The full-width forms of 0x20-0x7E in order; ￥ stands for the backslash.
  const char kWide[] =
      "\x81\x40\x81\x49\xEE\xFC\x81\x94\x81\x90\x81\x93\x81\x95\xEE\xFB"  // 　！＂＃＄％＆＇
      "\x81\x69\x81\x6A\x81\x96\x81\x7B\x81\x43\x81\x7C\x81\x44\x81\x5E"  // （）＊＋，－．／
      "\x82\x4F\x82\x50\x82\x51\x82\x52\x82\x53\x82\x54\x82\x55\x82\x56"  // ０１２３４５６７
      "\x82\x57\x82\x58\x81\x46\x81\x47\x81\x83\x81\x81\x81\x84\x81\x48"  // ８９：；＜＝＞？
      "\x81\x97\x82\x60\x82\x61\x82\x62\x82\x63\x82\x64\x82\x65\x82\x66"  // ＠ＡＢＣＤＥＦＧ
      "\x82\x67\x82\x68\x82\x69\x82\x6A\x82\x6B\x82\x6C\x82\x6D\x82\x6E"  // ＨＩＪＫＬＭＮＯ
      "\x82\x6F\x82\x70\x82\x71\x82\x72\x82\x73\x82\x74\x82\x75\x82\x76"  // ＰＱＲＳＴＵＶＷ
      "\x82\x77\x82\x78\x82\x79\x81\x6D\x81\x8F\x81\x6E\x81\x4F\x81\x51"  // ＸＹＺ［￥］＾＿
      "\x81\x4D\x82\x81\x82\x82\x82\x83\x82\x84\x82\x85\x82\x86\x82\x87"  // ｀ａｂｃｄｅｆｇ
      "\x82\x88\x82\x89\x82\x8A\x82\x8B\x82\x8C\x82\x8D\x82\x8E\x82\x8F"  // ｈｉｊｋｌｍｎｏ
      "\x82\x90\x82\x91\x82\x92\x82\x93\x82\x94\x82\x95\x82\x96\x82\x97"  // ｐｑｒｓｔｕｖｗ
      "\x82\x98\x82\x99\x82\x9A\x81\x6F\x81\x62\x81\x70\x81\x60";         // ｘｙｚ｛｜｝～
  ASSERT_EQ(2u * 95, sizeof kWide - 1);
  for (int c = 0x20; c <= 0x7E; ++c) {
    std::string wide(kWide + 2 * (c - 0x20), 2);
    std::string ascii(1, static_cast<char>(c));
    expectComparison(kBoth, wide, ascii, true, ascii.c_str());
    // The next ASCII character is another one (case pairs are 0x20 apart).
    std::string next(1, static_cast<char>(c == 0x7E ? 0x21 : c + 1));
    expectComparison(kBoth, wide, next, false, ascii.c_str());
  }
}

TEST(CompareString, HalfWidthKatakanaEqualsFullWidth) {
  // The full-width forms of the half-width characters 0xA1-0xDF in order.
  const char kFull[] =
      "\x81\x42\x81\x75\x81\x76\x81\x41\x81\x45\x83\x92\x83\x40\x83\x42"  // 。「」、・ヲァィ
      "\x83\x44\x83\x46\x83\x48\x83\x83\x83\x85\x83\x87\x83\x62\x81\x5B"  // ゥェォャュョッー
      "\x83\x41\x83\x43\x83\x45\x83\x47\x83\x49\x83\x4A\x83\x4C\x83\x4E"  // アイウエオカキク
      "\x83\x50\x83\x52\x83\x54\x83\x56\x83\x58\x83\x5A\x83\x5C\x83\x5E"  // ケコサシスセソタ
      "\x83\x60\x83\x63\x83\x65\x83\x67\x83\x69\x83\x6A\x83\x6B\x83\x6C"  // チツテトナニヌネ
      "\x83\x6D\x83\x6E\x83\x71\x83\x74\x83\x77\x83\x7A\x83\x7D\x83\x7E"  // ノハヒフヘホマミ
      "\x83\x80\x83\x81\x83\x82\x83\x84\x83\x86\x83\x88\x83\x89\x83\x8A"  // ムメモヤユヨラリ
      "\x83\x8B\x83\x8C\x83\x8D\x83\x8F\x83\x93\x81\x4A\x81\x4B";         // ルレロワン゛゜
  ASSERT_EQ(2u * 63, sizeof kFull - 1);
  for (int c = 0xA1; c <= 0xDF; ++c) {
    std::string half(1, static_cast<char>(c));
    std::string full(kFull + 2 * (c - 0xA1), 2);
    expectComparison(kBoth, half, full, true, full.c_str());
  }
}

TEST(CompareString, OtherCharacters) {
  struct Row { const char* a; const char* b; bool equal; const char* note; } rows[] = {
      {"\xB6\xDE", "\x83\x4B", false, "kana with a separate sound mark is two characters"},  // ｶﾞ ガ
      {"\xCA\xDF", "\x83\x70", false, "kana with a separate round mark"},                    // ﾊﾟ パ
      {"\x82\xA0", "\x83\x41", false, "hiragana against katakana"},                          // あ ア
      {"\x83\x41", "\x83\x61", false, "second bytes 0x41 and 0x61 are not letters"},          // ア ヂ
      {"\x83\x9F", "\x83\xBF", true, "Greek case"},                                          // Α α
      {"\x84\x40", "\x84\x70", true, "Cyrillic case"},                                       // А а
      {"\x84\x4F", "\x84\x80", true, "Cyrillic case past the 0x7F gap"},                     // О о
      {"\x84\x60", "\x84\x91", true, "last Cyrillic letter"},                                // Я я
      {"\xFA\x57", "\"", true, "IBM code of the full-width quotation mark"},                 // ＂
      {"\xFA\x56", "'", true, "IBM code of the full-width apostrophe"},                      // ＇
      {"\x81\x5F", "\\", false, "full-width reverse solidus"},                               // ＼
      {"\x81\x5B", "-", false, "long vowel mark is no hyphen"},                              // ー
      {"\x95\x5C", "\x95\x5C", true, "same kanji"},                                          // 表
      {"\x95\x5C", "\x83\x5C", false, "same second byte, other first byte"},                  // 表 ソ
  };
  for (const Row& row : rows) expectComparison(kBoth, row.a, row.b, row.equal, row.note);
}

TEST(CompareString, SingleFlags) {
  const char kWideLower[] = "\x82\x86\x82\x92\x82\x81\x82\x8D\x82\x85";  // ｆｒａｍｅ
  expectComparison(NORM_IGNORECASE, "FRAME", "frame", true, "case alone folds case");
  expectComparison(NORM_IGNORECASE, kWideLower, "frame", false, "case alone keeps width");
  expectComparison(NORM_IGNOREWIDTH, kWideLower, "frame", true, "width alone folds width");
  expectComparison(NORM_IGNOREWIDTH, kWideLower, "FRAME", false, "width alone keeps case");
  expectComparison(0, "Frame", "frame", false, "no flags");
}

TEST(CompareString, LengthsAndNullTexts) {
  EXPECT_EQ(CSTR_EQUAL, CompareStringA(LOCALE_USER_DEFAULT, kBoth, "frames", 5, "FRAME", -1));
  EXPECT_EQ(CSTR_EQUAL, CompareStringA(LOCALE_USER_DEFAULT, kBoth, "frame", -1, "FRAMES", 5));
  EXPECT_EQ(CSTR_EQUAL, CompareStringA(LOCALE_USER_DEFAULT, kBoth, "frame", 0, "", -1));
  // A NUL inside a counted text is ignored.
  EXPECT_EQ(CSTR_EQUAL, CompareStringA(LOCALE_USER_DEFAULT, kBoth, "fr\0ame", 6, "frame", -1));
  EXPECT_EQ(0, CompareStringA(LOCALE_USER_DEFAULT, kBoth, nullptr, -1, "frame", -1));
  EXPECT_EQ(0, CompareStringA(LOCALE_USER_DEFAULT, kBoth, "frame", -1, nullptr, -1));
}

}  // namespace
