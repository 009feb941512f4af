// Stand-in for <winsock2.h> in the native build: Windows Sockets on top of
// POSIX sockets, as much of it as the plug-in, its tools and its tests use.
//
// The names Winsock shares with POSIX (socket, connect, recv, select,
// gethostbyname, htons, bind, listen ...) come from the POSIX headers
// themselves. Where the two differ in a way the same source would notice,
// a macro routes the call to a stand-in written in Winsock's shape
// (implemented in src/platform/Winsock.cpp):
//
// - send never raises SIGPIPE: a send to a connection the peer has closed
//   fails with SOCKET_ERROR, as on Windows, and the process's signal
//   dispositions are left alone.
// - getsockopt, setsockopt, accept and getsockname take Winsock's char* and
//   int* arguments; SO_RCVTIMEO and SO_SNDTIMEO take a DWORD of
//   milliseconds, as on Windows.
// - socket refuses a descriptor that would not fit in an fd_set (POSIX
//   FD_SET writes outside the set for descriptors >= FD_SETSIZE, Winsock's
//   fd_set holds any socket); the call fails with WSAEMFILE.
// - gethostbyname returns a record of the calling thread, as Winsock's
//   does (glibc's is shared by all threads), and answers a dotted IPv4
//   address itself, as Windows documents, without the resolver's set-up.
// - select's first argument is ignored by Winsock: callers pass the highest
//   socket plus one, which POSIX needs.
// - WSAIoctl knows SIO_TCP_INITIAL_RTO (mstcpip.h) alone. POSIX has no
//   such setting and a refused loopback connection fails at once anyway,
//   so the call only checks its arguments.
// - WSAIoctl and connect are kept in a record of the calling thread's last
//   calls (winsockRecordedCalls), so that a test sees what a delivery asked
//   for and in which order.
//
// Errors are read with WSAGetLastError, which maps errno to the WSAE codes
// below; WSAStartup and WSACleanup keep no state.
#pragma once

#include <windows.h>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <sys/time.h>

