#include "aviutl2/NoticeQueue.h"

#include <stdlib.h>
#include <string.h>

#include "aviutl2/HostLog.h"
#include "job/SaveJob.h"
#include "sstp/SstpNotifier.h"

namespace {

struct QueuedNotice {
  QueuedNotice* next;
  const char* section;
  JobRecord job;
  char ghostName[sizeof(NoticeSettings::ghostName)];
  int32_t port;
};

// Guards the queue, the deadline and the stop request; the thread sleeps
// on noticeWake.
SRWLOCK queueLock = SRWLOCK_INIT;
CONDITION_VARIABLE noticeWake = CONDITION_VARIABLE_INIT;
QueuedNotice* head = nullptr;
QueuedNotice** tail = &head;
bool limited = false;       // deliveries end by `deadline`
ULONGLONG deadline = 0;     // a GetTickCount64 value
bool stopping = false;      // end once the queue is empty
HANDLE noticeThread = nullptr;

// When the deliveries of one turn must end.
struct Bound {
  bool limited;
  ULONGLONG deadline;
};

// Logs "the SECTION notice" and `what` happened to it.
void logNotice(const QueuedNotice& notice, const wchar_t* what) {
  LogText line;
  line.add(L"the ").addCp932(notice.section).add(L" notice").add(what);
  logLine(LogLevel::warn, line);
}

// Waits for the next notice and takes it, with the bound it has; null
// once stopping with an empty queue.
QueuedNotice* takeNotice(Bound* bound) {
  AcquireSRWLockExclusive(&queueLock);
  while (head == nullptr && !stopping) SleepConditionVariableSRW(&noticeWake, &queueLock, INFINITE, 0);
  QueuedNotice* notice = head;
  if (notice != nullptr) {
    head = notice->next;
    if (head == nullptr) tail = &head;
  }
  *bound = Bound{limited, deadline};
  ReleaseSRWLockExclusive(&queueLock);
  return notice;
}

// Milliseconds a delivery may take now: the delivery limit, or less when
// the bound is nearer.
int32_t deliveryLimit(const Bound& bound) {
  if (!bound.limited) return kSstpDeliveryLimitMs;
  ULONGLONG now = GetTickCount64();
  if (now >= bound.deadline) return 0;
  ULONGLONG left = bound.deadline - now;
  return left < static_cast<ULONGLONG>(kSstpDeliveryLimitMs) ? static_cast<int32_t>(left) : kSstpDeliveryLimitMs;
}

void deliver(const QueuedNotice& notice, const Bound& bound) {
  // Without a chosen template there is nothing to say.
  if (notice.job.templatePath[0] == '\0') return;
  const wchar_t* tooLate = L" was not sent: the plug-in was unloaded before its turn";
  if (deliveryLimit(bound) == 0) {
    logNotice(notice, tooLate);
    return;
  }
  char* request = composeNotice(notice.section, notice.job, notice.ghostName);
  if (request == nullptr) return;
  // The bound may have passed while the request was composed; with no time
  // left sendSstpMessageWithin sends nothing.
  int32_t limit = deliveryLimit(bound);
  int32_t status = sendSstpMessageWithin(request, notice.port, limit);
  free(request);
  if (limit == 0) {
    logNotice(notice, tooLate);
    return;
  }
  if (status != -1) return;
  LogText line;
  line.add(L"the ").addCp932(notice.section).add(L" notice was not delivered to 127.0.0.1:").addNumber(notice.port)
      .add(L": no answer from a mascot there");
  logLine(LogLevel::warn, line);
}

DWORD WINAPI sendNotices(void*) {
  for (;;) {
    Bound bound;
    QueuedNotice* notice = takeNotice(&bound);
    if (notice == nullptr) return 0;
    deliver(*notice, bound);
    free(notice);
  }
}

}  // namespace

bool startNoticeThread() {
  limited = false;
  stopping = false;
  noticeThread = CreateThread(nullptr, 0, sendNotices, nullptr, 0, nullptr);
  if (noticeThread != nullptr) return true;
  logLine(LogLevel::error, L"the notice thread can't be started: no notice is sent");
  return false;
}

void queueNotice(const char* section, const JobRecord& job, const NoticeSettings& settings) {
  QueuedNotice* notice = static_cast<QueuedNotice*>(malloc(sizeof(QueuedNotice)));
  if (notice == nullptr) {
    logLine(LogLevel::warn, L"a notice was dropped: no memory");
    return;
  }
  notice->next = nullptr;
  notice->section = section;
  notice->job = job;
  memcpy(notice->job.templatePath, settings.templatePath, sizeof settings.templatePath);
  memcpy(notice->ghostName, settings.ghostName, sizeof settings.ghostName);
  notice->port = settings.port;
  AcquireSRWLockExclusive(&queueLock);
  bool taken = noticeThread != nullptr && !stopping;
  if (taken) {
    *tail = notice;
    tail = &notice->next;
  }
  ReleaseSRWLockExclusive(&queueLock);
  if (!taken) {
    logNotice(*notice, L" was dropped: no notice thread runs");
    free(notice);
    return;
  }
  WakeConditionVariable(&noticeWake);
}

void limitNoticesUntil(ULONGLONG until) {
  AcquireSRWLockExclusive(&queueLock);
  limited = true;
  deadline = until;
  ReleaseSRWLockExclusive(&queueLock);
}

void stopNoticeThread() {
  if (noticeThread == nullptr) return;
  AcquireSRWLockExclusive(&queueLock);
  if (!limited) {
    limited = true;
    deadline = GetTickCount64();
  }
  stopping = true;
  ReleaseSRWLockExclusive(&queueLock);
  WakeConditionVariable(&noticeWake);
  // The thread runs code of this module: it must end before the module goes.
  WaitForSingleObject(noticeThread, INFINITE);
  CloseHandle(noticeThread);
  AcquireSRWLockExclusive(&queueLock);
  noticeThread = nullptr;
  ReleaseSRWLockExclusive(&queueLock);
}
