// Turns a keyword or a section of the chosen template into script text.
#pragma once

#include <stdint.h>

#include "host/JobRecord.h"

// Deepest nesting of sections; a variable met at this depth yields the
// empty text, so a cycle of sections ends and the rest is still produced.
constexpr int32_t kMaxSectionDepth = 32;

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
