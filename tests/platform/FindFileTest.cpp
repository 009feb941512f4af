// FindFirstFileA, FindNextFileA and FindClose on a folder like a plug-in's:
// the same table runs against Windows' own functions under Wine and against
// the native stand-ins; where they disagree, the stand-in is wrong.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/TestFiles.h"

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
    folder = makeTempFolder("find");
    for (const char* name : {"a.tpp", "B.TPP", "c.Tpp", "ab.tpp", "d.tppx", "e.tp", "f.tpp.bak", ".dot.tpp"}) {
      writeFileBytes(folder + "/" + name, "[config]\r\n");
    }
    createFolders(folder + "/sub.tpp");
  }
  void TearDown() override { removeTree(folder); }

  std::string pattern(const char* name) const { return hostPath(folder) + "\\" + name; }

  std::string folder;
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

}  // namespace
