// The connection table and every request against the fake trend server.
#include "dmwclnt.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "globals.h"
#include "trendserver.h"

namespace {

using trendserver::Bytes;
using trendserver::Fault;
using trendserver::Frame;
using trendserver::Reply;

constexpr unsigned kWait = 5000;
constexpr int kListenerPort = 4321;

class ConnectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.listening());
    InitClientGlobals(".", "TESTHOST");
    Globals().eventListenerPort = kListenerPort;
    Globals().rcvTimeOutMs = 1500;
    ASSERT_EQ(ConnTableInit(), 0);
  }
  void TearDown() override {
    ConnTableDone();
    FreeGlobals();
  }
  int Open(const char *host = "127.0.0.1") { return _DMWOpen(host, server.port()); }
  // The one frame of `code` that the server got after the identify.
  Frame OnlyFrame(unsigned code) {
    EXPECT_TRUE(server.WaitForFrames(static_cast<int>(code), 1, kWait));
    auto frames = server.FramesOf(code);
    return frames.empty() ? Frame{} : frames.back();
  }
  static std::string Identify() { return Bytes().Str("TESTHOST").Int(kListenerPort).Int(2); }

  trendserver::FakeTrendServer server;
};

TEST_F(ConnectionTest, OpenSendsTheHandshakeLineThenIdentifies) {
  EXPECT_EQ(Open(), 0);
  Frame identify = OnlyFrame(1);
  EXPECT_EQ(server.Handshakes(), std::vector<std::string>{"VEXLO DUNMORROW 2.X\r\n"});
  EXPECT_EQ(identify.body, Identify());
  EXPECT_EQ(identify.length, identify.body.size() + 6);
  EXPECT_EQ(identify.capacity, trendserver::kNoReply);
}

TEST_F(ConnectionTest, ConnectionsAreSharedByHostWithoutCaseAndPort) {
  int first = Open("LocalHost");
  int second = Open("localhost");
  int other = Open("127.0.0.1");
  ASSERT_GE(first, 0);
  EXPECT_EQ(second, first);
  EXPECT_NE(other, first);
  EXPECT_TRUE(server.WaitForConnections(2, kWait));
  EXPECT_EQ(server.Connections(), 2);

  _DMWClose(first);
  EXPECT_EQ(_DMWConnectClient(first), 0) << "one reference is left";
  _DMWClose(first);
  EXPECT_EQ(_DMWConnectClient(first), -1) << "the last reference closed it";
  EXPECT_EQ(Open("LOCALHOST"), first) << "the freed slot is reused";
}

// One request call, the frame it must send and what it returns.
struct RequestCase {
  const char *name;
  std::function<int(int slot)> call;
  unsigned code;
  std::string body;
  unsigned capacity;
};

void PrintTo(const RequestCase &c, std::ostream *out) { *out << c.name; }

class RequestBytesTest : public ConnectionTest, public ::testing::WithParamInterface<RequestCase> {};

TEST_P(RequestBytesTest, SendsTheFrame) {
  const RequestCase &c = GetParam();
  server.Answer(c.code, Reply{});  // status 0 for every code, the file store's too
  int slot = Open();
  ASSERT_GE(slot, 0);
  EXPECT_EQ(c.call(slot), 0);
  Frame frame = OnlyFrame(c.code);
  EXPECT_EQ(frame.body, c.body);
  EXPECT_EQ(frame.length, c.body.size() + 6);
  EXPECT_EQ(frame.capacity, c.capacity);
}

char g_reply[256];
int g_replyLength;

int WithReply(const std::function<int(int *)> &call, int capacity) {
  g_replyLength = capacity;
  return call(&g_replyLength);
}

