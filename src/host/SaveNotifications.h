// The handlers the host calls when a save (encode) begins and ends.
#pragma once

#include <stdint.h>

#include "host/HostInterface.h"

// Measures the job, estimates its encode time and sends the expansion of the
// template's section "start". Returns 1 on every path.
int32_t __cdecl onSaveStart(HostFilterDescriptor* filter, int32_t firstFrame, int32_t lastFrame,
                            void* editHandle);

// Measures the finished save, sends the expansion of the section "end" and
// lets the estimator learn from the run. Returns 1 on every path.
int32_t __cdecl onSaveEnd(HostFilterDescriptor* filter, void* editHandle);
