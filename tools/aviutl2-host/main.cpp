// aviutl2-host: plays the AviUtl ExEdit2 host for a general plug-in
// (.aux2). It loads the plug-in as the host does, then runs the commands of
// its command line: open the settings, start and end preview playback or
// file output (with the edit-state event, or silently), let time pass. It
// prints each step as it happens: the calls into the plug-in with their
// thread and duration, what the plug-in logged and registered, and every
// fault the host caught.
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

#include <string>
#include <vector>

#include "Aviutl2Host.h"
#include "CommandLine.h"
#include "host-support/Files.h"
#include "host-support/PortRedirect.h"

namespace {

const char* const kUsageIntroduction =
    "usage: aviutl2-host [options] [command ...]\n"
    "\n"
    "Plays the AviUtl ExEdit2 host for a general plug-in: loads it, opens its\n"
    "settings, starts and ends preview playback and file output, printing\n"
    "each call into the plug-in, what it logs and what the host caught.\n"
    "Exit status: 0; 1 when the host caught a fault; 2 usage; 3 the plug-in\n"
    "was not registered.\n"
    "\n";

// The column at which the help of a command or an option begins.
constexpr size_t kHelpColumn = 23;

struct Options {
  std::string pluginPath;
  Aviutl2HostSettings settings;
  int32_t width = 1920, height = 1080, rate = 30, scale = 1, frames = 300;
  int32_t selectStart = -1, selectEnd = -1;
  StateChange change = StateChange::withEvent;
  double outputSeconds = 1.0;
  bool portMapped = false;  // --port-map given
  DWORD timeoutMs = 10000;
  std::vector<std::string> commands;
};

// What has been printed of the host's records so far.
struct Session {
  Aviutl2Host* host;
  Options* options;
  size_t callsShown = 0;
  size_t linesShown = 0;
  size_t faultCount = 0;
};

void print(const std::string& text) { fwrite(text.data(), 1, text.size(), stdout); }

// Seconds from 0 to an hour, a fraction too. Returns "" and sets *value, or
// what is wrong.
std::string takeSeconds(const std::string& text, double* value) {
  char* end = nullptr;
  double seconds = strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || !(seconds >= 0 && seconds <= 3600)) {
    return "not seconds from 0 to 3600: '" + text + "'";
  }
  *value = seconds;
  return "";
}

std::string takeSdk(const std::string& name, HostSdk* sdk) {
  struct Level {
    const char* name;
    HostSdk sdk;
  };
  static const Level kLevels[] = {{"current", HostSdk::current},
                                  {"no-edit-state-event", HostSdk::noEditStateEvent},
                                  {"no-event-listener", HostSdk::noEventListener},
                                  {"no-edit-state", HostSdk::noEditState}};
  const Level* level = entryNamed(kLevels, name);
  if (level == nullptr) return "no host SDK level '" + name + "'";
  *sdk = level->sdk;
  return "";
}

std::string threadName(const Session& session, DWORD threadId) {
  if (threadId == GetCurrentThreadId()) return "main thread";
  if (threadId == eventThreadId(session.host)) return "event thread";
  return "thread " + std::to_string(threadId);
}

// Prints what the host recorded since the last report: the plug-in's log
// lines, the calls into it and the faults caught.
void report(Session* session) {
  std::vector<LogLine> lines = logLines(session->host);
  for (size_t i = session->linesShown; i < lines.size(); ++i) {
    print(std::string("plug-in ") + logLevelName(lines[i].level) + ": " + utf8Of(lines[i].text) + "\n");
  }
  session->linesShown = lines.size();
  std::vector<PluginCall> calls = pluginCalls(session->host);
  char took[32];
  for (size_t i = session->callsShown; i < calls.size(); ++i) {
    snprintf(took, sizeof took, "%.3f ms", calls[i].milliseconds);
    print("host: called " + calls[i].entry + " on the " + threadName(*session, calls[i].threadId) + ", " + took +
          "\n");
  }
  session->callsShown = calls.size();
  for (const HostFault& fault : takeFaults(session->host)) {
    print("host: FAULT " + fault + "\n");
    ++session->faultCount;
  }
}

void printRegistrations(const Session& session) {
  for (const Registration& r : registrations(session.host)) {
    std::string line = std::string("host: registered ") + tableMemberName(r.member);
    if (!r.name.empty()) line += " \"" + utf8Of(r.name) + "\"";
    if (r.eventType != 0) line += " type " + std::to_string(r.eventType);
    print(line + "\n");
  }
}

