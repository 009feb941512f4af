#include "GuardedPages.h"

#include <string.h>

#include <atomic>
#include <mutex>

namespace {

constexpr size_t kMaxRecords = 16;

struct GuardedRecord {
  std::atomic<uint8_t*> record{nullptr};  // null: the slot is free
  uint8_t* base = nullptr;                // what VirtualAlloc gave
  uint8_t* guard = nullptr;               // the no-access page, right behind the record
  const char* name = nullptr;
  std::atomic<bool> opened{false};        // a fault made the guard page accessible
};

GuardedRecord records[kMaxRecords];
std::mutex overrunLock;
std::vector<Overrun> overruns;
std::once_flag handlerInstalled;

size_t pageSize() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.dwPageSize;
}

void closeGuard(GuardedRecord& slot) {
  DWORD old;
  memset(slot.guard, 0, pageSize());
  VirtualProtect(slot.guard, pageSize(), PAGE_NOACCESS, &old);
  slot.opened = false;
}

// An access violation inside a guard page is recorded and the page opened,
// so that the faulting instruction runs again and succeeds; every other
// exception goes on to the next handler.
LONG CALLBACK onFault(EXCEPTION_POINTERS* pointers) {
  const EXCEPTION_RECORD* fault = pointers->ExceptionRecord;
  if (fault->ExceptionCode != EXCEPTION_ACCESS_VIOLATION || fault->NumberParameters < 2) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  uint8_t* address = reinterpret_cast<uint8_t*>(fault->ExceptionInformation[1]);
  for (GuardedRecord& slot : records) {
    uint8_t* record = slot.record.load();
    if (record == nullptr || address < slot.guard || address >= slot.guard + pageSize()) continue;
    {
      std::lock_guard<std::mutex> hold(overrunLock);
      overruns.push_back(Overrun{slot.name, static_cast<size_t>(address - record),
                                 fault->ExceptionInformation[0] == 1, GetCurrentThreadId()});
    }
    DWORD old;
    VirtualProtect(slot.guard, pageSize(), PAGE_READWRITE, &old);
    slot.opened = true;
    return EXCEPTION_CONTINUE_EXECUTION;
  }
  return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

void* allocateGuarded(const char* name, size_t bytes) {
  std::call_once(handlerInstalled, [] { AddVectoredExceptionHandler(1, onFault); });
  size_t page = pageSize();
  size_t recordPages = (bytes + page - 1) / page;
  if (recordPages == 0) recordPages = 1;
  for (GuardedRecord& slot : records) {
    if (slot.record.load() != nullptr) continue;
    uint8_t* base = static_cast<uint8_t*>(
        VirtualAlloc(nullptr, (recordPages + 1) * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    if (base == nullptr) return nullptr;
    slot.base = base;
    slot.guard = base + recordPages * page;
    slot.name = name;
    closeGuard(slot);
    slot.record = slot.guard - bytes;
    return slot.guard - bytes;
  }
  return nullptr;
}

void freeGuarded(void* record) {
  for (GuardedRecord& slot : records) {
    if (record == nullptr || slot.record.load() != record) continue;
    slot.record = nullptr;
    VirtualFree(slot.base, 0, MEM_RELEASE);
  }
}

std::vector<Overrun> takeOverruns() {
  std::lock_guard<std::mutex> hold(overrunLock);
  std::vector<Overrun> taken;
  taken.swap(overruns);
  return taken;
}

void rearmGuardPages() {
  for (GuardedRecord& slot : records) {
    if (slot.record.load() != nullptr && slot.opened) closeGuard(slot);
  }
}
