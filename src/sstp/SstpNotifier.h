// Delivers a script to the mascot server on this machine as an SSTP SEND
// request, one short-lived TCP connection per request.
#pragma once

#include <stdint.h>

// Longest time one delivery may hold its caller: connecting, sending and
// waiting for the answer together. A mascot server answers a SEND at once.
constexpr int32_t kSstpDeliveryLimitMs = 5000;
// Longest time spent on the connection attempt itself, so that a port where
// nothing listens costs little on a system that retries a refused
// connection (Windows before 10 1709: each delivery first asks Windows not
// to, which later versions honour).
constexpr int32_t kSstpConnectLimitMs = 1000;

// The ports a mascot server listens on, and the one a user's stored choice
// names: only 11000 chooses 11000, anything else is the default 9801.
constexpr int32_t kSstpDefaultPort = 9801;
constexpr int32_t kSstpOtherPort = 11000;
constexpr int32_t chosenSstpPort(int32_t stored) { return stored == kSstpOtherPort ? kSstpOtherPort : kSstpDefaultPort; }

// Returns a new request (free with free()): SEND SSTP/1.4 with an IfGhost
// line when `ghost` is not empty, else SEND SSTP/1.1. Texts are inserted
// unchanged. Returns null only when memory cannot be had.
char* composeSstpMessage(const char* script, const char* ghost);

// Sends `request` to 127.0.0.1:`port` and reads one answer of at most 1023
// bytes. Returns the status code (the number after the version of a status
// line "SSTP/x.y NNN ...", or the number the answer begins with); -1 when
// the request was not delivered whole, when the answer is empty or holds
// no number, or when the delivery limit ran out.
int32_t sendSstpMessage(const char* request, int32_t port);

// The same delivery bounded by `limitMs` instead of kSstpDeliveryLimitMs
// (the connection attempt still by kSstpConnectLimitMs at most), for a
// caller that has less time left. Returns what sendSstpMessage returns; -1
// without a connection when `limitMs` is 0 or below.
int32_t sendSstpMessageWithin(const char* request, int32_t port, int32_t limitMs);