void changeState(Session* session, EditState state, const char* what) {
  print(std::string("host: ") + what + (session->options->change == StateChange::silent ? " (no event)" : "") + "\n");
  if (!changeEditState(session->host, state, session->options->change, session->options->timeoutMs)) {
    print("host: the listeners have not returned after " + std::to_string(session->options->timeoutMs) + " ms\n");
  }
}

// A command of the command line, run in order: its name, the name of its
// argument (null without one), its help and what it does.
struct Command {
  const char* name;
  const char* argument;
  const char* help;
  void (*run)(Session* session, const std::string& argument);
};

const Command kCommands[] = {
    {"config", nullptr, "open the settings (the first config menu)",
     [](Session* s, const std::string&) {
       print("host: opening the settings\n");
       if (!openConfigMenu(s->host)) print("host: the plug-in registered no config menu\n");
     }},
    {"play", nullptr, "preview playback starts",
     [](Session* s, const std::string&) { changeState(s, EditState::play, "preview playback starts"); }},
    {"output", nullptr, "file output starts",
     [](Session* s, const std::string&) { changeState(s, EditState::save, "file output starts"); }},
    {"edit", nullptr, "back to editing: playback or output ends",
     [](Session* s, const std::string&) { changeState(s, EditState::edit, "back to editing"); }},
    {"frame", nullptr, "the current frame moves (CHANGE_EDIT_FRAME)",
     [](Session* s, const std::string&) {
       print("host: the current frame moves\n");
       fireEvent(s->host, aviutl2Layout::EVENT_TYPE::CHANGE_EDIT_FRAME, s->options->timeoutMs);
     }},
    {"wait", "S", "S seconds pass (a fraction too)",
     [](Session*, const std::string& text) {
       // parseOptions has checked the seconds.
       double seconds = 0;
       takeSeconds(text, &seconds);
       Sleep(static_cast<DWORD>(seconds * 1000));
     }},
};

// The options, each setting its part of *o. A help text's line break
// continues it under its first line.
std::vector<CommandOption> commandOptions(Options* o) {
  return {
      {"--plugin", "FILE", "the plug-in (default: sstp.aux2 beside this\nprogram)",
       [o](const std::string& v) -> std::string {
         o->pluginPath = localPath(v);
         return "";
       }},
      {"--sdk", "LEVEL", "the host's SDK: current, no-edit-state-event,\nno-event-listener or no-edit-state (current)",
       [o](const std::string& v) {
         HostSdk sdk = HostSdk::current;
         std::string problem = takeSdk(v, &sdk);
         if (problem.empty()) o->settings.shape = hostShapeOf(sdk);
         return problem;
       }},
      {"--version", "N", "the host version InitializePlugin gets (2010000)",
       [o](const std::string& v) {
         int32_t version = 0;
         std::string problem = takeInt32(v, 0, INT32_MAX, &version);
         if (problem.empty()) o->settings.hostVersion = static_cast<DWORD>(version);
         return problem;
       }},
      {"--app-data", "FOLDER", "the application data folder the plug-in is\ngiven (C:\\ProgramData\\aviutl2)",
       [o](const std::string& v) -> std::string {
         o->settings.appDataPath = wideOf(localPath(v));
         return "";
       }},
      {"--size", "WxH", "the scene's size (1920x1080)",
       [o](const std::string& v) { return takePair(v, 'x', &o->width, &o->height); }},
      {"--rate", "RATE/SCALE", "the scene's frame rate as a fraction (30/1)",
       [o](const std::string& v) { return takePair(v, '/', &o->rate, &o->scale); }},
      {"--frames", "N", "frames up to the last object (300)",
       [o](const std::string& v) { return takeInt32(v, INT32_MIN + 1, INT32_MAX, &o->frames); }},
      {"--select", "FIRST-LAST", "the selected frame range (none)",
       [o](const std::string& v) { return takePair(v, '-', &o->selectStart, &o->selectEnd); }},
      {"--silent", nullptr, "change the edit state without the event, for a\nplug-in that watches the state",
       [o](const std::string&) -> std::string {
         o->change = StateChange::silent;
         return "";
       }},
      {"--output-seconds", "S", "seconds from the start of the default file\noutput to its end (1)",
       [o](const std::string& v) { return takeSeconds(v, &o->outputSeconds); }},
      {"--timeout", "MS", "how long to wait for the listeners of one event\n(10000)",
       [o](const std::string& v) {
         int32_t ms = 0;
         std::string problem = takeInt32(v, 0, INT32_MAX, &ms);
         if (problem.empty()) o->timeoutMs = static_cast<DWORD>(ms);
         return problem;
       }},
      {"--no-window", nullptr, "no host window (get_host_app_window gives null)",
       setSwitch(&o->settings.makeWindow, false)},
      {"--port-map", "FROM=TO", "send the plug-in's connections to local port\nFROM to port TO instead (for tests)",
       [o](const std::string& v) {
         int32_t from, to;
         std::string problem = takePair(v, '=', &from, &to);
         if (problem.empty()) addPortRedirect(from, to);
         o->portMapped = problem.empty();
         return problem;
       }},
  };
}

