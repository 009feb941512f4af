// The tools' code page 932 converter (tpp --utf8, sstp-receiver, the host
// emulator's output) in both directions.
#include <gtest/gtest.h>

#include <string>

#include "TppOutput.h"

namespace {

struct Row {
  std::string sjis;
  std::string utf8;
};

TEST(Utf8FromSjis, ConvertsEveryCharacter) {
  const Row rows[] = {
      {"", ""},
      {"abc\r\n", "abc\r\n"},
      {"\x82\xA0", "\xE3\x81\x82"},                                   // あ
      {"\x83\x5C\x83\x5D", "\xE3\x82\xBD\xE3\x82\xBE"},               // ソゾ: second bytes 0x5C and 0x5D
      {"\xB1\xDF", "\xEF\xBD\xB1\xEF\xBE\x9F"},                       // ｱﾟ, half-width
      {"\x87\x40", "\xE2\x91\xA0"},                                   // ①, an NEC special character
      {"\xF0\x40", "\xEE\x80\x80"},                                   // the first user-defined character
      {std::string("a\0b", 3), std::string("a\0b", 3)},                // a NUL is a character too
  };
  for (const Row& row : rows) {
    bool converted = false;
    EXPECT_EQ(row.utf8, utf8FromSjis(row.sjis, &converted)) << testing::PrintToString(row.sjis);
    EXPECT_TRUE(converted);
    EXPECT_EQ(row.sjis, sjisFromUtf8(row.utf8)) << testing::PrintToString(row.utf8);
  }
}

#ifndef _WIN32
// Natively each byte that is not code page 932 becomes U+FFFD and the text
// goes on behind it; a byte that does not convert back is kept. Windows
// puts characters of its own choice in both directions.
TEST(Utf8FromSjis, ReplacesEachInvalidByteNatively) {
  const Row rows[] = {
      {"a\x80" "b", "a\xEF\xBF\xBD" "b"},                             // 0x80 is no character
      {"\xA0\xFD\xFF", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},       // nor are 0xA0 and 0xFD-0xFF
      {"\x81 x", "\xEF\xBF\xBD x"},                                   // a lead byte before a space: the space stays
      {"a\x82", "a\xEF\xBF\xBD"},                                     // a lead byte cut off by the end
  };
  for (const Row& row : rows) {
    bool converted = false;
    EXPECT_EQ(row.utf8, utf8FromSjis(row.sjis, &converted)) << testing::PrintToString(row.sjis);
    EXPECT_TRUE(converted);
  }
  EXPECT_EQ("a\xFF" "b", sjisFromUtf8("a\xFF" "b"));                   // no UTF-8
  EXPECT_EQ("\x82\xA0\xF0\x9F\x98\x80", sjisFromUtf8("\xE3\x81\x82\xF0\x9F\x98\x80"));  // あ😀: no 😀 in code page 932
}
#endif

}  // namespace
