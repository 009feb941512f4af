// The encode-time estimator: the stored record's bytes, the worked runs to
// the last bit, and records and runs that would divide by zero or come back
// from the host broken.
#include <gtest/gtest.h>

#include <math.h>
#include <string.h>

#include <string>

#include "estimate/Estimator.h"

namespace {

std::string recordBytes() {
  return std::string(reinterpret_cast<const char*>(&estimatorRecord), sizeof estimatorRecord);
}

uint64_t bitsOf(double value) {
  uint64_t bits;
  memcpy(&bits, &value, sizeof bits);
  return bits;
}

// The record as the module holds it at load: all zero.
class Estimator : public ::testing::Test {
 protected:
  void SetUp() override { memset(&estimatorRecord, 0, sizeof estimatorRecord); }
};

void expectSample(const RunSample& sample, int32_t pixels, int32_t frames, int32_t filters,
                  int32_t seconds) {
  EXPECT_EQ(pixels, sample.pixels);
  EXPECT_EQ(frames, sample.frames);
  EXPECT_EQ(filters, sample.filters);
  EXPECT_EQ(seconds, sample.seconds);
}

TEST_F(Estimator, ResetBytes) {
  memset(&estimatorRecord, 0xA5, sizeof estimatorRecord);
  resetEstimator();
  std::string expected(8, '\0');
  expected += std::string("\x2D\x43\x1C\xEB\xE2\x36\x1A\x3F", 8);  // 0.0001
  expected += std::string("\x00\x00\x00\x00\x00\x00\xE0\x3F", 8);  // 0.5
  expected += std::string(64, '\0');
  EXPECT_EQ(expected, recordBytes());
}

TEST_F(Estimator, StoredLayoutIsLittleEndianWithoutPadding) {
  estimatorRecord.nextSlot = 0x01020304;
  estimatorRecord.sampleCount = 0x05060708;
  estimatorRecord.secondsPerPixelFrame = 1.0;  // 3FF0000000000000
  estimatorRecord.perFilterFactor = -2.0;      // C000000000000000
  for (int i = 0; i < 4; i++) {
    estimatorRecord.samples[i] = RunSample{0x10 + i, 0x20 + i, 0x30 + i, 0x40 + i};
  }
  std::string expected("\x04\x03\x02\x01\x08\x07\x06\x05", 8);
  expected += std::string("\x00\x00\x00\x00\x00\x00\xF0\x3F", 8);
  expected += std::string("\x00\x00\x00\x00\x00\x00\x00\xC0", 8);
  for (int i = 0; i < 4; i++) {
    for (int field = 1; field <= 4; field++) {
      expected += static_cast<char>(field * 0x10 + i);
      expected += std::string(3, '\0');
    }
  }
  EXPECT_EQ(expected, recordBytes());
}

TEST_F(Estimator, EstimatesOfTheZeroAndTheDefaultRecord) {
  struct Row {
    int32_t pixels, frames, filters;
    int32_t zeroRecord, defaultRecord;
  } rows[] = {
      {84480, 900, 1, 0, 11404},  // 352 x 240: 11404.8
      {76800, 30, 0, 0, 230},     // 320 x 240: 230.4
      {100, 1, 0, 0, 0},          // 0.01
      {76800, 900, 0, 0, 6912},
      {0, 900, 3, 0, 0},
  };
  for (const Row& row : rows) {
    memset(&estimatorRecord, 0, sizeof estimatorRecord);
    EXPECT_EQ(row.zeroRecord, estimateSeconds(row.pixels, row.frames, row.filters));
    resetEstimator();
    EXPECT_EQ(row.defaultRecord, estimateSeconds(row.pixels, row.frames, row.filters));
  }
}

TEST_F(Estimator, WorkedRunsAAndB) {
  resetEstimator();
  learnFromRun(76800, 300, 0, 60);  // run A
  EXPECT_EQ(1, estimatorRecord.nextSlot);
  EXPECT_EQ(1, estimatorRecord.sampleCount);
  expectSample(estimatorRecord.samples[0], 76800, 300, 0, 60);
  EXPECT_EQ(bitsOf(60.0 / 23040000.0), bitsOf(estimatorRecord.secondsPerPixelFrame));
  EXPECT_EQ(bitsOf(0.5), bitsOf(estimatorRecord.perFilterFactor));  // no sample with filters
  EXPECT_EQ(59, estimateSeconds(76800, 300, 0));  // 59.99999999999999; pixels * frames first gives 60

  learnFromRun(76800, 300, 2, 180);  // run B
  EXPECT_EQ(2, estimatorRecord.nextSlot);
  EXPECT_EQ(2, estimatorRecord.sampleCount);
  EXPECT_NEAR(3.255208e-6, estimatorRecord.secondsPerPixelFrame, 1e-12);
  EXPECT_NEAR(0.7, estimatorRecord.perFilterFactor, 1e-12);
  EXPECT_EQ(180, estimateSeconds(76800, 300, 2));
  EXPECT_EQ(74, estimateSeconds(76800, 300, 0));  // 74.99999999999999
}

TEST_F(Estimator, NegativeFilterFactorGivesANegativeEstimate) {
  resetEstimator();
  learnFromRun(76800, 300, 0, 120);
  learnFromRun(76800, 300, 2, 60);
  EXPECT_NEAR(-0.1, estimatorRecord.perFilterFactor, 1e-12);
  EXPECT_EQ(-74, estimateSeconds(76800, 300, 20));
}

TEST_F(Estimator, RunsWithoutFiltersKeepTheFactor) {
  resetEstimator();
  estimatorRecord.perFilterFactor = 0.25;
  learnFromRun(76800, 300, 0, 60);
  learnFromRun(84480, 900, 0, 300);
  learnFromRun(100, 10, 0, 1);
  EXPECT_EQ(bitsOf(0.25), bitsOf(estimatorRecord.perFilterFactor));
}

TEST_F(Estimator, FifthRunOverwritesSlotZero) {
  resetEstimator();
  for (int32_t run = 1; run <= 5; run++) learnFromRun(1000 * run, 10 * run, run % 2, run);
  EXPECT_EQ(1, estimatorRecord.nextSlot);
  EXPECT_EQ(4, estimatorRecord.sampleCount);
  expectSample(estimatorRecord.samples[0], 5000, 50, 1, 5);
  expectSample(estimatorRecord.samples[1], 2000, 20, 0, 2);
  expectSample(estimatorRecord.samples[2], 3000, 30, 1, 3);
  expectSample(estimatorRecord.samples[3], 4000, 40, 0, 4);
}

TEST_F(Estimator, RunsTheModelCannotFitAreKeptWithoutRefit) {
  struct Row {
    int32_t pixels, frames, filters, seconds;
    const char* why;
  } rows[] = {
      {76800, 0, 0, 60, "0 frames"},
      {0, 300, 1, 60, "0 pixels"},
      {76800, 300, -2, 60, "filters * 0.5 + 1 is 0"},
  };
  for (const Row& row : rows) {
    resetEstimator();
    learnFromRun(row.pixels, row.frames, row.filters, row.seconds);
    EXPECT_EQ(1, estimatorRecord.nextSlot) << row.why;
    EXPECT_EQ(1, estimatorRecord.sampleCount) << row.why;
    expectSample(estimatorRecord.samples[0], row.pixels, row.frames, row.filters, row.seconds);
    EXPECT_EQ(bitsOf(0.0001), bitsOf(estimatorRecord.secondsPerPixelFrame)) << row.why;
    EXPECT_EQ(bitsOf(0.5), bitsOf(estimatorRecord.perFilterFactor)) << row.why;

    // The next refit leaves the stored sample out of the base cost: run A
    // alone sets it.
    learnFromRun(76800, 300, 0, 60);
    EXPECT_EQ(2, estimatorRecord.sampleCount) << row.why;
    EXPECT_EQ(bitsOf(60.0 / 23040000.0), bitsOf(estimatorRecord.secondsPerPixelFrame)) << row.why;
    EXPECT_TRUE(isfinite(estimatorRecord.perFilterFactor)) << row.why;
    EXPECT_EQ(59, estimateSeconds(76800, 300, 0)) << row.why;
  }
}

TEST_F(Estimator, ZeroSecondsGiveABaseCostOfZeroAndKeepTheFactor) {
  // Every base rate 0: the filter factor would divide by the new base cost.
  resetEstimator();
  learnFromRun(76800, 300, 2, 0);
  EXPECT_EQ(0.0, estimatorRecord.secondsPerPixelFrame);
  EXPECT_EQ(bitsOf(0.5), bitsOf(estimatorRecord.perFilterFactor));
  EXPECT_EQ(0, estimateSeconds(76800, 300, 2));
}

TEST_F(Estimator, HostileRunsNeverLeaveACoefficientThatIsNotFinite) {
  const int32_t runs[][4] = {
      {INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX},
      {1, 1, INT32_MIN, INT32_MAX},
      {1, 1, 0, INT32_MAX},
      {-1, -1, -1, -1},
      {0, 0, 0, 0},
      {1, 1, 1, INT32_MIN},
      {INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN},
      {76800, 300, 2, 0},
      {1, 1, INT32_MAX, 1},
      {76800, 300, 0, 60},
  };
  // From the defaults and from a factor that makes filter divisors huge.
  const double factors[] = {0.5, 1e308, -1e-308};
  for (double factor : factors) {
    resetEstimator();
    estimatorRecord.perFilterFactor = factor;
    for (const auto& run : runs) {
      learnFromRun(run[0], run[1], run[2], run[3]);
      ASSERT_TRUE(isfinite(estimatorRecord.secondsPerPixelFrame)) << factor << " " << run[0];
      ASSERT_TRUE(isfinite(estimatorRecord.perFilterFactor)) << factor << " " << run[0];
      estimateSeconds(run[0], run[1], run[2]);
    }
  }
}

TEST_F(Estimator, EstimatesOutsideTheInt32RangeAreZero) {
  // With 1 pixel, 1 frame and no filter the estimate is the base cost itself.
  struct Row {
    double secondsPerPixelFrame;
    int32_t expected;
  } rows[] = {
      {2147483647.9, INT32_MAX},
      {2147483648.0, 0},
      {-2147483648.9, INT32_MIN},
      {-2147483649.0, 0},
      {1e300, 0},
      {-0.9, 0},  // under a second in magnitude
  };
  for (const Row& row : rows) {
    resetEstimator();
    estimatorRecord.secondsPerPixelFrame = row.secondsPerPixelFrame;
    EXPECT_EQ(row.expected, estimateSeconds(1, 1, 0)) << row.secondsPerPixelFrame;
  }
  resetEstimator();
  EXPECT_EQ(0, estimateSeconds(INT32_MAX, INT32_MAX, 0));  // 4.6e14 seconds
  estimatorRecord.secondsPerPixelFrame = 1e300;
  EXPECT_EQ(0, estimateSeconds(INT32_MAX, INT32_MAX, 0));  // infinite
  estimatorRecord.perFilterFactor = 1e300;
  EXPECT_EQ(0, estimateSeconds(1, 1, -1));  // -1e300 * 1e300: minus infinity
}

TEST_F(Estimator, BrokenRecordsEstimateZeroAndAreResetBeforeLearning) {
  struct Row {
    int32_t nextSlot, sampleCount;
    double secondsPerPixelFrame, perFilterFactor;
    const char* why;
  } rows[] = {
      {-1, 1, 0.0001, 0.5, "nextSlot below 0"},
      {4, 1, 0.0001, 0.5, "nextSlot 4"},
      {INT32_MAX, 4, 0.0001, 0.5, "nextSlot far out"},
      {1, -1, 0.0001, 0.5, "sampleCount below 0"},
      {1, 5, 0.0001, 0.5, "sampleCount 5"},
      {3, 1, 0.0001, 0.5, "nextSlot is not the first free slot"},
      {1, 1, NAN, 0.5, "NaN base cost"},
      {1, 1, INFINITY, 0.5, "infinite base cost"},
      {1, 1, 0.0001, NAN, "NaN filter factor"},
      {1, 1, 0.0001, -INFINITY, "infinite filter factor"},
  };
  for (const Row& row : rows) {
    memset(&estimatorRecord, 0x5A, sizeof estimatorRecord);  // stale samples
    estimatorRecord.nextSlot = row.nextSlot;
    estimatorRecord.sampleCount = row.sampleCount;
    estimatorRecord.secondsPerPixelFrame = row.secondsPerPixelFrame;
    estimatorRecord.perFilterFactor = row.perFilterFactor;
    EXPECT_EQ(0, estimateSeconds(76800, 300, 0)) << row.why;

    // Learning starts over: the run is the only sample of a default record.
    learnFromRun(76800, 300, 0, 60);
    EXPECT_EQ(1, estimatorRecord.nextSlot) << row.why;
    EXPECT_EQ(1, estimatorRecord.sampleCount) << row.why;
    expectSample(estimatorRecord.samples[0], 76800, 300, 0, 60);
    EXPECT_EQ(std::string(48, '\0'), recordBytes().substr(40)) << row.why;
    EXPECT_EQ(bitsOf(0.5), bitsOf(estimatorRecord.perFilterFactor)) << row.why;
    EXPECT_EQ(59, estimateSeconds(76800, 300, 0)) << row.why;
  }
}

TEST_F(Estimator, AFullRecordWithAnyNextSlotIsUsable) {
  resetEstimator();
  estimatorRecord.sampleCount = 4;
  for (int32_t slot = 0; slot < 4; slot++) {
    estimatorRecord.nextSlot = slot;
    EXPECT_EQ(230, estimateSeconds(76800, 30, 0)) << slot;
  }
}

}  // namespace
