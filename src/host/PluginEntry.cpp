// The module's one export and the filter record it hands the host. The host
// keeps a pointer to this record, writes its function table (byte 96) and
// the module handle (byte 104) into it, and passes it back to every handler,
// so the record is static and writable.
#include "estimate/Estimator.h"
#include "host/HostInterface.h"
#include "host/SaveNotifications.h"
#include "host/SettingsWindow.h"

namespace {

// The flag bits the host reads; the window size is the settings window's.
constexpr uint32_t kFilterFlags = 0x84400;
constexpr int32_t kWindowWidth = 320;
constexpr int32_t kWindowHeight = 90;

HostFilterDescriptor filterDescriptor = {
    kFilterFlags,
    kWindowWidth,
    kWindowHeight,
    "SSTP",
    {},       // 16-47
    nullptr,  // 48: no frame processing, the plug-in touches no pictures
    {},       // 52-63
    settingsWindowProc,
    {},  // 68-75
    &estimatorRecord,
    static_cast<int32_t>(sizeof(EstimatorRecord)),
    "Ver 0.4.0 by Vorandel",
    onSaveStart,
    onSaveEnd,
    nullptr,  // 96: the host's function table, filled by the host
    0,
    nullptr,  // 104: the module handle, filled by the host
    {},
};

}  // namespace

// Returns the descriptor; the host calls it once, right after loading.
extern "C" __declspec(dllexport) HostFilterDescriptor* WINAPI GetFilterTable(void) {
  return &filterDescriptor;
}
