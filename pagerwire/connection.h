// The socket layer under the flows: a TCP connection to one of the ICQ
// service's servers with a receive buffer that is cut into whole FLAP
// frames, the connect with its port tries and the server's hello, whole
// sends, and the wait loop every flow runs: one-second readiness steps, the
// host's progress callback on every turn, and the 60-second limit when
// there is no callback.
#ifndef PAGERWIRE_CONNECTION_H
#define PAGERWIRE_CONNECTION_H

#include <cstddef>
#include <cstdint>
#include <memory>

#include "os.h"
#include "packets.h"
#include "pagerwire.h"

namespace icq {

// Bytes received on one connection, handed out one whole FLAP frame at a
// time by the frame's length field, however the server's writes fell into
// receives. Bytes that don't start a FLAP frame are handed out at once, as
// one piece every reader rejects.
class FrameBuffer {
 public:
  bool Allocate();  // false when memory runs out
  // One receive into the free space: the byte count, 0 when the peer
  // closed, negative on error.
  int Receive(os::Socket socket);
  // The length of the whole frame at the front, 0 while none is complete.
  size_t FrontLength() const;
  const uint8_t *front() const { return bytes_.get(); }
  void DropFront();
  void Clear() { size_ = 0; }

 private:
  std::unique_ptr<uint8_t[]> bytes_;
  size_t size_ = 0;
};

struct Connection {
  os::Socket socket = os::kInvalidSocket;
  FrameBuffer received;

  ~Connection() { Close(); }
  bool open() const { return socket != os::kInvalidSocket; }
  void Close();  // leaves socket invalid and the buffer empty
};

struct Progress {
  IcqProgressCallback callback;
  int user;
  void Report(int status) const;  // a plain notice; the host's answer is ignored
};

// Connects to host (a dotted address or a name), on `port`, or on the
// login ports in turn when port is 0, and waits for the server's hello.
// ICQ_OK, ICQ_ERR_HOST_UNKNOWN or ICQ_ERR_NO_CONNECTION.
int ConnectServer(Connection &connection, const char *host, uint16_t port,
                  const Progress &progress);

// Sends the whole packet; false for an empty packet or a send error.
bool Send(const Connection &connection, const Packet &packet);

// A flow's reaction to one frame: finish the wait with a result, or go on.
struct Step {
  bool finished;
  int result;
  static Step Continue() { return {false, 0}; }
  static Step Finish(int result) { return {true, result}; }
};

// A borrowed callable taking (frame, length) and answering a Step.
class FrameHandler {
 public:
  template <typename Function>
  FrameHandler(Function &function)  // NOLINT: lambdas convert implicitly
      : object_(&function), call_([](void *object, const uint8_t *frame, size_t length) {
          return (*static_cast<Function *>(object))(frame, length);
        }) {}
  Step operator()(const uint8_t *frame, size_t length) const { return call_(object_, frame, length); }

 private:
  void *object_;
  Step (*call_)(void *, const uint8_t *, size_t);
};

// What a wait without a callback answers when it ends on the 60-second
// limit after data did arrive.
constexpr int kWaitedWithData = ICQ_STATUS_WAITING;

// Hands every whole frame, those left from an earlier wait first, to the
// handler until it finishes, and answers its result; otherwise
// ICQ_ERR_CONNECTION_LOST (closed by the server or a socket error),
// ICQ_ERR_ABORTED, ICQ_ERR_TIMEOUT (no data for 60 s, no callback) or
// kWaitedWithData (60 s since the last data, no callback).
int WaitLoop(Connection &connection, const Progress &progress, FrameHandler handler);

}  // namespace icq

#endif
