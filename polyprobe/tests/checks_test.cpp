#include <gtest/gtest.h>

#include <vector>

#include "checks.h"

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

}  // namespace
