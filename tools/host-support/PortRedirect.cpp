#include "host-support/PortRedirect.h"

#include <string.h>

#ifdef _WIN32
#include <winsock2.h>
#include <windows.h>
typedef int socklen_t;
#define SOCKET_CALL WSAAPI
typedef SOCKET Socket;
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#define SOCKET_CALL
typedef int Socket;
#endif

#include "host-support/ImportHooks.h"

namespace {

struct Redirect {
  int32_t from;
  int32_t to;
};

Redirect redirects[8];
int redirectCount = 0;

typedef int(SOCKET_CALL* ConnectFunction)(Socket, const struct sockaddr*, socklen_t);
ConnectFunction realConnect = nullptr;

// Connects as asked, with the port of an IPv4 address rewritten when a
// redirection names it.
int SOCKET_CALL redirectedConnect(Socket socket, const struct sockaddr* address, socklen_t length) {
  struct sockaddr_in copy;
  if (address != nullptr && length >= static_cast<socklen_t>(sizeof copy) && address->sa_family == AF_INET) {
    memcpy(&copy, address, sizeof copy);
    int32_t port = ntohs(copy.sin_port);
    for (int i = 0; i < redirectCount; ++i) {
      if (redirects[i].from == port) {
        copy.sin_port = htons(static_cast<uint16_t>(redirects[i].to));
        return realConnect(socket, reinterpret_cast<const struct sockaddr*>(&copy), length);
      }
    }
  }
  return realConnect(socket, address, length);
}

}  // namespace

void addPortRedirect(int32_t fromPort, int32_t toPort) {
  if (redirectCount < 8) redirects[redirectCount++] = Redirect{fromPort, toPort};
}

bool installPortRedirects(void* module, std::string* error) {
  if (redirectCount == 0) return true;
  void* original = hookImport(module, "ws2_32.dll", "connect", reinterpret_cast<void*>(&redirectedConnect));
  if (original == nullptr) {
    *error = "the plug-in imports no connect";
    return false;
  }
  realConnect = reinterpret_cast<ConnectFunction>(original);
  return true;
}
