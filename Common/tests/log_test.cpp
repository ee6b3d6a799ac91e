#include "log.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

std::vector<std::pair<int, std::string>> g_lines;
void Record(int level, const char *text) { g_lines.emplace_back(level, text); }

class LogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_lines.clear();
    LogSetHook(Record);
    LogSetDebugLevel(0);
  }
  void TearDown() override {
    LogSetHook(nullptr);
    LogSetDebugLevel(0);
  }
};

TEST_F(LogTest, HookGetsLevelsOfEachKind) {
  LogSetDebugLevel(5);
  _msg("mod: plain %d\n", 1);
  _DebugOut(5, "mod: debug %s\n", "x");
  _errmsg("mod: error\n");
  ASSERT_EQ(g_lines.size(), 3u);
  EXPECT_EQ(g_lines[0], std::make_pair(0, std::string("mod: plain 1\n")));
  EXPECT_EQ(g_lines[1], std::make_pair(6, std::string("mod: debug x\n")));
  EXPECT_EQ(g_lines[2], std::make_pair(-1, std::string("mod: error\n")));
}

TEST_F(LogTest, DebugLineShownOnlyUpToTheDebugLevel) {
  LogSetDebugLevel(2);
  _DebugOut(3, "hidden\n");
  EXPECT_TRUE(g_lines.empty());
  LogSetDebugLevel(3);
  _DebugOut(3, "shown\n");
  ASSERT_EQ(g_lines.size(), 1u);
  EXPECT_EQ(g_lines[0].first, 4);
  LogSetDebugLevel(-1);
  _DebugOut(0, "below zero hides level 0\n");
  EXPECT_EQ(g_lines.size(), 1u);
}

TEST_F(LogTest, LongMessageIsCutToTheBuffer) {
  std::string longText(1000, 'a');
  _msg("%s", longText.c_str());
  ASSERT_EQ(g_lines.size(), 1u);
  EXPECT_EQ(g_lines[0].second, std::string(LOG_BUFFER_SIZE - 1, 'a'));
}

TEST_F(LogTest, WithoutHookLinesGoToTheStandardStreams) {
  LogSetHook(nullptr);
  LogSetDebugLevel(1);
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  _msg("out %d\n", 1);
  _DebugOut(1, "debug\n");
  _DebugOut(2, "hidden\n");
  _errmsg("err\n");
  std::string err = testing::internal::GetCapturedStderr();
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out, "out 1\ndebug\n");
  EXPECT_EQ(err, "err\n");
}

}  // namespace
