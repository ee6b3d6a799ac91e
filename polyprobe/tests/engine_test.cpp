// The library against real peers (Python's HTTP server, socat services, a
// refusing port) and a scripted server of the test's own, through the
// exported interface as a host uses it.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <thread>

#include "host.h"
#include "loopback.h"
#include "netsys.h"

namespace {

const char kMatchBanner[] = "<receive><text start=\"0\">220</text></receive>";
const char kScriptedRequest[] = "CHECK\r\n";

// Answers each connection's request with "+OK" and "-ERR" in turn, and
// counts requests that are not exactly the expected bytes.
class ScriptedServer {
 public:
  int port() const { return loop_.port(); }
  int requests() const { return requests_.load(); }
  int malformed() const { return malformed_.load(); }

 private:
  void Serve(os::Socket client) {
    std::string request = loopback::ReceiveSome(client, 64, 2000);
    ++requests_;
    if (request != kScriptedRequest) ++malformed_;
    loopback::SendAll(client, (requests_ % 2 == 1) ? "+OK ready\r\n" : "-ERR busy\r\n");
  }
  std::atomic<int> requests_{0};
  std::atomic<int> malformed_{0};
  loopback::AcceptLoop loop_{[this](os::Socket client) { Serve(client); }};
};

// A UDP port that takes datagrams and never answers.
struct SilentUdp {
  SilentUdp() {
    loopback::EnsureSockets();
    socket = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = inet_addr("127.0.0.1");
    bind(socket, reinterpret_cast<sockaddr *>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(socket, reinterpret_cast<sockaddr *>(&address), &length);
    port = ntohs(address.sin_port);
  }
  ~SilentUdp() { os::SocketClose(static_cast<os::Socket>(socket)); }
  os::RawSocket socket;
  int port = 0;
};

class Engine : public PolyprobeTest {
 protected:
  void SetUp() override {
    PolyprobeTest::SetUp();
    if (PeerPort("http") == 0) GTEST_SKIP() << "the test peers are not running (POLYPROBE_PEERS)";
  }
  std::vector<Service> PeerServices() {
    return {
        {"Web", "TCP", PeerPort("http"),
         "<send><text>GET / HTTP/1.0<br/><br/></text></send>"
         "<receive><text start=\"0\">HTTP/1.</text></receive>"},
        {"Banner", "TCP", PeerPort("banner"), kMatchBanner},
        {"Closer", "TCP", PeerPort("closer"), kMatchBanner},
        {"Silent", "TCP", PeerPort("silent"), kMatchBanner},
        {"Refused", "TCP", PeerPort("refused"), kMatchBanner},
        {"Echo", "udp", PeerPort("udpecho"),
         "<send><text>probe<br/></text></send><receive><text start=\"0\">probe</text></receive>"},
        {"Scripted", "TCP", scripted.port(),
         "<send><text>CHECK<br/></text></send><receive><text start=\"0\">+OK</text></receive>"},
        {"Ipx", "IPX", 0x4000, "<send><hexadecimal>00</hexadecimal></send>"
                                "<receive><hexadecimal>00</hexadecimal></receive>"},
        {"Quiet", "UDP", silentUdp.port,
         "<send><text>x</text></send><receive><text>x</text></receive>"},
        // Without receive patterns a connect, or a datagram sent, is all
        // that is asked.
        {"Open", "TCP", PeerPort("http"), ""},
        {"Knock", "UDP", silentUdp.port, "<send><text>x</text></send>"},
        {"Shut", "TCP", PeerPort("refused"), ""},
    };
  }
  ScriptedServer scripted;
  SilentUdp silentUdp;
};

struct Expected {
  const char *host;
  const char *protocol;
  int status;
};

TEST_F(Engine, EachPeerGivesTheStatusOfItsBehaviour) {
  MonitorHandle *handle = Open(PeerServices());
  ASSERT_NE(handle, nullptr);
  const Expected cases[] = {
      {"127.0.0.1", "Web", PQM_STATUS_GOOD},
      {"localhost", "WEB", PQM_STATUS_GOOD},
      {"127.0.0.1", "Banner", PQM_STATUS_GOOD},
      {"127.0.0.1", "Echo", PQM_STATUS_GOOD},
      {"127.0.0.1", "Open", PQM_STATUS_GOOD},
      {"127.0.0.1", "Knock", PQM_STATUS_GOOD},
      {"127.0.0.1", "Shut", PQM_STATUS_CONNECTING},
      {"127.0.0.1", "Closer", PQM_STATUS_NO_REPLY},
      {"127.0.0.1", "Silent", PQM_STATUS_NO_REPLY},
      {"127.0.0.1", "Refused", PQM_STATUS_CONNECTING},
      {"no-such-host.invalid", "Web", PQM_STATUS_CANT_START},
      {"0.0.0.0", "Web", PQM_STATUS_CANT_START},
      {"00000001:0000000000AB", "Ipx", PQM_STATUS_CANT_START},
  };
  std::vector<int> ids;
  for (const Expected &c : cases) ids.push_back(api._pqmAdd(handle, c.host, c.protocol, 60000, 800, 1));
  for (size_t i = 0; i < ids.size(); ++i) {
    SCOPED_TRACE(std::string(cases[i].host) + " " + cases[i].protocol);
    CheckResult r = Finished(handle, ids[i]);
    EXPECT_EQ(r.status, cases[i].status);
    EXPECT_EQ(r.total, 1);
    if (cases[i].status == PQM_STATUS_GOOD) {
      EXPECT_EQ(r.good, 1);
      EXPECT_EQ(r.loss, 0);
      EXPECT_GE(r.average, 0);
      EXPECT_LT(r.average, 800);
      EXPECT_EQ(r.lastGood, r.startTime);
    } else {
      EXPECT_EQ(r.good, 0);
      EXPECT_EQ(r.loss, 100);
      EXPECT_EQ(r.average, -1);
      EXPECT_EQ(r.lastGood, 0);
    }
  }
}

TEST_F(Engine, AServerThatAlternatesGivesHalfTheCycleLost) {
  MonitorHandle *handle = Open(PeerServices());
  ASSERT_NE(handle, nullptr);
  int id = api._pqmAdd(handle, "127.0.0.1", "Scripted", 60000, 2000, 2);
  CheckResult r = Finished(handle, id);
  EXPECT_EQ(r.status, PQM_STATUS_GOOD);
  EXPECT_EQ(r.total, 2);
  EXPECT_EQ(r.good, 1);
  EXPECT_EQ(r.loss, 50);
  EXPECT_EQ(scripted.requests(), 2);
  EXPECT_EQ(scripted.malformed(), 0);
}

TEST_F(Engine, AWrongAnswerIsAPartialReply) {
  MonitorHandle *handle = Open(PeerServices());
  ASSERT_NE(handle, nullptr);
  // The first answer is the good one; this check asks second.
  int first = api._pqmAdd(handle, "127.0.0.1", "Scripted", 60000, 2000, 1);
  ASSERT_EQ(Finished(handle, first).status, PQM_STATUS_GOOD);
  int second = api._pqmAdd(handle, "127.0.0.1", "Scripted", 60000, 2000, 1);
  EXPECT_EQ(Finished(handle, second).status, PQM_STATUS_PARTIAL);
}

TEST_F(Engine, NeverMoreThan64RequestsInFlight) {
  MonitorHandle *handle = Open(PeerServices());
  ASSERT_NE(handle, nullptr);
  std::vector<int> ids;
  // The time-out is long enough that the sender has all 64 requests out
  // before the first one expires, however loaded the machine is.
  for (int i = 0; i < 80; ++i) ids.push_back(api._pqmAdd(handle, "127.0.0.1", "Quiet", 60000, 6000, 1));
  int most = 0;
  ASSERT_TRUE(WaitFor([&] {
    int inFlight = 0;
    api._pqmGetInfo(handle, &inFlight);
    most = std::max(most, inFlight);
    return std::all_of(ids.begin(), ids.end(), [&](int id) { return Result(handle, id).status != 0; });
  }));
  EXPECT_EQ(most, 64);
  for (int id : ids) EXPECT_EQ(Result(handle, id).status, PQM_STATUS_NO_REPLY);
}

// Each request sends its own copy of the request bytes: reloading the
// descriptions while requests are in flight never sends freed memory.
TEST_F(Engine, ReloadingWhileRequestsAreInFlight) {
  std::vector<Service> services = PeerServices();
  MonitorHandle *handle = Open(services);
  ASSERT_NE(handle, nullptr);
  std::string path = WriteTempFile("reload.dat", DescriptionFile(services));
  for (int i = 0; i < 10; ++i) api._pqmAdd(handle, "127.0.0.1", "Scripted", 1000, 1000, 1);
  for (int i = 0; i < 150 && scripted.requests() < 30; ++i) {
    EXPECT_EQ(api._pqmLoadProtocolInfo(handle, path.c_str()), static_cast<int>(services.size()));
    std::this_thread::sleep_for(std::chrono::milliseconds(7));
  }
  EXPECT_GT(scripted.requests(), 0);
  EXPECT_EQ(scripted.malformed(), 0);
}

// A name that takes a second to resolve holds up only its own check: the
// replies of requests already in flight are taken as they come.
TEST_F(Engine, ASlowNameDoesNotDelayOtherReplies) {
  MonitorHandle *handle = Open(PeerServices());
  ASSERT_NE(handle, nullptr);
  // Checks are taken in rotation from the second one: the web check starts
  // first, the unresolvable one on the next turn.
  int slow = api._pqmAdd(handle, "no-such-host.invalid", "Web", 60000, 3000, 1);
  int web = api._pqmAdd(handle, "127.0.0.1", "Web", 60000, 3000, 1);
  CheckResult r = Finished(handle, web);
  EXPECT_EQ(Finished(handle, slow).status, PQM_STATUS_CANT_START);
  EXPECT_EQ(r.status, PQM_STATUS_GOOD);
  EXPECT_LT(r.average, 500) << "the reply waited for the name";
}

// The receiver watches for a reply as soon as the request is sent, even
// when it had nothing else to watch: the reply is timed when it comes, not
// after the receiver's idle wait of a quarter second.
TEST_F(Engine, AReplyIsTimedWhenItComes) {
  MonitorHandle *handle = Open(PeerServices());
  ASSERT_NE(handle, nullptr);
  int id = api._pqmAdd(handle, "127.0.0.1", "Scripted", 60000, 2000, 1);
  CheckResult r = Finished(handle, id);
  ASSERT_EQ(r.status, PQM_STATUS_GOOD);
  EXPECT_LT(r.average, 200);
}

TEST_F(Engine, CheckModeEndsACycleAtTheFirstGoodReply) {
  MonitorHandle *handle = Open(PeerServices());
  ASSERT_NE(handle, nullptr);
  api._pqmSetCheckMode(handle);
  int id = api._pqmAdd(handle, "127.0.0.1", "Web", 60000, 2000, 3);
  ASSERT_TRUE(WaitFor([&] { return Result(handle, id).loss != 100; }));
  CheckResult r = Result(handle, id);
  EXPECT_EQ(r.total, 1);
  EXPECT_EQ(r.loss, 0);
  EXPECT_EQ(r.status, PQM_STATUS_GOOD);
  EXPECT_GE(r.average, 0);
}

TEST_F(Engine, RepliesAreKeptForChecksThatAskForThem) {
  MonitorHandle *handle = Open(PeerServices());
  ASSERT_NE(handle, nullptr);
  int kept = api._pqmAddEx(handle, "127.0.0.1", "Banner", reinterpret_cast<const char *>(-1), 60000, 2000, 1);
  int plain = api._pqmAdd(handle, "127.0.0.1", "Banner", 60000, 2000, 1);
  CheckResult before = Result(handle, kept);
  ASSERT_NE(before.replies, nullptr);
  EXPECT_EQ(api._pqmLockResult(&before), 0);
  api._pqmUnlockResult(&before);
  CheckResult r = Finished(handle, kept);
  CheckResult none = Finished(handle, plain);
  EXPECT_EQ(api._pqmLockResult(&none), -1);
  ASSERT_EQ(api._pqmLockResult(&r), 1);
  EXPECT_EQ(r.textFlag, 1);
  char data[64];
  api._pqmGetResultData(&r, 0, data, sizeof data);
  // The description's buffer holds the three bytes of its pattern.
  EXPECT_EQ(std::string(data, 7), std::string("\3\0\0\0" "220", 7));
  char two[2] = {'x', 'x'};
  api._pqmGetResultData(&r, 0, two, 2);
  EXPECT_EQ(std::string(two, 2), std::string("\3\0", 2));
  api._pqmGetResultData(&r, 1, data, sizeof data);
  EXPECT_EQ(data[0], '\0');
  data[0] = 'x';
  api._pqmGetResultStr(&r, -1, data, sizeof data);
  EXPECT_EQ(data[0], '\0');
  api._pqmUnlockResult(&r);
}

// While a host holds a result's replies it may call the other exports,
// from another thread or its own: the engine stores a reply that comes
// meanwhile without waiting for the host, so nothing waits in a circle.
TEST_F(Engine, OtherCallsGoOnWhileAHostHoldsTheReplies) {
  MonitorHandle *handle = Open(PeerServices());
  ASSERT_NE(handle, nullptr);
  int id = api._pqmAddEx(handle, "127.0.0.1", "Banner", reinterpret_cast<const char *>(-1), 1000, 2000, 1);
  CheckResult r = Finished(handle, id);
  ASSERT_EQ(r.status, PQM_STATUS_GOOD);
  const std::string stored("\3\0\0\0" "220", 7);
  auto firstReply = [&] {
    char data[16] = "";
    api._pqmGetResultData(&r, 0, data, sizeof data);
    return std::string(data, 7);
  };

  ASSERT_EQ(api._pqmLockResult(&r), 1);
  // A second host thread reads results until the next sample is in; its
  // reply came while the replies were held.
  auto reader = std::async(std::launch::async, [&] {
    return WaitFor([&] { return Result(handle, id).total > r.total; });
  });
  bool answered = reader.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
  EXPECT_EQ(firstReply(), stored);
  api._pqmUnlockResult(&r);  // lets a waiting engine go on, so the test ends
  EXPECT_TRUE(reader.get());
  ASSERT_TRUE(answered) << "the engine held the check list while it waited for the replies";

  // The host's own thread, holding the replies, reads results as well.
  ASSERT_EQ(api._pqmLockResult(&r), 1);
  int before = Result(handle, id).total;
  EXPECT_TRUE(WaitFor([&] { return Result(handle, id).total > before; }));
  EXPECT_EQ(firstReply(), stored);
  api._pqmUnlockResult(&r);
  // The reply stored meanwhile is in place once the host lets go.
  EXPECT_TRUE(WaitFor([&] {
    bool one = api._pqmLockResult(&r) == 1;
    bool same = firstReply() == stored;
    api._pqmUnlockResult(&r);
    return one && same;
  }));
}

// Ways a host removes a check whose replies it may be holding.
struct Removal {
  const char *name;
  void (*remove)(const PolyprobeApi &api, MonitorHandle *handle, int id);
  bool closesHandle;
};
const Removal kRemovals[] = {
    {"delete", [](const PolyprobeApi &api, MonitorHandle *handle, int id) { api._pqmDelete(handle, id); }, false},
    {"clear", [](const PolyprobeApi &api, MonitorHandle *handle, int) { api._pqmClear(handle); }, false},
    {"close", [](const PolyprobeApi &api, MonitorHandle *handle, int) { api._pqmClose(handle); }, true},
};

class HeldReplies : public Engine {
 protected:
  // A handle with a check whose stored reply is the banner's.
  void OpenWithStoredReply() {
    handle = Open(PeerServices());
    ASSERT_NE(handle, nullptr);
    id = api._pqmAddEx(handle, "127.0.0.1", "Banner", reinterpret_cast<const char *>(-1), 60000, 2000, 1);
    result = Finished(handle, id);
    ASSERT_EQ(result.status, PQM_STATUS_GOOD);
  }
  std::string FirstReply() {
    char data[16] = "";
    api._pqmGetResultData(&result, 0, data, sizeof data);
    return std::string(data, 7);
  }
  // Closes the handle unless the removal did.
  void CloseAfter(const Removal &removal) {
    if (removal.closesHandle) handles.clear();
    CloseHandles();
  }

