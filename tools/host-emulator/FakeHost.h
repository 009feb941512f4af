// The AviUtl host as the plug-in sees it: the project being saved, the
// function table of host services, the host's settings (kept in a file so
// that choices persist from one run to the next) and the filter's extended
// data (kept in a file too). The plug-in's descriptor is only ever touched
// at the byte offsets of support/HostLayout.h; nothing here knows the
// plug-in's own headers.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "host-support/HostLayout.h"

struct FrameRange {
  int32_t first;
  int32_t last;
};

struct HostFilter {
  uint32_t flags;
  bool processing;  // has a frame-processing function
};

// The project and the state of the save, as the host functions report them.
struct Project {
  int32_t frameCount = 900;
  FrameRange range = {0, -1};   // last -1: up to the last frame
  int32_t endFrame = INT32_MIN; // current frame at save end; INT32_MIN: range.last
  int32_t width = 320;
  int32_t height = 240;
  bool pictureSizeAnswers = true;
  int32_t rate = 30000;
  int32_t scale = 1001;
  bool fileInfoAnswers = true;
  bool systemInfoAnswers = true;
  std::string outputName = "C:\\video\\output.avi";  // Shift_JIS
  std::vector<HostFilter> filters;
  std::vector<FrameRange> skipped;  // frames the save does not write
};

// What the host keeps between runs, as files.
struct HostFiles {
  std::string settingsPath;  // key=value lines, Shift_JIS
  std::string extendedPath;  // the extended data bytes
};

// Builds the host's function table and the records behind it; `descriptor`
// is the plug-in's filter record. The table pointer and the module handle
// are written into the descriptor at 96 and 104.
void attachFakeHost(uint8_t* descriptor, void* module, Project* project, const HostFiles& files);

// The edit handle the host hands to every handler.
void* editHandle();

// Reads the extended data file into the plug-in's extended data, when the
// file holds exactly as many bytes. Prints what it did.
void loadExtendedData(uint8_t* descriptor, const HostFiles& files);

// Writes the plug-in's extended data to the file. Prints what it did.
void saveExtendedData(uint8_t* descriptor, const HostFiles& files);

// Prints the extended data bytes and, read as the estimator's stored
// record, its fields and the estimate they give for `project`.
void dumpExtendedData(const uint8_t* descriptor, const Project& project);

// Frames from the range that the save writes (the host's own count).
int32_t framesToSave(const Project& project);

// printf to standard output, flushed at once.
void say(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
