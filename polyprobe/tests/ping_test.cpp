// The PING handler on its own: the echo request it writes and the replies
// it accepts, as raw IP datagrams built here.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "ping.h"

namespace {

class Ping : public testing::Test {
 protected:
  void SetUp() override {
    PingRegister(registry, protocols);
    desc = ProtocolFind(protocols, "PING");
    ASSERT_NE(desc, nullptr);
    check = CheckNew("127.0.0.1", "PING", nullptr, 1000, 250, 3, false);
    check->id = 1289;
  }
  ~Ping() override {
    CheckFree(check);
    HandlerListFree(registry);
    ProtocolListFree(protocols);
  }
  std::vector<unsigned char> Request() {
    int sendLength, minimumReply, bufferSize;
    const unsigned char *bytes =
        HandlerBuildRequest(registry, check, desc, &sendLength, &minimumReply, &bufferSize);
    EXPECT_EQ(sendLength, 55);
    EXPECT_EQ(minimumReply, 28);
    EXPECT_EQ(bufferSize, 83);
    return std::vector<unsigned char>(bytes, bytes + sendLength);
  }
  // An IP datagram with a header of `headerLength` bytes around an ICMP
  // message of this type, identifier and sequence (in memory order).
  static std::vector<unsigned char> Datagram(int headerLength, unsigned char type,
                                             uint16_t identifier, uint16_t sequence) {
    std::vector<unsigned char> datagram(static_cast<size_t>(headerLength) + 55, 0);
    datagram[0] = static_cast<unsigned char>(0x40 | headerLength / 4);
    unsigned char *icmp = datagram.data() + headerLength;
    icmp[0] = type;
    icmp[4] = static_cast<unsigned char>(identifier);
    icmp[5] = static_cast<unsigned char>(identifier >> 8);
    icmp[6] = static_cast<unsigned char>(sequence);
    icmp[7] = static_cast<unsigned char>(sequence >> 8);
    return datagram;
  }
  static std::vector<unsigned char> Cut(std::vector<unsigned char> datagram, size_t length) {
    datagram.resize(length);
    return datagram;
  }
  int Match(const std::vector<unsigned char> &reply) {
    return HandlerMatchReply(registry, check, desc, nullptr, reply.data(),
                             static_cast<int>(reply.size()));
  }

  Collection *registry = HandlerListCreate();
  LockedList *protocols = ProtocolListCreate(nullptr);
  ProtocolDesc *desc = nullptr;
  CheckItem *check = nullptr;
};

TEST_F(Ping, TheEchoRequestCarriesTheCheckIdAndSampleIndex) {
  check->sampleIndex = 2;
  // Whatever the shared buffer held before, every byte is written.
  std::memset(desc->sendBytes, 0xEE, 55);
  std::vector<unsigned char> request = Request();
  EXPECT_EQ(request[0], 8);
  EXPECT_EQ(request[1], 0);
  EXPECT_EQ(request[4], 0x09);
  EXPECT_EQ(request[5], 0x05);
  EXPECT_EQ(request[6], 2);
  EXPECT_EQ(request[7], 0);
  for (int i = 8; i < 55; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(request[static_cast<size_t>(i)], i >= 20 && i < 52 ? 0xAA : 0);
  }
  // The checksum, computed here in network order, makes the sum all ones.
  uint32_t sum = 0;
  for (size_t i = 0; i < request.size(); i += 2)
    sum += static_cast<uint32_t>(request[i] << 8) | (i + 1 < request.size() ? request[i + 1] : 0);
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  EXPECT_EQ(sum, 0xFFFFu);
}

TEST_F(Ping, RepliesAreJudgedByTypeIdentifierAndSequence) {
  check->sampleIndex = 1;
  struct Case {
    const char *what;
    std::vector<unsigned char> reply;
    int accepted;
  } cases[] = {
      {"echo reply", Datagram(20, 0, 1289, 1), 1},
      {"header with options", Datagram(24, 0, 1289, 1), 1},
      {"the request seen on the loopback", Datagram(20, 8, 1289, 1), 1},
      {"another identifier", Datagram(20, 0, 1290, 1), 0},
      {"another sequence", Datagram(20, 0, 1289, 2), 0},
      {"another type", Datagram(20, 3, 1289, 1), 0},
      {"cut within the ICMP header", Cut(Datagram(24, 0, 1289, 1), 31), 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Match(c.reply), c.accepted);
  }
}

}  // namespace
