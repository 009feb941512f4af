#include "SstpReceiver.h"

#include <string.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

// How the receiver answers a connection.
struct Answer {
  ReceiverAnswer kind = ReceiverAnswer::ok;
  std::string text;
};

struct SstpReceiver {
  SOCKET listener = INVALID_SOCKET;
  int32_t port = 0;
  std::atomic<bool> stopping{false};
  std::thread thread;
  std::mutex mutex;  // guards everything below
  std::condition_variable idle;  // signalled when serving turns false
  std::condition_variable arrived;  // signalled when a request is recorded
  Answer answer;
  std::vector<std::string> requests;
  size_t handled = 0;
  bool serving = false;  // a connection is accepted and not yet closed
};

namespace {

// How often a waiting receiver looks at its stop flag.
constexpr int32_t kPollMs = 50;
// Requests larger than this are recorded only up to it.
constexpr size_t kRequestCap = 64u * 1024u * 1024u;

const char kRequestEnd[] = "\r\n\r\n";

// True when `s` has something to read (or was closed) within `ms`.
bool readable(SOCKET s, int32_t ms) {
  fd_set readSet;
  FD_ZERO(&readSet);
  FD_SET(s, &readSet);
  struct timeval limit;
  limit.tv_sec = ms / 1000;
  limit.tv_usec = (ms % 1000) * 1000;
  return select(static_cast<int>(s) + 1, &readSet, nullptr, nullptr, &limit) > 0;
}

// Waits until the receiver stops or, when `untilClosed`, until the client
// closes (reading and dropping what it sends).
void waitForEnd(SstpReceiver* receiver, SOCKET client, bool untilClosed) {
  while (!receiver->stopping) {
    if (!untilClosed) {
      std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
      continue;
    }
    if (!readable(client, kPollMs)) continue;
    char drop[4096];
    if (recv(client, drop, sizeof drop, 0) <= 0) return;
  }
}

// Reads one request: up to and including CR LF CR LF, or until the client
// closes or the receiver stops.
std::string readRequest(SstpReceiver* receiver, SOCKET client) {
  std::string request;
  while (!receiver->stopping) {
    if (!readable(client, kPollMs)) continue;
    char chunk[16384];
    int count = recv(client, chunk, sizeof chunk, 0);
    if (count <= 0) break;
    size_t searchFrom = request.size() >= 3 ? request.size() - 3 : 0;
    if (request.size() < kRequestCap) request.append(chunk, static_cast<size_t>(count));
    size_t end = request.find(kRequestEnd, searchFrom);
    if (end != std::string::npos) {
      request.resize(end + 4);
      break;
    }
  }
  return request;
}

// Sends all of `text` (several calls if the socket takes it in parts).
void sendAll(SOCKET client, const std::string& text) {
  size_t sent = 0;
  while (sent < text.size()) {
    int count = send(client, text.data() + sent, static_cast<int>(text.size() - sent), 0);
    if (count <= 0) return;
    sent += static_cast<size_t>(count);
  }
}

// Serves one connection with the answer that was set when it was accepted.
void serveConnection(SstpReceiver* receiver, SOCKET client, const Answer& answer) {
  switch (answer.kind) {
    case ReceiverAnswer::reset: {
      // Linger on with a zero time: closing sends RST instead of FIN.
      struct linger abortive;
      abortive.l_onoff = 1;
      abortive.l_linger = 0;
      setsockopt(client, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abortive), sizeof abortive);
      return;
    }
    case ReceiverAnswer::noRead:
      waitForEnd(receiver, client, false);
      return;
    default:
      break;
  }
  std::string request = readRequest(receiver, client);
  if (!request.empty()) {
    std::lock_guard<std::mutex> lock(receiver->mutex);
    receiver->requests.push_back(request);
    receiver->arrived.notify_all();
  }
  switch (answer.kind) {
    case ReceiverAnswer::close:
      return;
    case ReceiverAnswer::silent:
      waitForEnd(receiver, client, true);
      return;
    default:
      // Answer and close, as mascot servers do.
      sendAll(client, answer.text);
      return;
  }
}

void serve(SstpReceiver* receiver) {
  while (!receiver->stopping) {
    if (!readable(receiver->listener, kPollMs)) continue;
    SOCKET client = accept(receiver->listener, nullptr, nullptr);
    if (client == INVALID_SOCKET) continue;
    {
      // Freed before the receiver reports itself idle.
      Answer answer;
      {
        std::lock_guard<std::mutex> lock(receiver->mutex);
        receiver->serving = true;
        answer = receiver->answer;
      }
      serveConnection(receiver, client, answer);
    }
    closesocket(client);
    std::lock_guard<std::mutex> lock(receiver->mutex);
    ++receiver->handled;
    receiver->serving = false;
    receiver->idle.notify_all();
  }
}

// A socket bound to 127.0.0.1:`port` (0: a free port, reported in *port).
SOCKET bindLoopback(int32_t* port, int* error) {
  SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
  if (s == INVALID_SOCKET) {
    if (error != nullptr) *error = WSAGetLastError();
    return INVALID_SOCKET;
  }
#ifndef _WIN32
  // POSIX keeps a port whose last connection is in TIME_WAIT from a new
  // listener without this; on Windows the option would instead let two
  // listeners share a port, so it is left off there.
  int reuse = 1;
  setsockopt(s, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&reuse), sizeof reuse);
