// `tpp cases`: prints every alternative that a template can choose, from
// "start" and "end" (or the sections named) down through the sections that
// each alternative names, with the condition under which it is chosen, so
// that an author sees every script without guessing job values.
//
//   [SECTION] K (CONDITION): TEXT
//     [NESTED] K (CONDITION): TEXT        two spaces per level
//     [NAME] (empty)                      neither a keyword nor a section
//     [NAME] (cycle)                      already on the path from the top
//     [NAME] (too deep)                   past the plug-in's nesting limit
//   [SECTION] (pattern 0 in random mode: nothing is chosen)
//   [SECTION] (pattern N: more than 100000 alternatives, not listed)
//   [KEYWORD] (keyword)                   a keyword given with --section
//   (stopped after 100000 lines)
//   [SECTION] 2 keys above 3 are never chosen and not listed
//
// CONDITION is "random K/N" (chosen when the clock's seconds modulo N are
// K - 1) or the range of the source value in case mode ("length < 60",
// "60 <= length < 600", "length >= 600", "any length", "never chosen").
#pragma once

#include <stdint.h>
#include <stdio.h>

#include <string>
#include <vector>

// Usage of the verb, without the leading "tpp ".
extern const char* const kCasesUsage;

// Alternatives listed per section and lines of the tree per run, at most.
constexpr int64_t kListedAlternatives = 100000;
constexpr int64_t kListedLines = 100000;

// Returns the condition under which case mode chooses each key, for keys 1
// to n (one key when n is 1 or less), worked out from the plug-in's own
// choosing rule: "WORD < 60", "60 <= WORD < 600", "WORD >= 600", "any WORD"
// or "never chosen", with `word` the source's word. `thresholds[i]` is
// case(i + 1) as the profile reads it; one that the vector lacks reads as
// 0. The plug-in reads at most kMaxThresholdReads thresholds in one
// expansion, so the keys behind case4096 are never chosen. The result holds
// one text per key: n is meant to stay within kListedAlternatives.
std::vector<std::string> caseModeConditions(int32_t n, const std::vector<int32_t>& thresholds, const char* word);

// Writes the tree of `sections` (tops, in order) of the template at
// `templatePath` (the path as the profile functions take it) to `out`: the
// template's bytes as they are, or converted to UTF-8 with `utf8`. A file
// that can't be read has no sections: every top is "(empty)". Returns true,
// or false when writing failed.
bool writeCases(const char* templatePath, const std::vector<std::string>& sections, bool utf8, FILE* out);

// The verb: `args` are the words after "cases", FILE and options in any
// order ("--section NAME", repeatable, and "--utf8"). Writes the tree to
// stdout: the template's bytes as they are, or converted to UTF-8 with
// --utf8. Returns 0; 2 with a one-line message on stderr for a file that
// cannot be read, an unknown option, a missing value or a wrong count of
// words; 1 when stdout failed.
int runCasesCommand(int argc, char** args);
