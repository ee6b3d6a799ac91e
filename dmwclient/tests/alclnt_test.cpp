// The alerter against the fake trend server's alert sink: order, bytes,
// the memory budget, the refusals, the pauses and the stop.
#include "alclnt.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "dmwclnt.h"
#include "dmwfiles.h"
#include "globals.h"
#include "log.h"
#include "oswrap.h"
#include "testfiles.h"
#include "tmpmgr.h"
#include "trendserver.h"

namespace {

using Clock = std::chrono::steady_clock;
using trendserver::Bytes;
using trendserver::Fault;
using trendserver::Reply;
using trendserver::StoredFile;

constexpr unsigned kConnect = 5, kAlert = 0x1005;

class AlerterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.listening());
    WriteFileBytes(base + kSep + "dmwagent.cfg",
                   "[AGENT]\nServerSocket=" + std::to_string(server.port()) +
                       "\nRcvTimeOut=2\nRetryDelay=1\nDebugLevel=9\nCFGPath=" + base +
                       "\nDBPath=" + base + "\n");
    LoadGlobals(base.c_str(), "ALERTS", "probe agent");
    ASSERT_EQ(ConnTableInit(), 0);
    ASSERT_EQ(TmpMgrInit(), 0);  // downloads go through it
    LogLines::Clear();
    LogSetHook(LogLines::Record);
  }
  void TearDown() override {
    AlerterDone();
    TmpMgrDone();
    ConnTableDone();
    LogSetHook(nullptr);
    FreeGlobals();
  }
  void Start(const std::string &config) {
    WriteFileBytes(ConfigFilePath("alerter"), config);
    ASSERT_EQ(AlerterInit(), 0);
  }
  static int Send(int type, const std::string &data) {
    return _SendEvent(type, data.data(), static_cast<int>(data.size()));
  }

  ScratchDir scratch{"alerts_"};
  const std::string base = scratch.path();
  trendserver::FakeTrendServer server;
};

TEST_F(AlerterTest, AlertsWaitingForTheServerArriveInOrderOverOneConnection) {
  server.Refuse();
  Start("WaitBeforeSend=1\n");
  const std::vector<std::pair<int, std::string>> sent = {
      {7, "first"}, {-2, std::string("bin\0ary\xff", 8)}, {9, ""}};
  xtime_t before = static_cast<xtime_t>(std::time(nullptr));
  for (const auto &alert : sent) EXPECT_EQ(Send(alert.first, alert.second), 0);
  xtime_t after = static_cast<xtime_t>(std::time(nullptr));
  server.Resume();
  ASSERT_TRUE(server.WaitForFrames(kAlert, 3, 10000));

  auto alerts = server.Alerts();
  ASSERT_EQ(alerts.size(), 3u);
  for (size_t i = 0; i < sent.size(); i++) {
    SCOPED_TRACE(i);
    EXPECT_EQ(alerts[i].type, sent[i].first);
    EXPECT_EQ(alerts[i].data, sent[i].second);
    EXPECT_GE(alerts[i].wireTime, ToWireTime(before));
    EXPECT_LE(alerts[i].wireTime, ToWireTime(after));
    EXPECT_EQ(alerts[i].connection, alerts[0].connection) << "one connection";
  }
  // The frame as it went out: the agent connected first on that connection.
  auto frame = server.FramesOf(kAlert)[0];
  EXPECT_EQ(frame.capacity, trendserver::kNoReply);
  EXPECT_EQ(frame.body, Bytes().Int(7).Int(alerts[0].wireTime).Int(5).Raw("first").str());
  auto connects = server.FramesOf(kConnect);
  ASSERT_FALSE(connects.empty());
  EXPECT_EQ(connects.back().connection, alerts[0].connection);
  EXPECT_EQ(connects.back().body, Bytes().Int(1).Str("probe agent").Int(1).str());

  // Well past the quiet period the connection is closed: a new alert opens
  // another one.
  std::this_thread::sleep_for(std::chrono::milliseconds(2500));
  EXPECT_EQ(Send(10, "later"), 0);
  ASSERT_TRUE(server.WaitForFrames(kAlert, 4, 10000));
  EXPECT_NE(server.Alerts()[3].connection, alerts[0].connection);
}

