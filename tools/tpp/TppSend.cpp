#include "TppSend.h"

#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

#include "TppJobOptions.h"
#include "sstp/SstpNotifier.h"
#include "template/TemplateCatalog.h"

const char* const kSendUsage =
    "send FILE [--section NAME] [--port 9801|11000] " TPP_JOB_OPTIONS_USAGE;

int runSendCommand(int argc, char** args) {
  JobOptions options{};
  std::string section = "start";
  int32_t port = kSstpDefaultPort;
  std::vector<CommandOption> known = jobCommandOptions(&options);
  known.push_back({"--section", "NAME", "", keepValue(&section)});
  // Any local port is taken, so that a server on a test port can be
  // reached; the plug-in itself offers 9801 and 11000.
  known.push_back({"--port", "N", "", [&port](const std::string& value) { return takeInt32(value, 1, 65535, &port); }});
  std::vector<std::string> words;
  int status = readVerbArguments("send", kSendUsage, argc, args, known, 1, 1, "FILE is", &words);
  if (status >= 0) return status;
  const char* file = words[0].c_str();
  if (!setTemplateFile("send", file, &options.job)) return 2;

  // The ghost the template names, read as the plug-in's catalogue reads it.
  char ghost[kGhostNameSize];
  readTemplateGhost(options.job.templatePath, ghost);

  char* script = expandForJob(section.c_str(), options);
  if (script == nullptr) {
    fprintf(stderr, "tpp send: out of memory\n");
    return 1;
  }
  if (script[0] == '\0') {
    free(script);
    fprintf(stderr, "tpp send: section '%s' expands to nothing; nothing was sent\n", section.c_str());
    return 1;
  }
  char* request = composeSstpMessage(script, ghost);
  free(script);
  if (request == nullptr) {
    fprintf(stderr, "tpp send: out of memory\n");
    return 1;
  }
  int32_t answer = sendSstpMessage(request, port);
  free(request);
  if (answer == -1) {
    fprintf(stderr,
            "tpp send: no status from 127.0.0.1:%d: nothing listens there, the connection or the send "
            "failed, no answer came within %d s, or the answer held no status number\n",
            static_cast<int>(port), static_cast<int>(kSstpDeliveryLimitMs / 1000));
    return 1;
  }
  printf("%d\n", static_cast<int>(answer));
  return fflush(stdout) == 0 ? 0 : 1;
}
