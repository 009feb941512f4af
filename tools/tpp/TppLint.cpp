// `tpp lint`: reports what makes a template say less than its author meant.
//
// Values are read through the profile functions exactly as the plug-in
// reads them (readTemplateValue into the plug-in's buffer sizes,
// GetPrivateProfileIntA), and read whole too where the plug-in's read may
// have cut them. The profile functions can't tell where a key stands or
// which keys a section holds, so a scan of the file's lines supplies both.
// The scan reads each line as the native profile stand-ins do
// (common/ProfileLine.h) and folds names the same way (common/Cp932.h), the
// first section of a name hiding any later one and the first key of a name
// any later one.
#include "TppLint.h"

#include "PatternPieces.h"
#include "ProfileNames.h"
#include "SakuraScript.h"
#include "TppOutput.h"

#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/Cp932.h"
#include "common/ProfileLine.h"
#include "template/SectionChoice.h"
#include "template/SectionExpansion.h"
#include "template/SjisText.h"
#include "template/TemplateCatalog.h"
#include "template/TemplateValue.h"

namespace {

// The plug-in reads an alternative into 2048 bytes and a ghost into 260.
constexpr int kAlternativeLimit = kTemplateValueSize - 1;
constexpr int kGhostLimit = static_cast<int>(kGhostNameSize) - 1;
// Alternatives and thresholds are checked one by one up to this count per
// file; a "pattern" that goes beyond it is reported as such and its
// alternatives are not listed. Per file, since a line of a few bytes per
// section would otherwise buy 100,000 checks each.
constexpr int32_t kCheckedAlternatives = 100000;
// Large enough to learn the whole length of any value the scan found.
constexpr DWORD kValueBuffer = 65536;

enum class Severity { warning, error };

struct Report {
  int line;
  Severity severity;
  std::string message;
};

struct ScannedKey {
  std::string name;      // trimmed, as written
  std::string rawValue;  // trimmed text behind the '=', as written
  int line;
};

struct ScannedSection {
  std::string name;  // trimmed, as written
  int line;
  int canonical;  // index of the first section of this name (itself if first)
  std::vector<ScannedKey> keys;  // first key of each name only
  std::unordered_map<std::string, size_t> keyIndex;  // folded name -> index in keys
};

struct Edge {
  int target;  // section index
  int line;    // line of the alternative that names it
};

struct LintFile {
  std::string path;         // as given, for the reports
  std::string profilePath;  // as handed to the profile functions
  std::vector<ScannedSection> sections;
  std::vector<std::vector<Edge>> edges;  // per section
  std::vector<Report> reports;
  int errorCount = 0;
  int64_t alternativesLeft = kCheckedAlternatives;  // checks left for this file
};

void report(LintFile& file, int line, Severity severity, const char* format, ...)
    __attribute__((format(printf, 4, 5)));

void report(LintFile& file, int line, Severity severity, const char* format, ...) {
  char buffer[1024];
  va_list args;
  va_start(args, format);
  vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  file.reports.push_back(Report{line, severity, buffer});
  if (severity == Severity::error) file.errorCount++;
}

// ---- Names as the profile functions compare them -------------------------

bool sameProfileName(const std::string& a, const std::string& b) { return foldedName(a) == foldedName(b); }

int findSection(const LintFile& file, const std::string& name) {
  for (size_t i = 0; i < file.sections.size(); i++) {
    if (file.sections[i].canonical == static_cast<int>(i) && sameProfileName(file.sections[i].name, name))
      return static_cast<int>(i);
  }
  return -1;
}

// A lookup, not a scan: the checks look up every key from 1 to "pattern".
const ScannedKey* findKey(const ScannedSection& section, const std::string& name) {
  auto found = section.keyIndex.find(foldedName(name));
  return found != section.keyIndex.end() ? &section.keys[found->second] : nullptr;
}

// ---- The line scan --------------------------------------------------------

// Returns the first byte sequence in [begin, end) that is not code page 932
// text, or null; *length gets its length: 1 for a byte that is no character
// (0x80, 0xA0, 0xFD-0xFF) or a lead byte cut off by the end, 2 for a lead
// byte and the byte that can't follow it.
const char* findInvalidSjis(const char* begin, const char* end, int* length) {
  for (const char* p = begin; p < end;) {
    unsigned char lead = static_cast<unsigned char>(*p);
    size_t step = cp932CharLength(p, end);
    if (lead == 0x80 || lead == 0xA0 || lead >= 0xFD) {
      *length = 1;
      return p;
    }
    if (isCp932LeadByte(lead) && step == 1) {
      *length = p + 1 < end ? 2 : 1;
      return p;
    }
    p += step;
  }
  return nullptr;
}

// True when `bytes` holds at least one multi-byte UTF-8 sequence and nothing
// that isn't UTF-8: Shift_JIS text almost never passes this test.
bool looksLikeUtf8(const std::string& bytes) {
  bool multiByte = false;
  for (size_t i = 0; i < bytes.size();) {
    unsigned char c = static_cast<unsigned char>(bytes[i]);
    size_t extra;
    if (c < 0x80) extra = 0;
    else if (c >= 0xC2 && c <= 0xDF) extra = 1;
    else if (c >= 0xE0 && c <= 0xEF) extra = 2;
    else if (c >= 0xF0 && c <= 0xF4) extra = 3;
    else return false;
    if (i + extra >= bytes.size()) return false;  // a sequence cut by the end
    for (size_t k = 1; k <= extra; k++) {
      unsigned char t = static_cast<unsigned char>(bytes[i + k]);
      if (t < 0x80 || t > 0xBF) return false;
    }
    multiByte = multiByte || extra > 0;
    i += extra + 1;
  }
  return multiByte;
}

void reportInvalidSjis(LintFile& file, const char* begin, const char* end, int line) {
  int length = 0;
  const char* at = findInvalidSjis(begin, end, &length);
  if (at == nullptr) return;
  if (length == 2) {
    report(file, line, Severity::error, "bytes 0x%02X 0x%02X are not valid Shift_JIS",
           static_cast<unsigned char>(at[0]), static_cast<unsigned char>(at[1]));
  } else {
    report(file, line, Severity::error, "byte 0x%02X is not valid Shift_JIS", static_cast<unsigned char>(at[0]));
  }
}

// A section header line; `name` as readProfileLine found it.
void scanSectionHeader(LintFile& file, std::string name, int line) {
  ScannedSection section{std::move(name), line, 0, {}, {}};
  int first = findSection(file, section.name);
  section.canonical = first >= 0 ? first : static_cast<int>(file.sections.size());
  if (first >= 0) {
    report(file, line, Severity::warning, "section \"%s\" is repeated; only its first occurrence (line %d) is read",
           section.name.c_str(), file.sections[first].line);
  }
  file.sections.push_back(section);
}

// A key line. One whose name begins with '[' is a section header without
// ']', which the profile functions read as a key of the section above.
void scanKeyLine(LintFile& file, const char* text, const ProfileLine& read, int line) {
  std::string name(text + read.nameStart, read.nameEnd - read.nameStart);
  bool bracketed = name[0] == '[';
  if (bracketed) {
    if (read.hasValue) {
      report(file, line, Severity::error,
             "section header has no closing ']'; the line is read as key \"%s\" of the section above",
             name.c_str());
    } else {
      report(file, line, Severity::error, "section header has no closing ']'; the line is not read as a section");
      return;
    }
  }
  bool inSection = !file.sections.empty();
  bool commentLike = name[0] == ';' || name[0] == '#';
  if (!read.hasValue) {
    if (inSection && !commentLike) {
      report(file, line, Severity::warning,
             "line has no '=' and is not read (an alternative must stay on one line)");
    }
    return;
  }
  ScannedKey key{name, std::string(text + read.valueStart, read.valueEnd - read.valueStart), line};
  if (!inSection) {
    if (!commentLike && !bracketed) {
      report(file, line, Severity::warning, "key \"%s\" stands before the first section and is never read",
             key.name.c_str());
    }
    return;
  }
  ScannedSection& section = file.sections.back();
  if (section.canonical != static_cast<int>(file.sections.size()) - 1) return;  // hidden section
  if (const ScannedKey* earlier = findKey(section, key.name)) {
    report(file, line, Severity::warning, "key \"%s\" is repeated; only its first value (line %d) is read",
           key.name.c_str(), earlier->line);
    return;
  }
  section.keys.push_back(key);
  section.keyIndex.emplace(foldedName(key.name), section.keys.size() - 1);
}

// One line of the file, without its line end.
void scanLine(LintFile& file, const char* begin, const char* end, int line, bool checkSjis) {
  if (checkSjis) reportInvalidSjis(file, begin, end, line);
  ProfileLine read = readProfileLine(begin, 0, static_cast<size_t>(end - begin));
  if (read.kind == ProfileLineKind::blank) return;
  if (read.kind == ProfileLineKind::section) {
    scanSectionHeader(file, std::string(begin + read.nameStart, read.nameEnd - read.nameStart), line);
    return;
  }
  scanKeyLine(file, begin, read, line);
}

bool hasNonAscii(const char* begin, const char* end) {
  for (const char* p = begin; p < end; p++) {
    if (static_cast<unsigned char>(*p) >= 0x80) return true;
  }
  return false;
}

void scanFile(LintFile& file, const std::string& bytes) {
  bool utf8 = looksLikeUtf8(bytes);
  const char* text = bytes.data();
  const char* end = text + bytes.size();
  int line = 1;
  bool utf8Reported = false;
  // A line ends at CR LF, LF or a lone CR, as the profile functions read it.
  for (const char* lineStart = text; lineStart < end; line++) {
    const char* lineEnd = lineStart;
    while (lineEnd < end && *lineEnd != '\r' && *lineEnd != '\n') lineEnd++;
    const char* next = lineEnd;
    if (next < end && *next == '\r') next++;
    if (next < end && *next == '\n') next++;
    // A UTF-8 file is reported once, at its first line that is not ASCII.
    if (utf8 && !utf8Reported && hasNonAscii(lineStart, lineEnd)) {
      report(file, line, Severity::error, "the file is UTF-8, not Shift_JIS; save it as Shift_JIS (code page 932)");
      utf8Reported = true;
    }
    scanLine(file, lineStart, lineEnd, line, !utf8);
    lineStart = next;
  }
}

// ---- Values through the profile functions --------------------------------

std::string readValue(const LintFile& file, const ScannedSection& section, const char* key) {
  std::vector<char> buffer(kValueBuffer);
  size_t length = readTemplateValue(file.profilePath.c_str(), section.name.c_str(), key, "", buffer.data(), kValueBuffer);
  return std::string(buffer.data(), length);
}

// A text value as the plug-in reads it into `size` bytes.
struct PluginValue {
  std::string text;           // the bytes the plug-in gets
  size_t wholeLength;         // of the value in the file (up to kValueBuffer - 1)
  bool cutInsideCharacter;    // the read lost a double-byte character at its end
};

PluginValue readAsPlugin(const LintFile& file, const ScannedSection& section, const char* key, size_t size) {
  std::vector<char> buffer(size);
  size_t length = readTemplateValue(file.profilePath.c_str(), section.name.c_str(), key, "", buffer.data(), size);
  PluginValue value{std::string(buffer.data(), length), length, false};
  // A value the read cut is at least size - 2 bytes long; read whole, it
  // shows whether a double-byte character stood where the cut fell.
  if (length + 2 >= size) {
    std::string whole = readValue(file, section, key);
    value.wholeLength = whole.size();
    value.cutInsideCharacter = length + 2 == size && whole.size() > length &&
                               cp932CharLength(whole.data() + length, whole.data() + whole.size()) == 2;
  }
  return value;
}

// `what` names the value ("alternative 3", "\"ghost\"").
void reportCutCharacter(LintFile& file, int line, const PluginValue& value, const char* what) {
  if (!value.cutInsideCharacter) return;
  report(file, line, Severity::warning,
         "%s is cut inside a double-byte character: the plug-in reads only its first %d bytes and loses that "
         "character",
         what, static_cast<int>(value.text.size()));
}

int32_t readInteger(const LintFile& file, const ScannedSection& section, const char* key, int32_t fallback) {
  return static_cast<int32_t>(
      GetPrivateProfileIntA(section.name.c_str(), key, fallback, file.profilePath.c_str()));
}

enum class NumberShape { wholeNumber, numberWithText, notANumber };

// How a value reads as a decimal integer: "12", "12 frames" or "abc".
NumberShape numberShape(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && isProfileBlank(static_cast<unsigned char>(text[i]))) i++;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) i++;
  size_t digits = i;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') i++;
  if (i == digits) return NumberShape::notANumber;
  while (i < text.size() && isProfileBlank(static_cast<unsigned char>(text[i]))) i++;
  return i == text.size() ? NumberShape::wholeNumber : NumberShape::numberWithText;
}

