// The window, font and module calls the plug-in and the host emulator make:
// the same cases run against Windows' own functions under Wine and against
// the native stand-ins; where they disagree, the stand-in is wrong.
#include <gtest/gtest.h>
#include <string.h>
#include <windows.h>

#include <string>
#include <vector>

#include "host-support/PluginLoader.h"
#include "host-support/Files.h"

namespace {

constexpr DWORD kListStyle = WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST;
constexpr DWORD kLabelStyle = WS_CHILD | WS_VISIBLE | SS_RIGHT;

// A parent window with a label and a drop-down list, as the plug-in makes them.
class Window : public ::testing::Test {
 protected:
  void SetUp() override {
    parent = CreateWindowExA(0, "STATIC", "host", 0, 0, 0, 320, 90, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(parent, nullptr);
    label = CreateWindowExA(0, "STATIC", "\x83\x74\x83\x40\x83\x43\x83\x8B\x81\x46" /* ファイル： */, kLabelStyle, 8,
                            9, 50, 16, parent, nullptr, nullptr, nullptr);
    list = CreateWindowExA(WS_EX_CLIENTEDGE | WS_EX_CONTROLPARENT, "COMBOBOX", "ignored", kListStyle, 60, 5, 200,
                           200, parent, reinterpret_cast<HMENU>(static_cast<uintptr_t>(40001)), nullptr, nullptr);
    ASSERT_NE(label, nullptr);
    ASSERT_NE(list, nullptr);
  }
  void TearDown() override { DestroyWindow(parent); }

  LRESULT send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return SendMessageA(list, message, wParam, lParam);
  }
  LRESULT add(const char* text) { return send(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)); }

  HWND parent = nullptr;
  HWND label = nullptr;
  HWND list = nullptr;
};

std::string className(HWND window) {
  char name[64] = "";
  GetClassNameA(window, name, sizeof name);
  return name;
}

std::string windowText(HWND window) {
  char text[256] = "";
  GetWindowTextA(window, text, sizeof text);
  return text;
}

BOOL CALLBACK collect(HWND child, LPARAM lParam) {
  reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(child);
  return TRUE;
}

TEST_F(Window, ADropDownListKeepsEntriesAndOneSelection) {
  EXPECT_EQ(send(CB_GETCOUNT), 0);
  EXPECT_EQ(send(CB_GETCURSEL), CB_ERR);
  EXPECT_EQ(add("9801"), 0);
  EXPECT_EQ(add("11000"), 1);
  EXPECT_EQ(add("\x82\xB3\x82\xAD\x82\xE7 (a.tpp)" /* さくら (a.tpp) */), 2);  // not sorted
  EXPECT_EQ(send(CB_GETCOUNT), 3);
  EXPECT_EQ(send(CB_GETCURSEL), CB_ERR);

  EXPECT_EQ(send(CB_SETCURSEL, 1), 1);
  EXPECT_EQ(send(CB_GETCURSEL), 1);
  EXPECT_EQ(windowText(list), "11000");  // a drop-down list shows its selection
  char text[64];
  memset(text, '#', sizeof text);
  EXPECT_EQ(send(CB_GETLBTEXT, 2, reinterpret_cast<LPARAM>(text)), 14);
  EXPECT_STREQ(text, "\x82\xB3\x82\xAD\x82\xE7 (a.tpp)");
  EXPECT_EQ(send(CB_GETLBTEXTLEN, 1), 5);
  EXPECT_EQ(send(CB_GETLBTEXT, 3, reinterpret_cast<LPARAM>(text)), CB_ERR);
  EXPECT_EQ(send(CB_GETLBTEXTLEN, 3), CB_ERR);

  // An index past the list is refused and changes nothing; -1 clears.
  EXPECT_EQ(send(CB_SETCURSEL, 3), CB_ERR);
  EXPECT_EQ(send(CB_GETCURSEL), 1);
  EXPECT_EQ(send(CB_SETCURSEL, static_cast<WPARAM>(-1)), CB_ERR);
  EXPECT_EQ(send(CB_GETCURSEL), CB_ERR);
  EXPECT_EQ(windowText(list), "");
}

