// The distribution built with the loader program of the installer library,
// found through this test's own registry: setup.exe cut into its parts by
// the header's layout and checked byte by byte, its checksum with the
// test's own SHA-1, the archives read back member by member.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <set>

#include "archive/tests/archive_fixture.h"
#include "core/exceptions.h"
#include "distribution/build.h"
#include "distribution/tests/distribution_fixture.h"
#include "items/installfile.h"
#include "paths/registry.h"
#include "testing/fixtures.h"

namespace install_test {
namespace {

using namespace forms;
using namespace install;

class LoaderBuild : public EngineTest {
protected:
  void SetUp() override {
    EngineTest::SetUp();
    UsePrivateRegistry();
    // The checksum's SHA-1 comes from the system's cryptographic provider.
    ASSERT_TRUE(keys_->Keep(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Cryptography"));
    library_ = temp_ / "library";
    dir_ = temp_ / "build";
    installer_ = temp_ / "install.exe";
    std::filesystem::create_directories(library_);
    fixture::WriteFile(library_ + "\\Q32V52.TXT", "the installer library");
    fixture::WriteFile(library_ + "\\QuendricLoadProgram.exe", kLoader);
    fixture::WriteFile(installer_, "MZ the installer " + fixture::TextData(5000));
    fixture::WriteFile(temp_ / "readme.txt", fixture::TextData(2500, 3));
    SearchPath("C:\\no\\such\\library;" + library_);
    LoadMainForm({}, "TInstallMainForm F { TInstall Install1 { RunAutomatic = False } }");
    install_ = TCustomInstall::Instance();
  }
  void SearchPath(const std::string& value) {
    WriteRegistryString(hkLocalMachine, kLibraryKey, kLibrarySearchPathValue, value);
  }
  TInstallFile* Readme() {
    TInstallFile* file = TInstallFile::CreateInContainer(install_->Owner(), install_, temp_ / "readme.txt");
    file->SetName("IFreadme");
    return file;
  }
  std::string Built(const std::string& name) const { return dir_ + "\\" + name; }

  static constexpr const char* kLoader = "MZ the loader program, standing in for the real one";
  static constexpr const char* kDistribution[] = {"setup.exe", "setup.1", "files.1"};
  fixture::TempDir temp_;
  std::string library_, dir_, installer_;
  TCustomInstall* install_ = nullptr;
};

TEST_F(LoaderBuild, ASelfExtractingSetupCarriesBothArchivesBehindTheLoader) {
  TInstallFile* readme = Readme();

  install_->Build(installer_, dir_, true);

  std::string setup1 = fixture::ReadFile(Built("setup.1"));
  std::string files1 = fixture::ReadFile(Built("files.1"));
  fixture::SetupExe exe = fixture::SplitSetupExe(fixture::ReadFile(Built("setup.exe")), true);
  EXPECT_EQ(exe.marker_length, 14);
  EXPECT_EQ(exe.marker, "SELFEXTRACTING");
  EXPECT_TRUE(exe.zeros);
  EXPECT_EQ(exe.loader, kLoader);
  int32_t loader_size = static_cast<int32_t>(std::string(kLoader).size());
  EXPECT_EQ(exe.setup1_first, loader_size);
  EXPECT_EQ(exe.setup1_last, loader_size + static_cast<int32_t>(setup1.size()) - 1);
  EXPECT_EQ(exe.files1_first, exe.setup1_last + 1);
  EXPECT_EQ(exe.files1_last, exe.files1_first + static_cast<int32_t>(files1.size()) - 1);
  EXPECT_EQ(exe.setup1, setup1);
  EXPECT_EQ(exe.files1, files1);
  EXPECT_EQ(exe.between, "");
  EXPECT_EQ(exe.trailer, fixture::Sha1Hex(exe.covered));

  std::vector<fixture::Member> installer = fixture::ReadMembers(setup1);
  ASSERT_EQ(installer.size(), 1u);
  EXPECT_EQ(installer[0].name, installer_);
  EXPECT_EQ(installer[0].data, fixture::ReadFile(installer_));
  std::vector<fixture::Member> files = fixture::ReadMembers(files1);
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].name, readme->SourcePath());
  EXPECT_EQ(files[0].fileID, readme->UniqueID());
  EXPECT_EQ(files[0].data, fixture::TextData(2500, 3));
}

TEST_F(LoaderBuild, APlainSetupIsTheLoaderWithAHeaderOfNoOffsets) {
  Readme();

  install_->Build(installer_, dir_, false);

  fixture::SetupExe exe = fixture::SplitSetupExe(fixture::ReadFile(Built("setup.exe")), true);
  EXPECT_EQ(exe.marker, "NOTSELFEXTRACT");
  EXPECT_TRUE(exe.zeros);
  EXPECT_EQ(exe.setup1_first, 0);
  EXPECT_EQ(exe.setup1_last, 0);
  EXPECT_EQ(exe.files1_first, 0);
  EXPECT_EQ(exe.files1_last, 0);
  EXPECT_EQ(exe.covered, std::string(kLoader) + fixture::SelfExtractHeaderBytes("NOTSELFEXTRACT", 0, 0, 0, 0));
  EXPECT_EQ(exe.trailer, fixture::Sha1Hex(exe.covered));
  EXPECT_EQ(fixture::ReadMembers(fixture::ReadFile(Built("files.1"))).size(), 1u);
  EXPECT_EQ(fixture::ReadMembers(fixture::ReadFile(Built("setup.1"))).size(), 1u);
}

TEST_F(LoaderBuild, WithoutFilesTheHeaderNamesSetupOneAlone) {
  install_->Build(installer_, dir_, true);
  fixture::SetupExe exe = fixture::SplitSetupExe(fixture::ReadFile(Built("setup.exe")), true);
  EXPECT_EQ(exe.setup1, fixture::ReadFile(Built("setup.1")));
  EXPECT_EQ(exe.files1_first, 0);
  EXPECT_EQ(exe.files1_last, 0);
  EXPECT_EQ(exe.between, "");
}

TEST_F(LoaderBuild, TheLoaderMustBeInTheInstallerLibrary) {
  const std::string no_library =
      "The HKEY_LOCAL_MACHINE | \\Software\\TORV\\Q32V52 key in the registry is either missing or points to an "
      "invalid ZUV directory";
  struct Case {
    const char* what;
    std::function<void()> arrange;
    std::string message;
  } cases[] = {
      {"no search path", [] { DeleteRegistryKeyTree(hkLocalMachine, kLibraryKey); }, no_library},
      {"no marker", [this] { SearchPath(temp_.path().string()); }, no_library},
      {"no loader",
       [this] {
         SearchPath(library_);
         std::filesystem::remove(library_ + "\\QuendricLoadProgram.exe");
       },
       "The loader program " + library_ + "\\QuendricLoadProgram.exe was not found"},
  };
  for (const Case& c : cases) {
    c.arrange();
    try {
      install_->Build(installer_, dir_, true);
      ADD_FAILURE() << c.what;
    } catch (const IEInstall& error) {
      EXPECT_EQ(error.Message(), c.message) << c.what;
    }
    // setup.1 was made before the loader was looked for: it went again.
    EXPECT_FALSE(std::filesystem::exists(Built("setup.1"))) << c.what;
    EXPECT_FALSE(std::filesystem::exists(Built("setup.exe"))) << c.what;
  }
}

TEST_F(LoaderBuild, ASecondBuildOverTheFirstMakesTheSameDistribution) {
  Readme();
  install_->Build(installer_, dir_, true);
  std::map<std::string, std::string> first;
  for (const char* name : kDistribution) first[name] = fixture::ReadFile(Built(name));

  install_->Build(installer_, dir_, true);

  for (const char* name : kDistribution) EXPECT_TRUE(fixture::ReadFile(Built(name)) == first[name]) << name;
}

// A rebuild that fails removes what it wrote again, and only that: the
// first build's files it never reached stay as they were.
TEST_F(LoaderBuild, AFailedRebuildRemovesOnlyTheFilesItWrote) {
  struct Case {
    const char* what;
    std::function<void()> arrange;
    std::string installer;
    std::set<std::string> kept;
  } cases[] = {
      {"a missing installer", [] {}, temp_ / "missing.exe", {"setup.exe", "setup.1", "files.1"}},
      {"no loader", [this] { std::filesystem::remove(library_ + "\\QuendricLoadProgram.exe"); }, installer_,
       {"setup.exe", "files.1"}},
      {"a missing file", [this] { std::filesystem::remove(temp_ / "readme.txt"); }, installer_, {"files.1"}},
  };
  Readme();
  for (const Case& c : cases) {
    fixture::WriteFile(library_ + "\\QuendricLoadProgram.exe", kLoader);
    fixture::WriteFile(temp_ / "readme.txt", fixture::TextData(2500, 3));
    install_->Build(installer_, dir_, true);
    std::map<std::string, std::string> first;
    for (const char* name : kDistribution) first[name] = fixture::ReadFile(Built(name));
    c.arrange();

    EXPECT_THROW(install_->Build(c.installer, dir_, true), std::exception) << c.what;

    for (const char* name : kDistribution) {
      if (c.kept.count(name))
        EXPECT_TRUE(fixture::ReadFile(Built(name)) == first[name]) << c.what << ": " << name;
      else
        EXPECT_FALSE(std::filesystem::exists(Built(name))) << c.what << ": " << name;
    }
  }
}

}  // namespace
}  // namespace install_test
