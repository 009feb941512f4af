// Section expansion of a generated template with generated job values:
// "start" and "end" always give a text within kMaxScriptBytes, and end in
// bounded time however the sections name each other (libFuzzer's -timeout
// reports an expansion that does not). A script holds no byte that a
// profile read left unwritten: the stand-in writes kProfileUnwrittenByte
// there unless the buffer held 0, so a script that holds that byte while
// neither the template nor the output name does read one.
//
// Input: nine little-endian int32 (frames, lengthSeconds, timeSeconds,
// filters, pixels, width, height, fpsTimes100 and the clock), missing ones
// 0; then the output name up to a NUL (260 bytes without one fill the
// field with no terminator, as a careless host may leave it); the rest is
// the template file.
#include <stdlib.h>
#include <string.h>

#include <string>

#include "FuzzSupport.h"
#include "template/JobRecord.h"
#include "template/SectionExpansion.h"

namespace {

int32_t takeInt(const uint8_t*& data, size_t& size) {
  uint32_t value = 0;
  for (int i = 0; i < 4; ++i) {
    if (size > 0) {
      value |= static_cast<uint32_t>(*data) << (8 * i);
      ++data;
      --size;
    }
  }
  return static_cast<int32_t>(value);
}

void expandAndCheck(const char* name, const JobRecord& job, int32_t now, bool inputHoldsMarker) {
  char* script = expandSectionAt(name, job, now);
  FUZZ_CHECK(script != nullptr);
  size_t length = strlen(script);
  FUZZ_CHECK(length <= static_cast<size_t>(kMaxScriptBytes));
  FUZZ_CHECK(inputHoldsMarker || !holdsUnwrittenMarker(script, length));
  free(script);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setUpScratch();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  JobRecord job;
  memset(&job, 0, sizeof job);
  job.frames = takeInt(data, size);
  job.lengthSeconds = takeInt(data, size);
  job.timeSeconds = takeInt(data, size);
  job.filters = takeInt(data, size);
  job.pixels = takeInt(data, size);
  job.width = takeInt(data, size);
  job.height = takeInt(data, size);
  job.fpsTimes100 = takeInt(data, size);
  int32_t now = takeInt(data, size);

  size_t nameLength = 0;
  while (nameLength < size && nameLength < sizeof job.outputName && data[nameLength] != '\0') ++nameLength;
  memcpy(job.outputName, data, nameLength);
  size_t used = nameLength < size && nameLength < sizeof job.outputName ? nameLength + 1 : nameLength;
  data += used;
  size -= used;

  std::string path = writeScratchFile(data, size);
  FUZZ_CHECK(path.size() < sizeof job.templatePath);
  memcpy(job.templatePath, path.c_str(), path.size() + 1);

  bool inputHoldsMarker =
      holdsUnwrittenMarker(job.outputName, sizeof job.outputName) || holdsUnwrittenMarker(data, size);
  expandAndCheck("start", job, now, inputHoldsMarker);
  expandAndCheck("end", job, now, inputHoldsMarker);
  removeScratchFile(path);
  flushProfileCache();
  return 0;
}
