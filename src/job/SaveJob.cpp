#include "job/SaveJob.h"

#include <stdlib.h>
#include <string.h>

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

int32_t fpsTimes100Of(int32_t rate, int32_t scale) {
  // A frame rate is never negative and a scale of 0 gives none at all.
  if (rate < 0 || scale <= 0) return kDefaultFpsTimes100;
  // The whole part of rate * 100 / scale without forming rate * 100; in 64
  // bits, since the remainder times 100 passes 32 bits for scales above
  // 21,474,836.
  int64_t wide = rate;
  int64_t times100 = (wide / scale) * 100 + ((wide % scale) * 100) / scale;
  if (times100 > INT32_MAX) return kDefaultFpsTimes100;
  return static_cast<int32_t>(times100);
}

int32_t pixelsOf(int32_t width, int32_t height) {
  return static_cast<int32_t>(static_cast<uint32_t>(height) * static_cast<uint32_t>(width));
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

int32_t restoreTemplateChoice(const TemplateCatalog* catalog, const int32_t* listed, int32_t count,
                              const char* storedPath) {
  for (int32_t i = 0; i < count; ++i) {
    if (strcmp(catalog->paths[listed[i]], storedPath) == 0) return i;
  }
  if (count == 0) return -1;
  resetEstimator();
  return 0;
}
