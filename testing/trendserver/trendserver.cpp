#include "trendserver.h"

#include <cerrno>
#include <chrono>
#include <cstring>

#include "loopback.h"
#include "netsys.h"

namespace trendserver {

const char kHandshakeLine[] = "VEXLO DUNMORROW 2.X\r\n";

namespace {

#ifdef _WIN32
constexpr int kShutdownBoth = SD_BOTH;
#else
constexpr int kShutdownBoth = SHUT_RDWR;
#endif

constexpr unsigned kPollMs = 50;

// Remote-object requests and the methods of a file-store object.
enum : unsigned { kStoreCreate = 0x1002, kStoreClose = 0x1004 };  // requests lie between
enum : int { kFileOpen = 0x1001, kFileWrite = 0x1010, kFileRead = 0x1011, kFileSeek = 0x1012 };

using os::Raw;
using os::RawSocket;

sockaddr_in LoopbackAddress(int port) {
  sockaddr_in address;
  std::memset(&address, 0, sizeof address);
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<unsigned short>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

void CloseSocket(os::Socket &s) {
  if (s == os::kInvalidSocket) return;
  shutdown(Raw(s), kShutdownBoth);
  os::SocketClose(s);
  s = os::kInvalidSocket;
}

}  // namespace

// ---- encoder and decoder ---------------------------------------------------

Bytes &Bytes::U16(unsigned value) {
  bytes_ += static_cast<char>(value & 0xFF);
  bytes_ += static_cast<char>((value >> 8) & 0xFF);
  return *this;
}

Bytes &Bytes::Int(int32_t value) {
  auto bits = static_cast<uint32_t>(value);
  for (int shift = 0; shift < 32; shift += 8) bytes_ += static_cast<char>((bits >> shift) & 0xFF);
  return *this;
}

Bytes &Bytes::Chr(int value) {
  bytes_ += static_cast<char>(value & 0xFF);
  return *this;
}

Bytes &Bytes::Str(const std::string &text) {
  bytes_ += text;
  bytes_ += '\0';
  return *this;
}

Bytes &Bytes::Raw(const std::string &bytes) {
  bytes_ += bytes;
  return *this;
}

unsigned Reader::U16() {
  if (Left() < 2) return position_ = bytes_.size(), 0;
  unsigned value = static_cast<unsigned char>(bytes_[position_]) |
                   static_cast<unsigned char>(bytes_[position_ + 1]) << 8;
  position_ += 2;
  return value;
}

int32_t Reader::Int() {
  if (Left() < 4) return position_ = bytes_.size(), 0;
  uint32_t bits = 0;
  for (int i = 3; i >= 0; i--) bits = bits << 8 | static_cast<unsigned char>(bytes_[position_ + i]);
  position_ += 4;
  return static_cast<int32_t>(bits);
}

int Reader::Chr() {
  if (Left() < 1) return 0;
  return static_cast<signed char>(bytes_[position_++]);
}

std::string Reader::Str() {
  size_t end = bytes_.find('\0', position_);
  if (end == std::string::npos) end = bytes_.size();
  std::string text = bytes_.substr(position_, end - position_);
  position_ = end < bytes_.size() ? end + 1 : end;
  return text;
}

std::string Reader::Rest() {
  std::string rest = bytes_.substr(position_);
  position_ = bytes_.size();
  return rest;
}

std::string RequestFrame(unsigned code, const std::string &body, unsigned capacity) {
  return Bytes().U16(static_cast<unsigned>(body.size() + 6)).U16(code).U16(capacity).Raw(body);
}

std::string ReplyFrame(int status, const std::string &body) {
  return Bytes().U16(static_cast<unsigned>(body.size() + 4)).I16(status).Raw(body);
}

std::string EventPacket(const std::string &name, const std::string &payload) {
  return Bytes().U16(static_cast<unsigned>(2 + name.size() + 1 + payload.size())).Str(name).Raw(payload);
}

// ---- raw sockets -------------------------------------------------------------

bool ReceiveExact(os::Socket s, char *buffer, size_t n, unsigned timeoutMs) {
  size_t have = 0;
  while (have < n) {
    if (os::SocketWaitReadable(s, timeoutMs) != 1) return false;
    int got = static_cast<int>(recv(Raw(s), buffer + have, static_cast<int>(n - have), 0));
    if (got <= 0) return false;
    have += static_cast<size_t>(got);
  }
  return true;
}

// ---- the server --------------------------------------------------------------

// The serving thread alone reads the socket and closes it at its end;
// other threads only shut it down (which wakes a pending read) or write.
struct FakeTrendServer::Connection {
  int index = 0;
  os::Socket socket = os::kInvalidSocket;
  std::mutex lock;  // guards shut and writes
  bool shut = false;

