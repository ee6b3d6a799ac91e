#include "private_registry.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "registry.h"

namespace install_test {

using namespace install;

namespace {

const HKEY kMovedRoots[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE};

}  // namespace

std::string CurrentTestName() { return ::testing::UnitTest::GetInstance()->current_test_info()->name(); }

PrivateRegistryKeys::PrivateRegistryKeys(const std::string& name)
    : base_("\\Software\\NetmonTests\\" + name + "_" + std::to_string(GetCurrentProcessId())) {
  DeleteRegistryKeyTree(hkCurrentUser, base_);
  // Every key is made under the real HKCU before any root moves.
  HKEY keys[std::size(kMovedRoots)] = {};
  for (size_t i = 0; i < std::size(kMovedRoots); ++i) {
    std::string path = base_.substr(1) + "\\" + std::to_string(reinterpret_cast<uintptr_t>(kMovedRoots[i]) & 0xF);
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &keys[i],
                              nullptr),
              ERROR_SUCCESS);
  }
  for (size_t i = 0; i < std::size(kMovedRoots); ++i) {
    EXPECT_EQ(RegOverridePredefKey(kMovedRoots[i], keys[i]), ERROR_SUCCESS);
    RegCloseKey(keys[i]);
  }
}

PrivateRegistryKeys::~PrivateRegistryKeys() {
  for (HKEY root : kMovedRoots) RegOverridePredefKey(root, nullptr);
  DeleteRegistryKeyTree(hkCurrentUser, base_);
}

}  // namespace install_test
