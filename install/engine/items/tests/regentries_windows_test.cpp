// Registry key objects writing into Wine's registry. HKEY_LOCAL_MACHINE and
// HKEY_CURRENT_USER are moved into keys of the test's own for this process,
// so tests can run side by side; values are read back with the plain
// registry API.
#include "items/regentries.h"

#include <windows.h>
#include <sddl.h>

#include <memory>

#include <gtest/gtest.h>

#include "core/exceptions.h"
#include "items/uninstall.h"
#include "testing/fixtures.h"
#include "testing/moved_keys.h"

namespace install_test {
namespace {

using namespace forms;
using namespace install;

// One value as the registry holds it.
struct Value {
  DWORD type = REG_NONE;
  std::string text;
  DWORD number = 0;
  bool operator==(const Value&) const = default;
};

void PrintTo(const Value& value, std::ostream* os) {
  *os << "type " << value.type << " text \"" << value.text << "\" number " << value.number;
}

Value Text(const std::string& text) { return {REG_SZ, text, 0}; }
Value Number(DWORD number) { return {REG_DWORD, "", number}; }

class RegistryKeysWritten : public EngineTest {
protected:
  void SetUp() override {
    EngineTest::SetUp();
    keys_ = std::make_unique<MovedRootKeys>("RegistryKeys", std::initializer_list<HKEY>{HKEY_LOCAL_MACHINE,
                                                                                       HKEY_CURRENT_USER});
    ASSERT_TRUE(keys_->Moved());
    auto* form = New<TInstallMainForm>(owner_);
    install_ = New<TInstall>(form);
    install_->Information().SetProductName("Netmon");
    product_key_ = UninstallProductKey("Netmon");
  }
  void TearDown() override {
    keys_.reset();
    EngineTest::TearDown();
  }
  HKEY Private(HKEY root) const { return keys_->StandIn(root); }
  // The value below the stand-in of root; type REG_NONE when it is missing.
  Value Read(HKEY root, const std::string& key, const std::string& name) const {
    Value value;
    HKEY opened;
    if (RegOpenKeyExA(Private(root), key.substr(1).c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return value;
    char data[512] = {};
    DWORD size = sizeof data - 1;
    if (RegQueryValueExA(opened, name.c_str(), nullptr, &value.type, reinterpret_cast<BYTE*>(data), &size) ==
        ERROR_SUCCESS) {
      if (value.type == REG_DWORD) memcpy(&value.number, data, sizeof value.number);
      else value.text = data;
    }
    RegCloseKey(opened);
    return value;
  }
  Value Uninstall(const std::string& below, const std::string& name) const {
    return Read(HKEY_LOCAL_MACHINE, product_key_ + "\\" + below, name);
  }
  TInstallRegistry* Registry(const std::string& key, TRootKeys root = hkLocalMachine) {
    auto* registry = New<TInstallRegistry>(owner_);
    registry->SetKey(key);
    registry->SetRootKey(root);
    return registry;
  }
  TRegistryEntry* Entry(TInstallRegistry* registry, const std::string& ident) {
    TRegistryEntry* entry = registry->Entries().Add();
    entry->SetIdent(ident);
    return entry;
  }

  std::unique_ptr<MovedRootKeys> keys_;
  TInstall* install_ = nullptr;
  std::string product_key_;
};

TEST_F(RegistryKeysWritten, EachEntryIsWrittenWithItsType) {
  TInstallRegistry* registry = Registry("\\SOFTWARE\\ZUV\\Netmon\\");
  Entry(registry, "Name")->SetText("Monitor");
  Entry(registry, "Port")->SetInteger(2001);
  Entry(registry, "Enabled")->SetBoolean(true);
  Entry(registry, "Hidden")->SetBoolean(false);
  TRegistryEntry* path = Entry(registry, "Home");
  path->SetPathSpecifier(FindPathSpecifierByClass("TpsProgramFiles"));
  path->SetText("%p\\ZUV");
  registry->Process();
  EXPECT_TRUE(registry->Installed());
  // Program Files as the routines see it with HKLM moved: their fallback.
  const std::string key = "\\SOFTWARE\\ZUV\\Netmon";
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, key, "Name"), Text("Monitor"));
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, key, "Port"), Number(2001));
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, key, "Enabled"), Number(1));
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, key, "Hidden"), Number(0));
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, key, "Home"), Text(GetProgramFilesDir() + "\\ZUV"));
}

TEST_F(RegistryKeysWritten, TheKeyFollowsTheRootAndTheProductNames) {
  install_->Information().SetCompanyName("My Company");
  install_->Information().SetProductName("My product");
  install_->Information().SetVersion("1.0");
  TInstallRegistry* registry = Registry("");
  registry->SetKeySpecifierType(ksVersion);
  Entry(registry, "Seen")->SetInteger(1);
  TInstallRegistry* user = Registry("\\Software\\Netmon", hkCurrentUser);
  Entry(user, "Layout")->SetText("wide");
  registry->SetUninstall(false);
  user->SetUninstall(false);
  registry->Process();
  user->Process();
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, "\\SOFTWARE\\My Company\\My product\\1.0", "Seen"), Number(1));
  EXPECT_EQ(Read(HKEY_CURRENT_USER, "\\Software\\Netmon", "Layout"), Text("wide"));
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, "\\Software\\Netmon", "Layout"), Value{});
}

