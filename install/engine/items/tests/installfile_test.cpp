#include "items/installfile.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/exceptions.h"
#include "testing/filetree.h"

namespace install_test {
namespace {

using namespace forms;
using namespace install;

using InstallFiles = FileTreeTest;

TEST_F(InstallFiles, TheFileNameDecidesRegistrationAndTheTypeItsPlace) {
  TInstallDirectory* directory = Directory("Programs");
  TInstallFile* control = File("IFcontrol", "viewer.ocx", directory);
  EXPECT_TRUE(control->ActiveX());
  EXPECT_EQ(control->FileType(), iftSystemWideDLL);
  EXPECT_TRUE(control->UpdateDLLCounter());
  EXPECT_EQ(control->OverwriteMode(), owVersionDate);
  EXPECT_EQ(control->DestDir(), "");
  ASSERT_TRUE(control->DestDirType());
  EXPECT_EQ(control->DestDirType()->ClassName(), "TpsSystem");
  EXPECT_EQ(control->DestName(), "viewer.ocx");

  TInstallFile* help = File("IFhelp", "Guide.Hlp", directory);
  EXPECT_TRUE(help->RegisterAsHelp());
  EXPECT_FALSE(help->ActiveX());
  EXPECT_EQ(help->FileType(), iftNormal);
  EXPECT_EQ(help->OverwriteMode(), owAlways);
  EXPECT_EQ(help->DestDirType()->ClassName(), "TpsContainerDestDir");

  TInstallFile* library = File("IFlib", "tools.dll", directory);
  library->SetFileType(iftVendorSharedDLL);
  EXPECT_EQ(library->DestDir(), "\\System");
  EXPECT_EQ(library->DestDirType()->ClassName(), "TpsCommonFiles");
  EXPECT_TRUE(library->UpdateDLLCounter());
  EXPECT_EQ(library->OverwriteMode(), owVersionDate);

  TInstallFile* windows_dll = File("IFwin", "hook.dll", directory);
  windows_dll->SetDestDirType(FindPathSpecifierByClass("TpsWindow"));
  EXPECT_EQ(windows_dll->OverwriteMode(), owVersionDate);
  EXPECT_EQ(windows_dll->FileType(), iftNormal);
}

TEST_F(InstallFiles, ASourcePathIsInAContainerOnce) {
  TInstallDirectory* directory = Directory("Programs");
  File("IFa", "a.dat", directory);
  try {
    File("IFb", "A.DAT", directory);
    ADD_FAILURE();
  } catch (const IEfcDuplicateFile& error) {
    EXPECT_EQ(error.Message(), "There is already a file with the name :" + AddTrailingPathDelimiter(source_dir_) + "A.DAT");
  }
  auto* file = New<TInstallFile>(owner_);
  file->SetName("IFc");
  TListener* not_a_file_container = Listen(directory);
  try {
    file->SetContainer(not_a_file_container);
    ADD_FAILURE();
  } catch (const IECustomInstallFile& error) {
    EXPECT_EQ(error.Message(),
              "The following TInstallFile component IFc requires the Container property to be a component descended "
              "from the TFileContainer component");
  }
}

TEST_F(InstallFiles, IdentifiersAreTheLowestFreeOnes) {
  auto* a = New<TInstallFile>(owner_);
  auto* b = New<TInstallFile>(owner_);
  auto* c = New<TInstallFile>(owner_);
  EXPECT_EQ(a->UniqueID(), 0);
  EXPECT_EQ(b->UniqueID(), 1);
  EXPECT_EQ(c->UniqueID(), 2);
  Free(b);
  EXPECT_EQ(New<TInstallFile>(owner_)->UniqueID(), 1);
  EXPECT_EQ(FileList()->Items().size(), 3u);
}

TEST_F(InstallFiles, AnAskedFileIsWrittenOnlyWithYes) {
  TInstallDirectory* directory = Directory("Programs");
  TListener* listener = Listen(directory);
  TInstallFile* file = File("IFask", "ask.dat", directory);
  file->SetOverwriteMode(owAsk);
  Source("ask.dat", 300);
  Pack(file);
  std::string target = Existing("ask.dat", "mine");
  std::vector<std::string> questions;
  bool answer = false;
  SetQuestionHandler([&](const std::string& text, TQuestion kind) {
    EXPECT_EQ(kind, TQuestion::YesNo);
    questions.push_back(text);
    return answer;
  });
  directory->Process();
  EXPECT_EQ(questions, std::vector<std::string>{"Copy This File ask.dat?"});
  EXPECT_EQ(fixture::ReadFile(target), "mine");
  EXPECT_TRUE(file->Installed());
  std::vector<int> codes = listener->Codes();
  EXPECT_EQ(std::count(codes.begin(), codes.end(), ieReplacingFile), 0);

  answer = true;
  Free(directory);
  directory = Directory("Again");
  file = File("IFask", "ask.dat", directory);
  file->SetOverwriteMode(owAsk);
  directory->Process();
  EXPECT_EQ(questions.size(), 2u);
  EXPECT_EQ(fixture::ReadFile(target), fixture::TextData(300, 300));
}

TEST_F(InstallFiles, AFileTheHandlerAbortsIsLeftOut) {
  TInstallDirectory* directory = Directory("Programs");
  TInstallFile* file = File("IFskip", "skip.dat", directory);
  Source("skip.dat", 10);
  Pack(file);
  file->SetOnBeforeInstall([](TCustomInstallFile*) { throw EAbort(); });
  std::vector<int32_t> totals;
  directory->SetOnStatus([&](TCustomInstallFile*, int32_t, int32_t total) { totals.push_back(total); });
  directory->Process();
  EXPECT_FALSE(file->Installed());
  EXPECT_FALSE(FileExists(AddTrailingPathDelimiter(dest_) + "skip.dat"));
  EXPECT_EQ(totals, std::vector<int32_t>{100});
}

TEST_F(InstallFiles, ACancelDuringExtractionEndsTheInstallAsTheUsersAbort) {
  TInstallDirectory* directory = Directory("Programs");
  TInstallFile* file = File("IFbig", "big.dat", directory);
  Source("big.dat", 200000);
  Pack(file);
  directory->SetOnStatus([](TCustomInstallFile*, int32_t, int32_t) { SharedArchive()->SetAbort(true); });
  EXPECT_THROW(directory->Process(), EAIUserAbort);
  EXPECT_FALSE(file->Installed());
  EXPECT_EQ(file->State(), ifsNone);
  EXPECT_EQ(directory->State(), ifsNone);
  SharedArchive()->SetAbort(false);
}

// A file missing from its archive fails alone: the next file still comes
// out of the archive, and nothing takes the failure for the user's cancel.
TEST_F(InstallFiles, AFailedExtractionStopsNoLaterFile) {
  TInstallDirectory* directory = Directory("Programs");
  TInstallFile* missing = File("IFmissing", "missing.dat", directory);
  TInstallFile* present = File("IFpresent", "present.dat", directory);
  Source("missing.dat", 100);
  Source("present.dat", 100);
  Pack(present);
  EXPECT_THROW(missing->Process(), EQndrCompress);
  EXPECT_FALSE(SharedArchive()->Abort());
  present->Process();
  EXPECT_TRUE(present->Installed());
  EXPECT_TRUE(FileExists(AddTrailingPathDelimiter(dest_) + "present.dat"));
}

// A member that does not come out of the archive whole fails its file and
// costs nothing: an installed file stays as it was, and a fresh install
// leaves no part of the member behind.
TEST_F(InstallFiles, ADamagedMemberLeavesTheDestinationAsItWas) {
  TInstallDirectory* directory = Directory("Programs");
  TInstallFile* installed = File("IFhelp", "netmon.chm", directory);
  TInstallFile* fresh = File("IFlibrary", "pagerwire.dll", directory);
  for (TInstallFile* file : {installed, fresh}) {
    Source(file->FileName(), 200000);
    Pack(file);
  }
  Existing("netmon.chm", "good");
  DamageMembers();
  for (TInstallFile* file : {installed, fresh}) {
    SCOPED_TRACE(file->FileName());
    EXPECT_THROW(file->Process(), Exception);
    EXPECT_FALSE(file->Installed());
  }
  EXPECT_EQ(DestinationFiles(), std::vector<std::string>{"netmon.chm"});
  EXPECT_EQ(fixture::ReadFile(AddTrailingPathDelimiter(dest_) + "netmon.chm"), "good");
}

// A disk set whose second disk is not beside the first: the file's handler
// names where it is, or the user inserts it; Cancel ends the installation.
class NewDisk : public FileTreeTest {
protected:
  void SetUp() override {
    FileTreeTest::SetUp();
    directory_ = Directory("Programs");
    file_ = File("IFbig", "big.dat", directory_);
    fixture::Member member;
    member.name = file_->SourcePath();
    member.data = fixture::NoiseData(30000);
    member.fileID = file_->UniqueID();
    data_ = member.data;
    std::vector<std::string> disks = fixture::DiskSet({member}, 20000);
    ASSERT_EQ(disks.size(), 2u);
    fixture::WriteFile(archive_, disks[0]);
    elsewhere_ = temp_ / "elsewhere";
    std::filesystem::create_directories(elsewhere_);
    fixture::WriteFile(AddTrailingPathDelimiter(elsewhere_) + "files.2", disks[1]);
  }
  std::string Installed() const { return fixture::ReadFile(AddTrailingPathDelimiter(dest_) + "big.dat"); }
  TInstallDirectory* directory_ = nullptr;
  TInstallFile* file_ = nullptr;
  std::string data_, elsewhere_;
};

TEST_F(NewDisk, TheFilesHandlerSaysWhereTheDiskIs) {
  TListener* listener = Listen(directory_);
  std::vector<int32_t> asked;
  file_->SetOnNewDisk([&](TCustomInstallFile*, int32_t disk, std::string& path) {
    asked.push_back(disk);
    path = elsewhere_;
  });
  directory_->Process();
  EXPECT_EQ(asked, std::vector<int32_t>{2});
  EXPECT_EQ(Installed(), data_);
  std::vector<int> codes = listener->Codes();
  EXPECT_EQ(std::count(codes.begin(), codes.end(), ieNewDisk), 1);
}

TEST_F(NewDisk, TheUserInsertsTheDiskOrCancels) {
  std::vector<std::string> questions;
  SetQuestionHandler([&](const std::string& text, TQuestion kind) {
    EXPECT_EQ(kind, TQuestion::OkCancel);
    questions.push_back(text);
    std::filesystem::rename(AddTrailingPathDelimiter(elsewhere_) + "files.2", temp_ / "files.2");
    return true;
  });
  directory_->Process();
  EXPECT_EQ(questions, std::vector<std::string>{"Please insert disk #2"});
  EXPECT_EQ(Installed(), data_);

  std::filesystem::remove(temp_ / "files.2");
  TearDown();
  SetUp();
  SetQuestionHandler([&](const std::string&, TQuestion) { return false; });
  EXPECT_THROW(directory_->Process(), EAIUserAbort);
  EXPECT_TRUE(SharedArchive()->Abort());
  SharedArchive()->SetAbort(false);
}

TEST_F(InstallFiles, ArchiveAndSourceInformation) {
  TInstallDirectory* directory = Directory("Programs");
  TInstallFile* file = File("IFinfo", "info.dat", directory);
  Source("info.dat", 1234);
  file->ReadFileInfo();
  EXPECT_EQ(file->Size(), 1234);
  EXPECT_GT(file->Date(), 40000.0);
  Pack(file);
  TInstallFile* unpacked = File("IFnone", "none.dat", directory);
  file->ReadArchiveInfo();
  unpacked->ReadArchiveInfo();
  EXPECT_EQ(file->Size(), 1234);
  EXPECT_GT(file->CompressedSize(), 0);
  EXPECT_EQ(unpacked->Size(), 0);
  try {
    unpacked->ReadFileInfo();
    ADD_FAILURE();
  } catch (const IECustomInstallFile& error) {
    EXPECT_EQ(error.Message(),
              "Could not open or find the following file when trying to read the Size, Date, and Version :" +
                  unpacked->SourcePath());
  }
  auto* orphan = New<TInstallFile>(owner_);
  orphan->SetName("IForphan");
  try {
    orphan->ReadArchiveInfo();
    ADD_FAILURE();
  } catch (const IECustomInstallFile& error) {
    EXPECT_EQ(error.Message(),
              "IForphan cannot perform ReadInfoFromArchive because either no container is assigned or the container "
              "is not TFileContainer");
  }
  directory->SetArchiveFile("");
  try {
    file->ReadArchiveInfo();
    ADD_FAILURE();
  } catch (const IECustomInstallFile& error) {
    EXPECT_EQ(error.Message(),
              "Cannot either compress or decompress the following file because it's archive file property is blank. "
              "File is :info.dat");
  }
}

}  // namespace
}  // namespace install_test
