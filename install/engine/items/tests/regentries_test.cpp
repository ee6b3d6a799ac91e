// Registry key objects as script objects: their key paths, the entries'
// types as the script and the setters leave them, and the references they
// drop. What they write into the registry is tested under Wine.
#include "items/regentries.h"

#include <gtest/gtest.h>

#include "core/exceptions.h"
#include "testing/fixtures.h"

namespace install_test {
namespace {

using namespace forms;
using namespace install;

const char* const kScript = R"(
TInstallMainForm InstallMainForm {
  TPathSpecifier psTools {
  }
  TInstall Install1 {
    Information.CompanyName = "My Company"
    Information.ProductName = "My product"
    Information.Version = "1.0"
  }
  TInstallRegistry Settings {
    Container = Install1
    Key = "\\SOFTWARE\\Netmon\\"
    RootKey = hkCurrentUser
    Entries = <
      {
        Ident = "Retries"
        Integer = 5
      }
      {
        EntryType = retInteger
        Ident = "Port"
        Integer = 2001
      }
      {
        Ident = "Tools"
        PathSpecifier = psTools
        Text = "%p\\bin"
      }
    >
  }
  TInstallRegistry Versioned {
    Key = "\\ignored"
    KeySpecifierType = ksVersion
  }
}
)";

class RegistryKeyObjects : public EngineTest {
protected:
  void SetUp() override {
    EngineTest::SetUp();
    tools_ = New<TPathSpecifier>(owner_);
    tools_->SetOnGetPath([](TComponent*, std::string& path) { path = "C:\\Tools"; });
  }
  TInstallRegistry* Registry(const std::string& name) {
    return dynamic_cast<TInstallRegistry*>(owner_->FindComponent(name));
  }
  TInstallRegistry* NewRegistry() { return New<TInstallRegistry>(owner_); }
  TInstallMainForm* LoadScript() { return LoadMainForm({"-sC:\\Loader"}, kScript); }