// Reads a numeric key; reports a value that is not a plain number.
int32_t readNumber(LintFile& file, const ScannedSection& section, const ScannedKey& key, int32_t fallback,
                   const char* notANumberEffect) {
  std::string text = readValue(file, section, key.name.c_str());
  int32_t value = readInteger(file, section, key.name.c_str(), fallback);
  switch (numberShape(text)) {
    case NumberShape::notANumber:
      report(file, key.line, Severity::warning, "\"%s\" is \"%s\", not a number; %s", key.name.c_str(),
             text.c_str(), notANumberEffect);
      break;
    case NumberShape::numberWithText:
      report(file, key.line, Severity::warning, "\"%s\" is \"%s\" and is read as %d", key.name.c_str(),
             text.c_str(), static_cast<int>(value));
      break;
    case NumberShape::wholeNumber:
      break;
  }
  return value;
}

// ---- Alternatives --------------------------------------------------------

// The longest keyword or section name that `name` starts with, for the hint
// on a plain variable that ran into the text behind it ("$frame枚").
std::string knownPrefixOf(const LintFile& file, const std::string& name) {
  std::string best;
  std::string whole = foldedName(name);
  auto consider = [&](const std::string& candidate) {
    std::string f = foldedName(candidate);
    if (!f.empty() && f.size() < whole.size() && whole.compare(0, f.size(), f) == 0 &&
        f.size() > best.size())
      best = candidate;
  };
  for (int32_t i = 0; i < static_cast<int32_t>(Keyword::none); i++) consider(keywordName(static_cast<Keyword>(i)));
  for (const ScannedSection& section : file.sections) consider(section.name);
  return best;
}

