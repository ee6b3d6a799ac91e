// The registry routines against Wine's registry; what they write is read
// back with the system's own reg.exe, an independent reader.
#include "paths/registry.h"

#include <windows.h>
#include <sddl.h>

#include <vector>

#include <gtest/gtest.h>

#include "core/support.h"
#include "paths/metavars.h"
#include "paths/osroutines.h"
#include "testing/child_process.h"
#include "wineview.h"

namespace install {
namespace {

using install_test::RunProgram;
using install_test::RunProbeUnder;

const char* const kTestKey = "\\Software\\NetmonTests";
const char* const kRunOnceKey = "\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

// What reg.exe reports for the key (root and path as reg.exe takes them);
// empty when the key does not exist.
std::string RegQuery(const std::string& key) {
  std::string output;
  return RunProgram("reg.exe query \"" + key + "\" /s", output) == 0 ? output : "";
}

// Whether reg.exe lists the value with its type and data on one line.
bool Lists(const std::string& report, const std::string& name, const std::string& type, const std::string& data) {
  size_t at = report.find(name);
  while (at != std::string::npos) {
    size_t end = report.find('\n', at);
    std::string line = report.substr(at, end == std::string::npos ? std::string::npos : end - at);
    if (line.find(type) != std::string::npos && line.find(data) != std::string::npos) return true;
    at = report.find(name, at + 1);
  }
  return false;
}

// A key of the test's own, \Software\NetmonTests\<test name>, removed
// before and after: tests run side by side.
class Registry : public ::testing::Test {
protected:
  void SetUp() override { DeleteRegistryKeyTree(hkCurrentUser, key_); }
  void TearDown() override { DeleteRegistryKeyTree(hkCurrentUser, key_); }
  // The test's key, or a path below it; Reg: as reg.exe takes it.
  std::string Key(const std::string& below = "") const { return below.empty() ? key_ : key_ + "\\" + below; }
  std::string Reg(const std::string& below = "") const { return "HKCU" + Key(below); }

