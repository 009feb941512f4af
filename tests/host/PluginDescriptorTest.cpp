// The built module as the host sees it: loaded from its file, the export
// GetFilterTable found by its undecorated name, the descriptor read word by
// word at its byte offsets.
#include <gtest/gtest.h>

#include <string>

#include "host-support/PluginLoader.h"

namespace {

LoadedPlugin loaded() {
  std::string error;
  LoadedPlugin plugin = loadPlugin(&error);
  EXPECT_NE(nullptr, plugin.descriptor) << error;
  return plugin;
}

TEST(PluginDescriptor, EveryWordAtItsOffset) {
  using namespace hostLayout;
  LoadedPlugin plugin = loaded();
  ASSERT_NE(nullptr, plugin.descriptor);
  const uint8_t* d = plugin.descriptor;

  EXPECT_EQ(0x84400u, wordAt(d, kDescriptorFlags));
  EXPECT_EQ(320u, wordAt(d, kDescriptorWindowWidth));
  EXPECT_EQ(90u, wordAt(d, kDescriptorWindowHeight));
  EXPECT_EQ("SSTP", textAt(d, kDescriptorName));
  EXPECT_NE(0u, wordAt(d, kDescriptorWindowHandler));
  EXPECT_NE(0u, wordAt(d, kDescriptorExtendedData));
  EXPECT_EQ(static_cast<uint32_t>(kRecordBytes), wordAt(d, kDescriptorExtendedSize));
  EXPECT_EQ("Ver 0.4.0 by Vorandel", textAt(d, kDescriptorInformation));
  EXPECT_NE(0u, wordAt(d, kDescriptorSaveStart));
  EXPECT_NE(0u, wordAt(d, kDescriptorSaveEnd));
  // Three handlers, three functions.
  EXPECT_NE(wordAt(d, kDescriptorWindowHandler), wordAt(d, kDescriptorSaveStart));
  EXPECT_NE(wordAt(d, kDescriptorWindowHandler), wordAt(d, kDescriptorSaveEnd));
  EXPECT_NE(wordAt(d, kDescriptorSaveStart), wordAt(d, kDescriptorSaveEnd));

  // Every other word is zero, among them the frame-processing function and
  // the host's two words (function table, module) before the host writes
  // them.
  const int set[] = {kDescriptorFlags, kDescriptorWindowWidth, kDescriptorWindowHeight, kDescriptorName,
                     kDescriptorWindowHandler, kDescriptorExtendedData, kDescriptorExtendedSize,
                     kDescriptorInformation, kDescriptorSaveStart, kDescriptorSaveEnd};
  for (int offset = 0; offset < kDescriptorBytes; offset += 4) {
    bool isSet = false;
    for (int s : set) isSet = isSet || s == offset;
    if (!isSet) {
      EXPECT_EQ(0u, wordAt(d, offset)) << "byte offset " << offset;
    }
  }
}

TEST(PluginDescriptor, ExtendedDataIsAZeroRecordAtLoad) {
  LoadedPlugin plugin = loaded();
  ASSERT_NE(nullptr, plugin.descriptor);
  const uint8_t* record =
      static_cast<const uint8_t*>(pointerAt(plugin.descriptor, hostLayout::kDescriptorExtendedData));
  ASSERT_NE(nullptr, record);
  EXPECT_EQ(std::string(hostLayout::kRecordBytes, '\0'),
            std::string(reinterpret_cast<const char*>(record), hostLayout::kRecordBytes));
}

TEST(PluginDescriptor, HostWritesItsTableAndTheModuleHandle) {
  LoadedPlugin plugin = loaded();
  ASSERT_NE(nullptr, plugin.descriptor);
  hostLayout::HostTable table = {};
  attachHost(plugin, table.words);
  EXPECT_EQ(table.words, pointerAt(plugin.descriptor, hostLayout::kDescriptorFunctionTable));
  EXPECT_EQ(plugin.module, pointerAt(plugin.descriptor, hostLayout::kDescriptorModule));
  attachHost(plugin, nullptr);
  setWordAt(plugin.descriptor, hostLayout::kDescriptorModule, 0);
}

}  // namespace
