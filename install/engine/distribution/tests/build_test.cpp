// The engine builds its distribution: the installer copied beside files.1
// when it needs no loader, setup.1 with the installer and the PresetupFiles,
// and a build that fails leaving nothing that looks like a distribution.
// The archives are read back with the test's own reader.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <vector>

#include "archive/tests/archive_fixture.h"
#include "core/exceptions.h"
#include "distribution/build.h"
#include "distribution/tests/distribution_fixture.h"
#include "items/installfile.h"
#include "testing/fixtures.h"

namespace install_test {
namespace {

using namespace forms;
using namespace install;

class DistributionBuild : public EngineTest {
protected:
  void SetUp() override {
    EngineTest::SetUp();
    UsePrivateRegistry();
    source_ = temp_ / "source";
    dir_ = temp_ / "build";
    installer_ = temp_ / "install.exe";
    std::filesystem::create_directories(source_);
    fixture::WriteFile(installer_, "MZ the installer " + fixture::TextData(3000));
  }
  TCustomInstall* Engine(const std::string& properties = "") {
    LoadMainForm({}, "TInstallMainForm F { TInstall Install1 { RunAutomatic = False " + properties + " } }");
    return TCustomInstall::Instance();
  }
  // An install file of the engine with a source of size bytes.
  TInstallFile* File(const std::string& name, const std::string& file_name, size_t size) {
    fixture::WriteFile(AddTrailingPathDelimiter(source_) + file_name, fixture::TextData(size, 7));
    auto* file = New<TInstallFile>(TCustomInstall::Instance()->Owner());
    file->SetName(name);
    file->SetIncludeFromDir(source_);
    file->SetFileName(file_name);
    file->SetContainer(TCustomInstall::Instance());
    return file;
  }
  std::string Built(const std::string& name) const { return dir_ + kPathDelimiter + name; }

