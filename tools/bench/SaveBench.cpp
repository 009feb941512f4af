#include "SaveBench.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <vector>

#include "Bench.h"
#include "host/HostInterface.h"
#include "host/ModuleState.h"
#include "host/SaveNotifications.h"
#include "host-support/Files.h"
#include "template/SectionExpansion.h"
#include "template/SjisText.h"
#include "template/TemplateCatalog.h"

namespace {

// The job: 1800 frames of 1920x1080 at 29.97 fps, all written, three
// active filters.
constexpr int32_t kLastFrame = 1799;
constexpr int32_t kFilters = 3;

int32_t __cdecl hostCurrentFrame(void*) { return kLastFrame; }

int32_t __cdecl hostIsSaveFrame(void*, int32_t) { return 1; }

int32_t __cdecl hostFileInfo(void*, void* record16) {
  uint32_t* words = static_cast<uint32_t*>(record16);
  memset(words, 0, kFileInfoWords * 4);
  words[kFileInfoRate] = 30000;
  words[kFileInfoScale] = 1001;
  return 1;
}

int32_t __cdecl hostPictureSize(void*, int32_t, void*, int32_t* width, int32_t* height) {
  *width = 1920;
  *height = 1080;
  return 1;
}

const char kOutputName[] = "C:\\video\\output.avi";

int32_t __cdecl hostSystemInfo(void*, void* record19) {
  uint32_t* words = static_cast<uint32_t*>(record19);
  memset(words, 0, kSystemInfoWords * 4);
  words[kSystemInfoFilterCount] = kFilters;
  words[kSystemInfoOutputName] = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(kOutputName));
  return 1;
}

void __cdecl frameFilter() {}

HostFilterDescriptor activeFilter;

HostFilterDescriptor* __cdecl hostFilterRecord(int32_t) { return &activeFilter; }

HostFunctionTable hostTable;
HostFilterDescriptor benchFilter;
int editHandle;

void attachFakeHost() {
  activeFilter.flags = 0x1;
  activeFilter.frameProcessing = reinterpret_cast<void*>(&frameFilter);
  hostTable.currentFrame = hostCurrentFrame;
  hostTable.isSaveFrame = hostIsSaveFrame;
  hostTable.fileInfo = hostFileInfo;
  hostTable.pictureSize = hostPictureSize;
  hostTable.systemInfo = hostSystemInfo;
  hostTable.filterRecord = hostFilterRecord;
  benchFilter.functions = &hostTable;
}

struct Sample {
  std::string file;  // base name
  std::string path;
  std::string ghost;
};

// The templates of the folder as the catalogue finds them, by file name.
std::vector<Sample> samplesIn(const std::string& posixFolder) {
  std::vector<Sample> samples;
  TemplateCatalog* catalog = scanTemplates(hostFolder(posixFolder).c_str());
  if (catalog == nullptr) return samples;
  for (int32_t i = 0; i < catalog->entryCount; ++i) {
    samples.push_back(Sample{baseNameOf(catalog->paths[i]), catalog->paths[i], catalog->ghostNames[i]});
  }
  releaseTemplates(catalog);
  std::sort(samples.begin(), samples.end(), [](const Sample& a, const Sample& b) { return a.file < b.file; });
  return samples;
}

// Makes `sample` the chosen template, as the settings window does. The
// ghost name is kept in `ghost`, which must outlive the saves.
bool choose(const Sample& sample, std::string* ghost) {
  if (sample.path.size() >= sizeof jobRecord.templatePath) return false;
  memcpy(jobRecord.templatePath, sample.path.c_str(), sample.path.size() + 1);
  *ghost = sample.ghost;
  ghostName = ghost->c_str();
  return true;
}

struct StartFigures {
  double startMedian = 0;
  double bareMedian = 0;
  size_t requestBytes = 0;
  long failures = 0;
};

// The save-start handler with `sample` chosen, against bare exchanges of
// the request it sent.
StartFigures timeSaveStart(const Sample& sample, long iterations, SstpReceiver* receiver) {
  StartFigures figures;
  std::string ghost;
  if (!choose(sample, &ghost)) {
    figures.failures = 1;
    return figures;
  }
  struct sockaddr_in address = loopbackAddress(serverPort);
  std::vector<double> started;
  std::vector<double> bare;
  long warmUp = iterations / 10;
  std::string request;
  for (long i = 0; i < warmUp + iterations; i += kBlock) {
    for (long j = 0; j < kBlock; ++j) {
      Clock::time_point start = Clock::now();
      if (onSaveStart(&benchFilter, 0, kLastFrame, &editHandle) != 1) ++figures.failures;
      if (i >= warmUp) started.push_back(microsecondsSince(start));
    }
    // The request of this block, sent bare in the next: random choices
    // follow the clock, so requests of different seconds differ a little.
    std::vector<std::string> requests = takeReceiverRequests(receiver);
    if (requests.size() != static_cast<size_t>(kBlock)) figures.failures += kBlock;
    if (!requests.empty()) request = requests.back();
    for (long j = 0; j < kBlock; ++j) {
      Clock::time_point start = Clock::now();
      if (!bareExchange(address, request)) ++figures.failures;
      if (i >= warmUp) bare.push_back(microsecondsSince(start));
    }
    takeReceiverRequests(receiver);
  }
  figures.startMedian = median(started);
  figures.bareMedian = median(bare);
  figures.requestBytes = request.size();
  return figures;
}

void printStartFigures(const std::string& suffix, const StartFigures& figures) {
  printFigure("start median " + suffix + " us", figures.startMedian, 1);
  printFigure("start bare median " + suffix + " us", figures.bareMedian, 1);
  printFigure("start/bare ratio " + suffix,
              figures.bareMedian > 0 ? figures.startMedian / figures.bareMedian : 0.0, 2);
}

}  // namespace

bool benchSaveStart(const char* label, const std::string& templatesFolder, const char* sample, long iterations,
                    SstpReceiver* receiver) {
  attachFakeHost();
  serverPort = receiverPort(receiver);
  StartFigures headline;
  bool found = false;
  long failures = 0;
  for (const Sample& each : samplesIn(templatesFolder)) {
    StartFigures figures = timeSaveStart(each, iterations, receiver);
    failures += figures.failures;
    printStartFigures(std::string(label) + " " + each.file, figures);
    if (each.file == sample) {
      headline = figures;
      found = true;
    }
  }
  if (!found) {
    fprintf(stderr, "sstp-bench: no template %s in %s\n", sample, templatesFolder.c_str());
    return false;
  }
  printStartFigures(label, headline);
  printFigure(std::string("start request bytes ") + label, static_cast<double>(headline.requestBytes), 0);
  if (failures != 0) fprintf(stderr, "sstp-bench: %ld save starts or exchanges failed\n", failures);
  return failures == 0;
}

bool benchExpansion(const char* label, const std::string& templatesFolder, long iterations) {
  std::vector<Sample> samples = samplesIn(templatesFolder);
  if (samples.empty()) {
    fprintf(stderr, "sstp-bench: no template in %s\n", templatesFolder.c_str());
    return false;
  }
  std::string ghost;
  for (const Sample& sample : samples) {
    if (!choose(sample, &ghost)) continue;
    for (const char* section : {"start", "end"}) {
      std::vector<double> times;
      for (long i = 0; i < iterations; ++i) {
        Clock::time_point start = Clock::now();
        free(expandSection(section, jobRecord));
        times.push_back(microsecondsSince(start));
      }
      printFigure(std::string("expand ") + section + " median " + label + " " + sample.file + " us", median(times), 1);
    }
  }
  return true;
}