  void Shutdown() {
    std::lock_guard<std::mutex> guard(lock);
    if (shut) return;
    shutdown(Raw(socket), kShutdownBoth);
    shut = true;
  }
  bool Send(const std::string &bytes) {
    std::lock_guard<std::mutex> guard(lock);
    return !shut && loopback::SendAll(socket, bytes);
  }
};

FakeTrendServer::FakeTrendServer() {
  loopback::EnsureSockets();
  if (!Listen(0)) return;
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

FakeTrendServer::~FakeTrendServer() {
  stop_ = true;
  if (acceptor_.joinable()) acceptor_.join();
  {
    std::lock_guard<std::mutex> guard(listenLock_);
    CloseSocket(listener_);
    CloseSocket(placeholder_);
  }
  DropConnections();
  for (auto &thread : threads_) thread.join();
}

os::Socket FakeTrendServer::BindPort(int port) {
  RawSocket raw = socket(AF_INET, SOCK_STREAM, 0);
  auto s = static_cast<os::Socket>(raw);
  if (s == os::kInvalidSocket) return s;
  int yes = 1;
  setsockopt(raw, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char *>(&yes), sizeof yes);
  sockaddr_in address = LoopbackAddress(port);
  if (bind(raw, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
    os::SocketClose(s);
    return os::kInvalidSocket;
  }
  return s;
}

bool FakeTrendServer::Listen(int port) {
  os::Socket s = BindPort(port);
  if (s == os::kInvalidSocket) return false;
  RawSocket raw = Raw(s);
  if (listen(raw, 16) != 0) {
    os::SocketClose(s);
    return false;
  }
  sockaddr_in address = LoopbackAddress(port);
  socklen_t length = sizeof address;
  getsockname(raw, reinterpret_cast<sockaddr *>(&address), &length);
  std::lock_guard<std::mutex> guard(listenLock_);
  listener_ = s;
  port_ = ntohs(address.sin_port);
  return true;
}

void FakeTrendServer::AcceptLoop() {
  while (!stop_) {
    os::Socket accepted = os::kInvalidSocket;
    {
      std::lock_guard<std::mutex> guard(listenLock_);
      if (listener_ != os::kInvalidSocket && os::SocketWaitReadable(listener_, kPollMs) == 1)
        accepted = static_cast<os::Socket>(accept(Raw(listener_), nullptr, nullptr));
    }
    if (accepted == os::kInvalidSocket) {
      os::SleepMs(5);
      continue;
    }
    auto connection = std::make_shared<Connection>();
    connection->socket = accepted;
    std::lock_guard<std::mutex> guard(lock_);
    connection->index = static_cast<int>(connections_.size());
    connections_.push_back(connection);
    threads_.emplace_back([this, connection] { Serve(connection); });
    changed_.notify_all();
  }
}

void FakeTrendServer::Serve(std::shared_ptr<Connection> connection) {
  char line[sizeof kHandshakeLine - 1];
  os::Socket s = connection->socket;
  // The handshake line comes first; anything else ends the connection.
  bool greeted = false;
  size_t have = 0;
  while (!stop_ && have < sizeof line) {
    int ready = os::SocketWaitReadable(s, kPollMs);
    if (ready < 0) break;
    if (ready == 0) continue;
    int got = static_cast<int>(recv(Raw(s), line + have, static_cast<int>(sizeof line - have), 0));
    if (got <= 0) break;
    have += static_cast<size_t>(got);
  }
  {
    std::lock_guard<std::mutex> guard(lock_);
    handshakes_.emplace_back(line, have);
    greeted = handshakes_.back() == kHandshakeLine;
    changed_.notify_all();
  }
  if (greeted)
    while (!stop_ && ServeFrame(*connection)) {
    }
  connection->Shutdown();
  os::SocketClose(s);
}

bool FakeTrendServer::ServeFrame(Connection &connection) {
  os::Socket s = connection.socket;
  char header[6];
  // Idle time between requests is unbounded; wait in slices for the stop.
  while (!stop_) {
    int ready = os::SocketWaitReadable(s, kPollMs);
    if (ready < 0) return false;
    if (ready == 1) break;
  }
  if (stop_ || !ReceiveExact(s, header, sizeof header, 5000)) return false;
  Reader fields(std::string(header, sizeof header));
  Frame frame;
  frame.connection = connection.index;
  frame.length = fields.U16();
  frame.code = fields.U16();
  frame.capacity = fields.U16();
  if (frame.length < sizeof header) return false;
  frame.body.resize(frame.length - sizeof header);
  if (!frame.body.empty() && !ReceiveExact(s, &frame.body[0], frame.body.size(), 5000)) return false;
  unsigned code = frame.code, capacity = frame.capacity;
  std::string requestBody = frame.body;
  Record(frame);
  if (!Scripted(code) && code >= kStoreCreate && code <= kStoreClose) {
    Reply answer;
    if (!StoreAnswer(frame, &answer)) return false;
    return capacity == kNoReply || connection.Send(ReplyFrame(answer.status, answer.body));
  }
  if (capacity == kNoReply) return true;

  Reply reply = NextReply(code);
  if (reply.echo) reply.body = requestBody;
  switch (reply.fault) {
    case Fault::None:
      break;
    case Fault::Delay:  // in slices, so that the server's end cuts it short
      for (unsigned waited = 0; waited < reply.delayMs && !stop_; waited += kPollMs)
        os::SleepMs(kPollMs);
      break;
    case Fault::CloseInsteadOfReply:
      return false;
    case Fault::LongerBody:
      reply.body.assign(capacity + 8, 'L');
      break;
    case Fault::ShortBody: {
      std::string whole = ReplyFrame(reply.status, reply.body);
      connection.Send(whole.substr(0, 4 + reply.body.size() / 2));
      return false;
    }
  }
  return connection.Send(ReplyFrame(reply.status, reply.body));
}

bool FakeTrendServer::Scripted(unsigned code) const {
  std::lock_guard<std::mutex> guard(lock_);
  auto queued = once_.find(code);
  return (queued != once_.end() && !queued->second.empty()) || standing_.count(code) > 0;
}

// ---- the file store ------------------------------------------------------------

void FakeTrendServer::PutFile(int objectClass, const std::string &name, StoredFile file) {
  std::lock_guard<std::mutex> guard(lock_);
  files_[std::make_pair(objectClass, name)] = std::move(file);
}

bool FakeTrendServer::GetFile(int objectClass, const std::string &name, StoredFile *file) const {
  std::lock_guard<std::mutex> guard(lock_);
  auto found = files_.find(std::make_pair(objectClass, name));
  if (found == files_.end()) return false;
  *file = found->second;
  return true;
}

void FakeTrendServer::CutAfterFileBytes(long bytes) {
  std::lock_guard<std::mutex> guard(lock_);
  cutAfter_ = bytes;
}

void FakeTrendServer::ShortenNextWriteCount(int by) {
  std::lock_guard<std::mutex> guard(lock_);
  shortenWrite_ = by;
}

void FakeTrendServer::FailNextFileMethod(int method, int status) {
  std::lock_guard<std::mutex> guard(lock_);
  failMethod_[method] = status;
}

bool FakeTrendServer::StoreAnswer(const Frame &frame, Reply *reply) {
  std::lock_guard<std::mutex> guard(lock_);
  Reader body(frame.body);
  switch (frame.code) {
    case kStoreCreate: {
      int id = nextObject_++;
      objects_[id].objectClass = body.Int();
      reply->body = Bytes().Int(id);
      return true;
    }
    case kStoreClose:
      objects_.erase(body.Int());
      return true;
    default:
      return StoreRequest(body, frame.capacity, reply);
  }
}

bool FakeTrendServer::StoreRequest(Reader &body, unsigned capacity, Reply *reply) {
  auto object = objects_.find(body.Int());
  int method = body.Int();
  if (object == objects_.end()) {
    reply->status = -1;
    return true;
  }
  auto failure = failMethod_.find(method);
  if (failure != failMethod_.end()) {
    reply->status = failure->second;
    failMethod_.erase(failure);
    return true;
  }
  StoreObject &open = object->second;
  auto key = std::make_pair(open.objectClass, open.file);
  switch (method) {
    case kFileOpen: {
      int32_t date = body.Int();
      int mode = body.Chr();
      open.file = body.Str();
      open.position = 0;
      key = std::make_pair(open.objectClass, open.file);
      auto found = files_.find(key);
      bool exists = found != files_.end();
      reply->body = Bytes().Int(exists ? found->second.wireDate : 0)
                        .Int(exists ? static_cast<int32_t>(found->second.bytes.size()) : 0);
      // A newer version is written afresh; the same date may resume.
      if (mode == 2 && (!exists || date > found->second.wireDate)) files_[key] = StoredFile{"", date};
      return true;
    }
    case kFileWrite: {
      size_t length = static_cast<size_t>(body.Int());
      std::string data = body.Rest().substr(0, length);
      bool cut = cutAfter_ >= 0 && static_cast<long>(data.size()) > cutAfter_;
      if (cut) data.resize(static_cast<size_t>(cutAfter_));
      std::string &bytes = files_[key].bytes;
      if (bytes.size() < open.position + data.size()) bytes.resize(open.position + data.size());
      bytes.replace(open.position, data.size(), data);
      open.position += data.size();
      if (cut) return cutAfter_ = -1, false;
      if (cutAfter_ >= 0) cutAfter_ -= static_cast<long>(data.size());
      reply->body = Bytes().Int(static_cast<int32_t>(data.size()) - shortenWrite_);
      shortenWrite_ = 0;
      return true;
    }
    case kFileRead: {
      const std::string &bytes = files_[key].bytes;
      size_t start = open.position < bytes.size() ? open.position : bytes.size();
      std::string data = bytes.substr(start, capacity);
      if (cutAfter_ >= 0 && static_cast<long>(data.size()) > cutAfter_) return cutAfter_ = -1, false;
      if (cutAfter_ >= 0) cutAfter_ -= static_cast<long>(data.size());
      open.position += data.size();
      reply->body = data;
      return true;
    }
    case kFileSeek:
      open.position = static_cast<size_t>(body.Int());
      return true;
    default:  // close
      return true;
  }
}

Reply FakeTrendServer::NextReply(unsigned code) {
  std::lock_guard<std::mutex> guard(lock_);
  auto queued = once_.find(code);
  if (queued != once_.end() && !queued->second.empty()) {
    Reply reply = queued->second.front();
    queued->second.pop_front();
    return reply;
  }
  auto standing = standing_.find(code);
  return standing != standing_.end() ? standing->second : Reply{};
}

void FakeTrendServer::Record(Frame frame) {
  std::lock_guard<std::mutex> guard(lock_);
  frames_.push_back(std::move(frame));
  changed_.notify_all();
}

void FakeTrendServer::Answer(unsigned code, Reply reply) {
  std::lock_guard<std::mutex> guard(lock_);
  standing_[code] = std::move(reply);
}

void FakeTrendServer::AnswerOnce(unsigned code, Reply reply) {
  std::lock_guard<std::mutex> guard(lock_);
  once_[code].push_back(std::move(reply));
}

std::vector<Frame> FakeTrendServer::Frames() const {
  std::lock_guard<std::mutex> guard(lock_);
  return frames_;
}

std::vector<Frame> FakeTrendServer::FramesOf(unsigned code) const {
  std::lock_guard<std::mutex> guard(lock_);
  std::vector<Frame> matching;
  for (const Frame &frame : frames_)
    if (frame.code == code) matching.push_back(frame);
  return matching;
}

std::vector<Alert> FakeTrendServer::Alerts() const {
  constexpr unsigned kAlertRequest = 0x1005;
  std::vector<Alert> alerts;
  for (const Frame &frame : FramesOf(kAlertRequest)) {
    Reader body(frame.body);
    Alert alert;
    alert.connection = frame.connection;
    alert.type = body.Int();
    alert.wireTime = body.Int();
    int32_t length = body.Int();
    alert.data = body.Rest().substr(0, length < 0 ? 0 : static_cast<size_t>(length));
    alerts.push_back(alert);
  }
  return alerts;
}

void FakeTrendServer::ClearFrames() {
  std::lock_guard<std::mutex> guard(lock_);
  frames_.clear();
}

bool FakeTrendServer::WaitForFrames(int code, size_t count, unsigned timeoutMs) const {
  std::unique_lock<std::mutex> guard(lock_);
  return changed_.wait_for(guard, std::chrono::milliseconds(timeoutMs), [&] {
    size_t matching = 0;
    for (const Frame &frame : frames_)
      if (code < 0 || frame.code == static_cast<unsigned>(code)) matching++;
    return matching >= count;
  });
}

int FakeTrendServer::Connections() const {
  std::lock_guard<std::mutex> guard(lock_);
  return static_cast<int>(connections_.size());
}

bool FakeTrendServer::WaitForConnections(int count, unsigned timeoutMs) const {
  std::unique_lock<std::mutex> guard(lock_);
  return changed_.wait_for(guard, std::chrono::milliseconds(timeoutMs), [&] {
    return static_cast<int>(handshakes_.size()) >= count;
  });
}

std::vector<std::string> FakeTrendServer::Handshakes() const {
  std::lock_guard<std::mutex> guard(lock_);
  return handshakes_;
}

void FakeTrendServer::DropConnections() {
  std::vector<std::shared_ptr<Connection>> open;
  {
    std::lock_guard<std::mutex> guard(lock_);
    open = connections_;
  }
  for (auto &connection : open) connection->Shutdown();
}

void FakeTrendServer::SendUnasked(const std::string &bytes) {
  std::vector<std::shared_ptr<Connection>> open;
  {
    std::lock_guard<std::mutex> guard(lock_);
    open = connections_;
  }
  for (auto &connection : open) connection->Send(bytes);
}

void FakeTrendServer::Refuse() {
  std::lock_guard<std::mutex> guard(listenLock_);
  CloseSocket(listener_);
  if (placeholder_ == os::kInvalidSocket) placeholder_ = BindPort(port_);
}

void FakeTrendServer::Resume() {
  {
    std::lock_guard<std::mutex> guard(listenLock_);
    if (listener_ != os::kInvalidSocket) return;
    CloseSocket(placeholder_);
  }
  Listen(port_);
}

// ---- event connections -------------------------------------------------------

EventConnection::EventConnection(int port) : socket_(loopback::Connect(port)) {}

bool EventConnection::SendRaw(const std::string &bytes) {
  return connected() && loopback::SendAll(socket_, bytes);
}

bool EventConnection::ClosedByPeer(unsigned timeoutMs) {
  if (!connected() || os::SocketWaitReadable(socket_, timeoutMs) != 1) return false;
  char byte;
  return recv(Raw(socket_), &byte, 1, 0) <= 0;
}

void EventConnection::Close() { CloseSocket(socket_); }

}  // namespace trendserver
