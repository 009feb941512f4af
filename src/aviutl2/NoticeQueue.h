// The notice thread: the plug-in's own thread that composes each notice
// (composeNotice) and delivers it (sendSstpMessageWithin), one after
// another in the order queued, so that no host thread ever waits for the
// mascot. A delivery the mascot does not take (status -1) is one line in
// the host's log.
#pragma once

#include <stdint.h>
#include <windows.h>

#include "aviutl2/Settings.h"
#include "template/JobRecord.h"

// Starts the thread. Returns false (logged) when it can't be started;
// notices queued then are dropped.
bool startNoticeThread();

// Queues the notice of `section` ("start" or "end") for `job`, with the
// template, ghost and port of `settings` (the template replaces
// job.templatePath). Returns at once; a notice that can't be queued (no
// thread, no memory) is dropped with a log line.
void queueNotice(const char* section, const JobRecord& job, const NoticeSettings& settings);

// From now on every delivery ends by `deadline` (a GetTickCount64 value)
// at the latest, and a notice there is no time left for is dropped with a
// log line; the thread goes on taking notices. An unload calls this first,
// so that what it does before stopping the thread counts against the same
// bound.
void limitNoticesUntil(ULONGLONG deadline);

// Stops the thread once it has delivered or dropped what is queued, within
// the deadline limitNoticesUntil gave (none given: now). Returns once the
// thread has ended; nothing happens when it never started.
void stopNoticeThread();