  const std::string key_ = std::string(kTestKey) + "\\" +
                           ::testing::UnitTest::GetInstance()->current_test_info()->name();
};

TEST(RegistryKeys, RelativeAndAbsolutePaths) {
  EXPECT_FALSE(IsRelativeKey("\\SOFTWARE"));
  EXPECT_TRUE(IsRelativeKey("SOFTWARE"));
  EXPECT_TRUE(IsRelativeKey(""));
}

TEST(RegistryKeys, RootKeysBothWays) {
  const HKEY keys[] = {HKEY_CLASSES_ROOT,  HKEY_CURRENT_CONFIG, HKEY_CURRENT_USER,
                       HKEY_DYN_DATA,      HKEY_LOCAL_MACHINE,  HKEY_USERS};
  for (int root = hkClassesRoot; root <= hkUsers; ++root) {
    EXPECT_EQ(HKEYToRootKey(keys[root], hkUsers), root);
    TqndrRegistry registry;
    SetRegistryRootKey(registry, root);
    EXPECT_EQ(registry.RootKey(), keys[root]);
  }
  EXPECT_EQ(HKEYToRootKey(reinterpret_cast<HKEY>(0x1234), hkDynData), hkDynData);
  TqndrRegistry registry;
  SetRegistryRootKey(registry, 6);
  EXPECT_EQ(registry.RootKey(), HKEY_CURRENT_USER);
}

TEST_F(Registry, OpenKeyFollowsRelativePathsAndCreatesMissingKeys) {
  TqndrRegistry registry;
  EXPECT_FALSE(registry.OpenKey(Key("A"), false));
  EXPECT_EQ(registry.CurrentKey(), nullptr);
  ASSERT_TRUE(registry.OpenKey(Key("A"), true));
  EXPECT_EQ(registry.CurrentPath(), Key("A").substr(1));
  ASSERT_TRUE(registry.OpenKey("Sub", true));
  EXPECT_EQ(registry.CurrentPath(), Key("A\\Sub").substr(1));
  EXPECT_TRUE(registry.KeyExists(Key("A\\Sub")));
  EXPECT_EQ(registry.CurrentPath(), Key("A\\Sub").substr(1));
  EXPECT_FALSE(registry.KeyExists("Missing"));
  ASSERT_TRUE(registry.OpenKey(Key("B"), true));
  EXPECT_EQ(registry.CurrentPath(), Key("B").substr(1));
  EXPECT_NE(RegQuery(Reg("A\\Sub")), "");
}

TEST_F(Registry, WrittenValuesAreSeenByAnIndependentReader) {
  WriteRegistryString(hkCurrentUser, Key("Values"), "Text", "C:\\Some Folder");
  WriteRegistryInteger(hkCurrentUser, Key("Values"), "Count", 42);
  std::string report = RegQuery(Reg("Values"));
  EXPECT_TRUE(Lists(report, "Text", "REG_SZ", "C:\\Some Folder")) << report;
  EXPECT_TRUE(Lists(report, "Count", "REG_DWORD", "0x2a")) << report;
  EXPECT_EQ(ReadRegistryString(hkCurrentUser, Key("Values"), "Text", "none"), "C:\\Some Folder");
  EXPECT_EQ(ReadRegistryInteger(hkCurrentUser, Key("Values"), "Count", -1), 42);

  // A 32-bit program's machine-wide keys: the same view for reg.exe.
  WriteRegistryString(hkLocalMachine, "\\Software\\NetmonTests", "Machine", "yes");
  EXPECT_TRUE(Lists(RegQuery("HKLM\\Software\\NetmonTests"), "Machine", "REG_SZ", "yes"));
  DeleteRegistryKeyTree(hkLocalMachine, kTestKey);
  EXPECT_EQ(RegQuery("HKLM\\Software\\NetmonTests"), "");
}

TEST_F(Registry, ReadersGiveTheirDefaults) {
  std::string key = Key();
  EXPECT_EQ(ReadRegistryString(hkCurrentUser, key, "Text", "fallback"), "fallback");
  WriteRegistryInteger(hkCurrentUser, key, "Number", 7);
  WriteRegistryString(hkCurrentUser, key, "Text", "seven");
  EXPECT_EQ(ReadRegistryString(hkCurrentUser, key, "Missing", "fallback"), "fallback");
  EXPECT_EQ(ReadRegistryString(hkCurrentUser, key, "Number", "fallback"), "fallback");
  EXPECT_EQ(ReadRegistryInteger(hkCurrentUser, key, "Text", -5), -5);
  EXPECT_EQ(ReadRegistryInteger(hkCurrentUser, Key("Missing"), "Number", -5), -5);
}

TEST_F(Registry, AnExpandableStringReadsAsItsTextUnexpanded) {
  WriteRegistryString(hkCurrentUser, Key(), "Plain", "");
  HKEY key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, Key().c_str() + 1, 0, KEY_WRITE, &key), ERROR_SUCCESS);
  const char text[] = "%SystemRoot%\\Tools";
  RegSetValueExA(key, "Path", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(text), sizeof text);
  RegCloseKey(key);
  EXPECT_EQ(ReadRegistryString(hkCurrentUser, Key(), "Path", "fallback"),
            "%SystemRoot%\\Tools");
}

// A key everyone may read but nobody may write.
class ReadOnlyKey : public Registry {
protected:
  void SetUp() override {
    Registry::SetUp();
    WriteRegistryString(hkCurrentUser, Key(), "Text", "stored");
    SetSecurity("D:P(A;;KR;;;WD)");
  }
  void TearDown() override {
    SetSecurity("D:P(A;;KA;;;WD)");
    Registry::TearDown();
  }
  void SetSecurity(const char* descriptor_text) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(descriptor_text, SDDL_REVISION_1, &descriptor,
                                                                     nullptr));
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, Key().c_str() + 1, 0, WRITE_DAC, &key), ERROR_SUCCESS);
    EXPECT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor), ERROR_SUCCESS);
    RegCloseKey(key);
    LocalFree(descriptor);
  }
};

