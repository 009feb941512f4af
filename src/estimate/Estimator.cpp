#include "estimate/Estimator.h"

#include <string.h>

#include <cmath>
#include <limits>

// The record is a stored format: the host keeps its bytes and hands them
// back, possibly to a later build. Fix every field at its byte.
static_assert(std::numeric_limits<double>::is_iec559, "binary64 reals");
static_assert(offsetof(EstimatorRecord, nextSlot) == 0, "stored format");
static_assert(offsetof(EstimatorRecord, sampleCount) == 4, "stored format");
static_assert(offsetof(RunSample, pixels) == 0, "stored format");
static_assert(offsetof(RunSample, frames) == 4, "stored format");
static_assert(offsetof(RunSample, filters) == 8, "stored format");
static_assert(offsetof(RunSample, seconds) == 12, "stored format");

namespace {

constexpr int32_t kSlots = 4;
constexpr double kDefaultSecondsPerPixelFrame = 0.0001;  // 0x3F1A36E2EB1C432D
constexpr double kDefaultPerFilterFactor = 0.5;

// A record the host handed back may hold anything; only one that keeps the
// invariants is estimated from or learned into. The samples fill from slot 0
// upward, so until all four are taken the next slot is the first free one.
bool recordUsable(const EstimatorRecord& record) {
  if (record.nextSlot < 0 || record.nextSlot >= kSlots) return false;
  if (record.sampleCount < 0 || record.sampleCount > kSlots) return false;
  if (record.sampleCount < kSlots && record.nextSlot != record.sampleCount) return false;
  return std::isfinite(record.secondsPerPixelFrame) && std::isfinite(record.perFilterFactor);
}

// The sample's seconds per pixel per frame without filters, under the
// filter factor `factor`. False when the divisor is 0 or the rate is not a
// finite number: such a sample has nothing to say about the coefficients.
bool baseRate(const RunSample& sample, double factor, double* rate) {
  double divisor = sample.filters * factor;
  divisor = divisor + 1;
  divisor = divisor * sample.frames;
  divisor = divisor * sample.pixels;
  if (divisor == 0 || !std::isfinite(divisor)) return false;
  *rate = sample.seconds / divisor;
  return std::isfinite(*rate);
}

// The filter factor under which `secondsPerPixelFrame` predicts the sample
// exactly. False for a sample without filters and for every division by 0.
bool filterFactor(const RunSample& sample, double secondsPerPixelFrame, double* factor) {
  if (sample.filters == 0 || sample.pixels == 0 || sample.frames == 0 || secondsPerPixelFrame == 0) {
    return false;
  }
  double f = static_cast<double>(sample.seconds) / sample.pixels;
  f = f / sample.frames;
  f = f - secondsPerPixelFrame;
  f = f / sample.filters;
  f = f / secondsPerPixelFrame;
  *factor = f;
  return std::isfinite(f);
}

}  // namespace

EstimatorRecord estimatorRecord;

int32_t estimateSeconds(int32_t pixels, int32_t frames, int32_t filters) {
  const EstimatorRecord& record = estimatorRecord;
  if (!recordUsable(record)) return 0;
  // One operation at a time in this order: the learned coefficients were fit
  // to it, and pixels * frames first would round differently (60, not 59).
  double e = filters * record.perFilterFactor;
  e = e + 1;
  e = e * record.secondsPerPixelFrame;
  e = e * pixels;
  e = e * frames;
  // Outside (-2^31 - 1, 2^31) truncation has no int32 value (and NaN fails
  // both comparisons).
  if (!(e > -2147483649.0 && e < 2147483648.0)) return 0;
  return static_cast<int32_t>(e);
}

void resetEstimator(void) {
  memset(&estimatorRecord, 0, sizeof estimatorRecord);
  estimatorRecord.secondsPerPixelFrame = kDefaultSecondsPerPixelFrame;
  estimatorRecord.perFilterFactor = kDefaultPerFilterFactor;
}

void learnFromRun(int32_t pixels, int32_t frames, int32_t filters, int32_t seconds) {
  EstimatorRecord& record = estimatorRecord;
  // Bytes that break the invariants would send the run outside the samples;
  // start over from the defaults and learn the run into a sound record.
  if (!recordUsable(record)) resetEstimator();

  RunSample& run = record.samples[record.nextSlot];
  run.pixels = pixels;
  run.frames = frames;
  run.filters = filters;
  run.seconds = seconds;
  record.nextSlot = (record.nextSlot + 1) % kSlots;
  if (record.sampleCount < kSlots) record.sampleCount++;

  // A run the model cannot express (0 pixels, 0 frames, a zero divisor) is
  // kept but moves neither coefficient.
  double rate;
  if (!baseRate(run, record.perFilterFactor, &rate)) return;

  // The base cost: the mean base rate of the samples, under the old factor.
  double rateSum = 0.0;
  int32_t rated = 0;
  for (int32_t i = 0; i < record.sampleCount; i++) {
    if (!baseRate(record.samples[i], record.perFilterFactor, &rate)) continue;
    rateSum = rateSum + rate;
    rated++;
  }
  double secondsPerPixelFrame = rateSum / rated;  // rated >= 1: the run itself
  if (!std::isfinite(secondsPerPixelFrame)) return;
  record.secondsPerPixelFrame = secondsPerPixelFrame;

  // The filter factor: the mean of the factors that would have predicted
  // each sample with filters exactly under the new base cost.
  double factorSum = 0.0;
  int32_t factored = 0;
  for (int32_t i = 0; i < record.sampleCount; i++) {
    double factor;
    if (!filterFactor(record.samples[i], secondsPerPixelFrame, &factor)) continue;
    factorSum = factorSum + factor;
    factored++;
  }
  if (factored == 0) return;
  double perFilterFactor = factorSum / factored;
  if (std::isfinite(perFilterFactor)) record.perFilterFactor = perFilterFactor;
}
