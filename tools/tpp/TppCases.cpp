// `tpp cases`: every value is read through the profile functions, as the
// plug-in reads it, and each section is read once per run. The conditions
// come from the plug-in's own choosing rules (template/SectionChoice.h).
#include "TppCases.h"

#include <stdio.h>
#include <string.h>
#include <windows.h>

#include <algorithm>
#include <map>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "PatternPieces.h"
#include "ProfileNames.h"
#include "TppJobOptions.h"
#include "TppOutput.h"
#include "template/SectionChoice.h"
#include "template/SectionExpansion.h"
#include "template/TemplateValue.h"

const char* const kCasesUsage = "cases FILE [--section NAME]... [--utf8]";

namespace {

// One past the largest job value.
constexpr int64_t kValueEnd = static_cast<int64_t>(INT32_MAX) + 1;
// The name lists of the profile functions are read into at most this much.
constexpr DWORD kMaxNameList = 64u << 20;
// Output is handed on in pieces of about this size.
constexpr size_t kOutputChunk = 64 * 1024;

// ---- Conditions ---------------------------------------------------------

// The thresholds as caseModeKey asks for them: the ones given, 0 for the
// ones missing, none behind `readable`.
struct ThresholdList {
  const std::vector<int32_t>* values;
  int32_t readable;
};

bool readListedThreshold(void* context, int32_t index, int32_t* value) {
  const ThresholdList& list = *static_cast<const ThresholdList*>(context);
  if (index > list.readable) return false;
  size_t i = static_cast<size_t>(index - 1);
  *value = i < list.values->size() ? (*list.values)[i] : 0;
  return true;
}

// The values low <= v < high, where low INT32_MIN and high kValueEnd are no
// bound at all.
std::string rangeText(int64_t low, int64_t high, const char* word) {
  std::string w = word;
  bool fromAny = low == INT32_MIN;
  bool toAny = high == kValueEnd;
  if (fromAny && toAny) return "any " + w;
  if (fromAny) return w + " < " + std::to_string(high);
  if (toAny) return w + " >= " + std::to_string(low);
  return std::to_string(low) + " <= " + w + " < " + std::to_string(high);
}

// ---- Reading the template ----------------------------------------------

std::string readText(const char* path, const char* section, const char* key, const char* fallback) {
  char buffer[kTemplateValueSize];
  readTemplateValue(path, section, key, fallback, buffer, sizeof buffer);
  return buffer;
}

// The section names of the file (null `section`) or the key names of one
// section, as the profile functions list them.
std::vector<std::string> readNameList(const char* path, const char* section) {
  std::vector<char> buffer;
  DWORD got = 0;
  for (DWORD size = 64 * 1024;; size *= 2) {
    buffer.assign(size, '\0');
    got = GetPrivateProfileStringA(section, nullptr, "", buffer.data(), size, path);
    // size - 2 means the list was cut; size - 1 that its double-byte names did not fit.
    if (got + 2 < size || size >= kMaxNameList) break;
  }
  std::vector<std::string> names;
  for (DWORD i = 0; i < got;) {
    size_t length = strnlen(buffer.data() + i, got - i);
    if (length > 0) names.emplace_back(buffer.data() + i, length);
    i += static_cast<DWORD>(length) + 1;
  }
  return names;
}

struct Alternative {
  int32_t key;
  std::string condition;
  std::string text;                // as the plug-in reads it
  std::vector<std::string> names;  // what it names, once each, keywords left out
};

enum class Shape { listed, nothingChosen, tooMany };

struct SectionInfo {
  Shape shape;
  int32_t pattern;
  int64_t choosable;  // keys 1 to choosable can be chosen
  int64_t keysAbove;  // numbered keys above them
  std::vector<Alternative> alternatives;
};

// The names that `text` gives its variables, in order, once each (as the
// profile functions compare names); keywords are left out.
std::vector<std::string> namesIn(const std::string& text) {
  std::vector<std::string> names;
  std::unordered_set<std::string> seen;
  for (const PatternPiece& piece : splitPattern(text).pieces) {
    if (piece.kind != PieceKind::variable) continue;
    std::string name = pieceName(text, piece);
    if (findKeyword(name.c_str()) != Keyword::none) continue;
    if (seen.insert(foldedName(name)).second) names.push_back(name);
  }
  return names;
}

int64_t countKeysAbove(const char* path, const char* section, int64_t choosable) {
  std::unordered_set<std::string> above;
  for (const std::string& key : readNameList(path, section)) {
    if (numberedKey(key, "") > choosable) above.insert(foldedName(key));
  }
  return static_cast<int64_t>(above.size());
}

// The conditions of keys 1 to info.choosable.
std::vector<std::string> conditionsOf(const char* path, const char* section, const SectionInfo& info, bool caseMode) {
  std::vector<std::string> conditions;
  if (!caseMode) {
    for (int64_t k = 1; k <= info.choosable; k++) {
      conditions.push_back("random " + std::to_string(k) + "/" + std::to_string(info.choosable));
    }
    return conditions;
  }
  std::vector<int32_t> thresholds;
  int64_t readable = std::min<int64_t>(info.choosable - 1, kMaxThresholdReads);
  for (int64_t i = 1; i <= readable; i++) {
    std::string key = "case" + std::to_string(i);
    thresholds.push_back(static_cast<int32_t>(GetPrivateProfileIntA(section, key.c_str(), 0, path)));
  }
  Source source;
  findSource(readText(path, section, "source", "frame").c_str(), &source);
  return caseModeConditions(info.pattern, thresholds, sourceName(source));
}

SectionInfo readSection(const char* path, const char* section) {
  SectionInfo info{Shape::listed, 0, 0, 0, {}};
  info.pattern = static_cast<int32_t>(GetPrivateProfileIntA(section, "pattern", 1, path));
  // With 1 or -1 the plug-in takes key 1 without reading "switch"; it is
  // read here all the same, to word the condition by the section's mode.
  bool caseMode = isCaseSwitch(readText(path, section, "switch", "random").c_str());
  info.choosable = choosableKeyCount(info.pattern, caseMode);
  info.keysAbove = countKeysAbove(path, section, info.choosable);
  if (!caseMode && info.pattern == 0) {
    info.shape = Shape::nothingChosen;
    return info;
  }
  if (info.choosable > kListedAlternatives) {
    info.shape = Shape::tooMany;
    return info;
  }
  std::vector<std::string> conditions = conditionsOf(path, section, info, caseMode);
  for (int64_t k = 1; k <= info.choosable; k++) {
    std::string key = std::to_string(k);
    Alternative alternative{static_cast<int32_t>(k), conditions[static_cast<size_t>(k - 1)],
                            readText(path, section, key.c_str(), ""), {}};
    alternative.names = namesIn(alternative.text);
    info.alternatives.push_back(std::move(alternative));
  }
  return info;
}

// ---- The tree ----------------------------------------------------------

struct CasesRun {
  const char* file;  // as the profile functions take it
  bool utf8;
  FILE* out;
  std::string pending;  // output not yet written
  bool writeFailed;
  std::unordered_set<std::string> sections;            // folded names of the file's sections
  std::unordered_map<std::string, SectionInfo> infos;  // by folded name
  std::vector<std::pair<std::string, std::string>> shown;  // folded and written name, first shown first
  std::vector<std::string> path;  // folded names from the top to here
  int64_t linesLeft;
  bool stopped;
};

void flushOutput(CasesRun& run) {
  if (!run.pending.empty() && !run.writeFailed && !writeScriptText(run.out, run.pending.c_str(), run.utf8)) {
    run.writeFailed = true;
  }
  run.pending.clear();
}

void addLine(CasesRun& run, const std::string& line) {
  run.pending += line;
  run.pending += '\n';
  if (run.pending.size() >= kOutputChunk) flushOutput(run);
}

// A line of the tree at `depth` (0 at the top). Returns false once the
// tree's line allowance is spent; the first refusal says so.
bool addTreeLine(CasesRun& run, int depth, const std::string& text) {
  if (run.linesLeft == 0) {
    if (!run.stopped) addLine(run, "(stopped after " + std::to_string(kListedLines) + " lines)");
    run.stopped = true;
    return false;
  }
  --run.linesLeft;
  addLine(run, std::string(static_cast<size_t>(depth) * 2, ' ') + text);
  return true;
}

const SectionInfo& sectionInfo(CasesRun& run, const std::string& folded, const std::string& name) {
  auto found = run.infos.find(folded);
  if (found != run.infos.end()) return found->second;
  run.shown.emplace_back(folded, name);
  return run.infos.emplace(folded, readSection(run.file, name.c_str())).first->second;
}

void showName(CasesRun& run, const std::string& name, int depth);

// The alternatives of a section that is entered, each with what it names.
void showAlternatives(CasesRun& run, const std::string& name, const std::string& folded, int depth) {
  const SectionInfo& info = sectionInfo(run, folded, name);
  const std::string head = "[" + name + "] ";
  if (info.shape == Shape::nothingChosen) {
    addTreeLine(run, depth, head + "(pattern 0 in random mode: nothing is chosen)");
    return;
  }
  if (info.shape == Shape::tooMany) {
    addTreeLine(run, depth, head + "(pattern " + std::to_string(info.pattern) + ": more than " +
                                std::to_string(kListedAlternatives) + " alternatives, not listed)");
    return;
  }
  run.path.push_back(folded);
  for (const Alternative& alternative : info.alternatives) {
    std::string line = head + std::to_string(alternative.key) + " (" + alternative.condition + "): ";
    if (!addTreeLine(run, depth, line + alternative.text)) break;
    for (const std::string& named : alternative.names) showName(run, named, depth + 1);
  }
  run.path.pop_back();
}

void showName(CasesRun& run, const std::string& name, int depth) {
  if (run.stopped) return;
  std::string folded = foldedName(name);
  const std::string head = "[" + name + "] ";
  if (depth == 0 && findKeyword(name.c_str()) != Keyword::none) {
    addTreeLine(run, depth, head + "(keyword)");
  } else if (run.sections.count(folded) == 0) {
    addTreeLine(run, depth, head + "(empty)");
  } else if (std::find(run.path.begin(), run.path.end(), folded) != run.path.end()) {
    addTreeLine(run, depth, head + "(cycle)");
  } else if (depth >= kMaxSectionDepth) {
    // The plug-in expands a variable only inside the first 32 levels.
    addTreeLine(run, depth, head + "(too deep)");
  } else {
    showAlternatives(run, name, folded, depth);
  }
}

// One closing line for each section shown that holds keys above its
// choosable ones.
void addClosingLines(CasesRun& run) {
  for (const auto& entry : run.shown) {
    const SectionInfo& info = run.infos.at(entry.first);
    if (info.keysAbove == 0) continue;
    bool one = info.keysAbove == 1;
    addLine(run, "[" + entry.second + "] " + std::to_string(info.keysAbove) + (one ? " key" : " keys") +
                     " above " + std::to_string(info.choosable) + (one ? " is" : " are") +
                     " never chosen and not listed");
  }
}

}  // namespace

