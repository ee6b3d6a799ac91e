// Loopback TCP sockets for tests: a listener on a free port of 127.0.0.1,
// connected pairs, and whole sends. Written on the raw socket calls, apart
// from the code under test.
#ifndef NETMON_TESTING_LOOPBACK_H
#define NETMON_TESTING_LOOPBACK_H

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "os.h"

namespace loopback {

// Starts the socket layer for the life of the test program.
void EnsureSockets();

struct Listener {
  os::Socket socket = os::kInvalidSocket;
  int port = 0;
};
Listener Listen(const char *address = "127.0.0.1");  // port 0: the system picks
os::Socket Accept(const Listener &listener);
os::Socket Connect(int port, const char *address = "127.0.0.1");

struct Pair {
  os::Socket client = os::kInvalidSocket;
  os::Socket server = os::kInvalidSocket;
};
Pair ConnectedPair();  // both ends of one TCP connection
void Close(os::Socket &s);

bool SendAll(os::Socket s, const std::string &bytes);
// Reads up to `max` bytes, waiting at most timeoutMs for the first.
std::string ReceiveSome(os::Socket s, size_t max, unsigned timeoutMs);

// A listener whose own thread hands each accepted connection to `serve`,
// one at a time, and closes it afterwards. The destructor wakes the thread
// with a connection of its own and joins it, so a server class declares its
// AcceptLoop last: it goes first, before what `serve` uses.
class AcceptLoop {
 public:
  explicit AcceptLoop(std::function<void(os::Socket client)> serve);
  ~AcceptLoop();
  AcceptLoop(const AcceptLoop &) = delete;
  AcceptLoop &operator=(const AcceptLoop &) = delete;
  int port() const { return listener_.port; }

 private:
  void Run();
  std::function<void(os::Socket)> serve_;
  Listener listener_;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

}  // namespace loopback

#endif
