// SSTP requests and their delivery against the test receiver on loopback:
// the exact request bytes, the status number each server behaviour gives,
// and the bounds that keep a delivery from holding its caller.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <chrono>
#include <memory>
#include <string>

#include "SstpReceiver.h"
#include "sstp/SstpNotifier.h"

namespace {

struct ReceiverStop {
  void operator()(SstpReceiver* receiver) const { stopSstpReceiver(receiver); }
};
typedef std::unique_ptr<SstpReceiver, ReceiverStop> Receiver;

Receiver startReceiver(ReceiverAnswer answer, const std::string& customAnswer = std::string()) {
  ReceiverSettings settings;
  settings.answer = answer;
  settings.customAnswer = customAnswer;
  int error = 0;
  Receiver receiver(startSstpReceiver(settings, &error));
  EXPECT_NE(receiver, nullptr) << "receiver failed to start, error " << error;
  return receiver;
}

std::string composed(const char* script, const char* ghost) {
  char* request = composeSstpMessage(script, ghost);
  EXPECT_NE(request, nullptr);
  std::string text = request != nullptr ? request : "";
  free(request);
  return text;
}

const char kRequest[] =
    "SEND SSTP/1.4\r\nSender: AviUtl with SSTP\r\nCharset: Shift_JIS\r\nIfGhost: A\r\n"
    "Script: hello\\e\r\nOption: nodescript\r\n\r\n";

TEST(ComposeSstpMessage, BuildsBothFormsByteForByte) {
  struct Case {
    const char* script;
    const char* ghost;
    std::string expected;
  } cases[] = {
      // One-character ghost, five-character script: the 1.4 form, 112 bytes.
      {"hello", "A", kRequest},
      // An empty ghost name: the 1.1 form without IfGhost.
      {"hello", "",
       "SEND SSTP/1.1\r\nSender: AviUtl with SSTP\r\nCharset: Shift_JIS\r\n"
       "Script: hello\\e\r\nOption: nodescript\r\n\r\n"},
      // Double-byte characters, some with second byte 0x5C, and SakuraScript
      // are inserted unchanged: ghost ソラ, script \h\s[0]表示能力\e.
      {"\\h\\s[0]\x95\x5C\x8E\xA6\x94\x5C\x97\xCD", "\x83\x5C\x83\x89",
       "SEND SSTP/1.4\r\nSender: AviUtl with SSTP\r\nCharset: Shift_JIS\r\nIfGhost: \x83\x5C\x83\x89\r\n"
       "Script: \\h\\s[0]\x95\x5C\x8E\xA6\x94\x5C\x97\xCD\\e\r\nOption: nodescript\r\n\r\n"},
      // An empty script still makes a whole request.
      {"", "",
       "SEND SSTP/1.1\r\nSender: AviUtl with SSTP\r\nCharset: Shift_JIS\r\n"
       "Script: \\e\r\nOption: nodescript\r\n\r\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(composed(c.script, c.ghost), c.expected) << "script " << c.script;
  }
  EXPECT_EQ(composed("hello", "A").size(), 112u);
  EXPECT_EQ(composed("hello", "").size(), 95u + 5u);
}

struct DeliveryCase {
  ReceiverAnswer answer;
  std::string customAnswer;
  int32_t expected;
  const char* comment;
};

const DeliveryCase kDeliveryCases[] = {
    {ReceiverAnswer::ok, "", 200, "status line SSTP/1.4 200 OK"},
    {ReceiverAnswer::noContent, "", 204, "status line SSTP/1.1 204 No Content"},
    {ReceiverAnswer::bareNumber, "", 42, "an answer that is a bare number"},
    {ReceiverAnswer::close, "", -1, "closed without an answer: empty"},
    {ReceiverAnswer::notStatus, "", -1, "an HTTP status line is no SSTP status line"},
    {ReceiverAnswer::long5000, "", 200, "5000 bytes: the first 1023 are read, the call returns"},
    {ReceiverAnswer::reset, "", -1, "connection reset before the request was read"},
    {ReceiverAnswer::custom, "SSTP/1.4 404 Not Found\r\n\r\n", 404, "another status"},
    {ReceiverAnswer::custom, "SSTP/2.0   210 Break\r\n\r\n", 210, "several spaces after the version"},
    {ReceiverAnswer::custom, "SSTP/1.4 OK\r\n\r\n", -1, "a status line without a number"},
    {ReceiverAnswer::custom, "SSTP/1.x 200 OK\r\n\r\n", -1, "a broken version"},
    {ReceiverAnswer::custom, "SSTP/1.4 -200 OK\r\n\r\n", -1, "no sign inside a status line"},
    {ReceiverAnswer::custom, " \t-17 apples", -17, "as %d reads: white space, sign, digits"},
    {ReceiverAnswer::custom, "+8", 8, "a plus sign"},
    {ReceiverAnswer::custom, "2147483647", 2147483647, "the largest 32-bit number"},
    {ReceiverAnswer::custom, "2147483648", -1, "beyond 32 bits: no number"},
    {ReceiverAnswer::custom, "-", -1, "a sign without digits"},
    {ReceiverAnswer::custom, std::string(1022, ' ') + "77", 7,
     "only the first 1023 bytes count: the second digit is cut off"},
    {ReceiverAnswer::custom, std::string(1023, ' ') + "77", -1,
     "the number lies beyond the 1023 bytes read"},
};

TEST(SendSstpMessage, ResultForEachServerBehaviour) {
  for (const DeliveryCase& c : kDeliveryCases) {
    SCOPED_TRACE(c.comment);
    Receiver receiver = startReceiver(c.answer, c.customAnswer);
    ASSERT_NE(receiver, nullptr);
    EXPECT_EQ(sendSstpMessage(kRequest, receiverPort(receiver.get())), c.expected);
    if (c.answer != ReceiverAnswer::reset) {
      std::vector<std::string> requests = receiverRequests(receiver.get());
      ASSERT_EQ(requests.size(), 1u);
      EXPECT_EQ(requests[0], kRequest);
    }
  }
}

// One receiver for a run of different server behaviours: each connection is
// answered as set when it was accepted, and once the receiver is idle it has
// closed every connection it answered.
TEST(SendSstpMessage, AReceiverAnswersEachConnectionAsSetBeforeIt) {
  const DeliveryCase steps[] = {
      {ReceiverAnswer::custom, "SSTP/1.4 404 Not Found\r\n\r\n", 404, "these bytes"},
      {ReceiverAnswer::reset, "", -1, "a reset"},
      {ReceiverAnswer::close, "", -1, "closed without an answer"},
      {ReceiverAnswer::ok, "", 200, "the answer it started with"},
  };
  Receiver receiver = startReceiver(ReceiverAnswer::ok);
  ASSERT_NE(receiver, nullptr);
  size_t handled = 0;
  for (const DeliveryCase& c : steps) {
    SCOPED_TRACE(c.comment);
    setReceiverAnswer(receiver.get(), c.answer, c.customAnswer);
    EXPECT_EQ(sendSstpMessage(kRequest, receiverPort(receiver.get())), c.expected);
    waitForReceiverIdle(receiver.get());
    EXPECT_EQ(receiverHandledCount(receiver.get()), ++handled);
  }
}

TEST(SendSstpMessage, DeliversDoubleByteTextAndLargeRequestsUnchanged) {
  Receiver receiver = startReceiver(ReceiverAnswer::ok);
  ASSERT_NE(receiver, nullptr);
  // A script of 4 MiB of 表 (0x95 0x5C) and ASCII: more than a socket buffer.
  std::string script;
  while (script.size() < 4u * 1024u * 1024u) script += "\x95\x5C\x95\x5C\\n abc ";
  char* sjis = composeSstpMessage("\\h\x95\x5C\x8E\xA6", "\x83\x5C\x83\x89");
  char* large = composeSstpMessage(script.c_str(), "");
  ASSERT_NE(sjis, nullptr);
  ASSERT_NE(large, nullptr);
  EXPECT_EQ(sendSstpMessage(sjis, receiverPort(receiver.get())), 200);
  EXPECT_EQ(sendSstpMessage(large, receiverPort(receiver.get())), 200);
  std::vector<std::string> requests = receiverRequests(receiver.get());
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0], sjis);
  EXPECT_TRUE(requests[1] == large) << "large request differs, " << requests[1].size() << " bytes received";
  free(sjis);
  free(large);
}

