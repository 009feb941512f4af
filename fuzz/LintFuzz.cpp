// `tpp lint` on any file: it reports, it never crashes, hangs (libFuzzer's
// -timeout) or leaks. The report goes to /dev/null; an odd-sized input
// also converts it to UTF-8.
#include <stdio.h>

#include <string>

#include "FuzzSupport.h"
#include "TppLint.h"
#include "TppOutput.h"

namespace {

FILE* sink;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setUpScratch();
  sink = fopen("/dev/null", "w");
  FUZZ_CHECK(sink != nullptr);
  // The first conversion loads the converter's tables for good; done here,
  // no run is charged with it.
  FUZZ_CHECK(writeScriptText(sink, "\x82\xA0", true));  // あ
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string path = writeScratchFile(data, size);
  const char* paths[] = {path.c_str()};
  int status = lintTemplateFiles(1, paths, (size & 1) != 0, sink, sink);
  FUZZ_CHECK(status == 0 || status == 1);  // the file is there and readable
  removeScratchFile(path);
  flushProfileCache();
  return 0;
}