TEST_F(AlerterTest, BudgetAndRefusedAlerts) {
  EXPECT_EQ(Send(1, "x"), -1) << "not set up";
  server.Refuse();
  Start("WaitBeforeSend=0\nMaxAlertsMem=100\n");  // the budget becomes 4096
  std::string tooLong(DMW_MAX_ALERT_DATA + 1, 'l');
  struct Refused {
    const char *what;
    int type;
    const char *data;
    int length;
  } refused[] = {{"type 0", 0, "x", 1},
                 {"null data", 1, nullptr, 1},
                 {"null data, no length", 1, nullptr, 0},
                 {"negative length", 1, "x", -1},
                 {"longer than a request carries", 1, tooLong.data(),
                  static_cast<int>(tooLong.size())}};
  for (const Refused &alert : refused)
    EXPECT_EQ(_SendEvent(alert.type, alert.data, alert.length), -1) << alert.what;

  // 1016 bytes each: the fifth is still taken (4064 in use), the sixth not.
  std::string block(1000, 'b');
  for (int i = 1; i <= 5; i++) EXPECT_EQ(Send(i, block), 0) << i;
  EXPECT_EQ(Send(6, block), -1);
  EXPECT_TRUE(LogLines::StartingWith("alclnt: can't add event. MaxAlertsMem exceeded (5080)\n"));

  // Delivered, the alerts give their memory back.
  server.Resume();
  ASSERT_TRUE(server.WaitForFrames(kAlert, 5, 10000));
  bool accepted = false;
  for (int i = 0; i < 500 && !accepted; i++) {
    accepted = Send(7, block) == 0;
    if (!accepted) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(accepted);
  ASSERT_TRUE(server.WaitForFrames(kAlert, 6, 10000));
  std::vector<int> types;
  for (const auto &alert : server.Alerts()) types.push_back(alert.type);
  EXPECT_EQ(types, (std::vector<int>{1, 2, 3, 4, 5, 7}));
}

TEST_F(AlerterTest, RefusedAgentWaitsTheRetryDelayAndKeepsTheAlert) {
  server.Answer(kConnect, Reply{1, ""});
  Start("");
  EXPECT_EQ(Send(3, "kept"), 0);
  ASSERT_TRUE(server.WaitForFrames(kConnect, 1, 5000));
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  EXPECT_LE(server.FramesOf(kConnect).size(), 3u) << "one try per second of RetryDelay";
  server.Answer(kConnect, Reply{0, ""});
  ASSERT_TRUE(server.WaitForFrames(kAlert, 1, 10000));
  EXPECT_EQ(server.Alerts()[0].data, "kept");
}

TEST_F(AlerterTest, StopEndsTheThreadWhileItWaitsOnTheServer) {
  Globals().rcvTimeOutMs = 30000;
  server.Answer(kConnect, Reply{0, "", Fault::Delay, 20000});
  Start("");
  EXPECT_EQ(Send(3, "pending"), 0);
  ASSERT_TRUE(server.WaitForFrames(kConnect, 1, 5000));
  auto start = Clock::now();
  AlerterDone();
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
  EXPECT_TRUE(LogLines::StartingWith("Alerter thread terminated\n")) << "the stop waited for the thread";
  EXPECT_EQ(Send(3, "late"), -1);
}

TEST_F(AlerterTest, AlertsOfSeveralThreadsKeepEachThreadsOrder) {
  Start("");
  constexpr int kThreads = 4, kEach = 50;
  std::vector<std::thread> senders;
  for (int t = 1; t <= kThreads; t++)
    senders.emplace_back([t] {
      for (int i = 0; i < kEach; i++) EXPECT_EQ(Send(t, std::to_string(i)), 0);
    });
  for (auto &sender : senders) sender.join();
  ASSERT_TRUE(server.WaitForFrames(kAlert, kThreads * kEach, 20000));
  std::vector<int> next(kThreads + 1, 0);
  for (const auto &alert : server.Alerts()) {
    ASSERT_TRUE(alert.type >= 1 && alert.type <= kThreads);
    EXPECT_EQ(alert.data, std::to_string(next[alert.type]++)) << alert.type;
  }
}

TEST_F(AlerterTest, ConfigurationFetchedWhenTheRegistrationAsksForIt) {
  const std::string local = "WaitBeforeSend=3\n", remote = "MaxAlertsMem=8000\n";
  server.PutFile(DB_CLASS_CONFIG, "alerter", StoredFile{remote, 1500000000});
  Start(local);
  int slot = _DMWOpen("127.0.0.1", server.port());
  ASSERT_GE(slot, 0);
  ASSERT_EQ(_DMWConnectAgent(slot, "probe agent"), 0);
  struct Case {
    const char *what;
    int code, status;
    bool present;
    int slot;
    std::string expected;  // the file afterwards; empty: missing
    bool fetched;
  } cases[] = {
      {"registered, file present", 2, 0, true, slot, local, false},
      {"registered, file missing", 2, 0, false, slot, remote, true},
      {"status 1, file present: fetched anew", 2, 1, true, slot, remote, true},
      {"an event", 1, 0, false, -1, "", false},
      {"probes notice", 0, 1, false, 0, "", false},
  };
  const std::string notice = "alclnt: Retrieving config...";
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    std::remove(ConfigFilePath("alerter").c_str());
    if (c.present) WriteFileBytes(ConfigFilePath("alerter"), local);
    int status = c.status;
    size_t notices = LogLines::StartingWith(notice);
    AlerterConfigEvent(c.code, &status, c.slot);
    EXPECT_EQ(LogLines::StartingWith(notice), notices + (c.fetched ? 1 : 0));
    EXPECT_EQ(FileExists(ConfigFilePath("alerter").c_str()), !c.expected.empty());
    if (!c.expected.empty()) {
      EXPECT_EQ(FileBytes(ConfigFilePath("alerter")), c.expected);
    }
  }
  _DMWClose(slot);

  // The fetched file was read: 8000 bytes take seven alerts of 1016 and an
  // eighth past the budget.
  int status = 0;
  std::remove(ConfigFilePath("alerter").c_str());
  slot = _DMWOpen("127.0.0.1", server.port());
  ASSERT_EQ(_DMWConnectAgent(slot, "probe agent"), 0);
  AlerterConfigEvent(2, &status, slot);
  _DMWClose(slot);
  server.Answer(kConnect, Reply{1, ""});  // the alerts stay queued
  std::string block(1000, 'b');
  int accepted = 0;
  while (accepted < 20 && Send(1, block) == 0) accepted++;
  EXPECT_EQ(accepted, 8);
}

}  // namespace