TEST(SendSstpMessage, NoServerOnThePortGivesMinusOne) {
  int32_t port = 0;
  SOCKET reserved = reserveRefusingPort(&port);
  ASSERT_NE(reserved, INVALID_SOCKET);
  EXPECT_EQ(sendSstpMessage(kRequest, port), -1);
  releaseRefusingPort(reserved);
}

TEST(SendSstpMessage, BadArgumentsGiveMinusOne) {
  Receiver receiver = startReceiver(ReceiverAnswer::ok);
  ASSERT_NE(receiver, nullptr);
  EXPECT_EQ(sendSstpMessage(nullptr, receiverPort(receiver.get())), -1);
  EXPECT_EQ(sendSstpMessage("", receiverPort(receiver.get())), -1);
  EXPECT_EQ(sendSstpMessage(kRequest, 0), -1);
  EXPECT_EQ(sendSstpMessage(kRequest, 65536), -1);
  EXPECT_EQ(sendSstpMessage(kRequest, -9801), -1);
  EXPECT_TRUE(receiverRequests(receiver.get()).empty());
}

#ifndef _WIN32
// Before it connects, every delivery asks not to send a refused SYN again
// (Windows would otherwise spend some two seconds on a port where nothing
// listens). The stand-in keeps each thread's WSAIoctl and connect calls, so
// the control code, the parameters' bytes and the order on one socket can be
// read back; Windows' own calls keep no record, and under Wine the deliveries
// of the other suites pass whether the call works there or not.
TEST(SendSstpMessage, AsksForNoSynRetransmissionsBeforeConnecting) {
  Receiver receiver = startReceiver(ReceiverAnswer::ok);
  ASSERT_NE(receiver, nullptr);
  int32_t refusingPort = 0;
  SOCKET reserved = reserveRefusingPort(&refusingPort);
  ASSERT_NE(reserved, INVALID_SOCKET);
  struct Row {
    int32_t port;
    int32_t expected;
    const char* comment;
  } rows[] = {
      {receiverPort(receiver.get()), 200, "a server that answers"},
      {refusingPort, -1, "nothing listens on the port"},
  };
  // SIO_TCP_INITIAL_RTO, _WSAIOW(IOC_VENDOR, 17), and its parameters: Rtt
  // TCP_INITIAL_RTO_UNSPECIFIED_RTT (0xFFFF), MaxSynRetransmissions
  // TCP_INITIAL_RTO_NO_SYN_RETRANSMISSIONS (0xFE), a zeroed padding byte.
  const uint32_t kInitialRtoCode = 0x98000011u;
  const unsigned char kParameters[4] = {0xFF, 0xFF, 0xFE, 0x00};
  for (const Row& row : rows) {
    winsockForgetCalls();
    EXPECT_EQ(sendSstpMessage(kRequest, row.port), row.expected) << row.comment;
    WinsockCallRecord calls[kWinsockRecordedCalls];
    int count = winsockRecordedCalls(calls, kWinsockRecordedCalls);
    ASSERT_EQ(count, 2) << row.comment;
    EXPECT_EQ(calls[0].call, WinsockCall::ioctl) << row.comment;
    EXPECT_EQ(calls[0].ioctlCode, kInitialRtoCode) << row.comment;
    ASSERT_EQ(calls[0].inputLength, sizeof kParameters) << row.comment;
    EXPECT_EQ(memcmp(calls[0].input, kParameters, sizeof kParameters), 0) << row.comment;
    EXPECT_EQ(calls[1].call, WinsockCall::connect) << row.comment;
    EXPECT_EQ(calls[1].socket, calls[0].socket) << row.comment;
  }
  releaseRefusingPort(reserved);
}
#endif

