#include "csched.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>
#include <thread>

#include "classmgr.h"

namespace {

using namespace std::chrono_literals;

constexpr xtime_t kDay = 86400;
constexpr xtime_t kMonday = 20000 * kDay;  // the start of some day

ScheduledTask Timing(const char *text, xtime_t lastRun) {
  ScheduledTask task{};
  EXPECT_EQ(_Str2TaskInfo(text, &task), 5) << text;
  task.LastRun = lastRun;
  return task;
}

TEST(TaskIsDue, Rule) {
  struct Case {
    const char *what;
    const char *timing;  // start|minimum days|weekday mask|repeat|end
    xtime_t lastRun;
    xtime_t now;
    int weekday;
    bool due;
  } cases[] = {
      {"never run, whole day", "0|0|7f|0|15180", 0, kMonday + 10, 1, true},
      {"ran today, no repeat", "0|0|7f|0|15180", kMonday + 10, kMonday + 5000, 1, false},
      {"ran yesterday", "0|0|7f|0|15180", kMonday - 100, kMonday + 5, 1, true},
      {"ran yesterday, weekday not allowed", "0|0|3e|0|15180", kMonday - 100, kMonday + 5, 0,
       false},
      {"weekday 6 allowed", "0|0|40|0|15180", kMonday - 100, kMonday + 5, 6, true},
      {"one day between needed, none", "0|1|7f|0|15180", kMonday - 100, kMonday + 5, 1, false},
      {"one day between needed, two", "0|1|7f|0|15180", kMonday - kDay - 100, kMonday + 5, 1,
       true},
      {"before the start, never run", "e10|0|7f|0|15180", 0, kMonday + 1800, 1, false},
      {"at the start, never run", "e10|0|7f|0|15180", 0, kMonday + 3600, 1, true},
      {"before the start, ran yesterday", "e10|0|7f|0|15180", kMonday - 100, kMonday + 3599, 1,
       false},
      {"past the end, never run", "0|0|7f|0|e10", 0, kMonday + 3601, 1, false},
      {"past the end, ran earlier today", "0|0|7f|1|e10", kMonday + 100, kMonday + 3700, 1,
       false},
      {"next day ignores the end", "0|0|7f|0|e10", kMonday - kDay + 100, kMonday + 3700, 1, true},
      {"repeat 60: 59 minutes later", "0|0|7f|3c|15180", kMonday + 3600, kMonday + 7199, 1,
       false},
      {"repeat 60: 60 minutes later", "0|0|7f|3c|15180", kMonday + 3600, kMonday + 7200, 1, true},
      {"repeat 60, never run, minute 30", "0|0|7f|3c|15180", 0, kMonday + 1800, 1, false},
      {"repeat 60, never run, minute 60", "0|0|7f|3c|15180", 0, kMonday + 3600, 1, true},
      {"last run on a later day", "0|0|7f|0|15180", kMonday + kDay + 5, kMonday + 10, 1, false},
  };
  for (const Case &c : cases) {
    ScheduledTask task = Timing(c.timing, c.lastRun);
    EXPECT_EQ(TaskIsDue(&task, c.now, c.weekday), c.due) << c.what;
  }
}

TEST(TaskInfoText, WrittenAndParsed) {
  ScheduledTask task{};
  task.Start = 3600;
  task.WeekdayMask = 62;
  char text[TASK_INFO_TEXT_MAX];
  EXPECT_EQ(_TaskInfo2Str(&task, text), text);
  EXPECT_STREQ(text, "e10|0|3e|0|0");

  task = ScheduledTask{};
  task.Start = task.MinDays = task.WeekdayMask = task.Repeat = task.End = 0xFFFFFFFF;
  EXPECT_STREQ(_TaskInfo2Str(&task, text), "ffffffff|ffffffff|ffffffff|ffffffff|ffffffff");
  EXPECT_EQ(std::strlen(text) + 1, size_t{TASK_INFO_TEXT_MAX});

  ScheduledTask parsed{};
  EXPECT_EQ(_Str2TaskInfo("1E|2|7f|3c|15180", &parsed), 5);
  EXPECT_EQ(parsed.Start, 0x1Eu);
  EXPECT_EQ(parsed.MinDays, 2u);
  EXPECT_EQ(parsed.WeekdayMask, 0x7Fu);
  EXPECT_EQ(parsed.Repeat, 60u);
  EXPECT_EQ(parsed.End, 86400u);
}

TEST(TaskInfoText, UnmatchedFieldsStay) {
  struct Case {
    const char *text;
    int matched;
    uint32_t start, minDays, mask;
  } cases[] = {
      {"10|2", 2, 0x10, 2, 9},
      {"", 0, 9, 9, 9},
      {"zz|1", 0, 9, 9, 9},
      {"5,6", 1, 5, 9, 9},
  };
  for (const Case &c : cases) {
    ScheduledTask task{};
    task.Start = task.MinDays = task.WeekdayMask = task.Repeat = task.End = 9;
    EXPECT_EQ(_Str2TaskInfo(c.text, &task), c.matched) << c.text;
    EXPECT_EQ(task.Start, c.start) << c.text;
    EXPECT_EQ(task.MinDays, c.minDays) << c.text;
    EXPECT_EQ(task.WeekdayMask, c.mask) << c.text;
    EXPECT_EQ(task.End, 9u) << c.text;
  }
  EXPECT_EQ(_Str2TaskInfo(nullptr, nullptr), 0);
}

// The work objects the scheduler creates in the tests.
struct Work {
  std::mutex mutex;
  int created = 0;
  int freed = 0;
  bool finished = false;  // what a running object answers
  std::string name;       // the task record's, seen by create
  xtime_t lastRun = -1;
  int group = -1;
};
Work *gWork;

void *CreateWork(int id, void *argument) {
  const ScheduledTask *task = static_cast<const ScheduledTask *>(argument);
  std::lock_guard<std::mutex> hold(gWork->mutex);
  gWork->created++;
  gWork->name = task->Name ? task->Name : "";
  gWork->lastRun = task->LastRun;
  gWork->group = id >> 16;
  return gWork;
}

int RequestWork(void *data, int method, void *, void *buffer, int *length) {
  Work *work = static_cast<Work *>(data);
  if (method == 0 && buffer && length && *length == 4) {
    std::lock_guard<std::mutex> hold(work->mutex);
    int answer = work->finished ? 1 : 0;
    std::memcpy(buffer, &answer, 4);
  }
  return 0;
}

void FreeWork(void *data) {
  Work *work = static_cast<Work *>(data);
  std::lock_guard<std::mutex> hold(work->mutex);
  work->freed++;
}

const ClassCallbacks kWorkClass = {CreateWork, RequestWork, FreeWork};
constexpr uint32_t kWorkTag = 0x2020;
constexpr char kEveryDay[] = "0|0|7f|0|15180";
constexpr char kNever[] = "15180|0|7f|0|15180";  // starts at the end of the day

class SchedulerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gWork = &work;
    ASSERT_EQ(ClassMgrInit(), 0);
    ASSERT_EQ(_cmRegisterClass(kWorkTag, &kWorkClass), 1);
    ASSERT_EQ(SchedulerInit(), 0);
  }
  void TearDown() override {
    SchedulerStop();
    ClassMgrDone();
    gWork = nullptr;
  }
  // Waits (bounded) until the condition on the work holds.
  template <typename Condition>
  bool Eventually(Condition condition, std::chrono::milliseconds limit = 10s) {
    for (auto end = std::chrono::steady_clock::now() + limit;
         std::chrono::steady_clock::now() < end; std::this_thread::sleep_for(20ms)) {
      std::lock_guard<std::mutex> hold(work.mutex);
      if (condition(work)) return true;
    }
    return false;
  }
  int Created() {
    std::lock_guard<std::mutex> hold(work.mutex);
    return work.created;
  }
  int Freed() {
    std::lock_guard<std::mutex> hold(work.mutex);
    return work.freed;
  }
  // Runs of one day are counted from the time value: a test that expects
  // no second run waits until a day's end is not within reach.
  static void AwayFromTheDayEnd() {
    xtime_t left = kDay - static_cast<xtime_t>(std::time(nullptr)) % kDay;
    if (left < 10) std::this_thread::sleep_for(std::chrono::seconds(left + 1));
  }
  Work work;
};

