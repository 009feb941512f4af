// The single platform calls a save-start notice makes, each timed by
// itself, to show where the handler's time goes: natively the stand-ins and
// POSIX, under Wine Windows' functions as Wine has them.
#include <winsock2.h>
#include <windows.h>

#include <time.h>

#include "Bench.h"
#include "template/TemplateValue.h"

namespace {

template <typename Call>
void timeCall(const char* label, const char* name, long iterations, Call call) {
  std::vector<double> times;
  for (long i = 0; i < iterations; ++i) {
    Clock::time_point start = Clock::now();
    call();
    times.push_back(microsecondsSince(start));
  }
  printFigure(std::string("call median ") + label + " " + name + " us", median(times), 1);
}

}  // namespace

void benchCalls(const char* label, const std::string& templatePath, long iterations) {
  const char* path = templatePath.c_str();
  char value[2048];
  timeCall(label, "GetPrivateProfileStringA", iterations,
           [&] { GetPrivateProfileStringA("start", "1", "", value, sizeof value, path); });
  // The same read as the plug-in makes it: the buffer cleared first.
  timeCall(label, "readTemplateValue", iterations,
           [&] { readTemplateValue(path, "start", "1", "", value, sizeof value); });
  timeCall(label, "GetPrivateProfileIntA", iterations, [&] { GetPrivateProfileIntA("start", "pattern", 1, path); });
  timeCall(label, "WSAStartup and WSACleanup", iterations, [] {
    WSADATA data;
    if (WSAStartup(MAKEWORD(1, 1), &data) == 0) WSACleanup();
  });
  timeCall(label, "gethostbyname", iterations, [] { gethostbyname("127.0.0.1"); });
  timeCall(label, "socket and closesocket", iterations, [] { closesocket(socket(AF_INET, SOCK_STREAM, 0)); });
  SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
  timeCall(label, "ioctlsocket FIONBIO", iterations, [s] {
    u_long nonBlocking = 1;
    ioctlsocket(s, FIONBIO, &nonBlocking);
  });
  timeCall(label, "setsockopt SO_SNDTIMEO", iterations, [s] {
    DWORD limit = 5000;
    setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&limit), sizeof limit);
  });
  timeCall(label, "select", iterations, [s] {
    fd_set readSet;
    FD_ZERO(&readSet);
    FD_SET(s, &readSet);
    struct timeval none = {0, 0};
    select(static_cast<int>(s) + 1, &readSet, nullptr, nullptr, &none);
  });
  closesocket(s);
  timeCall(label, "time", iterations, [] { time(nullptr); });
}