  fixture::TempDir temp_;
  std::string source_, dir_, installer_;
};

TEST_F(DistributionBuild, WithoutTheLoadingProgramTheInstallerStandsBesideFilesOne) {
  TCustomInstall* install = Engine("UseLoadingProgram = False");
  TInstallFile* readme = File("IFreadme", "readme.txt", 1200);
  TInstallFile* tool = File("IFtool", "tool.dll", 800);
  tool->SetInclude(false);
  TCustomPathSpecifier* archive_type = install->ArchiveFileType();

  install->Build(installer_, dir_, false);

  EXPECT_EQ(fixture::ReadFile(Built("install.exe")), fixture::ReadFile(installer_));
  std::map<std::string, fixture::Member> members = fixture::MembersByName(Built("files.1"));
  ASSERT_EQ(members.size(), 2u);  // the excluded file too: the user chooses at install time
  EXPECT_EQ(members.at(readme->SourcePath()).fileID, readme->UniqueID());
  EXPECT_EQ(members.at(tool->SourcePath()).data, fixture::TextData(800, 7));
  // No loader, so no setup.exe with a header to describe it.
  EXPECT_FALSE(std::filesystem::exists(Built("setup.exe")));
  EXPECT_FALSE(std::filesystem::exists(Built("setup.1")));
  EXPECT_EQ(install->ArchiveFileType(), archive_type);
  EXPECT_EQ(install->ArchiveFile(), "");
  EXPECT_EQ(readme->CompressedMark(), 2);
  EXPECT_EQ(install->Description(), "TInstall component");
  EXPECT_EQ(install->BuildInfo().QndrVersion(), "5.20.00");
}

TEST_F(DistributionBuild, AStandAloneSetupNeedsTheLoadingProgram) {
  TCustomInstall* install = Engine("UseLoadingProgram = False");
  try {
    install->Build(installer_, dir_, true);
    ADD_FAILURE();
  } catch (const IEInstall& error) {
    EXPECT_EQ(error.Message(),
              "Cannot build a stand alone executable if the UseLoadingProgram property of the TInstall is set to False");
  }
  EXPECT_FALSE(std::filesystem::exists(dir_));
}

TEST_F(DistributionBuild, SetupOneHoldsTheInstallerAndThePresetupFiles) {
  TCustomInstall* install = Engine();
  std::string readme = AddTrailingPathDelimiter(source_) + "readme.txt";
  fixture::WriteFile(readme, "read me before you install");
  install->SetPresetupFiles(TStringList{"", readme, "  "});

  install->CreateSetupArchive(dir_, installer_);

  std::vector<fixture::Member> members = fixture::ReadMembers(fixture::ReadFile(Built("setup.1")));
  ASSERT_EQ(members.size(), 2u);
  EXPECT_EQ(members[0].name, installer_);
  EXPECT_EQ(members[0].data, fixture::ReadFile(installer_));
  EXPECT_EQ(members[1].name, readme);
  EXPECT_EQ(members[1].data, "read me before you install");
  // The setup archive's files are gone from the script's file list again.
  EXPECT_TRUE(FileList()->Items().empty());

  struct Case {
    std::string installer;
    std::string message;
  } cases[] = {
      {" ", "Cannot create setup file. Executable is blank"},
      {temp_ / "missing.exe", "TInstall: Cannot find the executable file " + (temp_ / "missing.exe")},
  };
  for (const Case& c : cases) {
    try {
      install->CreateSetupArchive(dir_, c.installer);
      ADD_FAILURE() << c.installer;
    } catch (const IEInstall& error) {
      EXPECT_EQ(error.Message(), c.message);
    }
  }
}

TEST_F(DistributionBuild, TheInstallsCompressionStartsWithFreshMarks) {
  TCustomInstall* install = Engine("UseLoadingProgram = False");
  TInstallFile* file = File("IFa", "a.dat", 100);
  file->MarkNetCompressed();
  file->MarkOwnNetArchive();
  install->SetArchiveFileType(nullptr);
  install->SetArchiveFile(Built("files.1"));
  install->Compress(coForceNetFilesLocal);
  EXPECT_EQ(file->CompressedMark(), 2);
  EXPECT_EQ(file->OwnNetArchiveMark(), 0);
}

TEST_F(DistributionBuild, AFailedBuildLeavesNoDistributionBehind) {
  TCustomInstall* install = Engine("UseLoadingProgram = False");
  TInstallFile* file = File("IFa", "a.dat", 100);
  std::filesystem::create_directories(dir_);
  fixture::WriteFile(Built("files.1"), "the archive of an earlier build");
  std::filesystem::remove(file->SourcePath());
  try {
    install->Build(installer_, dir_, false);
    ADD_FAILURE();
  } catch (const IECustomInstallFile& error) {
    EXPECT_EQ(error.Message(),
              "Could not open or find the following file when trying to read the Size, Date, and Version :" +
                  file->SourcePath());
  }
  EXPECT_FALSE(std::filesystem::exists(Built("install.exe")));
  // The build stopped before it compressed anything: the earlier files.1
  // is not its own.
  EXPECT_EQ(fixture::ReadFile(Built("files.1")), "the archive of an earlier build");
  // A build into the installer's own folder can't copy it onto itself; the
  // installer stays.
  try {
    install->Build(installer_, temp_.path().string(), false);
    ADD_FAILURE();
  } catch (const IEInstall& error) {
    EXPECT_EQ(error.Message(), "Cannot copy the installation application from " + installer_ + " to " + installer_);
  }
  EXPECT_EQ(fixture::ReadFile(installer_).substr(0, 17), "MZ the installer ");
}

// A net distribution: the installer's location (127.0.0.1, directory
// "netdist") and a mirror (directory "mirror") for a file of its own.
class NetDistributionBuild : public DistributionBuild {
protected:
  TCustomInstall* NetEngine(const std::string& type) {
    LoadMainForm({}, R"(
TInstallMainForm F {
  TNetInstallLocation Site {
    LoginInformation.Hostname = "127.0.0.1"
    LoginInformation.Directory = "netdist"
  }
  TNetInstallLocation Mirror {
    LoginInformation.Hostname = "127.0.0.1"
    LoginInformation.Directory = "mirror"
  }
  TInstall Install1 {
    RunAutomatic = False
    UseLoadingProgram = False
    DistributeType = )" + type + R"(
    NetLocation = Site
  }
})");
    local_ = File("IFlocal", "local.txt", 1000);
    shared_ = File("IFshared", "shared.dll", 3000);
    shared_->SetNet(true);
    tool_ = File("IFtool", "tool.exe", 2000);
    tool_->SetNet(true);
    tool_->SetOverwriteMode(owVersionDate);
    guide_ = File("IFguide", "guide.txt", 500);
    guide_->SetNet(true);
    guide_->SetNetLocation(static_cast<TCustomNetInstallLocation*>(TCustomInstall::Instance()->Owner()->FindComponent("Mirror")));
    extra_ = File("IFextra", "extra.txt", 700);
    extra_->SetNet(true);
    extra_->SetInclude(false);
    return TCustomInstall::Instance();
  }
  std::string Below(const std::string& folder, const std::string& name) const {
    return dir_ + kPathDelimiter + "127.0.0.1" + kPathDelimiter + folder + kPathDelimiter + name;
  }
  // The names of the members of an archive.
  static std::vector<std::string> Names(const std::string& archive) {
    std::vector<std::string> names;
    for (const auto& [name, member] : fixture::MembersByName(archive)) names.push_back(ExtractFileName(name));
    return names;
  }

