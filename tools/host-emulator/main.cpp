// host-emulator: plays the AviUtl host for a filter plug-in. It loads the
// plug-in module, takes its filter record from GetFilterTable, fills in a
// host function table and the module handle, and then does what the host
// does: initialise the filter window, let the user pick entries, save a
// video (start, a wait, end), destroy the window. The host's settings and
// the filter's extended data are kept in files between runs.
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
#include "CommandLine.h"
#include "FakeHost.h"
#include "host-support/PortRedirect.h"
#include "Text.h"
#include "Windowing.h"
#include "host-support/PluginLoader.h"
#include "host-support/Files.h"

namespace {

constexpr int kTemplateListId = 40001;
constexpr int kPortListId = 40002;

const char* const kUsageIntroduction =
    "usage: host-emulator [options] [command ...]\n"
    "\n"
    "Plays the AviUtl host for a filter plug-in: loads it, initialises its\n"
    "window, lets a user pick entries and saves a video, printing each step.\n"
    "\n";

// The column at which the help of a command or an option begins.
constexpr size_t kHelpColumn = 23;

struct Options {
  std::string pluginPath;
  HostFiles files;
  Project project;
  bool rangeGiven = false;
  int32_t saves = 1;
  double saveSeconds = 1.0;
  bool align = true;
  bool trace = false;
  std::vector<std::string> commands;
};

// What the commands act on.
struct Session {
  LoadedPlugin plugin;
  Options* options;
  int saveNumber;
};

// "FLAGS" or "FLAGS/noproc" as a filter of the host's list. Returns "" or
// what is wrong.
std::string takeFilter(std::string text, HostFilter* filter) {
  *filter = HostFilter{0, true};
  size_t slash = text.find('/');
  if (slash != std::string::npos) {
    if (text.substr(slash) != "/noproc") return "expected FLAGS or FLAGS/noproc, not '" + text + "'";
    filter->processing = false;
    text = text.substr(0, slash);
  }
  filter->flags = static_cast<uint32_t>(strtoul(text.c_str(), nullptr, 0));
  return "";
}

// The output name in the code page the plug-in reads.
std::string outputNameFrom(const std::string& argument) {
#ifdef _WIN32
  return argument;  // already in the ANSI code page
#else
  return sjisFromUtf8(argument);
#endif
}

std::string folderOf(const std::string& path) {
  size_t cut = path.find_last_of("/\\");
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

#ifdef _WIN32
constexpr char kSeparator[] = "\\";
constexpr char kModuleName[] = "sstp.auf";

bool isFolder(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}
#else
constexpr char kSeparator[] = "/";
constexpr char kModuleName[] = "sstp.so";

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

// A command of the command line, run in order: its name, whether a list
// index N follows it, its line of help and what it does.
struct Command {
  const char* name;
  bool takesIndex;
  const char* help;
  void (*run)(Session* session, int32_t index);
};

const Command kCommands[] = {
    {"init", false, "the host's window initialisation (message 1127)",
     [](Session*, int32_t) { initialiseFilterWindow(); }},
    {"pick-template", true, "pick entry N of the template list (ID 40001)",
     [](Session*, int32_t index) { pickListEntry(kTemplateListId, index); }},
    {"pick-port", true, "pick entry N of the port list (ID 40002)",
     [](Session*, int32_t index) { pickListEntry(kPortListId, index); }},
    {"save", false, "one save: start, --save-seconds of work, end",
     [](Session* session, int32_t) { runSave(session->plugin, *session->options, ++session->saveNumber); }},
    {"dump-controls", false, "print the filter window's controls", [](Session*, int32_t) { dumpControls(); }},
    {"dump-extdata", false, "print the filter's extended data",
     [](Session* session, int32_t) { dumpExtendedData(session->plugin.descriptor, session->options->project); }},
    {"destroy", false, "destroy the filter window (WM_DESTROY)", [](Session*, int32_t) { destroyFilterWindow(); }},
};

// The options, each setting its part of *o. A help text's line break
// continues it under its first line.
std::vector<CommandOption> commandOptions(Options* o) {
  auto path = [](std::string* field) {
    return [field](const std::string& v) -> std::string {
      *field = localPath(v);
      return "";
    };
  };
  auto number = [](int32_t* field) { return [field](const std::string& v) { return takeNumber(v, field); }; };
  auto pair = [](char separator, int32_t* a, int32_t* b) {
    return [separator, a, b](const std::string& v) { return takePair(v, separator, a, b); };
  };
  Project& project = o->project;
  return {
      {"--plugin", "FILE",
       "the plug-in module, or the folder that holds it\n(default: sstp.so or sstp.auf beside this program)",
       path(&o->pluginPath)},
      {"--settings", "FILE", "the host's settings, key=value lines (default:\nhost-emulator.ini beside the plug-in)",
       path(&o->files.settingsPath)},
      {"--extdata", "FILE", "the filter's extended data (default:\nhost-emulator.dat beside the plug-in)",
       path(&o->files.extendedPath)},
      {"--frames", "N", "frames in the project (900)", number(&project.frameCount)},
      {"--range", "FIRST-LAST", "the saved range (the whole project)",
       [o](const std::string& v) {
         o->rangeGiven = true;
         return takePair(v, '-', &o->project.range.first, &o->project.range.last);
       }},
      {"--end-frame", "N", "the current frame when the save ends (LAST)", number(&project.endFrame)},
      {"--skip", "FIRST-LAST", "frames the save does not write (repeatable)",
       [o](const std::string& v) {
         FrameRange range;
         std::string problem = takePair(v, '-', &range.first, &range.last);
         if (problem.empty()) o->project.skipped.push_back(range);
         return problem;
       }},
      {"--size", "WxH", "picture size (320x240)", pair('x', &project.width, &project.height)},
      {"--rate", "RATE/SCALE", "frame rate as a fraction (30000/1001)", pair('/', &project.rate, &project.scale)},
      {"--filter", "FLAGS[/noproc]",
       "another filter in the host's list, with its\nflag word; /noproc: no frame-processing function",
       [o](const std::string& v) {
         HostFilter filter;
         std::string problem = takeFilter(v, &filter);
         if (problem.empty()) o->project.filters.push_back(filter);
         return problem;
       }},
      {"--output", "NAME", "the output file name (C:\\video\\output.avi)",
       [o](const std::string& v) -> std::string {
         o->project.outputName = outputNameFrom(v);
         return "";
       }},
      {"--no-file-info", nullptr, "the file-information request answers 0", setSwitch(&project.fileInfoAnswers, false)},
      {"--no-system-info", nullptr, "the system-information request answers 0", setSwitch(&project.systemInfoAnswers, false)},
      {"--no-picture-size", nullptr, "the picture-size request writes nothing", setSwitch(&project.pictureSizeAnswers, false)},
      {"--saves", "N", "saves in the default command list (1)",
       number(&o->saves)},
      {"--save-seconds", "S", "wall-clock seconds from start to end (1; may be 0\nor a fraction)",
       [o](const std::string& v) -> std::string {
         char* end = nullptr;
         o->saveSeconds = strtod(v.c_str(), &end);
         return v.empty() || *end != '\0' || o->saveSeconds < 0 ? "not a number of seconds: '" + v + "'" : "";
       }},
      {"--no-align", nullptr,
       "start saves at once instead of just after a new\nwall-clock second (which makes the measured\nseconds exact)",
       setSwitch(&o->align, false)},
      {"--trace", nullptr,
       "print the plug-in's calls to CreateWindowExA,\nCreateFontA, SendMessageA, MessageBoxA and\nDeleteObject with "
       "their arguments",
       setSwitch(&o->trace)},
      {"--port-map", "FROM=TO", "send the plug-in's connections to local port\nFROM to port TO instead (for tests)",
       [](const std::string& v) {
         int32_t from, to;
         std::string problem = takePair(v, '=', &from, &to);
         if (problem.empty()) addPortRedirect(from, to);
         return problem;
       }},
  };
}

std::string usage(const std::vector<CommandOption>& options) {
  std::vector<UsageEntry> commands;
  for (const Command& command : kCommands) {
    commands.push_back({std::string(command.name) + (command.takesIndex ? " N" : ""), command.help});
  }
  return programUsage(kUsageIntroduction, "default: init, one save per --saves, destroy", commands, options,
                      kHelpColumn);
}

// What the command line leaves open: the whole project as the range, the
// plug-in beside this program (or in the folder named), the host's files
// beside the plug-in, and the default commands.
void completeOptions(Options* options) {
  if (!options->rangeGiven) options->project.range = FrameRange{0, options->project.frameCount - 1};
  if (options->pluginPath.empty()) {
    options->pluginPath = ownFolder() + kModuleName;
  } else if (isFolder(options->pluginPath)) {
    char last = options->pluginPath.back();
    options->pluginPath += (last == '/' || last == '\\' ? "" : kSeparator) + std::string(kModuleName);
  }
  std::string folder = folderOf(options->pluginPath);
  if (options->files.settingsPath.empty()) options->files.settingsPath = folder + "host-emulator.ini";
  if (options->files.extendedPath.empty()) options->files.extendedPath = folder + "host-emulator.dat";
  if (options->commands.empty()) {
    options->commands.push_back("init");
    for (int i = 0; i < options->saves; ++i) options->commands.push_back("save");
    options->commands.push_back("destroy");
  }
}

// Options are applied as they come; any other word is a command. --help
// prints the usage and exits with status 0, a usage error exits with 2.
Options parseOptions(int argc, char** argv) {
  Options options;
  std::vector<CommandOption> known = commandOptions(&options);
  int status = takeCommandLine("host-emulator", usage(known), argc - 1, argv + 1, known, &options.commands);
  if (status >= 0) exit(status);
  completeOptions(&options);
  return options;
}

// Every command is known before the plug-in is loaded; a list index is read
// when its command runs.
void checkCommands(const std::vector<std::string>& commands) {
  for (size_t i = 0; i < commands.size(); ++i) {
    const Command* command = entryNamed(kCommands, commands[i]);
    if (command == nullptr) exitWithUsageError("host-emulator", "unknown command " + commands[i]);
    if (command->takesIndex) ++i;
  }
}

int32_t listIndexArgument(const std::vector<std::string>& commands, size_t* i) {
  const std::string& command = commands[*i];
  if (*i + 1 >= commands.size()) exitWithUsageError("host-emulator", command + " needs a list index");
  *i += 1;
  int32_t index = 0;
  std::string problem = takeNumber(commands[*i], &index);
  if (!problem.empty()) exitWithUsageError("host-emulator", command + ": " + problem);
  return index;
}

void runCommands(Session* session) {
  const std::vector<std::string>& commands = session->options->commands;
  for (size_t i = 0; i < commands.size(); ++i) {
    const Command* command = entryNamed(kCommands, commands[i]);
    int32_t index = command->takesIndex ? listIndexArgument(commands, &i) : 0;
    command->run(session, index);
  }
}

}  // namespace

int main(int argc, char** argv) {
  useBinaryOutput();
  Options options = parseOptions(argc, argv);
  checkCommands(options.commands);

  Session session = {loadFilter(options.pluginPath), &options, 0};
  const LoadedPlugin& plugin = session.plugin;
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
  runCommands(&session);
  saveExtendedData(plugin.descriptor, options.files);
  return 0;
}
