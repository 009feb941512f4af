// scanTemplates and releaseTemplates on real folders: natively through the
// stand-ins, under Wine through Windows' own directory search and profile
// reads.
#include <gtest/gtest.h>
#include <string.h>
#include <windows.h>

#include <string>
#include <vector>

#include "host-support/DirectorySearch.h"
#include "host-support/Files.h"
#include "template/TemplateCatalog.h"

namespace {

TEST(TemplateCatalog, AFolderWithoutTemplatesGivesNoEntries) {
  ScratchFolder scratch("catalog-empty");
  const std::string& folder = scratch.path();
  writeFileBytes(folder + "/a.tpp.txt", "[config]\r\nghost=a\r\n");
  for (const std::string& searched : {hostFolder(folder), hostFolder(folder + "/missing")}) {
    TemplateCatalog* catalog = scanTemplates(searched.c_str());
    ASSERT_NE(catalog, nullptr);
    EXPECT_EQ(catalog->entryCount, 0);
    EXPECT_EQ(catalog->paths, nullptr);
    EXPECT_EQ(catalog->ghostNames, nullptr);
    releaseTemplates(catalog);
  }
  releaseTemplates(nullptr);
}

TEST(TemplateCatalog, ListsEveryMatchWithItsGhostInSearchOrder) {
  ScratchFolder scratch("catalog");
  const std::string& folder = scratch.path();
  struct File {
    const char* name;
    std::string bytes;
    std::string ghost;
  };
  const File files[] = {
      {"a.tpp", "[config]\r\nghost=\x82\xB3\x82\xAD\x82\xE7\r\n", "\x82\xB3\x82\xAD\x82\xE7" /* さくら */},
      {"b.tpp", "[start]\r\n1=hello\r\n", ""},                     // no section "config"
      {"c.tpp", "[config]\r\nghost=\r\n", ""},                     // an empty ghost
      {"D.TPP", "[CONFIG]\r\nGHOST=Two Words\r\n", "Two Words"},   // names without regard to case
      {"e.tpp", "[config]\r\nghost=" + std::string(300, 'g') + "\r\n", std::string(259, 'g')},  // cut
  };
  for (const File& file : files) writeFileBytes(folder + "/" + file.name, file.bytes);
  createFolders(folder + "/sub.tpp");

  std::string host = hostFolder(folder);
  std::vector<std::string> order = searchOrder(host + "*.tpp");
  ASSERT_EQ(order.size(), 6u);
  TemplateCatalog* catalog = scanTemplates(host.c_str());
  ASSERT_NE(catalog, nullptr);
  ASSERT_EQ(catalog->entryCount, 6);
  for (int i = 0; i < 6; ++i) {
    SCOPED_TRACE(order[static_cast<size_t>(i)]);
    EXPECT_EQ(std::string(catalog->paths[i]), host + order[static_cast<size_t>(i)]);
    std::string ghost;  // the folder "sub.tpp" reads as a file without a ghost
    for (const File& file : files) {
      if (order[static_cast<size_t>(i)] == file.name) ghost = file.ghost;
    }
    EXPECT_EQ(std::string(catalog->ghostNames[i]), ghost);
  }
  releaseTemplates(catalog);
}

TEST(TemplateCatalog, AFolderTooLongForTheSearchPatternGivesNoEntries) {
  // "*.tpp" and the terminator leave 254 bytes of the 260 for the folder.
  ScratchFolder scratch("catalog-long");
  const std::string& base = scratch.path();
  for (size_t length : {254u, 255u}) {
    SCOPED_TRACE(length);
    std::string folder = folderOfLength(base, length);
    std::string host = hostFolder(folder);
    ASSERT_EQ(host.size(), length);
    writeFileBytes(folder + "/a.tpp", "[config]\r\nghost=a\r\n");
    TemplateCatalog* catalog = scanTemplates(host.c_str());
    ASSERT_NE(catalog, nullptr);
    EXPECT_EQ(catalog->entryCount, length == 254 ? 1 : 0);
    releaseTemplates(catalog);
    removeTree(folder);  // the next length starts from an empty folder
  }
}

}  // namespace
