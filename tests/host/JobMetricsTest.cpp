// The job metrics against a fake host: a function table and filter records
// built here from the host's byte layout (support/HostLayout.h, not the
// plug-in's own header), the edit handle pointing at the fake host's state.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "host/JobMetrics.h"
#include "host-support/HostLayout.h"

namespace {

// Which frames of a range the fake host writes, by position in the range.
typedef int32_t (*WriteRule)(int64_t position);

struct FakeHost {
  // is-save-frame
  int32_t firstFrame = 0;
  WriteRule writes = nullptr;
  std::vector<int32_t> askedFrames;
  // file information
  int32_t fileInfoAnswer = 1;
  uint32_t fileInfo[hostLayout::kFileInfoWords] = {};
  // system information
  int32_t systemInfoAnswer = 1;
  uint32_t systemInfo[hostLayout::kSystemInfoWords] = {};
  // filter records, the words of each record; a null entry is a record the
  // host does not give
  std::vector<uint8_t*> filterRecords;
  std::vector<int32_t> askedFilters;
};

// The filter-record function gets no edit handle.
FakeHost* currentHost = nullptr;

int32_t __cdecl fakeIsSaveFrame(void* editHandle, int32_t frame) {
  FakeHost* host = static_cast<FakeHost*>(editHandle);
  host->askedFrames.push_back(frame);
  return host->writes(static_cast<int64_t>(frame) - host->firstFrame);
}

int32_t __cdecl fakeFileInfo(void* editHandle, uint32_t* record16) {
  FakeHost* host = static_cast<FakeHost*>(editHandle);
  memcpy(record16, host->fileInfo, sizeof host->fileInfo);
  return host->fileInfoAnswer;
}

int32_t __cdecl fakeSystemInfo(void* editHandle, uint32_t* record19) {
  FakeHost* host = static_cast<FakeHost*>(editHandle);
  memcpy(record19, host->systemInfo, sizeof host->systemInfo);
  return host->systemInfoAnswer;
}

void* __cdecl fakeFilterRecord(int32_t index) {
  currentHost->askedFilters.push_back(index);
  if (index < 0 || static_cast<size_t>(index) >= currentHost->filterRecords.size()) return nullptr;
  return currentHost->filterRecords[index];
}

class JobMetrics : public ::testing::Test {
 protected:
  void SetUp() override {
    currentHost = &host;
    setHostFunction(&table, hostLayout::kHostIsSaveFrame,
                    static_cast<hostLayout::HostIsSaveFrame>(fakeIsSaveFrame));
    setHostFunction(&table, hostLayout::kHostFileInfo,
                    static_cast<hostLayout::HostFileInfo>(fakeFileInfo));
    setHostFunction(&table, hostLayout::kHostSystemInfo,
                    static_cast<hostLayout::HostSystemInfo>(fakeSystemInfo));
    setHostFunction(&table, hostLayout::kHostFilterRecord,
                    static_cast<hostLayout::HostFilterRecord>(fakeFilterRecord));
    setPointerAt(filterBytes, hostLayout::kDescriptorFunctionTable, table.words);
  }
  void TearDown() override { currentHost = nullptr; }

  // The record the host hands the handlers, as the metrics take it.
  HostFilterDescriptor* filter() { return reinterpret_cast<HostFilterDescriptor*>(filterBytes); }

  // Adds a filter to the host's list: its flag word and whether it has a
  // frame-processing function.
  void addFilter(uint32_t flags, bool processes) {
    others.emplace_back(hostLayout::kDescriptorBytes, 0);
    uint8_t* record = others.back().data();
    setWordAt(record, hostLayout::kDescriptorFlags, flags);
    setWordAt(record, hostLayout::kDescriptorProcessing, processes ? 0x1000 : 0);  // never called
    host.filterRecords.push_back(record);
    setFilterCount(static_cast<uint32_t>(host.filterRecords.size()));
  }

  void setFilterCount(uint32_t count) { host.systemInfo[hostLayout::kSystemInfoFilterCount] = count; }

  void setOutputName(const char* name) {
    host.systemInfo[hostLayout::kSystemInfoOutputName] = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(name));
  }

  FakeHost host;
  hostLayout::HostTable table = {};
  alignas(8) uint8_t filterBytes[hostLayout::kDescriptorBytes] = {};
  std::vector<std::vector<uint8_t>> others;
};

