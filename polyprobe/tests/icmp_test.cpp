// ICMP echo checks on the loopback, with raw sockets (root only). The echo
// requests are written here with their own checksum; a description accepts
// an echo reply (type 0 after the 20-byte IP header) carrying its request's
// identifier and sequence.
#include <chrono>
#include <cstdio>
#include <thread>
#include <string>
#include <vector>

#include "host.h"

namespace {

std::string Hex(const std::vector<unsigned char> &bytes) {
  std::string text;
  char pair[3];
  for (unsigned char b : bytes) {
    std::snprintf(pair, sizeof pair, "%02x", b);
    text += pair;
  }
  return text;
}

// An echo request; a wrong checksum makes the system drop it unanswered.
std::vector<unsigned char> EchoRequest(uint16_t identifier, uint16_t sequence, bool goodChecksum) {
  std::vector<unsigned char> message = {8, 0, 0, 0,
                                        static_cast<unsigned char>(identifier >> 8),
                                        static_cast<unsigned char>(identifier),
                                        static_cast<unsigned char>(sequence >> 8),
                                        static_cast<unsigned char>(sequence)};
  for (char c : std::string("echo from a test")) message.push_back(static_cast<unsigned char>(c));
  uint32_t sum = 0;
  for (size_t i = 0; i < message.size(); i += 2) sum += (message[i] << 8) | message[i + 1];
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  uint16_t checksum = static_cast<uint16_t>(~sum) ^ (goodChecksum ? 0 : 0x5555);
  message[2] = static_cast<unsigned char>(checksum >> 8);
  message[3] = static_cast<unsigned char>(checksum);
  return message;
}

Service Echo(const char *name, uint16_t identifier, bool goodChecksum = true) {
  std::vector<unsigned char> request = EchoRequest(identifier, 1, goodChecksum);
  std::vector<unsigned char> idAndSequence(request.begin() + 4, request.begin() + 8);
  return {name, "ICMP", 0,
          "<send><hexadecimal>" + Hex(request) + "</hexadecimal></send>"
          "<receive check=\"all\"><hexadecimal start=\"20\">00</hexadecimal>"
          "<hexadecimal start=\"24\">" + Hex(idAndSequence) + "</hexadecimal></receive>"};
}

class Icmp : public PolyprobeTest {
 protected:
  void SetUp() override {
    PolyprobeTest::SetUp();
    if (!RawIcmpAllowed()) GTEST_SKIP() << "raw ICMP sockets need root";
  }
};

TEST_F(Icmp, ALoopbackEchoIsGood) {
  MonitorHandle *handle = Open({Echo("Echo", 0x1234)});
  ASSERT_NE(handle, nullptr);
  int id = api._pqmAdd(handle, "127.0.0.1", "Echo", 60000, 1000, 3);
  CheckResult r = Finished(handle, id);
  EXPECT_EQ(r.status, PQM_STATUS_GOOD);
  EXPECT_EQ(r.good, 3);
  EXPECT_EQ(r.loss, 0);
  EXPECT_GE(r.average, 0);
}

// Every handle sees every ICMP datagram, so each gets its own replies.
TEST_F(Icmp, EachOfTwoHandlesGetsItsReplies) {
  MonitorHandle *first = Open({Echo("Echo", 0x1111)});
  MonitorHandle *second = Open({Echo("Echo", 0x2222)});
  ASSERT_TRUE(first && second);
  int a = api._pqmAdd(first, "127.0.0.1", "Echo", 60000, 1000, 6);
  int b = api._pqmAdd(second, "127.0.0.1", "Echo", 60000, 1000, 6);
  CheckResult ra = Finished(first, a), rb = Finished(second, b);
  EXPECT_EQ(ra.good, 6);
  EXPECT_EQ(rb.good, 6);
}

// With two requests to one address in flight, a reply goes to the request
// whose identifier and sequence it carries, not to the first one waiting.
// The address is one no other test pings: a datagram from it that no
// request claims is kept by the first request waiting on it.
TEST_F(Icmp, AReplyFindsItsRequestAmongOthersToTheSameAddress) {
  const char *const address = "127.0.0.77";
  MonitorHandle *handle = Open({Echo("Unanswered", 0x3333, false), Echo("Echo", 0x4444)});
  ASSERT_NE(handle, nullptr);
  int unanswered = api._pqmAdd(handle, address, "Unanswered", 60000, 3000, 1);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  int answered = api._pqmAdd(handle, address, "Echo", 60000, 1000, 3);
  CheckResult r = Finished(handle, answered);
  EXPECT_EQ(r.good, 3);
  EXPECT_EQ(Finished(handle, unanswered).status, PQM_STATUS_NO_REPLY);
}

}  // namespace