// Every variable of an alternative names a keyword or a section; a section
// it names becomes an edge of the section it stands in. An opening bracket
// that is never closed is reported (the rest is literal text then).
void checkAlternativeText(LintFile& file, int sectionIndex, const ScannedKey& key, const std::string& text) {
  constexpr char kOpeners[4][3] = {"$", "${", "$(", "$["};
  constexpr char kClosers[4] = {' ', '}', ')', ']'};
  PatternPieces split = splitPattern(text);
  if (split.unclosed) {
    int form = static_cast<int>(split.unclosedForm);
    report(file, key.line, Severity::error,
           "\"%s\" is never closed by '%c'; the rest of the text is sent as it stands", kOpeners[form],
           kClosers[form]);
  }
  for (const PatternPiece& piece : split.pieces) {
    if (piece.kind != PieceKind::variable) continue;
    std::string name = pieceName(text, piece);
    if (findKeyword(name.c_str()) != Keyword::none) continue;
    int target = findSection(file, name);
    if (target >= 0) {
      file.edges[sectionIndex].push_back(Edge{target, key.line});
      continue;
    }
    std::string prefix = piece.form == VariableForm::plain ? knownPrefixOf(file, name) : std::string();
    if (!prefix.empty()) {
      report(file, key.line, Severity::error,
             "variable \"%s\" names neither a keyword nor a section and expands to nothing "
             "(a plain $name runs up to the next blank or '$': write ${%s})",
             name.c_str(), prefix.c_str());
    } else {
      report(file, key.line, Severity::error,
             "variable \"%s\" names neither a keyword nor a section and expands to nothing", name.c_str());
    }
  }
}

