// How a section of a template is read: the keywords that stand before any
// section, the words of "switch" and "source", and the two ways a section
// chooses its alternative. Section expansion uses them to build a script;
// the template tools use the same functions to describe what it would do.
#pragma once

#include <stdint.h>

// The keywords in the order they are tried; none ends the list.
enum class Keyword { frame, length, time, fps, filter, width, height, filename, none };

// Returns the keyword that `name` is (letter case and width ignored, whole
// texts compared), or Keyword::none when it is none of them.
Keyword findKeyword(const char* name);

// Returns the keyword's own spelling ("time"); "" for Keyword::none.
const char* keywordName(Keyword keyword);

// The job values that "source" can name, in the order they are tried.
enum class Source { length, time, filter, pixel, frame };

// Sets *source to the job value that the word of "source" names. Returns
// true for one of the five words, false for any other word, which names
// the frames (*source is then Source::frame).
bool findSource(const char* word, Source* source);

// Returns the word that names `source` ("length").
const char* sourceName(Source source);

// Returns true when the word of "switch" chooses by thresholds ("case",
// letter case and width ignored); any other word chooses at random.
bool isCaseSwitch(const char* word);

// True when a section of `count` alternatives ("pattern") reads "switch" at
// all: with 1 or -1 it takes key 1 in either mode.
bool choiceReadsSwitch(int32_t count);

// Returns the key that random mode chooses at the clock `now` (seconds since
// 1970) among `count` alternatives: now modulo |count|, plus 1, the
// remainder taken as non-negative, so the key lies in 1 to |count|. Returns
// 0 for a count of 0: no key can be chosen from no alternatives.
int32_t randomModeKey(int32_t count, int32_t now);

// Reads threshold `index` (1 for "case1") into *value. Returns false when no
// further threshold may be read; the choice then stops at the key reached.
typedef bool (*ThresholdReader)(void* context, int32_t index, int32_t* value);

// Returns the key that case mode chooses for `value` among `count`
// alternatives: the index of the first of case1 to case(count - 1) that is
// greater than `value`, or count when none is; `read` is asked for the
// thresholds in order and for none behind the first greater one. Returns 1
// when count is 1 or less (nothing is read), and the key reached when `read`
// refuses a threshold.
int32_t caseModeKey(int32_t value, int32_t count, ThresholdReader read, void* context);

// Returns how many keys, from 1 on, the choice can yield for `count`
// alternatives: |count| in random mode (0 for 0); in case mode count, or 1
// when count is 1 or less.
int64_t choosableKeyCount(int32_t count, bool caseMode);
