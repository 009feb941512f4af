// The module's state shared by the save handlers and the settings window:
// the current job and the values a save and the window's choices set. All
// start at zero (the port at 9801, the ghost at "") and keep their values
// from one save to the next until written again.
#pragma once

#include <stdint.h>

#include "template/JobRecord.h"

extern JobRecord jobRecord;
extern int32_t saveStartTime;   // seconds since 1970 when the save began
extern int32_t saveStartFrame;  // first frame of the saved range
extern const char* ghostName;   // points into the template catalogue; "" names no ghost
extern int32_t serverPort;      // 9801 or 11000