// A server that takes the connection and never answers, and one that never
// reads a request too large for the socket buffers: both would hold the
// caller for ever without the delivery limit. The call must return -1.
TEST(SendSstpMessage, ReturnsFromServersThatStall) {
  {
    Receiver silent = startReceiver(ReceiverAnswer::silent);
    ASSERT_NE(silent, nullptr);
    EXPECT_EQ(sendSstpMessage(kRequest, receiverPort(silent.get())), -1);
    EXPECT_EQ(receiverRequests(silent.get()).size(), 1u);
  }
  {
    Receiver deaf = startReceiver(ReceiverAnswer::noRead);
    ASSERT_NE(deaf, nullptr);
    std::string script(64u * 1024u * 1024u, 'a');
    char* request = composeSstpMessage(script.c_str(), "A");
    ASSERT_NE(request, nullptr);
    EXPECT_EQ(sendSstpMessage(request, receiverPort(deaf.get())), -1);
    free(request);
  }
}

// A caller with less time left than kSstpDeliveryLimitMs gives its own
// limit: a silent server holds the delivery that long and no longer, and a
// limit already spent sends nothing at all.
TEST(SendSstpMessageWithin, HoldsItsCallerNoLongerThanTheLimitGiven) {
  struct Row {
    ReceiverAnswer answer;
    int32_t limitMs;
    int32_t expected;
    size_t requests;     // what the receiver got
    double atLeastMs;    // how long the call took, at least and at most
    double atMostMs;
    const char* comment;
  } rows[] = {
      {ReceiverAnswer::ok, 2000, 200, 1, 0, 1500, "an answering server within the limit"},
      {ReceiverAnswer::silent, 400, -1, 1, 350, 1500, "a silent server: the limit ends the wait"},
      {ReceiverAnswer::silent, 1, -1, 0, 0, 1000, "too little time to deliver"},
      {ReceiverAnswer::ok, 0, -1, 0, 0, 200, "no time left: no connection"},
      {ReceiverAnswer::ok, -5, -1, 0, 0, 200, "a spent limit: no connection"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.comment);
    Receiver receiver = startReceiver(row.answer);
    ASSERT_NE(receiver, nullptr);
    auto began = std::chrono::steady_clock::now();
    EXPECT_EQ(sendSstpMessageWithin(kRequest, receiverPort(receiver.get()), row.limitMs), row.expected);
    double took = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - began).count();
    EXPECT_GE(took, row.atLeastMs);
    EXPECT_LE(took, row.atMostMs);
    if (row.requests != 0) {
      EXPECT_EQ(receiverRequests(receiver.get()).size(), row.requests);
    }
    if (row.limitMs <= 0) {
      EXPECT_EQ(receiverHandledCount(receiver.get()), 0u);
    }
  }
}

// A send on a connection the peer has reset fails with SOCKET_ERROR and
// the process lives on (natively the send must not raise SIGPIPE).
TEST(Winsock, SendToResetConnectionFailsWithoutKillingTheProcess) {
  Receiver receiver = startReceiver(ReceiverAnswer::reset);
  ASSERT_NE(receiver, nullptr);
  WSADATA data;
  ASSERT_EQ(WSAStartup(MAKEWORD(1, 1), &data), 0);
  SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_NE(s, INVALID_SOCKET);
  struct sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<u_short>(receiverPort(receiver.get())));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(connect(s, reinterpret_cast<struct sockaddr*>(&address), sizeof address), 0);
  char answer[16];
  EXPECT_LE(recv(s, answer, sizeof answer, 0), 0);  // the reset arrives
  int results[3];
  for (int& result : results) result = send(s, kRequest, static_cast<int>(sizeof kRequest - 1), 0);
  EXPECT_EQ(results[2], SOCKET_ERROR);
  closesocket(s);
  WSACleanup();
}

}  // namespace
