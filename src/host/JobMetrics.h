// The save job's values as the host reports them. Each takes the filter
// record the host handed the calling handler and reaches the host through
// its function table; the edit handle goes back to the host unchanged.
#pragma once

#include <stdint.h>

#include "host/HostInterface.h"

// Frames the save writes from `firstFrame` up to `endFrame` (excluded):
// counted frame by frame for fewer than 60, else extrapolated from the first
// 60 (any nonzero answer counts as a written frame). Asks the host at most
// 60 times. Returns 0 for an empty range or when the host gives no
// is-save-frame function; INT32_MAX when the extrapolation passes it.
int32_t countSaveFrames(HostFilterDescriptor* filter, int32_t firstFrame, int32_t endFrame,
                        void* editHandle);

// Active frame-processing filters in the host's list; 0 when the host does
// not answer. A filter index for which the host gives no record is skipped.
int32_t countActiveFilters(HostFilterDescriptor* filter, void* editHandle);

// The project's frame rate times 100, truncated; 2997 when the host gives
// no file information, a scale of 0 or below, a negative rate, or a rate
// whose value times 100 passes INT32_MAX.
int32_t frameRateTimes100(HostFilterDescriptor* filter, void* editHandle);

// Copies the host's output file name into `destination` (260 bytes): at most
// 259 bytes, never cutting a double-byte character, and the terminator.
// The empty text when the host does not answer or gives a null name.
void copyOutputName(HostFilterDescriptor* filter, void* editHandle, char* destination);
