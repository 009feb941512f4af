#include "FakeHost.h"

#include <math.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <fstream>
#include <iterator>

#include <windows.h>  // natively the stand-in header: types and __cdecl only

#include "Text.h"

namespace {

struct Setting {
  std::string key;
  std::string value;
};

// A filter record in the descriptor layout.
struct FilterRecord {
  uint8_t bytes[hostLayout::kDescriptorBytes];
};

Project* project = nullptr;
uint8_t* pluginDescriptor = nullptr;
HostFiles files;
std::vector<Setting> settings;
std::vector<FilterRecord> filterRecords;
hostLayout::HostTable hostTable;
// The edit handle is opaque to the plug-in; this only gives it an address.
int editObject;

void readSettings() {
  settings.clear();
  std::ifstream in(files.settingsPath, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    settings.push_back(Setting{line.substr(0, equals), line.substr(equals + 1)});
  }
}

void writeSettings() {
  std::ofstream out(files.settingsPath, std::ios::binary | std::ios::trunc);
  for (const Setting& setting : settings) out << setting.key << '=' << setting.value << '\n';
}

const Setting* findSetting(const char* key) {
  for (const Setting& setting : settings) {
    if (setting.key == key) return &setting;
  }
  return nullptr;
}

bool isSkipped(const Project& theProject, int32_t frame) {
  for (const FrameRange& range : theProject.skipped) {
    if (frame >= range.first && frame <= range.last) return true;
  }
  return false;
}

// The host services, cdecl, at the offsets the plug-in calls.

int32_t __cdecl currentFrame(void*) {
  return project->endFrame != INT32_MIN ? project->endFrame : project->range.last;
}

int32_t __cdecl isSaveFrame(void*, int32_t frame) {
  if (frame < 0 || frame >= project->frameCount) return 0;
  return isSkipped(*project, frame) ? 0 : 1;
}

int32_t __cdecl fileInfo(void*, uint32_t* record) {
  if (!project->fileInfoAnswers) return 0;
  fillFileInfo(record, project->rate, project->scale);
  return 1;
}

int32_t __cdecl pictureSize(void*, int32_t, void*, int32_t* width, int32_t* height) {
  if (!project->pictureSizeAnswers) return 0;
  if (width != nullptr) *width = project->width;
  if (height != nullptr) *height = project->height;
  return 1;
}

int32_t __cdecl loadInt(void*, const char* key, int32_t defaultValue) {
  const Setting* setting = findSetting(key);
  // As a profile read: the leading number of the text, 0 when there is none.
  int32_t value = setting != nullptr ? static_cast<int32_t>(strtol(setting->value.c_str(), nullptr, 10))
                                     : defaultValue;
  say("host: load-int %s -> %d%s\n", quoted(key).c_str(), value, setting ? "" : " (default)");
  return value;
}

int32_t __cdecl loadText(void*, const char* key, char* buffer, const char* defaultText) {
  const Setting* setting = findSetting(key);
  std::string value = setting != nullptr ? setting->value : std::string(defaultText ? defaultText : "");
  // Printed as the buffer takes it.
  if (value.size() >= hostLayout::kHostTextBytes) value.resize(hostLayout::kHostTextBytes - 1);
  fillHostTextBuffer(buffer, value);
  say("host: load-text %s -> %s%s\n", quoted(key).c_str(), quoted(value).c_str(),
      setting ? "" : " (default)");
  return 1;
}

int32_t __cdecl storeText(void*, const char* key, const char* text) {
  std::string value = text ? text : "";
  bool found = false;
  for (Setting& setting : settings) {
    if (setting.key == key) {
      setting.value = value;
      found = true;
    }
  }
  if (!found) settings.push_back(Setting{key, value});
  writeSettings();
  say("host: store-text %s = %s\n", quoted(key).c_str(), quoted(value).c_str());
  return 1;
}

int32_t __cdecl systemInfo(void*, uint32_t* record) {
  if (!project->systemInfoAnswers) return 0;
  fillSystemInfo(record, static_cast<int32_t>(filterRecords.size()), project->outputName.c_str());
  return 1;
}

void* __cdecl filterRecord(int32_t index) {
  if (index < 0 || index >= static_cast<int32_t>(filterRecords.size())) return nullptr;
  // The plug-in's own entry is its descriptor, as the host lists it.
  if (index == static_cast<int32_t>(filterRecords.size()) - 1) return pluginDescriptor;
  return filterRecords[static_cast<size_t>(index)].bytes;
}

void __cdecl someFrameProcessing() {}

std::string readFile(const std::string& path, bool* found) {
  std::ifstream in(path, std::ios::binary);
  *found = static_cast<bool>(in);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The estimator's stored record, read field by field from its bytes.
struct StoredRecord {
  int32_t nextSlot;
  int32_t sampleCount;
  double secondsPerPixelFrame;
  double perFilterFactor;
  int32_t samples[hostLayout::kRecordSampleSlots][4];  // pixels, frames, filters, seconds
};

StoredRecord readRecord(const uint8_t* data) {
  StoredRecord record;
  record.nextSlot = static_cast<int32_t>(wordAt(data, hostLayout::kRecordNextSlot));
  record.sampleCount = static_cast<int32_t>(wordAt(data, hostLayout::kRecordSampleCount));
  memcpy(&record.secondsPerPixelFrame, data + hostLayout::kRecordSecondsPerPixelFrame, 8);
  memcpy(&record.perFilterFactor, data + hostLayout::kRecordPerFilterFactor, 8);
  static_assert(sizeof record.samples == hostLayout::kRecordSampleSlots * hostLayout::kRecordSampleBytes, "");
  memcpy(record.samples, data + hostLayout::kRecordSamples, sizeof record.samples);
  return record;
}

void printRecord(const StoredRecord& record) {
  say("extdata nextSlot=%d sampleCount=%d secondsPerPixelFrame=%.9g perFilterFactor=%.9g\n", record.nextSlot,
      record.sampleCount, record.secondsPerPixelFrame, record.perFilterFactor);
  for (int i = 0; i < hostLayout::kRecordSampleSlots; ++i) {
    const int32_t* sample = record.samples[i];
    say("extdata sample=%d pixels=%d frames=%d filters=%d seconds=%d\n", i, sample[0], sample[1], sample[2],
        sample[3]);
  }
}

// The estimate that the record's coefficients give for `theProject`: the
// model as the record stores it, in its order of operations. An estimate
// of 0 makes the save's start reset the record to its defaults.
void printModelEstimate(const StoredRecord& record, const Project& theProject) {
  int32_t filters = 0;
  for (const HostFilter& filter : theProject.filters) {
    bool counted = (filter.flags & hostLayout::kFilterNotCounted) == 0 &&
                   (filter.flags & hostLayout::kFilterActive) != 0 && filter.processing;
    if (counted) ++filters;
  }
  double pixels = static_cast<double>(theProject.width) * theProject.height;
  int32_t frames = framesToSave(theProject);
  double estimate =
      trunc((filters * record.perFilterFactor + 1) * record.secondsPerPixelFrame * pixels * frames);
  if (!isfinite(estimate)) estimate = 0;
  say("extdata model estimate for this project (%.0f pixels, %d frames, %d filters): %.0f s\n", pixels,
      frames, filters, estimate);
  if (estimate == 0) {
    double defaults = trunc((filters * 0.5 + 1) * 0.0001 * pixels * frames);
    say("extdata an estimate of 0 is reset at the save's start to the defaults, which give %.0f s\n", defaults);
  }
}

}  // namespace

void say(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  vprintf(format, arguments);
  va_end(arguments);
  fflush(stdout);
}

void* editHandle() { return &editObject; }

void attachFakeHost(uint8_t* descriptor, void* module, Project* theProject, const HostFiles& theFiles) {
  project = theProject;
  pluginDescriptor = descriptor;
  files = theFiles;
  readSettings();

  filterRecords.clear();
  for (const HostFilter& filter : project->filters) {
    FilterRecord record;
    memset(record.bytes, 0, sizeof record.bytes);
    setWordAt(record.bytes, hostLayout::kDescriptorFlags, filter.flags);
    if (filter.processing) {
      setPointerAt(record.bytes, hostLayout::kDescriptorProcessing, reinterpret_cast<void*>(&someFrameProcessing));
    }
    filterRecords.push_back(record);
  }
  filterRecords.push_back(FilterRecord());  // the plug-in's own place in the list

  memset(&hostTable, 0, sizeof hostTable);
  setHostFunction(&hostTable, hostLayout::kHostCurrentFrame, &currentFrame);
  setHostFunction(&hostTable, hostLayout::kHostIsSaveFrame, &isSaveFrame);
  setHostFunction(&hostTable, hostLayout::kHostFileInfo, &fileInfo);
  setHostFunction(&hostTable, hostLayout::kHostPictureSize, &pictureSize);
  setHostFunction(&hostTable, hostLayout::kHostLoadInt, &loadInt);
  setHostFunction(&hostTable, hostLayout::kHostLoadText, &loadText);
  setHostFunction(&hostTable, hostLayout::kHostStoreText, &storeText);
  setHostFunction(&hostTable, hostLayout::kHostSystemInfo, &systemInfo);
  setHostFunction(&hostTable, hostLayout::kHostFilterRecord, &filterRecord);
  setPointerAt(descriptor, hostLayout::kDescriptorFunctionTable, &hostTable);
  setPointerAt(descriptor, hostLayout::kDescriptorModule, module);
}

void loadExtendedData(uint8_t* descriptor, const HostFiles& theFiles) {
  uint8_t* data = static_cast<uint8_t*>(pointerAt(descriptor, hostLayout::kDescriptorExtendedData));
  uint32_t size = wordAt(descriptor, hostLayout::kDescriptorExtendedSize);
  bool found = false;
  std::string bytes = readFile(theFiles.extendedPath, &found);
  if (!found) {
    say("host: no extended data kept yet (%s); the plug-in's own %u bytes stand\n",
        quoted(theFiles.extendedPath).c_str(), size);
    return;
  }
  if (data == nullptr || bytes.size() != size) {
    say("host: extended data file holds %u bytes, the plug-in asks for %u: not loaded\n",
        static_cast<unsigned>(bytes.size()), size);
    return;
  }
  memcpy(data, bytes.data(), size);
  say("host: extended data loaded from %s (%u bytes)\n", quoted(theFiles.extendedPath).c_str(), size);
}

void saveExtendedData(uint8_t* descriptor, const HostFiles& theFiles) {
  const uint8_t* data = static_cast<const uint8_t*>(pointerAt(descriptor, hostLayout::kDescriptorExtendedData));
  uint32_t size = wordAt(descriptor, hostLayout::kDescriptorExtendedSize);
  if (data == nullptr || size == 0) return;
  std::ofstream out(theFiles.extendedPath, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), size);
  say("host: extended data saved to %s (%u bytes)\n", quoted(theFiles.extendedPath).c_str(), size);
}

int32_t framesToSave(const Project& theProject) {
  int32_t count = 0;
  for (int32_t frame = theProject.range.first; frame <= theProject.range.last; ++frame) {
    if (frame >= 0 && frame < theProject.frameCount && !isSkipped(theProject, frame)) ++count;
  }
  return count;
}

void dumpExtendedData(const uint8_t* descriptor, const Project& theProject) {
  const uint8_t* data = static_cast<const uint8_t*>(pointerAt(descriptor, hostLayout::kDescriptorExtendedData));
  uint32_t size = wordAt(descriptor, hostLayout::kDescriptorExtendedSize);
  if (data == nullptr) {
    say("extdata none\n");
    return;
  }
  std::string hex;
  char byte[4];
  for (uint32_t i = 0; i < size; ++i) {
    snprintf(byte, sizeof byte, i ? " %02x" : "%02x", data[i]);
    hex += byte;
  }
  say("extdata bytes=%u hex=%s\n", size, hex.c_str());
  if (size != static_cast<uint32_t>(hostLayout::kRecordBytes)) return;
  StoredRecord record = readRecord(data);
  printRecord(record);
  printModelEstimate(record, theProject);
}
