#include "trendfile.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <future>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "globals.h"
#include "testfiles.h"
#include "trenddecoder.h"

namespace {

namespace fs = std::filesystem;

std::vector<uint32_t> EmptyDay() { return std::vector<uint32_t>(1440, kEmpty); }

std::string TodaysFileName() {
  char name[32];
  TrendFileName(name, sizeof name, static_cast<xtime_t>(std::time(nullptr)));
  return name;
}

class TrendFileTest : public ::testing::Test {
 protected:
  void SetUp() override { InitClientGlobals(base.c_str(), "HOST"); }
  void TearDown() override { FreeGlobals(); }

  std::string DayFile() const { return base + kSep + "day.tra"; }
  Day Stored() const { return Decode(FileBytes(DayFile())); }

  // The one day file below the series directory; its name must be the
  // local date of the write (either side of a midnight passing meanwhile).
  std::string WrittenFile(const std::string &directory, const std::string &before) const {
    std::vector<fs::path> files;
    for (const auto &entry : fs::directory_iterator(directory)) files.push_back(entry.path());
    EXPECT_EQ(files.size(), 1u) << directory;
    if (files.empty()) return "";
    std::string name = files[0].filename().string();
    EXPECT_TRUE(name == before || name == TodaysFileName()) << name;
    return files[0].string();
  }

