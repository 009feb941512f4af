// Stand-ins for the Windows Sockets calls whose POSIX namesakes differ (see
// include/winsock2.h). Native build only; on Windows ws2_32 serves them.
#include <winsock2.h>
#include <mstcpip.h>

#include <errno.h>
#include <string.h>
#include <unistd.h>

// The macros of winsock2.h would turn the calls below into calls of
// themselves.
#undef gethostbyname
#undef socket
#undef connect
#undef send
#undef getsockopt
#undef setsockopt
#undef accept
#undef getsockname

namespace {

struct ErrorCode {
  int posix;
  int winsock;
};

const ErrorCode kErrorCodes[] = {
    {EINTR, WSAEINTR},
    {EBADF, WSAENOTSOCK},
    {EACCES, WSAEACCES},
    {EFAULT, WSAEFAULT},
    {EINVAL, WSAEINVAL},
    {EMFILE, WSAEMFILE},
    {ENFILE, WSAEMFILE},
    {EAGAIN, WSAEWOULDBLOCK},
    // A non-blocking connect that has not finished yet: Winsock says
    // "would block" for it.
    {EINPROGRESS, WSAEWOULDBLOCK},
    {EALREADY, WSAEALREADY},
    {ENOTSOCK, WSAENOTSOCK},
    {EMSGSIZE, WSAEMSGSIZE},
    {EOPNOTSUPP, WSAEOPNOTSUPP},
    {EAFNOSUPPORT, WSAEAFNOSUPPORT},
    {EADDRINUSE, WSAEADDRINUSE},
    {EADDRNOTAVAIL, WSAEADDRNOTAVAIL},
    {ENETDOWN, WSAENETDOWN},
    {ENETUNREACH, WSAENETUNREACH},
    {ECONNABORTED, WSAECONNABORTED},
    {ECONNRESET, WSAECONNRESET},
    // A send after the peer reset the connection.
    {EPIPE, WSAECONNRESET},
    {ENOBUFS, WSAENOBUFS},
    {ENOMEM, WSAENOBUFS},
    {EISCONN, WSAEISCONN},
    {ENOTCONN, WSAENOTCONN},
    {ESHUTDOWN, WSAESHUTDOWN},
    {ETIMEDOUT, WSAETIMEDOUT},
    {ECONNREFUSED, WSAECONNREFUSED},
    {EHOSTUNREACH, WSAEHOSTUNREACH},
    // Set by gethostbyname alone, for a name that does not resolve.
    {ENODATA, WSAHOST_NOT_FOUND},
};

// A DWORD of milliseconds, Winsock's form of a socket time-out, as POSIX's
// timeval. Zero means no time-out in both.
struct timeval timevalOfMs(DWORD ms) {
  struct timeval limit;
  limit.tv_sec = static_cast<time_t>(ms / 1000);
  limit.tv_usec = static_cast<suseconds_t>((ms % 1000) * 1000);
  return limit;
}

bool isTimeoutOption(int level, int name) {
  return level == SOL_SOCKET && (name == SO_RCVTIMEO || name == SO_SNDTIMEO);
}

// The calling thread's last calls of WSAIoctl and connect, a ring: the
// delivery runs on the caller's thread, so a test reads its own calls and
// never those of a receiver thread beside it.
struct CallRing {
  WinsockCallRecord records[kWinsockRecordedCalls];
  int next;   // where the next call goes
  int count;  // calls kept, at most kWinsockRecordedCalls
};
thread_local CallRing callRing;

WinsockCallRecord* recordCall(WinsockCall call, SOCKET s) {
  WinsockCallRecord* record = &callRing.records[callRing.next];
  memset(record, 0, sizeof *record);
  record->call = call;
  record->socket = s;
  callRing.next = (callRing.next + 1) % kWinsockRecordedCalls;
  if (callRing.count < kWinsockRecordedCalls) ++callRing.count;
  return record;
}

}  // namespace

int WSAAPI WSAStartup(WORD version, LPWSADATA data) {
  if (data == nullptr) return WSAEFAULT;
  BYTE major = static_cast<BYTE>(version & 0xFF);
  BYTE minor = static_cast<BYTE>(version >> 8);
  if (major < 1 || (major == 1 && minor < 1)) return WSAVERNOTSUPPORTED;
  memset(data, 0, sizeof *data);
  data->wVersion = (major > 2 || (major == 2 && minor > 2)) ? MAKEWORD(2, 2) : version;
  data->wHighVersion = MAKEWORD(2, 2);
  strcpy(data->szDescription, "POSIX sockets");
  strcpy(data->szSystemStatus, "Running");
  return 0;
}

