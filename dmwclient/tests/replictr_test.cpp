// The directory walk, and the trend replicator against the fake trend
// server's trend store: uploads with resume, which day files are deleted,
// retries, stops and LastRun.
#include "replictr.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "cini.h"
#include "classmgr.h"
#include "csched.h"
#include "dmwclnt.h"
#include "dmwfiles.h"
#include "globals.h"
#include "log.h"
#include "oswrap.h"
#include "scandir.h"
#include "testfiles.h"
#include "tmpmgr.h"
#include "trendserver.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using trendserver::Bytes;
using trendserver::Fault;
using trendserver::Reader;
using trendserver::Reply;
using trendserver::StoredFile;

constexpr unsigned kConnect = 5, kObjectRequest = 0x1003;
constexpr int kSeek = 0x1012;
constexpr xtime_t kDay = 86400;

// ---- the directory walk ---------------------------------------------------------

struct Walk {
  std::string top;
  std::set<std::string> reported;  // relative path, "/" for a directory's end
  int stopAfter = 0;               // set the stop byte after this many reports
};

void Collect(const char *path, const char *name, char *stop, int isDirectory, void *userData) {
  auto *walk = static_cast<Walk *>(userData);
  std::string relative = std::string(path).substr(walk->top.size() + 1);
  EXPECT_EQ(relative.substr(relative.size() - std::strlen(name)), name);
  walk->reported.insert(relative + (isDirectory ? "/" : ""));
  if (walk->stopAfter && static_cast<int>(walk->reported.size()) >= walk->stopAfter)
    SetStopByte(stop, 1);
}

TEST(ScanDir, ReportsWhatTheFlagsAskForAndSkipsDotNames) {
  ScratchDir scratch("scan_");
  const std::string top = scratch.path();
  fs::create_directories(top + kSep + "sub" + kSep + "deeper");
  fs::create_directories(top + kSep + ".hidden");
  for (const std::string &file : {std::string("a.dat"), std::string(".skip.dat"),
                                  "sub" + kSep + "b.dat", "sub" + kSep + "deeper" + kSep + "c.dat",
                                  ".hidden" + kSep + "d.dat"})
    WriteFileBytes(top + kSep + file, "x");
  const std::string b = "sub" + kSep + "b.dat", c = "sub" + kSep + "deeper" + kSep + "c.dat",
                    deeper = "sub" + kSep + "deeper/";
  struct Case {
    int flags;
    std::set<std::string> expected;
  } cases[] = {
      {SCAN_FILES, {"a.dat"}},
      {SCAN_RECURSE | SCAN_FILES, {"a.dat", b, c}},
      {SCAN_DIRECTORIES, {"sub/"}},
      {SCAN_RECURSE | SCAN_DIRECTORIES, {"sub/", deeper}},
      {SCAN_RECURSE | SCAN_FILES | SCAN_DIRECTORIES, {"a.dat", "sub/", b, deeper, c}},
  };
  for (const Case &test : cases) {
    SCOPED_TRACE(test.flags);
    char path[XPATH_MAX];
    std::snprintf(path, sizeof path, "%s", top.c_str());
    Walk walk{top, {}};
    char stop = 0;
    _ScanDir(path, sizeof path, Collect, &stop, &walk, test.flags);
    EXPECT_EQ(walk.reported, test.expected);
    EXPECT_EQ(std::string(path), top) << "the path is restored";
  }

  // The stop byte ends the walk; entries whose path would not fit are skipped.
  char path[XPATH_MAX];
  std::snprintf(path, sizeof path, "%s", top.c_str());
  Walk stopped{top, {}, 1};
  char stop = 0;
  _ScanDir(path, sizeof path, Collect, &stop, &stopped, SCAN_RECURSE | SCAN_FILES);
  EXPECT_EQ(stopped.reported.size(), 1u);
  Walk narrow{top, {}};
  stop = 0;
  _ScanDir(path, top.size() + 1 + 4, Collect, &stop, &narrow, SCAN_RECURSE | SCAN_FILES);
  EXPECT_TRUE(narrow.reported.empty()) << "no name of three characters or more fits";
  EXPECT_EQ(std::string(path), top);
}

// ---- the replicator ---------------------------------------------------------------

class ReplicatorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.listening());
    WriteFileBytes(base + kSep + "dmwagent.cfg",
                   "[AGENT]\nServerSocket=" + std::to_string(server.port()) +
                       "\nRcvTimeOut=2\nRetryDelay=1\nDebugLevel=9\nDBPath=" + base +
                       "\nCFGPath=" + base + "\n");
    LoadGlobals(base.c_str(), "REPLICA", "probe agent");
    LogLines::Clear();
    LogSetHook(LogLines::Record);
    ASSERT_EQ(ClassMgrInit(), 0);
    ASSERT_EQ(TmpMgrInit(), 0);
    ASSERT_EQ(ConnTableInit(), 0);
    ASSERT_EQ(SchedulerInit(), 0);
    ReplicatorInit();
  }
  void TearDown() override {
    ReplicatorDone();
    SchedulerStop();
    ConnTableDone();
    ClassMgrDone();
    TmpMgrDone();
    LogSetHook(nullptr);
    FreeGlobals();
  }
  std::string TrendPath(const std::string &relative) const {
    return base + kSep + "trends" + kSep + relative;
  }
  // A day file under the trend directory, last written at `date`.
  void PutDayFile(const std::string &relative, const std::string &bytes, xtime_t date) {
    fs::create_directories(fs::path(TrendPath(relative)).parent_path());
    WriteFileBytes(TrendPath(relative), bytes);
    _XSetFileTime(TrendPath(relative).c_str(), date);
  }
  // A run as the scheduler makes one: created, asked until it has finished,
  // freed. False when it did not finish in time.
  static bool RunOnce() {
    int id = _ObjCreate(1, kReplicatorClass, nullptr);
    if (id < 0) return false;
    int finished = 0;
    for (int i = 0; i < 2000 && !finished; i++) {
      int length = sizeof finished;
      _ObjRequest(id, 0, nullptr, &finished, &length);
      if (!finished) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    _ObjFree(id);
    return finished == 1;
  }
  int LastRun() const {
    IniFile *ini = _IniCreate((base + kSep + "dmwagent.cfg").c_str());
    int lastRun = _IniReadInt(ini, "schedule", "LastRun", -1);
    _IniClose(ini);
    return lastRun;
  }
  StoredFile Stored(const std::string &relative) const {
    StoredFile stored;
    EXPECT_TRUE(server.GetFile(DB_CLASS_TRENDS, relative, &stored)) << relative;
    return stored;
  }
  static xtime_t Now() { return static_cast<xtime_t>(std::time(nullptr)); }

  ScratchDir scratch{"replica_"};
  const std::string base = scratch.path();
  trendserver::FakeTrendServer server;
};

TEST_F(ReplicatorTest, UploadsEveryDayFileAndDeletesOnlyEarlierDays) {
  const std::string old = "cpu" + kSep + "20200101.tra", today = "cpu" + kSep + "today.tra",
                    other = "mem" + kSep + "today.tra";
  PutDayFile(old, Pattern(3000), Now() - 2 * kDay);
  PutDayFile(today, Pattern(2500), Now());
  PutDayFile(other, Pattern(10), Now());
  xtime_t before = Now();
  ASSERT_TRUE(RunOnce());
  EXPECT_EQ(Stored(old).bytes, Pattern(3000));
  EXPECT_EQ(Stored(today).bytes, Pattern(2500));
  EXPECT_EQ(Stored(other).bytes, Pattern(10));
  EXPECT_FALSE(FileExists(TrendPath(old).c_str())) << "an earlier day is deleted";
  EXPECT_TRUE(FileExists(TrendPath(today).c_str())) << "today's file is kept";
  EXPECT_GE(LastRun(), before) << "the run's start is the last run";
  EXPECT_LE(LastRun(), Now());
}

TEST_F(ReplicatorTest, CutUploadIsResumedToIdenticalBytes) {
  const std::string day = "net" + kSep + "today.tra";
  PutDayFile(day, Pattern(5000), Now() - 60);
  server.CutAfterFileBytes(2000);
  ASSERT_TRUE(RunOnce());  // the first pass fails at the cut, the next resumes
  EXPECT_EQ(Stored(day).bytes, Pattern(5000));
  EXPECT_EQ(LogLines::StartingWith("replictr: waiting before attempt 2"), 1u);
  bool resumed = false;
  for (const auto &frame : server.FramesOf(kObjectRequest)) {
    Reader body(frame.body);
    body.Int();
    if (body.Int() == kSeek) resumed = body.Int() == 2000;  // what the server kept
  }
  EXPECT_TRUE(resumed) << "the upload went on from the server's length";
}

TEST_F(ReplicatorTest, ServerDownMakesRetriesPlusOneAttemptsThenLastRun) {
  WriteFileBytes(ConfigFilePath("replictr"),
                 "schedule=15180|0|0|0|0\nRetries=2\nWaitBeforeRetry=1\n");
  ReplicatorConfigEvent(1, nullptr, -1);  // an event: the file stands, schedule it
  ASSERT_EQ(LogLines::StartingWith("replictr: scheduling replicator 15180|0|0|0|0"), 1u);
  PutDayFile("cpu" + kSep + "old.tra", "x", Now() - 2 * kDay);
  server.Refuse();
  ASSERT_TRUE(RunOnce());
  EXPECT_EQ(LogLines::StartingWith("replictr: can't connect to server"), 3u);
  EXPECT_EQ(LogLines::StartingWith("replictr: waiting before attempt"), 2u);
  EXPECT_TRUE(FileExists(TrendPath("cpu" + kSep + "old.tra").c_str())) << "kept for the next run";
  EXPECT_GT(LastRun(), 0);
}