TEST_F(JobMetrics, CountSaveFramesAsksAtMostSixtyAndExtrapolates) {
  WriteRule all = [](int64_t) { return 1; };
  WriteRule allButSixtieth = [](int64_t p) { return p == 60 ? 0 : 1; };
  WriteRule allButFiftyNinth = [](int64_t p) { return p == 59 ? 0 : 1; };
  WriteRule first45 = [](int64_t p) { return p < 45 ? 1 : 0; };
  WriteRule even = [](int64_t p) { return p % 2 == 0 ? 1 : 0; };
  WriteRule oddAnswers = [](int64_t p) { return p % 2 == 0 ? 2 : -1; };
  struct Row {
    int32_t first, end;
    WriteRule writes;
    int32_t count, asked;
  } rows[] = {
      {0, 59, all, 59, 59},                 // under 60: every frame asked
      {0, 60, all, 60, 60},                 // exactly 60: still exact
      {0, 61, allButSixtieth, 61, 60},      // the unwritten last frame is never asked
      {0, 1000, first45, 750, 60},          // 1000 * 45 / 60
      {0, 1000, allButFiftyNinth, 983, 60}, // 59000 / 60, truncated
      {0, 59, even, 30, 59},
      {500, 530, all, 30, 30},              // not starting at 0
      {-10, 5, all, 15, 15},
      {0, 10, oddAnswers, 10, 10},          // any nonzero answer is a written frame
      {100, 100, all, 0, 0},                // empty range: no question
      {100, 50, all, 0, 0},                 // reversed range
      {INT32_MAX, INT32_MIN, all, 0, 0},    // end - first passes int32
      {INT32_MAX - 10, INT32_MAX, all, 10, 10},
      {0, 35791395, all, 35791395, 60},     // first range whose length * 60 passes int32
      {0, 35791395, first45, 26843546, 60}, // 35791395 * 45 / 60, truncated
      {0, INT32_MAX, all, INT32_MAX, 60},
      {INT32_MIN, INT32_MAX, all, INT32_MAX, 60},  // 2^32 - 1 frames: held at INT32_MAX
      {INT32_MIN, INT32_MAX, first45, INT32_MAX, 60},
  };
  for (const Row& row : rows) {
    host.firstFrame = row.first;
    host.writes = row.writes;
    host.askedFrames.clear();
    EXPECT_EQ(row.count, countSaveFrames(filter(), row.first, row.end, &host))
        << row.first << ".." << row.end;
    // Questions go in ascending order from the first frame.
    ASSERT_EQ(static_cast<size_t>(row.asked), host.askedFrames.size()) << row.first << ".." << row.end;
    for (int32_t i = 0; i < row.asked; i++) EXPECT_EQ(row.first + i, host.askedFrames[i]);
  }
}

TEST_F(JobMetrics, CountActiveFiltersByFlagsAndFrameFunction) {
  struct Row {
    uint32_t flags;
    bool processes;
    bool counts;
  } rows[] = {
      {0x1, true, true},
      {0x1 | 0x4, true, false},
      {0x1 | 0x8000, true, false},
      {0x1 | 0x200000, true, false},
      {0x1, false, false},                 // no frame-processing function
      {0x0, true, false},                  // not active
      {0x1 | 0x2 | 0x10 | 0x84400, true, true},  // other bits do not matter
      {0xFFFFFFFFu & ~0x208004u, true, true},
  };
  int32_t expected = 0;
  for (const Row& row : rows) {
    others.clear();
    host.filterRecords.clear();
    addFilter(row.flags, row.processes);
    EXPECT_EQ(row.counts ? 1 : 0, countActiveFilters(filter(), &host)) << std::hex << row.flags;
    expected += row.counts ? 1 : 0;
  }
  // All of them in one list.
  others.clear();
  host.filterRecords.clear();
  for (const Row& row : rows) addFilter(row.flags, row.processes);
  host.askedFilters.clear();
  EXPECT_EQ(expected, countActiveFilters(filter(), &host));
  EXPECT_EQ((std::vector<int32_t>{0, 1, 2, 3, 4, 5, 6, 7}), host.askedFilters);
}

TEST_F(JobMetrics, CountActiveFiltersWhenTheHostGivesNothing) {
  addFilter(0x1, true);
  addFilter(0x1, true);
  addFilter(0x1, true);
  EXPECT_EQ(3, countActiveFilters(filter(), &host));

  host.filterRecords[1] = nullptr;  // no record for an index below the count
  EXPECT_EQ(2, countActiveFilters(filter(), &host));

  setFilterCount(0);
  EXPECT_EQ(0, countActiveFilters(filter(), &host));
  setFilterCount(0xFFFFFFFFu);  // a negative count asks nothing
  host.askedFilters.clear();
  EXPECT_EQ(0, countActiveFilters(filter(), &host));
  EXPECT_TRUE(host.askedFilters.empty());

  setFilterCount(3);
  host.systemInfoAnswer = 0;  // filled, but the host says it did not
  EXPECT_EQ(0, countActiveFilters(filter(), &host));

  host.systemInfoAnswer = 1;
  setHostFunction(&table, hostLayout::kHostFilterRecord, static_cast<hostLayout::HostFilterRecord>(nullptr));
  EXPECT_EQ(0, countActiveFilters(filter(), &host));
}

