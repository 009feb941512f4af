// Splits a pattern text into literal pieces and variables:
//   $name   ends at the first space or dollar sign (which stays in the text)
//   ${name} $(name) $[name]   end at their own closing character
//   $$      one literal dollar sign
// An empty name gives a literal "$"; an unterminated bracket form drops the
// dollar sign and the opening bracket and keeps the rest as literal text.
#pragma once

#include <stdint.h>

struct ScriptSegment {
  ScriptSegment* next;  // null in the last segment
  char* text;           // owned; literal text, or the variable's name
  bool isVariable;      // `text` is a name still to be expanded
};

// The form is told by the byte after the dollar sign; the value indexes the
// closing characters ' ', '}', ')', ']'.
enum class VariableForm : int32_t {
  plain = 0,        // $name
  braces = 1,       // ${name}
  parentheses = 2,  // $(name)
  brackets = 3,     // $[name]
};

// Finds the next dollar sign in `text`. Returns true and sets *before to the
// number of bytes before it and *form to the form told by the byte after it;
// returns false when there is none, with *before the length of the whole
// text.
bool findNextVariable(const char* text, int32_t* before, VariableForm* form);

// From the first byte of a name, finds its end for `form`. Returns true with
// *length the name's length in bytes; returns false for a bracket form that
// is never closed, with *length the length of the whole rest.
bool findNameEnd(const char* text, VariableForm form, int32_t* length);

// Returns the head of a new chain for `text` (never an empty chain; the
// first and last segments are literal). Returns null only when memory
// cannot be had, after releasing what it had built.
ScriptSegment* parseScriptText(const char* text);

// Releases a chain with every text in it. Null does nothing.
void releaseScriptSegments(ScriptSegment* head);
