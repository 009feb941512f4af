// The values of the current save job that template variables read, with the
// chosen template, and the module-wide values shared by the save handlers
// and the settings window. All start at zero and keep their values from one
// save to the next until written again.
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

extern JobRecord jobRecord;
extern int32_t saveStartTime;   // seconds since 1970 when the save began
extern int32_t saveStartFrame;  // first frame of the saved range
extern const char* ghostName;   // points into the template catalogue; "" names no ghost
extern int32_t serverPort;      // 9801 or 11000
