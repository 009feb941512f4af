// composeSstpMessage with any script and ghost name: the request is the
// fixed lines with both texts inserted unchanged, 106 bytes plus the ghost
// name and the script (SSTP/1.4 with IfGhost), or 95 plus the script for
// an empty ghost name (SSTP/1.1). Composition only: delivery goes over the
// network and is not fuzzed.
//
// Input: the ghost name up to a NUL, then the script up to the next NUL or
// the end.
#include <stdlib.h>
#include <string.h>

#include <string>

#include "FuzzSupport.h"
#include "sstp/SstpNotifier.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  char* ghost = exactText(data, size);
  size_t ghostLength = strlen(ghost);
  size_t used = ghostLength < size ? ghostLength + 1 : size;
  char* script = exactText(data + used, size - used);
  size_t scriptLength = strlen(script);

  char* request = composeSstpMessage(script, ghost);
  FUZZ_CHECK(request != nullptr);
  size_t length = strlen(request);
  FUZZ_CHECK(length == (ghostLength > 0 ? 106 + ghostLength + scriptLength : 95 + scriptLength));

  std::string expected = ghostLength > 0 ? "SEND SSTP/1.4\r\n" : "SEND SSTP/1.1\r\n";
  expected += "Sender: AviUtl with SSTP\r\nCharset: Shift_JIS\r\n";
  if (ghostLength > 0) expected += std::string("IfGhost: ") + ghost + "\r\n";
  expected += std::string("Script: ") + script + "\\e\r\nOption: nodescript\r\n\r\n";
  FUZZ_CHECK(expected == request);

  free(request);
  free(script);
  free(ghost);
  return 0;
}
