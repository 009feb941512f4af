// The whole plug-in through its host boundary, with every outside input at
// once: the host's answers, the 88 bytes of extended data it hands back,
// its "path" and "port" settings, the template files in the plug-in's
// folder and the mascot server's answer (the layout: HostBoundaryInput.h).
// Each run drives the built module as a host does, through the descriptor
// that GetFilterTable returned (the in-process host of tools/host-support):
// window initialisation, a pick in each list, up to three saves (start and
// end), WM_DESTROY.
//
// A run fails when a guard byte around a host record or a descriptor word
// changes, when a handler returns other than 1 (saves) or 0 (the window),
// when one handler call sends more than one notice, when it takes longer
// than the delivery limit and one second, or when a notice holds a byte
// that a profile read left unwritten: the module's stand-in writes
// kProfileUnwrittenByte there unless the buffer held 0, so a notice holding
// that byte while no template and no output name does read one. The receivers behind both ports
// answer with bytes, close at once or reset; a server that never answers is
// left out (every run would wait out the limit; the suites cover it).
//
// One module serves every run: one loaded per run would keep thousands of
// copies (one can't be unloaded while libFuzzer holds its coverage
// counters). So each run leaves the module as a fresh load has it, and a
// failure reproduces from its input alone (build/fuzz/fuzz_host_boundary
// FILE):
// - WM_DESTROY drops the catalogue, the chosen template (templatePath
//   empty, ghostName "") and the window's state, and the host then
//   destroys the controls (the stand-ins' window rows);
// - a last save with no template chosen (nothing is sent) and a picture
//   size of 0 x 0 sets the width and height back to 0, which a later save
//   whose picture-size function writes nothing would keep;
// - the profile stand-in's cache is flushed (no template of the run stays
//   parsed in it, whatever its new bytes' size and time) and the template
//   files are removed.
// Everything else a run reads is written first by the run: the extended
// data (the host hands it back before the initialisation), serverPort and
// the choice (initialisation), every field of the job record but width and
// height and the start time and frame (each save start), the receivers'
// answer. The module's clock (its import of `time`) is this target's: the
// start and end second of each save come from the input, which fixes the
// random choices and the measured seconds.
//
// The plug-in's folder has the same length on every machine, so catalogue
// paths are as long for the same names; the catalogue's order is the
// directory's (readdir), which one file system keeps for the same names.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <chrono>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "HostBoundaryInput.h"
#include "host-support/ImportHooks.h"
#include "common/Cp932.h"
#include "sstp/SstpNotifier.h"
#include "host-support/InProcessHost.h"
#include "host-support/Files.h"

