// A self-learning model of how long the host takes to save a job:
//   seconds = (filters * perFilterFactor + 1) * secondsPerPixelFrame * pixels * frames
// refitted after every save to the last four runs. The record is the filter's
// extended data, which the host stores and hands back: a stored format.
#pragma once

#include <stddef.h>
#include <stdint.h>

struct RunSample {
  int32_t pixels;
  int32_t frames;
  int32_t filters;
  int32_t seconds;
};

struct EstimatorRecord {
  int32_t nextSlot;               // 0-3: the sample the next run overwrites
  int32_t sampleCount;            // 0-4: valid samples, slots 0 upward
  double secondsPerPixelFrame;
  double perFilterFactor;
  RunSample samples[4];
};

static_assert(sizeof(RunSample) == 16, "stored format");
static_assert(sizeof(EstimatorRecord) == 88, "stored format");
static_assert(offsetof(EstimatorRecord, secondsPerPixelFrame) == 8, "stored format");
static_assert(offsetof(EstimatorRecord, perFilterFactor) == 16, "stored format");
static_assert(offsetof(EstimatorRecord, samples) == 24, "stored format");

// The module's record, the bytes the host keeps as extended data.
extern EstimatorRecord estimatorRecord;

// Returns the estimated seconds, truncated toward zero; negative when the
// learned filter factor is. Returns 0 when the record is unusable (nextSlot
// outside 0-3, sampleCount outside 0-4, a nextSlot other than sampleCount
// while fewer than 4 samples are valid, a coefficient that is not finite)
// or the estimate is not finite or outside the 32-bit range.
int32_t estimateSeconds(int32_t pixels, int32_t frames, int32_t filters);

// Records a finished run and refits both coefficients to the valid samples.
// An unusable record is reset first, then the run is learned. A run whose
// base divisor is 0 or not finite (0 pixels, 0 frames, filters * factor
// + 1 == 0) is stored without a refit; a refit leaves out every sample that
// would divide by zero or give a value that is not finite, and a coefficient
// with no usable sample keeps its value.
void learnFromRun(int32_t pixels, int32_t frames, int32_t filters, int32_t seconds);

// All 88 bytes zero, then secondsPerPixelFrame 0.0001 and perFilterFactor 0.5.
void resetEstimator(void);