// What the mascot does with each fault of the SakuraScript; a fault that an
// alternative holds more than once is reported once.
void checkSakuraScript(LintFile& file, const ScannedKey& key, const std::string& text) {
  bool reported[static_cast<int>(ScriptFaultKind::trailingBackslash) + 1] = {};
  for (const ScriptFault& fault : findScriptFaults(text)) {
    bool& once = reported[static_cast<int>(fault.kind)];
    if (once) continue;
    once = true;
    switch (fault.kind) {
      case ScriptFaultKind::scriptEnd:
        report(file, key.line, Severity::error,
               "\"\\e\" ends the script here; the rest of the alternative and all that the script holds after "
               "it are never shown (the plug-in ends every script with its own \"\\e\")");
        break;
      case ScriptFaultKind::quit:
        report(file, key.line, Severity::error, "\"\\-\" makes the mascot program quit");
        break;
      case ScriptFaultKind::unclosedArgument:
        report(file, key.line, Severity::error,
               "\"%s\" is never closed by ']'; the mascot shows the rest of the script as text or drops it",
               fault.tag.c_str());
        break;
      case ScriptFaultKind::waitWithoutDigit:
        report(file, key.line, Severity::warning,
               "\"\\w\" is not followed by a digit from 1 to 9 and is no wait; write \\w1 to \\w9, or "
               "\\_w[milliseconds]");
        break;
      case ScriptFaultKind::trailingBackslash:
        report(file, key.line, Severity::warning,
               "the text ends with a lone \"\\\", which makes a tag of what follows it (at the end of the "
               "script the plug-in's closing \"\\e\" is shown as text)");
        break;
    }
  }
}

