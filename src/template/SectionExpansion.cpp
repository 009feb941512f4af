#include "template/SectionExpansion.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <windows.h>

#include "common/TextCopy.h"
#include "template/ScriptParser.h"
#include "template/SectionChoice.h"
#include "template/SjisText.h"
#include "template/TemplateValue.h"

namespace {

// The state of one top-level expansion: the clock, the file, and what is
// left of the work limits.
struct Expansion {
  const JobRecord* job;
  char templatePath[sizeof(JobRecord::templatePath) + 1];  // always terminated
  bool clockFixed;  // every random choice uses fixedNow
  int32_t fixedNow;
  int32_t expansionsLeft;
  int32_t thresholdsLeft;
  int32_t bytesLeft;
  bool spent;  // a limit ran out; further variables yield ""
};

// A new text printed from `format`; every format here fits in 64 bytes.
char* printText(const char* format, ...) __attribute__((format(printf, 1, 2)));
char* printText(const char* format, ...) {
  char buffer[64];
  va_list arguments;
  va_start(arguments, format);
  vsnprintf(buffer, sizeof buffer, format, arguments);
  va_end(arguments);
  return copyText(buffer);
}

// "29.97 fps"; hundredths below 10 keep their leading zero ("29.05 fps"),
// none at all print one zero ("30.0 fps"). A negative rate prints its sign
// once, in front ("-0.05 fps"), instead of on both parts.
char* formatFps(int32_t fpsTimes100) {
  int64_t magnitude = fpsTimes100 < 0 ? -static_cast<int64_t>(fpsTimes100) : fpsTimes100;
  const char* sign = fpsTimes100 < 0 ? "-" : "";
  int32_t whole = static_cast<int32_t>(magnitude / 100);
  int32_t hundredths = static_cast<int32_t>(magnitude % 100);
  if (hundredths == 0) return printText("%s%d.0 fps", sign, whole);
  return printText("%s%d.%02d fps", sign, whole, hundredths);
}

// The file name of the output path; the path is copied first so that a
// record whose text fills all 260 bytes is never read past its end.
char* outputFileName(const JobRecord& job) {
  char path[sizeof(job.outputName) + 1];
  memcpy(path, job.outputName, sizeof(job.outputName));
  path[sizeof(job.outputName)] = '\0';
  return copyText(baseNameOf(path));
}

char* keywordText(Keyword keyword, const JobRecord& job) {
  switch (keyword) {
    case Keyword::frame: return printText("%d", job.frames);
    case Keyword::length: return formatDuration(job.lengthSeconds);
    case Keyword::time: return formatDuration(job.timeSeconds);
    case Keyword::fps: return formatFps(job.fpsTimes100);
    case Keyword::filter: return printText("%d", job.filters);
    case Keyword::width: return printText("%d", job.width);
    case Keyword::height: return printText("%d", job.height);
    case Keyword::filename: return outputFileName(job);
    case Keyword::none: break;
  }
  return copyText("");
}

// Takes `length` bytes from the result's allowance. Returns false, and
// spends the whole allowance, when they do not fit.
bool chargeBytes(Expansion& e, size_t length) {
  if (length > static_cast<size_t>(e.bytesLeft)) {
    e.bytesLeft = 0;
    e.spent = true;
    return false;
  }
  e.bytesLeft -= static_cast<int32_t>(length);
  return true;
}

int32_t readInt(const Expansion& e, const char* section, const char* key, int32_t fallback) {
  return static_cast<int32_t>(GetPrivateProfileIntA(section, key, fallback, e.templatePath));
}

// Reads a value into `buffer` (kTemplateValueSize bytes), always terminated.
void readText(const Expansion& e, const char* section, const char* key,
                     const char* fallback, char* buffer) {
  readTemplateValue(e.templatePath, section, key, fallback, buffer, kTemplateValueSize);
}

bool switchIsCase(const Expansion& e, const char* section) {
  char word[kTemplateValueSize];
  readText(e, section, "switch", "random", word);
  return isCaseSwitch(word);
}

// The job value that "source" names; anything unknown means the frames.
int32_t sourceValue(const Expansion& e, const char* section) {
  char word[kTemplateValueSize];
  readText(e, section, "source", "frame", word);
  const JobRecord& job = *e.job;
  Source source;
  findSource(word, &source);
  switch (source) {
    case Source::length: return job.lengthSeconds;
    case Source::time: return job.timeSeconds;
    case Source::filter: return job.filters;
    case Source::pixel: return job.pixels;
    case Source::frame: break;
  }
  return job.frames;
}

// The thresholds of one section in case mode, read from the file while the
// expansion's allowance lasts.
struct ThresholdRead {
  Expansion* e;
  const char* section;
};

bool readThreshold(void* context, int32_t index, int32_t* value) {
  ThresholdRead& read = *static_cast<ThresholdRead*>(context);
  if (read.e->thresholdsLeft == 0) {
    read.e->spent = true;
    return false;
  }
  --read.e->thresholdsLeft;
  char name[16];
  snprintf(name, sizeof name, "case%d", index);
  *value = readInt(*read.e, read.section, name, 0);
  return true;
}

// The key whose alternative the section yields: by value in case mode, by
// the clock otherwise. Returns 0 when there is none ("pattern" 0 in random
// mode: no key can be chosen from no alternatives).
int32_t chooseKey(Expansion& e, const char* section) {
  int32_t count = readInt(e, section, "pattern", 1);
  // One alternative is key 1 in either mode, so "switch" is not read: every
  // profile read opens and closes the file (some 56 us under Wine).
  if (!choiceReadsSwitch(count)) return 1;
  if (switchIsCase(e, section)) {
    ThresholdRead read{&e, section};
    return caseModeKey(sourceValue(e, section), count, readThreshold, &read);
  }
  int32_t now = e.clockFixed ? e.fixedNow : static_cast<int32_t>(time(nullptr));
  return randomModeKey(count, now);
}

// The chosen alternative of `section`, parsed. Its buffer lives only here,
// not across the recursion that expands the alternative's variables.
ScriptSegment* readAlternative(const Expansion& e, const char* section, int32_t key) {
  char name[16];
  snprintf(name, sizeof name, "%d", key);
  char text[kTemplateValueSize];
  readText(e, section, name, "", text);
  return parseScriptText(text);
}

// Joins the chain into one new text and releases it, also on failure.
char* joinSegments(ScriptSegment* head) {
  size_t length = 0;
  for (ScriptSegment* s = head; s != nullptr; s = s->next) length += strlen(s->text);
  char* joined = static_cast<char*>(malloc(length + 1));
  if (joined != nullptr) {
    char* end = joined;
    for (ScriptSegment* s = head; s != nullptr; s = s->next) {
      size_t piece = strlen(s->text);
      memcpy(end, s->text, piece);
      end += piece;
    }
    *end = '\0';
  }
  releaseScriptSegments(head);
  return joined;
}

// Expands `name` as a section at nesting level `depth` (the top level is 1).
char* expandName(Expansion& e, const char* name, int32_t depth) {
  if (e.expansionsLeft == 0) {
    e.spent = true;
    return copyText("");
  }
  --e.expansionsLeft;

  Keyword keyword = findKeyword(name);
  if (keyword != Keyword::none) {
    char* text = keywordText(keyword, *e.job);
    if (text != nullptr && !chargeBytes(e, strlen(text))) text[0] = '\0';
    return text;
  }

  int32_t key = chooseKey(e, name);
  ScriptSegment* head = key != 0 ? readAlternative(e, name, key) : parseScriptText("");
  if (head == nullptr) return nullptr;
  for (ScriptSegment* s = head; s != nullptr; s = s->next) {
    if (!s->isVariable) {
      if (!chargeBytes(e, strlen(s->text))) s->text[0] = '\0';
      continue;
    }
    s->isVariable = false;
    if (e.spent || depth >= kMaxSectionDepth) {
      s->text[0] = '\0';  // a cycle, or no work left: the variable yields nothing
      continue;
    }
    char* value = expandName(e, s->text, depth + 1);
    if (value == nullptr) {
      releaseScriptSegments(head);
      return nullptr;
    }
    free(s->text);
    s->text = value;
  }
  return joinSegments(head);
}

char* expandTopLevel(const char* name, const JobRecord& job, bool clockFixed, int32_t now) {
  Expansion e;
  e.job = &job;
  memcpy(e.templatePath, job.templatePath, sizeof(job.templatePath));
  e.templatePath[sizeof(job.templatePath)] = '\0';
  e.clockFixed = clockFixed;
  e.fixedNow = now;
  e.expansionsLeft = kMaxExpansions;
  e.thresholdsLeft = kMaxThresholdReads;
  e.bytesLeft = kMaxScriptBytes;
  e.spent = false;
  return expandName(e, name, 1);
}

}  // namespace

char* expandSection(const char* name, const JobRecord& job) { return expandTopLevel(name, job, false, 0); }

char* expandSectionAt(const char* name, const JobRecord& job, int32_t now) {
  return expandTopLevel(name, job, true, now);
}

char* formatDuration(int32_t seconds) {
  int32_t days = seconds / 86400;
  int32_t hours = (seconds / 3600) % 24;
  int32_t minutes = (seconds / 60) % 60;
  int32_t rest = seconds % 60;
  if (days != 0) return printText("%d \x93\xFA\x82\xC6 %d \x8E\x9E\x8A\xD4", days, hours);  // %d 日と %d 時間
  if (hours != 0) return printText("%d \x8E\x9E\x8A\xD4 %d \x95\xAA", hours, minutes);     // %d 時間 %d 分
  if (minutes != 0) return printText("%d \x95\xAA %d \x95\x62", minutes, rest);            // %d 分 %d 秒
  return printText("%d \x95\x62", rest);                                                   // %d 秒
}
