#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "jobserver.h"
#include "netsys.h"
#include "resolver.h"

namespace {

class JobServerTest : public testing::Test {
 protected:
  void SetUp() override { ThreadTableInit(); }
  void TearDown() override { ThreadTableDone(); }
};

int *Number(int value) {
  auto *item = static_cast<int *>(std::malloc(sizeof(int)));
  *item = value;
  return item;
}

TEST_F(JobServerTest, TheQueueGivesTheOldestItemFirstAndRefusesWhenFull) {
  BlockingQueue *queue = QueueCreate(2, false, nullptr);
  ASSERT_NE(queue, nullptr);
  int *first = Number(1), *second = Number(2), *third = Number(3);
  EXPECT_EQ(QueuePut(queue, first), 1);
  EXPECT_EQ(QueuePut(queue, second), 1);
  EXPECT_EQ(QueuePutNoWait(queue, third), 0);
  EXPECT_EQ(QueueGet(queue), first);
  EXPECT_EQ(QueueGet(queue), second);
  std::free(first);
  std::free(second);
  std::free(third);
  QueueFree(queue);
}

// A put refused by a closed queue gives its space back: the next put is
// refused at once instead of waiting for space that never comes.
TEST_F(JobServerTest, ARefusedPutGivesItsSpaceBack) {
  BlockingQueue *queue = QueueCreate(1, false, nullptr);
  ASSERT_NE(queue, nullptr);
  int *last = Number(0), *late = Number(1);
  ASSERT_EQ(QueueClose(queue, last), 1);
  EXPECT_EQ(QueueGet(queue), last);
  EXPECT_EQ(QueuePut(queue, late), 0);
  std::atomic<int> answer{-1};
  std::thread second([&] { answer = QueuePut(queue, late); });
  for (int waited = 0; waited < 3000 && answer.load() < 0; waited += 10) os::SleepMs(10);
  EXPECT_EQ(answer.load(), 0) << "the second put waits for space";
  if (answer.load() < 0) ThreadSemRelease(queue->spaceUnits);  // lets a stuck put end
  second.join();
  std::free(last);
  std::free(late);
  QueueFree(queue);
}

struct Counters {
  std::atomic<int> running{0};
  std::atomic<int> most{0};
  std::atomic<int> done{0};
};

void CountedJob(void *argument) {
  auto *counters = static_cast<Counters *>(argument);
  int now = ++counters->running;
  int most = counters->most.load();
  while (now > most && !counters->most.compare_exchange_weak(most, now)) {
  }
  os::SleepMs(30);
  --counters->running;
  ++counters->done;
}

TEST_F(JobServerTest, RunsEveryQueuedJobAtMostThreeAtATime) {
  JobServer *server = JobServerCreate(3, 100);
  ASSERT_NE(server, nullptr);
  Counters counters;
  for (int i = 0; i < 10; ++i) ASSERT_EQ(JobServerSubmit(server, CountedJob, &counters), 1);
  EXPECT_EQ(JobServerFree(server), 1);  // returns once every job has run
  EXPECT_EQ(counters.done.load(), 10);
  EXPECT_LE(counters.most.load(), 3);
  EXPECT_GE(counters.most.load(), 1);
}

class ResolverTest : public JobServerTest {
 protected:
  void SetUp() override {
    JobServerTest::SetUp();
    resolver = ResolverCreate(100, 3);
    ASSERT_NE(resolver, nullptr);
  }
  void TearDown() override {
    ResolverFree(resolver);
    JobServerTest::TearDown();
  }
  Resolver *resolver = nullptr;
};

TEST_F(ResolverTest, DottedAddressesAreCopiedAndNamesLookedUp) {
  char out[32];
  EXPECT_STREQ(ResolveHostText(resolver, out, "10.1.2.3", sizeof out), "10.1.2.3");
  EXPECT_STREQ(ResolveHostText(resolver, out, "localhost", sizeof out), "127.0.0.1");
  // The second lookup of a name is answered from the cache.
  HostEntry *entry = ResolverLookupName(resolver, "LOCALHOST", 1);
  ASSERT_NE(entry, nullptr);
  ASSERT_NE(entry->addresses[0], nullptr);
  EXPECT_EQ(entry->addressLength, 4);
  HostEntryFree(entry);
  const unsigned char loopbackAddress[4] = {127, 0, 0, 1};
  entry = ResolverLookupAddress(resolver, loopbackAddress, AF_INET, 1);
  ASSERT_NE(entry, nullptr);
  EXPECT_NE(entry->name, nullptr);
  HostEntryFree(entry);
}

TEST_F(ResolverTest, AnUnknownNameGivesNothing) {
  char out[32] = "untouched";
  EXPECT_EQ(ResolveHostText(resolver, out, "no-such-host.invalid", sizeof out), nullptr);
  unsigned char address[4] = {127, 0, 0, 1};
  EXPECT_EQ(ResolverLookupAddress(resolver, address, 23, 1), nullptr);  // not IPv4
}

TEST_F(ResolverTest, TheTextIsAlwaysTerminated) {
  char out[8];
  std::memset(out, 'X', sizeof out);
  ASSERT_NE(ResolveHostText(resolver, out, "10.1.2.3", 4), nullptr);
  EXPECT_STREQ(out, "10.");
  std::memset(out, 'X', sizeof out);
  ASSERT_NE(ResolveHostText(resolver, out, "localhost", 5), nullptr);
  EXPECT_STREQ(out, "127.");
}

}  // namespace