namespace {

// The plug-in's folder as the plug-in spells it, backslash included: a
// template name of 160 bytes or more gives a path too long to choose.
constexpr size_t kFolderLength = 100;
// Linux takes names of up to 255 bytes.
constexpr size_t kMaxFileName = 200;
// The filter count a host reports at most (each index is one call).
constexpr int32_t kMaxReportedFilters = 100000;
// One handler call sends at most one notice, each bounded by the delivery
// limit; a second more for the rest of the call.
constexpr long kHandlerLimitMs = kSstpDeliveryLimitMs + 1000;

typedef std::chrono::steady_clock Clock;

struct Target {
  HostedPlugin plugin;
  std::string base;  // the temporary folder, removed at exit
  ProfileIntReader moduleProfileInt = nullptr;
  std::vector<std::string> files;  // the run's templates
};

Target target;
time_t hostClock;
bool inputHoldsMarker;  // a template or the output name of the run holds kProfileUnwrittenByte

time_t clockOfHost(time_t* out) {
  if (out != nullptr) *out = hostClock;
  return hostClock;
}

[[noreturn]] void fail(const std::string& what) { fuzzFail(what.c_str(), __FILE__, __LINE__); }

void removeBase() { removeTree(target.base); }

// With SSTP_FUZZ_TRACE set, every handler call and notice and the extended
// data a run leaves are printed, to compare what one input does alone and
// after others.
bool tracing() {
  static const bool on = getenv("SSTP_FUZZ_TRACE") != nullptr;
  return on;
}

// What the receivers got since the last call, once they are idle: the
// notices sent.
size_t takeNotices(const char* call) {
  size_t notices = 0;
  for (SstpReceiver* receiver : {hostReceiver(), stalledReceiver()}) {
    waitForReceiverIdle(receiver);
    std::vector<std::string> requests = takeReceiverRequests(receiver);
    notices += requests.size();
    for (const std::string& request : requests) {
      if (tracing()) fprintf(stderr, "  %s notice to %s: %s\n", call, receiver == hostReceiver() ? "9801" : "11000",
                             scriptOf(request).c_str());
      if (!inputHoldsMarker && holdsUnwrittenMarker(request)) {
        fail(std::string(call) + " sent a byte that a profile read left unwritten");
      }
    }
  }
  return notices;
}

// Calls one handler as the host does and checks what the host sees of it.
template <typename Call>
void callHandler(const char* what, int32_t expected, Call call) {
  Clock::time_point start = Clock::now();
  int32_t result = call();
  long ms = static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
  if (ms > kHandlerLimitMs) fail(std::string(what) + " took " + std::to_string(ms) + " ms");
  if (result != expected) fail(std::string(what) + " returned " + std::to_string(result));
  std::string damage = hostDamage(target.plugin);
  if (!damage.empty()) fail(std::string(what) + ": " + damage);
  if (tracing()) fprintf(stderr, "%s -> %d\n", what, result);
  size_t notices = takeNotices(what);
  if (notices > 1) fail(std::string(what) + " sent " + std::to_string(notices) + " notices");
}

// The bytes as a file name the platform allows: NUL, '/' and the
// single-byte characters Windows refuses in names become '_', at most
// kMaxFileName bytes, and a name of dots alone (or none) gets a '_' in
// front. The first template's name ends in ".tpp" in any
// letter case (added when it does not), so the folder always holds a
// template.
std::string fileNameOf(const std::string& bytes, bool first) {
  std::string name = bytes.substr(0, kMaxFileName);
  for (size_t i = 0; i < name.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(name[i]);
    if (isCp932LeadByte(c) && i + 1 < name.size() && isCp932TrailByte(static_cast<unsigned char>(name[i + 1]))) {
      ++i;
    } else if (c < 0x20 || strchr("/\\:*?\"<>|", c) != nullptr) {
      name[i] = '_';
    }
  }
  // No name, ".", "..": a folder, not a file.
  if (name.find_first_not_of('.') == std::string::npos) name = "_" + name;
  std::string ending;
  if (name.size() >= 4) appendFoldedName(&ending, name.data() + name.size() - 4, 4);
  if (first && ending != ".tpp") name = name.substr(0, kMaxFileName - 4) + ".tpp";
  return name;
}

// The "port" text as the host reads it: blanks, a sign and decimal digits,
// modulo 2^32.
int32_t decimalOf(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = i < text.size() && text[i] == '-';
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
  uint32_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) value = value * 10 + (text[i] - '0');
  return static_cast<int32_t>(negative ? 0u - value : value);
}

HostScene sceneOf(const BoundaryInput& in) {
  HostScene scene;
  scene.saveFrameAnswers = in.saveFrameAnswers;
  scene.fileInfoAnswers = in.fileInfoAnswers != 0;
  scene.rate = in.rate;
  scene.scale = in.scale;
  scene.systemInfoAnswers = in.systemInfoAnswers != 0;
  scene.reportedFilters = in.reportedFilters < kMaxReportedFilters ? in.reportedFilters : kMaxReportedFilters;
  for (const FilterInput& filter : in.filters) {
    scene.filters.push_back(HostFilter{filter.given != 0, filter.flags, filter.processing != 0});
  }
  scene.nullOutputName = in.nameForm == NameForm::null;
  scene.outputName = in.outputName;
  scene.outputNameTerminated = in.nameForm != NameForm::unterminated;
  if (in.pathForm != PathForm::none) {
    scene.savedPath = (in.pathInFolder != 0 ? hostFolder(target.plugin.folder) : std::string()) + in.path;
    scene.pathWrite = in.pathForm == PathForm::terminated     ? TextWrite::terminated
                      : in.pathForm == PathForm::unterminated ? TextWrite::unterminated
                                                              : TextWrite::nothing;
  }
  scene.savedPort.reset();
  if (in.portStored != 0) scene.savedPort = decimalOf(in.port);
  return scene;
}

void setServerAnswer(const BoundaryInput& in) {
  ReceiverAnswer answer = in.serverAnswer == ServerAnswer::bytes   ? ReceiverAnswer::custom
                          : in.serverAnswer == ServerAnswer::close ? ReceiverAnswer::close
                                                                   : ReceiverAnswer::reset;
  setReceiverAnswer(hostReceiver(), answer, in.answerBytes);
  setReceiverAnswer(stalledReceiver(), answer, in.answerBytes);
}

