#include "host/SaveNotifications.h"

#include <stdint.h>
#include <stdlib.h>
#include <time.h>

#include "estimate/Estimator.h"
#include "host/JobMetrics.h"
#include "host/ModuleState.h"
#include "sstp/SstpNotifier.h"
#include "template/SectionExpansion.h"

namespace {

int32_t wallClockSeconds() { return static_cast<int32_t>(time(nullptr)); }

// The frame after `frame`, without passing the largest frame number.
int32_t frameAfter(int32_t frame) { return frame < INT32_MAX ? frame + 1 : INT32_MAX; }

int32_t clampToInt32(int64_t value) {
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

// numerator / denominator, truncated toward zero; 0 when the denominator is
// 0 (a save that ends in the second it began, a frame rate of 0).
int32_t quotientOrZero(int64_t numerator, int32_t denominator) {
  return denominator != 0 ? clampToInt32(numerator / denominator) : 0;
}

// Expands the section `name` of the chosen template and, when the script is
// not empty, sends it to the mascot server. Without a chosen template (the
// window not yet initialised, or destroyed) there is nothing to expand.
// Without memory for the script or the request the notice is skipped.
void notify(const char* name) {
  if (jobRecord.templatePath[0] == '\0') return;
  char* script = expandSection(name, jobRecord);
  if (script != nullptr && script[0] != '\0') {
    char* request = composeSstpMessage(script, ghostName);
    if (request != nullptr) sendSstpMessage(request, serverPort);
    free(request);
  }
  free(script);
}

}  // namespace

int32_t __cdecl onSaveStart(HostFilterDescriptor* filter, int32_t firstFrame, int32_t lastFrame,
                            void* editHandle) {
  saveStartTime = wallClockSeconds();
  saveStartFrame = firstFrame;
  jobRecord.frames = countSaveFrames(filter, firstFrame, frameAfter(lastFrame), editHandle);
  jobRecord.filters = countActiveFilters(filter, editHandle);
  // The host writes the size straight into the record; if it writes
  // nothing, the earlier values stay.
  HostFunctionTable* host = hostFunctions(filter);
  if (host != nullptr && host->pictureSize != nullptr) {
    host->pictureSize(editHandle, 0, nullptr, &jobRecord.width, &jobRecord.height);
  }
  // 32-bit product; a picture beyond 2^31 pixels wraps as the host's would.
  jobRecord.pixels = static_cast<int32_t>(static_cast<uint32_t>(jobRecord.height) *
                                          static_cast<uint32_t>(jobRecord.width));
  jobRecord.fpsTimes100 = frameRateTimes100(filter, editHandle);
  int64_t rangeFrames = static_cast<int64_t>(lastFrame) - firstFrame + 1;
  jobRecord.lengthSeconds = quotientOrZero(rangeFrames * 100, jobRecord.fpsTimes100);
  copyOutputName(filter, editHandle, jobRecord.outputName);

  jobRecord.timeSeconds = estimateSeconds(jobRecord.pixels, jobRecord.frames, jobRecord.filters);
  if (jobRecord.timeSeconds == 0) {
    // A record that can't estimate starts over from the defaults.
    resetEstimator();
    jobRecord.timeSeconds = estimateSeconds(jobRecord.pixels, jobRecord.frames, jobRecord.filters);
  }
  notify("start");
  return 1;
}

int32_t __cdecl onSaveEnd(HostFilterDescriptor* filter, void* editHandle) {
  HostFunctionTable* host = hostFunctions(filter);
  // Without the host's current frame nothing counts as saved.
  jobRecord.frames = 0;
  if (host != nullptr && host->currentFrame != nullptr) {
    int32_t lastSaved = host->currentFrame(editHandle);
    jobRecord.frames = countSaveFrames(filter, saveStartFrame, frameAfter(lastSaved), editHandle);
  }
  int32_t elapsed = clampToInt32(static_cast<int64_t>(wallClockSeconds()) - saveStartTime);
  jobRecord.timeSeconds = elapsed;
  jobRecord.fpsTimes100 = quotientOrZero(static_cast<int64_t>(jobRecord.frames) * 100, elapsed);
  notify("end");
  learnFromRun(jobRecord.pixels, jobRecord.frames, jobRecord.filters, jobRecord.timeSeconds);
  return 1;
}
