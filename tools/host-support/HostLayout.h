// The AviUtl host's records as a host sees them: byte offsets and sizes of
// the filter descriptor, of the host's function table and of the records
// the host fills, the host's window message, and the layout of the
// estimator's record that the host keeps as the filter's extended data.
// The suites, the in-process host and the host emulator reach the plug-in
// only through these. They are written here on their own, not taken from
// the plug-in's headers, so that a layout mistake in the plug-in fails a
// test instead of being shared by it.
#pragma once

#include <stdint.h>
#include <string.h>
#include <windows.h>

#include <string>

static_assert(sizeof(void*) == 4, "the host and the plug-in are 32-bit");

namespace hostLayout {

// The filter descriptor that GetFilterTable returns; the host's own filter
// records have the same layout. Byte offsets.
constexpr int kDescriptorWords = 35;
constexpr int kDescriptorBytes = kDescriptorWords * 4;
constexpr int kDescriptorFlags = 0;
constexpr int kDescriptorWindowWidth = 4;
constexpr int kDescriptorWindowHeight = 8;
constexpr int kDescriptorName = 12;
constexpr int kDescriptorProcessing = 48;  // the frame-processing function
constexpr int kDescriptorWindowHandler = 64;
constexpr int kDescriptorExtendedData = 76;
constexpr int kDescriptorExtendedSize = 80;
constexpr int kDescriptorInformation = 84;
constexpr int kDescriptorSaveStart = 88;
constexpr int kDescriptorSaveEnd = 92;
constexpr int kDescriptorFunctionTable = 96;  // written by the host
constexpr int kDescriptorModule = 104;        // written by the host

// The host's function table: byte offsets of the slots the plug-in calls.
constexpr int kHostCurrentFrame = 24;
constexpr int kHostIsSaveFrame = 72;
constexpr int kHostFileInfo = 92;
constexpr int kHostPictureSize = 104;
constexpr int kHostLoadInt = 136;
constexpr int kHostLoadText = 144;
constexpr int kHostStoreText = 148;
constexpr int kHostSystemInfo = 160;
constexpr int kHostFilterRecord = 164;
// A table that the hosts here hand over ends with the last slot the
// plug-in calls: a read of a slot behind it then meets guard bytes or
// AddressSanitizer's red zone, where a longer table would answer with a
// null that the plug-in takes for a missing function.
constexpr int kHostTableWords = kHostFilterRecord / 4 + 1;
// The buffer the load-text function fills.
constexpr int kHostTextBytes = 260;

// The records the host fills: sizes in words and the words read.
constexpr int kFileInfoWords = 16;
constexpr int kFileInfoRate = 4;
constexpr int kFileInfoScale = 5;
constexpr int kSystemInfoWords = 19;
constexpr int kSystemInfoFilterCount = 2;
constexpr int kSystemInfoOutputName = 10;

// Filter flag bits: a filter counts as active with kFilterActive set and
// none of kFilterNotCounted.
constexpr uint32_t kFilterActive = 0x1;
constexpr uint32_t kFilterNotCounted = 0x208004;

// The host's message to the window handler once it has built the window.
constexpr UINT kWindowInitMessage = 1127;
// The plug-in's two lists in its window, by control ID: the IDs its
// WM_COMMAND notifications carry.
constexpr int32_t kTemplateListId = 40001;
constexpr int32_t kPortListId = 40002;

// The estimator's record in the extended data, a stored format: byte
// offsets; each sample is four int32 (pixels, frames, filters, seconds).
constexpr int kRecordBytes = 88;
constexpr int kRecordNextSlot = 0;
constexpr int kRecordSampleCount = 4;
constexpr int kRecordSecondsPerPixelFrame = 8;
constexpr int kRecordPerFilterFactor = 16;
constexpr int kRecordSamples = 24;
constexpr int kRecordSampleBytes = 16;
constexpr int kRecordSampleSlots = 4;

// The host functions, by their slot; records are passed as raw words.
typedef int32_t(__cdecl* HostCurrentFrame)(void* editHandle);
typedef int32_t(__cdecl* HostIsSaveFrame)(void* editHandle, int32_t frame);
typedef int32_t(__cdecl* HostFileInfo)(void* editHandle, uint32_t* record16);
typedef int32_t(__cdecl* HostPictureSize)(void* editHandle, int32_t frame, void* picture, int32_t* width,
                                          int32_t* height);
typedef int32_t(__cdecl* HostLoadInt)(void* filter, const char* key, int32_t defaultValue);
typedef int32_t(__cdecl* HostLoadText)(void* filter, const char* key, char* buffer260, const char* defaultText);
typedef int32_t(__cdecl* HostStoreText)(void* filter, const char* key, const char* text);
typedef int32_t(__cdecl* HostSystemInfo)(void* editHandle, uint32_t* record19);
typedef void*(__cdecl* HostFilterRecord)(int32_t index);

// The plug-in's export and handlers, by their place in the descriptor.
typedef void*(WINAPI* GetFilterTableFunction)(void);
typedef int32_t(__cdecl* PluginWindowHandler)(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                              void* editHandle, void* filter);
typedef int32_t(__cdecl* PluginSaveStart)(void* filter, int32_t firstFrame, int32_t lastFrame, void* editHandle);
typedef int32_t(__cdecl* PluginSaveEnd)(void* filter, void* editHandle);

// A host function table as a host builds it.
struct HostTable {
  uintptr_t words[kHostTableWords];
};

// Puts `function` into the slot at `byteOffset`.
template <typename F>
void setHostFunction(HostTable* table, int byteOffset, F function) {
  table->words[byteOffset / 4] = reinterpret_cast<uintptr_t>(function);
}

}  // namespace hostLayout

