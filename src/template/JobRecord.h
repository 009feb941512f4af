// The values of a save job that template variables read, with the chosen
// template: what a save is, whichever host makes it. A host binding fills
// it from what its host reports.
#pragma once

#include <stdint.h>

struct JobRecord {
  int32_t frames;         // frames the save writes
  int32_t lengthSeconds;  // running time of the whole saved range
  int32_t timeSeconds;    // the estimate at save start, the measured time at save end
  int32_t filters;        // active frame-processing filters
  int32_t pixels;         // width * height
  int32_t width;
  int32_t height;
  int32_t fpsTimes100;    // the project's rate at start, the achieved speed at end
  char outputName[260];   // Shift_JIS, NUL-terminated
  char templatePath[260]; // full path of the chosen template file
};
