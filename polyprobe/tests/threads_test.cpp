#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "log_capture.h"
#include "threads.h"

namespace {

class ThreadTable : public testing::Test {
 protected:
  void SetUp() override { ThreadTableInit(); }
  void TearDown() override { EXPECT_NE(ThreadTableDone(), 0); }
};

struct Gate {
  os::Semaphore *open = ThreadSemCreate(0);
  std::atomic<int> passed{0};
  ~Gate() { ThreadSemClose(open); }
};

void WaitAtGate(void *argument) {
  auto *gate = static_cast<Gate *>(argument);
  ThreadSemWait(gate->open);
  ++gate->passed;
}

TEST_F(ThreadTable, CallerIsTheMainProgramThreadAndStartedThreadsAreEntered) {
  EXPECT_EQ(ThreadState(ThreadCurrentId()), 1);
  Gate gate;
  os::Thread *handle = nullptr;
  uint32_t id = ThreadStart(WaitAtGate, 0, &gate, &handle);
  ASSERT_NE(id, 0u);
  // The thread shows as waiting while it waits, and leaves the table at its end.
  while (ThreadState(id) != 2) os::SleepMs(1);
  ThreadSemRelease(gate.open);
  os::ThreadJoin(handle);
  EXPECT_EQ(ThreadState(id), 0);
  EXPECT_EQ(gate.passed.load(), 1);
}

TEST_F(ThreadTable, AFullTableLogsAndTheThreadStillRuns) {
  LogCapture log(2);
  Gate gate;
  std::vector<os::Thread *> threads;
  // The main program thread holds one of the 256 entries.
  for (int i = 0; i < kThreadTableSize; ++i) {
    os::Thread *handle = nullptr;
    ASSERT_NE(ThreadStart(WaitAtGate, 0, &gate, &handle), 0u);
    threads.push_back(handle);
  }
  EXPECT_TRUE(log.Contains("ThreadTable: No more place for threads\n", 3));
  // One release at a time: a semaphore counts to 100 at most.
  for (int i = 0; i < kThreadTableSize; ++i) {
    ThreadSemRelease(gate.open);
    while (gate.passed.load() <= i) os::SleepMs(1);
  }
  for (os::Thread *handle : threads) os::ThreadJoin(handle);
  EXPECT_EQ(gate.passed.load(), kThreadTableSize);
}

TEST_F(ThreadTable, NamingAThreadOutsideTheTableIsRefused) {
  LogCapture log;
  char *name = static_cast<char *>(std::malloc(5));
  std::strcpy(name, "none");
  EXPECT_EQ(ThreadSetName(12345678, name), 0);
  EXPECT_TRUE(log.Contains("non-existing thread(12345678)", 0));
}

int g_released = 0;
void CountRelease(void *value) {
  ++g_released;
  std::free(value);
}

TEST_F(ThreadTable, ThreadSpecificDataIsKeptPerThreadAndReleasedWhenReplaced) {
  g_released = 0;
  TSD_Set("Counter", std::malloc(4), CountRelease);
  void *second = std::malloc(4);
  TSD_Set("COUNTER", second, CountRelease);
  EXPECT_EQ(g_released, 1);
  EXPECT_EQ(TSD_Get("counter"), second);
  EXPECT_EQ(TSD_Get("other"), nullptr);
  void *seen = reinterpret_cast<void *>(1);
  os::Thread *handle = nullptr;
  ThreadStart([](void *out) { *static_cast<void **>(out) = TSD_Get("Counter"); }, 0, &seen, &handle);
  os::ThreadJoin(handle);
  EXPECT_EQ(seen, nullptr);  // another thread has its own data
  // Values go with the table.
  EXPECT_NE(ThreadTableDone(), 0);
  EXPECT_EQ(g_released, 2);
  ThreadTableInit();
}

TEST_F(ThreadTable, TheStateDumpNamesEachThreadAndWhatItWaitsOn) {
  Gate gate;
  os::Thread *handle = nullptr;
  uint32_t id = ThreadStart(WaitAtGate, 0, &gate, &handle);
  while (ThreadState(id) != 2) os::SleepMs(1);
  ASSERT_NE(ThreadWaitingSemaphore(id), nullptr);
  {
    LogCapture log;
    ThreadStateDump();
    EXPECT_TRUE(log.Contains("Current state of program threads:\n", 0));
    EXPECT_TRUE(log.Contains("(\"Main program thread\") is running. \n", 0));
    EXPECT_TRUE(log.Contains("Thread " + std::to_string(id) + " is waiting on semaphore ", 0));
  }
  ThreadSemRelease(gate.open);
  os::ThreadJoin(handle);
  EXPECT_EQ(ThreadWaitingSemaphore(id), nullptr);
}

struct LockRace {
  LockedList *list;
  std::atomic<bool> holding{false};
  std::atomic<bool> secondGotIt{false};
};

void TakeListOnce(void *argument) {
  auto *race = static_cast<LockRace *>(argument);
  Collection *items = LockedListLock(race->list);
  race->secondGotIt = items != nullptr && !race->holding;
  LockedListUnlock(race->list);
}

TEST_F(ThreadTable, ARecursiveLockTakenTwiceIsFreeAfterTwoReleases) {
  LockRace race{LockedListCreate(1, 1, nullptr)};
  ASSERT_NE(race.list, nullptr);
  ASSERT_NE(LockedListLock(race.list), nullptr);
  ASSERT_NE(LockedListLock(race.list), nullptr);
  race.holding = true;
  os::Thread *handle = nullptr;
  ASSERT_NE(ThreadStart(TakeListOnce, 0, &race, &handle), 0u);
  os::SleepMs(50);
  LockedListUnlock(race.list);
  os::SleepMs(20);
  EXPECT_FALSE(race.secondGotIt.load());  // still held once
  race.holding = false;
  LockedListUnlock(race.list);
  os::ThreadJoin(handle);
  EXPECT_TRUE(race.secondGotIt.load());
  LockedListFree(race.list);
}

void TryTheList(void *argument) {
  auto *race = static_cast<LockRace *>(argument);
  Collection *items = LockedListTryLock(race->list);
  race->secondGotIt = items != nullptr;
  if (items) LockedListUnlock(race->list);
}

TEST_F(ThreadTable, ATryOfAListNeverWaits) {
  LockRace race{LockedListCreate(1, 1, nullptr)};
  ASSERT_NE(race.list, nullptr);
  ASSERT_NE(LockedListTryLock(race.list), nullptr) << "free";
  ASSERT_NE(LockedListTryLock(race.list), nullptr) << "its owner takes it again";
  os::Thread *handle = nullptr;
  ASSERT_NE(ThreadStart(TryTheList, 0, &race, &handle), 0u);
  os::ThreadJoin(handle);
  EXPECT_FALSE(race.secondGotIt.load()) << "held by another thread";
  LockedListUnlock(race.list);
  LockedListUnlock(race.list);
  ASSERT_NE(ThreadStart(TryTheList, 0, &race, &handle), 0u);
  os::ThreadJoin(handle);
  EXPECT_TRUE(race.secondGotIt.load()) << "free again";
  LockedListFree(race.list);
  EXPECT_EQ(LockedListTryLock(nullptr), nullptr);
}

}  // namespace
