// A fake ICQ service for the tests: a login server (which also answers
// registrations) on the fixed login ports of a loopback address of its
// own, and a BOS server on another port of that address. Each frame the
// client sends is recorded and named by a Stage; the service answers each
// stage as a well-behaved server would, unless a test replaces the answer,
// silences it or has the service close the connection there. Answers can
// go out frame by frame, merged into one write, or with every frame split
// across three writes.
#ifndef NETMON_TESTING_OSCAR_SERVICE_H
#define NETMON_TESTING_OSCAR_SERVICE_H

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <ostream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "oscar_wire.h"
#include "os.h"

namespace oscar {

enum class Stage {
  // login server
  loginConnected,     // a connection came in (no frame)
  login,              // sign-on with the login TLVs
  clientHello,        // a bare sign-on frame
  registration,       // SNAC (0x17, 4)
  // BOS server
  bosConnected,
  cookie,             // sign-on carrying TLV 6
  familyVersions,     // SNAC (1, 0x17)
  rateRequest,        // SNAC (1, 6)
  rateAcknowledge,    // SNAC (1, 8)
  selfInfo,           // SNAC (1, 0x0E)
  privacy,            // SNAC (9, 5)
  readyPrefix,        // SNAC (1, 0x1E)
  clientReady,        // SNAC (1, 2)
  message,            // SNAC (4, 6)
  offlineRequest,     // meta 0x3C
  offlineDelete,      // meta 0x3E
  sms,                // meta 2000 / 0x1482
  unregister,         // meta 2000 / 0x04C4
  // either server
  goodbye,            // channel 4
  other,
};
const char *StageName(Stage stage);
inline void PrintTo(Stage stage, std::ostream *os) { *os << StageName(stage); }

enum class Writes { whole, merged, split };

struct Received {
  bool bos;        // which server got it
  uint16_t port;   // the port it came in on
  int connection;  // counts the server's connections from 1
  Stage stage;
  Frame frame;
};

struct Reply {
  std::vector<std::string> frames;
  bool close = false;  // close the connection after sending the frames
};

class Service {
 public:
  using Answer = std::function<Reply(const Frame &)>;

  static constexpr uint32_t kNewUin = 424242;

  explicit Service(std::vector<uint16_t> loginPorts = {5190});
  ~Service();
  Service(const Service &) = delete;
  Service &operator=(const Service &) = delete;

  bool listening() const { return !listeners_.empty(); }
  const std::string &host() const { return host_; }
  uint16_t bosPort() const { return bosPort_; }
  const std::string &cookie() const { return cookie_; }

  void Set(Stage stage, Answer answer);
  void Silence(Stage stage);
  void CloseAt(Stage stage);  // close without answering
  void SetWrites(Writes writes);

  // Every frame received so far, in order, with a frameless entry for each
  // connection that came in.
  std::vector<Received> Frames();
  std::vector<Received> FramesAt(Stage stage);
  // Waits until a frame of that stage came (false after timeoutMs).
  bool WaitFor(Stage stage, unsigned timeoutMs = 5000);
  // Ends the servers once what the client sent has been read.
  void Stop();

 private:
  struct Listener {
    os::Socket socket;
    bool bos;
    uint16_t port;
  };
  void Serve(Listener listener);
  void Session(os::Socket client, const Listener &listener);
  Stage Name(const Frame &frame, bool bos) const;
  bool Respond(os::Socket client, const Reply &reply);
  Reply Default(Stage stage, const Frame &frame) const;

  std::string host_;
  uint16_t bosPort_ = 0;
  std::string cookie_;
  std::vector<Listener> listeners_;
  std::vector<std::thread> threads_;
  std::atomic<bool> stopping_{false};

  std::mutex lock_;
  std::condition_variable arrived_;
  std::map<Stage, Answer> answers_;
  std::set<Stage> closeAt_;
  Writes writes_ = Writes::whole;
  std::vector<Received> received_;
  int connections_[2] = {0, 0};
};

}  // namespace oscar

#endif