TEST_F(RegistryKeysWritten, AHandlerCanSkipAnEntry) {
  TInstallRegistry* registry = Registry("\\SOFTWARE\\Netmon");
  Entry(registry, "First")->SetText("1");
  Entry(registry, "Second")->SetText("2");
  Entry(registry, "Third")->SetText("3");
  std::vector<std::string> asked;
  registry->SetOnBeforeWriteEntry([&](TCustomInstallRegistry* sender, TRegistryEntry* entry, bool& go_on) {
    EXPECT_EQ(sender, registry);
    asked.push_back(entry->Ident());
    go_on = entry->Ident() != "Second";
  });
  registry->Process();
  EXPECT_EQ(asked, (std::vector<std::string>{"First", "Second", "Third"}));
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, "\\SOFTWARE\\Netmon", "First"), Text("1"));
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, "\\SOFTWARE\\Netmon", "Second"), Value{});
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, "\\SOFTWARE\\Netmon", "Third"), Text("3"));
  // The skipped value is still recorded for the uninstaller.
  EXPECT_EQ(Uninstall("RegistryKeys\\RegistryKey1\\Entries", "Second"), Text("2"));
}

TEST_F(RegistryKeysWritten, EachObjectRecordsItsKeyRootAndValuesForTheUninstaller) {
  TInstallRegistry* machine = Registry("\\SOFTWARE\\Netmon\\");
  TRegistryEntry* home = Entry(machine, "Home");
  home->SetPathSpecifier(FindPathSpecifierByClass("TpsProgramFiles"));
  home->SetText("%p\\ZUV");
  TRegistryEntry* port = Entry(machine, "Port");
  port->SetText("unused");
  port->SetInteger(2001);
  Entry(machine, "Enabled")->SetBoolean(true);
  TInstallRegistry* user = Registry("\\Software\\Netmon", hkCurrentUser);
  Entry(user, "Layout")->SetText("wide");
  machine->Process();
  user->Process();

  EXPECT_EQ(Uninstall("RegistryKeys", "Entries"), Text("2"));
  EXPECT_EQ(Uninstall("RegistryKeys\\RegistryKey1", "Key"), Text("\\SOFTWARE\\Netmon"));
  EXPECT_EQ(Uninstall("RegistryKeys\\RegistryKey1", "Root"), Number(hkLocalMachine));
  EXPECT_EQ(Uninstall("RegistryKeys\\RegistryKey1\\Entries", "Home"), Text(GetProgramFilesDir() + "\\ZUV"));
  // Integer and Boolean entries record their text, whatever it is.
  EXPECT_EQ(Uninstall("RegistryKeys\\RegistryKey1\\Entries", "Port"), Text("unused"));
  EXPECT_EQ(Uninstall("RegistryKeys\\RegistryKey1\\Entries", "Enabled"), Text(""));
  EXPECT_EQ(Uninstall("RegistryKeys\\RegistryKey2", "Key"), Text("\\Software\\Netmon"));
  EXPECT_EQ(Uninstall("RegistryKeys\\RegistryKey2", "Root"), Number(2));
  EXPECT_EQ(Uninstall("RegistryKeys\\RegistryKey2\\Entries", "Layout"), Text("wide"));
}

TEST_F(RegistryKeysWritten, ALaterInstallationContinuesTheCounter) {
  WriteRegistryString(hkLocalMachine, product_key_ + "\\RegistryKeys", "Entries", "4");
  Registry("\\SOFTWARE\\Netmon")->Process();
  EXPECT_EQ(Uninstall("RegistryKeys", "Entries"), Text("5"));
  EXPECT_EQ(Uninstall("RegistryKeys\\RegistryKey5", "Key"), Text("\\SOFTWARE\\Netmon"));
}

TEST_F(RegistryKeysWritten, ACounterThatIsNoNumberRaises) {
  WriteRegistryString(hkLocalMachine, product_key_ + "\\RegistryKeys", "Entries", "abc");
  EXPECT_THROW(Registry("\\SOFTWARE\\Netmon")->Process(), EConvertError);
  EXPECT_EQ(Uninstall("RegistryKeys\\RegistryKey1", "Key"), Value{});
}

TEST_F(RegistryKeysWritten, WithoutUninstallNothingIsRecorded) {
  TInstallRegistry* registry = Registry("\\SOFTWARE\\Netmon");
  registry->SetUninstall(false);
  registry->Process();
  EXPECT_EQ(Uninstall("RegistryKeys", "Entries"), Value{});
}

TEST_F(RegistryKeysWritten, AKeyThatCannotBeOpenedForWritingRaises) {
  TInstallRegistry* registry = Registry("\\SOFTWARE\\Locked");
  registry->SetName("LockedKey");
  Entry(registry, "Value")->SetText("x");
  HKEY locked;
  ASSERT_EQ(RegCreateKeyExA(Private(HKEY_LOCAL_MACHINE), "SOFTWARE\\Locked", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &locked, nullptr),
            ERROR_SUCCESS);
  PSECURITY_DESCRIPTOR read_only = nullptr;
  ASSERT_TRUE(
      ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(A;;KR;;;WD)", SDDL_REVISION_1, &read_only, nullptr));
  EXPECT_EQ(RegSetKeySecurity(locked, DACL_SECURITY_INFORMATION, read_only), ERROR_SUCCESS);
  LocalFree(read_only);
  try {
    registry->Process();
    ADD_FAILURE() << "no error";
  } catch (const IERegistryEntry& error) {
    EXPECT_EQ(error.Message(), "LockedKey cannot create the key \\SOFTWARE\\Locked in the registry");
  }
  EXPECT_FALSE(registry->Installed());
  // Open again so that the tree can be deleted.
  PSECURITY_DESCRIPTOR all = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(A;;KA;;;WD)", SDDL_REVISION_1, &all, nullptr));
  EXPECT_EQ(RegSetKeySecurity(locked, DACL_SECURITY_INFORMATION, all), ERROR_SUCCESS);
  LocalFree(all);
  RegCloseKey(locked);
}

}  // namespace
}  // namespace install_test