TEST_F(SchedulerTest, DueTaskRunsUntilItsObjectHasFinished) {
  AwayFromTheDayEnd();
  xtime_t future = static_cast<xtime_t>(std::time(nullptr)) + 3600;
  int handle = _ScheduleInternalWork(kWorkTag, "Nightly", future, kEveryDay, nullptr);
  EXPECT_EQ(handle, 1);
  ASSERT_TRUE(Eventually([](Work &w) { return w.created == 1; }));
  {
    std::lock_guard<std::mutex> hold(work.mutex);
    EXPECT_EQ(work.name, "Nightly");
    EXPECT_EQ(work.lastRun, 0);  // a last run in the future counts as never
    EXPECT_EQ(work.group, 0);
  }
  std::this_thread::sleep_for(1500ms);  // asked at least once: still running
  EXPECT_EQ(Freed(), 0);
  {
    std::lock_guard<std::mutex> hold(work.mutex);
    work.finished = true;
  }
  ASSERT_TRUE(Eventually([](Work &w) { return w.freed == 1; }));
  std::this_thread::sleep_for(1500ms);  // ran today, no repeat: not again
  EXPECT_EQ(Created(), 1);
}

TEST_F(SchedulerTest, RemovingATaskFreesItsRunningObject) {
  int handle = _ScheduleInternalWork(kWorkTag, "job", 0, kEveryDay, std::malloc(16));
  ASSERT_TRUE(Eventually([](Work &w) { return w.created == 1; }));
  _RemoveScheduledTask(handle);
  EXPECT_EQ(Freed(), 1);
  _RemoveScheduledTask(handle);
  EXPECT_EQ(UpdateScheduledTask(handle, kEveryDay), -1);
}

