// Runs install.exe as a user would and reads the message box it shows on a
// bad command line, as the user sees it; installs the product from a
// distribution beside it, with a screenshot of each page of the wizard;
// and, started as the loader starts it, removes its own folder once it has
// ended.
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

// The main archive with the script's system updaters and the product's
// files, as the build packs them, written into folder.
void WriteProductArchive(const std::filesystem::path& folder) {
  std::vector<fixture::Member> members;
  for (const product::File& file : product::Files()) {
    fixture::Member member;
    member.name = file.name;
    member.data = file.data;
    member.fileID = file.id;
    members.push_back(member);
  }
  fixture::WriteFile(folder / "files.1", fixture::PlainArchive(members));
}

// The distribution beside the installer.
TEST(InstallProgram, StartsFromItsScriptRunsAndEnds) {
  fixture::TempDir loader;
  WriteProductArchive(loader.path());
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

// The installer as the loader starts it: from a folder of its own below
// the user's temporary folder, whose path has blanks as it has below
// "Documents and Settings", with the clean-up flag. Once it has ended, its
// batch removes that folder and then itself, and nothing else: the current
// folder holds a file named like a word of those paths.
TEST(InstallProgram, ItsBatchRemovesItsFolderThoughThePathHasBlanks) {
  namespace fs = std::filesystem;
  fixture::TempDir base;
  fs::path temporary = base.path() / "Documents and Settings" / "Temp";
  fs::path folder = temporary / "stp1.tmp";
  fs::path current = base.path() / "current";
  fs::create_directories(folder);
  fs::create_directories(current);
  fs::copy_file(product::BesideTheTest("install.exe"), folder / "install.exe");
  WriteProductArchive(folder);
  fixture::WriteFile(current / "and", "a word");
  product::Forget();
  char previous[MAX_PATH] = {};
  bool had_tmp = GetEnvironmentVariableA("TMP", previous, sizeof previous) > 0;
  SetEnvironmentVariableA("TMP", temporary.string().c_str());
  Outcome outcome = installer_user::RunInstaller(
      "\"" + (folder / "install.exe").string() + "\" \"-s" + folder.string() + "\" -c", current.string());
  SetEnvironmentVariableA("TMP", had_tmp ? previous : nullptr);
  EXPECT_TRUE(outcome.exited);
  EXPECT_EQ(outcome.box_text, "");
  EXPECT_EQ(outcome.exit_code, 0u);

  // The batch erases itself last: its end. A minute is only a safety net.
  auto batches_left = [&] {
    std::vector<std::string> left;
    for (const fs::directory_entry& entry : fs::directory_iterator(temporary))
      if (entry.path().extension() == ".bat") left.push_back(entry.path().filename().string());
    return left;
  };
  for (int i = 0; i < 600 && !batches_left().empty(); ++i) Sleep(100);
  EXPECT_EQ(batches_left(), std::vector<std::string>{});
  EXPECT_FALSE(fs::exists(folder));
  EXPECT_EQ(fixture::ReadFile(current / "and"), "a word");
  product::Forget();
}

}  // namespace
