// host-emulator: plays the AviUtl host for a filter plug-in. It loads the
// plug-in module, takes its filter record from GetFilterTable, fills in a
// host function table and the module handle, and then does what the host
// does: initialise the filter window, let the user pick entries, save a
// video (start, a wait, end), destroy the window. The host's settings and
// the filter's extended data are kept in files between runs.
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include <string>
#include <vector>

#ifndef _WIN32
#include <limits.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#endif

#include "CallTrace.h"
#include "FakeHost.h"
#include "PortRedirect.h"
#include "Text.h"
#include "Windowing.h"
#include "support/PluginLoader.h"
#include "support/TestFiles.h"

namespace {

constexpr int kTemplateListId = 40001;
constexpr int kPortListId = 40002;

const char* const kUsage =
    "usage: host-emulator [options] [command ...]\n"
    "\n"
    "Plays the AviUtl host for a filter plug-in: loads it, initialises its\n"
    "window, lets a user pick entries and saves a video, printing each step.\n"
    "\n"
    "commands, run in order (default: init, one save per --saves, destroy):\n"
    "  init                 the host's window initialisation (message 1127)\n"
    "  pick-template N      pick entry N of the template list (ID 40001)\n"
    "  pick-port N          pick entry N of the port list (ID 40002)\n"
    "  save                 one save: start, --save-seconds of work, end\n"
    "  dump-controls        print the filter window's controls\n"
    "  dump-extdata         print the filter's extended data\n"
    "  destroy              destroy the filter window (WM_DESTROY)\n"
    "\n"
    "options:\n"
    "  --plugin FILE        the plug-in module, or the folder that holds it\n"
    "                       (default: sstp.so or sstp.auf beside this program)\n"
    "  --settings FILE      the host's settings, key=value lines (default:\n"
    "                       host-emulator.ini beside the plug-in)\n"
    "  --extdata FILE       the filter's extended data (default:\n"
    "                       host-emulator.dat beside the plug-in)\n"
    "  --frames N           frames in the project (900)\n"
    "  --range FIRST-LAST   the saved range (the whole project)\n"
    "  --end-frame N        the current frame when the save ends (LAST)\n"
    "  --skip FIRST-LAST    frames the save does not write (repeatable)\n"
    "  --size WxH           picture size (320x240)\n"
    "  --rate RATE/SCALE    frame rate as a fraction (30000/1001)\n"
    "  --filter FLAGS[/noproc]  another filter in the host's list, with its\n"
    "                       flag word; /noproc: no frame-processing function\n"
    "  --output NAME        the output file name (C:\\video\\output.avi)\n"
    "  --no-file-info       the file-information request answers 0\n"
    "  --no-system-info     the system-information request answers 0\n"
    "  --no-picture-size    the picture-size request writes nothing\n"
    "  --saves N            saves in the default command list (1)\n"
    "  --save-seconds S     wall-clock seconds from start to end (1; may be 0\n"
    "                       or a fraction)\n"
    "  --no-align           start saves at once instead of just after a new\n"
    "                       wall-clock second (which makes the measured\n"
    "                       seconds exact)\n"
    "  --trace              print the plug-in's calls to CreateWindowExA,\n"
    "                       CreateFontA, SendMessageA, MessageBoxA and\n"
    "                       DeleteObject with their arguments\n"
    "  --port-map FROM=TO   send the plug-in's connections to local port\n"
    "                       FROM to port TO instead (for tests)\n";

struct Options {
  std::string pluginPath;
  HostFiles files;
  Project project;
  int saves = 1;
  double saveSeconds = 1.0;
  bool align = true;
  bool trace = false;
  std::vector<std::string> commands;
};

[[noreturn]] void usageError(const std::string& message) {
  fprintf(stderr, "host-emulator: %s\n\n%s", message.c_str(), kUsage);
  exit(2);
}

int32_t parseInt(const std::string& text, const char* what) {
  errno = 0;
  char* end = nullptr;
  long value = strtol(text.c_str(), &end, 0);
  if (text.empty() || *end != '\0' || errno != 0 || value < INT32_MIN || value > INT32_MAX) {
    usageError(std::string("not a number for ") + what + ": " + text);
  }
  return static_cast<int32_t>(value);
}

// "A<sep>B" as two integers.
void parsePair(const std::string& text, char separator, int32_t* a, int32_t* b, const char* what) {
  size_t at = text.find(separator, 1);
  if (at == std::string::npos) usageError(std::string("expected A") + separator + "B for " + what);
  *a = parseInt(text.substr(0, at), what);
  *b = parseInt(text.substr(at + 1), what);
}

std::string folderOf(const std::string& path) {
  size_t cut = path.find_last_of("/\\");
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

#ifdef _WIN32
#define SEPARATOR "\\"
bool isFolder(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}
#else
#define SEPARATOR "/"
bool isFolder(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}
#endif

std::string ownFolder() {
#ifdef _WIN32
  char path[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, path, sizeof path);
  return folderOf(path);
#else
  char path[PATH_MAX];
  ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return std::string();
  path[length] = '\0';
  return folderOf(path);
#endif
}

Options parseOptions(int argc, char** argv) {
  Options options;
  std::vector<std::string> args(argv + 1, argv + argc);
  bool rangeGiven = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= args.size()) usageError("missing value for " + arg);
      return args[++i];
    };
    if (arg == "-h" || arg == "--help") {
      fputs(kUsage, stdout);
      exit(0);
    } else if (arg == "--plugin") {
      options.pluginPath = localPath(value());
    } else if (arg == "--settings") {
      options.files.settingsPath = localPath(value());
    } else if (arg == "--extdata") {
      options.files.extendedPath = localPath(value());
    } else if (arg == "--frames") {
      options.project.frameCount = parseInt(value(), "--frames");
    } else if (arg == "--range") {
      parsePair(value(), '-', &options.project.range.first, &options.project.range.last, "--range");
      rangeGiven = true;
    } else if (arg == "--end-frame") {
      options.project.endFrame = parseInt(value(), "--end-frame");
    } else if (arg == "--skip") {
      FrameRange range;
      parsePair(value(), '-', &range.first, &range.last, "--skip");
      options.project.skipped.push_back(range);
    } else if (arg == "--size") {
      parsePair(value(), 'x', &options.project.width, &options.project.height, "--size");
    } else if (arg == "--rate") {
      parsePair(value(), '/', &options.project.rate, &options.project.scale, "--rate");
    } else if (arg == "--filter") {
      std::string text = value();
      HostFilter filter{0, true};
      size_t slash = text.find('/');
      if (slash != std::string::npos) {
        if (text.substr(slash) != "/noproc") usageError("expected FLAGS or FLAGS/noproc for --filter");
        filter.processing = false;
        text = text.substr(0, slash);
      }
      filter.flags = static_cast<uint32_t>(strtoul(text.c_str(), nullptr, 0));
      options.project.filters.push_back(filter);
    } else if (arg == "--output") {
#ifdef _WIN32
      options.project.outputName = value();  // already in the ANSI code page
#else
      options.project.outputName = sjisFromUtf8(value());
#endif
    } else if (arg == "--no-file-info") {
      options.project.fileInfoAnswers = false;
    } else if (arg == "--no-system-info") {
      options.project.systemInfoAnswers = false;
    } else if (arg == "--no-picture-size") {
      options.project.pictureSizeAnswers = false;
    } else if (arg == "--saves") {
      options.saves = parseInt(value(), "--saves");
    } else if (arg == "--save-seconds") {
      options.saveSeconds = strtod(value().c_str(), nullptr);
    } else if (arg == "--trace") {
      options.trace = true;
    } else if (arg == "--no-align") {
      options.align = false;
    } else if (arg == "--port-map") {
      int32_t from, to;
      parsePair(value(), '=', &from, &to, "--port-map");
      addPortRedirect(from, to);
    } else if (arg.compare(0, 2, "--") == 0) {
      usageError("unknown option " + arg);
    } else {
      options.commands.push_back(arg);
    }
  }
  if (!rangeGiven) options.project.range = FrameRange{0, options.project.frameCount - 1};
