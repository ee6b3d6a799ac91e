// The product's uninstall lists in the registry. HKLM is moved into a key
// of the test's own for this process, so tests can run side by side; the
// values are read back with the plain registry API.
#include "items/uninstall.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "paths/registry.h"
#include "sysutils.h"
#include "testing/moved_keys.h"

namespace install {
namespace {

class UninstallLists : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(keys_.Moved()); }

  // The string value below the product key, or "(none)".
  std::string Value(const std::string& list, const std::string& name) const {
    char data[512] = {};
    DWORD size = sizeof data - 1, type = 0;
    std::string path = (product_ + "\\" + list).substr(1);
    HKEY key;
    if (RegOpenKeyExA(machine_, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return "(none)";
    LONG status = RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS && type == REG_SZ ? data : "(none)";
  }
  void SetCounter(const std::string& list, const std::string& value) {
    WriteRegistryString(hkLocalMachine, product_ + "\\" + list, "Entries", value);
  }

  const install_test::MovedRootKeys keys_{"UninstallLists", {HKEY_LOCAL_MACHINE}};
  const HKEY machine_ = keys_.StandIn(HKEY_LOCAL_MACHINE);
  const std::string product_ = UninstallProductKey("Netmon Suite  ");
};

TEST_F(UninstallLists, TheProductKeyKeepsTheNameAsItStands) {
  EXPECT_EQ(product_, "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Netmon Suite  ");
}

// A second installation of the product continues the counter.
TEST_F(UninstallLists, FileEntriesAreNumberedFromOneAndCounted) {
  AddUninstallFileEntry(product_, "C:\\Netmon\\a.exe");
  AddUninstallFileEntry(product_, "C:\\Netmon\\b.dll");
  EXPECT_EQ(Value("Files", "File1"), "C:\\Netmon\\a.exe");
  EXPECT_EQ(Value("Files", "File2"), "C:\\Netmon\\b.dll");
  EXPECT_EQ(Value("Files", "Entries"), "2");
}

TEST_F(UninstallLists, AListThatCannotTakeTheEntryPassesItToTheNext) {
  SetCounter("Files", "abc");
  SetCounter("Files1", "4");
  AddUninstallFileEntry(product_, "C:\\Netmon\\a.exe");
  EXPECT_EQ(Value("Files", "Entries"), "abc");
  EXPECT_EQ(Value("Files", "File1"), "(none)");
  EXPECT_EQ(Value("Files1", "File5"), "C:\\Netmon\\a.exe");
  EXPECT_EQ(Value("Files1", "Entries"), "5");
}

// A failure that lasts ends the fallback with an error instead of a loop.
TEST_F(UninstallLists, WhenNoListCanTakeTheEntryTheFailureIsRaised) {
  for (int list = 0; list < kUninstallFileLists; ++list)
    SetCounter("Files" + (list == 0 ? std::string() : forms::IntToStr(list)), "abc");
  EXPECT_THROW(AddUninstallFileEntry(product_, "C:\\Netmon\\a.exe"), EIRCannotWriteValue);
  EXPECT_EQ(Value("Files" + forms::IntToStr(kUninstallFileLists), "File1"), "(none)");
}

TEST_F(UninstallLists, ActiveXEntriesCarryTheirKind) {
  const char* const paths[] = {"C:\\N\\types.TLB", "C:\\N\\server.exe", "C:\\N\\button.ocx", "C:\\N\\lib.tlb"};
  for (const char* path : paths) AddUninstallActiveXEntry(product_, path);
  EXPECT_EQ(Value("ActiveX", "File1"), "C:\\N\\types.TLB;2");
  EXPECT_EQ(Value("ActiveX", "File2"), "C:\\N\\server.exe;1");
  EXPECT_EQ(Value("ActiveX", "File3"), "C:\\N\\button.ocx;0");
  EXPECT_EQ(Value("ActiveX", "File4"), "C:\\N\\lib.tlb;2");
  EXPECT_EQ(Value("ActiveX", "Entries"), "4");
}

// The ActiveX list has no further lists to fall back on.
TEST_F(UninstallLists, AnActiveXListThatCannotTakeTheEntryRaises) {
  SetCounter("ActiveX", "abc");
  EXPECT_THROW(AddUninstallActiveXEntry(product_, "C:\\N\\button.ocx"), EIRCannotWriteValue);
  EXPECT_EQ(Value("ActiveX1", "Entries"), "(none)");
}

}  // namespace
}  // namespace install
