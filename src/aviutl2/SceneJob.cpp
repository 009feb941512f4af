#include "aviutl2/SceneJob.h"

#include "job/SaveJob.h"

aviutl2::EDIT_INFO unknownScene() {
  aviutl2::EDIT_INFO scene = {};
  scene.frame_max = -1;
  scene.select_range_start = -1;
  scene.select_range_end = -1;
  return scene;
}

bool isUsableScene(const aviutl2::EDIT_INFO& scene) { return scene.width > 0 && scene.height > 0; }

int32_t outputFrames(const aviutl2::EDIT_INFO& scene) {
  int64_t first = 0;
  int64_t last = scene.frame_max;
  if (scene.select_range_start >= 0 && scene.select_range_end >= 0) {
    first = scene.select_range_start;
    last = scene.select_range_end;
    if (last < first) {
      first = scene.select_range_end;
      last = scene.select_range_start;
    }
  }
  // In 64 bits: 0 to INT32_MAX is 2^31 frames.
  int64_t frames = last - first + 1;
  if (frames < 0) return 0;
  return frames > INT32_MAX ? INT32_MAX : static_cast<int32_t>(frames);
}

void fillJobFromScene(const aviutl2::EDIT_INFO& scene, JobRecord* job) {
  job->width = scene.width;
  job->height = scene.height;
  job->pixels = pixelsOf(scene.width, scene.height);
  job->fpsTimes100 = fpsTimes100Of(scene.rate, scene.scale);
  job->frames = outputFrames(scene);
  job->lengthSeconds = runningSeconds(job->frames, job->fpsTimes100);
  job->filters = 0;
  job->outputName[0] = '\0';
}
