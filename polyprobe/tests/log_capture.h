// Collects the library modules' log lines for a test, at a chosen debug
// level; the previous hook and level come back when it ends.
#ifndef POLYPROBE_TESTS_LOG_CAPTURE_H
#define POLYPROBE_TESTS_LOG_CAPTURE_H

#include <mutex>
#include <string>
#include <vector>

#include "log.h"

class LogCapture {
 public:
  explicit LogCapture(signed char debugLevel = 0) : level_(LogDebugLevel()), hook_(LogHook()) {
    current_ = this;
    LogSetDebugLevel(debugLevel);
    LogSetHook(&LogCapture::Hook);
  }
  ~LogCapture() {
    LogSetHook(hook_);
    LogSetDebugLevel(level_);
    current_ = nullptr;
  }
  bool Contains(const std::string &text, int level) {
    std::lock_guard<std::mutex> guard(lock_);
    for (const auto &line : lines_)
      if (line.first == level && line.second.find(text) != std::string::npos) return true;
    return false;
  }

 private:
  static void Hook(int level, const char *text) {
    std::lock_guard<std::mutex> guard(current_->lock_);
    current_->lines_.emplace_back(level, text);
  }
  static inline LogCapture *current_ = nullptr;
  signed char level_;
  DisplayHook hook_;
  std::mutex lock_;
  std::vector<std::pair<int, std::string>> lines_;
};

#endif
