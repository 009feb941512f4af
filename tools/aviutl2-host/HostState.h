// Inside the stand-in host: the state its functions share and the two
// helpers both halves use. Not part of the contract (Aviutl2Host.h).
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "Aviutl2Host.h"

struct Aviutl2Host {
  Aviutl2HostSettings settings;
  HWND window = nullptr;
  // The records handed over, each ending before a no-access page.
  aviutl2Layout::HOST_APP_TABLE* table = nullptr;
  aviutl2Layout::EDIT_HANDLE* editHandle = nullptr;
  aviutl2Layout::LOG_HANDLE* logger = nullptr;
  aviutl2Layout::CONFIG_HANDLE* config = nullptr;

  // Guards everything below it but the atomics.
  mutable std::mutex lock;
  HMODULE module = nullptr;
  aviutl2Layout::UninitializePluginFunction uninitializePlugin = nullptr;  // the module's, found as it was loaded
  PluginExports exports;
  std::wstring pluginName;
  std::wstring pluginInformation;
  aviutl2Layout::EDIT_INFO editInfo = {};
  std::vector<PluginCall> calls;
  std::vector<LogLine> logLines;
  std::vector<Registration> registrations;
  std::vector<HostFault> faults;
  std::atomic<int> state{0};
  std::atomic<bool> insideRegisterPlugin{false};
  std::atomic<int> tableCalls[aviutl2Layout::kTableMembers] = {};
  std::atomic<int> editHandleCalls[aviutl2Layout::kEditHandleMembers] = {};

  // The event thread and what it has been given: event types in order, as
  // tickets posted and delivered.
  std::thread eventThread;
  std::atomic<DWORD> eventThreadId{0};
  std::mutex eventLock;
  std::condition_variable eventWake;
  std::condition_variable eventDone;
  std::deque<int> pendingEvents;
  uint64_t eventsPosted = 0;
  uint64_t eventsDelivered = 0;
  bool stopping = false;
};

// The host the records' functions serve; null when none runs.
extern Aviutl2Host* runningHost;

// Builds the records of `host`'s shape in guarded pages; false when the
// pages can't be had. freeHostRecords gives them back.
bool buildHostRecords(Aviutl2Host* host);
void freeHostRecords(Aviutl2Host* host);

// Waits until the event thread has delivered every event posted.
void waitForEvents(Aviutl2Host* host);

// Adds a fault to the host's list.
void addFault(Aviutl2Host* host, const std::string& fault);

// Runs `call` (a call into the plug-in) and records it as `entry`, with
// the calling thread and its duration; then records the overruns it made
// as faults and closes the guard pages again.
void recordPluginCall(Aviutl2Host* host, const std::string& entry, void (*call)(void* context), void* context);

template <typename F>
void callPlugin(Aviutl2Host* host, const std::string& entry, F call) {
  recordPluginCall(host, entry, [](void* context) { (*static_cast<F*>(context))(); }, &call);
}