int WSAAPI WSACleanup(void) { return 0; }

int WSAAPI WSAGetLastError(void) {
  int code = errno;
  for (const ErrorCode& entry : kErrorCodes) {
    if (entry.posix == code) return entry.winsock;
  }
  return WSASYSCALLFAILURE;
}

int WSAAPI closesocket(SOCKET s) { return close(s) == 0 ? 0 : SOCKET_ERROR; }

int WSAAPI ioctlsocket(SOCKET s, long command, u_long* arg) {
  if (arg == nullptr) {
    errno = EINVAL;
    return SOCKET_ERROR;
  }
  if (command == static_cast<long>(FIONBIO)) {
    int nonBlocking = *arg != 0 ? 1 : 0;
    return ioctl(s, FIONBIO, &nonBlocking) == 0 ? 0 : SOCKET_ERROR;
  }
  if (command == static_cast<long>(FIONREAD)) {
    int waiting = 0;
    if (ioctl(s, FIONREAD, &waiting) != 0) return SOCKET_ERROR;
    *arg = static_cast<u_long>(waiting);
    return 0;
  }
  errno = EINVAL;
  return SOCKET_ERROR;
}

struct hostent* WSAAPI winsockGethostbyname(const char* name) {
  // One record per thread, as Winsock keeps it; valid until the thread's
  // next call.
  struct ThreadHost {
    struct hostent entry;
    char* aliases[1];
    char* addresses[2];
    struct in_addr address;
    char name[INET_ADDRSTRLEN];
    char buffer[8192];
  };
  static thread_local ThreadHost host;
  if (name == nullptr) {
    errno = EFAULT;
    return nullptr;
  }
  if (inet_pton(AF_INET, name, &host.address) == 1) {
    memset(&host.entry, 0, sizeof host.entry);
    inet_ntop(AF_INET, &host.address, host.name, sizeof host.name);
    host.aliases[0] = nullptr;
    host.addresses[0] = reinterpret_cast<char*>(&host.address);
    host.addresses[1] = nullptr;
    host.entry.h_name = host.name;
    host.entry.h_aliases = host.aliases;
    host.entry.h_addrtype = AF_INET;
    host.entry.h_length = sizeof host.address;
    host.entry.h_addr_list = host.addresses;
    return &host.entry;
  }
  struct hostent* found = nullptr;
  int lookupError = 0;
  if (gethostbyname_r(name, &host.entry, host.buffer, sizeof host.buffer, &found, &lookupError) != 0 ||
      found == nullptr) {
    errno = ENODATA;  // reads as WSAHOST_NOT_FOUND
    return nullptr;
  }
  return found;
}

int WSAAPI winsockConnect(SOCKET s, const struct sockaddr* address, int length) {
  recordCall(WinsockCall::connect, s);
  if (length < 0) {
    errno = EINVAL;
    return SOCKET_ERROR;
  }
  return connect(s, address, static_cast<socklen_t>(length)) == 0 ? 0 : SOCKET_ERROR;
}

int WSAAPI WSAIoctl(SOCKET s, DWORD code, void* input, DWORD inputLength, void* output, DWORD outputLength,
                    DWORD* bytesReturned, LPWSAOVERLAPPED overlapped,
                    LPWSAOVERLAPPED_COMPLETION_ROUTINE completion) {
  WinsockCallRecord* record = recordCall(WinsockCall::ioctl, s);
  record->ioctlCode = code;
  record->inputLength = inputLength;
  if (input != nullptr) {
    memcpy(record->input, input, inputLength < sizeof record->input ? inputLength : sizeof record->input);
  }
  if (overlapped != nullptr || completion != nullptr) {
    errno = EINVAL;
    return SOCKET_ERROR;
  }
  if (code != SIO_TCP_INITIAL_RTO) {
    errno = EOPNOTSUPP;
    return SOCKET_ERROR;
  }
  if (input == nullptr || inputLength < sizeof(TCP_INITIAL_RTO_PARAMETERS) || bytesReturned == nullptr) {
    errno = EFAULT;
    return SOCKET_ERROR;
  }
  // A socket call on something that is no socket fails as any other would.
  int type = 0;
  socklen_t typeLength = sizeof type;
  if (getsockopt(s, SOL_SOCKET, SO_TYPE, &type, &typeLength) != 0) return SOCKET_ERROR;
  *bytesReturned = 0;
  return 0;
}

