// The built-in PING protocol against the system's own ICMP echo service
// on loopback addresses (raw sockets: root only). A raw socket of the test
// watches the echo requests on the wire.
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "host.h"
#include "netsys.h"

namespace {

struct EchoRequest {
  int identifier;
  int sequence;
  std::vector<unsigned char> message;  // the ICMP message
};

// Reads the echo requests that pass on the loopback.
class EchoWatch {
 public:
  EchoWatch() {
    os::SocketsStart();
    socket_ = static_cast<os::Socket>(socket(AF_INET, SOCK_RAW, 1));
  }
  ~EchoWatch() {
    if (socket_ != os::kInvalidSocket) os::SocketClose(socket_);
    os::SocketsStop();
  }
  // The requests read within `ms` that carry this identifier.
  std::vector<EchoRequest> Read(int identifier, size_t wanted, int ms) {
    std::vector<EchoRequest> found;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (found.size() < wanted && std::chrono::steady_clock::now() < deadline) {
      if (os::SocketWaitReadable(socket_, 50) != 1) continue;
      unsigned char datagram[1500];
      int length = static_cast<int>(recv(os::Raw(socket_), reinterpret_cast<char *>(datagram), sizeof datagram, 0));
      if (length < 20) continue;
      int header = (datagram[0] & 0x0F) * 4;
      const unsigned char *icmp = datagram + header;
      if (length < header + 8 || icmp[0] != 8) continue;
      EchoRequest request{icmp[4] | icmp[5] << 8, icmp[6] | icmp[7] << 8,
                          std::vector<unsigned char>(icmp, icmp + (length - header))};
      if (request.identifier == identifier) found.push_back(request);
    }
    return found;
  }

 private:
  os::Socket socket_ = os::kInvalidSocket;
};

// The Internet checksum over a message that carries its own: all ones
// when it is right.
uint32_t OnesSum(const std::vector<unsigned char> &message) {
  uint32_t sum = 0;
  for (size_t i = 0; i < message.size(); i += 2)
    sum += static_cast<uint32_t>(message[i] << 8) | (i + 1 < message.size() ? message[i + 1] : 0);
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return sum;
}

class Ping : public PolyprobeTest {
 protected:
  void SetUp() override {
    PolyprobeTest::SetUp();
    if (!RawIcmpAllowed()) GTEST_SKIP() << "raw ICMP sockets need root";
  }
};

TEST_F(Ping, LoopbackChecksAreGoodAndTheirRequestsCarryTheirIds) {
  MonitorHandle *handle = Open({});
  ASSERT_NE(handle, nullptr);
  EchoWatch watch;
  int id = api._pqmAdd(handle, "127.0.0.1", "PING", 60000, 1000, 3);
  int other = api._pqmAdd(handle, "127.0.0.2", "ping", 60000, 1000, 2);
  std::vector<EchoRequest> requests = watch.Read(id & 0xFFFF, 3, 10000);
  for (int check : {id, other}) {
    SCOPED_TRACE(check);
    CheckResult r = Finished(handle, check);
    EXPECT_EQ(r.status, PQM_STATUS_GOOD);
    EXPECT_EQ(r.good, r.samples);
    EXPECT_EQ(r.loss, 0);
    EXPECT_GE(r.average, 0);
    EXPECT_LT(r.average, 1000);
  }
  ASSERT_EQ(requests.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    const std::vector<unsigned char> &message = requests[static_cast<size_t>(i)].message;
    EXPECT_EQ(requests[static_cast<size_t>(i)].sequence, i);
    ASSERT_EQ(message.size(), 55u);
    EXPECT_EQ(OnesSum(message), 0xFFFFu);
    std::vector<unsigned char> body(message.begin() + 8, message.end());
    std::vector<unsigned char> expected(12, 0);
    expected.insert(expected.end(), 32, 0xAA);
    expected.insert(expected.end(), 3, 0);
    EXPECT_EQ(body, expected);
  }
}

TEST_F(Ping, TheBuiltInRecordsReplaceDescriptionsOfTheirNames) {
  MonitorHandle *handle = Open({{"ping", "TCP", 7, ""}, {"Web", "TCP", 80, ""}}, 1);
  ASSERT_NE(handle, nullptr);
  for (int load = 0; load < 2; ++load) {
    SCOPED_TRACE(load);
    ASSERT_EQ(api._pqmProtocolCount(handle), 3);
    std::vector<std::string> names;
    for (int i = 0; i < 3; ++i) {
      char name[64], info[128], transport = 0;
      int port = -1;
      api._pqmProtocolInfo2(handle, i, name, &transport, info, &port);
      names.push_back(name);
      if (names.back() == "PING") {
        EXPECT_EQ(transport, 4);
        EXPECT_EQ(port, 0);
        EXPECT_STREQ(info, "Ping over Internet Message Control Protocol");
      } else if (names.back() == "SNMP GET") {
        EXPECT_EQ(transport, 2);
        EXPECT_EQ(port, 161);
        EXPECT_STREQ(info, "");
      }
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Web", "SNMP GET", "PING"}));
    const testing::TestInfo *test = testing::UnitTest::GetInstance()->current_test_info();
    std::string path = testing::TempDir() + "polyprobe-" + test->name() + ".dat";
    api._pqmLoadProtocolInfo(handle, path.c_str());
  }
}

// An address whose echo requests go nowhere (POLYPROBE_SILENT_HOST, set by
// the test run that gives it a route into a black hole).
TEST_F(Ping, AnAddressThatNeverAnswersLosesEverySample) {
  const char *silent = std::getenv("POLYPROBE_SILENT_HOST");
  if (!silent) GTEST_SKIP() << "no silent address (POLYPROBE_SILENT_HOST)";
  MonitorHandle *handle = Open({});
  ASSERT_NE(handle, nullptr);
  int id = api._pqmAdd(handle, silent, "PING", 60000, 300, 2);
  CheckResult r = Finished(handle, id);
  EXPECT_EQ(r.status, PQM_STATUS_NO_REPLY);
  EXPECT_EQ(r.good, 0);
  EXPECT_EQ(r.loss, 100);
  EXPECT_EQ(r.average, -1);
}

}  // namespace