  ScratchDir scratch{"trend_"};
  const std::string base = scratch.path();
  const std::string trends = base + kSep + "trends";
};

TEST_F(TrendFileTest, FirstValueOfANewSeriesCreatesItsDay) {
  std::string today = TodaysFileName();
  ASSERT_EQ(_WriteData("cpu", 0, 5, 42), 0);
  Day day = Decode(FileBytes(WrittenFile(trends + kSep + "cpu", today)));
  EXPECT_EQ(day.magic, kMagic);
  EXPECT_EQ(day.version, 2);
  EXPECT_EQ(day.interval, 5);
  EXPECT_EQ(day.compressed, 1);
  std::vector<uint32_t> expected = EmptyDay();
  expected[0] = 42;
  EXPECT_EQ(day.entries, expected);
}

TEST_F(TrendFileTest, ASeriesOfASubdirectoryIsWrittenBelowIt) {
  ASSERT_EQ(WriteDataSub("probes", "cpu", 3, 5, 42), 0);
  Day day = Decode(FileBytes(WrittenFile(trends + kSep + "probes" + kSep + "cpu", TodaysFileName())));
  std::vector<uint32_t> expected = EmptyDay();
  expected[3] = 42;
  EXPECT_EQ(day.interval, 5);
  EXPECT_EQ(day.entries, expected);
  EXPECT_FALSE(fs::exists(trends + kSep + "cpu")) << "not beside the subdirectory";
  EXPECT_EQ(WriteDataSub("probes", "cpu", 288, 5, 1), -1) << "a slot past the day";
}

TEST_F(TrendFileTest, ValuesOfADayAccumulateCompressed) {
  std::vector<uint32_t> expected = EmptyDay();
  for (int slot = 0; slot < 288; slot += 7) {
    ASSERT_EQ(WriteTrendValue(DayFile().c_str(), "day", slot, 5, 1000 + slot), 0);
    expected[slot] = 1000 + slot;
  }
  ASSERT_EQ(WriteTrendValue(DayFile().c_str(), "day", 287, 5, 0), 0);
  expected[287] = 0;
  Day day = Stored();
  EXPECT_EQ(day.compressed, 1);
  EXPECT_EQ(day.entries, expected);
}

TEST_F(TrendFileTest, DayThatDoesNotCompressIsStoredRaw) {
  std::mt19937 random(7);
  std::vector<uint32_t> expected(1440);
  for (uint32_t &v : expected) v = static_cast<uint32_t>(random()) & 0x7FFFFFFF;
  WriteFileBytes(DayFile(), Encode(kMagic, 1, false, expected));
  expected[3] = 77;
  ASSERT_EQ(WriteTrendValue(DayFile().c_str(), "day", 3, 1, 77), 0);
  Day day = Stored();
  EXPECT_EQ(day.compressed, 0);
  EXPECT_EQ(day.entries, expected);
  // Back to a day that compresses: the longer raw tail stays and is ignored.
  for (uint32_t &v : expected) v = 5;
  WriteFileBytes(DayFile(), Encode(kMagic, 1, false, expected));
  ASSERT_EQ(WriteTrendValue(DayFile().c_str(), "day", 0, 1, 5), 0);
  EXPECT_EQ(FileBytes(DayFile()).size(), 24u + 5760u);
  day = Stored();
  EXPECT_EQ(day.compressed, 1);
  EXPECT_EQ(day.entries, expected);
}

TEST_F(TrendFileTest, NewIntervalReplacesTheDayByItsMeans) {
  for (int minute = 0; minute < 60; minute++)
    ASSERT_EQ(WriteTrendValue(DayFile().c_str(), "day", minute, 1, minute % 2 ? 20 : 10), 0);
  ASSERT_EQ(WriteTrendValue(DayFile().c_str(), "day", 1, 60, 99), 0);
  Day day = Stored();
  EXPECT_EQ(day.interval, 60);
  std::vector<uint32_t> expected = EmptyDay();
  expected[0] = 15;  // the mean of the hour
  expected[1] = 99;
  EXPECT_EQ(day.entries, expected);  // every entry past the hour slots is empty
}

TEST_F(TrendFileTest, EntriesPastTheDaysSlotsAreEmptied) {
  std::vector<uint32_t> stored(1440, 3);
  WriteFileBytes(DayFile(), Encode(kMagic, 5, false, stored));
  ASSERT_EQ(WriteTrendValue(DayFile().c_str(), "day", 0, 5, 8), 0);
  std::vector<uint32_t> expected = EmptyDay();
  std::fill(expected.begin(), expected.begin() + 288, 3);
  expected[0] = 8;
  EXPECT_EQ(Stored().entries, expected);
}

// Host threads writing their own slots of one series at once: every
// thread's values are in the day, none overwritten by another's write-back.
TEST_F(TrendFileTest, ConcurrentWritersOfOneDayKeepEveryValue) {
  constexpr int kWriters = 4;
  // The writers start together once all are made. A future rather than
  // std::latch: without a futex (the Windows runtime of this toolchain) the
  // latch's wait reads the count before it takes its lock, so a wake-up in
  // between is lost and the wait never ends.
  std::promise<void> go;
  std::shared_future<void> start = go.get_future().share();
  std::vector<std::thread> writers;
  for (int writer = 0; writer < kWriters; writer++)
    writers.emplace_back([&, writer] {
      start.wait();
      for (int slot = writer; slot < 1440; slot += kWriters)
        EXPECT_EQ(WriteTrendValue(DayFile().c_str(), "day", slot, 1, 5000 + slot), 0) << slot;
    });
  go.set_value();
  for (std::thread &writer : writers) writer.join();
  std::vector<uint32_t> expected(1440);
  for (int slot = 0; slot < 1440; slot++) expected[slot] = 5000 + slot;
  Day day = Stored();
  EXPECT_EQ(day.interval, 1);
  ASSERT_EQ(day.entries.size(), expected.size());
  int lost = 0;
  for (int slot = 0; slot < 1440; slot++) lost += day.entries[slot] != expected[slot];
  EXPECT_EQ(lost, 0) << "of 1440 values";
}

TEST(ResampleDay, WiderAndNarrowerSlots) {
  struct Case {
    int from, to;
    std::vector<uint32_t> stored;  // leading entries; the rest are empty
    std::vector<uint32_t> result;
  } cases[] = {
      {5, 10, {1, 2, kEmpty, 4, 0xFFFFFFFE, 0xFFFFFFFE}, {1, 4, 0xFFFFFFFE}},
      {10, 5, {6, kEmpty, 8}, {6, 6, kEmpty, kEmpty, 8, 8}},
      {60, 1, {3}, std::vector<uint32_t>(60, 3)},
      {7, 1440, {1, 2, 3}, {2}},  // 7 does not divide the day
  };
  for (const Case &c : cases) {
    std::vector<uint32_t> entries = EmptyDay();
    std::copy(c.stored.begin(), c.stored.end(), entries.begin());
    std::vector<uint32_t> expected = EmptyDay();
    std::copy(c.result.begin(), c.result.end(), expected.begin());
    ResampleDay(entries.data(), c.from, c.to);
    EXPECT_EQ(entries, expected) << c.from << " to " << c.to;
  }
}

TEST_F(TrendFileTest, StoredFilesThatHoldNoUsableDayStartANewDay) {
  std::vector<uint32_t> full(1440);
  for (size_t i = 0; i < full.size(); i++) full[i] = static_cast<uint32_t>(i);
  std::string compressed = Encode(kMagic, 1, true, full);
  struct Case {
    const char *what;
    std::string bytes;
  } cases[] = {
      {"wrong magic", Encode(0x12345678, 1, false, full)},
      {"stored interval 0", Encode(kMagic, 0, false, full)},
      {"stored interval 1441", Encode(kMagic, 1441, false, full)},
      {"cut compressed stream", compressed.substr(0, 24 + (compressed.size() - 24) / 2)},
      {"corrupt compressed stream", compressed.substr(0, 30) + std::string(200, 'x')},
      {"short header", std::string("\x13\x12\x44\x41\x02", 5)},
  };
  for (const Case &c : cases) {
    WriteFileBytes(DayFile(), c.bytes);
    ASSERT_EQ(WriteTrendValue(DayFile().c_str(), "day", 5, 1, 123), 0) << c.what;
    Day day = Stored();
    std::vector<uint32_t> expected = EmptyDay();
    expected[5] = 123;
    EXPECT_EQ(day.magic, kMagic) << c.what;
    EXPECT_EQ(day.interval, 1) << c.what;
    EXPECT_EQ(day.entries, expected) << c.what;
  }
}

TEST_F(TrendFileTest, OutOfRangeRequestsWriteNothing) {
  struct Case {
    int slot, interval;
  } cases[] = {{0, 0}, {0, -5}, {0, 1441}, {-1, 5}, {288, 5}, {1, 1440}, {1440, 1}};
  for (const Case &c : cases) {
    EXPECT_EQ(_WriteData("cpu", c.slot, c.interval, 1), -1) << c.slot << "/" << c.interval;
    EXPECT_EQ(WriteTrendValue(DayFile().c_str(), "day", c.slot, c.interval, 1), -1);
  }
  EXPECT_FALSE(fs::exists(DayFile()));
  EXPECT_FALSE(fs::exists(trends + kSep + "cpu" + kSep + TodaysFileName()));
  EXPECT_EQ(_WriteData("", 0, 5, 1), -1);
  EXPECT_EQ(_WriteData(nullptr, 0, 5, 1), -1);
  EXPECT_EQ(_WriteData(std::string(300, 's').c_str(), 0, 5, 1), -1);
  EXPECT_FALSE(fs::exists(trends));
}

TEST(TrendDayPath, SeriesNamesStayInsideTheTrendDirectory) {
  const std::string db = "db";
  struct Case {
    const char *subdirectory;
    const char *series;
    std::string directory;  // below db/trends
  } cases[] = {
      {nullptr, "a:b", "a#3ab"},
      {nullptr, "host|cpu|0", "host" + kSep + "cpu+0"},
      {nullptr, "..", "#2e."},
      {nullptr, ".hidden", "#2ehidden"},
      {nullptr, "x|..|y", "x" + kSep + "#2e.+y"},
      {nullptr, "x|.", "x" + kSep + "#2e"},
      {nullptr, "a.b|c.d", "a.b" + kSep + "c.d"},
      {nullptr, "c:\\win/x?&#", "c#3a#5cwin#2fx#3f#26#23"},
      {"", "cpu", "cpu"},
      {"probes", "host|cpu", "probes" + kSep + "host" + kSep + "cpu"},
      // A subdirectory is one element, inside the trend directory.
      {"..", "cpu", "#2e." + kSep + "cpu"},
      {"a/b|c", "cpu", "a#2fb+c" + kSep + "cpu"},
  };
  const xtime_t noon = 1700000000;
  char name[32];
  TrendFileName(name, sizeof name, noon);
  for (const Case &c : cases) {
    char path[XPATH_MAX];
    ASSERT_TRUE(TrendDayPath(path, sizeof path, db.c_str(), c.subdirectory, c.series, noon))
        << c.series;
    EXPECT_EQ(std::string(path), db + kSep + "trends" + kSep + c.directory + kSep + name);
  }
  char small[20];
  EXPECT_FALSE(TrendDayPath(small, sizeof small, db.c_str(), nullptr, "cpu", noon));
}

TEST(TrendFileName, LocalDateOfTheWrite) {
  std::time_t now = 1700000000;
  std::tm local = *std::localtime(&now);
  char expected[32];
  std::strftime(expected, sizeof expected, "%Y%m%d.tra", &local);
  char name[32];
  TrendFileName(name, sizeof name, static_cast<xtime_t>(now));
  EXPECT_STREQ(name, expected);
}

}  // namespace
