// Predefined registry keys of this process moved into keys of a test's own
// (HKCU\Software\NetmonTests\<name><process id>\...), so that tests which
// write there can run side by side. Undone, and the keys deleted, when the
// object goes.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <map>
#include <string>

namespace install_test {

class MovedRootKeys {
public:
  MovedRootKeys(const std::string& name, std::initializer_list<HKEY> roots);
  ~MovedRootKeys();
  MovedRootKeys(const MovedRootKeys&) = delete;
  MovedRootKeys& operator=(const MovedRootKeys&) = delete;

  // Whether every key was moved.
  bool Moved() const { return moved_; }
  // The key that stands in for root, opened with all access.
  HKEY StandIn(HKEY root) const { return stand_ins_.at(root); }
  // Copies the key at path below the real root into root's stand-in: what
  // the system itself reads there (the cryptographic providers below
  // HKEY_LOCAL_MACHINE) stays in reach. Whether it was copied.
  bool Keep(HKEY root, const std::string& path);

private:
  std::string base_;
  std::map<HKEY, HKEY> stand_ins_;
  bool moved_ = false;
};

// The current test's name.
std::string CurrentTestName();

}  // namespace install_test