INSTANTIATE_TEST_SUITE_P(
    Calls, RequestBytesTest,
    ::testing::Values(
        RequestCase{"RegisterAgent", [](int s) { return _DMWRegisterAgent(s, "comp"); }, 2,
                    Bytes().Str("comp"), 0},
        RequestCase{"UnregisterAgent", [](int s) { return _DMWUnregisterAgent(s, "comp"); }, 3,
                    Bytes().Str("comp"), 0xFFFF},
        RequestCase{"ConnectAgent", [](int s) { return _DMWConnectAgent(s, "probe agent"); }, 5,
                    Bytes().Int(1).Str("probe agent").Int(1), 0},
        RequestCase{"ConnectClient", [](int s) { return _DMWConnectClient(s); }, 5,
                    Bytes().Int(2).Str("").Int(1), 0},
        RequestCase{"ConnectConsole", [](int s) { return _DMWConnectConsole(s, "con"); }, 5,
                    Bytes().Int(4).Str("con").Int(1), 0},
        RequestCase{"SetPassword", [](int s) { return _DMWSetPassword(s, "user", "pw"); }, 7,
                    Bytes().Str("user").Str("pw"), 0},
        RequestCase{"RObjRequest",
                    [](int s) {
                      return WithReply(
                          [s](int *n) { return _RObjRequest(s, 9, 0x1011, "xyz", 3, g_reply, n); },
                          100);
                    },
                    0x1003, Bytes().Int(9).Int(0x1011).Raw("xyz"), 100},
        RequestCase{"RObjRequestWithoutReply",
                    [](int s) { return _RObjRequest(s, 9, 0x1002, nullptr, 0, nullptr, nullptr); },
                    0x1003, Bytes().Int(9).Int(0x1002), 0xFFFF},
        RequestCase{"RObjClose", [](int s) { return _RObjClose(s, 9); }, 0x1004, Bytes().Int(9),
                    0xFFFF},
        RequestCase{"GetProfiles",
                    [](int s) {
                      return WithReply([s](int *n) { return _cfgman_GetProfiles(s, g_reply, n); },
                                       64);
                    },
                    0x1007, Bytes().Int(257), 64},
        RequestCase{"GetNodes",
                    [](int s) {
                      return WithReply([s](int *n) { return _cfgman_GetNodes(s, g_reply, n); }, 64);
                    },
                    0x1007, Bytes().Int(258), 64},
        RequestCase{"GetAlerts",
                    [](int s) {
                      return WithReply([s](int *n) { return _cfgman_GetAlerts(s, g_reply, n); },
                                       64);
                    },
                    0x1007, Bytes().Int(262), 64},
        RequestCase{"ProfileMgrRead",
                    [](int s) {
                      return WithReply(
                          [s](int *n) { return _cfgman_ProfileMgr(s, 1, "prof", g_reply, n); }, 50);
                    },
                    0x1007, Bytes().Int(260).Int(1).Str("prof"), 50},
        RequestCase{"NodeMgrStore",
                    [](int s) {
                      std::strcpy(g_reply, "DATA");
                      return WithReply(
                          [s](int *n) { return _cfgman_NodeMgr(s, 4, "node", g_reply, n); }, 4);
                    },
                    0x1007, Bytes().Int(261).Int(4).Str("node").Raw("DATA"), 0xFFFF}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(ConnectionTest, RemoteObjectCreateSendsClassAndDataAndReadsTheId) {
  int slot = Open();
  server.Answer(0x1002, Reply{0, Bytes().Int(77)});
  int id = -1;
  EXPECT_EQ(_RObjCreate(slot, 0x80001, "ab", 2, &id), 0);
  EXPECT_EQ(id, 77);
  Frame frame = OnlyFrame(0x1002);
  EXPECT_EQ(frame.body, Bytes().Int(0x80001).Raw("ab").str());
  EXPECT_EQ(frame.capacity, 4u);

  server.Answer(0x1002, Reply{3, ""});
  EXPECT_EQ(_RObjCreate(slot, 0x80002, nullptr, 0, &id), 3);
  EXPECT_EQ(id, 0);
}

TEST_F(ConnectionTest, ShortFixedBodyIsAFailure) {
  int slot = Open();
  server.Answer(0x1002, Reply{0, "\x01\x02"});
  int id = -1;
  EXPECT_EQ(_RObjCreate(slot, 1, nullptr, 0, &id), -1);
  EXPECT_EQ(id, 0);

  server.Answer(0x1006, Reply{0, Bytes().Int(1).Int(2)});
  int a = -1, b = -1, c = -1, d = -1, e = -1;
  EXPECT_EQ(_DMWGetStatus(slot, &a, &b, &c, &d, &e), -1);
  EXPECT_EQ(a, -1) << "nothing is stored from a short reply";
}

TEST_F(ConnectionTest, GetStatusReadsFiveInts) {
  int slot = Open();
  server.Answer(0x1006, Reply{0, Bytes().Int(1).Int(-2).Int(3).Int(4).Int(5)});
  int a = 0, b = 0, c = 0, d = 0, e = 0;
  EXPECT_EQ(_DMWGetStatus(slot, &a, &b, &c, &d, &e), 0);
  EXPECT_EQ(std::vector<int>({a, b, c, d, e}), std::vector<int>({1, -2, 3, 4, 5}));
  Frame frame = OnlyFrame(0x1006);
  EXPECT_EQ(frame.length, 6u);
  EXPECT_EQ(frame.capacity, 20u);
}

TEST_F(ConnectionTest, AlertCarriesTypeWireTimeAndData) {
  int slot = Open();
  xtime_t when = 1200000000;
  EXPECT_EQ(SendAlertRequest(slot, when, 3, "dd", 2), 0);
  Frame frame = OnlyFrame(0x1005);
  EXPECT_EQ(frame.body, Bytes().Int(3).Int(when - _GetTimeZone()).Int(2).Raw("dd").str());
  EXPECT_EQ(frame.capacity, 0xFFFFu);
}

// A raw request built by the caller, as a host sends it.
std::string HostPacket(unsigned code, const std::string &body) {
  return trendserver::RequestFrame(code, body, 0);
}

TEST_F(ConnectionTest, ReplyStatusAndBodyLength) {
  int slot = Open();
  std::string packet = HostPacket(0x4242, "q");
  server.AnswerOnce(0x4242, Reply{0, std::string(20, 'b')});
  server.AnswerOnce(0x4242, Reply{5, std::string(20, 'b')});
  char reply[20];
  int capacity = 20;
  EXPECT_EQ(_DMWRequest(slot, &packet[0], static_cast<int>(packet.size()), reply, &capacity), 0);
  EXPECT_EQ(capacity, 20);
  EXPECT_EQ(std::string(reply, 20), std::string(20, 'b'));
  capacity = 20;
  EXPECT_EQ(_DMWRequest(slot, &packet[0], static_cast<int>(packet.size()), reply, &capacity), 5);
  EXPECT_EQ(capacity, 0);
}

TEST_F(ConnectionTest, CapacityFieldOfTheRequest) {
  int slot = Open();
  std::string packet = HostPacket(0x4242, "");
  auto sentCapacity = [&](int *capacity) {
    server.ClearFrames();
    char reply[8];
    int result = _DMWRequest(slot, &packet[0], static_cast<int>(packet.size()), reply, capacity);
    EXPECT_TRUE(server.WaitForFrames(0x4242, 1, kWait));
    auto frames = server.FramesOf(0x4242);
    EXPECT_EQ(result, 0);
    return frames.empty() ? 0u : frames[0].capacity;
  };
  EXPECT_EQ(sentCapacity(nullptr), 0xFFFFu) << "no pointer: no reply";
  int negative = -3;
  EXPECT_EQ(sentCapacity(&negative), 0xFFFFu);
  EXPECT_EQ(negative, 0);
  int huge = 100000;
  EXPECT_EQ(sentCapacity(&huge), 0xFFFEu) << "clamped, not cut to 16 bits";
  int eight = 8;
  EXPECT_EQ(sentCapacity(&eight), 8u);
}

TEST_F(ConnectionTest, PacketLongerThanTheLengthFieldIsRefused) {
  int slot = Open();
  ASSERT_TRUE(server.WaitForFrames(1, 1, kWait));
  std::string data(70000, 'd');
  char reply[8];
  int replyLength = 8;
  EXPECT_EQ(_RObjRequest(slot, 1, 2, data.data(), static_cast<int>(data.size()), reply,
                         &replyLength),
            -1);
  EXPECT_EQ(replyLength, 0);
  std::string big = HostPacket(0x4242, data);
  EXPECT_EQ(_DMWRequest(slot, &big[0], static_cast<int>(big.size()), nullptr, nullptr), -1);
  EXPECT_EQ(_DMWConnectClient(slot), 0) << "nothing was sent, the connection is fine";
  EXPECT_EQ(server.Frames().size(), 2u);
}

TEST_F(ConnectionTest, SlotThatIsNotOpen) {
  EXPECT_EQ(_DMWConnectClient(0), -1);
  EXPECT_EQ(_DMWConnectClient(-1), -1);
  _DMWClose(3);
  _DMWClose(-1);
  EXPECT_EQ(__DMWLockConn(0), nullptr);
  EXPECT_EQ(__DMWCheckConn(0), -1);
  EXPECT_EQ(__DMWConnSocket(0), -1);
  int slot = Open();
  _DMWClose(slot + 1);
  EXPECT_EQ(_DMWConnectClient(slot), 0) << "closing another slot left this one";
}

struct FaultCase {
  const char *name;
  Reply reply;
  int expected;
};

void PrintTo(const FaultCase &c, std::ostream *out) { *out << c.name; }

class ReplyFaultTest : public ConnectionTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(ReplyFaultTest, RequestEndsAsExpected) {
  int slot = Open();
  server.AnswerOnce(0x1003, GetParam().reply);
  char reply[16];
  int length = 16;
  EXPECT_EQ(_RObjRequest(slot, 1, 2, nullptr, 0, reply, &length), GetParam().expected);
  EXPECT_EQ(length, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ReplyFaultTest,
    ::testing::Values(
        FaultCase{"SilentPastTheTimeOut", Reply{0, "late", Fault::Delay, 2500}, -1},
        FaultCase{"CloseInsteadOfReply", Reply{0, "", Fault::CloseInsteadOfReply}, -1},
        FaultCase{"ShortBody", Reply{0, std::string(12, 's'), Fault::ShortBody}, -1},
        FaultCase{"LongerBodyGivesTheStatusAndNoBytes", Reply{7, "", Fault::LongerBody}, 7},
        FaultCase{"FailureStatus", Reply{-1, "ignored"}, -1}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(ConnectionTest, DelayWithinTheTimeOutIsWaitedFor) {
  int slot = Open();
  server.AnswerOnce(0x1003, Reply{0, "ok", Fault::Delay, 300});
  char reply[16];
  int length = 16;
  EXPECT_EQ(_RObjRequest(slot, 1, 2, nullptr, 0, reply, &length), 0);
  EXPECT_EQ(std::string(reply, static_cast<size_t>(length)), "ok");
}

TEST_F(ConnectionTest, UnaskedBytesStopTheRequestAndTheNextOpenReconnects) {
  int slot = Open();
  ASSERT_TRUE(server.WaitForFrames(1, 1, kWait));
  server.SendUnasked("junk");
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(_DMWConnectClient(slot), -1);
  EXPECT_TRUE(server.FramesOf(5).empty()) << "nothing is sent over stale data";

  EXPECT_EQ(Open(), slot);
  ASSERT_TRUE(server.WaitForFrames(1, 2, kWait));
  EXPECT_EQ(server.Handshakes().size(), 2u);
  EXPECT_EQ(server.FramesOf(1)[1].body, Identify());
  EXPECT_EQ(server.FramesOf(1)[1].connection, 1);
  EXPECT_EQ(_DMWConnectClient(slot), 0);
}

TEST_F(ConnectionTest, ReconnectAfterTheServerDroppedTheConnection) {
  int slot = Open();
  ASSERT_TRUE(server.WaitForFrames(1, 1, kWait));
  server.DropConnections();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(__DMWCheckConn(slot), 0);
  EXPECT_EQ(_DMWConnectClient(slot), 0);
  EXPECT_EQ(server.FramesOf(5).back().connection, 1);
}

TEST_F(ConnectionTest, RefusedConnects) {
  server.Refuse();
  EXPECT_EQ(Open(), -1);
  server.Resume();
  int slot = Open();
  ASSERT_GE(slot, 0);
  ASSERT_TRUE(server.WaitForFrames(1, 1, kWait));
  server.Refuse();
  server.DropConnections();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(Open(), -1) << "the reconnect is refused";
  EXPECT_EQ(__DMWConnSocket(slot), -1);
  EXPECT_EQ(_DMWConnectClient(slot), -1);
  server.Resume();
  EXPECT_EQ(Open(), slot);
  EXPECT_EQ(_DMWConnectClient(slot), 0);
}

TEST_F(ConnectionTest, RequestsOnASharedConnectionDoNotInterleave) {
  int slot = Open();
  server.Answer(0x4242, Reply{0, "", Fault::None, 0, true});
  std::atomic<int> mismatches{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; t++)
    threads.emplace_back([&, t] {
      for (int i = 0; i < 25; i++) {
        std::string body = std::string(static_cast<size_t>(100 + t * 50), static_cast<char>('a' + t)) +
                           std::to_string(i);
        std::string packet = trendserver::RequestFrame(0x4242, body, 0);
        char reply[512];
        int capacity = sizeof reply;
        int status = _DMWRequest(slot, &packet[0], static_cast<int>(packet.size()), reply, &capacity);
        if (status != 0 || std::string(reply, static_cast<size_t>(capacity)) != body) mismatches++;
      }
    });
  for (auto &thread : threads) thread.join();
  EXPECT_EQ(mismatches.load(), 0);
}

TEST_F(ConnectionTest, TearDownWaitsForARequestInProgress) {
  Globals().rcvTimeOutMs = 20000;
  int slot = Open();
  server.Answer(0x1006, Reply{0, std::string(20, 'x'), Fault::Delay, 3000});
  std::atomic<int> result{1};
  std::thread request([&] { result = _DMWGetStatus(slot, nullptr, nullptr, nullptr, nullptr, nullptr); });
  ASSERT_TRUE(server.WaitForFrames(0x1006, 1, kWait));
  ConnTableDone();
  // Left before the table went, and failed: the shut socket ended its wait
  // before the delayed reply could come.
  EXPECT_EQ(result.load(), -1);
  request.join();
}

TEST_F(ConnectionTest, EveryCallFailsAfterTearDown) {
  int slot = Open();
  ASSERT_GE(slot, 0);
  ConnTableDone();
  EXPECT_EQ(Open(), -1);
  EXPECT_EQ(_DMWConnectClient(slot), -1);
  EXPECT_EQ(__DMWLockConn(slot), nullptr);
  EXPECT_EQ(__DMWCheckConn(slot), -1);
  EXPECT_EQ(__DMWConnSocket(slot), -1);
  _DMWClose(slot);
  ConnTableDone();
}

// The requests look the connection up while it is being closed: a lookup
// outside the table's lock would reach a released record (the sanitizers
// report it).
TEST_F(ConnectionTest, CloseWhileOtherThreadsRequest) {
  for (int round = 0; round < 5; round++) {
    int slot = Open();
    ASSERT_GE(slot, 0);
    std::atomic<bool> stop{false};
    std::vector<std::thread> requesters;
    for (int t = 0; t < 2; t++)
      requesters.emplace_back([&] {
        while (!stop) _DMWConnectClient(slot);
      });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    _DMWClose(slot);
    EXPECT_EQ(_DMWConnectClient(slot), -1);
    stop = true;
    for (auto &requester : requesters) requester.join();
  }
}

}  // namespace
