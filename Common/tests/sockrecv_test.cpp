#include "sockrecv.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "loopback.h"

namespace {

using namespace std::chrono_literals;

std::string U16(unsigned value) {
  return std::string{static_cast<char>(value & 0xFF), static_cast<char>(value >> 8)};
}

// A reply frame as the server sends it: u16 total length, i16 status, body.
std::string Reply(int status, const std::string &body) {
  return U16(static_cast<unsigned>(body.size() + 4)) + U16(static_cast<unsigned>(status) & 0xFFFF) + body;
}

class SockRecvTest : public ::testing::Test {
 protected:
  void SetUp() override { pair = loopback::ConnectedPair(); }
  void TearDown() override {
    if (peer.joinable()) peer.join();
    loopback::Close(pair.client);
    loopback::Close(pair.server);
  }
  // The peer sends each piece after a short pause, then optionally closes.
  void PeerSends(std::vector<std::string> pieces, bool closeAfter) {
    peer = std::thread([this, pieces, closeAfter] {
      for (const auto &piece : pieces) {
        std::this_thread::sleep_for(30ms);
        loopback::SendAll(pair.server, piece);
      }
      if (closeAfter) loopback::Close(pair.server);
    });
  }
  loopback::Pair pair;
  std::thread peer;
};

TEST_F(SockRecvTest, TimedReadGathersPieces) {
  PeerSends({"ab", "cde", "f"}, false);
  char buffer[6];
  EXPECT_EQ(RecvTimed(pair.client, buffer, 6, 5000), 6);
  EXPECT_EQ(std::string(buffer, 6), "abcdef");
}

TEST_F(SockRecvTest, BlockingReadGathersPieces) {
  PeerSends({"xy", "z"}, false);
  char buffer[3];
  EXPECT_EQ(RecvTimed(pair.client, buffer, 3, 0), 3);
  EXPECT_EQ(std::string(buffer, 3), "xyz");
}

TEST_F(SockRecvTest, TimedReadReportsEarlyClose) {
  PeerSends({"ab"}, true);
  char buffer[6];
  EXPECT_EQ(RecvTimed(pair.client, buffer, 6, 5000), 0);
}

TEST_F(SockRecvTest, TimedReadGivesUpOnSilence) {
  char buffer[4];
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(RecvTimed(pair.client, buffer, 4, 1200), -1);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 1150ms);
}

TEST_F(SockRecvTest, PacketIsReadWhole) {
  PeerSends({U16(7), "hel", "lo"}, false);
  char buffer[2048];
  ASSERT_EQ(RecvPacket(pair.client, buffer, sizeof buffer, 5000), 7);
  EXPECT_EQ(std::string(buffer + 2, 5), "hello");
}

struct BadPacket {
  const char *name;
  std::string bytes;
  bool closeAfter;
};

void PrintTo(const BadPacket &bad, std::ostream *out) { *out << bad.name; }

class BadPacketTest : public SockRecvTest, public ::testing::WithParamInterface<BadPacket> {};

TEST_P(BadPacketTest, EndsTheReadWithinTheBuffer) {
  const BadPacket &bad = GetParam();
  PeerSends({bad.bytes}, bad.closeAfter);
  char buffer[64 + 16];
  std::memset(buffer, 0x5A, sizeof buffer);
  EXPECT_LE(RecvPacket(pair.client, buffer, 64, 400), 0);
  for (size_t i = 64; i < sizeof buffer; i++) ASSERT_EQ(buffer[i], 0x5A) << "written past at " << i;
}

INSTANTIATE_TEST_SUITE_P(
    Packets, BadPacketTest,
    ::testing::Values(BadPacket{"AnnouncesTheMaximum", U16(64) + std::string(70, 'x'), false},
                      BadPacket{"AnnouncesTooMuch", U16(0xFFFF) + std::string(100, 'x'), false},
                      BadPacket{"AnnouncesOnlyItsLength", U16(2), false},
                      BadPacket{"AnnouncesLessThanItsLength", U16(1), false},
                      BadPacket{"ClosesInTheLength", std::string(1, '\x09'), true},
                      BadPacket{"ClosesInTheBody", U16(10) + "abc", true},
                      BadPacket{"SilentBody", U16(10) + "abc", false}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(SockRecvTest, ReplyBodyIsRead) {
  PeerSends({Reply(0, "body!")}, false);
  char body[16];
  int received = -5;
  EXPECT_EQ(RecvReply(pair.client, body, sizeof body, &received, 5000), 0);
  EXPECT_EQ(received, 5);
  EXPECT_EQ(std::string(body, 5), "body!");
}

TEST_F(SockRecvTest, ReplyNotKeptIsDroppedAndTheNextOneIsRead) {
  PeerSends({Reply(-1, "err"), Reply(3, std::string(40, 'L')), Reply(7, "ok")}, false);
  char body[16];
  int received = -5;
  EXPECT_EQ(RecvReply(pair.client, body, sizeof body, &received, 5000), -1);
  EXPECT_EQ(received, 0);
  EXPECT_EQ(RecvReply(pair.client, body, sizeof body, &received, 5000), 3);  // too large
  EXPECT_EQ(received, 0);
  EXPECT_EQ(RecvReply(pair.client, body, sizeof body, &received, 5000), 7);
  EXPECT_EQ(received, 2);
  EXPECT_EQ(std::string(body, 2), "ok");
}

TEST_F(SockRecvTest, ReplyFailures) {
  char body[16];
  int received = -5;
  // Silent peer.
  EXPECT_EQ(RecvReply(pair.client, body, sizeof body, &received, 300), -1);
  EXPECT_EQ(received, 0);
  // A header shorter than itself, then a body cut by a close.
  PeerSends({U16(3) + U16(0), Reply(0, "truncated").substr(0, 8)}, true);
  EXPECT_EQ(RecvReply(pair.client, body, sizeof body, &received, 5000), -1);
  EXPECT_EQ(RecvReply(pair.client, body, sizeof body, &received, 5000), -1);
  EXPECT_EQ(received, 0);
}

TEST(MakeSockAddr, DottedAndNamedAndUnresolved) {
  loopback::EnsureSockets();
  sockaddr_in addr;
  MakeSockAddr(&addr, "127.0.0.9", 2001);
  EXPECT_EQ(addr.sin_family, AF_INET);
  EXPECT_EQ(ntohs(addr.sin_port), 2001);
  EXPECT_EQ(ntohl(addr.sin_addr.s_addr), 0x7F000009u);
  MakeSockAddr(&addr, "localhost", 80);
  EXPECT_EQ(ntohl(addr.sin_addr.s_addr) >> 24, 127u);
  MakeSockAddr(&addr, "no-such-host.invalid", 80);
  EXPECT_EQ(addr.sin_addr.s_addr, 0xFFFFFFFFu);
}

}  // namespace