std::string usage(const std::vector<CommandOption>& options) {
  std::vector<UsageEntry> commands;
  for (const Command& command : kCommands) {
    commands.push_back({std::string(command.name) + (command.argument ? std::string(" ") + command.argument : ""),
                        command.help});
  }
  return programUsage(kUsageIntroduction, "default: output, wait --output-seconds, edit", commands, options,
                      kHelpColumn);
}

std::string ownFolder() {
  wchar_t path[MAX_PATH] = L"";
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::string text = utf8Of(path);
  return text.substr(0, text.find_last_of('\\') + 1);
}

// Options are applied as they come; any other word is a command, and a
// command's argument follows it. Every command is known before the plug-in
// is loaded. --help prints the usage and exits with 0, a usage error with 2.
Options parseOptions(int argc, char** argv) {
  Options options;
  std::vector<CommandOption> known = commandOptions(&options);
  int status = takeCommandLine("aviutl2-host", usage(known), argc - 1, argv + 1, known, &options.commands);
  if (status >= 0) exit(status);
  for (size_t i = 0; i < options.commands.size(); ++i) {
    const Command* command = entryNamed(kCommands, options.commands[i]);
    if (command == nullptr) exitWithUsageError("aviutl2-host", "unknown command " + options.commands[i]);
    if (command->argument == nullptr) continue;
    if (++i >= options.commands.size()) exitWithUsageError("aviutl2-host", std::string(command->name) + " needs " + command->argument);
    double seconds = 0;
    std::string problem = takeSeconds(options.commands[i], &seconds);
    if (!problem.empty()) exitWithUsageError("aviutl2-host", std::string(command->name) + ": " + problem);
  }
  if (options.pluginPath.empty()) options.pluginPath = ownFolder() + "sstp.aux2";
  if (options.commands.empty()) {
    options.commands = {"output", "wait", std::to_string(options.outputSeconds), "edit"};
  }
  return options;
}

void runCommands(Session* session) {
  const std::vector<std::string>& commands = session->options->commands;
  for (size_t i = 0; i < commands.size(); ++i) {
    const Command* command = entryNamed(kCommands, commands[i]);
    std::string argument = command->argument != nullptr ? commands[++i] : std::string();
    command->run(session, argument);
    report(session);
  }
}

// Loads the plug-in and prints what it found; false when it is not
// registered.
bool loadPlugin(Session* session) {
  const Options& o = *session->options;
  setEditInfo(session->host, sceneInfo(o.width, o.height, o.rate, o.scale, o.frames - 1, o.selectStart, o.selectEnd));
  std::string error;
  LoadResult result = loadAviutl2Plugin(session->host, wideOf(o.pluginPath), &error);
  report(session);
  if (result != LoadResult::registered) {
    fprintf(stderr, "aviutl2-host: %s\n", error.c_str());
    return false;
  }
  if (o.portMapped && !installPortRedirects(GetModuleHandleW(wideOf(o.pluginPath).c_str()), &error)) {
    fprintf(stderr, "aviutl2-host: --port-map: %s\n", error.c_str());
    return false;
  }
  print("host: loaded " + o.pluginPath + ", host version " + std::to_string(o.settings.hostVersion) + "\n");
  std::wstring name = pluginName(session->host);
  if (!name.empty()) print("host: plug-in name " + utf8Of(name) + "\n");
  std::wstring information = pluginInformation(session->host);
  if (!information.empty()) print("host: plug-in information " + utf8Of(information) + "\n");
  printRegistrations(*session);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  _setmode(_fileno(stdout), _O_BINARY);
  Options options = parseOptions(argc, argv);
  std::string error;
  Aviutl2Host* host = startAviutl2Host(options.settings, &error);
  if (host == nullptr && options.settings.makeWindow) {
    // No display (Wine without X): the settings get a null window.
    print("host: " + error + "; going on without one\n");
    options.settings.makeWindow = false;
    host = startAviutl2Host(options.settings, &error);
  }
  if (host == nullptr) {
    fprintf(stderr, "aviutl2-host: %s\n", error.c_str());
    return 3;
  }
  Session session{host, &options};
  if (!loadPlugin(&session)) {
    stopAviutl2Host(host);
    return 3;
  }
  runCommands(&session);
  unloadAviutl2Plugin(host);
  report(&session);
  stopAviutl2Host(host);
  return session.faultCount > 0 ? 1 : 0;
}