TEST_F(ReplicatorTest, SchedulingFollowsTheConfigurationFile) {
  server.PutFile(DB_CLASS_CONFIG, "replictr", StoredFile{"schedule=15180|1|7f|0|0\n", 1500000000});
  int slot = _DMWOpen("127.0.0.1", server.port());
  ASSERT_EQ(_DMWConnectAgent(slot, "probe agent"), 0);
  int registered = 0;
  const std::string scheduling = "replictr: scheduling replicator ";

  WriteFileBytes(ConfigFilePath("replictr"), "Retries=1\n");
  ReplicatorConfigEvent(2, &registered, slot);
  EXPECT_EQ(LogLines::StartingWith(scheduling), 0u) << "no schedule: nothing scheduled";
  EXPECT_EQ(FileBytes(ConfigFilePath("replictr")), "Retries=1\n") << "status 0: file kept";

  std::remove(ConfigFilePath("replictr").c_str());
  ReplicatorConfigEvent(2, &registered, slot);
  EXPECT_EQ(FileBytes(ConfigFilePath("replictr")), "schedule=15180|1|7f|0|0\n") << "fetched";
  EXPECT_EQ(LogLines::StartingWith(scheduling), 1u);

  ReplicatorConfigEvent(2, &registered, slot);
  ReplicatorConfigEvent(0, &registered, 0);
  EXPECT_EQ(LogLines::StartingWith(scheduling), 1u) << "scheduled already, file kept";
  int changed = 1;
  ReplicatorConfigEvent(2, &changed, slot);
  EXPECT_EQ(LogLines::StartingWith(scheduling), 2u) << "fetched anew: the task is given the timing";
  _DMWClose(slot);
}

TEST_F(ReplicatorTest, StopIsSeenDuringAPassAndBetweenPasses) {
  PutDayFile("cpu" + kSep + "old.tra", "x", Now() - 2 * kDay);
  struct Case {
    const char *what;
    bool refuse;
  } cases[] = {{"waiting on the server's answer", false}, {"waiting before a retry", true}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    WriteFileBytes(ConfigFilePath("replictr"),
                   "schedule=15180|0|0|0|0\nRetries=5\nWaitBeforeRetry=60\n");
    ReplicatorConfigEvent(1, nullptr, -1);
    Globals().rcvTimeOutMs = 30000;
    if (c.refuse) server.Refuse();
    else server.Answer(kConnect, Reply{0, "", Fault::Delay, 20000});
    int id = _ObjCreate(1, kReplicatorClass, nullptr);
    ASSERT_GE(id, 0);
    if (c.refuse)
      for (int i = 0; i < 500 && !LogLines::StartingWith("replictr: waiting before attempt 2"); i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    else
      ASSERT_TRUE(server.WaitForFrames(kConnect, 1, 5000));
    auto start = Clock::now();
    _ObjFree(id);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
    EXPECT_TRUE(FileExists(TrendPath("cpu" + kSep + "old.tra").c_str()));
    server.Resume();
  }
}

#ifndef _WIN32
// A zone two minutes east of UTC: a file written a minute before UTC
// midnight belongs to the local day that began a minute before it.
class ReplicatorZoneTest : public ReplicatorTest {
 protected:
  void SetUp() override {
    const char *zone = std::getenv("TZ");
    savedZone = zone ? zone : "";
    hadZone = zone != nullptr;
    setenv("TZ", "XXX-0:02", 1);
    ReplicatorTest::SetUp();
  }
  void TearDown() override {
    ReplicatorTest::TearDown();
    if (hadZone)
      setenv("TZ", savedZone.c_str(), 1);
    else
      unsetenv("TZ");
  }
  std::string savedZone;
  bool hadZone = false;
};

TEST_F(ReplicatorZoneTest, FileOfTodaysLocalDateIsKeptThoughItsUtcDayIsEarlier) {
  xtime_t now = Now();
  if (now % kDay > kDay - 300) GTEST_SKIP() << "too close to the UTC day's end";
  xtime_t beforeUtcMidnight = now - now % kDay - 60;
  PutDayFile("cpu" + kSep + "today.tra", Pattern(100), beforeUtcMidnight);
  ASSERT_TRUE(RunOnce());
  EXPECT_EQ(Stored("cpu" + kSep + "today.tra").bytes, Pattern(100));
  EXPECT_TRUE(FileExists(TrendPath("cpu" + kSep + "today.tra").c_str()));
}
#endif

}  // namespace
