// Host records that end where a no-access page begins, so that a plug-in
// reading or writing past a record's end (a member an older host does not
// have) is caught where it happens: the fault is recorded as an overrun,
// the page is opened (zeroed, readable and writable) and the plug-in goes
// on, reading zeros there; rearmGuardPages closes it again. Works for
// every thread of the process (a vectored exception handler).
#pragma once

#include <stddef.h>
#include <windows.h>

#include <string>
#include <vector>

// A read or write past the end of a guarded record.
struct Overrun {
  std::string record;  // the name the record was allocated under
  size_t offset;       // the byte touched, counted from the record's start
  bool write;          // false: a read
  DWORD threadId;      // the thread that touched it
};

// Allocates `bytes` zeroed bytes that end right before a no-access page,
// under `name` (kept, not copied). Returns null when the pages can't be had
// or 16 records are allocated already.
void* allocateGuarded(const char* name, size_t bytes);

// Frees a record of allocateGuarded; null is allowed.
void freeGuarded(void* record);

// The overruns caught since the last call, in the order they happened; it
// forgets them.
std::vector<Overrun> takeOverruns();

// Zeroes every guard page a fault opened and makes it no-access again.
void rearmGuardPages();
