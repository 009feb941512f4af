// The SakuraScript in an alternative's text, read as the mascot reads the
// script that the plug-in sends ("Script: TEXT\e"), for `tpp lint`.
//
// The literal text is tokenised by code page 932 characters (lead bytes
// 0x81-0x9F and 0xE0-0xFC), so the 0x5C of ソ or 表 and the 0x5D of ゾ are
// neither a backslash nor a bracket. A tag is a backslash and its name: one
// character, or '_' or "__" and one more ("\_w", "\__w"); then at most one
// bracket argument right behind the name. "\\", "\[" and "\]" are escapes;
// inside an argument a backslash escapes the character after it, so "\]"
// does not close it; quotes inside an argument are not looked at.
//
// A variable is opaque: it may supply a tag's name, a digit or the contents
// of an argument, and nothing that it might complete is reported ("\w$(n)",
// "\$(tag)", "\s[$(mood)]"). It never closes an argument, though: an
// argument that the literal text leaves open is reported even when a
// variable stands inside it. A name supplied by a variable takes an
// argument like any other ("\$(tag)[5" is open).
#pragma once

#include <string>
#include <vector>

enum class ScriptFaultKind {
  scriptEnd,          // "\e": the script ends there
  quit,               // "\-": the mascot program quits
  unclosedArgument,   // "\s[5": the argument is never closed
  waitWithoutDigit,   // "\w" not followed by a digit from 1 to 9
  trailingBackslash,  // a lone "\" ends the text and takes what follows
};

struct ScriptFault {
  ScriptFaultKind kind;
  std::string tag;  // the tag as the text writes it, up to its '[' for an argument
};

// Returns the faults of the alternative `text` (as the profile functions
// read it) in the order of the text; none for clean SakuraScript. Tags
// inside an argument that is never closed are not tags and give none.
std::vector<ScriptFault> findScriptFaults(const std::string& text);
