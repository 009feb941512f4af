#include "job/SaveJob.h"

#include <stdlib.h>

#include "estimate/Estimator.h"
#include "sstp/SstpNotifier.h"
#include "template/SectionExpansion.h"

namespace {

int32_t clampToInt32(int64_t value) {
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

}  // namespace

int32_t quotientOrZero(int64_t numerator, int32_t denominator) {
  return denominator != 0 ? clampToInt32(numerator / denominator) : 0;
}

int32_t runningSeconds(int64_t frames, int32_t fpsTimes100) { return quotientOrZero(frames * 100, fpsTimes100); }

void estimateJob(JobRecord* job) {
  job->timeSeconds = estimateSeconds(job->pixels, job->frames, job->filters);
  if (job->timeSeconds == 0) {
    // A record that can't estimate starts over from the defaults.
    resetEstimator();
    job->timeSeconds = estimateSeconds(job->pixels, job->frames, job->filters);
  }
}

void finishJob(JobRecord* job, int64_t elapsedSeconds) {
  job->timeSeconds = clampToInt32(elapsedSeconds);
  job->fpsTimes100 = quotientOrZero(static_cast<int64_t>(job->frames) * 100, job->timeSeconds);
}

void learnFromJob(const JobRecord& job) { learnFromRun(job.pixels, job.frames, job.filters, job.timeSeconds); }

char* composeNotice(const char* section, const JobRecord& job, const char* ghost) {
  if (job.templatePath[0] == '\0') return nullptr;
  char* script = expandSection(section, job);
  char* request = nullptr;
  if (script != nullptr && script[0] != '\0') request = composeSstpMessage(script, ghost);
  free(script);
  return request;
}