// Reports a run of missing alternatives [first, last].
void reportMissing(LintFile& file, const ScannedSection& section, int32_t first, int32_t last) {
  if (first == last) {
    report(file, section.line, Severity::error,
           "section \"%s\": alternative %d is missing; the section says nothing when it is chosen",
           section.name.c_str(), static_cast<int>(first));
  } else {
    report(file, section.line, Severity::error,
           "section \"%s\": alternatives %d to %d are missing; the section says nothing when one is chosen",
           section.name.c_str(), static_cast<int>(first), static_cast<int>(last));
  }
}

// ---- One section ---------------------------------------------------------

// "pattern" as the plug-in reads it (1 when missing); reports a value that
// can't count the alternatives.
int32_t readPattern(LintFile& file, const ScannedSection& section) {
  const ScannedKey* key = findKey(section, "pattern");
  if (key == nullptr) return 1;
  std::string text = readValue(file, section, key->name.c_str());
  int32_t n = readInteger(file, section, key->name.c_str(), 1);
  NumberShape shape = numberShape(text);
  if (shape == NumberShape::notANumber) {
    report(file, key->line, Severity::error, "\"pattern\" is \"%s\", not a number; it must count the alternatives",
           text.c_str());
  } else if (n == 0) {
    report(file, key->line, Severity::error, "\"pattern\" is 0; a section needs 1 or more alternatives");
  } else if (shape == NumberShape::numberWithText) {
    report(file, key->line, Severity::warning, "\"pattern\" is \"%s\" and is read as %d", text.c_str(),
           static_cast<int>(n));
  } else if (n < 0) {
    report(file, key->line, Severity::warning, "\"pattern\" is negative (%d); write the number of alternatives",
           static_cast<int>(n));
  }
  return n;
}

// True when "switch" chooses by thresholds; reports a word that is neither
// "case" nor "random".
bool readCaseMode(LintFile& file, const ScannedSection& section) {
  const ScannedKey* key = findKey(section, "switch");
  if (key == nullptr) return false;
  PluginValue word = readAsPlugin(file, section, key->name.c_str(), kTemplateValueSize);
  if (isCaseSwitch(word.text.c_str())) return true;
  if (sameTextIgnoringCase(word.text.c_str(), "random") != 0) {
    report(file, key->line, Severity::warning,
           "\"switch\" is \"%s\", neither \"case\" nor \"random\"; the alternatives are chosen at random",
           word.text.c_str());
  }
  reportCutCharacter(file, key->line, word, "\"switch\"");
  return false;
}

// Takes `count` alternatives from the file's checks. Returns false, with an
// error, when a section holds far too many or the file's checks run out.
bool takeAlternativeChecks(LintFile& file, const ScannedSection& section, int32_t n, int64_t count) {
  if (count > kCheckedAlternatives) {
    report(file, section.line, Severity::error,
           "section \"%s\": \"pattern\" %d is far more alternatives than a template holds; check the number",
           section.name.c_str(), static_cast<int>(n));
    return false;
  }
  if (count > file.alternativesLeft) {
    report(file, section.line, Severity::error,
           "section \"%s\": \"pattern\" %d takes the file's alternatives above %d, far more than a template "
           "holds; the section is not checked",
           section.name.c_str(), static_cast<int>(n), static_cast<int>(kCheckedAlternatives));
    return false;
  }
  file.alternativesLeft -= count;
  return true;
}

void checkSource(LintFile& file, const ScannedSection& section) {
  const ScannedKey* key = findKey(section, "source");
  if (key == nullptr) return;
  PluginValue word = readAsPlugin(file, section, key->name.c_str(), kTemplateValueSize);
  Source source;
  if (!findSource(word.text.c_str(), &source)) {
    report(file, key->line, Severity::warning,
           "\"source\" is \"%s\", not one of frame, length, time, filter, pixel; the number of frames decides",
           word.text.c_str());
  }
  reportCutCharacter(file, key->line, word, "\"source\"");
}