#endif
  struct sockaddr_in address = loopbackAddress(*port);
  int length = sizeof address;
  if (bind(s, reinterpret_cast<struct sockaddr*>(&address), sizeof address) != 0 ||
      getsockname(s, reinterpret_cast<struct sockaddr*>(&address), &length) != 0) {
    if (error != nullptr) *error = WSAGetLastError();
    closesocket(s);
    return INVALID_SOCKET;
  }
  *port = ntohs(address.sin_port);
  return s;
}

}  // namespace

struct sockaddr_in loopbackAddress(int32_t port) {
  struct sockaddr_in address;
  memset(&address, 0, sizeof address);
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<u_short>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

std::string receiverAnswerText(ReceiverAnswer answer, const std::string& customAnswer) {
  switch (answer) {
    case ReceiverAnswer::ok:
      return "SSTP/1.4 200 OK\r\n\r\n";
    case ReceiverAnswer::noContent:
      return "SSTP/1.1 204 No Content\r\n\r\n";
    case ReceiverAnswer::long5000: {
      std::string text = "SSTP/1.4 200 OK\r\nX-Filler: ";
      text.append(5000 - text.size() - 4, 'x');
      return text + "\r\n\r\n";
    }
    case ReceiverAnswer::notStatus:
      return "HTTP/1.0 400 Bad Request\r\n\r\n";
    case ReceiverAnswer::bareNumber:
      return "42\r\n";
    case ReceiverAnswer::custom:
      return customAnswer;
    default:
      return std::string();
  }
}

bool parseReceiverAnswer(const char* name, ReceiverAnswer* answer) {
  static const struct {
    const char* name;
    ReceiverAnswer answer;
  } kNames[] = {
      {"ok", ReceiverAnswer::ok},         {"nocontent", ReceiverAnswer::noContent},
      {"long", ReceiverAnswer::long5000}, {"close", ReceiverAnswer::close},
      {"text", ReceiverAnswer::notStatus}, {"number", ReceiverAnswer::bareNumber},
      {"silent", ReceiverAnswer::silent}, {"reset", ReceiverAnswer::reset},
      {"noread", ReceiverAnswer::noRead},
  };
  for (const auto& entry : kNames) {
    if (strcmp(entry.name, name) == 0) {
      *answer = entry.answer;
      return true;
    }
  }
  return false;
}

SstpReceiver* startSstpReceiver(const ReceiverSettings& settings, int* error) {
  WSADATA data;
  int started = WSAStartup(MAKEWORD(2, 2), &data);
  if (started != 0) {
    if (error != nullptr) *error = started;
    return nullptr;
  }
  int32_t port = settings.port;
  SOCKET listener = bindLoopback(&port, error);
  if (listener != INVALID_SOCKET && listen(listener, 16) != 0) {
    if (error != nullptr) *error = WSAGetLastError();
    closesocket(listener);
    listener = INVALID_SOCKET;
  }
  if (listener == INVALID_SOCKET) {
    WSACleanup();
    return nullptr;
  }
  SstpReceiver* receiver = new SstpReceiver;
  receiver->listener = listener;
  receiver->port = port;
  receiver->answer.kind = settings.answer;
  receiver->answer.text = receiverAnswerText(settings.answer, settings.customAnswer);
  receiver->thread = std::thread(serve, receiver);
  return receiver;
}

void stopSstpReceiver(SstpReceiver* receiver) {
  if (receiver == nullptr) return;
  receiver->stopping = true;
  receiver->thread.join();
  closesocket(receiver->listener);
  delete receiver;
  WSACleanup();
}

int32_t receiverPort(const SstpReceiver* receiver) { return receiver->port; }

void setReceiverAnswer(SstpReceiver* receiver, ReceiverAnswer answer, const std::string& customAnswer) {
  Answer next;
  next.kind = answer;
  next.text = receiverAnswerText(answer, customAnswer);
  std::lock_guard<std::mutex> lock(receiver->mutex);
  receiver->answer.kind = next.kind;
  receiver->answer.text.swap(next.text);
}

void waitForReceiverIdle(SstpReceiver* receiver) {
  std::unique_lock<std::mutex> lock(receiver->mutex);
  receiver->idle.wait(lock, [receiver] { return !receiver->serving; });
}

bool waitForReceiverRequests(SstpReceiver* receiver, size_t count, uint32_t timeoutMs) {
  std::unique_lock<std::mutex> lock(receiver->mutex);
  return receiver->arrived.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                    [receiver, count] { return receiver->requests.size() >= count; });
}

std::vector<std::string> receiverRequests(SstpReceiver* receiver) {
  std::lock_guard<std::mutex> lock(receiver->mutex);
  return receiver->requests;
}

std::vector<std::string> takeReceiverRequests(SstpReceiver* receiver) {
  std::vector<std::string> taken;
  std::lock_guard<std::mutex> lock(receiver->mutex);
  taken.swap(receiver->requests);
  return taken;
}

size_t receiverHandledCount(SstpReceiver* receiver) {
  std::lock_guard<std::mutex> lock(receiver->mutex);
  return receiver->handled;
}

SOCKET reserveRefusingPort(int32_t* port) {
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return INVALID_SOCKET;
  *port = 0;
  SOCKET s = bindLoopback(port, nullptr);
  if (s == INVALID_SOCKET) WSACleanup();
  return s;
}

void releaseRefusingPort(SOCKET s) {
  if (s == INVALID_SOCKET) return;
  closesocket(s);
  WSACleanup();
}
