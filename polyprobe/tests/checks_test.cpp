#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include <string>
#include <vector>

#include "checks.h"
#include "held_list.h"

namespace {

struct CheckCase {
  const char *name;
  int samples;
  bool checkMode;
  std::vector<int> recorded;  // ms, -1 failed
  int average;
  int loss;
  int status;
};

class Cycles : public testing::TestWithParam<CheckCase> {};

// Average and loss count only the samples the cycle wrote: never zeros of a
// fresh buffer, never entries of an earlier cycle.
TEST_P(Cycles, AverageAndLossOfTheLastCycle) {
  const CheckCase &c = GetParam();
  CheckItem *check = CheckNew("127.0.0.1", "Web", nullptr, 1000, 250, c.samples, false);
  ASSERT_NE(check, nullptr);
  uint32_t tick = 5000;
  for (int ms : c.recorded)
    CheckRecordSample(check, ms, tick += 100, ms == -1 ? 241 : 1, nullptr, 0, c.checkMode);
  EXPECT_EQ(check->average, c.average);
  EXPECT_EQ(check->loss, c.loss);
  EXPECT_EQ(check->status, c.status);
  EXPECT_EQ(check->lastCompletion, tick);
  CheckFree(check);
}

void PrintTo(const CheckCase &c, std::ostream *out) { *out << c.name; }

INSTANTIATE_TEST_SUITE_P(
    Checks, Cycles,
    testing::Values(CheckCase{"two of five failed", 5, false, {10, -1, 20, -1, 30}, 20, 40, 1},
                    CheckCase{"all failed", 2, false, {-1, -1}, -1, 100, 241},
                    CheckCase{"second cycle alone", 2, false, {100, 100, 10, -1}, 10, 50, 1},
                    CheckCase{"check mode ends at the first good", 5, true, {-1, 30}, 30, 50, 1},
                    CheckCase{"check mode, later cycles of one", 5, true, {40, -1}, -1, 100, 241}),
    [](const testing::TestParamInfo<CheckCase> &info) { return "Case" + std::to_string(info.index); });

TEST(Checks, WorkingCopiesKeepTheIdButTakeOneFromTheCounter) {
  CheckItem *first = CheckNew("h", "p", nullptr, 1000, 250, 1, false);
  EXPECT_GE(first->id, 1289);
  CheckItem *copy = CheckCopy(first);
  EXPECT_EQ(copy->id, first->id);
  CheckItem *next = CheckNew("h", "p", nullptr, 1000, 250, 1, false);
  EXPECT_EQ(next->id, first->id + 2);
  CheckFree(first);
  CheckFree(copy);
  CheckFree(next);
}

TEST(Checks, AStoredReplyIsItsCountAndBytes) {
  CheckItem *check = CheckNew("h", "p", nullptr, 1000, 250, 1, true);
  const unsigned char bytes[] = {'o', 'k'};
  CheckRecordSample(check, 5, 1, 1, bytes, 2, false);
  Collection *items = LockedListLock(check->replies);
  ASSERT_EQ(items->Count, 1);
  EXPECT_EQ(std::string(static_cast<const char *>(_Co_Get(items, 0)), 6), std::string("\2\0\0\0ok", 6));
  LockedListUnlock(check->replies);
  CheckFree(check);
}

std::vector<std::string> Replies(CheckItem *check) {
  std::vector<std::string> replies;
  ListGuard guard(check->replies);
  for (int i = 0; i < guard.items->Count; ++i)
    replies.emplace_back(static_cast<const char *>(_Co_Get(guard.items, i)) + 4);
  return replies;
}

int HeldWrites(CheckItem *check) { return check->heldWrites ? check->heldWrites->Count : 0; }

void Record(CheckItem *check, const std::string &reply) {
  CheckRecordSample(check, 5, 1, 1, reinterpret_cast<const unsigned char *>(reply.data()),
                    static_cast<int>(reply.size()), false);
}

// A writer that adds the bytes as one more text entry.
void AppendEntry(CheckItem *, Collection *replies, const unsigned char *data, int length) {
  auto *entry = static_cast<char *>(std::calloc(static_cast<size_t>(length) + 5, 1));
  std::memcpy(entry + 4, data, static_cast<size_t>(length));
  _Co_Add(replies, entry);
}

void Append(CheckItem *check, const std::string &text) {
  CheckWriteReplies(check, AppendEntry, reinterpret_cast<const unsigned char *>(text.data()),
                    static_cast<int>(text.size()));
}

TEST(Checks, AReplyToAHeldListWaitsWithTheCheckUntilTheListIsFree) {
  CheckItem *check = CheckNew("h", "p", nullptr, 1000, 250, 1, true);
  Record(check, "first");
  {
    HeldList host(check->replies);
    Record(check, "second");  // returns at once: nothing waits for the host
    EXPECT_EQ(HeldWrites(check), 1);
    Record(check, "third");
    EXPECT_EQ(HeldWrites(check), 1) << "a reply replaces a kept one";
    CheckFlushReplies(check);
    EXPECT_EQ(HeldWrites(check), 1) << "still held";
  }
  EXPECT_EQ(Replies(check), std::vector<std::string>{"first"});
  CheckFlushReplies(check);
  EXPECT_EQ(HeldWrites(check), 0);
  EXPECT_EQ(Replies(check), std::vector<std::string>{"third"});
  CheckFree(check);
}

TEST(Checks, KeptWritesAreMadeInTheirOrder) {
  CheckItem *check = CheckNew("h", "p", nullptr, 1000, 250, 1, true);
  {
    HeldList host(check->replies);
    Append(check, "a");
    Append(check, "b");
    EXPECT_EQ(HeldWrites(check), 2);
  }
  Append(check, "c");  // the list is free: the kept ones go first
  EXPECT_EQ(HeldWrites(check), 0);
  EXPECT_EQ(Replies(check), (std::vector<std::string>{"a", "b", "c"}));
  {
    HeldList host(check->replies);
    Append(check, "d");
  }
  CheckFree(check);  // a kept write goes with its check
}

}  // namespace
