#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "template/ScriptParser.h"

namespace {

// A chain written out: each segment as "L:text" (literal) or "V:name".
std::vector<std::string> segmentsOf(const char* pattern) {
  std::vector<std::string> out;
  ScriptSegment* head = parseScriptText(pattern);
  for (ScriptSegment* s = head; s != nullptr; s = s->next) {
    out.push_back(std::string(s->isVariable ? "V:" : "L:") + s->text);
  }
  releaseScriptSegments(head);
  return out;
}

using Segments = std::vector<std::string>;

TEST(ParseScriptText, SplitsLiteralsAndVariables) {
  struct Row { const char* pattern; Segments segments; } rows[] = {
      // 現在 $frame フレーム目: a plain name ends at the space, which stays
      {"\x8C\xBB\x8D\xDD $frame \x83\x74\x83\x8C\x81\x5B\x83\x80\x96\xDA",
       {"L:\x8C\xBB\x8D\xDD ", "V:frame", "L: \x83\x74\x83\x8C\x81\x5B\x83\x80\x96\xDA"}},
      // 残り${time}です: the brace is consumed
      {"\x8E\x63\x82\xE8${time}\x82\xC5\x82\xB7", {"L:\x8E\x63\x82\xE8", "V:time", "L:\x82\xC5\x82\xB7"}},
      {"$(length)/$[fps]", {"L:", "V:length", "L:/", "V:fps", "L:"}},
      {"$frame$length", {"L:", "V:frame", "L:", "V:length", "L:"}},  // a dollar sign ends a plain name
      {"${a b}", {"L:", "V:a b", "L:"}},                            // bracketed names hold spaces
      {"${\x83\x7D}", {"L:", "V:\x83\x7D", "L:"}},                  // ${マ}: 0x7D inside マ closes nothing
      {"$[\x83\x5D]", {"L:", "V:\x83\x5D", "L:"}},                  // $[ゾ]: 0x5D inside ゾ closes nothing
      {"$(\x95\x5C)", {"L:", "V:\x95\x5C", "L:"}},                  // $(表): a backslash byte is a plain byte
      // $ｆｒａｍｅ。: double-byte characters belong to a plain name
      {"$\x82\x86\x82\x92\x82\x81\x82\x8D\x82\x85\x81\x42",
       {"L:", "V:\x82\x86\x82\x92\x82\x81\x82\x8D\x82\x85\x81\x42", "L:"}},
      {"$a\x81\x40" "b", {"L:", "V:a\x81\x40" "b", "L:"}},          // the ideographic space ends no name
      {"$frame \x96\x87", {"L:", "V:frame", "L: \x96\x87"}},        // $frame 枚
      {"${a$b}", {"L:", "V:a$b", "L:"}},                            // a dollar sign inside braces
      {"${a(b}c)", {"L:", "V:a(b", "L:c)"}},                        // brackets do not nest
      {"$\\x\"y", {"L:", "V:\\x\"y", "L:"}},                         // backslashes and quotes are plain
      {"100$$ $ x", {"L:100", "L:$", "L: ", "L:$", "L: x"}},       // $$ and "$ " are literal dollar signs
      {"$$frame", {"L:", "L:$", "L:frame"}},                        // $$ begins no variable
      {"abc$", {"L:abc", "L:$", "L:"}},                             // a dollar sign at the end
      {"${}", {"L:", "L:$", "L:"}},                                 // empty names give a dollar sign
      {"$()", {"L:", "L:$", "L:"}},
      {"$[]x", {"L:", "L:$", "L:x"}},
      {"a${b", {"L:a", "L:b"}},                                     // unterminated: "${" is dropped
      {"a$(b $frame", {"L:a", "L:b $frame"}},                       // ... and no later dollar sign is looked at
      {"${", {"L:", "L:"}},
      {"x$[", {"L:x", "L:"}},
      {"", {"L:"}},
      {"no variables", {"L:no variables"}},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(row.segments, segmentsOf(row.pattern)) << row.pattern;
  }
}

// A text cut inside a double-byte character ends at its terminator; the
// parser never reads behind it (the sanitizers in the native build check).
TEST(ParseScriptText, TextCutInsideACharacter) {
  struct Row { const char* pattern; Segments segments; } rows[] = {
      {"ab\x83", {"L:ab\x83"}},
      {"$ab\x83", {"L:", "V:ab\x83", "L:"}},
      {"${ab\x83", {"L:", "L:ab\x83"}},
      {"a$\x83", {"L:a", "V:\x83", "L:"}},
  };
  for (const Row& row : rows) {
    // An exact-size heap copy lets AddressSanitizer see a read past the end.
    std::string pattern = row.pattern;
    std::vector<char> exact(pattern.begin(), pattern.end());
    exact.push_back('\0');
    EXPECT_EQ(row.segments, segmentsOf(exact.data())) << row.pattern;
  }
}

TEST(FindNextVariable, ReportsOffsetAndForm) {
  struct Row { const char* text; bool found; int32_t before; VariableForm form; } rows[] = {
      {"ab$c", true, 2, VariableForm::plain},
      {"${x}", true, 0, VariableForm::braces},
      {"a$(x)", true, 1, VariableForm::parentheses},
      {"\x83\x5C$[x]", true, 2, VariableForm::brackets},  // ソ then $[
      {"a$", true, 1, VariableForm::plain},               // the terminator after it: plain
      {"abc", false, 3, VariableForm::plain},
      {"", false, 0, VariableForm::plain},
  };
  for (const Row& row : rows) {
    int32_t before = -1;
    VariableForm form = VariableForm::plain;
    EXPECT_EQ(row.found, findNextVariable(row.text, &before, &form)) << row.text;
    EXPECT_EQ(row.before, before) << row.text;
    if (row.found) {
      EXPECT_EQ(row.form, form) << row.text;
    }
  }
}

TEST(FindNameEnd, ReportsLengthOrFailure) {
  struct Row { const char* text; VariableForm form; bool ok; int32_t length; } rows[] = {
      {"frame rest", VariableForm::plain, true, 5},
      {"frame$x", VariableForm::plain, true, 5},
      {"frame", VariableForm::plain, true, 5},         // the end of the text ends a plain name
      {"a}b", VariableForm::plain, true, 3},           // closing brackets are plain characters
      {"a b}", VariableForm::braces, true, 3},
      {"\x83\x7D}", VariableForm::braces, true, 2},    // マ then the real brace
      {"a)", VariableForm::parentheses, true, 1},
      {"\x83\x5D]", VariableForm::brackets, true, 2},  // ゾ then the real bracket
      {"abc", VariableForm::braces, false, 3},         // never closed: the length of the rest
      {"", VariableForm::parentheses, false, 0},
  };
  for (const Row& row : rows) {
    int32_t length = -1;
    EXPECT_EQ(row.ok, findNameEnd(row.text, row.form, &length)) << row.text;
    EXPECT_EQ(row.length, length) << row.text;
  }
}

}  // namespace
