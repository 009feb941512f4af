#include "PluginHarness.h"

#include <stdlib.h>
#include <string.h>

#include <chrono>

#include "aviutl2/SettingsDialog.h"
#include "host-support/PortRedirect.h"
#include "job/SaveJob.h"

#ifndef SSTP_AUX2_PATH
#error "SSTP_AUX2_PATH names the built module"
#endif

namespace {

struct Receivers {
  SstpReceiver* at9801;
  SstpReceiver* at11000;
};

const Receivers& receivers() {
  static Receivers started = [] {
    Receivers both = {startSstpReceiver(ReceiverSettings(), nullptr), startSstpReceiver(ReceiverSettings(), nullptr)};
    if (both.at9801 != nullptr) addPortRedirect(9801, receiverPort(both.at9801));
    if (both.at11000 != nullptr) addPortRedirect(11000, receiverPort(both.at11000));
    return both;
  }();
  return started;
}

}  // namespace

SstpReceiver* receiverAt9801() { return receivers().at9801; }

SstpReceiver* receiverAt11000() { return receivers().at11000; }

std::vector<std::string> takeRequests(SstpReceiver* receiver, size_t count, DWORD timeoutMs) {
  waitForReceiverRequests(receiver, count, timeoutMs);
  return takeReceiverRequests(receiver);
}

double nowMs() {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::string noticeOf(const char* section, const JobRecord& job, const char* ghost) {
  char* request = composeNotice(section, job, ghost);
  std::string text = request != nullptr ? request : "";
  free(request);
  return text;
}

std::string startNoticeOf(JobRecord* job, const std::string& templatePath, const char* ghost) {
  memcpy(job->templatePath, templatePath.c_str(), templatePath.size() + 1);
  estimateJob(job);
  return noticeOf("start", *job, ghost);
}

JobRecord jobOf(int32_t width, int32_t height, int32_t fpsTimes100, int32_t frames, int32_t lengthSeconds) {
  JobRecord job{};
  job.width = width;
  job.height = height;
  job.pixels = pixelsOf(width, height);
  job.fpsTimes100 = fpsTimes100;
  job.frames = frames;
  job.lengthSeconds = lengthSeconds;
  return job;
}

void PluginSuite::SetUp() {
  ASSERT_NE(receiverAt9801(), nullptr);
  ASSERT_NE(receiverAt11000(), nullptr);
  for (SstpReceiver* receiver : {receiverAt9801(), receiverAt11000()}) {
    setReceiverAnswer(receiver, ReceiverAnswer::ok, std::string());
    takeReceiverRequests(receiver);
  }
}

void PluginSuite::TearDown() {
  if (host != nullptr) stopHost();
  // What an unload delivered last belongs to no later case.
  for (SstpReceiver* receiver : {receiverAt9801(), receiverAt11000()}) {
    setReceiverAnswer(receiver, ReceiverAnswer::ok, std::string());
    waitForReceiverIdle(receiver);
    takeReceiverRequests(receiver);
  }
}

std::string PluginSuite::addTemplate(const char* area, const char* name, const std::string& as) {
  EXPECT_TRUE(writeFileBytes(path(as), readFileBytes(fixturePath(area, name)))) << name;
  return hostPath(path(as));
}

void PluginSuite::startHost(HostSdk sdk, DWORD version, const aviutl2Layout::EDIT_INFO& scene) {
  hostSdk = sdk;
  hostVersion = version;
  hostScene = scene;
  Aviutl2HostSettings settings;
  settings.shape = hostShapeOf(sdk);
  settings.hostVersion = version;
  std::string error;
  host = startAviutl2Host(settings, &error);
  ASSERT_NE(host, nullptr) << error;
  setEditInfo(host, scene);
}

std::wstring builtModule() { return wideOf(hostPath(SSTP_AUX2_PATH)); }

LoadResult PluginSuite::load() {
  std::string module = path("sstp.aux2");
  if (readFileBytes(module).empty()) {
    EXPECT_TRUE(writeFileBytes(module, readFileBytes(SSTP_AUX2_PATH)));
  }
  return loadFrom(wideOf(hostPath(module)));
}

LoadResult PluginSuite::loadFrom(const std::wstring& wide) {
  std::string error;
  LoadResult result = loadAviutl2Plugin(host, wide, &error);
  if (result != LoadResult::registered) return result;
  HMODULE loaded = GetModuleHandleW(wide.c_str());
  EXPECT_NE(loaded, nullptr);
  EXPECT_TRUE(installPortRedirects(loaded, &error)) << error;
  return result;
}

double PluginSuite::unload() {
  EXPECT_TRUE(unloadAviutl2Plugin(host));
  std::vector<PluginCall> calls = pluginCallsTo(host, "UninitializePlugin");
  return calls.empty() ? -1 : calls.back().milliseconds;
}

void PluginSuite::stopHost() {
  unloadAviutl2Plugin(host);
  EXPECT_EQ(std::vector<HostFault>(), takeFaults(host));
  stopAviutl2Host(host);
  host = nullptr;
}

void PluginSuite::restartHost() {
  stopHost();
  startHost(hostSdk, hostVersion, hostScene);
}

HWND PluginSuite::settingsWindow() const { return FindWindowW(kSettingsWindowClass, nullptr); }

std::vector<std::wstring> PluginSuite::logged(const wchar_t* text) const {
  std::vector<std::wstring> found;
  for (const LogLine& line : logLines(host)) {
    if (line.text.find(text) != std::wstring::npos) found.push_back(line.text);
  }
  return found;
}