std::vector<std::string> caseModeConditions(int32_t n, const std::vector<int32_t>& thresholds, const char* word) {
  int64_t count = choosableKeyCount(n, true);
  ThresholdList list{&thresholds, static_cast<int32_t>(std::min<int64_t>(count - 1, kMaxThresholdReads))};
  // The choice can change only where the value reaches a threshold, so all
  // values from one breakpoint up to the next choose the same key: the
  // plug-in's rule is asked once for each such stretch.
  std::vector<int64_t> breakpoints{INT32_MIN};
  for (int32_t i = 1; i <= list.readable; i++) {
    int32_t threshold;
    readListedThreshold(&list, i, &threshold);
    breakpoints.push_back(threshold);
  }
  std::sort(breakpoints.begin(), breakpoints.end());
  breakpoints.erase(std::unique(breakpoints.begin(), breakpoints.end()), breakpoints.end());
  std::map<int32_t, std::pair<int64_t, int64_t>> ranges;  // key -> [low, high)
  for (size_t i = 0; i < breakpoints.size(); i++) {
    int64_t low = breakpoints[i];
    int64_t high = i + 1 < breakpoints.size() ? breakpoints[i + 1] : kValueEnd;
    int32_t key = caseModeKey(static_cast<int32_t>(low), n, readListedThreshold, &list);
    auto found = ranges.find(key);
    // A key's values are one stretch: at least every threshold before it,
    // below its own.
    if (found == ranges.end()) {
      ranges.emplace(key, std::make_pair(low, high));
    } else {
      found->second.second = high;
    }
  }
  std::vector<std::string> conditions;
  for (int64_t k = 1; k <= count; k++) {
    auto found = ranges.find(static_cast<int32_t>(k));
    conditions.push_back(found == ranges.end() ? "never chosen"
                                               : rangeText(found->second.first, found->second.second, word));
  }
  return conditions;
}

