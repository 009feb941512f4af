// The built sstp.aux2 in the stand-in AviUtl ExEdit2 host, as the suites of
// this folder drive it: a copy of the module in a scratch folder of its own
// (so its settings and learned record start afresh) beside the templates a
// test gives, its connections for 9801 and 11000 sent to two test
// receivers through the import hooks of tools/host-support.
#pragma once

#include <gtest/gtest.h>
#include <stdint.h>
#include <windows.h>

#include <string>
#include <vector>

#include "Aviutl2Host.h"
#include "SstpReceiver.h"
#include "host-support/Files.h"
#include "template/JobRecord.h"

// The receivers standing in for the mascot on 9801 and 11000: started at
// the first call, kept until the process ends.
SstpReceiver* receiverAt9801();
SstpReceiver* receiverAt11000();

// Waits until `receiver` has received `count` requests or `timeoutMs` has
// passed, and takes (forgets) what it has.
std::vector<std::string> takeRequests(SstpReceiver* receiver, size_t count, DWORD timeoutMs);

// The built module's path, as the host loads it.
std::wstring builtModule();

// Milliseconds on a steady clock.
double nowMs();

// The request the 1.x edition sends for `section` of the template `job`
// names, with `ghost`: composeNotice's, "" when it sends none.
std::string noticeOf(const char* section, const JobRecord& job, const char* ghost);

// The start notice of the template at `templatePath` (as addTemplate
// gives it) for `job`, with `ghost`: noticeOf("start") once `job` holds
// that path and estimateJob's estimate from the estimator as the caller
// left it.
std::string startNoticeOf(JobRecord* job, const std::string& templatePath, const char* ghost);

// A job record of the given values, the rest zero.
JobRecord jobOf(int32_t width, int32_t height, int32_t fpsTimes100, int32_t frames, int32_t lengthSeconds);

class PluginSuite : public ::testing::Test {
 protected:
  // A fresh folder; both receivers answer at once and hold nothing.
  void SetUp() override;
  // Stops the host (unloading the plug-in) and expects it to have caught
  // no fault (a read past its records, a rule broken).
  void TearDown() override;

  // Copies the fixture `name` of tests/<area>/fixtures into the folder as
  // `as`; returns its path as the plug-in spells it.
  std::string addTemplate(const char* area, const char* name, const std::string& as);

  // Starts a host of `sdk` that reports `version`, with `scene` as its
  // edit information.
  void startHost(HostSdk sdk, DWORD version, const aviutl2Layout::EDIT_INFO& scene);
  void startHost() { startHost(HostSdk::current, kDefaultHostVersion, sceneInfo(1920, 1080, 30, 1, 299)); }

  // Copies the module into the folder, loads it and sends its connections
  // to the receivers. Returns what the load gave.
  LoadResult load();
  // Loads the module at `module` (a Windows path) as load() does.
  LoadResult loadFrom(const std::wstring& module);
  // Unloads it; returns how long UninitializePlugin took, in ms.
  double unload();
  // Unloads the plug-in, expects the host to have caught no fault and
  // stops it.
  void stopHost();
  // Stops the host and starts one as before, the same folder kept.
  void restartHost();

  // The settings window, null when none is open.
  HWND settingsWindow() const;

  // Lines the plug-in logged that hold `text`.
  std::vector<std::wstring> logged(const wchar_t* text) const;

  std::string path(const std::string& name) const { return folder.path() + "/" + name; }

  ScratchFolder folder{"aviutl2"};
  Aviutl2Host* host = nullptr;
  HostSdk hostSdk = HostSdk::current;
  DWORD hostVersion = kDefaultHostVersion;
  aviutl2Layout::EDIT_INFO hostScene = {};
};
