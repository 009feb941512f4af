#include "EmulatorRun.h"

#include <string.h>
#include <windows.h>


#include "host-support/DirectorySearch.h"
#include "host-support/PluginLoader.h"

#ifndef _WIN32
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

#ifndef SSTP_HOST_EMULATOR
#error "SSTP_HOST_EMULATOR names the built host emulator"
#endif

namespace {

#ifdef _WIN32

// One argument as the C runtime splits a command line: quoted, with
// backslashes before a quote doubled.
std::string quoteArgument(const std::string& argument) {
  std::string out = "\"";
  size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    out.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, '\\');
  return out + "\"";
}

int runProcess(const std::vector<std::string>& command, const std::string& outPath, const std::string& errPath) {
  std::string line;
  for (const std::string& argument : command) line += (line.empty() ? "" : " ") + quoteArgument(argument);
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE out = CreateFileA(hostPath(outPath).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  HANDLE err = CreateFileA(hostPath(errPath).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  STARTUPINFOA startup;
  memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION process;
  BOOL started = CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
  CloseHandle(out);
  CloseHandle(err);
  if (!started) return -1;
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return static_cast<int>(code);
}

#else

int runProcess(const std::vector<std::string>& command, const std::string& outPath, const std::string& errPath) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<char*> argv;
  for (const std::string& argument : command) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  pid_t child = 0;
  int failed = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (failed != 0) return -1;
  int status = 0;
  if (waitpid(child, &status, 0) != child) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

#endif

}  // namespace

std::string PluginFolder::hostFile(const std::string& name) const { return hostPath(posix + "/" + name); }

PluginFolder makePluginFolder(const char* tag, const std::vector<NamedFixture>& templates, const std::string& folder) {
  PluginFolder made;
  made.posix = folder;
  if (folder.empty()) {
    made.scratch = ScratchFolder(tag);
    made.posix = made.scratch.path();
  } else {
    createFolders(folder);
  }
  copyPlugin(made.posix, &made.module);
  for (const NamedFixture& file : templates) {
    writeFileBytes(made.posix + "/" + file.name, fixtureBytes(file.fixture));
  }
  return made;
}

EmulatorResult runEmulator(const PluginFolder& folder, const std::vector<std::string>& arguments) {
  std::string outPath = folder.posix + "/emulator-out.txt";
  std::string errPath = folder.posix + "/emulator-err.txt";
  std::vector<std::string> command = {localPath(SSTP_HOST_EMULATOR), "--plugin", localPath(folder.module)};
  command.insert(command.end(), arguments.begin(), arguments.end());
  EmulatorResult result;
  result.exitCode = runProcess(command, outPath, errPath);
  result.out = readFileBytes(outPath);
  result.err = readFileBytes(errPath);
  return result;
}

std::vector<std::string> linesStartingWith(const std::string& text, const std::string& prefix) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (line.compare(0, prefix.size(), prefix) == 0) lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

std::string fixtureBytes(const char* name) { return readFileBytes(fixturePath("plugin", name)); }

std::string sendRequest(const std::string& ghost, const std::string& script) {
  std::string request = ghost.empty() ? "SEND SSTP/1.1\r\n" : "SEND SSTP/1.4\r\n";
  request += "Sender: AviUtl with SSTP\r\nCharset: Shift_JIS\r\n";
  if (!ghost.empty()) request += "IfGhost: " + ghost + "\r\n";
  return request + "Script: " + script + "\\e\r\nOption: nodescript\r\n\r\n";
}

std::string recordBytes(const RecordFields& fields) {
  std::string bytes(hostLayout::kRecordBytes, '\0');
  memcpy(&bytes[hostLayout::kRecordNextSlot], &fields.nextSlot, 4);
  memcpy(&bytes[hostLayout::kRecordSampleCount], &fields.sampleCount, 4);
  memcpy(&bytes[hostLayout::kRecordSecondsPerPixelFrame], &fields.secondsPerPixelFrame, 8);
  memcpy(&bytes[hostLayout::kRecordPerFilterFactor], &fields.perFilterFactor, 8);
  static_assert(sizeof fields.samples == hostLayout::kRecordSampleSlots * hostLayout::kRecordSampleBytes, "");
  memcpy(&bytes[hostLayout::kRecordSamples], fields.samples, sizeof fields.samples);
  return bytes;
}

RecordFields recordAfterOneRun(int32_t pixels, int32_t frames, int32_t filters, int32_t seconds) {
  RecordFields fields = {1, 1, 0.0001, 0.5, {{pixels, frames, filters, seconds}}};
  // The base rate under the factor of the reset record, then its mean.
  double divisor = static_cast<double>(filters) * 0.5;
  divisor = divisor + 1;
  divisor = divisor * frames;
  divisor = divisor * pixels;
  double base = static_cast<double>(seconds) / divisor;
  fields.secondsPerPixelFrame = (0.0 + base) / 1;
  if (filters != 0) {
    double s = fields.secondsPerPixelFrame;
    double factor = ((static_cast<double>(seconds) / pixels) / frames - s) / filters / s;
    fields.perFilterFactor = (0.0 + factor) / 1;
  }
  return fields;
}

void writeSettings(const PluginFolder& folder, const std::vector<std::pair<std::string, std::string>>& settings) {
  std::string text;
  for (const auto& setting : settings) text += setting.first + "=" + setting.second + "\n";
  writeFileBytes(folder.settingsFile(), text);
}

std::vector<std::string> templateOrder(const PluginFolder& folder) {
  return searchOrder(hostPath(folder.posix) + "\\*.tpp");
}

void EndToEnd::SetUp() { restartReceivers(); }

void EndToEnd::TearDown() {
  stopSstpReceiver(at9801);
  stopSstpReceiver(at11000);
  at9801 = at11000 = nullptr;
}

void EndToEnd::restartReceivers() {
  TearDown();
  at9801 = startSstpReceiver(ReceiverSettings(), nullptr);
  at11000 = startSstpReceiver(ReceiverSettings(), nullptr);
  ASSERT_NE(at9801, nullptr);
  ASSERT_NE(at11000, nullptr);
}

EmulatorResult EndToEnd::run(const PluginFolder& folder, const std::vector<std::string>& arguments) {
  std::vector<std::string> all = {"--port-map", "9801=" + std::to_string(receiverPort(at9801)), "--port-map",
                                  "11000=" + std::to_string(receiverPort(at11000))};
  all.insert(all.end(), arguments.begin(), arguments.end());
  return runEmulator(folder, all);
}