TEST_F(ReadOnlyKey, WritersRaiseAndReadersGiveTheirDefaults) {
  std::string key = Key();
  try {
    WriteRegistryString(hkCurrentUser, key, "Y", "Z");
    FAIL() << "no exception";
  } catch (const EIRCannotWriteValue& error) {
    EXPECT_EQ(error.Message(), "Cannot install into registry. Key: " + key + " Ident: Y Value Z");
  }
  try {
    WriteRegistryInteger(hkCurrentUser, key, "Y", 1);
    FAIL() << "no exception";
  } catch (const EIRCannotWriteValue& error) {
    EXPECT_EQ(error.Message(), key);
  }
  // The value is there for reg.exe, but the readers ask for write access too.
  EXPECT_TRUE(Lists(RegQuery(Reg()), "Text", "REG_SZ", "stored"));
  EXPECT_EQ(ReadRegistryString(hkCurrentUser, key, "Text", "fallback"), "fallback");
}

// A tree of three keys with two subkeys each, every name as long as the
// longest, under key.
void MakeTree(const std::string& key) {
  for (const char* child : {"Child1", "Child2", "Child3"})
    for (const char* grandchild : {"Leaf_1", "Leaf_2"})
      WriteRegistryString(hkCurrentUser, key + "\\" + child + "\\" + grandchild, "Value", "x");
}

TEST_F(Registry, DeleteKeyRemovesTheWholeTreeAndKeepsTheCurrentKey) {
  MakeTree(Key("Tree"));
  ASSERT_NE(RegQuery(Reg("Tree\\Child3\\Leaf_2")), "");
  TqndrRegistry registry;
  ASSERT_TRUE(registry.OpenKey(Key(), false));
  EXPECT_TRUE(registry.DeleteKey("Tree"));
  EXPECT_EQ(RegQuery(Reg("Tree")), "");
  // The caller's key is still open and current.
  EXPECT_EQ(registry.CurrentPath(), Key().substr(1));
  registry.WriteString("After", "still open");
  EXPECT_TRUE(Lists(RegQuery(Reg()), "After", "REG_SZ", "still open"));
  EXPECT_FALSE(registry.DeleteKey("Tree"));
}

TEST_F(Registry, DeleteRegistryKeyTreeRemovesSubkeysAndLeavesMissingKeysAlone) {
  MakeTree(Key("Tree"));
  ASSERT_NE(RegQuery(Reg("Tree\\Child3\\Leaf_2")), "");
  DeleteRegistryKeyTree(hkCurrentUser, Key("Tree"));
  EXPECT_EQ(RegQuery(Reg("Tree")), "");
  EXPECT_NE(RegQuery(Reg()), "");
  DeleteRegistryKeyTree(hkCurrentUser, Key("Tree"));
}

// The RunOnce values a test wrote, removed again. Each test names only its
// own values: the tests run in parallel processes on one shared RunOnce key.
class RunOnce : public ::testing::Test {
protected:
  void TearDown() override {
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
      HKEY key;
      if (RegOpenKeyExA(root, kRunOnceKey + 1, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) continue;
      for (const char* name : written_) RegDeleteValueA(key, name);
      RegCloseKey(key);
    }
  }
  std::vector<const char*> written_;
};

TEST_F(RunOnce, AUniqueEntryTakesTheFirstFreeName) {
  written_ = {"QuendricUnfinished", "QuendricUnfinished1", "QuendricUnfinished2"};
  ASSERT_TRUE(AddRunOnceEntry("QuendricUnfinished", "first", true));
  ASSERT_TRUE(AddRunOnceEntry("QuendricUnfinished", "second", true));
  ASSERT_TRUE(AddRunOnceEntry("QuendricUnfinished", "third", true));
  std::string report = RegQuery("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce");
  EXPECT_TRUE(Lists(report, "QuendricUnfinished ", "REG_SZ", "first")) << report;
  EXPECT_TRUE(Lists(report, "QuendricUnfinished1", "REG_SZ", "second")) << report;
  EXPECT_TRUE(Lists(report, "QuendricUnfinished2", "REG_SZ", "third")) << report;
  ASSERT_TRUE(AddRunOnceEntry("QuendricUnfinished", "replaced", false));
  EXPECT_TRUE(Lists(RegQuery("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce"), "QuendricUnfinished ",
                    "REG_SZ", "replaced"));
}

