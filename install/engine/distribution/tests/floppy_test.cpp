// The installation copied from the self-extracting file to "floppies" (a
// folder of the test's own stands in for the drive): the loader, setup.1
// and files.1 read back from their copies, the progress and the cursor
// while it copies; the question boxes are answered by the test.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "archive/qndr_compress.h"
#include "core/exceptions.h"
#include "distribution/distribution.h"
#include "items/installfile.h"
#include "screen.h"
#include "testing/fixtures.h"

namespace install_test {
namespace {

using namespace forms;
using namespace install;

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class FloppyCopy : public EngineTest {
protected:
  void SetUp() override {
    EngineTest::SetUp();
    dir_ = std::filesystem::temp_directory_path() / ("netmon_floppy_" + std::to_string(GetCurrentProcessId()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_ / "build");
    std::filesystem::create_directories(dir_ / "floppy");
    std::filesystem::create_directories(dir_ / "extracted");
    SetQuestionHandler([this](const std::string& text, TQuestion) {
      questions_.push_back(text);
      return answer_;
    });
  }
  void TearDown() override {
    SetQuestionHandler(nullptr);
    if (SharedArchive()) SharedArchive()->SetAbort(false);
    EngineTest::TearDown();
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  // A self-extracting setup.exe in the build folder: a loader, a setup.1 of
  // 20000 bytes and a files.1 archive holding readme.txt.
  void BuildSelfExtractingSetup() {
    std::filesystem::path build = dir_ / "build";
    std::ofstream(build / "setup.exe", std::ios::binary) << std::string(300, 'L');
    std::ofstream(build / "setup.1", std::ios::binary) << setup1_;
    std::ofstream(dir_ / "readme.txt", std::ios::binary) << "read me first";
    auto* archive = New<TQndrCompress>(owner_);
    archive->SetCompressedFile((build / "files.1").string());
    archive->SetFilesToProcess(TStringList{(dir_ / "readme.txt").string()});
    archive->Compress(lzcOverwrite, 1);
    Free(archive);
    std::string exe = (build / "setup.exe").string();
    WriteSelfExtractHeader(exe, (build / "setup.1").string(), (build / "files.1").string());
    AppendFileCheckSum(exe);
  }

  TCustomInstall* Engine(std::vector<std::string> arguments) {
    arguments.push_back("-s" + (dir_ / "build").string());
    LoadMainForm(arguments, "TInstallMainForm F { TInstall Install1 { RunAutomatic = False } }");
    return TCustomInstall::Instance();
  }

  std::filesystem::path dir_;
  std::string setup1_ = std::string(20000, 'S');
  std::vector<std::string> questions_;
  bool answer_ = true;
};

TEST_F(FloppyCopy, TheDisksHoldTheLoaderSetupOneAndTheArchive) {
  BuildSelfExtractingSetup();
  TCustomInstall* engine = Engine({"-esetup.exe"});
  engine->CopyInstallationToFloppies((dir_ / "floppy").string());

  std::string setup_exe = ReadAll(dir_ / "floppy" / "setup.exe");
  ASSERT_EQ(setup_exe.size(), 300u + 56);
  EXPECT_EQ(setup_exe.substr(0, 300), std::string(300, 'L'));
  EXPECT_EQ(setup_exe.substr(300, 15), std::string("\x0e") + "NOTSELFEXTRACT");
  EXPECT_EQ(ReadAll(dir_ / "floppy" / "setup.1"), setup1_);
  // files.1 on the disk is an archive of its own.
  auto* archive = New<TQndrCompress>(owner_);
  archive->SetCompressedFile((dir_ / "floppy" / "files.1").string());
  archive->SetExtractDirectory((dir_ / "extracted").string());
  archive->SetFilesToProcess(TStringList{(dir_ / "readme.txt").string()});
  archive->Extract();
  EXPECT_EQ(ReadAll(dir_ / "extracted" / "readme.txt"), "read me first");
  // Everything fitted the first disk: no disk was asked for.
  EXPECT_TRUE(questions_.empty());
}

TEST_F(FloppyCopy, TheCopyShowsTheHourglassAndTellsItsProgressThroughTheEnginesOnStatus) {
  BuildSelfExtractingSetup();
  TCustomInstall* engine = Engine({"-esetup.exe"});
  struct Status {
    TCustomInstallFile* file;
    int32_t file_percent, total_percent;
    TCursor cursor;
    bool hourglass_shown;
  };
  std::vector<Status> statuses;
  engine->SetOnStatus([&](TCustomInstallFile* file, int32_t file_percent, int32_t total_percent) {
    statuses.push_back({file, file_percent, total_percent, Screen().Cursor(), GetCursor() == LoadCursorA(nullptr, IDC_WAIT)});
  });
  engine->CopyToFloppies((dir_ / "floppy").string());
  ASSERT_FALSE(statuses.empty());
  for (const Status& status : statuses) {
    EXPECT_EQ(status.file, nullptr) << "no install file stands behind the disks' archive";
    EXPECT_EQ(status.cursor, crHourGlass);
    EXPECT_TRUE(status.hourglass_shown);
  }
  EXPECT_EQ(statuses.back().total_percent, 100);
  EXPECT_EQ(Screen().Cursor(), crDefault);
  EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_ARROW));
  EXPECT_TRUE(questions_.empty()) << "no failure was shown";
  EXPECT_TRUE(Application()->Terminated());
}

TEST_F(FloppyCopy, TheDiskPromptShowsTheArrowAndGivesTheCopysCursorBack) {
  TCustomInstall* engine = Engine({});
  std::vector<TCursor> asked_with;
  SetQuestionHandler([&](const std::string&, TQuestion) {
    asked_with.push_back(Screen().Cursor());
    return answer_;
  });
  TCursorGuard copying(crHourGlass);
  std::string path = "a:";
  engine->ShowDiskPrompt(SharedArchive(), 2, path);
  EXPECT_EQ(Screen().Cursor(), crHourGlass);
  answer_ = false;
  EXPECT_THROW(engine->ShowDiskPrompt(SharedArchive(), 3, path), IEInstall);
  EXPECT_EQ(Screen().Cursor(), crHourGlass) << "also after a Cancel";
  EXPECT_EQ(asked_with, (std::vector<TCursor>{crArrow, crArrow}));
}

TEST_F(FloppyCopy, OnlyTheSelfExtractingFileCopiesItself) {
  TCustomInstall* engine = Engine({});
  try {
    engine->CopyInstallationToFloppies((dir_ / "floppy").string());
    FAIL() << "copied without the self-extracting file";
  } catch (const IEInstall& error) {
    EXPECT_EQ(error.Message(),
              "Sorry... You can only transfer this installation to floppies through the self-extracting file. Usage "
              "example: setup.exe *TODISK");
  }
}

TEST_F(FloppyCopy, ACancelStopsTheCopy) {
  BuildSelfExtractingSetup();
  TCustomInstall* engine = Engine({"-esetup.exe"});
  SharedArchive()->SetAbort(true);
  EXPECT_THROW(engine->CopyInstallationToFloppies((dir_ / "floppy").string()), EUserAbortInstall);
  EXPECT_EQ(std::filesystem::file_size(dir_ / "floppy" / "setup.1"), 0u);
}

TEST_F(FloppyCopy, EachFurtherDiskIsAskedForAndCancelEndsTheCopy) {
  TCustomInstall* engine = Engine({});
  std::string path = "a:";
  engine->ShowDiskPrompt(SharedArchive(), 2, path);
  EXPECT_EQ(questions_, std::vector<std::string>{"Please insert disk 2"});
  answer_ = false;
  try {
    engine->ShowDiskPrompt(SharedArchive(), 3, path);
    FAIL() << "a refused disk was taken";
  } catch (const IEInstall& error) {
    EXPECT_EQ(error.Message(), "Aborted by user");
  }
}

}  // namespace
}  // namespace install_test
