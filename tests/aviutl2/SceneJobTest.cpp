// The job values a file output gives templates, from the scene's edit
// information as AviUtl ExEdit2 reports it: the range (the selection or
// the whole scene), the frame rate from rate and scale, the picture size.
#include <gtest/gtest.h>

#include <stdint.h>
#include <string.h>

#include "aviutl2/SceneJob.h"

namespace {

aviutl2::EDIT_INFO scene(int width, int height, int rate, int scale, int frameMax, int selectStart = -1,
                         int selectEnd = -1) {
  aviutl2::EDIT_INFO info = unknownScene();
  info.width = width;
  info.height = height;
  info.rate = rate;
  info.scale = scale;
  info.frame_max = frameMax;
  info.select_range_start = selectStart;
  info.select_range_end = selectEnd;
  return info;
}

TEST(SceneJob, ValuesOfAnOutput) {
  struct Row {
    aviutl2::EDIT_INFO scene;
    int32_t pixels, fpsTimes100, frames, lengthSeconds;
    const char* comment;
  } rows[] = {
      {scene(1920, 1080, 30, 1, 299), 2073600, 3000, 300, 10, "no selection: frames 0 to frame_max"},
      {scene(1920, 1080, 30, 1, 299, 100, 189), 2073600, 3000, 90, 3, "the selection, both ends counted"},
      {scene(1920, 1080, 30, 1, 299, 189, 100), 2073600, 3000, 90, 3, "a selection given end first"},
      {scene(1920, 1080, 30, 1, 299, 5, 5), 2073600, 3000, 1, 0, "one frame selected"},
      {scene(1920, 1080, 30, 1, 299, 0, -1), 2073600, 3000, 300, 10, "one end -1: no selection"},
      {scene(1920, 1080, 30, 1, 299, 400, 499), 2073600, 3000, 100, 3, "a selection past frame_max stands"},
      {scene(1280, 720, 30000, 1001, 899), 921600, 2997, 900, 30, "29.97 fps, cut toward zero"},
      {scene(1280, 720, 24000, 1001, 1439), 921600, 2397, 1440, 60, "23.976 fps"},
      {scene(640, 480, 30, 0, 299), 307200, 2997, 300, 10, "scale 0: no usable rate, 29.97"},
      {scene(640, 480, -30, 1, 299), 307200, 2997, 300, 10, "a negative rate: 29.97"},
      {scene(640, 480, 0, 1, 299), 307200, 0, 300, 0, "a rate of 0 is the formula's 0, as in the 1.x edition"},
      {scene(640, 480, 30, 1, 0), 307200, 3000, 1, 0, "an empty scene still has frame 0"},
      {scene(640, 480, 30, 1, -1), 307200, 3000, 0, 0, "frame_max below 0: no frame"},
      {scene(640, 480, 30, 1, INT32_MAX), 307200, 3000, INT32_MAX, 71582788, "2^31 frames held at INT32_MAX"},
      {scene(65536, 32768, 30, 1, 29), INT32_MIN, 3000, 30, 1, "pixels wrap as a 32-bit product"},
      {unknownScene(), 0, 2997, 0, 0, "no scene ever read"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.comment);
    JobRecord job{};
    job.filters = 7;
    job.timeSeconds = 42;
    memset(job.outputName, 'x', sizeof job.outputName);
    job.templatePath[0] = 'T';
    fillJobFromScene(row.scene, &job);
    EXPECT_EQ(job.width, row.scene.width);
    EXPECT_EQ(job.height, row.scene.height);
    EXPECT_EQ(job.pixels, row.pixels);
    EXPECT_EQ(job.fpsTimes100, row.fpsTimes100);
    EXPECT_EQ(job.frames, row.frames);
    EXPECT_EQ(job.lengthSeconds, row.lengthSeconds);
    EXPECT_EQ(job.filters, 0);                   // the host does not tell them
    EXPECT_EQ(job.outputName[0], '\0');          // nor the file's name
    EXPECT_EQ(job.timeSeconds, 42);              // the estimate's, later
    EXPECT_EQ(job.templatePath[0], 'T');         // the settings', later
  }
}

TEST(SceneJob, OnlyASceneWithAPictureIsUsable) {
  struct Row {
    int width, height;
    bool usable;
  } rows[] = {{1920, 1080, true}, {1, 1, true}, {0, 0, false}, {0, 1080, false}, {1920, 0, false}, {-1, 5, false}};
  for (const Row& row : rows) {
    EXPECT_EQ(isUsableScene(scene(row.width, row.height, 30, 1, 0)), row.usable) << row.width << "x" << row.height;
  }
  EXPECT_FALSE(isUsableScene(unknownScene()));
}

}  // namespace
