// `tpp send` run as a user runs it (tpp.exe under Wine), against the test
// receiver in this process: the exact request that reaches the server, the
// status printed, and the exit status and message of each failure.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <memory>
#include <string>

#include "SstpReceiver.h"
#include "sstp/SstpNotifier.h"
#include "host-support/Files.h"

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace {

struct ReceiverStop {
  void operator()(SstpReceiver* receiver) const { stopSstpReceiver(receiver); }
};
typedef std::unique_ptr<SstpReceiver, ReceiverStop> Receiver;

struct ToolRun {
  int exitCode;
  std::string out;
  std::string err;
};

// The status line ends in CR LF on Windows (stdout in text mode).
std::string withoutCr(std::string text) {
  size_t at = text.find("\r\n");
  if (at != std::string::npos) text.erase(at, 1);
  return text;
}

// Runs tpp with `args` (words without blanks, or quoted for both shells).
ToolRun runTpp(const std::string& args) {
  ScratchFolder scratch("tpp-send");
  const std::string& folder = scratch.path();
  std::string command = localPath(TPP_PROGRAM) + " " + args + " >" + localPath(folder + "/out") + " 2>" +
                        localPath(folder + "/err");
  int status = system(command.c_str());
#ifndef _WIN32
  status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
  return ToolRun{status, withoutCr(readFileBytes(folder + "/out")), readFileBytes(folder + "/err")};
}

std::string fixture(const char* name) { return localPath(fixturePath("sstp", name)); }

std::string composed(const char* script, const char* ghost) {
  char* request = composeSstpMessage(script, ghost);
  std::string text = request != nullptr ? request : "";
  free(request);
  return text;
}

// ソラ表示, the ghost that send.tpp names.
const char kGhost[] = "\x83\x5C\x83\x89\x95\x5C\x8E\xA6";

TEST(TppSend, DeliversTheExpandedSectionAndPrintsTheStatus) {
  struct Case {
    const char* args;  // after "send FILE --port P"
    const char* file;
    ReceiverAnswer answer;
    int exitCode;
    const char* out;
    std::string request;  // empty: nothing may arrive
  } cases[] = {
      // Section "start" by default, the 1.4 form for the ghost it names:
      // \h\s[0]900 能力表示.
      {"--frames 900", "send.tpp", ReceiverAnswer::ok, 0, "200\n",
       composed("\\h\\s[0]900 \x94\x5C\x97\xCD\x95\x5C\x8E\xA6", kGhost)},
      // Another section, options before and after the file.
      {"--section end --width 640 --height 480", "send.tpp", ReceiverAnswer::noContent, 0, "204\n",
       composed("\\u\\s[10]end 640x480", kGhost)},
      // A template that names no ghost: the 1.1 form.
      {"", "noghost.tpp", ReceiverAnswer::bareNumber, 0, "42\n", composed("hello", "")},
      // Delivered, but the server closed without an answer: no status.
      {"", "noghost.tpp", ReceiverAnswer::close, 1, "", composed("hello", "")},
      // A section that expands to nothing sends nothing.
      {"--section nothing", "send.tpp", ReceiverAnswer::ok, 1, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.file) + " " + c.args);
    ReceiverSettings settings;
    settings.answer = c.answer;
    Receiver receiver(startSstpReceiver(settings, nullptr));
    ASSERT_NE(receiver, nullptr);
    ToolRun run = runTpp("send " + fixture(c.file) + " --port " + std::to_string(receiverPort(receiver.get())) + " " +
                     c.args);
    EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
    EXPECT_EQ(run.out, c.out);
    if (c.exitCode != 0) {
      EXPECT_NE(run.err.find("tpp send: "), std::string::npos) << run.err;
    }
    std::vector<std::string> requests = receiverRequests(receiver.get());
    if (c.request.empty()) {
      EXPECT_TRUE(requests.empty());
    } else {
      ASSERT_EQ(requests.size(), 1u);
      EXPECT_EQ(requests[0], c.request);
    }
  }
}

TEST(TppSend, SaysWhyWhenNothingListens) {
  int32_t port = 0;
  SOCKET reserved = reserveRefusingPort(&port);
  ASSERT_NE(reserved, INVALID_SOCKET);
  ToolRun run = runTpp("send " + fixture("send.tpp") + " --port " + std::to_string(port));
  releaseRefusingPort(reserved);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find("tpp send: no status from 127.0.0.1:" + std::to_string(port)), std::string::npos)
      << run.err;
}

TEST(TppSend, RejectsBadUsage) {
  const char* cases[] = {
      "send",                                   // no FILE
      "send no-such-file.tpp",                  // a file that can't be read
      "send SEND_TPP SEND_TPP",                 // two files
      "send SEND_TPP --port 0",                 // no port
      "send SEND_TPP --port 65536",             // beyond the ports
      "send SEND_TPP --port 98o1",              // not a number
      "send SEND_TPP --section",                // a missing value
      "send SEND_TPP --frames",                 // a job option without its value
      "send SEND_TPP --utf8",                   // an option of another verb
  };
  for (const char* words : cases) {
    std::string args = words;
    for (size_t at; (at = args.find("SEND_TPP")) != std::string::npos;) args.replace(at, 8, fixture("send.tpp"));
    ToolRun run = runTpp(args);
    EXPECT_EQ(run.exitCode, 2) << words;
    EXPECT_EQ(run.out, "") << words;
    EXPECT_EQ(run.err.rfind("tpp send: ", 0), 0u) << words << ": " << run.err;
  }
}

}  // namespace
