// sstp-receiver: a local SSTP server that shows what a ghost would receive.
// It prints each request, converted from Shift_JIS to UTF-8 (natively with
// iconv, on Windows through code page 932), answers it, and stops after
// --count requests or on SIGINT/SIGTERM. With --save it also keeps each
// request's bytes exactly, for checks that compare them.
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "CommandLine.h"
#include "SstpReceiver.h"
#include "TppOutput.h"

namespace {

const char kUsage[] =
    "usage: sstp-receiver [--port N] [--answer MODE] [--count N] [--save DIR]\n"
    "\n"
    "Listens on 127.0.0.1:PORT (default 9801; 0 picks a free port), prints\n"
    "each SSTP request it receives as UTF-8 and answers it.\n"
    "\n"
    "  --answer MODE  ok (SSTP/1.4 200 OK, the default), nocontent (SSTP/1.1\n"
    "                 204 No Content), long (5000 bytes), close (no answer),\n"
    "                 text (no status line), number (a bare number), silent\n"
    "                 (never answers), reset, noread\n"
    "  --count N      stop after N requests (default: run until SIGINT/SIGTERM)\n"
    "  --save DIR     also write request N, byte for byte, to DIR/request-N\n";

std::atomic<bool> stopRequested{false};

void onStopSignal(int) { stopRequested = true; }

void printRequest(size_t number, const std::string& request) {
  printf("----- request %u (%u bytes) -----\n", static_cast<unsigned>(number),
         static_cast<unsigned>(request.size()));
  fflush(stdout);
  // Lines end in LF on the terminal. CR is never part of a double-byte
  // character, so dropping it leaves the Shift_JIS text whole.
  std::string shown;
  for (char c : request) {
    if (c != '\r') shown += c;
  }
  if (shown.empty() || shown.back() != '\n') shown += '\n';
  writeScriptText(stdout, shown.c_str(), true);
  // Whole requests reach a log file at once (script/demo reads it as it grows).
  fflush(stdout);
}

// Writes the request's bytes to DIR/request-NUMBER. Returns false when the
// file can't be written whole.
bool saveRequest(const char* folder, size_t number, const std::string& request) {
  std::string path = std::string(folder) + "/request-" + std::to_string(number);
  FILE* file = fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  bool written = fwrite(request.data(), 1, request.size(), file) == request.size();
  return fclose(file) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
  // Lines end in LF as they do natively.
  setBinaryMode(stdout);
  ReceiverSettings settings;
  settings.port = 9801;
  std::string answerName = "ok";
  int32_t count = 0;
  std::string saveFolder;
  std::vector<CommandOption> options = {
      {"--port", "N", "", [&](const std::string& v) { return takeInt32(v, 0, 65535, &settings.port); }},
      {"--answer", "MODE", "", [&](const std::string& v) -> std::string {
         if (!parseReceiverAnswer(v.c_str(), &settings.answer)) return "no answer mode '" + v + "'";
         answerName = v;
         return "";
       }},
      {"--count", "N", "", [&](const std::string& v) { return takeInt32(v, 1, 1000000, &count); }},
      {"--save", "DIR", "", keepValue(&saveFolder)},
  };
  int status = takeCommandLine("sstp-receiver", kUsage, argc - 1, argv + 1, options, nullptr);
  if (status >= 0) return status;

  int error = 0;
  SstpReceiver* receiver = startSstpReceiver(settings, &error);
  if (receiver == nullptr) {
    if (error == WSAEADDRINUSE || error == WSAEACCES) {
      fprintf(stderr, "sstp-receiver: port %d is taken\n", static_cast<int>(settings.port));
    } else {
      fprintf(stderr, "sstp-receiver: cannot listen on 127.0.0.1:%d (error %d)\n", static_cast<int>(settings.port),
              error);
    }
    return 1;
  }
  signal(SIGINT, onStopSignal);
  signal(SIGTERM, onStopSignal);
  printf("sstp-receiver: listening on 127.0.0.1:%d, answer %s\n", static_cast<int>(receiverPort(receiver)),
         answerName.c_str());
  fflush(stdout);

  size_t printed = 0;
  for (;;) {
    bool done = stopRequested || (count > 0 && receiverHandledCount(receiver) >= static_cast<size_t>(count));
    std::vector<std::string> requests = receiverRequests(receiver);
    for (; printed < requests.size(); ++printed) {
      printRequest(printed + 1, requests[printed]);
      if (!saveFolder.empty() && !saveRequest(saveFolder.c_str(), printed + 1, requests[printed])) {
        fprintf(stderr, "sstp-receiver: cannot write request %u into %s\n", static_cast<unsigned>(printed + 1),
                saveFolder.c_str());
      }
    }
    if (done) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  stopSstpReceiver(receiver);
  printf("----- %u request(s) received -----\n", static_cast<unsigned>(printed));
  return 0;
}
