// The link folder and its shortcuts writing real files under Wine: shell
// links are read back through the shell's own link object and the hot key
// from the file's bytes; Internet shortcuts as text. The folder is one of
// the test process's own below the Programs menu; HKEY_LOCAL_MACHINE is
// moved into a key of its own for the uninstall entries.
#include "items/shelllinks.h"

#include <windows.h>
#include <objidl.h>
#include <shlobj.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include <gtest/gtest.h>

#include "core/exceptions.h"
#include "items/uninstall.h"
#include "paths/osroutines.h"
#include "paths/registry.h"
#include "shortcut.h"
#include "testing/fixtures.h"
#include "testing/moved_keys.h"

namespace install_test {
namespace {

using namespace forms;
using namespace install;

std::string FileText(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

class ShellLinkFiles : public EngineTest {
protected:
  void SetUp() override {
    EngineTest::SetUp();
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    keys_ = std::make_unique<MovedRootKeys>("Links", std::initializer_list<HKEY>{HKEY_LOCAL_MACHINE});
    ASSERT_TRUE(keys_->Moved());
    form_ = New<TInstallMainForm>(owner_);
    install_ = New<TInstall>(form_);
    install_->Information().SetProductName("Netmon");
    group_ = New<TMainLinkGroup>(form_);
    group_->SetName("MainGroup");
    group_->SetContainer(install_);
    group_->SetDestDir("\\NetmonLinks" + std::to_string(GetCurrentProcessId()));
    folder_ = GetProgramsMenuDir() + group_->DestDir();
    std::filesystem::remove_all(folder_);
  }
  void TearDown() override {
    std::filesystem::remove_all(folder_);
    keys_.reset();
    CoUninitialize();
    EngineTest::TearDown();
  }
  TInstallMainLink* Link(const std::string& link_name) {
    auto* link = New<TInstallMainLink>(form_);
    link->SetName("Link");
    link->SetLinkName(link_name);
    return link;
  }
  // A value of the product's file list, or "(none)".
  std::string FileList(const std::string& name) {
    return ReadRegistryString(hkLocalMachine, UninstallProductKey("Netmon") + "\\Files", name, "(none)");
  }
  // The failure of processing the link, or "" when it was installed.
  static std::string Failure(TInstallMainLink* link) {
    try {
      link->Process();
    } catch (const IEInstallShellLink& error) {
      return error.Message();
    }
    return "";
  }

  std::unique_ptr<MovedRootKeys> keys_;
  TInstallMainForm* form_ = nullptr;
  TInstall* install_ = nullptr;
  TMainLinkGroup* group_ = nullptr;
  std::string folder_;
};

TEST_F(ShellLinkFiles, TheFolderIsMadeAfterTheSelectFolderPageHadItsSay) {
  TTestObject* page = Object("SelectFolder", 9000, group_);
  group_->Process();
  EXPECT_NE(std::find(Journal().begin(), Journal().end(), "SelectFolder heard -991 from MainGroup"),
            Journal().end());
  EXPECT_TRUE(std::filesystem::is_directory(folder_));
  EXPECT_TRUE(group_->Installed());
  // A folder records nothing for the uninstaller.
  EXPECT_EQ(FileList("Entries"), "(none)");
  Free(page);
}

TEST_F(ShellLinkFiles, AShellLinkPointsAtItsTargetWithArgumentsAndHotKey) {
  group_->Process();
  TInstallMainLink* link = Link("Editor.lnk");
  const std::string notepad = GetWindowsDir() + "\\notepad.exe";
  link->SetObjectLocation(notepad);
  link->SetParameters("%a\\notes.txt 100%%");
  link->SetHotKey(0x0352);
  link->Process();
  std::string file_name = folder_ + "\\Editor.lnk";
  ASSERT_TRUE(std::filesystem::is_regular_file(file_name));
  shortcut::Shortcut read = shortcut::Read(file_name);
  ASSERT_TRUE(read.read) << "cannot load " << file_name;
  EXPECT_TRUE(SameText(read.target, notepad)) << read.target;
  EXPECT_EQ(read.arguments, folder_ + "\\notes.txt 100%");
  EXPECT_TRUE(SameText(read.working_directory, GetWindowsDir())) << read.working_directory;
  EXPECT_EQ(read.hot_key, 0x0352);
  std::string bytes = FileText(file_name);
  ASSERT_GT(bytes.size(), 0x42u);
  EXPECT_EQ(static_cast<uint8_t>(bytes[0x40]) | static_cast<uint8_t>(bytes[0x41]) << 8, 0x0352);
  EXPECT_EQ(FileList("File1"), file_name);
  EXPECT_EQ(FileList("Entries"), "1");
}

TEST_F(ShellLinkFiles, AnInternetShortcutIsAnIniFileWhateverTheMethod) {
  group_->Process();
  TInstallMainLink* link = Link("Readme.URL");
  link->SetObjectLocation("http://netmon.example/readme");
  link->SetMethod(mtShellLinkInterface);
  link->Process();
  std::string text = FileText(folder_ + "\\Readme.URL");
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
  EXPECT_EQ(text, "[InternetShortcut]\nURL=http://netmon.example/readme\n");
  EXPECT_EQ(FileList("File1"), folder_ + "\\Readme.URL");
}

TEST_F(ShellLinkFiles, AShortcutToAFolderMakesTheFolder) {
  TInstallMainLink* link = Link("");
  link->SetObjectLink(group_);
  EXPECT_EQ(link->LinkName(), "MainGroup.lnk");
  group_->Process();
  std::filesystem::remove_all(folder_);
  link->Process();
  EXPECT_TRUE(std::filesystem::is_directory(folder_));
  shortcut::Shortcut group = shortcut::Read(folder_ + "\\MainGroup.lnk");
  EXPECT_TRUE(group.read);
  EXPECT_TRUE(SameText(group.target, folder_));
}

TEST_F(ShellLinkFiles, AShortcutToAnObjectNotInstalledWritesNoFileButIsRecorded) {
  group_->Process();
  TTestObject* target = Object("Target", 2000);
  TInstallMainLink* link = Link("");
  link->SetObjectLink(target);
  link->Process();
  EXPECT_TRUE(link->Installed());
  EXPECT_FALSE(std::filesystem::exists(folder_ + "\\Target.lnk"));
  EXPECT_EQ(FileList("File1"), folder_ + "\\Target.lnk");
}

TEST_F(ShellLinkFiles, AFailedSaveReportsTheResultCode) {
  group_->Process();
  TInstallMainLink* link = Link("Taken.lnk");
  link->SetObjectLocation(GetWindowsDir() + "\\notepad.exe");
  std::filesystem::create_directories(folder_ + "\\Taken.lnk");
  std::string failure = Failure(link);
  const std::string start = "The TCustomInstallShellLink Link name could not be installed. The following error was reported ";
  EXPECT_EQ(failure.substr(0, start.size()), start) << failure;
  EXPECT_NE(failure.find(". Error code -2147"), std::string::npos) << failure;
  EXPECT_FALSE(link->Installed());
  EXPECT_EQ(FileList("Entries"), "(none)");
}

TEST_F(ShellLinkFiles, ANameTooLongForTheShellIsRefused) {
  group_->Process();
  TInstallMainLink* link = Link(std::string(250, 'n') + ".lnk");
  link->SetObjectLocation(GetWindowsDir() + "\\notepad.exe");
  std::string failure = Failure(link);
  EXPECT_NE(failure.find("is longer than 259 characters"), std::string::npos) << failure;
}

}  // namespace
}  // namespace install_test
