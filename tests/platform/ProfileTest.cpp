// GetPrivateProfileStringA and GetPrivateProfileIntA on what a template file
// can hold. The same tables run against Windows' own functions under Wine
// and against the native stand-ins; where they disagree, the stand-in is
// wrong.
#include <gtest/gtest.h>
#include <string.h>
#include <windows.h>

#include <string>
#include <vector>

#include "host-support/Files.h"

namespace {

struct Reading {
  DWORD length;
  std::string text;   // the buffer up to its first NUL
  std::string bytes;  // the whole buffer
};

// Reads with a buffer of `size` bytes, each `fill` before the call, and
// checks that nothing was written behind it.
Reading readString(const std::string& file, const char* section, const char* key,
                   const char* defaultText, DWORD size = 100, char fill = '#') {
  std::vector<char> buffer(size + 16, '#');
  memset(buffer.data(), fill, size);
  Reading reading;
  reading.length = GetPrivateProfileStringA(section, key, defaultText, buffer.data(), size, file.c_str());
  reading.text.assign(buffer.data(), strnlen(buffer.data(), size));
  reading.bytes.assign(buffer.data(), size);
  for (size_t i = size; i < buffer.size(); ++i) EXPECT_EQ('#', buffer[i]) << "written behind the buffer";
  return reading;
}

// Writes `bytes` as the file `name` in `folder` and returns its path as
// the program under test opens it.
std::string profileFile(const ScratchFolder& folder, const std::string& bytes,
                        const std::string& name = "template.tpp") {
  writeFileBytes(folder.path() + "/" + name, bytes);
  return hostPath(folder.path() + "/" + name);
}

const char kRules[] =
    "top=before any section\r\n"
    "[Rules]\r\n"
    "  spaced  =  value  \r\n"
    "\tTabbed\t=\tv\t\r\n"
    ";semi=not a comment\r\n"
    "#hash=1\r\n"
    "tail=v ;x\r\n"
    "noequals\r\n"
    "shadowed\r\n"
    "shadowed=later\r\n"
    "dup=first\r\n"
    "dup=second\r\n"
    "eq=a=b\r\n"
    "empty=\r\n"
    "dq=\"quoted\"\r\n"
    "sq='single'\r\n"
    "mixed=\"mixed'\r\n"
    "inner=\"a\"b\"\r\n"
    "lone=\"\r\n"
    "pair=\"\"\r\n"
    "padded=  \" in \"  \r\n"
    "ctrlz=\x1a" "z\x1a\r\n"
    "vtff=\x0b" "a\x0c\r\n"
    "control=\x1c" "b\x1f\r\n"
    "[ Spaced Name ]\r\n"
    "a=1\r\n"
    "[unclosed\r\n"
    "b=2\r\n"
    "[open=x\r\n"
    "[rules]\r\n"
    "only2=in the second [rules]\r\n"
    "[a]b]\r\n"
    "k=last bracket\r\n"
    "[tail] text\r\n"
    "k=tail\r\n"
    "[]\r\n"
    "k=never found\r\n"
    "[last]\r\n"
    "end=no line end";

TEST(ProfileString, FollowsTheRulesTable) {
  ScratchFolder folder("rules");
  std::string file = profileFile(folder, kRules);
  struct Row { const char* section; const char* key; const char* defaultText; DWORD length; const char* text; } rows[] = {
      {"Rules", "spaced", "d", 5, "value"},          // blanks around name and value dropped
      {"  rULES\t", " SPACED ", "d", 5, "value"},    // asked names trimmed, ASCII case ignored
      {"Rules", "tabbed", "d", 1, "v"},              // tabs are blanks too
      {"Rules", ";semi", "d", 13, "not a comment"},  // no comment syntax
      {"Rules", "semi", "d", 1, "d"},
      {"Rules", "#hash", "d", 1, "1"},
      {"Rules", "tail", "d", 4, "v ;x"},             // nothing ends a value early
      {"Rules", "noequals", "d", 1, "d"},            // a line without '=' has no value
      {"Rules", "shadowed", "d", 1, "d"},            // ... and still hides a later key of its name
      {"Rules", "dup", "d", 5, "first"},             // the first key wins
      {"Rules", "eq", "d", 3, "a=b"},                // the first '=' splits
      {"Rules", "empty", "d", 0, ""},                // an empty value is no default
      {"Rules", "dq", "d", 6, "quoted"},             // one pair of quotes removed
      {"Rules", "sq", "d", 6, "single"},
      {"Rules", "mixed", "d", 7, "\"mixed'"},        // quotes must match
      {"Rules", "inner", "d", 3, "a\"b"},
      {"Rules", "lone", "d", 1, "\""},
      {"Rules", "pair", "d", 0, ""},
      {"Rules", "padded", "d", 4, " in "},           // blanks inside the quotes kept
      {"Rules", "ctrlz", "d", 1, "z"},               // ^Z, VT and FF are blanks
      {"Rules", "vtff", "d", 1, "a"},
      {"Rules", "control", "d", 3, "\x1c" "b\x1f"},  // other control characters are not
      {"spaced name", "a", "d", 1, "1"},             // "[ name ]" is trimmed
      {"spaced name", "b", "d", 1, "2"},             // "[unclosed" is no section
      {"spaced name", "[open", "d", 1, "x"},         // ... but "[open=x" is a key
      {"unclosed", "b", "d", 1, "d"},
      {"Rules", "only2", "d", 1, "d"},               // only the first section of a name is searched
      {"a]b", "k", "d", 12, "last bracket"},         // the name runs to the last ']'
      {"a", "k", "d", 1, "d"},
      {"tail", "k", "d", 4, "tail"},                 // text behind ']' is ignored
      {"", "top", "d", 18, "before any section"},    // lines before the first section
      {"", "k", "d", 1, "d"},                        // "[]" is never found behind them
      {"last", "end", "d", 11, "no line end"},
      {"nosuch", "end", "d", 1, "d"},                // missing section
      {"Rules", "nosuch", "  dflt  ", 6, "  dflt"},  // default: trailing spaces dropped
      {"Rules", "nosuch", "dflt\t", 5, "dflt\t"},    // ... but no other blanks
      {"Rules", "nosuch", "   ", 1, " "},            // ... and never the first character
      {"Rules", "nosuch", "\"dq\"", 2, "dq"},        // default quotes removed too
      {"Rules", "nosuch", nullptr, 0, ""},           // no default
  };
  for (const Row& row : rows) {
    Reading reading = readString(file, row.section, row.key, row.defaultText);
    EXPECT_EQ(row.length, reading.length) << row.section << "/" << row.key;
    EXPECT_EQ(row.text, reading.text) << row.section << "/" << row.key;
  }
}

TEST(ProfileString, CutsToTheBuffer) {
  // 'a' and 1500 times 表: the template's 2048 and the ghost's 260 bytes
  // end right behind a whole character.
  std::string longValue = "a";
  for (int i = 0; i < 1500; ++i) longValue += "\x95\x5C";
  std::string fitsTemplate = longValue.substr(0, 2047);
  std::string fitsGhost = longValue.substr(0, 259);
  ScratchFolder folder("cut");
  std::string file = profileFile(folder,
                                 "[s]\r\n"
                                 "value=value\r\n"
                                 "quoted=\"quoted\"\r\n"
                                 "sjis=\x95\x5C\x83\x5C\x82\xA0\r\n"  // 表ソあ
                                 "qsjis=\"ab\x95\x5C\"\r\n"              // "ab表"
                                 "long=" + longValue + "\r\n");
  // `text` is what the buffer holds in whole characters. Cut inside a
  // double-byte character, the returned length is still size - 1.
  struct Row { const char* key; const char* defaultText; DWORD size; DWORD length; const char* text; } rows[] = {
      {"value", "d", 6, 5, "value"},   // fits exactly
      {"value", "d", 5, 4, "valu"},    // cut to size - 1
      {"value", "d", 2, 1, "v"},
      {"value", "d", 1, 0, ""},
      {"quoted", "d", 9, 6, "quoted"},
      {"quoted", "d", 8, 6, "quoted"},
      {"quoted", "d", 7, 5, "quote"},  // Windows drops the closing quote as a character
      {"quoted", "d", 6, 5, "quote"},
      {"quoted", "d", 4, 3, "quo"},
      {"sjis", "d", 7, 6, "\x95\x5C\x83\x5C\x82\xA0"},  // 表ソあ byte for byte
      {"sjis", "d", 5, 4, "\x95\x5C\x83\x5C"},          // 表ソ
      {"sjis", "d", 4, 3, "\x95\x5C"},                  // 表, ソ does not fit
      {"sjis", "d", 3, 2, "\x95\x5C"},
      {"sjis", "d", 2, 1, ""},
      {"qsjis", "d", 6, 4, "ab\x95\x5C"},
      {"qsjis", "d", 5, 4, "ab\x95\x5C"},
      {"qsjis", "d", 4, 2, "ab"},                        // the closing quote takes 表 with it
      {"long", "d", 2048, 2047, fitsTemplate.c_str()},
      {"long", "d", 260, 259, fitsGhost.c_str()},
      {"nokey", "default", 5, 4, "defa"},                // the default is cut the same way
      {"nokey", "\x95\x5C\x95\x5C", 4, 3, "\x95\x5C"},  // 表表
  };
  for (const Row& row : rows) {
    Reading reading = readString(file, "s", row.key, row.defaultText, row.size);
    EXPECT_EQ(row.length, reading.length) << row.key << " in " << row.size;
    // Where the cut falls inside a character, Windows leaves the byte in
    // front of the terminator unwritten; only the whole characters count.
    EXPECT_EQ(row.text, reading.text.substr(0, strlen(row.text))) << row.key << " in " << row.size;
    EXPECT_LE(reading.text.size(), reading.length) << row.key << " in " << row.size;
  }
}

// A text that needs more than size - 1 bytes, cut inside a double-byte
// character. Windows converts the text its wide function gives (already
// cut to size - 1 characters) into size - 1 bytes of whole characters; when
// they don't all fit, the byte where the next double-byte character would
// begin stays as the buffer held it, NUL goes into the last byte and the
// count is size - 1. A list that its wide function cut ends at one NUL with
// the last byte unwritten. In `bytes` '~' stands for an unwritten byte,
// '#' for one behind the terminator, untouched either way. Unwritten bytes
// hold the buffer's '#' under Windows and the stand-in's marker natively;
// in a buffer cleared first they hold 0 in both.
#ifdef _WIN32
constexpr char kUnwritten = '#';
#else
constexpr char kUnwritten = static_cast<char>(kProfileUnwrittenByte);
#endif

TEST(ProfileString, CutInsideACharacterLeavesOneByteUnwritten) {
  ScratchFolder folder("cutchar");
  std::string values = profileFile(folder,
                                   "[s]\r\n"
                                   "template=" + std::string(2046, 'a') + "\x83\x5C\x83\x5C\r\n"  // ソソ
                                   "ghost=" + std::string(258, 'g') + "\x83\x5C\r\n"
                                   "wide=\x95\x5C\x95\x5C\x95\x5C\x95\x5C\r\n"  // 表表表表
                                   "mixed=a\x95\x5C\x95\x5C\x95\x5C\r\n"          // a表表表
                                   "quoted=\"ab\x95\x5C\x95\x5C\"\r\n",           // "ab表表"
                                   "values.tpp");
  std::string lists = profileFile(folder,
                                  "[\x95\x5C\x95\x5C\x95\x5C]\r\n"  // [表表表]
                                  "k=1\r\n"
                                  "[\x95\x5C]\r\n"                      // [表]
                                  "\x95\x5C\x95\x5C=2\r\n"            // 表表=2
                                  "\x95\x5C=3\r\n",                    // 表=3
                                  "lists.tpp");
#define HYO "\x95\x5C" /* 表 */
  struct Row { const std::string& file; const char* section; const char* key; const char* defaultText; DWORD size; DWORD length; std::string bytes; } rows[] = {
      {values, "s", "template", "d", 2048, 2047, std::string(2046, 'a') + "~" + '\0'},
      {values, "s", "ghost", "d", 260, 259, std::string(258, 'g') + "~" + '\0'},
      {values, "s", "wide", "d", 1, 0, std::string("", 1)},
      {values, "s", "wide", "d", 2, 1, std::string("~", 2)},
      {values, "s", "wide", "d", 3, 2, std::string(HYO, 3)},           // no room left behind 表: nothing unwritten
      {values, "s", "wide", "d", 4, 3, std::string(HYO "~", 4)},
      {values, "s", "wide", "d", 5, 4, std::string(HYO HYO, 5)},
      {values, "s", "wide", "d", 8, 7, std::string(HYO HYO HYO "~", 8)},
      {values, "s", "wide", "d", 9, 8, std::string(HYO HYO HYO HYO, 9)},  // fits
      {values, "s", "wide", "d", 10, 8, std::string(HYO HYO HYO HYO "\0#", 10)},
      {values, "s", "mixed", "d", 3, 2, std::string("a~", 3)},
      {values, "s", "mixed", "d", 4, 3, std::string("a" HYO, 4)},
      {values, "s", "mixed", "d", 7, 6, std::string("a" HYO HYO "~", 7)},
      {values, "s", "quoted", "d", 4, 3, std::string("ab~", 4)},
      {values, "s", "quoted", "d", 6, 5, std::string("ab" HYO "~", 6)},  // the closing quote took a character too
      {values, "s", "quoted", "d", 7, 6, std::string("ab" HYO HYO, 7)},
      {values, "s", "nokey", HYO HYO, 4, 3, std::string(HYO "~", 4)},     // the default, the same way
      {lists, nullptr, nullptr, "d", 2, 0, std::string("\0~", 2)},
      {lists, nullptr, nullptr, "d", 4, 3, std::string(HYO "~", 4)},
      {lists, nullptr, nullptr, "d", 6, 5, std::string(HYO HYO "~", 6)},
      {lists, nullptr, nullptr, "d", 7, 6, std::string(HYO HYO HYO, 7)},
      {lists, nullptr, nullptr, "d", 8, 7, std::string(HYO HYO HYO "\0", 8)},
      {lists, nullptr, nullptr, "d", 9, 8, std::string(HYO HYO HYO "\0~", 9)},
      {lists, nullptr, nullptr, "d", 10, 9, std::string(HYO HYO HYO "\0" HYO, 10)},
      {lists, nullptr, nullptr, "d", 12, 10, std::string(HYO HYO HYO "\0" HYO "\0\0#", 12)},
      {lists, HYO, nullptr, "d", 4, 3, std::string(HYO "~", 4)},
      {lists, HYO, nullptr, "d", 5, 4, std::string(HYO HYO, 5)},
      {lists, HYO, nullptr, "d", 6, 5, std::string(HYO HYO "\0", 6)},
      {lists, HYO, nullptr, "d", 7, 6, std::string(HYO HYO "\0~", 7)},
      {lists, HYO, nullptr, "d", 8, 7, std::string(HYO HYO "\0" HYO, 8)},
      {lists, HYO, nullptr, "d", 9, 8, std::string(HYO HYO "\0" HYO "\0", 9)},
  };
#undef HYO
  for (const Row& row : rows) {
    std::string what = std::string(row.key ? row.key : row.section ? "(keys)" : "(sections)") + " in " +
                       std::to_string(row.size);
    std::string expected = row.bytes;
    std::string expectedCleared = row.bytes;
    for (size_t i = 0; i < row.bytes.size(); ++i) {
      if (row.bytes[i] == '~') expected[i] = kUnwritten;
      if (row.bytes[i] == '~' || row.bytes[i] == '#') expectedCleared[i] = '\0';
    }
    Reading reading = readString(row.file, row.section, row.key, row.defaultText, row.size);
    EXPECT_EQ(row.length, reading.length) << what;
    EXPECT_EQ(expected, reading.bytes) << what;
    Reading cleared = readString(row.file, row.section, row.key, row.defaultText, row.size, '\0');
    EXPECT_EQ(row.length, cleared.length) << what << ", cleared first";
    EXPECT_EQ(expectedCleared, cleared.bytes) << what << ", cleared first";
  }
}

TEST(ProfileString, ShiftJisNamesAndValues) {
  std::string file = hostPath(fixturePath("platform", "sjis.tpp"));
  struct Row { const char* section; const char* key; const char* text; } rows[] = {
      {"config", "ghost", "\x82\xB3\x82\xAD\x82\xE7"},                  // さくら
      {"\x83\x5D", "pattern", "2"},                                     // [ゾ]: its second byte is ']'
      {"\x83\x5D", "1", "\x95\x5C\x8E\xA6\x83\x5C\x83\x74\x83\x67"},   // 表示ソフト
      {"\x83\x5D", "2", "\x8D\x5C\x95\xB6"},                            // 構文, quotes removed
      {"\x83\x5D", "after", "still in the section above"},              // "[ゾ" opens no section
      {"\x83\x41", "KEY", "katakana a"},                                // [ア]
      {"\x83\x61", "key", "d"},                                         // ヂ is not ア in other case
      {"\x95\x5C", "\x83\x5C", "key named with 0x5C"},                  // [表], key ソ
      {"\x82\x60", "K", "full-width A"},                                // [Ａ]
      {"\x82\x81", "k", "d"},                                           // ａ: only ASCII case is ignored
      {"A", "k", "d"},                                                  // no width folding either
  };
  for (const Row& row : rows) {
    EXPECT_EQ(row.text, readString(file, row.section, row.key, "d").text) << row.key;
  }
}

TEST(ProfileString, LineEndsByteOrderMarkAndNuls) {
  struct Row { const char* note; std::string bytes; const char* section; const char* key; const char* text; } rows[] = {
      {"LF line ends", "[s]\nk=lf\nj=2\n", "s", "j", "2"},
      {"CR line ends", "[s]\rk=cr\rj=2\r", "s", "j", "2"},
      {"mixed line ends", "[s]\r\n\r\nk=1\n\rj=2", "s", "j", "2"},
      {"UTF-8 byte order mark", "\xEF\xBB\xBFk=bom\r\n[s]\r\nj=2\r\n", "", "k", "bom"},
      {"byte order mark before a section", "\xEF\xBB\xBF[s]\r\nj=2\r\n", "s", "j", "2"},
      {"NUL ends a value", std::string("[s]\r\nk=a\0b\r\nj=2\r\n", 17), "s", "k", "a"},
      {"lines behind a NUL are read", std::string("[s]\r\nk=a\0b\r\nj=2\r\n", 17), "s", "j", "2"},
      {"NUL ends a key name", std::string("[s]\r\nk\0x=1\r\n", 12), "s", "k", "1"},
      {"empty file", "", "s", "k", "d"},
  };
  for (const Row& row : rows) {
    ScratchFolder folder("lineends");
    std::string file = profileFile(folder, row.bytes);
    EXPECT_EQ(row.text, readString(file, row.section, row.key, "d").text) << row.note;
  }
}

TEST(ProfileString, MissingFileAndBuffers) {
  ScratchFolder folder("missing");
  std::string missing = hostPath(folder.path() + "/none.tpp");
  EXPECT_EQ(1u, readString(missing, "s", "k", "d").length);
  EXPECT_EQ("d", readString(missing, "s", "k", "d").text);
  EXPECT_EQ("dq", readString(missing, "s", "k", "\"dq\"   ").text);
  EXPECT_EQ("d", readString(hostPath(folder.path()), "s", "k", "d").text) << "a folder reads as missing";
  EXPECT_EQ(5u, static_cast<UINT>(GetPrivateProfileIntA("s", "k", 5, missing.c_str())));

  std::string file = profileFile(folder, "[s]\r\nk=value\r\n");
  EXPECT_EQ(0u, GetPrivateProfileStringA("s", "k", "d", nullptr, 100, file.c_str()));
  char buffer[4] = {'#', '#', '#', '#'};
  EXPECT_EQ(0u, GetPrivateProfileStringA("s", "k", "d", buffer, 0, file.c_str()));
  EXPECT_EQ(0u, GetPrivateProfileStringA("s", "nokey", "d", buffer, 0, missing.c_str()));
  EXPECT_EQ(std::string(4, '#'), std::string(buffer, 4)) << "a zero-size buffer is not written";
}

TEST(ProfileString, PathOfMaxPathCharactersReadsAsMissing) {
  // A folder of 150 characters, then a file name that brings the whole
  // path, as the program opens it, to 259 or 260 characters.
  ScratchFolder folder(std::string(150, 'd').c_str());
  size_t folderLength = hostPath(folder.path() + "/").size();
  struct Row { size_t pathLength; const char* text; } rows[] = {
      {258, "v"},
      {259, "v"},  // the longest path Windows opens
      {260, "d"},  // MAX_PATH characters: the default, as for a missing file
      {300, "d"},
  };
  for (const Row& row : rows) {
    std::string name = std::string(row.pathLength - folderLength - 4, 'f') + ".ini";
    std::string file = profileFile(folder, "[s]\r\nk=v\r\n", name);
    ASSERT_EQ(row.pathLength, file.size());
    EXPECT_EQ(row.text, readString(file, "s", "k", "d").text) << row.pathLength;
  }
}

TEST(ProfileString, PathLimitCountsCharactersNotBytes) {
  // A folder of 150 characters and a file name of 60 double-byte
  // characters: well over 260 bytes, but fewer than 260 characters.
  ScratchFolder folder(std::string(150, 'd').c_str());
  std::string name;
  for (int i = 0; i < 60; ++i) name += "\x83\x41";  // ア
  std::string file = profileFile(folder, "[s]\r\nk=v\r\n", name + ".ini");
  ASSERT_GT(file.size(), 260u);
  EXPECT_EQ("v", readString(file, "s", "k", "d").text);
}

TEST(ProfileString, ReadsAChangedFileAgain) {
  ScratchFolder folder("changed");
  // More files than a small cache holds, each read twice, then each changed.
  std::vector<std::string> files;
  for (int i = 0; i < 6; ++i) {
    files.push_back(folder.path() + "/t" + std::to_string(i) + ".tpp");
    writeFileBytes(files[i], "[s]\r\nk=" + std::to_string(i) + "\r\n");
  }
  for (int round = 0; round < 2; ++round) {
    for (int i = 0; i < 6; ++i) EXPECT_EQ(std::to_string(i), readString(hostPath(files[i]), "s", "k", "d").text);
  }
  for (int i = 0; i < 6; ++i) {
    writeFileBytes(files[i], "[s]\r\nk=changed " + std::to_string(i) + "\r\n");
    EXPECT_EQ("changed " + std::to_string(i), readString(hostPath(files[i]), "s", "k", "d").text);
  }
  removeTree(files[2]);
  EXPECT_EQ("d", readString(hostPath(files[2]), "s", "k", "d").text) << "a removed file";
}

TEST(ProfileString, ListsSectionsAndKeys) {
  ScratchFolder folder("lists");
  std::string file = profileFile(folder,
                                 "top=1\r\n"
                                 "[a]\r\n"
                                 "x=1\r\n"
                                 "y\r\n"
                                 ";c=1\r\n"
                                 "z=\r\n"
                                 "[b]\r\n"
                                 "[A]\r\n"
                                 "w=2\r\n");
  struct Row { const char* section; std::string list; } rows[] = {
      {nullptr, std::string("a\0b\0A\0", 7)},  // every named section, in file order
      {"a", std::string("x\0z\0", 5)},          // keys with '=', not those starting with ';'
      {"", std::string("top\0", 5)},            // the nameless section
      {"b", std::string("dflt", 5)},            // an empty section gives the default
      {"nosuch", std::string("dflt", 5)},
  };
  for (const Row& row : rows) {
    char buffer[100];
    memset(buffer, '#', sizeof buffer);
    DWORD length = GetPrivateProfileStringA(row.section, nullptr, "dflt", buffer, sizeof buffer, file.c_str());
    EXPECT_EQ(row.list.size() - 1, length) << (row.section ? row.section : "(sections)");
    EXPECT_EQ(row.list, std::string(buffer, row.list.size())) << (row.section ? row.section : "(sections)");
  }
}

// A list cut to its buffer ends with two NULs and returns size - 2, also
// when a name would fill the buffer up to its last byte. The stand-in used
// to count such a name as fitting: the next name was then copied behind
// the buffer (sections "ab", "cd", "e" in 7 bytes), and a last name left
// size - 1. Only the bytes up to the count's terminator are compared:
// Windows leaves the rest unwritten.
TEST(ProfileString, ListsCutToTheBuffer) {
  ScratchFolder folder("listcut");
  std::string file = profileFile(folder,
                                 "[ab]\r\n"
                                 "k1=1\r\n"
                                 "k22=2\r\n"
                                 "[cd]\r\n"
                                 "[e]\r\n");
  struct Row { const char* section; DWORD size; std::string list; } rows[] = {
      {nullptr, 3, std::string("a\0", 2)},
      {nullptr, 4, std::string("ab\0", 3)},
      {nullptr, 5, std::string("ab\0\0", 4)},
      {nullptr, 6, std::string("ab\0c\0", 5)},
      {nullptr, 7, std::string("ab\0cd\0", 6)},  // "cd" reaches the last byte: cut, "e" not copied
      {nullptr, 9, std::string("ab\0cd\0e\0", 8)},
      {nullptr, 10, std::string("ab\0cd\0e\0\0", 9)},
      {"ab", 8, std::string("k1\0k22\0", 7)},  // the last name reaches the last byte
      {"ab", 9, std::string("k1\0k22\0\0", 8)},
  };
  for (const Row& row : rows) {
    const char* what = row.section ? row.section : "(sections)";
    std::vector<char> buffer(row.size + 16, '#');
    DWORD length = GetPrivateProfileStringA(row.section, nullptr, "dflt", buffer.data(), row.size, file.c_str());
    EXPECT_EQ(row.list.size() - 1, length) << what << " in " << row.size;
    EXPECT_EQ(row.list, std::string(buffer.data(), row.list.size())) << what << " in " << row.size;
    for (size_t i = row.size; i < buffer.size(); ++i) {
      EXPECT_EQ('#', buffer[i]) << what << " in " << row.size << ": written behind the buffer";
    }
  }
}

TEST(ProfileInt, ReadsIntegersAsWindowsDoes) {
  struct Row { const char* value; int expected; const char* note; } rows[] = {
      {"42", 42, "digits"},
      {"-7", -7, "minus"},
      {"+8", 8, "plus"},
      {"2 ; two", 2, "digits up to the first other character"},
      {"12abc", 12, "trailing letters"},
      {"1e3", 1, "no exponent"},
      {"abc", 0, "no digits"},
      {"", 77, "empty value gives the default"},
      {"\"\"", 77, "empty quotes too"},
      {"\"12\"", 12, "quotes removed first"},
      {"\" 12\"", 12, "blanks before the digits"},
      {"\x01\x02" "5", 5, "control characters before the digits"},
      {"--3", 0, "one sign only"},
      {"- 5", 0, "no blank after the sign"},
      {"012", 12, "a leading zero is no octal"},
      {"0x1F", 31, "hexadecimal"},
      {"-0x10", -16, "negative hexadecimal"},
      {"0X1F", 0, "only a lower-case x"},
      {"0x", 0, "prefix alone"},
      {"0o17", 15, "octal prefix"},
      {"0b101", 5, "binary prefix"},
      {"\x82\x50", 0, "full-width digit"},  // １
      {"2147483647", 2147483647, "largest"},
      {"2147483648", -2147483647 - 1, "wraps around"},
      {"4294967295", -1, "wraps around"},
      {"99999999999", 1215752191, "modulo 2^32"},
      {"-2147483649", 2147483647, "wraps around below"},
      {"0x80000000", -2147483647 - 1, "hexadecimal wraps too"},
      {"0000000000000000000000000001\x83\x5C", 1, "28 digits and ソ: the stand-in's 29 bytes cut inside ソ"},
      {"00000000000000000000000000012", 12, "29 characters are read"},
      {"000000000000000000000000000012", 1, "the 30th is not"},
  };
  std::string bytes = "[i]\r\n";
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    bytes += "k" + std::to_string(i) + "=" + rows[i].value + "\r\n";
  }
  ScratchFolder folder("ints");
  std::string file = profileFile(folder, bytes);
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    std::string key = "k" + std::to_string(i);
    EXPECT_EQ(rows[i].expected, static_cast<INT>(GetPrivateProfileIntA("i", key.c_str(), 77, file.c_str())))
        << rows[i].note << ": " << rows[i].value;
  }
  EXPECT_EQ(77, static_cast<INT>(GetPrivateProfileIntA("i", "nosuch", 77, file.c_str())));
  EXPECT_EQ(-5, static_cast<INT>(GetPrivateProfileIntA("nosuch", "k0", -5, file.c_str())));
}

}  // namespace
