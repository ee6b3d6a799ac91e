#include "testing/moved_keys.h"

#include <shlwapi.h>

#include <gtest/gtest.h>

#include "paths/registry.h"

namespace install_test {

std::string CurrentTestName() { return ::testing::UnitTest::GetInstance()->current_test_info()->name(); }

MovedRootKeys::MovedRootKeys(const std::string& name, std::initializer_list<HKEY> roots)
    : base_("Software\\NetmonTests\\" + name + std::to_string(GetCurrentProcessId())) {
  install::DeleteRegistryKeyTree(install::hkCurrentUser, "\\" + base_);
  // Every stand-in is made before any predefined key moves: HKCU may be one.
  moved_ = true;
  for (HKEY root : roots) {
    HKEY key = nullptr;
    std::string path = base_ + "\\" + std::to_string(reinterpret_cast<uintptr_t>(root) & 0xFF);
    moved_ = moved_ && RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                       nullptr) == ERROR_SUCCESS;
    stand_ins_[root] = key;
  }
  for (auto [root, key] : stand_ins_) moved_ = moved_ && key && RegOverridePredefKey(root, key) == ERROR_SUCCESS;
}

bool MovedRootKeys::Keep(HKEY root, const std::string& path) {
  HKEY real = nullptr;
  RegOverridePredefKey(root, nullptr);
  bool opened = RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &real) == ERROR_SUCCESS;
  RegOverridePredefKey(root, stand_ins_.at(root));
  if (!opened) return false;
  HKEY copy = nullptr;
  bool kept = RegCreateKeyExA(stand_ins_.at(root), path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &copy,
                              nullptr) == ERROR_SUCCESS &&
              SHCopyKeyA(real, nullptr, copy, 0) == ERROR_SUCCESS;
  if (copy) RegCloseKey(copy);
  RegCloseKey(real);
  return kept;
}

MovedRootKeys::~MovedRootKeys() {
  for (auto [root, key] : stand_ins_) {
    RegOverridePredefKey(root, nullptr);
    if (key) RegCloseKey(key);
  }
  install::DeleteRegistryKeyTree(install::hkCurrentUser, "\\" + base_);
}

}  // namespace install_test
