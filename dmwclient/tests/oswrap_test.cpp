#include "oswrap.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <ctime>
#include <string>

namespace {

// Sets the C runtime's time zone for one test and puts the old one back.
class ZoneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char *old = std::getenv("TZ");
    hadZone = old != nullptr;
    if (old) oldZone = old;
  }
  void TearDown() override { SetZone(hadZone ? oldZone.c_str() : nullptr); }
  static void SetZone(const char *zone) {
#ifdef _WIN32
    _putenv((std::string("TZ=") + (zone ? zone : "")).c_str());
#else
    if (zone) setenv("TZ", zone, 1); else unsetenv("TZ");
#endif
  }
  bool hadZone = false;
  std::string oldZone;
};

TEST_F(ZoneTest, WireTimeIsLocalWallClockSeconds) {
  SetZone("EST5");
  EXPECT_EQ(_GetTimeZone(), 5 * 3600);
  EXPECT_EQ(_GetDayLight(), 0);
  EXPECT_EQ(ToWireTime(1000000), 1000000 - 5 * 3600);
  EXPECT_EQ(FromWireTime(1000000 - 5 * 3600), 1000000);
  EXPECT_EQ(FromWireTime(0), 0) << "no time stays no time";
  SetZone("CET-1CEST");
  EXPECT_EQ(_GetTimeZone(), -3600);
  EXPECT_NE(_GetDayLight(), 0);
  EXPECT_EQ(ToWireTime(1000000), 1000000 + 3600);
}

TEST_F(ZoneTest, DecodeThenEncodeGivesTheSameTime) {
  SetZone("EST5");
  DmwTime record;
  ASSERT_EQ(_DmwDecodeTime(86400 * 365, &record), &record);
  // 1 January 1971, 00:00 UTC is 31 December 1970, 19:00 in EST.
  EXPECT_EQ(record.Year, 70);
  EXPECT_EQ(record.Month, 11);
  EXPECT_EQ(record.DayOfMonth, 31);
  EXPECT_EQ(record.Hours, 19);
  EXPECT_EQ(record.WeekDay, 4);
  EXPECT_EQ(record.YearDay, 364);
  EXPECT_EQ(_DmwEncodeTime(&record), 86400 * 365);
  for (xtime_t t : {xtime_t{1234567890}, xtime_t{2000000000}, xtime_t{86400}})
    EXPECT_EQ(_DmwEncodeTime(_DmwDecodeTime(t, &record)), t) << t;
}

TEST(Semaphores, LockAndWakeUpMeanings) {
  Sem *lock = SemCreate(1);
  ASSERT_NE(lock, nullptr);
  EXPECT_EQ(SemWait(lock), 0);
  EXPECT_EQ(SemWaitTimeout(lock, 20), -1);
  SemRelease(lock);
  EXPECT_EQ(SemWaitTimeout(lock, 20), 0);
  SemClose(lock);

  Sem *wake = SemCreate(0);
  ASSERT_NE(wake, nullptr);
  EXPECT_EQ(SemWaitTimeout(wake, 20), -1);
  SemRelease(wake);
  SemRelease(wake);  // beyond the maximum of one: refused
  EXPECT_EQ(SemWaitTimeout(wake, 20), 0);
  EXPECT_EQ(SemWaitTimeout(wake, 20), -1);
  SemClose(wake);
}

TEST(Threads, StartThreadRunsTheFunction) {
  static std::atomic<int> ran{0};
  static int seven = 7;
  os::Thread *thread =
      StartThread([](void *arg) { ran = *static_cast<int *>(arg); }, 8192, &seven);
  ASSERT_NE(thread, nullptr);
  EXPECT_TRUE(os::ThreadJoin(thread));
  EXPECT_EQ(ran.load(), 7);
}

TEST(Threads, EndThreadEndsTheThreadWhereItIsCalled) {
  static std::atomic<int> before{0}, after{0};
  os::Thread *thread = StartThread(
      [](void *) {
        before = 1;
        EndThread();
        after = 1;  // never reached
      },
      8192, nullptr);
  ASSERT_NE(thread, nullptr);
  EXPECT_TRUE(os::ThreadJoin(thread));
  EXPECT_EQ(before.load(), 1);
  EXPECT_EQ(after.load(), 0);
}

}  // namespace