int winsockRecordedCalls(WinsockCallRecord* records, int capacity) {
  int oldest = (callRing.next - callRing.count + kWinsockRecordedCalls) % kWinsockRecordedCalls;
  for (int i = 0; i < callRing.count && i < capacity; ++i) {
    records[i] = callRing.records[(oldest + i) % kWinsockRecordedCalls];
  }
  return callRing.count;
}

void winsockForgetCalls() {
  callRing.next = 0;
  callRing.count = 0;
}

SOCKET WSAAPI winsockSocket(int family, int type, int protocol) {
  int s = socket(family, type, protocol);
  if (s >= FD_SETSIZE) {
    close(s);
    errno = EMFILE;
    return INVALID_SOCKET;
  }
  return s;
}

int WSAAPI winsockSend(SOCKET s, const char* buffer, int length, int flags) {
  if (length < 0) {
    errno = EINVAL;
    return SOCKET_ERROR;
  }
  ssize_t sent = send(s, buffer, static_cast<size_t>(length), flags | MSG_NOSIGNAL);
  return sent < 0 ? SOCKET_ERROR : static_cast<int>(sent);
}

int WSAAPI winsockGetsockopt(SOCKET s, int level, int name, char* value, int* length) {
  if (value == nullptr || length == nullptr || *length < 0) {
    errno = EFAULT;
    return SOCKET_ERROR;
  }
  if (isTimeoutOption(level, name)) {
    if (*length < static_cast<int>(sizeof(DWORD))) {
      errno = EFAULT;
      return SOCKET_ERROR;
    }
    struct timeval limit;
    socklen_t size = sizeof limit;
    if (getsockopt(s, level, name, &limit, &size) != 0) return SOCKET_ERROR;
    DWORD ms = static_cast<DWORD>(limit.tv_sec) * 1000 + static_cast<DWORD>(limit.tv_usec / 1000);
    memcpy(value, &ms, sizeof ms);
    *length = sizeof ms;
    return 0;
  }
  socklen_t size = static_cast<socklen_t>(*length);
  if (getsockopt(s, level, name, value, &size) != 0) return SOCKET_ERROR;
  *length = static_cast<int>(size);
  return 0;
}

int WSAAPI winsockSetsockopt(SOCKET s, int level, int name, const char* value, int length) {
  if (value == nullptr || length < 0) {
    errno = EFAULT;
    return SOCKET_ERROR;
  }
  if (isTimeoutOption(level, name)) {
    if (length < static_cast<int>(sizeof(DWORD))) {
      errno = EFAULT;
      return SOCKET_ERROR;
    }
    DWORD ms;
    memcpy(&ms, value, sizeof ms);
    struct timeval limit = timevalOfMs(ms);
    return setsockopt(s, level, name, &limit, sizeof limit) == 0 ? 0 : SOCKET_ERROR;
  }
  return setsockopt(s, level, name, value, static_cast<socklen_t>(length)) == 0 ? 0 : SOCKET_ERROR;
}

SOCKET WSAAPI winsockAccept(SOCKET s, struct sockaddr* address, int* length) {
  socklen_t size = length != nullptr ? static_cast<socklen_t>(*length) : 0;
  int client = accept(s, address, length != nullptr ? &size : nullptr);
  if (client < 0) return INVALID_SOCKET;
  if (client >= FD_SETSIZE) {
    close(client);
    errno = EMFILE;
    return INVALID_SOCKET;
  }
  if (length != nullptr) *length = static_cast<int>(size);
  return client;
}

int WSAAPI winsockGetsockname(SOCKET s, struct sockaddr* address, int* length) {
  if (length == nullptr) {
    errno = EFAULT;
    return SOCKET_ERROR;
  }
  socklen_t size = static_cast<socklen_t>(*length);
  if (getsockname(s, address, &size) != 0) return SOCKET_ERROR;
  *length = static_cast<int>(size);
  return 0;
}
