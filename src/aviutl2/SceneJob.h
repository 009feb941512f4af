// The job values of a file output, from the scene's edit information: what
// templates written for the 1.x edition read, as far as this host tells
// them. The host names neither the output file nor the filters an output
// applies, and writes every frame of the range.
#pragma once

#include <stdint.h>

#include "aviutl2/Aviutl2Interface.h"
#include "template/JobRecord.h"

// The edit information of no scene: what is used before the host has ever
// answered get_edit_info (nothing selected, no frame, no picture).
aviutl2::EDIT_INFO unknownScene();

// True when get_edit_info filled `scene` with a scene: a picture of some
// size (the record starts zeroed, so a host that wrote nothing gives false).
bool isUsableScene(const aviutl2::EDIT_INFO& scene);

// The frames an output of `scene` writes: those of the selection when one
// is set (both ends 0 or more, in either order), else frames 0 to
// frame_max; both ends count. 0 for a frame_max below 0; at most INT32_MAX.
int32_t outputFrames(const aviutl2::EDIT_INFO& scene);

// Sets the values a file output of `scene` starts with: width, height,
// pixels (pixelsOf), fpsTimes100 (fpsTimes100Of rate and scale: 2997 for
// no usable rate), frames (outputFrames), lengthSeconds (runningSeconds of
// them), filters 0 and the empty outputName. timeSeconds and templatePath
// are left as they are.
void fillJobFromScene(const aviutl2::EDIT_INFO& scene, JobRecord* job);
