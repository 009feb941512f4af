// parseScriptText on any text: the chain keeps its shape, holds only bytes
// of the input in their order, and is released whole (LeakSanitizer).
#include <stdlib.h>
#include <string.h>

#include <string>

#include "FuzzSupport.h"
#include "template/ScriptParser.h"
#include "template/SjisText.h"

namespace {

// True when `part` is `whole` with some bytes left out (the parser only
// drops dollar signs and brackets; it adds and reorders nothing).
bool isSubsequence(const std::string& part, const char* whole) {
  size_t i = 0;
  for (const char* p = whole; *p != '\0' && i < part.size(); ++p) {
    if (*p == part[i]) ++i;
  }
  return i == part.size();
}

// A text without names joins to itself less what the escapes drop: one
// '$' of each "$$", the brackets of "${}", "$()" and "$[]", and the "$"
// and bracket of one that is never closed. So the first dollar sign stands
// for one in the result, unless it opens a bracket never closed (two
// segments).
void checkTextWithoutNames(const char* text, const std::string& joined, size_t segments) {
  FUZZ_CHECK(isSubsequence(joined, text));
  bool dollarIn = false;
  for (const char* p = text; *p != '\0'; p += sjisStep(p)) dollarIn = dollarIn || *p == '$';
  FUZZ_CHECK(!dollarIn || joined.find('$') != std::string::npos || segments == 2);
  if (strpbrk(text, "{([") == nullptr) {
    // Without brackets every dollar sign is "$$", "$ " or the last
    // character: the text with each "$$" made one '$'.
    std::string expected;
    for (const char* p = text; *p != '\0';) {
      int32_t step = sjisStep(p);
      expected.append(p, step);
      p += p[0] == '$' && p[1] == '$' ? 2 : step;
    }
    FUZZ_CHECK(joined == expected);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  char* text = exactText(data, size);
  ScriptSegment* head = parseScriptText(text);
  FUZZ_CHECK(head != nullptr);  // small inputs: memory is there

  // Segment i (from 0): the even ones are literal text; an odd one is a
  // dollar construct (a variable, or a literal "$"), or the literal rest
  // behind a bracket never closed, which is then the last segment.
  std::string all;     // every segment's text in order, names included
  std::string joined;  // the literal texts only
  bool hasVariable = false;
  size_t index = 0;
  const ScriptSegment* last = nullptr;
  for (const ScriptSegment* s = head; s != nullptr; s = s->next, ++index) {
    FUZZ_CHECK(s->text != nullptr);
    FUZZ_CHECK(s->isVariable == 0 || s->isVariable == 1);
    if (s->isVariable) {
      FUZZ_CHECK(index % 2 == 1);
      FUZZ_CHECK(s->text[0] != '\0');
      hasVariable = true;
    } else {
      joined += s->text;
    }
    all += s->text;
    last = s;
  }
  FUZZ_CHECK(index >= 1);
  FUZZ_CHECK(!head->isVariable);
  FUZZ_CHECK(!last->isVariable);

  size_t length = strlen(text);
  FUZZ_CHECK(all.size() <= length);
  FUZZ_CHECK(isSubsequence(all, text));
  if (strchr(text, '$') == nullptr) {
    // Nothing to split: one literal, the text itself.
    FUZZ_CHECK(index == 1 && joined == text);
  }
  if (!hasVariable) checkTextWithoutNames(text, joined, index);

  releaseScriptSegments(head);
  free(text);
  return 0;
}
