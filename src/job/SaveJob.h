// The steps of a save that no host decides: the estimate at its start, the
// measured time and speed at its end, what the estimator learns, and the
// notice a section of the chosen template makes, and the template chosen
// as the settings are restored (which decides what the estimator keeps). A
// host binding fills the job's values from what its host reports and calls
// these in order.
#pragma once

#include <stdint.h>

#include "template/JobRecord.h"
#include "template/TemplateCatalog.h"

// numerator / denominator truncated toward zero and held within 32 bits; 0
// when the denominator is 0 (a save that ends in the second it began, a
// frame rate of 0).
int32_t quotientOrZero(int64_t numerator, int32_t denominator);

// The running time in whole seconds of `frames` at `fpsTimes100`:
// frames * 100 / fpsTimes100, as quotientOrZero gives it.
int32_t runningSeconds(int64_t frames, int32_t fpsTimes100);

// The frame rate a template reads when the host gives none it can use
// (29.97 frames a second).
constexpr int32_t kDefaultFpsTimes100 = 2997;

// The frame rate rate/scale times 100, cut toward zero. Returns
// kDefaultFpsTimes100 for a scale of 0 or below, a negative rate, or a rate
// whose value times 100 passes INT32_MAX; a rate of 0 gives 0.
int32_t fpsTimes100Of(int32_t rate, int32_t scale);

// width * height as a 32-bit product: a picture beyond 2^31 pixels wraps
// as the host's own arithmetic does.
int32_t pixelsOf(int32_t width, int32_t height);

// At the start of a save: sets job->timeSeconds to the estimate for its
// pixels, frames and filters. An estimator that can estimate nothing (an
// estimate of 0) starts over from its defaults and is asked once more.
void estimateJob(JobRecord* job);

// At the end of a save that took `elapsedSeconds`: sets job->timeSeconds to
// them, held within 32 bits, and job->fpsTimes100 to the speed reached,
// frames * 100 / elapsed (0 for a save that ended in the second it began).
void finishJob(JobRecord* job, int64_t elapsedSeconds);

// After the end notice: the estimator learns the run (pixels, frames,
// filters, timeSeconds).
void learnFromJob(const JobRecord& job);

// The SEND request that tells the mascot `section` of the chosen template
// (job.templatePath) expanded for the job, naming `ghost` ("" names none).
// Returns a new text (free with free()), or null when there is nothing to
// send: no template chosen, a script that expands to nothing, or no memory.
char* composeNotice(const char* section, const JobRecord& job, const char* ghost);

// The template a settings list chooses as the plug-in is loaded, in every
// edition. `listed` holds the index in `catalog` of each of the `count`
// entries the list shows. Returns the list position of the entry whose
// path is `storedPath`; else 0, the first, and the estimator starts afresh
// (what it learned was the stored template's saves); -1 when the list is
// empty (nothing is chosen).
int32_t restoreTemplateChoice(const TemplateCatalog* catalog, const int32_t* listed, int32_t count,
                              const char* storedPath);
