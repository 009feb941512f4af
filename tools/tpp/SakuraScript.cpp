#include "SakuraScript.h"

#include <stddef.h>

#include "PatternPieces.h"
#include "common/Cp932.h"

namespace {

// One byte of the script as the alternative's literal text gives it, or a
// whole variable; start and end are its place in the alternative's text
// ("$$" is one '$' of two bytes there).
struct Unit {
  bool variable;
  unsigned char byte;  // not for a variable
  size_t start;
  size_t end;
};

struct Scan {
  const std::string& text;
  std::vector<Unit> units;
  std::vector<ScriptFault> faults;
};

std::vector<Unit> unitsOf(const std::string& text) {
  std::vector<Unit> units;
  for (const PatternPiece& piece : splitPattern(text).pieces) {
    size_t end = piece.start + piece.length;
    if (piece.kind == PieceKind::variable) {
      units.push_back(Unit{true, 0, piece.start, end});
    } else if (piece.kind == PieceKind::dollar) {
      units.push_back(Unit{false, '$', piece.start, end});
    } else {
      for (size_t i = piece.start; i < end; i++) {
        units.push_back(Unit{false, static_cast<unsigned char>(text[i]), i, i + 1});
      }
    }
  }
  return units;
}

bool isByte(const Scan& scan, size_t i, unsigned char byte) {
  return i < scan.units.size() && !scan.units[i].variable && scan.units[i].byte == byte;
}

// The units of the character at `i`: 2 for a lead byte followed by a byte
// that continues it, 1 for any other byte and for a variable. A lead byte
// right before a variable stands alone, since the variable is opaque.
size_t charUnits(const Scan& scan, size_t i) {
  const std::vector<Unit>& u = scan.units;
  if (u[i].variable || !isCp932LeadByte(u[i].byte)) return 1;
  return i + 1 < u.size() && !u[i + 1].variable && isCp932TrailByte(u[i + 1].byte) ? 2 : 1;
}

void addFault(Scan& scan, ScriptFaultKind kind, size_t from, size_t to) {
  size_t start = scan.units[from].start;
  size_t end = scan.units[to - 1].end;
  scan.faults.push_back(ScriptFault{kind, scan.text.substr(start, end - start)});
}

// From the unit after an argument's '['. Returns true with *after the unit
// after its ']', or false when the text never closes it.
bool skipArgument(const Scan& scan, size_t i, size_t* after) {
  size_t count = scan.units.size();
  while (i < count) {
    if (isByte(scan, i, ']')) {
      *after = i + 1;
      return true;
    }
    if (isByte(scan, i, '\\')) {
      i++;  // the backslash escapes the character after it
      if (i == count) break;
    }
    i += charUnits(scan, i);
  }
  *after = count;
  return false;
}

// Checks the tag named by units [nameStart, nameEnd) of the tag at `start`.
void checkTagName(Scan& scan, size_t start, size_t nameStart, size_t nameEnd) {
  if (nameEnd != nameStart + 1 || scan.units[nameStart].variable) return;
  unsigned char name = scan.units[nameStart].byte;
  if (name == 'e') addFault(scan, ScriptFaultKind::scriptEnd, start, nameEnd);
  if (name == '-') addFault(scan, ScriptFaultKind::quit, start, nameEnd);
  if (name == 'w') {
    bool digit = nameEnd < scan.units.size() &&
                 (scan.units[nameEnd].variable || (scan.units[nameEnd].byte >= '1' && scan.units[nameEnd].byte <= '9'));
    if (!digit) addFault(scan, ScriptFaultKind::waitWithoutDigit, start, nameEnd);
  }
}

// At a backslash (unit `start`). Returns the unit after the escape or tag.
size_t scanTag(Scan& scan, size_t start) {
  size_t count = scan.units.size();
  size_t i = start + 1;
  if (i == count) {
    addFault(scan, ScriptFaultKind::trailingBackslash, start, i);
    return i;
  }
  if (isByte(scan, i, '\\') || isByte(scan, i, '[') || isByte(scan, i, ']')) return i + 1;  // an escape
  if (isByte(scan, i, '_')) {
    i++;
    if (isByte(scan, i, '_')) i++;
  }
  if (i < count) i += charUnits(scan, i);
  checkTagName(scan, start, start + 1, i);
  if (!isByte(scan, i, '[')) return i;
  size_t after;
  if (!skipArgument(scan, i + 1, &after)) addFault(scan, ScriptFaultKind::unclosedArgument, start, i + 1);
  return after;
}

}  // namespace

std::vector<ScriptFault> findScriptFaults(const std::string& text) {
  Scan scan{text, unitsOf(text), {}};
  for (size_t i = 0; i < scan.units.size();) {
    i = isByte(scan, i, '\\') ? scanTag(scan, i) : i + charUnits(scan, i);
  }
  return scan.faults;
}
