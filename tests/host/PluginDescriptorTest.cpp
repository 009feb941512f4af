// The built module as the host sees it: loaded from its file, the export
// GetFilterTable found by its undecorated name, the descriptor read word by
// word at its byte offsets.
#include <gtest/gtest.h>

#include <string>

#include "support/PluginLoader.h"

namespace {

LoadedPlugin loaded() {
  std::string error;
  LoadedPlugin plugin = loadPlugin(&error);
  EXPECT_NE(nullptr, plugin.descriptor) << error;
  return plugin;
}

TEST(PluginDescriptor, EveryWordAtItsOffset) {
  LoadedPlugin plugin = loaded();
  ASSERT_NE(nullptr, plugin.descriptor);
  const uint8_t* d = plugin.descriptor;

  EXPECT_EQ(0x84400u, wordAt(d, 0));
  EXPECT_EQ(320u, wordAt(d, 4));
  EXPECT_EQ(90u, wordAt(d, 8));
  EXPECT_EQ("SSTP", textAt(d, 12));
  EXPECT_NE(0u, wordAt(d, 64));  // window handler
  EXPECT_NE(0u, wordAt(d, 76));  // extended data
  EXPECT_EQ(88u, wordAt(d, 80));
  EXPECT_EQ("Ver 0.4.0 by Vorandel", textAt(d, 84));
  EXPECT_NE(0u, wordAt(d, 88));  // save start
  EXPECT_NE(0u, wordAt(d, 92));  // save end
  // Three handlers, three functions.
  EXPECT_NE(wordAt(d, 64), wordAt(d, 88));
  EXPECT_NE(wordAt(d, 64), wordAt(d, 92));
  EXPECT_NE(wordAt(d, 88), wordAt(d, 92));

  // Every other word is zero, among them the frame-processing function at
  // 48 and the host's two words at 96 and 104 before the host writes them.
  const int set[] = {0, 4, 8, 12, 64, 76, 80, 84, 88, 92};
  for (int offset = 0; offset < kDescriptorWords * 4; offset += 4) {
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
  const uint8_t* record = static_cast<const uint8_t*>(pointerAt(plugin.descriptor, 76));
  ASSERT_NE(nullptr, record);
  EXPECT_EQ(std::string(88, '\0'), std::string(reinterpret_cast<const char*>(record), 88));
}

TEST(PluginDescriptor, HostWritesItsTableAndTheModuleHandle) {
  LoadedPlugin plugin = loaded();
  ASSERT_NE(nullptr, plugin.descriptor);
  FakeHostTable table = {};
  attachHost(plugin, table.words);
  EXPECT_EQ(table.words, pointerAt(plugin.descriptor, 96));
  EXPECT_EQ(plugin.module, pointerAt(plugin.descriptor, 104));
  attachHost(plugin, nullptr);
  setWordAt(plugin.descriptor, 104, 0);
}

}  // namespace
