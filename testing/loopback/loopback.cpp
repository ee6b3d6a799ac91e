#include "loopback.h"

#include <cstring>

#include "netsys.h"

namespace loopback {

void EnsureSockets() {
  static bool started = os::SocketsStart();
  (void)started;
}

static sockaddr_in Address(const char *address, int port) {
  sockaddr_in addr;
  std::memset(&addr, 0, sizeof addr);
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<unsigned short>(port));
  addr.sin_addr.s_addr = inet_addr(address);
  return addr;
}

Listener Listen(const char *address) {
  EnsureSockets();
  Listener listener;
  os::RawSocket s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr = Address(address, 0);
  if (bind(s, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 || listen(s, 16) != 0) {
    os::SocketClose(static_cast<os::Socket>(s));
    return listener;
  }
  socklen_t length = sizeof addr;
  getsockname(s, reinterpret_cast<sockaddr *>(&addr), &length);
  listener.socket = static_cast<os::Socket>(s);
  listener.port = ntohs(addr.sin_port);
  return listener;
}

os::Socket Accept(const Listener &listener) {
  os::RawSocket s = accept(os::Raw(listener.socket), nullptr, nullptr);
  return static_cast<os::Socket>(s);
}

os::Socket Connect(int port, const char *address) {
  EnsureSockets();
  os::RawSocket s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr = Address(address, port);
  if (connect(s, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0) {
    os::SocketClose(static_cast<os::Socket>(s));
    return os::kInvalidSocket;
  }
  return static_cast<os::Socket>(s);
}

Pair ConnectedPair() {
  Listener listener = Listen();
  Pair pair;
  pair.client = Connect(listener.port);
  pair.server = Accept(listener);
  os::SocketClose(listener.socket);
  return pair;
}

void Close(os::Socket &s) {
  if (s != os::kInvalidSocket) os::SocketClose(s);
  s = os::kInvalidSocket;
}

bool SendAll(os::Socket s, const std::string &bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    int n = static_cast<int>(send(os::Raw(s), bytes.data() + sent, static_cast<int>(bytes.size() - sent), os::kSendFlags));
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

std::string ReceiveSome(os::Socket s, size_t max, unsigned timeoutMs) {
  if (os::SocketWaitReadable(s, timeoutMs) != 1) return {};
  std::string bytes(max, '\0');
  int n = static_cast<int>(recv(os::Raw(s), &bytes[0], static_cast<int>(max), 0));
  bytes.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return bytes;
}

AcceptLoop::AcceptLoop(std::function<void(os::Socket)> serve)
    : serve_(std::move(serve)), listener_(Listen()), thread_([this] { Run(); }) {}

AcceptLoop::~AcceptLoop() {
  stopping_ = true;
  os::Socket wake = Connect(listener_.port);
  Close(wake);
  thread_.join();
  Close(listener_.socket);
}

void AcceptLoop::Run() {
  while (!stopping_) {
    os::Socket client = Accept(listener_);
    if (client != os::kInvalidSocket && !stopping_) serve_(client);
    Close(client);
  }
}

}  // namespace loopback
