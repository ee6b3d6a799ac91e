// The uninstall program of a script: the Add/Remove Programs values it
// writes from the engine's information, against Wine's registry.
#include <gtest/gtest.h>

#include "core/exceptions.h"
#include "items/uninstall.h"
#include "paths/registry.h"
#include "testing/filetree.h"

namespace install_test {
namespace {

using namespace forms;
using namespace install;

const char* const kProductKey = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Netmon  ";

class UninstallProgram : public FileTreeTest {
protected:
  // The script: the uninstall program and the icon in one directory; the
  // icon, the newer helper, is installed first.
  TInstallMainForm* Load(const std::string& extension) {
    // The form makes the standard specifiers its script refers to.
    std::vector<TCustomPathSpecifier*> made_for_the_test = StandardPathSpecifiers().Items();
    for (TCustomPathSpecifier* specifier : made_for_the_test) Free(specifier);
    std::string from = ScriptString(source_dir_);
    TInstallMainForm* form = LoadMainForm({}, R"(TInstallMainForm F {
      TInstall Install1 {
        RunAutomatic = False
        Information.ProductName = "Netmon  "
        Information.CompanyName = "ZUV"
        Information.Version = "2.1"
        )" + extension + R"(
      }
      TInstallDirectory Programs {
        Container = Install1
        DestDir = )" + ScriptString(dest_) + R"(
        ArchiveFile = )" + ScriptString(archive_) + R"(
      }
      TUninstallEXE IFuninstall {
        Container = Programs
        ArchiveFileType = psContainerArchiveFile
        DestDirType = psContainerDestDir
        IncludeFromDir = )" + from + R"(
        FileName = "uninstall.exe"
        DestName = "uninstall.exe"
        Order = 3
      }
      TInstallFile IFicon {
        Container = Programs
        ArchiveFileType = psContainerArchiveFile
        DestDirType = psContainerDestDir
        IncludeFromDir = )" + from + R"(
        FileName = "monitor.ico"
        DestName = "monitor.ico"
      }
    })");
    for (const char* name : {"IFuninstall", "IFicon"}) {
      auto* file = static_cast<TCustomInstallFile*>(form->FindComponent(name));
      Source(file->FileName(), 64);
      Pack(file);
    }
    return form;
  }
  std::string Value(const std::string& name) const {
    return ReadRegistryString(hkLocalMachine, kProductKey, name, "(none)");
  }
};

TEST_F(UninstallProgram, WritesTheAddRemoveProgramsValues) {
  TInstallMainForm* form = Load(R"(win2KExtendedInformation.Comments = "Watches the network"
        win2KExtendedInformation.HelpLink = "http://zuv.example/help"
        win2KExtendedInformation.DisplayIcon = IFicon
        win2KExtendedInformation.ReadMe = IFuninstall)");
  auto* uninstall = static_cast<TUninstallEXE*>(form->FindComponent("IFuninstall"));
  EXPECT_TRUE(uninstall->Net());
  EXPECT_EQ(uninstall->Order(), 3);
  static_cast<TInstallDirectory*>(form->FindComponent("Programs"))->Process();

  std::string uninstall_path = AddTrailingBackslash(dest_) + "uninstall.exe";
  EXPECT_EQ(Value("DisplayName"), "Netmon");
  EXPECT_EQ(Value("UninstallString"), uninstall_path + " Netmon");
  EXPECT_EQ(Value("Comments"), "Watches the network");
  EXPECT_EQ(Value("Contact"), "(none)");
  EXPECT_EQ(Value("DisplayIcon"), AddTrailingBackslash(dest_) + "monitor.ico");
  EXPECT_EQ(Value("DisplayVersion"), "2.1");
  EXPECT_EQ(Value("HelpLink"), "http://zuv.example/help");
  EXPECT_EQ(Value("Publisher"), "ZUV");
  // A file is installed before its uninstall entries are written.
  EXPECT_EQ(Value("Readme"), uninstall_path);
  EXPECT_EQ(Value("RegOwner"), "(none)");
  // No file-list entry for the uninstall program; the icon has one.
  EXPECT_EQ(ReadRegistryString(hkLocalMachine, std::string(kProductKey) + "\\Files", "Entries", ""), "1");
  EXPECT_EQ(ReadRegistryString(hkLocalMachine, std::string(kProductKey) + "\\Files", "File1", ""),
            AddTrailingBackslash(dest_) + "monitor.ico");
}

TEST_F(UninstallProgram, AReferencedFileThatGoesIsForgotten) {
  TInstallMainForm* form = Load("win2KExtendedInformation.DisplayIcon = IFicon");
  TControlPanelExtensionInformation& extension = TCustomInstall::Instance()->Win2KExtendedInformation();
  ASSERT_EQ(extension.DisplayIcon(), form->FindComponent("IFicon"));
  Free(form->FindComponent("IFicon"));
  EXPECT_EQ(extension.DisplayIcon(), nullptr);
  EXPECT_TRUE(TCustomInstall::Instance()->BuildInfo().AddUninstallOnCreate);
  Free(form->FindComponent("IFuninstall"));
  EXPECT_FALSE(TCustomInstall::Instance()->BuildInfo().AddUninstallOnCreate);
}

TEST_F(UninstallProgram, NeedsAnEngine) {
  auto* uninstall = New<TUninstallEXE>(owner_);
  uninstall->SetName("IFuninstall");
  try {
    uninstall->WriteUninstallInfo(kProductKey);
    ADD_FAILURE();
  } catch (const IEUninstallEXE& error) {
    EXPECT_EQ(error.Message(),
              "IFuninstall could not write information about the uninstall to the registry because there was no "
              "TInstall component");
  }
}

}  // namespace
}  // namespace install_test
