#include "TppSend.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include "TppJobOptions.h"
#include "sstp/SstpNotifier.h"
#include "template/TemplateCatalog.h"
#include "template/TemplateValue.h"

const char* const kSendUsage =
    "send FILE [--section NAME] [--port 9801|11000] " TPP_JOB_OPTIONS_USAGE;

namespace {

// The port the plug-in uses unless its settings name 11000.
constexpr int32_t kDefaultPort = 9801;

// What send takes beside the job options.
struct SendArguments {
  const char* section;
  int32_t port;
};

// --section NAME and --port N.
JobOptionResult takeSendOption(int argc, char** args, int* index, void* context) {
  SendArguments& send = *static_cast<SendArguments*>(context);
  const char* arg = args[*index];
  bool isSection = strcmp(arg, "--section") == 0;
  if (!isSection && strcmp(arg, "--port") != 0) return JobOptionResult::none;
  if (*index + 1 >= argc) {
    fprintf(stderr, "tpp send: %s needs a value\n", arg);
    return JobOptionResult::failed;
  }
  const char* value = args[*index + 1];
  if (isSection) {
    send.section = value;
  } else if (!parseInt32(value, &send.port) || send.port < 1 || send.port > 65535) {
    // Any local port is taken, so that a server on a test port can be
    // reached; the plug-in itself offers 9801 and 11000.
    fprintf(stderr, "tpp send: --port needs a port number from 1 to 65535, not '%s'\n", value);
    return JobOptionResult::failed;
  }
  *index += 2;
  return JobOptionResult::taken;
}

}  // namespace

int runSendCommand(int argc, char** args) {
  JobOptions options{};
  SendArguments send{"start", kDefaultPort};
  const char* file = nullptr;
  if (!takeVerbArguments("send", kSendUsage, argc, args, takeSendOption, &send, &options, &file, 1,
                         "FILE is")) {
    return 2;
  }
  const char* section = send.section;
  int32_t port = send.port;
  if (!setTemplateFile("send", file, &options.job)) return 2;

  // The ghost the template names, read as the plug-in's catalogue reads it.
  char ghost[kGhostNameSize];
  readTemplateValue(options.job.templatePath, "config", "ghost", "", ghost, sizeof ghost);

  char* script = expandForJob(section, options);
  if (script == nullptr) {
    fprintf(stderr, "tpp send: out of memory\n");
    return 1;
  }
  if (script[0] == '\0') {
    free(script);
    fprintf(stderr, "tpp send: section '%s' expands to nothing; nothing was sent\n", section);
    return 1;
  }
  char* request = composeSstpMessage(script, ghost);
  free(script);
  if (request == nullptr) {
    fprintf(stderr, "tpp send: out of memory\n");
    return 1;
  }
  int32_t status = sendSstpMessage(request, port);
  free(request);
  if (status == -1) {
    fprintf(stderr,
            "tpp send: no status from 127.0.0.1:%d: nothing listens there, the connection or the send "
            "failed, no answer came within %d s, or the answer held no status number\n",
            static_cast<int>(port), static_cast<int>(kSstpDeliveryLimitMs / 1000));
    return 1;
  }
  printf("%d\n", static_cast<int>(status));
  return fflush(stdout) == 0 ? 0 : 1;
}
