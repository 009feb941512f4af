// The records shared with the AviUtl host, laid out at the byte offsets the
// host uses. The plug-in hands the host a HostFilterDescriptor from
// GetFilterTable; the host fills in its function table and the module
// handle and passes the record back to every handler. Handlers and host
// functions use the C calling convention.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <windows.h>

struct HostFilterDescriptor;

typedef int32_t(__cdecl* WindowHandler)(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                        void* editHandle, HostFilterDescriptor* filter);
typedef int32_t(__cdecl* SaveStartHandler)(HostFilterDescriptor* filter, int32_t firstFrame,
                                           int32_t lastFrame, void* editHandle);
typedef int32_t(__cdecl* SaveEndHandler)(HostFilterDescriptor* filter, void* editHandle);

// Host services, by byte offset in the host's function table. Only the
// slots the plug-in calls are named; the host's table is longer.
struct HostFunctionTable {
  void* reserved0[6];
  int32_t(__cdecl* currentFrame)(void* editHandle);                                   // 24
  void* reserved28[11];
  int32_t(__cdecl* isSaveFrame)(void* editHandle, int32_t frame);                     // 72
  void* reserved76[4];
  int32_t(__cdecl* fileInfo)(void* editHandle, void* record16Words);                  // 92
  void* reserved96[2];
  int32_t(__cdecl* pictureSize)(void* editHandle, int32_t frame, void* picture,
                                int32_t* width, int32_t* height);                     // 104
  void* reserved108[7];
  int32_t(__cdecl* loadInt)(HostFilterDescriptor* filter, const char* key, int32_t defaultValue);   // 136
  void* reserved140[1];
  int32_t(__cdecl* loadText)(HostFilterDescriptor* filter, const char* key, char* buffer260,
                             const char* defaultText);                                // 144
  int32_t(__cdecl* storeText)(HostFilterDescriptor* filter, const char* key, const char* text);     // 148
  void* reserved152[2];
  int32_t(__cdecl* systemInfo)(void* editHandle, void* record19Words);                // 160
  HostFilterDescriptor*(__cdecl* filterRecord)(int32_t index);                        // 164
};

// The filter record: 35 32-bit words.
struct HostFilterDescriptor {
  uint32_t flags;                  // 0
  int32_t windowWidth;             // 4
  int32_t windowHeight;            // 8
  const char* name;                // 12
  uint32_t reserved16[8];          // 16-47
  void* frameProcessing;           // 48: null, the plug-in touches no pictures
  uint32_t reserved52[3];          // 52-63
  WindowHandler windowHandler;     // 64
  uint32_t reserved68[2];          // 68-75
  void* extendedData;              // 76
  int32_t extendedDataSize;        // 80
  const char* information;         // 84
  SaveStartHandler saveStart;      // 88
  SaveEndHandler saveEnd;          // 92
  HostFunctionTable* functions;    // 96: filled by the host
  uint32_t reserved100;            // 100
  HINSTANCE module;                // 104: filled by the host
  uint32_t reserved108[8];         // 108-139
};

#if defined(__i386__)
static_assert(sizeof(void*) == 4, "the host is a 32-bit program");
static_assert(sizeof(HostFilterDescriptor) == 140, "35 words");
static_assert(offsetof(HostFilterDescriptor, flags) == 0, "");
static_assert(offsetof(HostFilterDescriptor, windowWidth) == 4, "");
static_assert(offsetof(HostFilterDescriptor, windowHeight) == 8, "");
static_assert(offsetof(HostFilterDescriptor, name) == 12, "");
static_assert(offsetof(HostFilterDescriptor, frameProcessing) == 48, "");
static_assert(offsetof(HostFilterDescriptor, windowHandler) == 64, "");
static_assert(offsetof(HostFilterDescriptor, extendedData) == 76, "");
static_assert(offsetof(HostFilterDescriptor, extendedDataSize) == 80, "");
static_assert(offsetof(HostFilterDescriptor, information) == 84, "");
static_assert(offsetof(HostFilterDescriptor, saveStart) == 88, "");
static_assert(offsetof(HostFilterDescriptor, saveEnd) == 92, "");
static_assert(offsetof(HostFilterDescriptor, functions) == 96, "");
static_assert(offsetof(HostFilterDescriptor, module) == 104, "");
static_assert(offsetof(HostFunctionTable, currentFrame) == 24, "");
static_assert(offsetof(HostFunctionTable, isSaveFrame) == 72, "");
static_assert(offsetof(HostFunctionTable, fileInfo) == 92, "");
static_assert(offsetof(HostFunctionTable, pictureSize) == 104, "");
static_assert(offsetof(HostFunctionTable, loadInt) == 136, "");
static_assert(offsetof(HostFunctionTable, loadText) == 144, "");
static_assert(offsetof(HostFunctionTable, storeText) == 148, "");
static_assert(offsetof(HostFunctionTable, systemInfo) == 160, "");
static_assert(offsetof(HostFunctionTable, filterRecord) == 164, "");
#endif

// Word indexes in the records the host fills.
constexpr int kSystemInfoWords = 19;
constexpr int kSystemInfoFilterCount = 2;
constexpr int kSystemInfoOutputName = 10;
constexpr int kFileInfoWords = 16;
constexpr int kFileInfoRate = 4;
constexpr int kFileInfoScale = 5;

// Returns the host's function table, or null when there is no filter record
// or the host has not given a table. Every slot in it may still be null.
inline HostFunctionTable* hostFunctions(HostFilterDescriptor* filter) {
  return filter != nullptr ? filter->functions : nullptr;
}

// The host's message to the window handler once it has built the window.
constexpr UINT kWindowInitMessage = 1127;

extern "C" HostFilterDescriptor* WINAPI GetFilterTable(void);
