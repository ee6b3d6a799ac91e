// The product's distribution as its vendor and its users meet it: the
// vendor runs install.exe -b beside BUILD.INF in a folder that holds the
// product's files, a user runs the setup.exe that comes out. setup.exe is
// cut into its parts by the self-extract header's layout and checked with
// the test's own SHA-1, the archives read back member by member with the
// test's own reader. Drive R: is a read-only disk and A: a floppy, both
// mounted around these tests.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "archive/tests/archive_fixture.h"
#include "distribution/tests/distribution_fixture.h"
#include "installer_user.h"
#include "product.h"
#include "vendor_and_user.h"

namespace {

namespace fs = std::filesystem;
using installer_user::Outcome;
using product::BesideTheTest;

using Distribution = VendorAndUser;

TEST_F(Distribution, TheBuildMakesASelfExtractingSetupFromBuildInf) {
  BuildTheDistribution();

  std::string setup1 = fixture::ReadFile(dist_ / "setup.1");
  std::string files1 = fixture::ReadFile(dist_ / "files.1");
  std::string loader = fixture::ReadFile(BesideTheTest("QuendricLoadProgram.exe"));
  fixture::SetupExe exe = fixture::SplitSetupExe(fixture::ReadFile(dist_ / "setup.exe"), true);
  EXPECT_EQ(exe.marker_length, 14);
  EXPECT_EQ(exe.marker, "SELFEXTRACTING");
  EXPECT_TRUE(exe.zeros);
  EXPECT_TRUE(exe.loader == loader) << "the loader program is not at the start of setup.exe";
  EXPECT_EQ(exe.setup1_first, static_cast<int32_t>(loader.size()));
  EXPECT_EQ(exe.setup1_last, exe.setup1_first + static_cast<int32_t>(setup1.size()) - 1);
  EXPECT_EQ(exe.files1_first, exe.setup1_last + 1);
  EXPECT_EQ(exe.files1_last, exe.files1_first + static_cast<int32_t>(files1.size()) - 1);
  EXPECT_TRUE(exe.setup1 == setup1);
  EXPECT_TRUE(exe.files1 == files1);
  EXPECT_EQ(exe.between, "");
  EXPECT_EQ(exe.trailer, fixture::Sha1Hex(exe.covered));

  std::vector<fixture::Member> installer = fixture::ReadMembers(setup1);
  ASSERT_EQ(installer.size(), 1u);
  EXPECT_EQ(installer[0].name, (stage_ / "install.exe").string());
  EXPECT_TRUE(installer[0].data == fixture::ReadFile(stage_ / "install.exe"));
  std::map<std::string, fixture::Member> members = fixture::MembersByName(dist_ / "files.1");
  ASSERT_EQ(members.size(), files_.size());
  for (const product::File& file : files_) {
    ASSERT_EQ(members.count(file.name), 1u) << file.name;
    EXPECT_EQ(members[file.name].fileID, file.id) << file.name;
    EXPECT_TRUE(members[file.name].data == file.data) << file.name;
  }
}

TEST_F(Distribution, AFailedBuildSaysWhyAndLeavesNoDistribution) {
  BuildTheDistribution();  // an earlier build: the failed one writes setup.exe and setup.1 anew
  struct Case {
    const char* what;
    std::function<std::string()> build_inf;  // arranges the failure
    std::string message;
  } cases[] = {
      {"a missing file",
       [this] {
         fs::remove(stage_ / "Bin\\pagerwire.dll");
         return dist_.string();
       },
       "Could not open or find the following file when trying to read the Size, Date, and Version "
       ":Bin\\pagerwire.dll"},
      {"a read-only build directory", [] { return std::string("R:\\readonly"); },
       "Cannot create the file R:\\readonly\\setup.1"},
      {"no first line", [] { return std::string(); },
       "Must be 1 line in BUILD.INF. This line should specify the build directory"},
      {"a blank first line", [] { return std::string("  \r\nC:\\later"); },
       "Must be 1 line in BUILD.INF. This line should specify the build directory"},
  };
  for (const Case& c : cases) {
    Outcome outcome = Build(c.build_inf());
    EXPECT_EQ(outcome.box_caption, "Install") << c.what;
    EXPECT_EQ(outcome.box_text, c.message) << c.what;
    EXPECT_EQ(outcome.exit_code, 1u) << c.what;
    EXPECT_FALSE(Built("setup.exe") || Built("setup.1")) << c.what;
    EXPECT_TRUE(fs::is_empty("R:\\readonly")) << c.what;
  }
  fs::remove(stage_ / "BUILD.INF");
  Outcome outcome = installer_user::RunInstaller("\"" + (stage_ / "install.exe").string() + "\" -b", stage_.string());
  EXPECT_EQ(outcome.box_text,
            "Need to have a BUILD.INF file in this directory with the first line specifying the build directory");
  EXPECT_EQ(outcome.exit_code, 1u);
}

TEST_F(Distribution, AUserInstallsTheProductFromSetupExe) {
  BuildTheDistribution();
  product::Forget();

  Outcome outcome = RunSetup(dist_ / "setup.exe");

  EXPECT_EQ(outcome.pages, product::kWizardPages);
  EXPECT_EQ(outcome.box_text, "");
  EXPECT_EQ(outcome.exit_code, 0u);
  product::ExpectInstalled(files_);
  // The installer's folder went with the end of the installation, and so
  // did its install record.
  EXPECT_EQ(LoaderFolders(), std::vector<std::string>{});
  EXPECT_EQ(RecordsOfTheLoadersInstaller(), std::vector<std::string>{});
  product::Forget();
}

TEST_F(Distribution, ADamagedSetupExeIsRefused) {
  BuildTheDistribution();
  std::string good = fixture::ReadFile(dist_ / "setup.exe");
  size_t header = good.size() - 96;
  auto patched = [&good](size_t at, char value) {
    std::string bytes = good;
    bytes[at] = value;
    return bytes;
  };
  struct Case {
    const char* damage;
    std::string bytes;
    std::string reason;
  } cases[] = {
      {"a digit of the checksum", patched(good.size() - 1, good.back() == '0' ? '1' : '0'),
       "its checksum does not match its contents"},
      {"the marker of the header", patched(header + 1, 'X'), "its checksum does not match its contents"},
      {"the header and the checksum cut off", good.substr(0, header), "it does not end with the setup information"},
  };
  fs::create_directories(stage_ / "damaged");
  fs::path setup = stage_ / "damaged" / "setup.exe";
  for (const Case& c : cases) {
    fixture::WriteFile(setup, c.bytes);
    Outcome outcome = RunSetup(setup);
    EXPECT_EQ(outcome.box_caption, "Setup") << c.damage;
    EXPECT_EQ(outcome.box_text, "The setup file " + setup.string() + " is damaged: " + c.reason +
                                    ". Please get a new copy of the setup program.")
        << c.damage;
    EXPECT_EQ(outcome.exit_code, 1u) << c.damage;
    EXPECT_TRUE(outcome.pages.empty()) << c.damage;
  }
  EXPECT_EQ(LoaderFolders(), std::vector<std::string>{});
}

// The setup.exe at good with 16 bytes in the middle of the data of the
// files.1 member named member inverted and its checksum made right again,
// written into the stage's folder "damaged".
fs::path DamagedSetupExe(const fs::path& good, const fs::path& stage, const std::string& member) {
  std::string bytes = fixture::ReadFile(good);
  fixture::SetupExe exe = fixture::SplitSetupExe(bytes, true);
  std::vector<fixture::Header> headers = fixture::Headers(exe.files1);
  auto named = std::find_if(headers.begin(), headers.end(),
                            [&](const fixture::Header& header) { return header.sourcePath == member; });
  if (named == headers.end()) throw std::runtime_error("files.1 has no member " + member);
  const fixture::Header& header = *named;
  size_t middle = static_cast<size_t>(exe.files1_first + header.dataStart + header.compressedSize / 2);
  for (size_t at = middle; at < middle + 16; ++at) bytes[at] = static_cast<char>(~bytes[at]);
  bytes.replace(bytes.size() - 40, 40, fixture::Sha1Hex(bytes.substr(0, bytes.size() - 40)));
  fs::create_directories(stage / "damaged");
  fs::path setup = stage / "damaged" / "setup.exe";
  fixture::WriteFile(setup, bytes);
  return setup;
}

// A setup.exe whose files.1 was damaged and its checksum made right again:
// the loader takes it, the installation fails, and setup.exe tells its
// caller so.
TEST_F(Distribution, ADamagedFiles1EndsAsAFailedInstallation) {
  BuildTheDistribution();
  product::Forget();
  std::string first =
      fixture::Headers(fixture::SplitSetupExe(fixture::ReadFile(dist_ / "setup.exe"), true).files1).front().sourcePath;
  fs::path setup = DamagedSetupExe(dist_ / "setup.exe", stage_, first);

  Outcome outcome = RunSetup(setup);

  EXPECT_EQ(outcome.box_caption, "Install");
  EXPECT_NE(outcome.box_text, "");
  ASSERT_FALSE(outcome.pages.empty());
  EXPECT_EQ(outcome.pages.back(), "Setup incomplete");
  EXPECT_EQ(outcome.exit_code, 2u);
  product::Forget();
}

// A damaged member costs neither the good file it was to replace (an
// installation of the product is there) nor leaves a part of itself (a
// fresh installation): nothing named after it comes or goes in its folder.
TEST_F(Distribution, ADamagedMemberLeavesItsFolderAsItWas) {
  BuildTheDistribution();
  product::Forget();
  struct Case {
    const char* member;
    bool installed_before;
  } cases[] = {{"Help\\netmon.chm", true}, {"Bin\\dmwclient.dll", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.member);
    auto file = std::find_if(files_.begin(), files_.end(), [&](const product::File& f) { return f.name == c.member; });
    ASSERT_NE(file, files_.end());
    fs::path installed = product::Installed(*file);
    if (c.installed_before) ASSERT_EQ(RunSetup(dist_ / "setup.exe").exit_code, 0u);
    auto named_after_it = [&] {
      std::vector<std::string> names;
      std::string own = installed.filename().string();
      std::error_code missing;
      for (const fs::directory_entry& entry : fs::directory_iterator(installed.parent_path(), missing)) {
        std::string name = entry.path().filename().string();
        if (name.compare(0, own.size(), own) == 0) names.push_back(name);
      }
      std::sort(names.begin(), names.end());
      return names;
    };
    std::vector<std::string> before = named_after_it();
    EXPECT_EQ(before.size(), c.installed_before ? 1u : 0u);

    Outcome outcome = RunSetup(DamagedSetupExe(dist_ / "setup.exe", stage_, c.member));

    ASSERT_FALSE(outcome.pages.empty());
    EXPECT_EQ(outcome.pages.back(), "Setup incomplete");
    EXPECT_EQ(outcome.exit_code, 2u);
    if (c.installed_before)
      EXPECT_TRUE(fixture::ReadFile(installed) == file->data) << "the good file was lost";
    EXPECT_EQ(named_after_it(), before);
    product::Forget();
  }
}

TEST_F(Distribution, TodiskCopiesTheInstallationToFloppies) {
  BuildTheDistribution();
  for (const char* name : {"setup.exe", "setup.1", "files.1"}) fs::remove(fs::path("A:\\") / name);

  Outcome outcome = RunSetup(dist_ / "setup.exe", "*TODISK");

  EXPECT_EQ(outcome.box_text, "");
  EXPECT_EQ(outcome.exit_code, 0u);
  fixture::SetupExe floppy = fixture::SplitSetupExe(fixture::ReadFile("A:\\setup.exe"), false);
  EXPECT_EQ(floppy.marker, "NOTSELFEXTRACT");
  EXPECT_TRUE(floppy.covered == fixture::ReadFile(BesideTheTest("QuendricLoadProgram.exe")) +
                                    fixture::SelfExtractHeaderBytes("NOTSELFEXTRACT", 0, 0, 0, 0));
  EXPECT_TRUE(fixture::ReadFile("A:\\setup.1") == fixture::ReadFile(dist_ / "setup.1"));
  std::string files1 = fixture::ReadFile("A:\\files.1");
  EXPECT_EQ(fixture::HeadSpanned(files1), 1);
  EXPECT_EQ(fixture::ReadMembers(files1).size(), files_.size());
  EXPECT_EQ(LoaderFolders(), std::vector<std::string>{});
  for (const char* name : {"setup.exe", "setup.1", "files.1"}) fs::remove(fs::path("A:\\") / name);
}

// A build folder on the drive of the installer library (the folder of this
// test), as a vendor keeps both on one drive: the loader is copied onto the
// setup.exe of the earlier build within that drive.
struct FolderBesideTheLibrary {
  fs::path path = BesideTheTest("rebuilt distribution");
  FolderBesideTheLibrary() { fs::remove_all(path); }
  ~FolderBesideTheLibrary() { fs::remove_all(path); }
};

TEST_F(Distribution, ASecondBuildIntoTheSameFolderMakesTheSameDistribution) {
  FolderBesideTheLibrary folder;
  dist_ = folder.path;
  BuildTheDistribution();
  std::map<std::string, std::string> first;
  for (const char* name : {"setup.exe", "setup.1", "files.1"}) first[name] = fixture::ReadFile(dist_ / name);

  Outcome outcome = Build(dist_.string() + "\r\n");

  EXPECT_EQ(outcome.box_text, "");
  EXPECT_EQ(outcome.exit_code, 0u);
  for (const auto& [name, bytes] : first)
    EXPECT_TRUE(fixture::ReadFile(dist_ / name) == bytes) << name << " is not the first build's";
}

TEST_F(Distribution, AFailedRebuildLeavesTheFilesItDidNotWrite) {
  FolderBesideTheLibrary folder;
  dist_ = folder.path;
  BuildTheDistribution();
  std::string files1 = fixture::ReadFile(dist_ / "files.1");
  fs::remove(stage_ / "Bin\\pagerwire.dll");

  Outcome outcome = Build(dist_.string());

  EXPECT_EQ(outcome.box_text,
            "Could not open or find the following file when trying to read the Size, Date, and Version "
            ":Bin\\pagerwire.dll");
  EXPECT_EQ(outcome.exit_code, 1u);
  // setup.1 and setup.exe were written again before the missing file
  // stopped the build: half a new distribution, so they went.
  EXPECT_FALSE(Built("setup.exe"));
  EXPECT_FALSE(Built("setup.1"));
  // The build stopped before it reached files.1: that stays as it was.
  EXPECT_TRUE(fixture::ReadFile(dist_ / "files.1") == files1);
}

}  // namespace