// The 32-bit word at `byteOffset` of a record, and the pointer it holds;
// records are read and written by bytes, whatever their alignment.
inline uint32_t wordAt(const void* record, int byteOffset) {
  uint32_t word;
  memcpy(&word, static_cast<const uint8_t*>(record) + byteOffset, sizeof word);
  return word;
}

inline void* pointerAt(const void* record, int byteOffset) {
  return reinterpret_cast<void*>(static_cast<uintptr_t>(wordAt(record, byteOffset)));
}

inline void setWordAt(void* record, int byteOffset, uint32_t value) {
  memcpy(static_cast<uint8_t*>(record) + byteOffset, &value, sizeof value);
}

inline void setPointerAt(void* record, int byteOffset, const void* pointer) {
  setWordAt(record, byteOffset, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer)));
}

// The function whose pointer is at `byteOffset`, as type F; null when the
// word is 0.
template <typename F>
F functionAt(const void* record, int byteOffset) {
  return reinterpret_cast<F>(static_cast<uintptr_t>(wordAt(record, byteOffset)));
}

// Fill the records of the file- and system-information functions as a
// host does: exactly their words, 0 but for those the plug-in reads.
inline void fillFileInfo(uint32_t* record16, int32_t rate, int32_t scale) {
  memset(record16, 0, hostLayout::kFileInfoWords * 4);
  record16[hostLayout::kFileInfoRate] = static_cast<uint32_t>(rate);
  record16[hostLayout::kFileInfoScale] = static_cast<uint32_t>(scale);
}

inline void fillSystemInfo(uint32_t* record19, int32_t filterCount, const char* outputName) {
  memset(record19, 0, hostLayout::kSystemInfoWords * 4);
  record19[hostLayout::kSystemInfoFilterCount] = static_cast<uint32_t>(filterCount);
  record19[hostLayout::kSystemInfoOutputName] = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(outputName));
}

// Fills a buffer of the load-text function with `text`, cut to fit with
// its terminator, as a host does.
inline void fillHostTextBuffer(char* buffer, const std::string& text) {
  size_t length = text.size() < hostLayout::kHostTextBytes ? text.size() : hostLayout::kHostTextBytes - 1;
  memcpy(buffer, text.data(), length);
  buffer[length] = '\0';
}

// The NUL-terminated text the pointer at `byteOffset` points at; "" for a
// null pointer.
inline std::string textAt(const void* record, int byteOffset) {
  const char* text = static_cast<const char*>(pointerAt(record, byteOffset));
  return text != nullptr ? std::string(text) : std::string();
}
