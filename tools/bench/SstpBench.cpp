// sstp-bench: times SSTP delivery on loopback against the test receiver.
//
//   bare    connect, send a request, read the answer, close: plain socket
//           calls, the least any delivery costs
//   send    sendSstpMessage of the same request (its own WSAStartup and
//           WSACleanup, the bounded connect, the send time-out, the wait)
//   refused sendSstpMessage to a port where nothing listens
//
// Bare and send exchanges alternate so that both see the same machine
// load. Prints each figure as "name: value" on a line of its own.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "SstpReceiver.h"
#include "sstp/SstpNotifier.h"

namespace {

typedef std::chrono::steady_clock Clock;

// Exchanges of one kind timed in a row before switching to the other kind.
constexpr long kBlock = 50;

double microsecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
  if (values.empty()) return 0.0;
  std::sort(values.begin(), values.end());
  size_t middle = values.size() / 2;
  return values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
}

// One exchange with plain socket calls. Returns false when it failed.
bool bareExchange(const struct sockaddr_in& address, const char* request, int length) {
  SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
  if (s == INVALID_SOCKET) return false;
  bool ok = connect(s, reinterpret_cast<const struct sockaddr*>(&address), sizeof address) == 0 &&
            send(s, request, length, 0) == length;
  char answer[1024];
  ok = ok && recv(s, answer, sizeof answer - 1, 0) > 0;
  closesocket(s);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  const char* label = "native";
  long iterations = 2000;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (strcmp(argv[i], "--label") == 0) {
      label = argv[i + 1];
    } else if (strcmp(argv[i], "--iterations") == 0) {
      iterations = strtol(argv[i + 1], nullptr, 10);
    }
  }
  if (iterations < 10) iterations = 10;

  ReceiverSettings settings;
  int error = 0;
  SstpReceiver* receiver = startSstpReceiver(settings, &error);
  if (receiver == nullptr) {
    fprintf(stderr, "sstp-bench: the receiver did not start (error %d)\n", error);
    return 1;
  }
  int32_t port = receiverPort(receiver);
  // A typical start notice, about 150 bytes of script: エンコード開始。
  // 予想時間は 3分12秒。
  char* request = composeSstpMessage(
      "\\h\\s[0]\x83\x47\x83\x93\x83\x52\x81\x5B\x83\x68\x8A\x4A\x8E\x6E\x81\x42"
      "\\n\x97\x5C\x91\x7A\x8E\x9E\x8A\xD4\x82\xCD 3\x95\xAA" "12\x95\x62\x81\x42\\n"
      "1800 frames, 1920x1080, 29.97 fps, output C:\\video\\output.avi\\w9",
      "Sample");
  if (request == nullptr) return 1;
  int length = static_cast<int>(strlen(request));

  WSADATA data;
  WSAStartup(MAKEWORD(1, 1), &data);
  struct sockaddr_in address;
  memset(&address, 0, sizeof address);
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<u_short>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);

  std::vector<double> bare;
  std::vector<double> sent;
  long failures = 0;
  long warmUp = iterations / 10;
  for (long i = 0; i < warmUp + iterations; i += kBlock) {
    for (long j = 0; j < kBlock; ++j) {
      Clock::time_point start = Clock::now();
      if (!bareExchange(address, request, length)) ++failures;
      if (i >= warmUp) bare.push_back(microsecondsSince(start));
    }
    for (long j = 0; j < kBlock; ++j) {
      Clock::time_point start = Clock::now();
      if (sendSstpMessage(request, port) != 200) ++failures;
      if (i >= warmUp) sent.push_back(microsecondsSince(start));
    }
  }

  int32_t refusedPort = 0;
  SOCKET reserved = reserveRefusingPort(&refusedPort);
  std::vector<double> refused;
  for (long i = 0; i < std::max(10L, iterations / 20) && reserved != INVALID_SOCKET; ++i) {
    Clock::time_point start = Clock::now();
    if (sendSstpMessage(request, refusedPort) != -1) ++failures;
    refused.push_back(microsecondsSince(start) / 1000.0);
  }
  releaseRefusingPort(reserved);
  WSACleanup();
  stopSstpReceiver(receiver);
  free(request);

  double bareMedian = median(bare);
  double sendMedian = median(sent);
  printf("bare median %s us: %.1f\n", label, bareMedian);
  printf("send median %s us: %.1f\n", label, sendMedian);
  printf("send/bare ratio %s: %.2f\n", label, bareMedian > 0 ? sendMedian / bareMedian : 0.0);
  printf("refused median %s ms: %.2f\n", label, median(refused));
  printf("iterations %s: %ld\n", label, iterations);
  if (failures != 0 || reserved == INVALID_SOCKET) {
    fprintf(stderr, "sstp-bench: %ld exchanges failed\n", failures);
    return 1;
  }
  return 0;
}
