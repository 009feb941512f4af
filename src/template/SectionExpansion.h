// Turns a keyword or a section of the chosen template into script text.
#pragma once

#include <stdint.h>

#include "template/JobRecord.h"

// Deepest nesting of sections; a variable met at this depth yields the
// empty text, so a cycle of sections ends and the rest is still produced.
constexpr int32_t kMaxSectionDepth = 32;

// Work limits of one top-level expansion. Without them a section that names
// itself twice would expand 2^32 times within the depth limit and hold the
// host's save for ever. Once one is spent every further variable yields the
// empty text (literal text goes on, within kMaxScriptBytes). One alternative
// holds at most 1023 variables, so real templates stay far below the limits;
// a template that reaches them costs at most some 16,000 profile reads
// (one to two seconds measured under Wine).
// - names expanded, keywords and sections alike (the top-level name counts);
constexpr int32_t kMaxExpansions = 4096;
// - "case%d" thresholds read, over all sections; a scan that finds none
//   left stops there and chooses the key it has reached;
constexpr int32_t kMaxThresholdReads = 4096;
// - bytes of the result: a piece (a literal or a keyword's value) that does
//   not fit is left out, and so is every piece after it.
constexpr int32_t kMaxScriptBytes = 1024 * 1024;

// Bytes read for a value of the template, the terminator included.
constexpr int32_t kTemplateValueSize = 2048;

// Returns the expansion of `name` for `job`, newly allocated (free with
// free()): the keyword's value, or a chosen alternative of the section
// `name` of job.templatePath with its variables expanded. A name that
// yields nothing yields the empty text. Random choice uses the current
// time. Returns null only when memory cannot be had.
char* expandSection(const char* name, const JobRecord& job);

// As expandSection, with `now` (seconds since 1970) as the clock for every
// random choice in the expansion.
char* expandSectionAt(const char* name, const JobRecord& job, int32_t now);

// Returns `seconds` as a Japanese duration text ("1 分 35 秒"), newly
// allocated (free with free()); null only when memory cannot be had.
char* formatDuration(int32_t seconds);