TEST_F(Window, ControlsReportTheirClassStylesPlaceAndID) {
  EXPECT_EQ(className(label), "Static");
  EXPECT_EQ(className(list), "ComboBox");
  EXPECT_EQ(windowText(label), "\x83\x74\x83\x40\x83\x43\x83\x8B\x81\x46");
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(label, GWL_STYLE)), kLabelStyle);
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(list, GWL_STYLE)), kListStyle);
  // A combo box draws its own sunken edge: WS_EX_CLIENTEDGE is gone.
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(list, GWL_EXSTYLE)), static_cast<DWORD>(WS_EX_CONTROLPARENT));
  EXPECT_EQ(GetWindowLongA(list, GWL_ID), 40001);
  EXPECT_EQ(GetWindowLongA(label, GWL_ID), 0);
  EXPECT_EQ(GetDlgItem(parent, 40001), list);
  EXPECT_EQ(GetDlgItem(parent, 40002), nullptr);
  EXPECT_EQ(GetParent(list), parent);

  RECT rect;
  ASSERT_TRUE(GetWindowRect(label, &rect));
  MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
  EXPECT_EQ(rect.left, 8);
  EXPECT_EQ(rect.top, 9);
  EXPECT_EQ(rect.right - rect.left, 50);
  EXPECT_EQ(rect.bottom - rect.top, 16);
  memset(&rect, 0, sizeof rect);
  SendMessageA(list, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&rect));
  MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
  EXPECT_EQ(rect.left, 60);
  EXPECT_EQ(rect.top, 5);
  EXPECT_EQ(rect.right - rect.left, 200);

  std::vector<HWND> children;
  EnumChildWindows(parent, collect, reinterpret_cast<LPARAM>(&children));
  EXPECT_EQ(children, (std::vector<HWND>{label, list}));  // in creation order
}

TEST_F(Window, AFontKeepsWhatItWasMadeWith) {
  HFONT font = CreateFontA(12, 0, 0, 0, FW_MEDIUM, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, 0, 0, PROOF_QUALITY,
                           DEFAULT_PITCH | FF_MODERN,
                           "\x82\x6C\x82\x72 \x82\x6F\x83\x53\x83\x56\x83\x62\x83\x4E" /* ＭＳ Ｐゴシック */);
  ASSERT_NE(font, nullptr);
  EXPECT_EQ(SendMessageA(label, WM_GETFONT, 0, 0), 0);
  SendMessageA(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
  SendMessageA(list, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
  EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(label, WM_GETFONT, 0, 0)), font);
  EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(list, WM_GETFONT, 0, 0)), font);
  LOGFONTA logFont;
  memset(&logFont, 0, sizeof logFont);
  ASSERT_EQ(GetObjectA(font, sizeof logFont, &logFont), static_cast<int>(sizeof logFont));
  EXPECT_EQ(logFont.lfHeight, 12);
  EXPECT_EQ(logFont.lfWeight, 500);
  EXPECT_EQ(logFont.lfCharSet, 128);
  EXPECT_EQ(logFont.lfQuality, 2);
  EXPECT_EQ(logFont.lfPitchAndFamily, 48);
  EXPECT_STREQ(logFont.lfFaceName, "\x82\x6C\x82\x72 \x82\x6F\x83\x53\x83\x56\x83\x62\x83\x4E");
  EXPECT_TRUE(DeleteObject(font));
}

TEST_F(Window, CreationFailsForAnUnknownClassOrAChildWithoutParent) {
  EXPECT_EQ(CreateWindowExA(0, "NOSUCHCLASS", "", kLabelStyle, 0, 0, 1, 1, parent, nullptr, nullptr, nullptr),
            nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_DOES_NOT_EXIST));
  EXPECT_EQ(CreateWindowExA(0, "STATIC", "", kLabelStyle, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_TLW_WITH_WSCHILD));
}

TEST_F(Window, DestroyingTheParentDestroysItsControls) {
  ASSERT_TRUE(DestroyWindow(parent));
  EXPECT_EQ(GetDlgItem(parent, 40001), nullptr);
  EXPECT_EQ(SendMessageA(list, CB_GETCOUNT, 0, 0), 0);
  EXPECT_EQ(className(list), "");
  parent = nullptr;
}

// The module path comes back with backslashes: the folder is cut at the last.
TEST(ModuleFileName, GivesTheLoadedModulesPathAndTheProgramsOwn) {
  LoadedPlugin plugin = loadPlugin();
  ASSERT_NE(plugin.module, nullptr);
  char path[4096];
  DWORD length = GetModuleFileNameA(static_cast<HMODULE>(plugin.module), path, sizeof path);
  EXPECT_EQ(std::string(path, length), hostPath(pluginPath()));

  // Too small a buffer: filled without a terminator, and its size reported.
  char small[6];
  memset(small, '#', sizeof small);
  EXPECT_EQ(GetModuleFileNameA(static_cast<HMODULE>(plugin.module), small, 5), 5u);
  EXPECT_EQ(std::string(small, 5), hostPath(pluginPath()).substr(0, 5));
  EXPECT_EQ(small[5], '#');

  length = GetModuleFileNameA(nullptr, path, sizeof path);
  ASSERT_GT(length, 0u);
  std::string own(path, length);
  EXPECT_NE(own.find("platform_window_test"), std::string::npos) << own;
  EXPECT_NE(own.find('\\'), std::string::npos) << own;
}

}  // namespace
