// A loopback SSTP server for tests, the benchmark and script/demo. It
// accepts one connection at a time on 127.0.0.1, records each request's
// exact bytes (up to the blank line that ends a request, or until the
// client closes) and answers as it was told. It runs in a thread of its
// own; the same code serves the native build (stand-ins) and Windows.
#pragma once

#include <winsock2.h>

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

enum class ReceiverAnswer {
  ok,          // "SSTP/1.4 200 OK" and CR LF CR LF
  noContent,   // "SSTP/1.1 204 No Content" and CR LF CR LF
  long5000,    // a status line 200 followed by filler, 5000 bytes in all
  close,       // reads the request, then closes without an answer
  notStatus,   // "HTTP/1.0 400 Bad Request" and CR LF CR LF: no SSTP status line
  bareNumber,  // "42" and CR LF: a bare number
  silent,      // reads the request and keeps the connection open, unanswered
  reset,       // resets the connection at once, reading nothing
  noRead,      // accepts and never reads, so that a large send stalls
  custom,      // ReceiverSettings::customAnswer
};

struct ReceiverSettings {
  int32_t port = 0;  // 0: any free port (see receiverPort)
  ReceiverAnswer answer = ReceiverAnswer::ok;
  std::string customAnswer;
};

struct SstpReceiver;

// Starts listening on 127.0.0.1 and serving in a thread. Returns null when
// the port cannot be had; *error (if not null) then holds WSAGetLastError's
// code (WSAEADDRINUSE when the port is taken).
SstpReceiver* startSstpReceiver(const ReceiverSettings& settings, int* error);

// Stops serving (a silent or stalled connection is closed) and frees the
// receiver. Null is allowed.
void stopSstpReceiver(SstpReceiver* receiver);

// The port the receiver listens on.
int32_t receiverPort(const SstpReceiver* receiver);

// Makes the receiver answer as `answer` (`customAnswer` for
// ReceiverAnswer::custom) from the next connection it accepts on; a
// connection it is serving keeps the answer it was accepted with.
void setReceiverAnswer(SstpReceiver* receiver, ReceiverAnswer answer, const std::string& customAnswer);

// Returns once the receiver serves no connection: the one it accepted last
// has been answered and closed, and what serving it allocated is freed. A
// client that has seen its connection answered, closed or reset returns
// from this at once or soon; a connection still waiting in the listen
// queue is not waited for.
void waitForReceiverIdle(SstpReceiver* receiver);

// Returns true as soon as the receiver holds `count` requests or more
// (received and not yet taken), false when `timeoutMs` passes first.
bool waitForReceiverRequests(SstpReceiver* receiver, size_t count, uint32_t timeoutMs);

// The requests received so far, each as its exact bytes.
std::vector<std::string> receiverRequests(SstpReceiver* receiver);

// The requests received so far, as receiverRequests gives them, and forgets
// them, so that a long run does not keep every request.
std::vector<std::string> takeReceiverRequests(SstpReceiver* receiver);

// How many connections were handled to their end (answered and closed).
size_t receiverHandledCount(SstpReceiver* receiver);

// The answer bytes a mode sends (empty for modes that send none).
std::string receiverAnswerText(ReceiverAnswer answer, const std::string& customAnswer);

// Reads a mode name as the program's --answer takes it ("ok", "nocontent",
// "long", "close", "text", "number", "silent", "reset", "noread"). Returns
// false for an unknown name.
bool parseReceiverAnswer(const char* name, ReceiverAnswer* answer);

// 127.0.0.1:`port` as a socket address.
struct sockaddr_in loopbackAddress(int32_t port);

// A port where nothing listens: a socket bound to a free loopback port but
// not listening, so a connection there is refused and no other program
// takes the port while the socket stays open. Returns INVALID_SOCKET on
// failure. Give the socket back with releaseRefusingPort.
SOCKET reserveRefusingPort(int32_t* port);
void releaseRefusingPort(SOCKET s);