  const std::string stored{"\3\0\0\0" "220", 7};
  MonitorHandle *handle = nullptr;
  int id = 0;
  CheckResult result{};
};

// Another host thread removes the check while this one holds its replies
// and calls an export that takes the check list: neither waits for the
// other.
TEST_F(HeldReplies, AnotherThreadRemovesTheCheckWithoutWaiting) {
  for (const Removal &removal : kRemovals) {
    SCOPED_TRACE(removal.name);
    ASSERT_NO_FATAL_FAILURE(OpenWithStoredReply());
    ASSERT_EQ(api._pqmLockResult(&result), 1);
    auto removing = std::async(std::launch::async, [&] { removal.remove(api, handle, id); });
    // Ready at once when sound; the bound only keeps a regression from
    // hanging the test.
    bool removed = removing.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
    CheckResult r{};
    if (removed && !removal.closesHandle) {
      EXPECT_EQ(api._pqmGet(handle, id, &r), 0);
    }
    EXPECT_EQ(FirstReply(), stored);
    api._pqmUnlockResult(&result);  // lets a waiting removal end
    removing.get();
    EXPECT_TRUE(removed) << "the removal waited for the held replies";
    CloseAfter(removal);
  }
}

// The thread that holds the replies removes the check itself: the replies
// stay readable until it lets go of them.
TEST_F(HeldReplies, TheHolderRemovesTheCheckAndGoesOnReading) {
  for (const Removal &removal : kRemovals) {
    SCOPED_TRACE(removal.name);
    ASSERT_NO_FATAL_FAILURE(OpenWithStoredReply());
    ASSERT_EQ(api._pqmLockResult(&result), 1);
    removal.remove(api, handle, id);
    EXPECT_EQ(FirstReply(), stored);
    EXPECT_EQ(api._pqmLockResult(&result), 1);
    api._pqmUnlockResult(&result);
    EXPECT_EQ(FirstReply(), stored);
    api._pqmUnlockResult(&result);
    CloseAfter(removal);
  }
}

TEST_F(Engine, DisabledAndDeletedChecksAreLeftAlone) {
  MonitorHandle *handle = Open(PeerServices());
  ASSERT_NE(handle, nullptr);
  int disabled = api._pqmAdd(handle, "127.0.0.1", "Web", 1000, 500, 1);
  api._pqmEnable(handle, disabled, 0);
  int deleted = api._pqmAdd(handle, "127.0.0.1", "Silent", 1000, 500, 1);
  int watched = api._pqmAdd(handle, "127.0.0.1", "Banner", 1000, 500, 1);
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  api._pqmDelete(handle, deleted);  // its request may be in flight
  Finished(handle, watched);
  CheckResult r{};
  EXPECT_EQ(api._pqmGet(handle, deleted, &r), 0);
  EXPECT_EQ(Result(handle, disabled).total, 0);
  EXPECT_EQ(Result(handle, disabled).enabled, 0);
}

}  // namespace