void writeTemplates(const BoundaryInput& in) {
  std::string module = pluginPath().substr(pluginPath().find_last_of('/') + 1);
  for (size_t i = 0; i < in.templates.size(); ++i) {
    std::string name = fileNameOf(in.templates[i].name, i == 0);
    // The loaded module's own file is not written over.
    if (name == module) name = "_" + name;
    std::string path = target.plugin.folder + "/" + name;
    if (!writeFileBytes(path, in.templates[i].bytes)) fail("can't write " + path);
    target.files.push_back(path);
  }
}

void save(HostScene scene, const SaveInput& in) {
  const HostedPlugin& plugin = target.plugin;
  scene.currentFrame = in.currentFrame;
  scene.writesWidth = (in.pictureSize & 1) != 0;
  scene.writesHeight = (in.pictureSize & 2) != 0;
  scene.width = in.width;
  scene.height = in.height;
  scene.noFunctionTable = (in.pictureSize & 4) != 0;
  setScene(scene);
  hostClock = in.startClock;
  callHandler("save start", 1, [&] { return saveStart(plugin, in.firstFrame, in.lastFrame); });
  hostClock = in.endClock;
  callHandler("save end", 1, [&] { return saveEnd(plugin); });
}

// Undoes what the run left in the module (see the top of this file).
void leaveAsLoaded() {
  HostScene scene;
  scene.width = 0;
  scene.height = 0;
  SaveInput last = {0, 0, 0, 3, 0, 0, 0, 0};
  save(scene, last);
  flushProfileCache(target.moduleProfileInt);
  for (const std::string& file : target.files) removeTree(file);
  target.files.clear();
}

}  // namespace

// AddressSanitizer holds freed blocks back from reuse, up to 256 MiB by
// default. A run frees megabytes of many sizes (scripts and requests of up
// to 1 MiB, the receiver's growing copies), and the resident memory grew
// with what the quarantine held in each size of block (800 MiB after ten
// minutes, 60 MiB without it); 64 MiB still holds every block a run frees.
extern "C" const char* __asan_default_options() { return "quarantine_size_mb=64"; }

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setUpScratch();
  target.base = makeTempFolder("host-boundary");
  atexit(removeBase);
  std::string folder = folderOfLength(target.base, kFolderLength);
  if (!createFolders(folder) || hostFolder(folder).size() != kFolderLength) {
    fail("no plug-in folder of " + std::to_string(kFolderLength) + " bytes: " + folder);
  }
  std::string error;
  if (!loadHostedPlugin(folder, ModulePath::ansi, &target.plugin, &error) ||
      !attachHostedPlugin(&target.plugin, &error)) {
    fail(error);
  }
  if (hostReceiver() == nullptr || stalledReceiver() == nullptr) fail("no receivers");
  if (hookImport(target.plugin.module, "msvcrt.dll", "time", reinterpret_cast<void*>(&clockOfHost)) == nullptr) {
    fail("the plug-in imports no time");
  }
  target.moduleProfileInt =
      reinterpret_cast<ProfileIntReader>(moduleExport(target.plugin.module, "GetPrivateProfileIntA"));
  if (target.moduleProfileInt == nullptr) fail("the module has no profile stand-in");
  flushProfileCache(target.moduleProfileInt);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  BoundaryInput in = readBoundaryInput(data, size);
  const HostedPlugin& plugin = target.plugin;
  inputHoldsMarker = holdsUnwrittenMarker(in.outputName);
  for (const TemplateInput& one : in.templates) inputHoldsMarker = inputHoldsMarker || holdsUnwrittenMarker(one.bytes);
  writeTemplates(in);
  memcpy(extendedData(plugin), in.extendedData, kExtendedDataBytes);
  setServerAnswer(in);
  HostScene scene = sceneOf(in);
  setScene(scene);

  callHandler("window initialisation", 0, [&] { return initialiseWindow(plugin); });
  if (in.templatePick.made != 0) {
    callHandler("template pick", 0,
                [&] { return pickListEntry(plugin, hostLayout::kTemplateListId, in.templatePick.index); });
  }
  if (in.portPick.made != 0) {
    callHandler("port pick", 0, [&] { return pickListEntry(plugin, hostLayout::kPortListId, in.portPick.index); });
  }
  for (const SaveInput& one : in.saves) save(scene, one);
  callHandler("WM_DESTROY", 0, [&] { return destroyWindow(plugin); });
  if (tracing()) {
    fprintf(stderr, "extended data:");
    for (size_t i = 0; i < kExtendedDataBytes; ++i) fprintf(stderr, " %02X", extendedData(plugin)[i]);
    fprintf(stderr, "\n");
  }
  leaveAsLoaded();
  return 0;
}