#ifdef __cplusplus
extern "C" {
#endif

#define WSAAPI WINAPI

typedef int SOCKET;
#define INVALID_SOCKET (-1)
#define SOCKET_ERROR (-1)
typedef unsigned long u_long;
typedef unsigned short u_short;
typedef unsigned int u_int;

#ifndef MAKEWORD
#define MAKEWORD(low, high) ((WORD)(((BYTE)(low)) | ((WORD)((BYTE)(high))) << 8))
#endif

#define WSADESCRIPTION_LEN 256
#define WSASYS_STATUS_LEN 128
typedef struct WSAData {
  WORD wVersion;
  WORD wHighVersion;
  char szDescription[WSADESCRIPTION_LEN + 1];
  char szSystemStatus[WSASYS_STATUS_LEN + 1];
  unsigned short iMaxSockets;
  unsigned short iMaxUdpDg;
  char* lpVendorInfo;
} WSADATA, *LPWSADATA;

// Error codes (WSAGetLastError). An errno without a code here reads as
// WSASYSCALLFAILURE.
#define WSABASEERR 10000
#define WSAEINTR 10004
#define WSAEBADF 10009
#define WSAEACCES 10013
#define WSAEFAULT 10014
#define WSAEINVAL 10022
#define WSAEMFILE 10024
#define WSAEWOULDBLOCK 10035
#define WSAEINPROGRESS 10036
#define WSAEALREADY 10037
#define WSAENOTSOCK 10038
#define WSAEMSGSIZE 10040
#define WSAEOPNOTSUPP 10045
#define WSAEAFNOSUPPORT 10047
#define WSAEADDRINUSE 10048
#define WSAEADDRNOTAVAIL 10049
#define WSAENETDOWN 10050
#define WSAENETUNREACH 10051
#define WSAECONNABORTED 10053
#define WSAECONNRESET 10054
#define WSAENOBUFS 10055
#define WSAEISCONN 10056
#define WSAENOTCONN 10057
#define WSAESHUTDOWN 10058
#define WSAETIMEDOUT 10060
#define WSAECONNREFUSED 10061
#define WSAEHOSTUNREACH 10065
#define WSAVERNOTSUPPORTED 10092
#define WSANOTINITIALISED 10093
#define WSASYSCALLFAILURE 10107
#define WSAHOST_NOT_FOUND 11001

// Returns 0 and fills `data` for any version from 1.1 up (the answer names
// 2.2 as the highest); WSAVERNOTSUPPORTED for older versions; WSAEFAULT for
// a null `data`.
int WSAAPI WSAStartup(WORD version, LPWSADATA data);
// Returns 0.
int WSAAPI WSACleanup(void);
// The error of this thread's last failed socket call, as a WSAE code.
int WSAAPI WSAGetLastError(void);

// Returns 0, or SOCKET_ERROR when `s` is no open descriptor.
int WSAAPI closesocket(SOCKET s);
// FIONBIO (non-zero *arg: non-blocking) and FIONREAD (bytes waiting).
// Returns 0, or SOCKET_ERROR (WSAEINVAL for another command or a null arg).
int WSAAPI ioctlsocket(SOCKET s, long command, u_long* arg);

// Overlapped calls are not served; the types are here for the signature.
typedef struct _WSAOVERLAPPED WSAOVERLAPPED, *LPWSAOVERLAPPED;
typedef void(WINAPI* LPWSAOVERLAPPED_COMPLETION_ROUTINE)(DWORD error, DWORD transferred,
                                                        LPWSAOVERLAPPED overlapped, DWORD flags);

// SIO_TCP_INITIAL_RTO with at least a TCP_INITIAL_RTO_PARAMETERS of input:
// returns 0 with *bytesReturned 0. Returns SOCKET_ERROR with WSAEFAULT for
// a null or short input or a null `bytesReturned`, WSAEINVAL for an
// overlapped call, WSAEOPNOTSUPP for any other code.
int WSAAPI WSAIoctl(SOCKET s, DWORD code, void* input, DWORD inputLength, void* output, DWORD outputLength,
                    DWORD* bytesReturned, LPWSAOVERLAPPED overlapped,
                    LPWSAOVERLAPPED_COMPLETION_ROUTINE completion);

struct hostent* WSAAPI winsockGethostbyname(const char* name);
int WSAAPI winsockConnect(SOCKET s, const struct sockaddr* address, int length);
SOCKET WSAAPI winsockSocket(int family, int type, int protocol);
int WSAAPI winsockSend(SOCKET s, const char* buffer, int length, int flags);
int WSAAPI winsockGetsockopt(SOCKET s, int level, int name, char* value, int* length);
int WSAAPI winsockSetsockopt(SOCKET s, int level, int name, const char* value, int length);
SOCKET WSAAPI winsockAccept(SOCKET s, struct sockaddr* address, int* length);
int WSAAPI winsockGetsockname(SOCKET s, struct sockaddr* address, int* length);

#ifdef __cplusplus
}
#endif

#ifdef __cplusplus
// Stand-in only: what the calling thread's WSAIoctl and connect calls were
// given, for tests. Kept whatever the call's result.
enum class WinsockCall { ioctl, connect };
struct WinsockCallRecord {
  WinsockCall call;
  SOCKET socket;
  DWORD ioctlCode;         // WSAIoctl: the control code
  DWORD inputLength;       // WSAIoctl: the input's length
  unsigned char input[8];  // WSAIoctl: its first bytes (as many as it has, up to 8)
};
// The record keeps a thread's last kWinsockRecordedCalls calls.
constexpr int kWinsockRecordedCalls = 32;
// Copies the calling thread's kept calls, oldest first, into `records`
// (room for `capacity`) and returns how many there are (at most
// kWinsockRecordedCalls; more than `capacity` when they did not all fit).
int winsockRecordedCalls(WinsockCallRecord* records, int capacity);
// Forgets the calling thread's kept calls.
void winsockForgetCalls();
#endif

// Function-like macros, so that only calls are rerouted (the POSIX headers
// above have already declared the functions of the same names).
#define gethostbyname(name) winsockGethostbyname(name)
#define socket(family, type, protocol) winsockSocket(family, type, protocol)
#define connect(s, address, length) winsockConnect(s, address, length)
#define send(s, buffer, length, flags) winsockSend(s, buffer, length, flags)
#define getsockopt(s, level, name, value, length) winsockGetsockopt(s, level, name, value, length)
#define setsockopt(s, level, name, value, length) winsockSetsockopt(s, level, name, value, length)
#define accept(s, address, length) winsockAccept(s, address, length)
#define getsockname(s, address, length) winsockGetsockname(s, address, length)
