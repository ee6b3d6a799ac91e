// Test support on Windows: the predefined registry keys of this process
// (classes root, current user, local machine) moved into keys of the
// test's own below HKCU\Software\NetmonTests, so that a test writes where
// no parallel test and no installed program looks. Removed again with
// everything below when the test ends.
#pragma once

#include <string>

namespace install_test {

class PrivateRegistryKeys {
public:
  // name makes the base key: the test's name and the process id.
  explicit PrivateRegistryKeys(const std::string& name);
  ~PrivateRegistryKeys();
  PrivateRegistryKeys(const PrivateRegistryKeys&) = delete;
  PrivateRegistryKeys& operator=(const PrivateRegistryKeys&) = delete;
  // The base key, absolute below the real HKCU.
  const std::string& Base() const { return base_; }

private:
  std::string base_;
};

// The current test's name.
std::string CurrentTestName();

}  // namespace install_test