bool writeCases(const char* templatePath, const std::vector<std::string>& sections, bool utf8, FILE* out) {
  CasesRun run{templatePath, utf8, out, {}, false, {}, {}, {}, {}, kListedLines, false};
  for (const std::string& section : readNameList(run.file, nullptr)) run.sections.insert(foldedName(section));
  for (const std::string& section : sections) showName(run, section, 0);
  addClosingLines(run);
  flushOutput(run);
  return !run.writeFailed && fflush(out) == 0;
}

int runCasesCommand(int argc, char** args) {
  std::vector<std::string> sections;
  bool utf8 = false;
  std::vector<CommandOption> known = {
      {"--section", "NAME", "", [&sections](const std::string& value) -> std::string {
         sections.push_back(value);
         return "";
       }},
      {"--utf8", nullptr, "", setSwitch(&utf8)},
  };
  std::vector<std::string> words;
  int status = readVerbArguments("cases", kCasesUsage, argc, args, known, 1, 1, "FILE is", &words);
  if (status >= 0) return status;
  JobRecord job{};
  if (!setTemplateFile("cases", words[0].c_str(), &job)) return 2;
  if (sections.empty()) sections = {"start", "end"};
  if (writeCases(job.templatePath, sections, utf8, stdout)) return 0;
  fprintf(stderr, "tpp cases: cannot write the list%s\n", utf8 ? " as UTF-8" : "");
  return 1;
}
