#include "host/SaveNotifications.h"

#include <stdint.h>
#include <stdlib.h>
#include <time.h>

#include "host/JobMetrics.h"
#include "host/ModuleState.h"
#include "job/SaveJob.h"
#include "sstp/SstpNotifier.h"

namespace {

int32_t wallClockSeconds() { return static_cast<int32_t>(time(nullptr)); }

// The frame after `frame`, without passing the largest frame number.
int32_t frameAfter(int32_t frame) { return frame < INT32_MAX ? frame + 1 : INT32_MAX; }

// Sends the notice of the section `name`, if there is one to send.
void notify(const char* name) {
  char* request = composeNotice(name, jobRecord, ghostName);
  if (request != nullptr) sendSstpMessage(request, serverPort);
  free(request);
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
  jobRecord.pixels = pixelsOf(jobRecord.width, jobRecord.height);
  jobRecord.fpsTimes100 = frameRateTimes100(filter, editHandle);
  int64_t rangeFrames = static_cast<int64_t>(lastFrame) - firstFrame + 1;
  jobRecord.lengthSeconds = runningSeconds(rangeFrames, jobRecord.fpsTimes100);
  copyOutputName(filter, editHandle, jobRecord.outputName);

  estimateJob(&jobRecord);
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
  finishJob(&jobRecord, static_cast<int64_t>(wallClockSeconds()) - saveStartTime);
  notify("end");
  learnFromJob(jobRecord);
  return 1;
}