// The thresholds case1 to case(n-1) in case mode. Alternative i (1 < i < n)
// is chosen for values from the largest threshold before it up to case i; it
// is never chosen when case i is not above every threshold before it, and
// then chosen[i - 1] is cleared.
void checkThresholds(LintFile& file, const ScannedSection& section, int32_t n, std::vector<bool>* chosen) {
  const char* name = section.name.c_str();
  int32_t highest = 0;
  int highestIndex = 0;
  for (int32_t i = 1; i <= n - 1; i++) {
    char keyName[24];
    snprintf(keyName, sizeof keyName, "case%d", static_cast<int>(i));
    const ScannedKey* key = findKey(section, keyName);
    int32_t threshold = key ? readNumber(file, section, *key, 0, "it reads as 0") : 0;
    bool never = i > 1 && threshold <= highest;
    if (never) (*chosen)[static_cast<size_t>(i - 1)] = false;
    if (key == nullptr && never) {
      report(file, section.line, Severity::warning,
             "section \"%s\": threshold \"%s\" is missing (it reads as 0), so alternative %d can never be chosen",
             name, keyName, static_cast<int>(i));
    } else if (key == nullptr) {
      report(file, section.line, Severity::warning, "section \"%s\": threshold \"%s\" is missing and reads as 0",
             name, keyName);
    } else if (never) {
      report(file, key->line, Severity::warning,
             "section \"%s\": alternative %d can never be chosen: %s (%d) is not greater than case%d (%d)", name,
             static_cast<int>(i), keyName, static_cast<int>(threshold), highestIndex, static_cast<int>(highest));
    }
    if (i == 1 || threshold > highest) {
      highest = threshold;
      highestIndex = static_cast<int>(i);
    }
  }
}

// In random mode "source" and the thresholds are never read; the first of
// them is reported.
void reportCaseKeysInRandomMode(LintFile& file, const ScannedSection& section) {
  const ScannedKey* unused = findKey(section, "source");
  for (const ScannedKey& key : section.keys) {
    if (unused == nullptr && numberedKey(key.name, "case") > 0) unused = &key;
  }
  if (unused != nullptr) {
    report(file, unused->line, Severity::warning,
           "\"%s\" is read only with \"switch\" set to \"case\"; this section chooses at random",
           unused->name.c_str());
  }
}

// One alternative that is there: its length as the plug-in reads it, its
// quotes and its variables.
void checkAlternative(LintFile& file, int index, const ScannedKey& key, int32_t k) {
  PluginValue value = readAsPlugin(file, file.sections[index], key.name.c_str(), kTemplateValueSize);
  if (static_cast<int>(value.wholeLength) > kAlternativeLimit) {
    report(file, key.line, Severity::warning, "alternative %d is %d bytes long; only its first %d bytes are read",
           static_cast<int>(k), static_cast<int>(value.wholeLength), kAlternativeLimit);
  }
  char what[32];
  snprintf(what, sizeof what, "alternative %d", static_cast<int>(k));
  reportCutCharacter(file, key.line, value, what);
  const std::string& text = value.text;
  const std::string& raw = key.rawValue;
  if (!raw.empty() && (raw[0] == '"' || raw[0] == '\'') && (raw.size() == 1 || raw.back() != raw[0])) {
    report(file, key.line, Severity::warning,
           "alternative %d opens a quote that it does not close; the quote is sent as text", static_cast<int>(k));
  }
  checkAlternativeText(file, index, key, text);
  checkSakuraScript(file, key, text);
}

// The alternatives 1 to `count` that can be chosen must be there; runs of
// missing ones are reported together.
void checkAlternatives(LintFile& file, int index, int64_t count, const std::vector<bool>& chosen) {
  const ScannedSection& section = file.sections[index];
  int32_t missingFrom = 0;
  for (int32_t k = 1; k <= count; k++) {
    char keyName[16];
    snprintf(keyName, sizeof keyName, "%d", static_cast<int>(k));
    bool canBeChosen = chosen[static_cast<size_t>(k - 1)];
    const ScannedKey* key = canBeChosen ? findKey(section, keyName) : nullptr;
    if (key == nullptr && canBeChosen) {
      if (missingFrom == 0) missingFrom = k;
      continue;
    }
    if (missingFrom != 0) reportMissing(file, section, missingFrom, k - 1);
    missingFrom = 0;
    if (key != nullptr) checkAlternative(file, index, *key, k);
  }
  if (missingFrom != 0) reportMissing(file, section, missingFrom, static_cast<int32_t>(count));
}

