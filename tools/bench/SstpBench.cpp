// sstp-bench: times SSTP delivery and the save-start handler on loopback
// against the test receiver.
//
//   bare    connect, send a request, read the answer, close: plain socket
//           calls, the least any delivery costs
//   send    sendSstpMessage of the same request (its own WSAStartup and
//           WSACleanup, the bounded connect, the send time-out, the wait)
//   start   the whole save-start handler with a sample template (SaveBench.h),
//           against a bare exchange of the request it sent
//   expand  expandSection of each sample template, nothing sent
//   refused sendSstpMessage to a port where nothing listens
//   call    each platform call of a notice by itself (CallBench.cpp)
//
// Timed kinds alternate in blocks so that both see the same machine load.
// Prints each figure as "name: value" on a line of its own.
//
//   sstp-bench [--label L] [--iterations N] [--templates DIR] [--sample FILE]
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Bench.h"
#include "CommandLine.h"
#include "SaveBench.h"
#include "SstpReceiver.h"
#include "sstp/SstpNotifier.h"
#include "host-support/Files.h"

double microsecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
  if (values.empty()) return 0.0;
  std::sort(values.begin(), values.end());
  size_t middle = values.size() / 2;
  return values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
}

bool bareExchange(const struct sockaddr_in& address, const std::string& request) {
  SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
  if (s == INVALID_SOCKET) return false;
  int length = static_cast<int>(request.size());
  bool ok = connect(s, reinterpret_cast<const struct sockaddr*>(&address), sizeof address) == 0 &&
            send(s, request.data(), length, 0) == length;
  char answer[1024];
  ok = ok && recv(s, answer, sizeof answer - 1, 0) > 0;
  closesocket(s);
  return ok;
}

void printFigure(const std::string& name, double value, int decimals) {
  printf("%s: %.*f\n", name.c_str(), decimals, value);
  fflush(stdout);
}

namespace {

// Bare exchanges against sendSstpMessage of the same request. Returns the
// number of failed exchanges.
long benchSend(const char* label, const std::string& request, int32_t port, long iterations) {
  struct sockaddr_in address = loopbackAddress(port);
  std::vector<double> bare;
  std::vector<double> sent;
  long failures = 0;
  long warmUp = iterations / 10;
  for (long i = 0; i < warmUp + iterations; i += kBlock) {
    for (long j = 0; j < kBlock; ++j) {
      Clock::time_point start = Clock::now();
      if (!bareExchange(address, request)) ++failures;
      if (i >= warmUp) bare.push_back(microsecondsSince(start));
    }
    for (long j = 0; j < kBlock; ++j) {
      Clock::time_point start = Clock::now();
      if (sendSstpMessage(request.c_str(), port) != 200) ++failures;
      if (i >= warmUp) sent.push_back(microsecondsSince(start));
    }
  }
  double bareMedian = median(bare);
  double sendMedian = median(sent);
  printFigure(std::string("bare median ") + label + " us", bareMedian, 1);
  printFigure(std::string("send median ") + label + " us", sendMedian, 1);
  printFigure(std::string("send/bare ratio ") + label, bareMedian > 0 ? sendMedian / bareMedian : 0.0, 2);
  return failures;
}

// Deliveries to a port where nothing listens. Returns the number that did
// not fail as they should, or -1 when no such port could be had.
long benchRefused(const char* label, const std::string& request, long iterations) {
  int32_t refusedPort = 0;
  SOCKET reserved = reserveRefusingPort(&refusedPort);
  if (reserved == INVALID_SOCKET) return -1;
  std::vector<double> refused;
  long failures = 0;
  for (long i = 0; i < std::max(10L, iterations / 20); ++i) {
    Clock::time_point start = Clock::now();
    if (sendSstpMessage(request.c_str(), refusedPort) != -1) ++failures;
    refused.push_back(microsecondsSince(start) / 1000.0);
  }
  releaseRefusingPort(reserved);
  printFigure(std::string("refused median ") + label + " ms", median(refused), 2);
  return failures;
}

const char kUsage[] = "usage: sstp-bench [--label L] [--iterations N] [--templates DIR] [--sample FILE]\n";

}  // namespace

int main(int argc, char** argv) {
  std::string labelText = "native";
  int32_t iterationsGiven = 2000;
  std::string templates = "templates";
  std::string sample = "detailed.tpp";
  std::vector<CommandOption> options = {
      {"--label", "L", "", keepValue(&labelText)},
      {"--iterations", "N", "",
       [&iterationsGiven](const std::string& v) { return takeInt32(v, 1, INT32_MAX, &iterationsGiven); }},
      {"--templates", "DIR", "", keepValue(&templates)},
      {"--sample", "FILE", "", keepValue(&sample)},
  };
  int status = takeCommandLine("sstp-bench", kUsage, argc - 1, argv + 1, options, nullptr);
  if (status >= 0) return status;
  const char* label = labelText.c_str();
  long iterations = std::max<long>(10, iterationsGiven);

  ReceiverSettings settings;
  int error = 0;
  SstpReceiver* receiver = startSstpReceiver(settings, &error);
  if (receiver == nullptr) {
    fprintf(stderr, "sstp-bench: the receiver did not start (error %d)\n", error);
    return 1;
  }
  // A typical start notice, about 150 bytes of script: エンコード開始。
  // 予想時間は 3分12秒。
  char* composed = composeSstpMessage(
      "\\h\\s[0]\x83\x47\x83\x93\x83\x52\x81\x5B\x83\x68\x8A\x4A\x8E\x6E\x81\x42"
      "\\n\x97\x5C\x91\x7A\x8E\x9E\x8A\xD4\x82\xCD 3\x95\xAA" "12\x95\x62\x81\x42\\n"
      "1800 frames, 1920x1080, 29.97 fps, output C:\\video\\output.avi\\w9",
      "Sample");
  if (composed == nullptr) return 1;
  std::string request = composed;
  free(composed);

  WSADATA data;
  WSAStartup(MAKEWORD(1, 1), &data);
  long failures = benchSend(label, request, receiverPort(receiver), iterations);
  takeReceiverRequests(receiver);
  bool ok = benchSaveStart(label, templates, sample.c_str(), iterations, receiver);
  ok = benchExpansion(label, templates, std::max(10L, iterations / 4)) && ok;
  long refusedFailures = benchRefused(label, request, iterations);
  benchCalls(label, hostFolder(templates) + sample, std::max(10L, iterations / 4));
  WSACleanup();
  stopSstpReceiver(receiver);
  printf("iterations %s: %ld\n", label, iterations);
  if (failures != 0 || refusedFailures != 0) {
    fprintf(stderr, "sstp-bench: %ld exchanges failed%s\n", failures,
            refusedFailures < 0 ? "; no refusing port" : "");
    return 1;
  }
  return ok ? 0 : 1;
}