#ifdef _WIN32
  const char* moduleName = "sstp.auf";
#else
  const char* moduleName = "sstp.so";
#endif
  // No plug-in named: the one beside this program; a folder: the one in it.
  if (options.pluginPath.empty()) {
    options.pluginPath = ownFolder() + moduleName;
  } else if (isFolder(options.pluginPath)) {
    char last = options.pluginPath.back();
    options.pluginPath += (last == '/' || last == '\\' ? "" : SEPARATOR) + std::string(moduleName);
  }
  std::string folder = folderOf(options.pluginPath);
  if (options.files.settingsPath.empty()) options.files.settingsPath = folder + "host-emulator.ini";
  if (options.files.extendedPath.empty()) options.files.extendedPath = folder + "host-emulator.dat";
  if (options.commands.empty()) {
    options.commands.push_back("init");
    for (int i = 0; i < options.saves; ++i) options.commands.push_back("save");
    options.commands.push_back("destroy");
  }
  return options;
}

// Wall-clock milliseconds since 1970, the clock the plug-in's time() reads.
double wallClockMs() {
#ifdef _WIN32
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  uint64_t ticks = (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  return static_cast<double>(ticks - 116444736000000000ULL) / 10000.0;
#else
  struct timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
#endif
}

void sleepMs(double ms) {
  if (ms <= 0) return;
#ifdef _WIN32
  Sleep(static_cast<DWORD>(ms));
#else
  struct timespec wait;
  wait.tv_sec = static_cast<time_t>(ms / 1000.0);
  wait.tv_nsec = static_cast<long>((ms - static_cast<double>(wait.tv_sec) * 1000.0) * 1e6);
  nanosleep(&wait, nullptr);
#endif
}

// Loads the plug-in as the host does and prints its descriptor; a plug-in
// that can't be loaded ends the program with status 3.
LoadedPlugin loadFilter(const std::string& path) {
  std::string error;
#ifdef _WIN32
  LoadedPlugin plugin = loadPluginFrom(path, &error);
#else
  // dlopen would search the library path for a bare name; the file is meant.
  char absolute[PATH_MAX];
  LoadedPlugin plugin = loadPluginFrom(realpath(path.c_str(), absolute) != nullptr ? absolute : path, &error);
#endif
  if (plugin.descriptor == nullptr) {
    fprintf(stderr, "host-emulator: %s\n", error.c_str());
    exit(3);
  }
  const uint8_t* d = plugin.descriptor;
  say("host: loaded %s\n", quoted(path).c_str());
  say("host: GetFilterTable: name=%s information=%s flags=0x%08x window=%ux%u extdata=%u bytes\n",
      quoted(textAt(d, hostLayout::kDescriptorName)).c_str(),
      quoted(textAt(d, hostLayout::kDescriptorInformation)).c_str(), wordAt(d, hostLayout::kDescriptorFlags),
      wordAt(d, hostLayout::kDescriptorWindowWidth), wordAt(d, hostLayout::kDescriptorWindowHeight),
      wordAt(d, hostLayout::kDescriptorExtendedSize));
  return plugin;
}

void runSave(const LoadedPlugin& plugin, const Options& options, int number) {
  auto start = functionAt<hostLayout::PluginSaveStart>(plugin.descriptor, hostLayout::kDescriptorSaveStart);
  auto end = functionAt<hostLayout::PluginSaveEnd>(plugin.descriptor, hostLayout::kDescriptorSaveEnd);
  if (start == nullptr || end == nullptr) {
    say("save %d: the plug-in has no save handlers\n", number);
    return;
  }
  if (options.align) {
    // Just after a new second: the plug-in's whole-second clock then
    // measures the wait exactly.
    double now = wallClockMs();
    double intoSecond = now - 1000.0 * static_cast<double>(static_cast<int64_t>(now / 1000.0));
    sleepMs(1050.0 - intoSecond);
  }
  const Project& project = options.project;
  say("save %d: start, frames %d-%d\n", number, project.range.first, project.range.last);
  double began = wallClockMs();
  int32_t result = start(plugin.descriptor, project.range.first, project.range.last, editHandle());
  say("save %d: onSaveStart -> %d\n", number, result);
  sleepMs(began + options.saveSeconds * 1000.0 - wallClockMs());
  int32_t endFrame = project.endFrame != INT32_MIN ? project.endFrame : project.range.last;
  say("save %d: end at frame %d after %.1f s\n", number, endFrame, (wallClockMs() - began) / 1000.0);
  result = end(plugin.descriptor, editHandle());
  say("save %d: onSaveEnd -> %d\n", number, result);
}

int32_t listIndexArgument(const std::vector<std::string>& commands, size_t* i) {
  const std::string& command = commands[*i];
  if (*i + 1 >= commands.size()) usageError(command + " needs a list index");
  *i += 1;
  return parseInt(commands[*i], command.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  useBinaryOutput();
  Options options = parseOptions(argc, argv);
  for (size_t i = 0; i < options.commands.size(); ++i) {
    static const char* const known[] = {"init", "pick-template", "pick-port", "save",
                                        "dump-controls", "dump-extdata", "destroy"};
    bool ok = false;
    for (const char* name : known) ok = ok || options.commands[i] == name;
    if (!ok) usageError("unknown command " + options.commands[i]);
    if (options.commands[i].compare(0, 5, "pick-") == 0) ++i;
  }

  LoadedPlugin plugin = loadFilter(options.pluginPath);
  std::string error;
  if (!installPortRedirects(plugin.module, &error)) {
    fprintf(stderr, "host-emulator: --port-map: %s\n", error.c_str());
    return 3;
  }
  attachFakeHost(plugin.descriptor, plugin.module, &options.project, options.files);
  loadExtendedData(plugin.descriptor, options.files);
  if (!openFilterWindow(plugin.module, plugin.descriptor, &error)) {
    fprintf(stderr, "host-emulator: %s\n", error.c_str());
    return 3;
  }
  if (options.trace && !installCallTrace(plugin.module, filterWindowHandle())) {
    fprintf(stderr, "host-emulator: --trace: the plug-in does not import the window calls\n");
    return 3;
  }

  int saveNumber = 0;
  for (size_t i = 0; i < options.commands.size(); ++i) {
    const std::string& command = options.commands[i];
    if (command == "init") {
      initialiseFilterWindow();
    } else if (command == "pick-template") {
      pickListEntry(kTemplateListId, listIndexArgument(options.commands, &i));
    } else if (command == "pick-port") {
      pickListEntry(kPortListId, listIndexArgument(options.commands, &i));
    } else if (command == "save") {
      runSave(plugin, options, ++saveNumber);
    } else if (command == "dump-controls") {
      dumpControls();
    } else if (command == "dump-extdata") {
      dumpExtendedData(plugin.descriptor, options.project);
    } else if (command == "destroy") {
      destroyFilterWindow();
    }
  }
  saveExtendedData(plugin.descriptor, options.files);
  return 0;
}