TEST_F(JobMetrics, FrameRateTimes100) {
  struct Row {
    int32_t answer, rate, scale, expected;
  } rows[] = {
      {1, 30000, 1001, 2997},
      {1, 24000, 1001, 2397},
      {1, 60000, 1001, 5994},
      {1, 25, 1, 2500},
      {1, 15, 2, 750},
      {1, 60000000, 1000000, 6000},
      {1, 30000000, 30000001, 99},      // remainder * 100 passes 32 bits
      {1, 21474836, 1, 2147483600},     // the highest whole rate that fits
      {1, 21474837, 1, 2997},           // times 100 passes INT32_MAX
      {1, INT32_MAX, 1, 2997},
      {1, 0, 1, 0},                     // a rate of 0 is the formula's 0
      {1, 1, 1000, 0},                  // below 0.01 frames per second
      {1, 30000, 0, 2997},              // scale 0
      {1, -30000, 1001, 2997},          // negative rate
      {1, 30000, -1001, 2997},          // negative scale
      {1, INT32_MIN, -1, 2997},         // the one quotient that overflows
      {0, 24000, 1001, 2997},           // the host says it filled nothing
  };
  for (const Row& row : rows) {
    host.fileInfoAnswer = row.answer;
    host.fileInfo[hostLayout::kFileInfoRate] = static_cast<uint32_t>(row.rate);
    host.fileInfo[hostLayout::kFileInfoScale] = static_cast<uint32_t>(row.scale);
    EXPECT_EQ(row.expected, frameRateTimes100(filter(), &host)) << row.rate << "/" << row.scale;
  }
}

TEST_F(JobMetrics, CopyOutputNameCutsWholeCharactersAt259Bytes) {
  std::string a257(257, 'a'), a258(258, 'a'), a259(259, 'a');
  struct Row {
    std::string name;
    std::string expected;
    const char* why;
  } rows[] = {
      {"C:\\video\\out.avi", "C:\\video\\out.avi", "short"},
      {"C:\\\x93\xae\x89\xe6\\\x83\x5C.avi", "C:\\\x93\xae\x89\xe6\\\x83\x5C.avi", "C:\\動画\\ソ.avi"},
      {a259, a259, "exactly 259 bytes"},
      {std::string(300, 'x'), std::string(259, 'x'), "300 bytes"},
      {a258 + "\x83\x5C" + "b", a258, "a double-byte character across byte 259 goes whole"},
      {a257 + "\x83\x5C" + "b", a257 + "\x83\x5C", "a double-byte character ending at byte 259 stays"},
      {"abc\x83", "abc\x83", "a cut lead byte before the terminator"},
      {"", "", "empty"},
  };
  for (const Row& row : rows) {
    setOutputName(row.name.c_str());
    char destination[300];
    memset(destination, 0xCC, sizeof destination);
    copyOutputName(filter(), &host, destination);
    EXPECT_EQ(row.expected, std::string(destination)) << row.why;
    for (size_t i = 260; i < sizeof destination; i++) {
      ASSERT_EQ(0xCC, static_cast<uint8_t>(destination[i])) << row.why << ": wrote byte " << i;
    }
  }
}

TEST_F(JobMetrics, CopyOutputNameEmptyWhenTheHostGivesNone) {
  char destination[260];
  setOutputName(nullptr);
  strcpy(destination, "old");
  copyOutputName(filter(), &host, destination);
  EXPECT_STREQ("", destination);

  setOutputName("C:\\out.avi");
  host.systemInfoAnswer = 0;
  strcpy(destination, "old");
  copyOutputName(filter(), &host, destination);
  EXPECT_STREQ("", destination);
}

TEST_F(JobMetrics, NoFunctionTableOrEmptySlots) {
  // A host that has not written its table (a null pointer), and one whose
  // slots are empty: defaults, no crash.
  hostLayout::HostTable empty = {};
  const void* tables[] = {nullptr, empty.words};
  for (const void* functions : tables) {
    setPointerAt(filterBytes, hostLayout::kDescriptorFunctionTable, functions);
    char name[260] = "old";
    EXPECT_EQ(0, countSaveFrames(filter(), 0, 100, &host));
    EXPECT_EQ(0, countActiveFilters(filter(), &host));
    EXPECT_EQ(2997, frameRateTimes100(filter(), &host));
    copyOutputName(filter(), &host, name);
    EXPECT_STREQ("", name);
  }
}

}  // namespace
