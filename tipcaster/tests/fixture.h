// The fixture of the control tests under Wine: the control registered, a
// container holding it, a folder of its own for the map file and help
// files, the stand-ins' record, and the message-box watcher.
#ifndef TIPCASTER_TESTS_FIXTURE_H
#define TIPCASTER_TESTS_FIXTURE_H

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "container.h"

class HelpControlTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  void SetUp() override;
  void TearDown() override;

  // A file in the test's folder (its full path is returned).
  std::string WriteTestFile(const std::string &name, const std::string &content);
  std::string PathOf(const std::string &name) const { return folder_ + "\\" + name; }
  // The map file "help.map" with these lines, set as the control's map file.
  std::string UseMapFile(const std::string &lines);
  // The stand-ins' records that start with "kind|", without that prefix.
  std::vector<std::string> Records(const std::string &kind) const;
  // Waits (a bounded time) until some record of kind holds text.
  bool WaitForRecord(const std::string &kind, const std::string &text) const;
  // A pause of the waits: the test's thread owns the host's windows, so it
  // answers messages that other programs send to them meanwhile. A thread
  // that only slept would hold up every program that activates a window
  // of its own, and with it the tests running beside this one.
  static void PauseAnsweringMessages(DWORD ms);
  IDispatch *control() const { return host_->control(); }

  std::string folder_;
  std::string log_;
  std::unique_ptr<MessageBoxWatcher> boxes_;
  std::unique_ptr<HelpButtonHost> host_;
};

#endif
