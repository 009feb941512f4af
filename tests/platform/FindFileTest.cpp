// FindFirstFileA, FindNextFileA and FindClose on a folder like a plug-in's:
// the same table runs against Windows' own functions under Wine and against
// the native stand-ins; where they disagree, the stand-in is wrong.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "host-support/Files.h"

#ifndef _WIN32
#include <dirent.h>
#include <stdint.h>
#include <stdio.h>
#endif

namespace {

struct Found {
  bool opened = false;
  DWORD error = 0;  // GetLastError after the search ended or failed
  std::vector<std::string> names;  // sorted: the order is the file system's
  std::vector<std::string> folders;
};

Found search(const std::string& pattern) {
  Found found;
  WIN32_FIND_DATAA data;
  HANDLE handle = FindFirstFileA(pattern.c_str(), &data);
  if (handle == INVALID_HANDLE_VALUE) {
    found.error = GetLastError();
    return found;
  }
  found.opened = true;
  do {
    found.names.push_back(data.cFileName);
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) found.folders.push_back(data.cFileName);
  } while (FindNextFileA(handle, &data));
  found.error = GetLastError();
  EXPECT_TRUE(FindClose(handle));
  std::sort(found.names.begin(), found.names.end());
  std::sort(found.folders.begin(), found.folders.end());
  return found;
}

class FindFile : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"a.tpp", "B.TPP", "c.Tpp", "ab.tpp", "d.tppx", "e.tp", "f.tpp.bak", ".dot.tpp"}) {
      writeFileBytes(folder + "/" + name, "[config]\r\n");
    }
    createFolders(folder + "/sub.tpp");
  }
  std::string pattern(const char* name) const { return hostPath(folder) + "\\" + name; }

  ScratchFolder scratch{"find"};
  const std::string folder = scratch.path();
};

TEST_F(FindFile, MatchesNamesWithoutRegardToCase) {
  struct Case {
    const char* pattern;
    std::vector<std::string> names;
  };
  const Case cases[] = {
      // Folders and hidden files match like files; "d.tppx" matches through
      // its short name "D~xxx.TPP", "f.tpp.bak" ("F~xxx.BAK") does not.
      {"*.tpp", {".dot.tpp", "B.TPP", "a.tpp", "ab.tpp", "c.Tpp", "d.tppx", "sub.tpp"}},
      {"*.TPP", {".dot.tpp", "B.TPP", "a.tpp", "ab.tpp", "c.Tpp", "d.tppx", "sub.tpp"}},
      {"?.tpp", {"B.TPP", "a.tpp", "c.Tpp"}},
      {"a*", {"a.tpp", "ab.tpp"}},
      {"*.tp", {"e.tp"}},
      // "*" finds the folder's own entries too.
      {"*", {".", "..", ".dot.tpp", "B.TPP", "a.tpp", "ab.tpp", "c.Tpp", "d.tppx", "e.tp", "f.tpp.bak", "sub.tpp"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pattern);
    Found found = search(pattern(c.pattern));
    ASSERT_TRUE(found.opened);
    EXPECT_EQ(found.names, c.names);
    EXPECT_EQ(found.error, static_cast<DWORD>(ERROR_NO_MORE_FILES));
  }
  EXPECT_EQ(search(pattern("*.tpp")).folders, std::vector<std::string>{"sub.tpp"});
}

TEST_F(FindFile, ReportsWhyNothingWasFound) {
  Found none = search(pattern("*.nothing"));
  EXPECT_FALSE(none.opened);
  EXPECT_EQ(none.error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  Found noFolder = search(pattern("missing\\*.tpp"));
  EXPECT_FALSE(noFolder.opened);
  EXPECT_EQ(noFolder.error, static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

// A folder of many entries is listed whole, whatever offsets the file
// system gives its entries. On ext4 they are hashes: a 32-bit program that
// QEMU runs gets 64-bit ones, which a 32-bit readdir refuses (EOVERFLOW),
// and the search used to end after the first batch with nothing found. The
// test says whether this run met offsets beyond 32 bits; an x86-64 kernel
// hands its own 32-bit programs 32-bit ones.
TEST_F(FindFile, ListsAFolderOfManyEntriesWhateverTheirOffsets) {
  std::vector<std::string> made;
  for (int n = 0; n < 300; ++n) {
    made.push_back("many-" + std::to_string(1000 + n) + ".tpp");
    ASSERT_TRUE(writeFileBytes(folder + "/" + made.back(), "[config]\r\n"));
  }
#ifndef _WIN32
  unsigned long long largestOffset = 0;
  if (DIR* listing = opendir(folder.c_str())) {
    while (struct dirent* entry = readdir(listing)) {
      largestOffset = std::max(largestOffset, static_cast<unsigned long long>(entry->d_off));
    }
    closedir(listing);
  }
  printf("largest directory offset: %#llx (%s 32 bits)\n", largestOffset,
         largestOffset > UINT32_MAX ? "beyond" : "within");
#endif
  Found found = search(pattern("many-*.tpp"));
  ASSERT_TRUE(found.opened);
  EXPECT_EQ(found.names, made);
  EXPECT_EQ(found.error, static_cast<DWORD>(ERROR_NO_MORE_FILES));
}

}  // namespace
