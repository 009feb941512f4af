#include "template/ScriptParser.h"

#include <stdlib.h>
#include <string.h>

#include "template/SjisText.h"

namespace {

// Closing character of each form, indexed by VariableForm. The plain form
// ends at a space, and at a dollar sign as well (see findNameEnd).
const char kClosingCharacter[4] = {' ', '}', ')', ']'};

// A zeroed segment: literal, no text, no successor.
ScriptSegment* newSegment() { return static_cast<ScriptSegment*>(calloc(1, sizeof(ScriptSegment))); }

// A new text holding the `length` bytes at `bytes` and a terminator.
char* copyBytes(const char* bytes, int32_t length) {
  char* text = static_cast<char*>(malloc(static_cast<size_t>(length) + 1));
  if (text == nullptr) return nullptr;
  memcpy(text, bytes, static_cast<size_t>(length));
  text[length] = '\0';
  return text;
}

}  // namespace

// Every scan steps with sjisStep, which never passes the terminator, and
// compares only first bytes: the 0x7D in マ (0x83 0x7D) closes no brace.
bool findNextVariable(const char* text, int32_t* before, VariableForm* form) {
  int32_t i = 0;
  while (text[i] != '\0' && text[i] != '$') i += sjisStep(text + i);
  *before = i;
  if (text[i] == '\0') return false;
  switch (text[i + 1]) {
    case '{': *form = VariableForm::braces; break;
    case '(': *form = VariableForm::parentheses; break;
    case '[': *form = VariableForm::brackets; break;
    default: *form = VariableForm::plain; break;
  }
  return true;
}

bool findNameEnd(const char* text, VariableForm form, int32_t* length) {
  const char closing = kClosingCharacter[static_cast<int32_t>(form)];
  int32_t i = 0;
  while (text[i] != '\0') {
    if (text[i] == closing || (form == VariableForm::plain && text[i] == '$')) {
      *length = i;
      return true;
    }
    i += sjisStep(text + i);
  }
  *length = i;
  return form == VariableForm::plain;
}

ScriptSegment* parseScriptText(const char* text) {
  ScriptSegment* head = newSegment();
  if (head == nullptr) return nullptr;
  ScriptSegment* current = head;
  const char* position = text;
  int32_t rest;  // bytes of the last literal, at `position`

  for (;;) {
    int32_t before;
    VariableForm form;
    if (!findNextVariable(position, &before, &form)) {
      rest = before;
      break;
    }
    current->text = copyBytes(position, before);
    ScriptSegment* variable = newSegment();
    current->next = variable;
    if (current->text == nullptr || variable == nullptr) goto fail;

    position += before + 1;
    if (form != VariableForm::plain) position += 1;  // the opening bracket

    int32_t nameLength;
    if (!findNameEnd(position, form, &nameLength)) {
      // Never closed: the dollar sign and the bracket are dropped and the
      // rest, later dollar signs included, is one literal.
      current = variable;
      rest = nameLength;
      break;
    }
    if (nameLength > 0) {
      variable->text = copyBytes(position, nameLength);
      variable->isVariable = true;
    } else {
      variable->text = copyBytes("$", 1);
      // "$$" is one dollar sign; a space that follows a lone "$" stays.
      if (form == VariableForm::plain && *position == '$') position += 1;
    }
    ScriptSegment* following = newSegment();
    variable->next = following;
    if (variable->text == nullptr || following == nullptr) goto fail;
    current = following;

    position += nameLength;
    if (form != VariableForm::plain) position += 1;  // the closing character
  }

  current->text = copyBytes(position, rest);
  if (current->text == nullptr) goto fail;
  return head;

fail:
  releaseScriptSegments(head);
  return nullptr;
}

void releaseScriptSegments(ScriptSegment* head) {
  while (head != nullptr) {
    ScriptSegment* next = head->next;
    free(head->text);
    free(head);
    head = next;
  }
}
