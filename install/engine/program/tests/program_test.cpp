// Runs install.exe as a user would and reads the message box it shows on a
// bad command line, as the user sees it; and installs the product from a
// distribution beside it, with a screenshot of each page of the wizard.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/tests/archive_fixture.h"
#include "installer_user.h"
#include "product.h"

namespace {

using installer_user::Outcome;

// install.exe beside this test, started with the arguments.
Outcome RunInstaller(const std::string& arguments, const std::string& screenshot_folder = "") {
  Outcome outcome = installer_user::RunInstaller("install.exe " + arguments, "", screenshot_folder);
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

// The distribution beside the installer: the main archive with the
// script's system updaters and the product's files, as the build packs
// them.
TEST(InstallProgram, StartsFromItsScriptRunsAndEnds) {
  fixture::TempDir loader;
  std::vector<fixture::Member> members;
  for (const product::File& file : product::Files()) {
    fixture::Member member;
    member.name = file.name;
    member.data = file.data;
    member.fileID = file.id;
    members.push_back(member);
  }
  fixture::WriteFile(loader.path() / "files.1", fixture::PlainArchive(members));
  product::Forget();
  Outcome outcome = RunInstaller("*x \"-s" + loader.path().string() + "\"", (loader.path() / "shots").string());
  EXPECT_TRUE(outcome.exited);
  EXPECT_EQ(outcome.pages, product::kWizardPages);
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
  product::ExpectInstalled(product::Files());
  product::Forget();
}

}  // namespace
