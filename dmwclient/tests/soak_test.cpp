// Repeated agent cycles with everything that runs at once: the registration
// and listen threads, events from the server, file transfers and alerts on
// the host's threads, trend values written and replicated, and the
// tear-down, against the fake trend server. Built for the
// thread sanitizer too; every stop must come back within a few seconds.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "agent.h"
#include "alclnt.h"
#include "dmwclnt.h"
#include "dmwfiles.h"
#include "evclnt.h"
#include "globals.h"
#include "oswrap.h"
#include "testfiles.h"
#include "trendfile.h"
#include "trendserver.h"

namespace {

using Clock = std::chrono::steady_clock;
using trendserver::StoredFile;

std::atomic<int> g_events{0};
std::atomic<int> g_registered{0};

void Component(int code, void *, int) {
  if (code == 1) g_events++;
  if (code == 2) g_registered++;
}

class SoakTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.listening());
    WriteAgentConfig();
    for (const char *name : {"soak0", "soak1"})
      server.PutFile(DB_CLASS_CONFIG, name, StoredFile{std::string(3000, 'c'), 1500000000});
    // Replication once a day from midnight: due as soon as it is scheduled.
    server.PutFile(DB_CLASS_CONFIG, "replictr",
                   StoredFile{"schedule=0|0|7f|0|15180\nRetries=3\n", 1500000000});
    g_events = 0;
    g_registered = 0;
  }
  // Without a last run, so that each cycle replicates. The reply time-out
  // is generous for a loaded machine: the stop does not wait for it.
  void WriteAgentConfig() {
    WriteFileBytes(base + kSep + "dmwagent.cfg",
                   "[AGENT]\nServerSocket=" + std::to_string(server.port()) +
                       "\nRcvTimeOut=20\nRetryDelay=1\n");
  }
  // A day file of two days ago, which replication uploads and deletes.
  std::string PutOldDayFile(int round) {
    std::string relative = "soak" + kSep + "old" + std::to_string(round) + ".tra";
    std::string path = base + kSep + "local" + kSep + "trends" + kSep + relative;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    WriteFileBytes(path, Pattern(4000));
    _XSetFileTime(path.c_str(), static_cast<xtime_t>(std::time(nullptr)) - 2 * 86400);
    return relative;
  }
  bool WaitForReplicated(const std::string &relative) {
    std::string path = base + kSep + "local" + kSep + "trends" + kSep + relative;
    return WaitUntil([&] {
      StoredFile stored;
      return server.GetFile(DB_CLASS_TRENDS, relative, &stored) && stored.bytes == Pattern(4000) &&
             !FileExists(path.c_str());
    });
  }
  static int WaitForListener() {
    WaitUntil([] { return Globals().eventListenerPort != 0; });
    return Globals().eventListenerPort;
  }
  static bool WaitFor(const std::atomic<int> &counter, int count) {
    return WaitUntil([&] { return counter >= count; });
  }
  // A host thread's transfers: one upload and one download (of a file of
  // its own: one target is downloaded by one thread at a time) on a
  // connection of its own.
  void Transfers(int round, int worker) {
    const Settings &settings = Globals();
    int slot = _DMWOpen(settings.server, settings.serverSocket);
    ASSERT_GE(slot, 0);
    EXPECT_EQ(_DMWConnectAgent(slot, AgentTypeName()), 0);
    std::string name = "day" + std::to_string(round) + "_" + std::to_string(worker);
    WriteFileBytes(std::string(settings.dbPath) + kSep + name + ".dat", std::string(2500, 'd'));
    EXPECT_EQ(_SendFile(slot, DB_CLASS_TRENDS, settings.dbPath, name.c_str(), ".dat"), 0);
    std::string download = "soak" + std::to_string(worker);
    EXPECT_EQ(_RetrieveFile(slot, DB_CLASS_CONFIG, settings.cfgPath, download.c_str(), ".cfg"), 0);
    _DMWClose(slot);
    for (int i = 0; i < kAlertsPerWorker; i++) {
      std::string text = std::to_string(round) + "/" + std::to_string(i);
      EXPECT_EQ(_SendEvent(worker + 1, text.data(), static_cast<int>(text.size())), 0);
      std::string series = "soak|worker" + std::to_string(worker);
      EXPECT_EQ(_WriteData(series.c_str(), i, 1, static_cast<uint32_t>(i)), 0);
    }
  }
  static constexpr int kAlertsPerWorker = 10;
  static void ExpectPromptStop() {
    auto start = Clock::now();
    StopAgent();
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
  }

  ScratchDir scratch{"soak_"};
  const std::string base = scratch.path();
  trendserver::FakeTrendServer server;
};

