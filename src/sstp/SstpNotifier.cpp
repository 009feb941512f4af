// SSTP SEND requests and their delivery to the mascot server on this
// machine. Every delivery is bounded in time (kSstpDeliveryLimitMs, or the
// limit its caller gives), since the caller (the host's thread in
// the 1.x edition) waits for it.
#include <winsock2.h>
#include <mstcpip.h>
#include <windows.h>

#include <limits.h>
#include <stdlib.h>
#include <string.h>

#include <chrono>

#include "sstp/SstpNotifier.h"

namespace {

// A numeric loopback address: gethostbyname hands it back without asking
// any name service (hosts file, DNS), on Windows, under Wine and natively.
const char kLoopbackHost[] = "127.0.0.1";

// The answer is read once into this buffer, ending it with a zero byte.
constexpr int kAnswerBufferSize = 1024;

typedef std::chrono::steady_clock Clock;

// Milliseconds from now until `deadline`, 0 once it has passed.
int32_t msUntil(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int32_t>(left) : 0;
}

Clock::time_point msAfter(Clock::time_point start, int32_t ms) {
  return start + std::chrono::milliseconds(ms);
}

// Waits until `s` can be read (forWrite false) or written (forWrite true),
// at most until `deadline`. Returns true when select reported the socket
// ready. A failed connect counts as not ready: Windows reports it in the
// except set, which is watched beside the write set; POSIX reports it as
// writable, and the caller reads SO_ERROR for that.
bool waitForSocket(SOCKET s, bool forWrite, Clock::time_point deadline) {
  for (;;) {
    fd_set readSet;
    fd_set writeSet;
    fd_set exceptSet;
    FD_ZERO(&readSet);
    FD_ZERO(&writeSet);
    FD_ZERO(&exceptSet);
    if (forWrite) {
      FD_SET(s, &writeSet);
      FD_SET(s, &exceptSet);
    } else {
      FD_SET(s, &readSet);
    }
    int32_t ms = msUntil(deadline);
    struct timeval limit;
    limit.tv_sec = ms / 1000;
    limit.tv_usec = (ms % 1000) * 1000;
    // Winsock ignores the first argument; POSIX needs the highest socket + 1.
    int ready = select(static_cast<int>(s) + 1, &readSet, &writeSet, &exceptSet, &limit);
    if (ready == SOCKET_ERROR && WSAGetLastError() == WSAEINTR && ms > 0) continue;
    if (ready <= 0) return false;
    if (FD_ISSET(s, &exceptSet)) return false;
    return forWrite ? FD_ISSET(s, &writeSet) != 0 : FD_ISSET(s, &readSet) != 0;
  }
}

// Asks Windows not to send the SYN of `s` again when the server answers it
// with a reset. Windows otherwise sends it twice more, about two seconds,
// before connect reports WSAECONNREFUSED, so a save would wait for a mascot
// program that is not running. Windows 10 1709 and later then refuse at
// once; earlier builds of Windows 8 and 10 do not honour the value, Windows
// 7 and older know no such control code, and Wine and POSIX refuse at once
// anyway. The result is not looked at: where the call fails or the value is
// not honoured, kSstpConnectLimitMs bounds the wait.
void askForNoSynRetransmissions(SOCKET s) {
  TCP_INITIAL_RTO_PARAMETERS parameters;
  memset(&parameters, 0, sizeof parameters);  // the padding byte too
  parameters.Rtt = TCP_INITIAL_RTO_UNSPECIFIED_RTT;
  parameters.MaxSynRetransmissions = TCP_INITIAL_RTO_NO_SYN_RETRANSMISSIONS;
  DWORD bytesReturned = 0;
  WSAIoctl(s, SIO_TCP_INITIAL_RTO, &parameters, sizeof parameters, nullptr, 0, &bytesReturned, nullptr, nullptr);
}

// Connects `s` to `address` within kSstpConnectLimitMs (and before
// `deadline`). A blocking connect is unbounded and Windows may retry a
// refused loopback connection for about two seconds, hence the
// non-blocking attempt watched by select. Leaves `s` blocking again.
bool connectWithin(SOCKET s, const struct sockaddr_in& address, Clock::time_point deadline) {
  askForNoSynRetransmissions(s);
  u_long nonBlocking = 1;
  if (ioctlsocket(s, FIONBIO, &nonBlocking) != 0) return false;
  if (connect(s, reinterpret_cast<const struct sockaddr*>(&address), sizeof address) == SOCKET_ERROR) {
    if (WSAGetLastError() != WSAEWOULDBLOCK) return false;
    Clock::time_point connectDeadline = msAfter(Clock::now(), kSstpConnectLimitMs);
    if (connectDeadline > deadline) connectDeadline = deadline;
    if (!waitForSocket(s, true, connectDeadline)) return false;
    int error = 0;
    int length = sizeof error;
    if (getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0 || error != 0) {
      return false;
    }
  }
  u_long blocking = 0;
  return ioctlsocket(s, FIONBIO, &blocking) == 0;
}

// Reads an integer as "%d" does: optional white space, optional sign,
// digits. Returns false when there are no digits or the number does not
// fit in 32 bits ("%d" leaves that undefined).
bool readDecimal(const char* text, int32_t* value) {
  const char* p = text;
  while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\v' || *p == '\f' || *p == '\r') ++p;
  bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  if (*p < '0' || *p > '9') return false;
  int64_t number = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    number = number * 10 + (*p - '0');
    if (number > static_cast<int64_t>(INT32_MAX) + 1) return false;
  }
  if (negative) number = -number;
  if (number > INT32_MAX || number < INT32_MIN) return false;
  *value = static_cast<int32_t>(number);
  return true;
}

