// The built-in SNMP GET protocol against agents on loopback addresses at
// port 161 (root only): Debian's agent with the values its configuration
// sets (peers.sh), and a fake agent here, written with the tests' own
// encoder, for answers the real one never gives.
#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "host.h"
#include "loopback.h"
#include "netsys.h"
#include "snmp_wire.h"

namespace {

const char kAgentAddress[] = "127.77.0.1";  // Debian's agent, started by peers.sh
// The fake agents: on 127.0.0.1, the one loopback address that Wine binds
// as it is (it binds others as any address, whose port 161 Debian's agent
// holds). Tests that run at once take turns at the port.
const char kFakeAddress[] = "127.0.0.1";
const std::string kPrivate = "1.3.6.1.4.1.8072.9999";

// Answers each request it reads with the datagrams `answer` gives.
class FakeAgent {
 public:
  using Answer = std::function<std::vector<std::string>(const snmpwire::Request &)>;
  FakeAgent(const char *host, Answer answer) : answer_(std::move(answer)) {
    loopback::EnsureSockets();
    socket_ = static_cast<os::Socket>(socket(AF_INET, SOCK_DGRAM, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(161);
    address.sin_addr.s_addr = inet_addr(host);
    // Another test's agent may hold the port for a few seconds.
    for (int tries = 0; tries < 400 && !bound_ && socket_ != os::kInvalidSocket; ++tries) {
      bound_ = bind(os::Raw(socket_), reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
      if (!bound_) {
        bindError_ = os::SocketError();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      }
    }
    if (bound_) thread_ = std::thread([this] { Serve(); });
  }
  ~FakeAgent() {
    stopping_ = true;
    if (thread_.joinable()) thread_.join();
    if (socket_ != os::kInvalidSocket) os::SocketClose(socket_);
  }
  bool bound() const { return bound_; }
  int bindError() const { return bindError_; }
  std::vector<snmpwire::Request> Requests() {
    std::lock_guard<std::mutex> guard(lock_);
    return requests_;
  }

 private:
  void Serve() {
    while (!stopping_) {
      if (os::SocketWaitReadable(socket_, 20) != 1) continue;
      char bytes[5000];
      sockaddr_in from{};
      socklen_t fromLength = sizeof from;
      int length = static_cast<int>(recvfrom(os::Raw(socket_), bytes, sizeof bytes, 0,
                                             reinterpret_cast<sockaddr *>(&from), &fromLength));
      snmpwire::Request request;
      if (length <= 0 || !snmpwire::ReadRequest(std::string(bytes, static_cast<size_t>(length)), &request))
        continue;
      {
        std::lock_guard<std::mutex> guard(lock_);
        requests_.push_back(request);
      }
      for (const std::string &answer : answer_(request))
        sendto(os::Raw(socket_), answer.data(), static_cast<int>(answer.size()), 0,
               reinterpret_cast<sockaddr *>(&from), fromLength);
    }
  }

  Answer answer_;
  os::Socket socket_ = os::kInvalidSocket;
  bool bound_ = false;
  int bindError_ = 0;
  std::atomic<bool> stopping_{false};
  std::mutex lock_;
  std::vector<snmpwire::Request> requests_;
  std::thread thread_;
};

class Snmp : public PolyprobeTest {
 protected:
  // Ends the test's checks before the fake agent declared ahead of it
  // goes: the port passes to the next test's agent, which must not hear
  // this test's requests.
  struct ChecksEndFirst {
    Snmp *test;
    ~ChecksEndFirst() { test->CloseHandles(); }
  };

  // An SNMP GET check that keeps its replies, as hosts add them.
  int Add(MonitorHandle *handle, const char *host, const std::string &param, int samples = 1,
          int timeout = 5000) {
    return api._pqmAddEx2(handle, host, "SNMP GET", param.c_str(), 60000, timeout, samples, 1);
  }
  // The check's text entries, read as a host reads them.
  std::vector<std::string> Texts(MonitorHandle *handle, int id) {
    CheckResult r = Result(handle, id);
    std::vector<std::string> texts;
    int count = api._pqmLockResult(&r);
    for (int i = 0; i < count; ++i) {
      char text[256];
      api._pqmGetResultStr(&r, i, text, sizeof text);
      texts.push_back(text);
      // Read as data, a text entry gives its own bytes and nothing past
      // its block, however large the host's buffer.
      char data[4096];
      api._pqmGetResultData(&r, i, data, sizeof data);
      EXPECT_EQ(std::string(data, std::strlen(text)), text);
    }
    api._pqmUnlockResult(&r);
    return texts;
  }
  // Starts the check's next cycle and waits until it has ended.
  CheckResult NextCycle(MonitorHandle *handle, int id) {
    int total = Result(handle, id).total;
    api._pqmCheckNow(handle, id);
    EXPECT_TRUE(WaitFor([&] {
      CheckResult r = Result(handle, id);
      return r.total >= total + r.samples && r.status != 0;
    }));
    return Result(handle, id);
  }
};

std::string Entry(const std::string &oid, const std::string &rest) {
  return "<SNMP oid=\"" + oid + "\" " + rest + ">";
}

TEST_F(Snmp, TheAgentsValuesAreReadAsTextEntries) {
  if (PeerPort("snmpd") == 0) GTEST_SKIP() << "Debian's SNMP agent does not run (root only)";
  MonitorHandle *handle = Open({}, 1);
  ASSERT_NE(handle, nullptr);
  int id = Add(handle, kAgentAddress,
               kPrivate + ".1;" + kPrivate + ".2;" + kPrivate + ".3;" + kPrivate + ".4;1.3.6.1.2.1.1.7");
  CheckResult r = Finished(handle, id);
  EXPECT_EQ(r.status, PQM_STATUS_GOOD);
  EXPECT_EQ(r.good, 1);
  EXPECT_EQ(Texts(handle, id), (std::vector<std::string>{
                                   Entry(kPrivate + ".1.0", "val=\"-5\""),
                                   Entry(kPrivate + ".2.0", "val=\"1A2B\""),
                                   Entry(kPrivate + ".3.0", "val=\"FFFFFFFF\""),
                                   Entry(kPrivate + ".4.0", "error=\"1\""),
                                   Entry("1.3.6.1.2.1.1.7.0", "val=\"48\""),
                               }));
}

// The agent rejects an object id beyond its view: the first request ends
// without an accepted answer, the id is reported and left out from then on.
TEST_F(Snmp, AnObjectIdTheAgentRejectsIsReportedOnceThenDropped) {
  if (PeerPort("snmpd") == 0) GTEST_SKIP() << "Debian's SNMP agent does not run (root only)";
  MonitorHandle *handle = Open({}, 1);
  ASSERT_NE(handle, nullptr);
  // The agent answers in time however loaded the machine: a generous time-out.
  int id = Add(handle, kAgentAddress, kPrivate + ".1;1.3.6.1.9.9", 2, 5000);
  CheckResult r = Finished(handle, id);
  EXPECT_EQ(r.status, PQM_STATUS_GOOD);
  EXPECT_EQ(r.good, 1);
  EXPECT_EQ(r.loss, 50);
  std::vector<std::string> expected = {Entry("1.3.6.1.9.9", "error=\"2\""),
                                       Entry(kPrivate + ".1.0", "val=\"-5\"")};
  EXPECT_EQ(Texts(handle, id), expected);
  // Later samples, taken at a short interval, are all good.
  api._pqmSet(handle, id, 20, 5000, 2);
  EXPECT_TRUE(WaitFor([&] { return Result(handle, id).total >= 6; }));
  r = Result(handle, id);
  EXPECT_EQ(r.good, r.total - 1);
  EXPECT_EQ(Texts(handle, id), expected);
}

TEST_F(Snmp, EveryValueTypeAndItsLaterValue) {
  std::atomic<int> answered{0};
  FakeAgent agent(kFakeAddress, [&](const snmpwire::Request &request) {
    int n = answered++;
    std::vector<snmpwire::Varbind> values = {
        {"1.3.6.1.2.1.1.3.0", snmpwire::Unsigned(snmpwire::kTimeTicks, 0x1A2B)},
        {"1.3.6.1.4.1.7.1.0", snmpwire::Integer(n == 0 ? -5 : 0)},
        {"1.3.6.1.4.1.7.2.0", snmpwire::Unsigned(snmpwire::kCounter64, 0x100000005ULL)},
        {"1.3.6.1.4.1.7.3.0", snmpwire::OctetString("not a number")},
    };
    return std::vector<std::string>{
        snmpwire::Message(snmpwire::kGetResponse, request.requestId, 0, 0, values)};
  });
  if (!agent.bound()) GTEST_SKIP() << "no fake agent on port 161 (root only): error " << agent.bindError();
  ChecksEndFirst checksEndFirst{this};
  MonitorHandle *handle = Open({}, 1);
  ASSERT_NE(handle, nullptr);
  std::string param = "1.3.6.1.2.1.1.3;1.3.6.1.4.1.7.1;1.3.6.1.4.1.7.2;1.3.6.1.4.1.7.3";
  int id = Add(handle, kFakeAddress, param);
  CheckResult r = Finished(handle, id);
  EXPECT_EQ(r.status, PQM_STATUS_GOOD);
  EXPECT_EQ(Texts(handle, id), (std::vector<std::string>{
                                   Entry("1.3.6.1.2.1.1.3.0", "val=\"1A2B\""),
                                   Entry("1.3.6.1.4.1.7.1.0", "val=\"-5\""),
                                   Entry("1.3.6.1.4.1.7.2.0", "val=\"100000005\""),
                                   Entry("1.3.6.1.4.1.7.3.0", "error=\"1\""),
                               }));
  NextCycle(handle, id);
  EXPECT_EQ(Texts(handle, id)[1], Entry("1.3.6.1.4.1.7.1.0", "val=\"0\""));

  std::vector<snmpwire::Request> requests = agent.Requests();
  ASSERT_EQ(requests.size(), 2u);
  for (const snmpwire::Request &request : requests) {
    EXPECT_EQ(request.community, "orchid");
    EXPECT_EQ(request.pduTag, snmpwire::kGetNextRequest);
    EXPECT_EQ(request.requestId, id);
    EXPECT_EQ(request.oids, (std::vector<std::string>{"1.3.6.1.2.1.1.3", "1.3.6.1.4.1.7.1",
                                                      "1.3.6.1.4.1.7.2", "1.3.6.1.4.1.7.3"}));
  }
}

// Answers that are malformed or not for the check leave it waiting: each
// of the first samples gets one such answer and ends as a partial reply,
// with nothing written for the host; the sample after them is answered well.
TEST_F(Snmp, MalformedAnswersAreNotAccepted) {
  std::atomic<int> answered{0};
  FakeAgent agent(kFakeAddress, [&](const snmpwire::Request &request) {
    std::vector<snmpwire::Varbind> value = {{"1.3.6.1.2.1.1.3.0", snmpwire::Integer(9)}};
    std::string answer = snmpwire::Message(snmpwire::kGetResponse, request.requestId, 0, 0, value);
    const std::string malformed[] = {
        answer.substr(0, answer.size() - 4),
        snmpwire::Message(snmpwire::kGetResponse, request.requestId + 1, 0, 0, value),
        snmpwire::Message(snmpwire::kGetResponse, request.requestId, 0, 0, {}),
        std::string("\x30\x84\xFF\xFF\xFF\xFF", 6) + answer.substr(2),
        std::string(30, '\xA2'),
    };
    int n = answered++;
    return std::vector<std::string>{n < 5 ? malformed[n] : answer};
  });
  if (!agent.bound()) GTEST_SKIP() << "no fake agent on port 161 (root only): error " << agent.bindError();
  ChecksEndFirst checksEndFirst{this};
  MonitorHandle *handle = Open({}, 1);
  ASSERT_NE(handle, nullptr);
  int id = Add(handle, kFakeAddress, "1.3.6.1.2.1.1.3", 5, 300);
  CheckResult r = Finished(handle, id);
  EXPECT_EQ(r.status, PQM_STATUS_PARTIAL);
  EXPECT_EQ(r.good, 0);
  EXPECT_EQ(r.total, 5);
  EXPECT_TRUE(Texts(handle, id).empty());
  api._pqmSet(handle, id, 20, 300, 5);
  EXPECT_TRUE(WaitFor([&] { return Result(handle, id).good >= 1; }));
  EXPECT_EQ(Texts(handle, id), std::vector<std::string>{Entry("1.3.6.1.2.1.1.3.0", "val=\"9\"")});
}

// A rejected answer is judged once, however long its request then waits:
// only the object id it names is cut, not a second one that extends it by
// one component.
TEST_F(Snmp, ARejectedAnswerCutsOneObjectId) {
  std::atomic<int> answered{0};
  FakeAgent agent(kFakeAddress, [&](const snmpwire::Request &request) {
    std::vector<snmpwire::Varbind> echoed;
    for (const std::string &oid : request.oids) echoed.push_back({oid, snmpwire::Null()});
    bool first = answered++ == 0;
    if (!first) echoed[0].value = snmpwire::Integer(3);
    return std::vector<std::string>{
        snmpwire::Message(snmpwire::kGetResponse, request.requestId, first ? 2 : 0, first ? 1 : 0, echoed)};
  });
  if (!agent.bound()) GTEST_SKIP() << "no fake agent on port 161 (root only): error " << agent.bindError();
  ChecksEndFirst checksEndFirst{this};
  MonitorHandle *handle = Open({}, 1);
  ASSERT_NE(handle, nullptr);
  int id = Add(handle, kFakeAddress, "1.3.6.1.2.1.1.3;1.3.6.1.2.1.1.3.0", 1, 1000);
  EXPECT_EQ(Finished(handle, id).status, PQM_STATUS_PARTIAL);
  EXPECT_EQ(Texts(handle, id), std::vector<std::string>{Entry("1.3.6.1.2.1.1.3", "error=\"2\"")});
  EXPECT_EQ(NextCycle(handle, id).status, PQM_STATUS_GOOD);
  std::vector<snmpwire::Request> requests = agent.Requests();
  ASSERT_EQ(requests.size(), 2u) << "the second request asked for nothing";
  EXPECT_EQ(requests[0].oids, (std::vector<std::string>{"1.3.6.1.2.1.1.3", "1.3.6.1.2.1.1.3.0"}));
  EXPECT_EQ(requests[1].oids, std::vector<std::string>{"1.3.6.1.2.1.1.3.0"});
}

// With no object id left there is nothing to ask: no request goes out and
// the check's sample ends by its timeout.
TEST_F(Snmp, AnEmptyParameterSendsNothing) {
  FakeAgent agent(kFakeAddress, [](const snmpwire::Request &) { return std::vector<std::string>{}; });
  if (!agent.bound()) GTEST_SKIP() << "no fake agent on port 161 (root only): error " << agent.bindError();
  ChecksEndFirst checksEndFirst{this};
  MonitorHandle *handle = Open({}, 1);
  ASSERT_NE(handle, nullptr);
  int id = Add(handle, kFakeAddress, "", 1, 300);
  CheckResult r = Finished(handle, id);
  EXPECT_EQ(r.status, PQM_STATUS_NO_REPLY);
  EXPECT_TRUE(agent.Requests().empty());
}

}  // namespace
