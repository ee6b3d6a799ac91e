#include "connection.h"

#include <cstring>
#include <new>

#include "bytes.h"
#include "netsys.h"
#include "replies.h"

namespace icq {

namespace {

using os::kSendFlags;
using os::Raw;
using os::RawSocket;

// The largest FLAP frame: a whole one always fits the buffer.
constexpr size_t kBufferSize = kFlapHeaderSize + 0xFFFF;

constexpr uint16_t kLoginPorts[] = {5190, 14316, 15182, 23443};
constexpr uint32_t kTurnMs = 1000;
constexpr uint32_t kPauseMs = 10;
constexpr uint32_t kSilenceLimitMs = 60000;

bool Resolve(const char *host, uint32_t &address) {
  addrinfo hints;
  std::memset(&hints, 0, sizeof hints);
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo *found = nullptr;
  if (getaddrinfo(host, nullptr, &hints, &found) != 0 || !found) return false;
  address = reinterpret_cast<const sockaddr_in *>(found->ai_addr)->sin_addr.s_addr;
  freeaddrinfo(found);
  return true;
}

os::Socket Open(uint32_t address, uint16_t port) {
  RawSocket s = socket(AF_INET, SOCK_STREAM, 0);
  if (static_cast<os::Socket>(s) == os::kInvalidSocket) return os::kInvalidSocket;
  sockaddr_in peer;
  std::memset(&peer, 0, sizeof peer);
  peer.sin_family = AF_INET;
  peer.sin_addr.s_addr = address;
  peer.sin_port = htons(port);
  if (connect(s, reinterpret_cast<const sockaddr *>(&peer), sizeof peer) != 0) {
    os::SocketClose(static_cast<os::Socket>(s));
    return os::kInvalidSocket;
  }
  return static_cast<os::Socket>(s);
}

// Hands the buffered whole frames to the handler until it finishes.
Step HandleBuffered(FrameBuffer &received, FrameHandler handler) {
  while (received.FrontLength() > 0) {
    Step step = handler(received.front(), received.FrontLength());
    received.DropFront();
    if (step.finished) return step;
  }
  return Step::Continue();
}

}  // namespace

bool FrameBuffer::Allocate() {
  size_ = 0;
  bytes_.reset(new (std::nothrow) uint8_t[kBufferSize]);
  return bytes_ != nullptr;
}

int FrameBuffer::Receive(os::Socket socket) {
  if (!bytes_ || size_ == kBufferSize) return -1;  // a whole frame is always taken first
  int n = static_cast<int>(
      recv(Raw(socket), reinterpret_cast<char *>(bytes_.get() + size_), int(kBufferSize - size_), 0));
  if (n > 0) size_ += size_t(n);
  return n;
}

size_t FrameBuffer::FrontLength() const {
  if (size_ == 0) return 0;
  if (bytes_[0] != kFlapStart) return size_;
  if (size_ < kFlapHeaderSize) return 0;
  const size_t frame = kFlapHeaderSize + (size_t(bytes_[4]) << 8 | bytes_[5]);
  return size_ >= frame ? frame : 0;
}

void FrameBuffer::DropFront() {
  const size_t frame = FrontLength();
  std::memmove(bytes_.get(), bytes_.get() + frame, size_ - frame);
  size_ -= frame;
}

void Connection::Close() {
  if (open()) os::SocketClose(socket);
  socket = os::kInvalidSocket;
  received.Clear();
}

void Progress::Report(int status) const {
  if (callback) callback(&status, user);
}

int ConnectServer(Connection &connection, const char *host, uint16_t port,
                  const Progress &progress) {
  connection.Close();
  uint32_t address;
  if (!Resolve(host, address)) return ICQ_ERR_HOST_UNKNOWN;
  for (uint16_t loginPort : kLoginPorts) {
    connection.socket = Open(address, port ? port : loginPort);
    if (connection.open()) break;
  }
  if (!connection.open()) return ICQ_ERR_NO_CONNECTION;

  // The server speaks first; its first frame must be its hello.
  auto hello = [](const uint8_t *frame, size_t length) {
    return Step::Finish(Classify(frame, length, nullptr) == kServerHello ? ICQ_OK
                                                                         : ICQ_ERR_NO_CONNECTION);
  };
  if (WaitLoop(connection, progress, hello) != ICQ_OK) {
    connection.Close();
    return ICQ_ERR_NO_CONNECTION;
  }
  return ICQ_OK;
}

bool Send(const Connection &connection, const Packet &packet) {
  if (!packet || !connection.open()) return false;
  size_t sent = 0;
  while (sent < packet.size()) {
    int n = static_cast<int>(send(Raw(connection.socket),
                                  reinterpret_cast<const char *>(packet.data() + sent),
                                  int(packet.size() - sent), kSendFlags));
    if (n <= 0) return false;
    sent += size_t(n);
  }
  return true;
}

int WaitLoop(Connection &connection, const Progress &progress, FrameHandler handler) {
  int result = ICQ_ERR_CONNECTION_LOST;  // until data arrives
  uint32_t last = os::TickCount();
  if (connection.received.FrontLength() > 0) {
    result = kWaitedWithData;
    Step step = HandleBuffered(connection.received, handler);
    if (step.finished) return step.result;
  }
  for (;;) {
    int ready = os::SocketWaitReadable(connection.socket, kTurnMs);
    if (ready < 0) return ICQ_ERR_CONNECTION_LOST;
    if (ready > 0) {
      if (connection.received.Receive(connection.socket) <= 0) return ICQ_ERR_CONNECTION_LOST;
      result = kWaitedWithData;
      Step step = HandleBuffered(connection.received, handler);
      if (step.finished) return step.result;
      last = os::TickCount();
    }
    if (progress.callback) {
      int status = ICQ_STATUS_WAITING;
      progress.callback(&status, progress.user);
      if (status == ICQ_STATUS_ABORT) return ICQ_ERR_ABORTED;
    } else if (os::TickCount() - last > kSilenceLimitMs) {
      return result == ICQ_ERR_CONNECTION_LOST ? ICQ_ERR_TIMEOUT : result;
    }
    os::SleepMs(kPauseMs);
  }
}

}  // namespace icq