TEST_F(RunOnce, TheRootFollowsTheSystemFamily) {
  struct Case {
    const char* version;
    const char* root;
  } cases[] = {{"win2k", "HKCU"}, {"nt40", "HKCU"}, {"win98", "HKLM"}, {"winme", "HKLM"}};
  written_ = {"ProbeResume"};
  for (const auto& c : cases) {
    std::string output;
    EXPECT_EQ(RunProbeUnder(c.version, "runonce ProbeResume resume", output), 1) << c.version;
    std::string report = RegQuery(std::string(c.root) + "\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce");
    EXPECT_TRUE(Lists(report, "ProbeResume", "REG_SZ", "resume")) << c.version << report;
    TearDown();
  }
}

// The user's keys of this process moved into the test's own key, so that
// the shell folders can be changed without touching anyone else's.
class PrivateUserKeys : public Registry {
protected:
  void SetUp() override {
    Registry::SetUp();
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, Key().c_str() + 1, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &user_,
                              nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, user_), ERROR_SUCCESS);
  }
  void TearDown() override {
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegCloseKey(user_);
    Registry::TearDown();
  }
  HKEY user_ = nullptr;
};

TEST_F(PrivateUserKeys, FolderLookupsReadTheShellFoldersOrFallBack) {
  EXPECT_EQ(GetStartMenuDir(), GetWindowsDir() + "\\Startmen");
  EXPECT_EQ(GetProgramsMenuDir(), GetWindowsDir() + "\\Startmen\\Programs");
  EXPECT_EQ(GetDesktopDir(), GetWindowsDir() + "\\Desktop");
  EXPECT_EQ(GetStartupDir(), GetWindowsDir() + "\\Startup");
  const char* shell_folders = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
  WriteRegistryString(hkCurrentUser, shell_folders, "Start Menu", "C:\\Menu\\");
  WriteRegistryString(hkCurrentUser, shell_folders, "Desktop", "C:\\Desk");
  WriteRegistryString(hkCurrentUser, shell_folders, "Startup", "C:\\Boot");
  EXPECT_EQ(GetStartMenuDir(), "C:\\Menu");
  EXPECT_EQ(GetProgramsMenuDir(), "C:\\Menu\\Programs");
  EXPECT_EQ(GetDesktopDir(), "C:\\Desk");
  EXPECT_EQ(GetStartupDir(), "C:\\Boot");
  WriteRegistryString(hkCurrentUser, shell_folders, "Programs", "D:\\Programs");
  EXPECT_EQ(GetProgramsMenuDir(), "D:\\Programs");
}

// The installer sees the Program Files folder of its own architecture:
// the product, a 32-bit program, the "(x86)" one.
TEST(FolderLookups, ProgramFilesAsTheProgramsViewHasThem) {
  EXPECT_EQ(GetProgramFilesDir(), wineview::kProgramFiles);
  EXPECT_EQ(GetCommonFilesDir(), std::string(wineview::kProgramFiles) + "\\Common Files");
  EXPECT_EQ(CurrentDirectoryDrive().size(), 2u);
}

TEST(MetaVariablesOnWindows, FoldersOfTheSystem) {
  EXPECT_EQ(ExpandMetaVariables("%w\\notepad.exe", nullptr), GetWindowsDir() + "\\notepad.exe");
  EXPECT_EQ(ExpandMetaVariables("%S|%P|%f", nullptr), GetSystemDir() + "|" + GetProgramFilesDir() + "|" +
                                                         GetCommonFilesDir());
  EXPECT_EQ(ExpandMetaVariables("%m %b %d", nullptr),
            GetStartMenuDir() + " " + GetProgramsMenuDir() + " " + GetDesktopDir());
}

}  // namespace
}  // namespace install
