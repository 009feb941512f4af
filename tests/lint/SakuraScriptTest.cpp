// The SakuraScript reading of tpp lint: each tag form and escape, the
// second bytes 0x5C and 0x5D of double-byte characters, and variables in
// every place a tag can take them.
#include <gtest/gtest.h>

#include <string>

#include "SakuraScript.h"

namespace {

// The faults in a short form: "end", "quit", "wait", "lone" and
// "open TAG", separated by ", ".
std::string faultsOf(const std::string& text) {
  std::string out;
  for (const ScriptFault& fault : findScriptFaults(text)) {
    if (!out.empty()) out += ", ";
    switch (fault.kind) {
      case ScriptFaultKind::scriptEnd: out += "end"; break;
      case ScriptFaultKind::quit: out += "quit"; break;
      case ScriptFaultKind::unclosedArgument: out += "open " + fault.tag; break;
      case ScriptFaultKind::waitWithoutDigit: out += "wait"; break;
      case ScriptFaultKind::trailingBackslash: out += "lone"; break;
    }
  }
  return out;
}

struct Row {
  const char* text;
  const char* faults;
};

// ソ is 0x83 0x5C, 表 0x95 0x5C, ゾ 0x83 0x5D; 0xFA 0x5C is a code page 932
// character whose lead byte lies beyond 0xEF.
const Row kRows[] = {
    // ---- clean
    {"", ""},
    {"\\0\\s[0]hello\\n\\w9\\1\\s[10]bye", ""},
    {"\\_w[500]\\__w[500]\\![raise,OnTest,a]\\n[half]\\_q\\*\\4\\8[se.wav]", ""},  // each name form
    {"\\s0\\i5\\p[2]\\&[amp]", ""},       // a digit after a name is text; arguments
    {"\\\\e", ""},                         // an escaped backslash, then the text "e"
    {"\\\\\\\\e", ""},                     // two escaped backslashes
    {"\\[e\\]", ""},                       // escaped brackets
    {"[not a tag] ] [", ""},               // brackets outside a tag are text
    {"\\s[a\\]b]", ""},                    // "\]" inside an argument does not close it
    {"\\s[a\\\\]", ""},                    // "\\" inside an argument is one backslash; ']' closes
    {"\\![raise,\\-,\\e]", ""},            // escaped characters inside an argument are no tags
    {"\\s[[5]", ""},                       // arguments do not nest
    {"\x95\x5C", ""},                      // 表 at the end is no lone backslash
    {"\x83\x5C" "e\x95\x5C" "e", ""},      // ソe 表e: no "\e"
    {"\\\x83\x5C" "e", ""},                // a tag named ソ, then the text "e"
    {"\\s[\x83\x5D]", ""},                 // \s[ゾ] is closed by its own ']'
    {"\\s[\x95\x5C]", ""},                 // \s[表]: the 0x5C escapes nothing
    {"\xFA\x5C" "e", ""},                  // a lead byte above 0xEF still pairs
    // ---- variables
    {"\\w$(n)\\w${n}\\w$n", ""},           // a variable may supply the digit
    {"\\$(tag)\\${tag}[5]", ""},           // or the name, with an argument after it
    {"\\s[$(mood)]\\![raise,$(event),${frame}]", ""},  // or an argument's contents
    {"\\$$e", ""},                         // "$$" is one '$': a tag named '$', then "e"
    {"$(a)\\$(b)$(c)", ""},
    // ---- "\e"
    {"\\0hello\\e", "end"},
    {"\\e\\0more", "end"},
    {"\x83\x5C\\e", "end"},                // ソ, then "\e"
    {"\\\\\\e", "end"},                    // an escaped backslash, then "\e"
    {"$(x)\\e$(y)", "end"},
    {"${open\\e", "end"},                  // "${" never closed: the rest is text
    {"\\e[x]\\e", "end, end"},
    // ---- "\-"
    {"\\-", "quit"},
    {"bye\\-\\e", "quit, end"},
    // ---- arguments never closed
    {"\\s[5", "open \\s["},
    {"\\_w[500", "open \\_w["},
    {"\\__w[animation,1", "open \\__w["},
    {"\\![raise,OnTest", "open \\!["},
    {"\\![raise,OnTest\\]", "open \\!["},  // the escaped ']' closes nothing
    {"\\s[5\\", "open \\s["},              // nor a backslash at the end
    {"\\s[\x83\x5D", "open \\s["},         // nor ゾ
    {"\\s[$(mood)", "open \\s["},          // nor a variable
    {"\\$(tag)[5", "open \\$(tag)["},      // a name from a variable takes an argument
    {"\\![raise,OnTest,$frame]", "open \\!["},  // the plain name is "frame]": it took the ']'
    {"\\s[5]\\s[6", "open \\s["},
    {"\\s[\\e\\-", "open \\s["},           // tags inside the open argument are text
    // ---- "\w" without a digit
    {"\\w", "wait"},
    {"\\wa \\w0 \\w[5] \\w$$", "wait, wait, wait, wait"},
    {"\\w\\w5", "wait"},
    {"\\_w5", ""},                         // another tag, not "\w"
    // ---- a lone backslash at the end
    {"end\\", "lone"},
    {"\\\\\\", "lone"},
};

TEST(SakuraScript, FindsEachFaultOfTheTable) {
  for (const Row& row : kRows) {
    EXPECT_EQ(faultsOf(row.text), row.faults) << row.text;
  }
}

}  // namespace
