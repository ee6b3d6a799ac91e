// A fake trend server for tests and benchmarks, written from the wire
// format with an encoder of its own (nothing of the library's code).
//
// It listens on a free port of 127.0.0.1 and serves each connection on a
// thread: it reads the handshake line, then request frames (u16 total
// length, u16 code, u16 reply capacity, body), records every one, and
// answers each frame that asks for a reply (capacity other than 0xFFFF)
// with the reply scripted for its code (u16 total length, i16 status,
// body): status 0 and no body unless told otherwise. Faults: a delay, a
// close instead of the reply, a body longer than asked, a body cut short,
// unasked bytes on idle connections, dropped connections and refused
// connects. It can also open event connections to an agent's listener.
#ifndef NETMON_TESTING_TRENDSERVER_H
#define NETMON_TESTING_TRENDSERVER_H

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "os.h"

namespace trendserver {

constexpr unsigned kNoReply = 0xFFFF;
extern const char kHandshakeLine[];  // "VEXLO DUNMORROW 2.X\r\n"

// Little-endian encoder: u16, i16, 32-bit int, byte, NUL-ended text, raw.
class Bytes {
 public:
  Bytes &U16(unsigned value);
  Bytes &I16(int value) { return U16(static_cast<unsigned>(value) & 0xFFFF); }
  Bytes &Int(int32_t value);
  Bytes &Chr(int value);
  Bytes &Str(const std::string &text);
  Bytes &Raw(const std::string &bytes);
  const std::string &str() const { return bytes_; }
  operator const std::string &() const { return bytes_; }

 private:
  std::string bytes_;
};

// Decoder of a body; reads past the end give 0 or empty text.
class Reader {
 public:
  explicit Reader(std::string bytes) : bytes_(std::move(bytes)) {}
  unsigned U16();
  int32_t Int();
  int Chr();
  std::string Str();
  std::string Rest();
  size_t Left() const { return bytes_.size() - position_; }

 private:
  std::string bytes_;
  size_t position_ = 0;
};

// A request frame as the client sends it.
std::string RequestFrame(unsigned code, const std::string &body, unsigned capacity = kNoReply);
// A reply frame as the server sends it.
std::string ReplyFrame(int status, const std::string &body);
// An event packet: u16 total length, the component name, the payload.
std::string EventPacket(const std::string &name, const std::string &payload);

enum class Fault {
  None,
  Delay,                // wait delayMs, then reply
  CloseInsteadOfReply,  // close the connection without a reply
  LongerBody,           // a body 8 bytes longer than the capacity asked
  ShortBody,            // announce the body, send half of it, close
};

struct Reply {
  int status = 0;
  std::string body;
  Fault fault = Fault::None;
  unsigned delayMs = 0;
  bool echo = false;  // the body is the request's own body
};

struct Frame {
  int connection = 0;  // accepted connections count from 0
  unsigned length = 0;
  unsigned code = 0;
  unsigned capacity = 0;
  std::string body;
};

// An alert request as the server received it.
struct Alert {
  int connection = 0;
  int32_t type = 0;
  int32_t wireTime = 0;  // local wall-clock seconds
  std::string data;      // as many bytes as the alert's length field gives
};

// A file of the server's file store.
struct StoredFile {
  std::string bytes;
  int32_t wireDate = 0;  // local wall-clock seconds, as on the wire
};

class FakeTrendServer {
 public:
  FakeTrendServer();
  ~FakeTrendServer();
  FakeTrendServer(const FakeTrendServer &) = delete;
  FakeTrendServer &operator=(const FakeTrendServer &) = delete;

  bool listening() const { return port_ != 0; }
  int port() const { return port_; }

  void Answer(unsigned code, Reply reply);      // the standing reply for a code
  void AnswerOnce(unsigned code, Reply reply);  // used up before the standing one

