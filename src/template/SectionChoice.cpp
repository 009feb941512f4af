#include "template/SectionChoice.h"

#include "template/SjisText.h"

namespace {

// In the order of Keyword.
const char* const kKeywords[] = {"frame", "length", "time", "fps", "filter", "width", "height", "filename"};

// In the order of Source.
const char* const kSources[] = {"length", "time", "filter", "pixel", "frame"};

}  // namespace

Keyword findKeyword(const char* name) {
  for (int32_t i = 0; i < static_cast<int32_t>(Keyword::none); ++i) {
    if (sameTextIgnoringCase(name, kKeywords[i]) == 0) return static_cast<Keyword>(i);
  }
  return Keyword::none;
}

const char* keywordName(Keyword keyword) {
  return keyword == Keyword::none ? "" : kKeywords[static_cast<int32_t>(keyword)];
}

bool findSource(const char* word, Source* source) {
  for (int32_t i = 0; i <= static_cast<int32_t>(Source::frame); ++i) {
    if (sameTextIgnoringCase(word, kSources[i]) == 0) {
      *source = static_cast<Source>(i);
      return true;
    }
  }
  *source = Source::frame;
  return false;
}

const char* sourceName(Source source) { return kSources[static_cast<int32_t>(source)]; }

bool isCaseSwitch(const char* word) { return sameTextIgnoringCase(word, "case") == 0; }

bool choiceReadsSwitch(int32_t count) { return count != 1 && count != -1; }

int32_t randomModeKey(int32_t count, int32_t now) {
  if (count == 0) return 0;
  // For a clock before 1970 (or past 2038 in 32 bits) the remainder is
  // taken as non-negative so that the key stays in range; for every later
  // clock this is the plain remainder plus one.
  int64_t modulus = count < 0 ? -static_cast<int64_t>(count) : count;
  int64_t remainder = now % modulus;
  if (remainder < 0) remainder += modulus;
  return static_cast<int32_t>(remainder + 1);
}

int32_t caseModeKey(int32_t value, int32_t count, ThresholdReader read, void* context) {
  int32_t key = 1;
  for (int32_t i = 1; i < count; ++i) {
    int32_t threshold;
    if (!read(context, i, &threshold) || value < threshold) break;
    key = i + 1;
  }
  return key;
}

int64_t choosableKeyCount(int32_t count, bool caseMode) {
  if (caseMode) return count < 1 ? 1 : count;
  return count < 0 ? -static_cast<int64_t>(count) : count;
}
