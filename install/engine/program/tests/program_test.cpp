// Runs install.exe as a user would and reads the message box it shows on a
// bad command line, as the user sees it; and installs the product from a
// distribution beside it, with a screenshot of each page of the wizard.
// Registry calls of Windows Vista and later (RegGetValue, RegDeleteTree).
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/tests/archive_fixture.h"
#include "installer_user.h"

namespace {

using installer_user::Outcome;

// install.exe beside this test, started with the arguments.
Outcome RunInstaller(const std::string& arguments, const std::string& screenshot_folder = "") {
  Outcome outcome = installer_user::RunInstaller("install.exe " + arguments, screenshot_folder);
  EXPECT_TRUE(outcome.started) << "cannot start install.exe " << arguments;
  return outcome;
}

const char* const kInvalid =
    "Invalid parameter <%s>. Valid command line parameters are: -b (Build), -d (Debug), -f (Transfer to floppies), -e "
    "(Called by self-extractor), -r (After reboot).";

std::string Invalid(const std::string& argument) {
  std::string text = kInvalid;
  return text.replace(text.find("%s"), 2, argument);
}

TEST(InstallProgram, RefusesABadCommandLineWithTheMessage) {
  struct Case {
    const char* arguments;
    std::string message;
  } cases[] = {
      {"-x", Invalid("-x")},
      {"*x -", Invalid("-")},
      {"\"-sC:\\dist\\\" -q", Invalid("-q")},  // the quote ends the group, -q stays an argument
      {"-d", "You forgot to pass in the build directory. In Run | Parameters, follow this format: -d \"-sC:\\My "
             "Build\"."},
  };
  for (const auto& c : cases) {
    Outcome outcome = RunInstaller(c.arguments);
    EXPECT_TRUE(outcome.exited) << c.arguments;
    EXPECT_EQ(outcome.exit_code, 1u) << c.arguments;
    EXPECT_EQ(outcome.box_caption, "Install") << c.arguments;
    EXPECT_EQ(outcome.box_text, c.message) << c.arguments;
  }
}

// Reads a text value, empty when it is not there.
std::string RegistryText(HKEY root, const char* key, const char* value) {
  char data[MAX_PATH] = {};
  DWORD size = sizeof data;
  if (RegGetValueA(root, key, value, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS) return "";
  return data;
}

// A file beside this test program (and install.exe).
std::filesystem::path BesideTheTest(const char* name) {
  char program[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, program, sizeof program);
  return std::filesystem::path(program).parent_path() / name;
}

const char* const kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Network Monitor";

// The distribution beside the installer: the main archive with the
// script's system updaters and the product's files, as the build packs
// them. The control is a library that registers itself under a value of
// its own.
TEST(InstallProgram, StartsFromItsScriptRunsAndEnds) {
  fixture::TempDir loader;
  struct Packed {
    const char* name;
    std::string data;
  } packed[] = {
      {"Redist\\ShFolder.Exe", "MZ shell folders"},
      {"Redist\\50ComUpd.Exe", "MZ common controls"},
      {"Bin\\dmwclient.dll", "MZ trend agent"},
      {"Bin\\polyprobe.dll", "MZ service monitor"},
      {"Bin\\pagerwire.dll", "MZ messaging"},
      {"Bin\\tipcaster.ocx", fixture::ReadFile(BesideTheTest("install_program_regserver.dll"))},
  };
  std::vector<fixture::Member> members;
  for (const Packed& p : packed) {
    fixture::Member member;
    member.name = p.name;
    member.data = p.data;
    member.fileID = static_cast<int32_t>(members.size());  // the identifiers of the script
    members.push_back(member);
  }
  fixture::WriteFile(loader.path() / "files.1", fixture::PlainArchive(members));
  RegDeleteKeyValueA(HKEY_CURRENT_USER, "Software\\NetmonTests", "ProgramTestRegistered");
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, kUninstallKey);
  Outcome outcome = RunInstaller("*x \"-s" + loader.path().string() + "\"", (loader.path() / "shots").string());
  EXPECT_TRUE(outcome.exited);
  EXPECT_EQ(outcome.pages, (std::vector<std::string>{"Welcome", "Choose Destination Location",
                                                      "Select folder in start menu", "Setup complete"}));
  // A screenshot of each page, as large as the page's window.
  ASSERT_EQ(outcome.screenshots.size(), outcome.pages.size());
  EXPECT_EQ(std::filesystem::path(outcome.screenshots[1]).filename(), "02_Choose_Destination_Location.bmp");
  for (const std::string& shot : outcome.screenshots) {
    std::string file = fixture::ReadFile(shot);
    ASSERT_GT(file.size(), 54u) << shot;
    EXPECT_EQ(file.substr(0, 2), "BM") << shot;
    int32_t width = 0;
    std::memcpy(&width, file.data() + 18, sizeof width);
    EXPECT_GE(width, 478) << shot;
  }
  EXPECT_EQ(outcome.box_text, "");
  EXPECT_EQ(outcome.exit_code, 0u);
  // Under Wine neither updater is needed: the shell-folder one is
  // installed and not run, the common-controls one is left out.
  char program_files[MAX_PATH] = {};
  ExpandEnvironmentStringsA("%ProgramFiles%", program_files, sizeof program_files);
  std::filesystem::path product = std::filesystem::path(program_files) / "ZUV";
  EXPECT_EQ(fixture::ReadFile(product / "Updates" / "ShFolder.Exe"), "MZ shell folders");
  EXPECT_FALSE(std::filesystem::exists(product / "Updates" / "50ComUpd.Exe"));
  for (size_t i = 2; i < members.size(); ++i) {
    std::string file = members[i].name.substr(members[i].name.find('\\') + 1);
    EXPECT_EQ(fixture::ReadFile(product / file), members[i].data) << file;
  }
  EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, "Software\\NetmonTests", "ProgramTestRegistered"),
            (product / "tipcaster.ocx").string());
  std::string active_x = std::string(kUninstallKey) + "\\ActiveX";
  EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, active_x.c_str(), "File1"), (product / "tipcaster.ocx").string() + ";0");
  EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, (std::string(kUninstallKey) + "\\Files").c_str(), "Entries"), "3");
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, kUninstallKey);
  RegDeleteKeyValueA(HKEY_CURRENT_USER, "Software\\NetmonTests", "ProgramTestRegistered");
  std::error_code ignored;
  std::filesystem::remove_all(product, ignored);
}

}  // namespace
