// The link folder and its shortcuts as script objects: names, targets,
// the single main folder, what goes with what, and when a shortcut is
// written. The files themselves are tested under Wine.
#include "items/shelllinks.h"

#include <gtest/gtest.h>

#include "core/exceptions.h"
#include "items/filecontainer.h"
#include "items/installfile.h"
#include "items/uninstall.h"
#include "testing/fixtures.h"

namespace install_test {
namespace {

using namespace forms;
using namespace install;

// The uninstall program as already installed, without writing it.
class TInstalledUninstaller : public TUninstallEXE {
public:
  void MarkInstalled() { SetInstalled(true); }
};

class ShellLinks : public EngineTest {
protected:
  void SetUp() override {
    EngineTest::SetUp();
    form_ = New<TInstallMainForm>(owner_);
  }
  TMainLinkGroup* Group(const std::string& dest_dir = "\\Netmon") {
    auto* group = New<TMainLinkGroup>(form_);
    group->SetName("MainGroup");
    group->SetDestDir(dest_dir);
    return group;
  }
  TInstallMainLink* Link(const std::string& name = "Link") {
    auto* link = New<TInstallMainLink>(form_);
    link->SetName(name);
    return link;
  }
  template <class T>
  T* Target(const char* name) {
    auto* target = New<T>(form_);
    target->SetName(name);
    return target;
  }
  TInstallMainForm* form_ = nullptr;
};

TEST(ShellLinkRules, WrittenOnTheWindowsSystemsOrWhenAskedFor) {
  for (int os = os31win32; os <= oswinXP; ++os) {
    bool windows = os == oswin95 || os == oswinNT || os == oswin98 || os == oswinME || os == oswin2K ||
                   os == oswinXP;
    EXPECT_EQ(WritesShellLinkFile(mtAutoDetect, static_cast<TOSVerType>(os)), windows) << os;
    EXPECT_TRUE(WritesShellLinkFile(mtShellLinkInterface, static_cast<TOSVerType>(os))) << os;
  }
}

TEST(ShellLinkRules, ErrorTextsOfTheWellKnownResults) {
  struct Case {
    uint32_t code;
    const char* text;
  } cases[] = {{0x8000FFFF, "Indicates an unexpected error occurred"},
               {0x80040110, "Indicates this class cannot be created as part of an aggregate"},
               {0x80040154, "Indicates that a specified class is not registered in the registration database"},
               {0x8007000E, "Out of memory"},
               {0x80070057, "Indicates one or more arguments are invalid"},
               {0, ""},
               {0x80070005, "the error's own"}};
  for (const auto& c : cases)
    EXPECT_EQ(ShellLinkErrorText(ECOMError("the error's own", static_cast<int32_t>(c.code))), c.text) << c.code;
}

TEST_F(ShellLinks, OneMainFolderBelowThePrograms) {
  TMainLinkGroup* group = Group("");
  EXPECT_EQ(MainLinkGroup(), group);
  EXPECT_EQ(group->DestDir(), "");
  EXPECT_EQ(group->RegisteredType(), 7000);
  EXPECT_FALSE(group->ProcessWithContainer());
  EXPECT_EQ(group->DestDirType()->ClassName(), "TpsProgramMenu");
  group->SetDestDirType(FindPathSpecifierByClass("TpsProgramFiles"));
  EXPECT_EQ(group->DestDirType()->ClassName(), "TpsProgramMenu");
  try {
    New<TMainLinkGroup>(form_);
    ADD_FAILURE() << "a second main folder";
  } catch (const IEShellLinkGroup& error) {
    EXPECT_EQ(error.Message(), "You can only have one TMainLinkGroup component in your project");
  }
  EXPECT_EQ(MainLinkGroup(), group);
  Free(group);
  EXPECT_EQ(MainLinkGroup(), nullptr);
}

TEST_F(ShellLinks, TheFolderIsNamedAfterTheProduct) {
  auto* group = New<TMainLinkGroup>(form_);
  EXPECT_EQ(group->DestDir(), "\\MainFolderName");
  Free(group);
  New<TInstall>(form_)->Information().SetProductName("Network Monitor");
  EXPECT_EQ(New<TMainLinkGroup>(form_)->DestDir(), "\\Network Monitor");
}

TEST_F(ShellLinks, AShortcutNeedsTheMainFolderAsItsContainer) {
  try {
    Link();
    ADD_FAILURE() << "made without a folder";
  } catch (const IEInstallShellLink& error) {
    EXPECT_EQ(error.Message(),
              "To create a TInstallMainLink you must first have a TMainLinkGroup component in your project");
  }
  TMainLinkGroup* group = Group();
  TInstallMainLink* link = Link();
  EXPECT_EQ(link->Container(), group);
  EXPECT_EQ(link->DestDirType()->ClassName(), "TpsContainerDestDir");
  EXPECT_EQ(link->RegisteredType(), 8000);
  EXPECT_EQ(link->Method(), mtAutoDetect);
  EXPECT_FALSE(link->ProcessWithContainer());
  EXPECT_THROW(link->SetContainer(Object("Elsewhere", 1000)), IEInstallShellLink);
  EXPECT_EQ(link->Container(), group);
  // The first shortcut on the form brought the object-link specifier.
  EXPECT_EQ(FindPathSpecifierByClass("TpsObjectLink")->Owner(), form_);
  EXPECT_EQ(FindPathSpecifierByClass("TpsObjectLink")->Name(), "psObjectLink");
}

TEST_F(ShellLinks, LinkNamesKeepTheirKindOfExtension) {
  Group();
  TInstallMainLink* link = Link();
  struct Case {
    const char* before;
    const char* name;
    const char* stored;
  } cases[] = {{"", "Run?Me", "Run_Me.LNK"},
               {"", "a\"b*c/d<e>f|g.lnk", "a_b_c_d_e_f_g.lnk"},
               {"Old.lnk", "New", "New.LNK"},
               {"Old.URL", "New", "New.URL"},
               {"Old.URL", "New.txt", "New.URL"},
               {"Old", "New.exe", "New.LNK"},
               {"Old.lnk", "Site.url", "Site.url"},
               {"Old.lnk", "  ", "  "}};
  for (const auto& c : cases) {
    link->SetLinkName("");
    link->SetLinkName(c.before);
    link->SetLinkName(c.name);
    EXPECT_EQ(link->LinkName(), c.stored) << c.before << " then " << c.name;
  }
}

TEST_F(ShellLinks, ALocationNamesAShortcutWithoutAName) {
  Group();
  struct Case {
    const char* before;
    const char* location;
    const char* name;
  } cases[] = {{"", "HTTP://host/dir/page", "host/dir/page.URL"},
               {".lnk", "see ftp://files.example/pub", "files.example/pub.URL"},
               {"", "C:\\Tools\\viewer.exe", "viewer.LNK"},
               {"Named.lnk", "C:\\Tools\\viewer.exe", "Named.lnk"}};
  for (const auto& c : cases) {
    TInstallMainLink* link = Link("");
    link->SetLinkName(c.before);
    link->SetObjectLocation(c.location);
    EXPECT_EQ(link->LinkName(), c.name) << c.location;
    EXPECT_EQ(link->ObjectLocation(), c.location);
    EXPECT_EQ(link->IsInternetShortcut(), std::string(c.name).ends_with(".URL")) << c.location;
    Free(link);
  }
}

TEST_F(ShellLinks, AnObjectLinkNamesTheShortcutAndGivesItsPath) {
  Group();
  TInstallContainer* home = Object("Home", 1000);
  auto* programs = Target<TInstallDirectory>("Programs");
  programs->SetDestDir("C:\\Netmon");
  auto* file = Target<TInstallFile>("AppFile");
  file->SetDestName("App.exe");
  file->SetContainer(programs);
  file->SetDestDirType(FindPathSpecifierByClass("TpsContainerDestDir"));
  file->SetDestDir("\\bin");
  auto* directory = Target<TInstallDirectory>("Docs");
  directory->SetDescription("Documents");
  directory->SetDestDir("C:\\Netmon\\docs\\");

  TInstallMainLink* link = Link();
  link->SetObjectLocation("C:\\old.exe");
  link->SetObjectLink(file);
  EXPECT_EQ(link->LinkName(), "App.lnk");
  EXPECT_EQ(link->ObjectLocationType(), FindPathSpecifierByClass("TpsObjectLink"));
  EXPECT_EQ(link->ObjectLocation(), "");
  EXPECT_EQ(link->GetObjectPath(), "C:\\Netmon\\bin\\App.exe");
  // A location set now is not taken: the object gives the path.
  link->SetObjectLocation("C:\\other.exe");
  EXPECT_EQ(link->ObjectLocation(), "");

  link->SetObjectLink(directory);
  EXPECT_EQ(link->LinkName(), "Documents.lnk");
  EXPECT_EQ(link->GetObjectPath(), "C:\\Netmon\\docs");
  link->SetObjectLink(home);
  EXPECT_EQ(link->LinkName(), "Home.lnk");
  EXPECT_EQ(link->Container(), MainLinkGroup());

  link->SetObjectLink(nullptr);
  EXPECT_EQ(link->ObjectLink(), nullptr);
  EXPECT_EQ(link->ObjectLocationType(), nullptr);
  link->SetObjectLocation("D:\\Tools\\");
  EXPECT_EQ(link->GetObjectPath(), "D:\\Tools");
  auto* install = New<TInstall>(form_);
  install->SetDestDirType(nullptr);
  install->SetDestDir("C:\\Netmon");
  link->SetObjectLocationType(FindPathSpecifierByClass("TpsMainInstall"));
  link->SetObjectLocation("\\bin\\run.exe");
  EXPECT_EQ(link->GetObjectPath(), "C:\\Netmon\\bin\\run.exe");
}

TEST_F(ShellLinks, TheObjectLinkSpecifierServesOnlyShortcutsWithAnObject) {
  Group();
  TInstallMainLink* link = Link("Plain");
  auto* specifier = dynamic_cast<TCustomPathSpecifier*>(FindPathSpecifierByClass("TpsObjectLink"));
  std::string text;
  specifier->GetDisplayName(text);
  EXPECT_EQ(text, "Path of the file or file group in the ObjectLink property");
  try {
    specifier->Validate(Object("Stranger", 1000));
    ADD_FAILURE() << "not a shortcut";
  } catch (const IEPathSpecifier& error) {
    EXPECT_EQ(error.Message(), "Stranger must be a TCustomInstallShellLink to use the psObjectLink path specifier");
  }
  try {
    link->SetObjectLocationType(specifier);
    ADD_FAILURE() << "no object";
  } catch (const IEPathSpecifier& error) {
    EXPECT_EQ(error.Message(), "Cannot use ddObjectLink for Plain unless you assign a value to ObjectLink");
  }
  EXPECT_EQ(link->ObjectLocationType(), nullptr);
}

TEST_F(ShellLinks, AShortcutGoesWithItsObjectAndItsFolder) {
  Group();
  TTestObject* target = Object("Target", 2000);
  TInstallMainLink* pointing = Link("Pointing");
  pointing->SetObjectLink(target);
  Link("Other");
  Free(target);
  EXPECT_EQ(form_->FindComponent("Pointing"), nullptr);
  ASSERT_NE(form_->FindComponent("Other"), nullptr);
  EXPECT_EQ(MainLinkGroup()->HelperCount(), 1);
  Free(MainLinkGroup());
  EXPECT_EQ(form_->FindComponent("Other"), nullptr);
}

TEST_F(ShellLinks, TheFolderAndItsShortcutsGoWithTheEngine) {
  auto* install = New<TInstall>(form_);
  TMainLinkGroup* group = Group();
  group->SetContainer(install);
  Link("First");
  Link("Second");
  Object("Bystander", 2000, install);
  Free(install);
  EXPECT_EQ(MainLinkGroup(), nullptr);
  EXPECT_EQ(form_->FindComponent("First"), nullptr);
  EXPECT_EQ(form_->FindComponent("Second"), nullptr);
  ASSERT_NE(owner_->FindComponent("Bystander"), nullptr);
}

TEST_F(ShellLinks, AScriptListsTheFolderBeforeItsShortcuts) {
  TInstallMainForm* form = LoadMainForm({"-sC:\\Loader"}, R"(
TInstallMainForm InstallMainForm {
  TInstall Install1 {
    Information.ProductName = "Network Monitor"
  }
  TMainLinkGroup MainGroup {
    Container = Install1
    DestDir = "\\Netmon Tools"
  }
  TInstallMainLink Readme {
    LinkName = "Readme.URL"
    ObjectLocation = "http://netmon.example/readme"
    HotKey = 0x0352
    Method = mtShellLinkInterface
    Uninstall = False
  }
}
)");
  TMainLinkGroup* group = MainLinkGroup();
  ASSERT_TRUE(group);
  EXPECT_EQ(group->Container(), TCustomInstall::Instance());
  EXPECT_EQ(group->DestDir(), "\\Netmon Tools");
  auto* link = dynamic_cast<TInstallMainLink*>(form->FindComponent("Readme"));
  ASSERT_TRUE(link);
  EXPECT_EQ(link->Container(), group);
  EXPECT_EQ(link->LinkName(), "Readme.URL");
  EXPECT_EQ(link->ObjectLocation(), "http://netmon.example/readme");
  EXPECT_EQ(link->HotKey(), 0x0352);
  EXPECT_EQ(link->Method(), mtShellLinkInterface);
  EXPECT_FALSE(link->Uninstall());
}

TEST_F(ShellLinks, ProcessEventsReachTheFolderAndItsShortcuts) {
  TMainLinkGroup* group = Group();
  TInstallMainLink* link = Link();
  std::vector<std::string> seen;
  group->SetOnBeforeProcess([&](TInstallContainer*) { seen.push_back("folder"); });
  link->SetOnBeforeProcess([&](TInstallContainer*) { seen.push_back("link"); });
  group->SetInclude(false);
  link->SetInclude(false);
  TTestObject* top = Object("Top", 1000);
  group->SetContainer(top);
  top->BroadcastInformationEvent(top, ieProcessLinkGroup, nullptr);
  group->BroadcastInformationEvent(group, ieProcessShellLink, nullptr);
  EXPECT_EQ(seen, (std::vector<std::string>{"folder", "link"}));
}

TEST_F(ShellLinks, ABlankNameIsRefused) {
  Group();
  TInstallMainLink* link = Link("Nameless");
  link->SetLinkName("   ");
  try {
    link->Process();
    ADD_FAILURE() << "installed";
  } catch (const IEInstallShellLink& error) {
    EXPECT_EQ(error.Message(), "The LinkName is blank for Nameless and therefore could not be installed");
  }
  EXPECT_FALSE(link->Installed());
}

TEST_F(ShellLinks, AShortcutToTheUninstallerPassesTheProductName) {
  Group();
  auto* uninstaller = Target<TInstalledUninstaller>("Uninstaller");
  uninstaller->SetDestName("uninstall.exe");
  TInstallMainLink* link = Link();
  link->SetObjectLink(uninstaller);
  link->SetMethod(mtAutoDetect);
  link->SetUninstall(false);
  uninstaller->MarkInstalled();
  // The uninstaller needs the engine for the product name.
  try {
    link->Process();
    ADD_FAILURE() << "installed";
  } catch (const IEInstallShellLink& error) {
    EXPECT_EQ(error.Message(), "Link cannot perform operation because there is no TInstall component");
  }
  if (GetOSVersion() != osLinux) return;  // where nothing is written
  New<TInstall>(form_)->Information().SetProductName("Network Monitor");
  link->Process();
  EXPECT_EQ(link->Parameters(), "Network Monitor");
}

}  // namespace
}  // namespace install_test
