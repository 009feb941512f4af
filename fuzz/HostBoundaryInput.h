// The input of fuzz_host_boundary: everything that reaches the plug-in from
// outside in one run, and the steps the host takes. The bytes are read from
// the front, one field after another, in the order of BoundaryInput's
// fields (transferInput lists them once, for the reader and for the seed
// writer). Integers are little-endian; a text is a 16-bit length and that
// many bytes (an 8-bit length for template names); a list is an 8-bit
// count and its items. A field the input has run out for reads as zero
// bytes, a length or count beyond its limit is cut to the limit, and a
// choice byte is taken modulo the number of choices, so any bytes are an
// input and a short input is a plain one.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

constexpr size_t kExtendedDataBytes = 88;
constexpr size_t kMaxSaveFrameAnswers = 16;
constexpr size_t kMaxFilterRecords = 8;
constexpr size_t kMaxNameBytes = 1024;       // the output name
constexpr size_t kMaxSettingBytes = 600;     // "path" and "port", past the host's 260 bytes
constexpr size_t kMinTemplates = 1;          // a folder without templates ends the host
constexpr size_t kMaxTemplates = 3;
constexpr size_t kMaxTemplateBytes = 8192;
constexpr size_t kMaxAnswerBytes = 2048;
constexpr size_t kMaxSaves = 3;

// The output name as the system information hands it over.
enum class NameForm : uint8_t { terminated, unterminated, null, count };

// How the host keeps the "path" setting: none stored (load-text writes the
// default), or stored and written with a terminator, without one, or not
// at all.
enum class PathForm : uint8_t { none, terminated, unterminated, nothing, count };

// The mascot server's answer to every connection of the run.
enum class ServerAnswer : uint8_t { bytes, close, reset, count };

struct FilterInput {
  uint8_t given;       // 0: the filter-record function gives null
  uint32_t flags;
  uint8_t processing;  // 0: no frame-processing function
};

struct TemplateInput {
  std::string name;   // made a file name by the target (see HostBoundaryFuzz.cpp)
  std::string bytes;
};

struct PickInput {
  uint8_t made;   // 0: no pick in this list
  int32_t index;  // the entry picked; any index, -1 clears the selection
};

struct SaveInput {
  int32_t firstFrame;
  int32_t lastFrame;
  int32_t currentFrame;   // the current-frame function's answer at the save's end
  uint8_t pictureSize;    // bit 0: writes the width, bit 1: the height;
                          // bit 2: no function table during this save
  int32_t width;
  int32_t height;
  int32_t startClock;     // the wall clock during the start handler, seconds since 1970
  int32_t endClock;       // and during the end handler
};

struct BoundaryInput {
  uint8_t extendedData[kExtendedDataBytes];
  // The host's answers.
  std::vector<int32_t> saveFrameAnswers;  // is-save-frame for frame f: entry (uint32_t)f mod count; none: 1
  uint8_t fileInfoAnswers;                // 0: the file information answers 0
  int32_t rate;
  int32_t scale;
  uint8_t systemInfoAnswers;              // 0: the system information answers 0
  int32_t reportedFilters;
  std::vector<FilterInput> filters;       // indexes past them: active filters
  NameForm nameForm;
  std::string outputName;
  // The host's settings.
  PathForm pathForm;
  uint8_t pathInFolder;  // not 0: the plug-in's folder goes in front of the path's bytes
  std::string path;
  uint8_t portStored;    // 0: none stored, load-integer gives the default
  std::string port;      // read by the host as a decimal number
  // The plug-in's folder and the server.
  std::vector<TemplateInput> templates;
  ServerAnswer serverAnswer;
  std::string answerBytes;
  // The host's steps after the window's initialisation.
  PickInput templatePick;
  PickInput portPick;
  std::vector<SaveInput> saves;
};

// Reads an input; never fails.
BoundaryInput readBoundaryInput(const uint8_t* data, size_t size);

// The bytes that read back as `input` (limits applied).
std::string writeBoundaryInput(const BoundaryInput& input);

// An input with every field in its plain state: zero extended data, the
// host answering as the in-process host does by default (file and system
// information answered, 30000/1001, no filters, "C:\video\output.avi"),
// no "path", port text "9801", one template "a.tpp" with a "start" and an
// "end", the answer "SSTP/1.4 200 OK", no picks, one save of frames 0 to
// 899 ending at 899, 320 x 240, in the tenth second after the start.
BoundaryInput plainBoundaryInput();