  TPathSpecifier* tools_ = nullptr;
};

TEST_F(RegistryKeyObjects, DefaultsAndRegisteredType) {
  TInstallRegistry* registry = NewRegistry();
  EXPECT_EQ(registry->Key(), "\\SOFTWARE\\MyStuff");
  EXPECT_EQ(registry->KeySpecifierType(), ksAbsolute);
  EXPECT_EQ(registry->RootKey(), hkLocalMachine);
  EXPECT_EQ(registry->RegisteredType(), 8500);
  EXPECT_FALSE(registry->ProcessWithContainer());
  EXPECT_TRUE(registry->Include());
  EXPECT_EQ(registry->Entries().Count(), 0);
  EXPECT_EQ(registry->Entries().Add()->EntryType(), retText);
}

TEST_F(RegistryKeyObjects, TheScriptsEntriesKeepTheirStoredTypes) {
  TInstallMainForm* form = LoadScript();
  auto* settings = dynamic_cast<TInstallRegistry*>(form->FindComponent("Settings"));
  ASSERT_TRUE(settings);
  EXPECT_EQ(settings->Container(), TCustomInstall::Instance());
  EXPECT_EQ(settings->RootKey(), hkCurrentUser);
  EXPECT_EQ(settings->GetKeyPath(), "\\SOFTWARE\\Netmon");
  TRegistryEntries& entries = settings->Entries();
  ASSERT_EQ(entries.Count(), 3);
  EXPECT_EQ(entries.Items(0)->Owner(), settings);
  // Stored as text with an integer beside it: the stored type stands.
  EXPECT_EQ(entries.Items(0)->EntryType(), retText);
  EXPECT_EQ(entries.Items(0)->Integer(), 5);
  EXPECT_EQ(entries.Items(1)->EntryType(), retInteger);
  EXPECT_EQ(entries.Items(2)->PathSpecifier()->Name(), "psTools");
  EXPECT_EQ(entries.Items(2)->Text(), "%p\\bin");
  // Once loaded, the setters switch the type.
  entries.Items(0)->SetInteger(6);
  EXPECT_EQ(entries.Items(0)->EntryType(), retInteger);
  auto* versioned = dynamic_cast<TInstallRegistry*>(form->FindComponent("Versioned"));
  ASSERT_TRUE(versioned);
  EXPECT_EQ(versioned->Key(), "");
  EXPECT_EQ(versioned->GetKeyPath(), "\\SOFTWARE\\My Company\\My product\\1.0");
}

TEST_F(RegistryKeyObjects, SettersSwitchTheTypeOfTheirValue) {
  TRegistryEntry* entry = NewRegistry()->Entries().Add();
  entry->SetBoolean(true);
  EXPECT_EQ(entry->EntryType(), retBoolean);
  entry->SetInteger(3);
  EXPECT_EQ(entry->EntryType(), retInteger);
  entry->SetText("x");
  EXPECT_EQ(entry->EntryType(), retText);
  entry->SetInteger(3);
  entry->SetPathSpecifier(tools_);
  EXPECT_EQ(entry->EntryType(), retText);
  EXPECT_EQ(entry->Text(), "%p");
  EXPECT_EQ(entry->GetValueText(), "C:\\Tools");
}

TEST_F(RegistryKeyObjects, ValueTextsExpandThePathMacroOnlyWithASpecifier) {
  struct Case {
    const char* text;
    bool with_specifier;
    const char* value;
  } cases[] = {{"%p\\bin", true, "C:\\Tools\\bin"},
               {"%P;%p", true, "C:\\Tools;C:\\Tools"},
               {"100%%", true, "100%"},
               {"100%%", false, "100%%"},
               {"%p\\bin", false, "%p\\bin"}};
  TRegistryEntry* entry = NewRegistry()->Entries().Add();
  for (const auto& c : cases) {
    entry->SetPathSpecifier(c.with_specifier ? tools_ : nullptr);
    entry->SetText(c.text);
    EXPECT_EQ(entry->GetValueText(), c.value) << c.text << " " << c.with_specifier;
  }
}

TEST_F(RegistryKeyObjects, ASpecifierThatRefusesTheObjectIsNotTaken) {
  TRegistryEntry* entry = NewRegistry()->Entries().Add();
  entry->SetText("kept");
  // The container's destination needs a container, which this object lacks.
  EXPECT_THROW(entry->SetPathSpecifier(FindPathSpecifierByClass("TpsContainerDestDir")), IEPathSpecifier);
  EXPECT_EQ(entry->PathSpecifier(), nullptr);
  EXPECT_EQ(entry->Text(), "kept");
}

TEST_F(RegistryKeyObjects, AGoneSpecifierLeavesTheEntryWithItsType) {
  TRegistryEntry* entry = NewRegistry()->Entries().Add();
  entry->SetPathSpecifier(tools_);
  entry->SetInteger(7);
  Free(tools_);
  EXPECT_EQ(entry->PathSpecifier(), nullptr);
  EXPECT_EQ(entry->EntryType(), retInteger);
}

TEST_F(RegistryKeyObjects, KeysMadeFromTheProductNamesNeedTheEngine) {
  // The engine and the registry key object on one form, as in a script.
  auto* form = New<TInstallMainForm>(owner_);
  auto* registry = New<TInstallRegistry>(form);
  for (TKeySpecifier type : {ksCompanyName, ksProductName, ksVersion})
    EXPECT_THROW(registry->SetKeySpecifierType(type), IEInstallRegistry);
  EXPECT_EQ(registry->KeySpecifierType(), ksAbsolute);
  EXPECT_EQ(registry->Key(), "\\SOFTWARE\\MyStuff");

  auto* install = New<TInstall>(form);
  install->Information().SetCompanyName("ZUV");
  install->Information().SetProductName("Network Monitor");
  install->Information().SetVersion("2.1");
  registry->SetRootKey(hkCurrentUser);
  struct Case {
    TKeySpecifier type;
    const char* path;
  } cases[] = {{ksCompanyName, "\\SOFTWARE\\ZUV"},
               {ksProductName, "\\SOFTWARE\\ZUV\\Network Monitor"},
               {ksVersion, "\\SOFTWARE\\ZUV\\Network Monitor\\2.1"}};
  for (const auto& c : cases) {
    registry->SetKeySpecifierType(c.type);
    EXPECT_EQ(registry->GetKeyPath(), c.path);
  }
  EXPECT_EQ(registry->Key(), "");
  EXPECT_EQ(registry->RootKey(), hkLocalMachine);
  registry->SetKey("\\SOFTWARE\\Other");
  EXPECT_EQ(registry->Key(), "");

  // Without the engine the key is given absolutely again.
  Free(install);
  EXPECT_EQ(registry->KeySpecifierType(), ksAbsolute);
  registry->SetKey("\\SOFTWARE\\Other\\");
  EXPECT_EQ(registry->GetKeyPath(), "\\SOFTWARE\\Other");
}

TEST_F(RegistryKeyObjects, EntriesAreCopiedWithTheirValues) {
  TInstallRegistry* source = NewRegistry();
  TRegistryEntry* entry = source->Entries().Add();
  entry->SetIdent("Path");
  entry->SetPathSpecifier(tools_);
  entry->SetBoolean(true);
  TInstallRegistry* copy = NewRegistry();
  copy->Entries().Add();
  copy->SetEntries(source->Entries());
  ASSERT_EQ(copy->Entries().Count(), 1);
  TRegistryEntry* copied = copy->Entries().Items(0);
  EXPECT_EQ(copied->Owner(), copy);
  EXPECT_EQ(copied->Ident(), "Path");
  EXPECT_EQ(copied->PathSpecifier(), tools_);
  EXPECT_EQ(copied->Text(), "%p");
  EXPECT_TRUE(copied->Boolean());
  EXPECT_EQ(copied->EntryType(), retBoolean);
  EXPECT_THROW(TRegistryEntries(nullptr), IERegistryEntries);
}

// Nothing in the installer sends the event; a script's own code may.
TEST_F(RegistryKeyObjects, TheProcessRegistryEventProcessesTheObject) {
  TTestObject* parent = Object("Parent", 1000);
  TInstallRegistry* registry = NewRegistry();
  registry->SetContainer(parent);
  registry->SetUninstall(false);
  std::vector<std::string> seen;
  registry->SetOnBeforeProcess([&](TInstallContainer*) { seen.push_back("before"); });
  parent->BroadcastInformationEvent(parent, ieProcessing, nullptr);
  EXPECT_TRUE(seen.empty());
  parent->BroadcastInformationEvent(parent, ieProcessRegistry, nullptr);
  EXPECT_EQ(seen, std::vector<std::string>{"before"});
  EXPECT_TRUE(registry->Installed());
}

}  // namespace
}  // namespace install_test