  TInstallFile *local_ = nullptr, *shared_ = nullptr, *tool_ = nullptr, *guide_ = nullptr, *extra_ = nullptr;
};

// The Net files go into the archives below the remote root: those without
// an archive of their own into the installer's (Install1.1), the others
// each into its own, below its own location's root; the others into
// files.1. The net file list names every file the build compressed.
TEST_F(NetDistributionBuild, TheNetFilesGoBelowTheRemoteRootWithTheirList) {
  TCustomInstall* install = NetEngine("dtTraditionalNet");

  install->Build(installer_, dir_, false);

  EXPECT_EQ(Names(Built("files.1")), std::vector<std::string>{"local.txt"});
  EXPECT_EQ(Names(Below("netdist", "Install1.1")), (std::vector<std::string>{"extra.txt", "shared.dll"}));
  EXPECT_EQ(Names(Below("netdist", "IFtool.1")), std::vector<std::string>{"tool.exe"});
  EXPECT_EQ(Names(Below("mirror", "IFguide.1")), std::vector<std::string>{"guide.txt"});
  EXPECT_FALSE(std::filesystem::exists(Below("mirror", "filelist.lst")));
  std::vector<fixture::FileListRecord> records = fixture::ReadFileList(fixture::ReadFile(Below("netdist", "filelist.lst")));
  std::vector<TInstallFile*> files = {local_, shared_, tool_, guide_, extra_};
  ASSERT_EQ(records.size(), files.size());
  for (size_t i = 0; i < files.size(); ++i) {
    EXPECT_EQ(records[i].name, files[i]->Name());
    EXPECT_EQ(records[i].size, files[i]->Size()) << files[i]->Name();
    EXPECT_EQ(records[i].date, files[i]->Date()) << files[i]->Name();
    EXPECT_GT(records[i].date, 0) << files[i]->Name();
    EXPECT_EQ(records[i].version, "") << files[i]->Name();
    EXPECT_TRUE(records[i].padding_zero && records[i].terminated) << files[i]->Name();
  }
  EXPECT_EQ(records[1].size, 3000);
}

// A web distribution brings every file over the net: there is no files.1.
TEST_F(NetDistributionBuild, AWebDistributionHasNoFilesOne) {
  TCustomInstall* install = NetEngine("dtWeb");

  install->Build(installer_, dir_, false);

  EXPECT_FALSE(std::filesystem::exists(Built("files.1")));
  EXPECT_EQ(Names(Below("netdist", "Install1.1")), (std::vector<std::string>{"extra.txt", "local.txt", "shared.dll"}));
  EXPECT_EQ(fixture::ReadFileList(fixture::ReadFile(Below("netdist", "filelist.lst"))).size(), 5u);
}

// A net build that fails leaves neither its list nor its net archives.
TEST_F(NetDistributionBuild, AFailedNetBuildLeavesNoNetArchives) {
  TCustomInstall* install = NetEngine("dtTraditionalNet");
  std::filesystem::create_directories(Below("netdist", "filelist.lst"));
  try {
    install->Build(installer_, dir_, false);
    ADD_FAILURE();
  } catch (const IEInstall& error) {
    EXPECT_EQ(error.Message(), "Cannot create the file " + Below("netdist", "filelist.lst"));
  }
  for (const std::string& archive :
       {Built("files.1"), Below("netdist", "Install1.1"), Below("netdist", "IFtool.1"), Below("mirror", "IFguide.1")})
    EXPECT_FALSE(std::filesystem::exists(archive)) << archive;
}

TEST_F(DistributionBuild, WithoutASearchPathThereIsNoInstallerLibrary) {
  try {
    FindLibraryDirectory();
    ADD_FAILURE();
  } catch (const IEInstall& error) {
    EXPECT_EQ(error.Message(),
              "The HKEY_LOCAL_MACHINE | \\Software\\TORV\\Q32V52 key in the registry is either missing or points to "
              "an invalid ZUV directory");
  }
}

}  // namespace
}  // namespace install_test
