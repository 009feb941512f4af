// A host inside this process for the built plug-in, for hostile input and
// the soak. It does what AviUtl does: loads a copy of the module from a
// folder of its own (so the plug-in finds the templates placed there), takes
// the descriptor from GetFilterTable, writes its function table and the
// module handle into it, sends the window initialisation and calls the save
// handlers, all by the byte offsets of HostLayout.h. The host functions
// answer from a HostScene. Every record the host hands the plug-in (function
// table, filter records, output name, edit handle) lies between guard
// bytes and is compared after each call; the plug-in's connections to 9801
// and 11000 go to test receivers in this process (the import hooks of
// tools/host-emulator/hooks).
//
// Failures come back as texts, never as test assertions, so that a program
// without GoogleTest (a fuzz target) can drive the plug-in through it too.
// The host's state is static (the filter-record function gets no edit
// handle): its functions serve the plug-in attached last.
#pragma once

#include <stdint.h>
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "SstpReceiver.h"
#include "host-support/HostLayout.h"
#include "host-support/PluginLoader.h"

// One entry of the host's filter list, as the filter-record function gives
// it for its index.
struct HostFilter {
  bool given = true;                           // false: the function gives null
  uint32_t flags = hostLayout::kFilterActive;  // the flag word (word 0)
  bool processing = true;                      // a frame-processing function at word 12, else null
};

// How the load-text function writes a stored text into the plug-in's
// 260-byte buffer.
enum class TextWrite {
  terminated,    // at most 259 bytes and a terminator
  unterminated,  // at most 260 bytes and no terminator; the buffer's other bytes stay as they were
  nothing,       // not a byte, not even the default
};

// What the host's functions answer.
struct HostScene {
  int32_t currentFrame = 899;          // current-frame function
  std::vector<int32_t> saveFrameAnswers;  // is-save-frame for frame f: entry (uint32_t)f mod size;
                                          // empty: 1 for every frame
  bool fileInfoAnswers = true;         // file information
  int32_t rate = 30000;
  int32_t scale = 1001;
  bool writesWidth = true;             // picture size: what it writes
  bool writesHeight = true;
  int32_t width = 320;
  int32_t height = 240;
  bool systemInfoAnswers = true;       // system information
  int32_t reportedFilters = 0;         // its filter count
  std::vector<HostFilter> filters;     // per index; indexes past the end are active filters
  bool nullOutputName = false;         // a null output name pointer
  std::string outputName = "C:\\video\\output.avi";  // Shift_JIS
  bool outputNameTerminated = true;    // false: handed over without a terminator, guard bytes right behind
  bool noFunctionTable = false;        // no function table in the descriptor during the saves
  std::string savedTemplate;           // the host's "path" setting: a file name in the plug-in's folder
  std::optional<std::string> savedPath;  // or, when set, the stored "path" bytes as they are
  TextWrite pathWrite = TextWrite::terminated;  // how load-text writes a stored "path"
  std::optional<int32_t> savedPort = 9801;      // the host's "port" setting; none: load-integer gives the default
};

struct HostedPlugin {
  std::string folder;      // POSIX path of the plug-in's folder
  void* module = nullptr;  // the dlopen handle natively, the HMODULE under Windows
  uint8_t* descriptor = nullptr;
  HWND window = nullptr;   // the filter window the host made for it
  std::vector<uint8_t> descriptorAtAttach;  // its words once the host had written its own
};

// Copies the built module into `folder` and loads it as a host does, by
// the path `how` (see PluginLoader.h). Returns false with `error` set when
// it can't be copied or loaded.
bool loadHostedPlugin(const std::string& folder, ModulePath how, HostedPlugin* plugin, std::string* error);

// Makes the host's filter window, writes the host's words into the
// descriptor and sends the plug-in's connections to the receiver. Returns
// false with `error` set on failure.
bool attachHostedPlugin(HostedPlugin* plugin, std::string* error);

// Sets what the host functions answer from now on (output name and filter
// records are handed over afresh, each between guard bytes).
void setScene(const HostScene& scene);

// The handlers, called as the host calls them; each returns what the
// plug-in's handler returned. destroyWindow then destroys the controls the
// plug-in made in the filter window, as Windows does when the window goes
// (natively they are rows of the module's stand-ins); the host's window
// itself stays until unloadHostedPlugin, so that the window can be
// initialised again.
int32_t initialiseWindow(const HostedPlugin& plugin);
int32_t saveStart(const HostedPlugin& plugin, int32_t firstFrame, int32_t lastFrame);
int32_t saveEnd(const HostedPlugin& plugin);
int32_t destroyWindow(const HostedPlugin& plugin);

// The user's pick in one of the plug-in's lists (the control `controlId`)
// as the host passes it on: the list's selection becomes `index`
// (CB_SETCURSEL: -1 clears it, an index past the list is refused) and the
// window handler gets WM_COMMAND with CBN_SELCHANGE from that control.
// Returns what the handler returned; -1 without a control of that ID.
int32_t pickListEntry(const HostedPlugin& plugin, int32_t controlId, int32_t index);

// The plug-in's extended data and its size, as the descriptor names them.
uint8_t* extendedData(const HostedPlugin& plugin);
int32_t extendedDataSize(const HostedPlugin& plugin);

// What went wrong on the host's side since the last call: guard bytes or
// host records that changed, descriptor words that changed since the
// host attached (the extended data's bytes are the plug-in's own and are
// not among them), a foreign edit handle passed to a host function.
// Empty when nothing did.
std::string hostDamage(const HostedPlugin& plugin);

// Destroys the host's window and unloads the module under Windows (after
// destroyWindow), so its folder can be removed; natively the module stays
// loaded.
void unloadHostedPlugin(HostedPlugin* plugin);

// The receivers behind the plug-in's ports, started at the first use of
// either: at 9801 one that answers at once, at 11000 one that accepts and
// never reads, so that a large request stalls.
SstpReceiver* hostReceiver();
SstpReceiver* stalledReceiver();

// The script of a SEND request ("Script: " up to "\e" CR LF); the whole
// request in angle brackets when it has none.
std::string scriptOf(const std::string& request);

// The ghost a request names ("IfGhost: " up to CR LF); empty when it names
// none (SSTP/1.1).
std::string ghostOf(const std::string& request);

// The process's resident memory in KiB: VmRSS of /proc/self/status
// natively, the working set under Windows; 0 when it can't be read. Under
// QEMU's user-mode emulation it includes the emulator's own memory (its
// cache of translated code grows as new paths run).
long residentKiB();

// The bytes the process's heap holds for it, in KiB: the blocks allocated
// and not yet freed, as the allocator counts them (AddressSanitizer's
// count, or glibc's mallinfo2 without it, natively; every busy entry of
// every heap of the process under Windows). No emulator or allocator
// overhead is counted. -1 when it can't be read.
long heapInUseKiB();
