#include "aviutl2/EditWatch.h"

#include <string.h>

#include <atomic>

#include "aviutl2/HostLog.h"
#include "aviutl2/NoticeQueue.h"
#include "aviutl2/PluginFiles.h"
#include "aviutl2/SceneJob.h"
#include "aviutl2/Settings.h"
#include "estimate/Estimator.h"
#include "job/SaveJob.h"

namespace {

using aviutl2::EDIT_STATE_EDIT;
using aviutl2::EDIT_STATE_SAVE;

// How often the watcher reads the host's state: a change is seen within
// this much (a start or end notice leaves well within half a second).
constexpr DWORD kWatchPeriodMs = 100;
// States the listener may hand over before the watcher takes them; past
// that the newest replaces the last one kept.
constexpr int kHandedStates = 16;

// Shared with the listener, under watchLock; the watcher sleeps on
// watchWake.
SRWLOCK watchLock = SRWLOCK_INIT;
CONDITION_VARIABLE watchWake = CONDITION_VARIABLE_INIT;
int handedStates[kHandedStates];
int handedCount = 0;
bool stopping = false;
std::atomic<aviutl2::EDIT_HANDLE*> editHandle{nullptr};
HANDLE watchThread = nullptr;

// The watcher thread's own.
int lastState = EDIT_STATE_EDIT;
aviutl2::EDIT_INFO lastScene;  // the last usable edit information read
JobRecord job;                 // the output under way
ULONGLONG startedAt = 0;       // GetTickCount64 when it was seen to start
std::wstring recordFile;

// The whole seconds nearest to the time since `since` (a GetTickCount64
// value). Either change may be seen up to one period late, so an output of
// exactly N seconds measures a little more or less than N: the nearest
// whole second is N, where cutting the fraction off would give N - 1 half
// the time.
int64_t secondsSince(ULONGLONG since) { return static_cast<int64_t>((GetTickCount64() - since + 500) / 1000); }

// Reads the scene into lastScene when the host gives a usable one.
void readScene() {
  aviutl2::EDIT_INFO scene;
  memset(&scene, 0, sizeof scene);
  editHandle.load()->get_edit_info(&scene, static_cast<int>(sizeof scene));
  if (isUsableScene(scene)) lastScene = scene;
}

void outputStarted(bool mayAskHost) {
  startedAt = GetTickCount64();
  if (mayAskHost) readScene();
  job = JobRecord{};
  fillJobFromScene(lastScene, &job);
  estimateJob(&job);
  queueNotice("start", job, noticeSettings());
}

void outputEnded() {
  finishJob(&job, secondsSince(startedAt));
  queueNotice("end", job, noticeSettings());
  learnFromJob(job);
  if (!writeRecordFile(recordFile, estimatorRecord)) {
    LogText line;
    line.add(L"the learned record could not be written to ")
        .add(recordFile.empty() ? L"sstp.estimate" : recordFile.c_str());
    logLine(LogLevel::warn, line);
  }
}

// Takes in one state seen, from the listener or the watcher's own read.
void see(int state, bool mayAskHost) {
  bool saving = state == EDIT_STATE_SAVE;
  bool wasSaving = lastState == EDIT_STATE_SAVE;
  if (saving && !wasSaving) outputStarted(mayAskHost);
  if (!saving && wasSaving) outputEnded();
  lastState = state;
}

// Waits one period or until the listener hands something over, and takes
// what it handed. Returns true once the watcher is to stop.
bool takeHandedStates(int* states, int* count) {
  AcquireSRWLockExclusive(&watchLock);
  if (handedCount == 0 && !stopping) SleepConditionVariableSRW(&watchWake, &watchLock, kWatchPeriodMs, 0);
  *count = handedCount;
  memcpy(states, handedStates, sizeof(int) * static_cast<size_t>(handedCount));
  handedCount = 0;
  bool stop = stopping;
  ReleaseSRWLockExclusive(&watchLock);
  return stop;
}

// One turn: the states handed over, then the host's own. Returns false
// once the watcher is to stop.
bool watchOnce() {
  int states[kHandedStates];
  int count = 0;
  bool stop = takeHandedStates(states, &count);
  for (int i = 0; i < count; ++i) see(states[i], !stop);
  if (stop) return false;
  int state = editHandle.load()->get_edit_state();
  see(state, true);
  if (state != EDIT_STATE_SAVE) readScene();
  return true;
}

DWORD WINAPI watchEdits(void*) {
  for (;;) {
    try {
      if (!watchOnce()) return 0;
    } catch (...) {
      // Out of memory for a path or a log text: the next turn goes on.
    }
  }
}

}  // namespace

bool startEditWatch(aviutl2::EDIT_HANDLE* edit, const std::wstring& record) {
  editHandle = edit;
  recordFile = record;
  lastState = EDIT_STATE_EDIT;
  lastScene = unknownScene();
  stopping = false;
  handedCount = 0;
  watchThread = CreateThread(nullptr, 0, watchEdits, nullptr, 0, nullptr);
  if (watchThread != nullptr) return true;
  logLine(LogLevel::error, L"the watcher thread can't be started: no output is noticed");
  return false;
}

void onEditStateEvent(void*) {
  aviutl2::EDIT_HANDLE* edit = editHandle;
  if (edit == nullptr) return;
  int state = edit->get_edit_state();
  AcquireSRWLockExclusive(&watchLock);
  if (handedCount < kHandedStates) {
    handedStates[handedCount++] = state;
  } else {
    handedStates[kHandedStates - 1] = state;
  }
  ReleaseSRWLockExclusive(&watchLock);
  WakeConditionVariable(&watchWake);
}

void stopEditWatch() {
  if (watchThread == nullptr) return;
  AcquireSRWLockExclusive(&watchLock);
  stopping = true;
  ReleaseSRWLockExclusive(&watchLock);
  WakeConditionVariable(&watchWake);
  // The thread runs code of this module: it must end before the module goes.
  WaitForSingleObject(watchThread, INFINITE);
  CloseHandle(watchThread);
  watchThread = nullptr;
  editHandle = nullptr;
}
