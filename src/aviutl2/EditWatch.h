// The watcher: the plug-in's own thread that tells when a file output
// starts and ends. The host shows it in get_edit_state (EDIT_STATE_SAVE
// while it writes a file); from the SDK of 2026/9/19 on it also fires
// CHANGE_EDIT_STATE on every change. The watcher reads the state about
// every 100 ms whether the event comes or not, and the event's listener
// hands the state it reads to the watcher at once; both feed one record of
// the last state seen, so each change is announced once, by whichever
// sees it first. Preview playback (EDIT_STATE_PLAY) is no output.
//
// At an output's start the watcher fills the job from the scene (read once
// more then, or else what it last read while editing), has it estimated
// and queues the start notice; at its end it takes the whole seconds
// nearest to the time between the two changes, queues the end notice,
// lets the estimator learn the run and writes the learned record.
// The estimator is touched by this thread alone once it runs.
#pragma once

#include <string>

#include "aviutl2/Aviutl2Interface.h"

// Starts the watcher on `edit`, writing the learned record to `recordFile`
// after each output (a failed write is logged). Its first read of the
// host's state comes after one period, once RegisterPlugin has returned.
// Returns false (logged) when the thread can't be started.
bool startEditWatch(aviutl2::EDIT_HANDLE* edit, const std::wstring& recordFile);

// The listener of CHANGE_EDIT_STATE, on the host's event thread: reads
// get_edit_state, hands it to the watcher and returns at once.
void onEditStateEvent(void* param);

// Stops the watcher: states the listener handed over are still taken in
// (an output's end the event reported is announced), nothing more is
// read from the host. Returns once the thread has ended; nothing happens
// when it never started.
void stopEditWatch();
