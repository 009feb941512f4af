// The steps of a save that every host binding shares: the start estimate
// and its reset, the end values, learning, and when a notice has nothing
// to send.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <string>

#include "estimate/Estimator.h"
#include "host-support/Files.h"
#include "job/SaveJob.h"

namespace {

JobRecord jobOf(int32_t pixels, int32_t frames, int32_t filters) {
  JobRecord job{};
  job.pixels = pixels;
  job.frames = frames;
  job.filters = filters;
  return job;
}

TEST(SaveJob, DividesTowardZeroWithinThirtyTwoBits) {
  struct Row {
    int64_t numerator;
    int32_t denominator;
    int32_t quotient;
  };
  const Row rows[] = {
      {5400 * 100, 2997, 180},      // 5400 frames at 29.97 fps run 180.18 s
      {-7, 2, -3},                  // toward zero
      {123, 0, 0},                  // a rate of 0, a save in the second it began
      {INT64_C(1) << 40, 1, INT32_MAX},
      {-(INT64_C(1) << 40), 1, INT32_MIN},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(quotientOrZero(row.numerator, row.denominator), row.quotient) << row.numerator << "/" << row.denominator;
  }
  EXPECT_EQ(runningSeconds(1799, 2997), 60);  // 60.02 s
}

// The frame rate every binding gives templates, from the rate and scale its
// host reports (AviUtl ExEdit2 hands both over as they are, so every odd
// value reaches this rule).
TEST(SaveJob, FrameRateTimes100FromRateAndScale) {
  struct Row {
    int32_t rate, scale, expected;
  } rows[] = {
      {30000, 1001, 2997},
      {24000, 1001, 2397},
      {15, 2, 750},
      {30000000, 30000001, 99},    // remainder * 100 passes 32 bits
      {21474836, 1, 2147483600},   // the highest whole rate that fits
      {21474837, 1, 2997},         // times 100 passes INT32_MAX
      {0, 1, 0},                   // a rate of 0 is the formula's 0
      {1, 1000, 0},                // below 0.01 frames per second
      {30000, 0, 2997},            // scale 0
      {-30000, 1001, 2997},        // negative rate
      {30000, -1001, 2997},        // negative scale
      {INT32_MIN, -1, 2997},       // the one quotient that overflows
  };
  for (const Row& row : rows) {
    EXPECT_EQ(fpsTimes100Of(row.rate, row.scale), row.expected) << row.rate << "/" << row.scale;
  }
}

TEST(SaveJob, PixelsAreAThirtyTwoBitProduct) {
  EXPECT_EQ(pixelsOf(1920, 1080), 2073600);
  EXPECT_EQ(pixelsOf(65536, 32768), INT32_MIN);  // 2^31 wraps
  EXPECT_EQ(pixelsOf(65536, 65536), 0);          // 2^32 wraps to 0
  EXPECT_EQ(pixelsOf(-1, 3), -3);
}

// An estimator whose record can't estimate (all zero, as at the first
// load) starts over from its defaults: the job still gets an estimate.
TEST(SaveJob, EstimateResetsAnEstimatorThatGivesNothing) {
  memset(&estimatorRecord, 0, sizeof estimatorRecord);
  JobRecord job = jobOf(320 * 240, 900, 0);
  estimateJob(&job);
  EXPECT_EQ(job.timeSeconds, 6912);  // 0.0001 s per pixel and frame
  EXPECT_EQ(estimatorRecord.perFilterFactor, 0.5);
}

TEST(SaveJob, FinishSetsTheTimeAndTheSpeedReached) {
  struct Row {
    int64_t elapsed;
    int32_t frames;
    int32_t timeSeconds;
    int32_t fpsTimes100;
  };
  const Row rows[] = {
      {30, 900, 30, 3000},
      {7, 100, 7, 1428},
      {0, 900, 0, 0},                          // ended in the second it began
      {INT64_C(1) << 33, 900, INT32_MAX, 0},   // held within 32 bits
  };
  for (const Row& row : rows) {
    JobRecord job = jobOf(1, row.frames, 0);
    job.fpsTimes100 = 2997;
    finishJob(&job, row.elapsed);
    EXPECT_EQ(job.timeSeconds, row.timeSeconds) << row.elapsed;
    EXPECT_EQ(job.fpsTimes100, row.fpsTimes100) << row.elapsed;
  }
}

TEST(SaveJob, LearningStoresTheRunWithItsMeasuredTime) {
  resetEstimator();
  JobRecord job = jobOf(640 * 480, 300, 2);
  finishJob(&job, 45);
  learnFromJob(job);
  EXPECT_EQ(estimatorRecord.sampleCount, 1);
  const RunSample& sample = estimatorRecord.samples[0];
  EXPECT_EQ(sample.pixels, 640 * 480);
  EXPECT_EQ(sample.frames, 300);
  EXPECT_EQ(sample.filters, 2);
  EXPECT_EQ(sample.seconds, 45);
}

// A notice is the section's expansion in a SEND request; nothing is sent
// without a chosen template or for a section that expands to nothing.
TEST(SaveJob, ComposesANoticeOnlyWhenThereIsSomethingToSay) {
  ScratchFolder folder("savejob");
  std::string path = folder.path() + "/t.tpp";
  ASSERT_TRUE(writeFileBytes(path, "[start]\r\n1=$frame frames\r\n[end]\r\n1=\r\n"));
  JobRecord job = jobOf(1, 900, 0);
  char* none = composeNotice("start", job, "");
  EXPECT_EQ(none, nullptr);
  std::string host = hostPath(path);
  memcpy(job.templatePath, host.c_str(), host.size() + 1);
  char* start = composeNotice("start", job, "ghost");
  ASSERT_NE(start, nullptr);
  EXPECT_EQ(std::string(start),
            "SEND SSTP/1.4\r\nSender: AviUtl with SSTP\r\nCharset: Shift_JIS\r\nIfGhost: ghost\r\n"
            "Script: 900 frames\\e\r\nOption: nodescript\r\n\r\n");
  free(start);
  EXPECT_EQ(composeNotice("end", job, "ghost"), nullptr);
  EXPECT_EQ(composeNotice("missing", job, ""), nullptr);
}

}  // namespace
