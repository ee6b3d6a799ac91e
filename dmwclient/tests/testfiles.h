// Scratch directories and file contents for the library's tests.
#ifndef DMWCLIENT_TESTS_TESTFILES_H
#define DMWCLIENT_TESTS_TESTFILES_H

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "globals.h"

#ifdef _WIN32
inline const std::string kLineEnd = "\r\n";  // what the library writes
#else
inline const std::string kLineEnd = "\n";
#endif
inline const std::string kSep(1, kPathSeparator);

// Polls `done` every 10 ms until it holds or 30 s have passed; true when it
// held. The wait ends as soon as the state is seen, and the bound allows a
// loaded machine seconds to schedule the library's threads.
template <typename Done>
bool WaitUntil(Done done) {
  for (int i = 0; i < 3000; i++) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return done();
}

// An empty directory named after the running test, removed afterwards.
class ScratchDir {
 public:
  explicit ScratchDir(const std::string &prefix) {
    const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ = (std::filesystem::path(::testing::TempDir()) / (prefix + info->name())).string();
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchDir(const ScratchDir &) = delete;
  ScratchDir &operator=(const ScratchDir &) = delete;
  const std::string &path() const { return path_; }

 private:
  std::string path_;
};

inline std::string FileBytes(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

inline void WriteFileBytes(const std::string &path, const std::string &bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// The library's log lines, recorded by a display hook (Record).
class LogLines {
 public:
  static void Record(int, const char *text) {
    std::lock_guard<std::mutex> guard(lock_);
    lines_.emplace_back(text);
  }
  static void Clear() {
    std::lock_guard<std::mutex> guard(lock_);
    lines_.clear();
  }
  static size_t StartingWith(const std::string &prefix) {
    std::lock_guard<std::mutex> guard(lock_);
    return static_cast<size_t>(std::count_if(lines_.begin(), lines_.end(), [&](const std::string &line) {
      return line.compare(0, prefix.size(), prefix) == 0;
    }));
  }

 private:
  static inline std::mutex lock_;
  static inline std::vector<std::string> lines_;
};

// Bytes that show where they were cut or misplaced.
inline std::string Pattern(size_t length) {
  std::string bytes(length, '\0');
  for (size_t i = 0; i < length; i++) bytes[i] = static_cast<char>('A' + (i * 7 + i / 251) % 26);
  return bytes;
}

// dmwagent.cfg as the agent writes it when it found none in `base`.
inline std::string DefaultAgentConfig(const std::string &base) {
  const std::string local = base + kSep + "local";
  return "[AGENT]" + kLineEnd + "DBPath=" + local + kLineEnd + "CFGPath=" + local + kLineEnd +
         "Server=127.0.0.1" + kLineEnd + "RetryDelay=15" + kLineEnd + "ServerSocket=2001" +
         kLineEnd + "DebugLevel=0" + kLineEnd;
}

// A fresh agent's record, but for its directories and its listener's port.
inline void ExpectAgentDefaults(const GlobalData &data, const std::string &computer,
                                const std::string &agentType) {
  auto text = [](const char *value) { return std::string(value ? value : "<null>"); };
  EXPECT_EQ(text(data.Server), "127.0.0.1");
  EXPECT_EQ(text(data.ComputerName), computer);
  EXPECT_EQ(text(data.AgentTypeName), agentType);
  EXPECT_EQ(text(data.ConfigExtension), ".cfg");
  EXPECT_EQ(+data.Reserved, 0);
  EXPECT_EQ(+data.ServerSocket, 2001);
  EXPECT_EQ(+data.RetryDelay, 15);
  EXPECT_EQ(+data.MaxConnections, 50);
  EXPECT_EQ(+data.ProbesLoaded, 0);
  EXPECT_EQ(+data.DebugLevel, 0);
  EXPECT_EQ(+data.MaxNotifications, 10);
  EXPECT_EQ(+data.NotificationTimeOut, 15);
}

#endif