// The status number of an answer: the number after the version of a status
// line "SSTP/x.y NNN ...", else the number the answer begins with, else -1.
int32_t statusNumberOf(const char* answer) {
  int32_t value = -1;
  if (strncmp(answer, "SSTP/", 5) == 0) {
    const char* p = answer + 5;
    const char* digits = p;
    while (*p >= '0' && *p <= '9') ++p;
    bool version = p > digits && *p == '.';
    if (version) {
      digits = ++p;
      while (*p >= '0' && *p <= '9') ++p;
      version = p > digits && *p == ' ';
    }
    if (version) {
      while (*p == ' ') ++p;
      if (*p >= '0' && *p <= '9' && readDecimal(p, &value)) return value;
    }
    return -1;
  }
  return readDecimal(answer, &value) ? value : -1;
}

// Connection, request and answer on the socket `s`, all before `deadline`.
// Returns the status number or -1.
int32_t exchange(SOCKET s, const struct sockaddr_in& address, const char* request, int length,
                 Clock::time_point deadline) {
  if (!connectWithin(s, address, deadline)) return -1;

  // One send of the whole request. A blocking send of a large request waits
  // for the server to read it; the send time-out bounds that wait.
  DWORD sendLimit = static_cast<DWORD>(msUntil(deadline));
  if (sendLimit == 0) return -1;
  if (setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&sendLimit), sizeof sendLimit) != 0) {
    return -1;
  }
  if (send(s, request, length, 0) != length) return -1;

  if (!waitForSocket(s, false, deadline)) return -1;
  char answer[kAnswerBufferSize];
  int received = recv(s, answer, kAnswerBufferSize - 1, 0);
  if (received <= 0) return -1;
  answer[received] = '\0';
  return statusNumberOf(answer);
}

// Everything between WSAStartup and WSACleanup.
int32_t deliver(const char* request, int length, int32_t port, Clock::time_point deadline) {
  struct hostent* host = gethostbyname(kLoopbackHost);
  if (host == nullptr || host->h_addrtype != AF_INET || host->h_length != 4 || host->h_addr_list == nullptr ||
      host->h_addr_list[0] == nullptr) {
    return -1;
  }
  struct sockaddr_in address;
  memset(&address, 0, sizeof address);
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<u_short>(port));
  memcpy(&address.sin_addr, host->h_addr_list[0], 4);

  SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
  if (s == INVALID_SOCKET) return -1;
  int32_t result = exchange(s, address, request, length, deadline);
  closesocket(s);
  return result;
}

}  // namespace

char* composeSstpMessage(const char* script, const char* ghost) {
  if (script == nullptr) script = "";
  if (ghost == nullptr) ghost = "";
  size_t scriptLength = strlen(script);
  size_t ghostLength = strlen(ghost);
  // The fixed text of the SSTP/1.4 form is 106 bytes, of the 1.1 form 95.
  size_t fixed = ghostLength > 0 ? 106 : 95;
  if (scriptLength > SIZE_MAX - fixed - 1 - ghostLength) return nullptr;
  size_t size = fixed + ghostLength + scriptLength + 1;
  char* request = static_cast<char*>(malloc(size));
  if (request == nullptr) return nullptr;
  char* p = request;
  auto put = [&p](const char* text, size_t length) {
    memcpy(p, text, length);
    p += length;
  };
  auto putLiteral = [&put](const char* text) { put(text, strlen(text)); };
  if (ghostLength > 0) {
    putLiteral("SEND SSTP/1.4\r\nSender: AviUtl with SSTP\r\nCharset: Shift_JIS\r\nIfGhost: ");
    put(ghost, ghostLength);
    putLiteral("\r\n");
  } else {
    putLiteral("SEND SSTP/1.1\r\nSender: AviUtl with SSTP\r\nCharset: Shift_JIS\r\n");
  }
  putLiteral("Script: ");
  put(script, scriptLength);
  putLiteral("\\e\r\nOption: nodescript\r\n\r\n");
  *p = '\0';
  return request;
}

int32_t sendSstpMessage(const char* request, int32_t port) {
  return sendSstpMessageWithin(request, port, kSstpDeliveryLimitMs);
}

int32_t sendSstpMessageWithin(const char* request, int32_t port, int32_t limitMs) {
  Clock::time_point deadline = msAfter(Clock::now(), limitMs);
  if (limitMs <= 0 || request == nullptr || port <= 0 || port > 65535) return -1;
  size_t length = strlen(request);
  // send takes an int count; an empty request has nothing to deliver.
  if (length == 0 || length > static_cast<size_t>(INT_MAX)) return -1;

  WSADATA data;
  if (WSAStartup(MAKEWORD(1, 1), &data) != 0) return -1;
  int32_t result = deliver(request, static_cast<int>(length), port, deadline);
  WSACleanup();
  return result;
}
