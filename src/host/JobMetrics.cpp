#include "host/JobMetrics.h"

#include <string.h>

#include "job/SaveJob.h"
#include "template/SjisText.h"

namespace {

// Frames asked for at most; longer ranges are extrapolated from these.
constexpr int32_t kSampleFrames = 60;
// A filter with any of these flag bits is not a running frame filter.
constexpr uint32_t kExcludedFilterFlags = 0x208004;
constexpr uint32_t kActiveFilterFlag = 0x1;
constexpr size_t kOutputNameSize = 260;

// Fills the host's system information into `record`; false when the host
// has no such function or does not answer.
bool readSystemInfo(HostFilterDescriptor* filter, void* editHandle,
                           uint32_t (&record)[kSystemInfoWords]) {
  HostFunctionTable* functions = hostFunctions(filter);
  if (functions == nullptr || functions->systemInfo == nullptr) return false;
  memset(record, 0, sizeof record);
  return functions->systemInfo(editHandle, record) != 0;
}

}  // namespace

int32_t countSaveFrames(HostFilterDescriptor* filter, int32_t firstFrame, int32_t endFrame,
                        void* editHandle) {
  HostFunctionTable* functions = hostFunctions(filter);
  if (functions == nullptr || functions->isSaveFrame == nullptr) return 0;
  // In 64 bits: end - first spans up to 2^32 - 1, and length * written
  // passes 32 bits for ranges above 35,791,394 frames. The result is at most
  // the length and is held at INT32_MAX.
  int64_t length = static_cast<int64_t>(endFrame) - firstFrame;
  if (length <= 0) return 0;
  int32_t asked = length < kSampleFrames ? static_cast<int32_t>(length) : kSampleFrames;
  int32_t written = 0;
  for (int32_t i = 0; i < asked; i++) {
    // The answer is a truth value: any nonzero answer is one written frame,
    // so the sample never exceeds the frames asked for. firstFrame + i lies
    // below endFrame, so the frame number fits.
    if (functions->isSaveFrame(editHandle, firstFrame + i) != 0) written++;
  }
  if (length < kSampleFrames) return written;
  int64_t count = length * written / kSampleFrames;
  return count > INT32_MAX ? INT32_MAX : static_cast<int32_t>(count);
}

int32_t countActiveFilters(HostFilterDescriptor* filter, void* editHandle) {
  uint32_t info[kSystemInfoWords];
  if (!readSystemInfo(filter, editHandle, info)) return 0;
  HostFunctionTable* functions = hostFunctions(filter);
  if (functions->filterRecord == nullptr) return 0;
  int32_t filterCount = static_cast<int32_t>(info[kSystemInfoFilterCount]);
  int32_t active = 0;
  for (int32_t index = 0; index < filterCount; index++) {
    const HostFilterDescriptor* other = functions->filterRecord(index);
    if (other == nullptr) continue;  // a host fault: nothing to look at
    if ((other->flags & kExcludedFilterFlags) != 0) continue;
    if ((other->flags & kActiveFilterFlag) == 0) continue;
    if (other->frameProcessing == nullptr) continue;
    active++;
  }
  return active;
}

int32_t frameRateTimes100(HostFilterDescriptor* filter, void* editHandle) {
  HostFunctionTable* functions = hostFunctions(filter);
  if (functions == nullptr || functions->fileInfo == nullptr) return kDefaultFpsTimes100;
  uint32_t info[kFileInfoWords] = {};
  if (functions->fileInfo(editHandle, info) == 0) return kDefaultFpsTimes100;
  return fpsTimes100Of(static_cast<int32_t>(info[kFileInfoRate]), static_cast<int32_t>(info[kFileInfoScale]));
}

void copyOutputName(HostFilterDescriptor* filter, void* editHandle, char* destination) {
  destination[0] = '\0';
  uint32_t info[kSystemInfoWords];
  if (!readSystemInfo(filter, editHandle, info)) return;
  const char* name = reinterpret_cast<const char*>(static_cast<uintptr_t>(info[kSystemInfoOutputName]));
  if (name == nullptr) return;
  // Whole characters only, as many as fit before the terminator.
  size_t used = 0;
  while (name[used] != '\0') {
    size_t step = static_cast<size_t>(sjisStep(name + used));
    if (used + step > kOutputNameSize - 1) break;
    used += step;
  }
  memcpy(destination, name, used);
  destination[used] = '\0';
}