TEST_F(SchedulerTest, StopFreesRunningObjects) {
  _ScheduleInternalWork(kWorkTag, nullptr, 0, kEveryDay, nullptr);
  ASSERT_TRUE(Eventually([](Work &w) { return w.created == 1; }));
  SchedulerStop();
  EXPECT_EQ(Freed(), 1);
  EXPECT_EQ(_ScheduleInternalWork(kWorkTag, "late", 0, kEveryDay, std::malloc(4)), 0);
}

TEST_F(SchedulerTest, HandlesAreSlotsAndFreedOnesAreReused) {
  EXPECT_EQ(_ScheduleInternalWork(kWorkTag, "Job", 0, kNever, std::malloc(8)), 1);
  EXPECT_EQ(_ScheduleInternalWork(kWorkTag, "other", 0, kNever, nullptr), 2);
  EXPECT_EQ(_ScheduleInternalWork(kWorkTag, "JOB", 0, kNever, nullptr), 3);
  _RemoveScheduledTaskByName("job");
  _RemoveScheduledTaskByName(nullptr);
  EXPECT_EQ(UpdateScheduledTask(1, kEveryDay), -1);
  EXPECT_EQ(UpdateScheduledTask(3, kEveryDay), -1);
  EXPECT_EQ(UpdateScheduledTask(2, "15180|1"), 2);
  EXPECT_EQ(_ScheduleInternalWork(kWorkTag, "new", 0, kNever, nullptr), 1);
  EXPECT_EQ(_ScheduleInternalWork(kWorkTag, "newer", 0, kNever, nullptr), 3);
  EXPECT_EQ(_ScheduleInternalWork(kWorkTag, "newest", 0, kNever, nullptr), 4);
  std::this_thread::sleep_for(1200ms);
  EXPECT_EQ(Created(), 0);
}

TEST_F(SchedulerTest, NewTimingMakesATaskDue) {
  int handle = _ScheduleInternalWork(kWorkTag, "late", 0, kNever, nullptr);
  std::this_thread::sleep_for(1200ms);
  EXPECT_EQ(Created(), 0);
  EXPECT_EQ(UpdateScheduledTask(handle, kEveryDay), 5);
  EXPECT_TRUE(Eventually([](Work &w) { return w.created == 1; }));
}

TEST_F(SchedulerTest, UnknownClassIsTriedAgainLater) {
  _ScheduleInternalWork(0x4040, "lost", 0, kEveryDay, nullptr);
  std::this_thread::sleep_for(1200ms);
  ASSERT_EQ(_cmRegisterClass(0x4040, &kWorkClass), 1);
  EXPECT_TRUE(Eventually([](Work &w) { return w.created == 1; }));
}

TEST_F(SchedulerTest, RepeatedSetUpAndStopWithWorkRunning) {
  for (int cycle = 1; cycle <= 10; cycle++) {
    EXPECT_EQ(_ScheduleInternalWork(kWorkTag, "cycle", 0, kEveryDay, std::malloc(32)), 1);
    ASSERT_TRUE(Eventually([cycle](Work &w) { return w.created == cycle; })) << cycle;
    SchedulerStop();
    EXPECT_EQ(Freed(), cycle);
    ASSERT_EQ(SchedulerInit(), 0);
  }
}

TEST(SchedulerNotSetUp, CallsAreInert) {
  EXPECT_EQ(_ScheduleInternalWork(kWorkTag, "x", 0, kEveryDay, std::malloc(4)), 0);
  _RemoveScheduledTask(1);
  _RemoveScheduledTaskByName("x");
  EXPECT_EQ(UpdateScheduledTask(1, kEveryDay), -1);
  SchedulerStop();
}

}  // namespace
