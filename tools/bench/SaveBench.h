// The save-start handler as a whole, and the expansion of the sample
// templates, for sstp-bench.
#pragma once

#include <stdint.h>

#include <string>

#include "SstpReceiver.h"

// Times the whole save-start handler (job metrics from a fake host, the
// estimate, the expansion of a template, delivery to `receiver`) against a
// bare exchange of the request it sent, in alternating blocks, for every
// template in `templatesFolder` (a POSIX path). The handler is the one the
// module exports, linked here from the same sources. Prints "start median
// LABEL FILE us", "start bare median LABEL FILE us" and "start/bare ratio
// LABEL FILE" for each, then the same without FILE for `sample`. Returns
// false when a run failed or there is no `sample`.
bool benchSaveStart(const char* label, const std::string& templatesFolder, const char* sample, long iterations,
                    SstpReceiver* receiver);

// Times expandSection of "start" and of "end" of every template in
// `templatesFolder`, nothing delivered, for the job of benchSaveStart.
// Prints "expand start median LABEL FILE us" and "expand end median LABEL
// FILE us". Returns false when there is no template.
bool benchExpansion(const char* label, const std::string& templatesFolder, long iterations);