// Keys the plug-in never reads: thresholds beyond case(n-1), alternatives
// above "pattern" and any other name.
void reportUnreadKeys(LintFile& file, const ScannedSection& section, int32_t n, int64_t count, bool caseMode) {
  for (const ScannedKey& key : section.keys) {
    std::string f = foldedName(key.name);
    if (f == "pattern" || f == "switch" || f == "source") continue;
    int64_t threshold = numberedKey(key.name, "case");
    if (threshold > 0) {
      if (caseMode && threshold >= n) {
        report(file, key.line, Severity::warning,
               "threshold \"%s\" is not read: with \"pattern\" %d the thresholds end at case%d", key.name.c_str(),
               static_cast<int>(n), static_cast<int>(n - 1));
      }
      continue;
    }
    int64_t alternative = numberedKey(key.name, "");
    if (alternative > 0) {
      if (alternative > count && n != 0) {  // "pattern" 0 is reported already
        report(file, key.line, Severity::warning, "alternative %s is above \"pattern\" (%d) and is never chosen",
               key.name.c_str(), static_cast<int>(n));
      }
      continue;
    }
    if (key.name[0] == '[') continue;  // reported where the line was scanned
    report(file, key.line, Severity::warning, "key \"%s\" is not read by the plug-in%s", key.name.c_str(),
           key.name[0] == ';' ? " (a line with '=' is a key even when it starts with ';')" : "");
  }
}

// Checks one section's settings and chosen alternatives; fills its edges.
void checkSection(LintFile& file, int index) {
  const ScannedSection& section = file.sections[index];
  int32_t n = readPattern(file, section);
  bool caseMode = readCaseMode(file, section);
  int64_t count = choosableKeyCount(n, caseMode);
  if (!takeAlternativeChecks(file, section, n, count)) return;

  std::vector<bool> chosen(static_cast<size_t>(count), true);  // chosen[k - 1] for alternative k
  if (caseMode) {
    checkSource(file, section);
    checkThresholds(file, section, n, &chosen);
  } else {
    reportCaseKeysInRandomMode(file, section);
  }
  checkAlternatives(file, index, count, chosen);
  reportUnreadKeys(file, section, n, count, caseMode);
}

// ---- Cycles --------------------------------------------------------------

// Depth-first walk over the sections named by variables; every edge back
// into the walk's current path closes a cycle.
void checkCycles(LintFile& file, const std::vector<int>& order) {
  enum class Visit { unvisited, onPath, done };
  std::vector<Visit> state(file.sections.size(), Visit::unvisited);
  std::vector<std::string> reported;
  struct Frame {
    int section;
    size_t nextEdge;
  };
  for (int root : order) {
    if (state[root] != Visit::unvisited) continue;
    std::vector<Frame> path{{root, 0}};
    state[root] = Visit::onPath;
    while (!path.empty()) {
      Frame& top = path.back();
      if (top.nextEdge == file.edges[top.section].size()) {
        state[top.section] = Visit::done;
        path.pop_back();
        continue;
      }
      Edge edge = file.edges[top.section][top.nextEdge++];
      if (state[edge.target] == Visit::unvisited) {
        state[edge.target] = Visit::onPath;
        path.push_back(Frame{edge.target, 0});
      } else if (state[edge.target] == Visit::onPath) {
        std::string chain;
        size_t from = 0;
        while (path[from].section != edge.target) from++;
        for (size_t i = from; i < path.size(); i++) chain += file.sections[path[i].section].name + " -> ";
        chain += file.sections[edge.target].name;
        if (std::find(reported.begin(), reported.end(), chain) != reported.end()) continue;
        reported.push_back(chain);
        report(file, edge.line, Severity::error,
               "cycle of sections: %s (it repeats until the nesting limit of %d cuts it off)", chain.c_str(),
               static_cast<int>(kMaxSectionDepth));
      }
    }
  }
}

// ---- One file -------------------------------------------------------------

// Every section but "config"; "config" holds the ghost and is a section like
// any other only when a variable names it.
void checkSections(LintFile& file, int config) {
  for (size_t i = 0; i < file.sections.size(); i++) {
    const ScannedSection& section = file.sections[i];
    if (section.canonical != static_cast<int>(i)) continue;
    Keyword keyword = findKeyword(section.name.c_str());
    if (keyword != Keyword::none) {
      report(file, section.line, Severity::warning,
             "section \"%s\" is named like the keyword \"%s\" and can never be expanded", section.name.c_str(),
             keywordName(keyword));
    }
    if (static_cast<int>(i) != config) checkSection(file, static_cast<int>(i));
  }
  if (config < 0) return;
  bool named = false;
  for (const std::vector<Edge>& edges : file.edges) {
    for (const Edge& edge : edges) named = named || edge.target == config;
  }
  if (named) checkSection(file, config);
}