TEST_F(SoakTest, AgentCyclesWithEventsAndTransfers) {
  for (int round = 0; round < 3; round++) {
    SCOPED_TRACE(round);
    WriteAgentConfig();
    std::string oldDay = PutOldDayFile(round);
    InitAgent(base.c_str(), "SOAK", "probe agent");
    int port = WaitForListener();
    ASSERT_NE(port, 0);
    int registeredBefore = g_registered, eventsBefore = g_events;
    _DMWRegisterForEvent("comp", Component);
    _DMWRegisterForEvent("other", Component);
    EXPECT_EQ(StartAgent(), 1);

    trendserver::EventConnection events(port);
    std::thread sender([&] {
      for (int i = 0; i < 20; i++) events.Send(i % 5 ? "comp" : "CfgRefresh", "");
    });
    std::vector<std::thread> workers;
    for (int worker = 0; worker < 2; worker++)
      workers.emplace_back([this, round, worker] { Transfers(round, worker); });
    for (auto &worker : workers) worker.join();
    sender.join();
    EXPECT_TRUE(WaitFor(g_events, eventsBefore + 16));
    EXPECT_TRUE(WaitFor(g_registered, registeredBefore + 2));
    for (int worker = 0; worker < 2; worker++) {
      StoredFile stored;
      std::string name = "day" + std::to_string(round) + "_" + std::to_string(worker);
      EXPECT_TRUE(server.GetFile(DB_CLASS_TRENDS, name, &stored)) << name;
      EXPECT_EQ(stored.bytes, std::string(2500, 'd'));
    }
    EXPECT_TRUE(WaitForReplicated(oldDay));
    EXPECT_TRUE(server.WaitForFrames(0x1005, static_cast<size_t>(2 * kAlertsPerWorker * (round + 1)),
                                     30000));
    ExpectPromptStop();  // with the server's event connection open and idle
    EXPECT_TRUE(events.ClosedByPeer(5000));
  }
  // Each worker's alerts arrived in its order, round after round.
  std::vector<std::vector<std::string>> received(2);
  for (const auto &alert : server.Alerts())
    if (alert.type == 1 || alert.type == 2) received[alert.type - 1].push_back(alert.data);
  for (auto &worker : received) {
    ASSERT_EQ(worker.size(), 3u * kAlertsPerWorker);
    for (int i = 0; i < 3 * kAlertsPerWorker; i++)
      EXPECT_EQ(worker[i], std::to_string(i / kAlertsPerWorker) + "/" +
                               std::to_string(i % kAlertsPerWorker));
  }
}

TEST_F(SoakTest, StopIsPromptInEveryState) {
  // Set up but never started.
  InitAgent(base.c_str(), "SOAK", "probe agent");
  ExpectPromptStop();

  // Started while the server refuses: the registration thread and the
  // alerter wait to retry.
  server.Refuse();
  InitAgent(base.c_str(), "SOAK", "probe agent");
  _DMWRegisterForEvent("comp", Component);
  EXPECT_EQ(StartAgent(), 1);
  EXPECT_EQ(_SendEvent(1, "waiting", 7), 0);
  ExpectPromptStop();

  // Registered and waiting its hour, with a request in progress.
  server.Resume();
  server.Answer(0x1006, trendserver::Reply{0, std::string(20, 's'), trendserver::Fault::Delay, 1500});
  InitAgent(base.c_str(), "SOAK", "probe agent");
  _DMWRegisterForEvent("comp", Component);
  EXPECT_EQ(StartAgent(), 1);
  ASSERT_TRUE(WaitFor(g_registered, 1));
  int slot = _DMWOpen(Globals().server, Globals().serverSocket);
  std::thread request([slot] { _DMWGetStatus(slot, nullptr, nullptr, nullptr, nullptr, nullptr); });
  ASSERT_TRUE(server.WaitForFrames(0x1006, 1, 5000));
  ExpectPromptStop();
  request.join();

  // Every thread that talks to the server waits on a slow answer, far
  // within the reply time-out.
  WriteFileBytes(base + kSep + "dmwagent.cfg",
                 "[AGENT]\nServerSocket=" + std::to_string(server.port()) +
                     "\nRcvTimeOut=30\nRetryDelay=1\n");
  server.ClearFrames();
  server.Answer(5, trendserver::Reply{0, "", trendserver::Fault::Delay, 20000});
  InitAgent(base.c_str(), "SOAK", "probe agent");
  _DMWRegisterForEvent("comp", Component);
  EXPECT_EQ(StartAgent(), 1);
  EXPECT_EQ(_SendEvent(1, "slow", 4), 0);
  ASSERT_TRUE(server.WaitForFrames(5, 1, 5000));
  ExpectPromptStop();
}

}  // namespace