  std::vector<Frame> Frames() const;
  std::vector<Frame> FramesOf(unsigned code) const;
  // The alert sink: every alert request received, in arrival order.
  std::vector<Alert> Alerts() const;
  void ClearFrames();
  // Waits until `count` frames of `code` (any code: -1) have arrived.
  bool WaitForFrames(int code, size_t count, unsigned timeoutMs) const;
  int Connections() const;                    // accepted so far
  std::vector<std::string> Handshakes() const;  // the line each one began with
  // Waits until `count` connections have been accepted.
  bool WaitForConnections(int count, unsigned timeoutMs) const;

  void DropConnections();                        // closes every open connection
  void SendUnasked(const std::string &bytes);    // on every open connection
  // Stops listening: connects are refused. The port stays bound meanwhile,
  // so that no other program's socket takes it and gets this server's
  // connects.
  void Refuse();
  void Resume();   // listens again on the same port

  // The file store: remote-object requests (create, request, close) of any
  // class are answered from these files unless a reply is scripted for
  // their code. Objects open files by name (open, read, write, seek,
  // close); an open for writing with a newer date than the file's starts
  // it afresh, and keeps it otherwise (an upload of the same date resumes).
  void PutFile(int objectClass, const std::string &name, StoredFile file);
  bool GetFile(int objectClass, const std::string &name, StoredFile *file) const;
  // Closes the connection instead of answering once more than `bytes`
  // further file bytes were to be read or written (a write keeps the bytes
  // up to the cut); used up by the cut.
  void CutAfterFileBytes(long bytes);
  // The next write's reply reports `by` bytes fewer than were written.
  void ShortenNextWriteCount(int by);
  // The next request of a file-store method answers `status` and does
  // nothing else.
  void FailNextFileMethod(int method, int status);

 private:
  struct Connection;
  void AcceptLoop();
  void Serve(std::shared_ptr<Connection> connection);
  bool ServeFrame(Connection &connection);
  Reply NextReply(unsigned code);
  bool Scripted(unsigned code) const;
  bool StoreAnswer(const Frame &frame, Reply *reply);  // false: cut the connection
  bool StoreRequest(Reader &body, unsigned capacity, Reply *reply);  // under lock_
  bool Listen(int port);
  os::Socket BindPort(int port);  // bound with address reuse, not yet listening
  void Record(Frame frame);

  int port_ = 0;
  std::atomic<bool> stop_{false};
  mutable std::mutex lock_;
  mutable std::condition_variable changed_;
  os::Socket listener_ = os::kInvalidSocket;  // under listenLock_
  os::Socket placeholder_ = os::kInvalidSocket;  // bound while refusing, under listenLock_
  std::mutex listenLock_;
  std::vector<std::shared_ptr<Connection>> connections_;
  std::vector<std::thread> threads_;
  std::vector<Frame> frames_;
  std::vector<std::string> handshakes_;
  std::map<unsigned, Reply> standing_;
  std::map<unsigned, std::deque<Reply>> once_;
  struct StoreObject {
    int objectClass = 0;
    std::string file;  // the open file's name
    size_t position = 0;
  };
  std::map<std::pair<int, std::string>, StoredFile> files_;
  std::map<int, StoreObject> objects_;
  int nextObject_ = 1;
  long cutAfter_ = -1;
  int shortenWrite_ = 0;
  std::map<int, int> failMethod_;
  std::thread acceptor_;
};

// A connection to an agent's event listener, as the server opens it.
class EventConnection {
 public:
  explicit EventConnection(int port);
  ~EventConnection() { Close(); }
  EventConnection(const EventConnection &) = delete;
  EventConnection &operator=(const EventConnection &) = delete;
  bool connected() const { return socket_ != os::kInvalidSocket; }
  bool Send(const std::string &name, const std::string &payload) {
    return SendRaw(EventPacket(name, payload));
  }
  bool SendRaw(const std::string &bytes);
  // True when the agent closed its end within timeoutMs.
  bool ClosedByPeer(unsigned timeoutMs);
  void Close();

 private:
  os::Socket socket_ = os::kInvalidSocket;
};

// Reads exactly n bytes, each wait at most timeoutMs; false on close,
// error or silence.
bool ReceiveExact(os::Socket s, char *buffer, size_t n, unsigned timeoutMs);

}  // namespace trendserver

#endif