void reportStartAndEnd(LintFile& file, int start, int end) {
  if (start < 0 && end < 0) {
    report(file, 1, Severity::error, "no section \"start\" and no section \"end\"; nothing would ever be sent");
  } else if (start < 0) {
    report(file, 1, Severity::warning, "no section \"start\"; nothing is sent when a save begins");
  } else if (end < 0) {
    report(file, 1, Severity::warning, "no section \"end\"; nothing is sent when a save ends");
  }
}

// An explicit empty "ghost=" is a template for any ghost; a missing key is
// more likely forgotten.
void checkGhost(LintFile& file, int config) {
  const ScannedKey* ghost = config >= 0 ? findKey(file.sections[config], "ghost") : nullptr;
  if (ghost == nullptr) {
    report(file, config >= 0 ? file.sections[config].line : 1, Severity::warning,
           "no \"ghost\" in section \"config\"; requests go out as SSTP/1.1 without a ghost condition "
           "(write an empty \"ghost=\" if that is meant)");
    return;
  }
  PluginValue value = readAsPlugin(file, file.sections[config], ghost->name.c_str(), kGhostNameSize);
  if (static_cast<int>(value.wholeLength) > kGhostLimit) {
    report(file, ghost->line, Severity::warning, "\"ghost\" is %d bytes long; only its first %d bytes are read",
           static_cast<int>(value.wholeLength), kGhostLimit);
  }
  reportCutCharacter(file, ghost->line, value, "\"ghost\"");
}

void checkFile(LintFile& file) {
  file.edges.assign(file.sections.size(), {});
  int start = findSection(file, "start");
  int end = findSection(file, "end");
  int config = findSection(file, "config");
  checkSections(file, config);

  std::vector<int> order;
  if (start >= 0) order.push_back(start);
  if (end >= 0) order.push_back(end);
  for (size_t i = 0; i < file.sections.size(); i++) order.push_back(static_cast<int>(i));
  checkCycles(file, order);

  reportStartAndEnd(file, start, end);
  checkGhost(file, config);
}

bool readWholeFile(const char* path, std::string* bytes) {
  FILE* in = fopen(path, "rb");
  if (in == nullptr) return false;
  char chunk[8192];
  size_t got;
  while ((got = fread(chunk, 1, sizeof chunk, in)) > 0) bytes->append(chunk, got);
  bool ok = ferror(in) == 0;
  fclose(in);
  return ok;
}

// The profile functions look a bare file name up in the Windows folder, so
// a name without a folder is made relative to the current one.
std::string profilePathOf(const char* path) {
  if (strchr(path, '\\') == nullptr && strchr(path, '/') == nullptr) return std::string(".\\") + path;
  return path;
}

// Writes the reports of `file` ordered by line. Returns false when `out`
// failed, with a message on `err`.
bool writeReports(LintFile& file, bool utf8, FILE* out, FILE* err) {
  std::stable_sort(file.reports.begin(), file.reports.end(),
                   [](const Report& a, const Report& b) { return a.line < b.line; });
  for (const Report& r : file.reports) {
    // The path as typed; the message may quote the template's own text.
    fprintf(out, "%s:%d: %s: ", file.path.c_str(), r.line, r.severity == Severity::error ? "error" : "warning");
    std::string message = r.message + "\n";
    if (!writeScriptText(out, message.c_str(), utf8)) {
      fprintf(err, "tpp lint: cannot write the report\n");
      return false;
    }
  }
  return true;
}

}  // namespace


int lintTemplateFiles(int count, const char* const* paths, bool utf8, FILE* out, FILE* err) {
  int status = 0;
  for (int i = 0; i < count; i++) {
    std::string bytes;
    if (!readWholeFile(paths[i], &bytes)) {
      fprintf(err, "%s: error: cannot read the file\n", paths[i]);
      status = 2;
      continue;
    }
    LintFile file;
    file.path = paths[i];
    file.profilePath = profilePathOf(paths[i]);
    scanFile(file, bytes);
    checkFile(file);
    if (!writeReports(file, utf8, out, err)) return 2;
    if (file.errorCount > 0 && status == 0) status = 1;
  }
  fflush(out);
  return status;
}
