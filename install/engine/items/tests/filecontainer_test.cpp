#include "items/filecontainer.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/exceptions.h"
#include "testing/filetree.h"

namespace install_test {
namespace {

using namespace forms;
using namespace install;

// A directory whose operation state a test sets, to feed its upward
// channel directly.
class TBusyDirectory : public TInstallDirectory {
  FORMS_CLASS(TBusyDirectory)
public:
  void SetBusy(bool busy) { SetStateValue(busy ? ifsInstall : ifsNone); }
};

const ClassInfo& TBusyDirectory::StaticClass() {
  static const ClassInfo info{"TBusyDirectory", &TInstallDirectory::StaticClass()};
  return info;
}

using FileContainers = FileTreeTest;

TEST_F(FileContainers, InstallingADirectoryTurnsFileProgressIntoTotals) {
  TInstallDirectory* directory = Directory("Programs");
  TListener* listener = Listen(directory);
  std::vector<std::string> journal;
  directory->SetOnStatus([&](TCustomInstallFile* file, int32_t file_percent, int32_t total_percent) {
    journal.push_back(file->Name() + " " + std::to_string(file_percent) + " " + std::to_string(total_percent));
  });
  TInstallFile* first = File("IFfirst", "first.dat", directory);
  TInstallFile* second = File("IFsecond", "second.dat", directory);
  Source("first.dat", 60000);
  Source("second.dat", 40000);
  Pack(first);
  Pack(second);

  directory->Process();

  EXPECT_TRUE(directory->Installed());
  EXPECT_TRUE(first->Installed());
  EXPECT_EQ(fixture::ReadFile(AddTrailingPathDelimiter(dest_) + "second.dat"), fixture::TextData(40000, 40000));
  EXPECT_EQ(directory->TotalBytes(), 100000);
  EXPECT_EQ(directory->BytesDone(), 100000);
  // The newest helper of a type goes first: second.dat is installed before
  // first.dat, whose progress then counts on from second.dat's 40000 bytes.
  std::vector<Heard> status;
  for (const Heard& entry : listener->heard)
    if (entry.code == ieFileStatus) status.push_back(entry);
  ASSERT_GE(status.size(), 4u);
  EXPECT_EQ(status.front().file_name, "second.dat");
  for (size_t i = 1; i < status.size(); ++i) EXPECT_GE(status[i].total_bytes_done, status[i - 1].total_bytes_done);
  for (const Heard& entry : status) {
    int32_t before = entry.file_name == "first.dat" ? 40000 : 0;
    EXPECT_EQ(entry.total_bytes_done, before + entry.file_bytes_done);
    EXPECT_EQ(entry.total_percent, PercentOf(entry.total_bytes_done, 100000));
  }
  EXPECT_EQ(status.back().total_bytes_done, 100000);
  EXPECT_EQ(status.back().total_percent, 100);
  EXPECT_EQ(journal.back(), "IFfirst 100 100");
  // The container's run is framed by -992 and -996; the files' own -996
  // go to their own helpers.
  std::vector<int> codes = listener->Codes();
  EXPECT_EQ(codes.front(), ieBeforeProcess);
  EXPECT_NE(std::find(codes.begin(), codes.end(), ieInstallStarting), codes.end());
  EXPECT_EQ(codes[codes.size() - 2], ieCopyFinished);
  EXPECT_EQ(codes.back(), ieAfterProcess);
}

TEST_F(FileContainers, ProgressClimbsToTheOuterContainerAsItsOwnEvents) {
  auto* group = New<TInstallGroup>(owner_);
  group->SetName("Group");
  group->SetDestDir(dest_);
  group->SetArchiveFile(archive_);
  TListener* group_listener = Listen(group);
  TInstallDirectory* directory = Directory("Programs");
  directory->SetContainer(group);
  directory->SetDestDir("\\bin");
  TInstallFile* file = File("IFone", "one.dat", directory);
  Source("one.dat", 1000);
  Pack(file);
  std::vector<std::string> replacing;
  group->SetOnReplacing([&](TCustomInstallFile* f) { replacing.push_back(f->Name()); });

  group->Process();

  EXPECT_TRUE(FileExists(AddTrailingPathDelimiter(dest_ + "\\bin") + "one.dat"));
  EXPECT_EQ(replacing, std::vector<std::string>{"IFone"});
  // The group relays the directory's file progress to its own helpers.
  std::vector<int> codes = group_listener->Codes();
  EXPECT_NE(std::find(codes.begin(), codes.end(), ieFileStatus), codes.end());
  EXPECT_NE(std::find(codes.begin(), codes.end(), ieReplacingFile), codes.end());
  EXPECT_EQ(group->BytesDone(), 1000);
}

TEST_F(FileContainers, ASkippedFileCountsAsDone) {
  TInstallDirectory* directory = Directory("Programs");
  TListener* listener = Listen(directory);
  TInstallFile* kept = File("IFkept", "kept.dat", directory);
  kept->SetOverwriteMode(owNever);
  Source("kept.dat", 600);
  Pack(kept);
  Existing("kept.dat", "older");
  std::vector<std::string> events;
  directory->SetOnStatus([&](TCustomInstallFile*, int32_t file_percent, int32_t total_percent) {
    events.push_back(std::to_string(file_percent) + "/" + std::to_string(total_percent));
  });

  directory->Process();

  EXPECT_EQ(fixture::ReadFile(AddTrailingPathDelimiter(dest_) + "kept.dat"), "older");
  EXPECT_TRUE(kept->Installed());
  EXPECT_EQ(events, std::vector<std::string>{"100/100"});
  EXPECT_EQ(directory->BytesDone(), 600);
  std::vector<int> codes = listener->Codes();
  EXPECT_EQ(std::count(codes.begin(), codes.end(), ieFileStatus), 1);
}

TEST_F(FileContainers, AnIdleContainerPassesNothingOn) {
  auto* outer = New<TBusyDirectory>(owner_);
  outer->SetName("Outer");
  TListener* outer_listener = Listen(outer);
  auto* inner = New<TBusyDirectory>(owner_);
  inner->SetName("Inner");
  inner->SetContainer(outer);
  TInstallFile* file = File("IFx", "x.dat", inner);
  outer->SetBusy(true);
  inner->DoInformationEventControl(file, ieFileReplacing, file);
  EXPECT_TRUE(outer_listener->heard.empty());
  inner->SetBusy(true);
  inner->DoInformationEventControl(file, ieFileReplacing, file);
  ASSERT_EQ(outer_listener->Codes(), std::vector<int>{ieReplacingFile});
  EXPECT_EQ(outer_listener->heard[0].sender, "Outer");
}

TEST_F(FileContainers, MalformedUpwardParametersAreRefused) {
  auto* directory = New<TBusyDirectory>(owner_);
  directory->SetName("Busy");
  directory->SetBusy(true);
  TInstallFile* file = File("IFx", "x.dat", directory);
  TFileStatusParameter status;
  TDiskParameter disk;
  TList short_list, bad_first, bad_second, bad_disk;
  short_list.Items = {file};
  bad_first.Items = {&status, &status};
  bad_second.Items = {file, &disk};
  bad_disk.Items = {file, &status};
  struct Case {
    int code;
    TPersistent* param;
    std::string message;
  } cases[] = {
      {ieFileReplacing, nullptr, "Busy got a nil PO parameter"},
      {ieFileReplacing, &status, "DoInformationEventControl parameter is not TInstallFile"},
      {ieInstallStatus, file, "DoInformationEventControl--PO is not a TList object"},
      {ieCopyStatus, &short_list, "DoInformationEventControl--Not engouh parameters for status event"},
      {ieCompressStatus, &bad_first, "DoInformationEventControl says bad first parameter"},
      {ieInstallStatus, &bad_second, "DoInformationEventControl says bad second parameter"},
      {ieNewDiskNeeded, &bad_disk, "DoInformationEventControl says bad 2 parameter"},
      {ieNewDiskNeeded, &bad_first, "DoInformationEventControl says bad 1 parameter"},
      {ieDownloadProgress, &status, "The PO object passed to Busy is not a TDownloadStatusParameter object"},
      {ieFileSkipped, &status, "DoInformationEventControl says bad first parameter"},
  };
  for (const Case& c : cases) {
    try {
      directory->DoInformationEventControl(file, c.code, c.param);
      ADD_FAILURE() << c.message;
    } catch (const IEFileContainer& error) {
      EXPECT_EQ(error.Message(), c.message);
    }
  }
}

TEST_F(FileContainers, ANewDiskHandlerOfTheContainerAnswersForTheFile) {
  auto* directory = New<TBusyDirectory>(owner_);
  directory->SetName("Busy");
  directory->SetBusy(true);
  TListener* listener = Listen(directory);
  TInstallFile* file = File("IFx", "x.dat", directory);
  directory->SetOnNewDisk([](TCustomInstallFile*, int32_t disk, std::string& path) {
    path = "D:\\disk" + std::to_string(disk);
  });
  TDiskParameter disk;
  disk.DiskNumber = 2;
  disk.Path = "A:";
  TList list;
  list.Items = {file, &disk};
  directory->DoInformationEventControl(file, ieNewDiskNeeded, &list);
  EXPECT_EQ(disk.Path, "D:\\disk2");
  EXPECT_EQ(file->Tag(), 1);
  EXPECT_EQ(listener->Codes(), std::vector<int>{ieNewDisk});
}

TEST_F(FileContainers, ContainersNameTheirDestinationForOthers) {
  TInstallDirectory* first = Directory("Programs");
  TInstallDirectory* second = Directory("Help");
  second->SetDestDir(dest_ + "2");
  ASSERT_TRUE(first->PathSpecifier());
  EXPECT_EQ(first->PathSpecifier()->Name(), "psFileContainer");
  EXPECT_EQ(second->PathSpecifier()->Name(), "psFileContainer1");
  std::string path, text;
  TListener* outsider = New<TListener>(owner_);
  second->PathSpecifier()->GetPath(outsider, path);
  EXPECT_EQ(path, dest_ + "2");
  first->PathSpecifier()->GetDescription(text);
  EXPECT_EQ(text, "Path into which Programs will be installed");
  first->PathSpecifier()->GetDisplayName(text);
  EXPECT_EQ(text, "<Programs>");
  EXPECT_THROW(first->PathSpecifier()->Validate(second), IEPathSpecifier);
  TInstallFile* file = File("IFx", "x.dat", second);
  EXPECT_THROW(first->PathSpecifier()->Validate(file), IEPathSpecifier);
  Free(first);
  EXPECT_EQ(owner_->FindComponent("psFileContainer"), nullptr);
}

TEST_F(FileContainers, AStoredSpecifierTakesThePlaceOfTheMadeOne) {
  RegisterStreamClass(TInstallMainForm::StaticClass());
  auto* form = New<TInstallMainForm>(owner_);
  ReadComponent(*form, R"(TInstallMainForm F {
    TInstallDirectory Programs { Description = "Programs" DestDir = "C:\\P" }
    TpsFileContainer psFileContainer { FileContainer = Programs }
  })");
  auto* directory = static_cast<TInstallDirectory*>(form->FindComponent("Programs"));
  ASSERT_TRUE(directory->PathSpecifier());
  EXPECT_EQ(directory->PathSpecifier()->Name(), "psFileContainer");
  EXPECT_EQ(directory->PathSpecifier(), form->FindComponent("psFileContainer"));
  int specifiers = 0;
  for (int i = 0; i < form->ComponentCount(); ++i) specifiers += form->Components(i)->InheritsFrom("TpsFileContainer");
  EXPECT_EQ(specifiers, 1);
}

TEST_F(FileContainers, AGroupStandsOnlyInTheInstallOrAnotherGroup) {
  auto* outer = New<TInstallGroup>(owner_);
  outer->SetName("Outer");
  auto* inner = New<TInstallGroup>(owner_);
  inner->SetName("Inner");
  EXPECT_NO_THROW(inner->SetContainer(outer));
  TInstallDirectory* directory = Directory("Programs");
  auto* misplaced = New<TInstallGroup>(owner_);
  try {
    misplaced->SetContainer(directory);
    ADD_FAILURE();
  } catch (const IEInstallGroup& error) {
    EXPECT_EQ(error.Message(),
              "A TInstallGroup component can only be contained by a TInstall, or another TInstallGroup component");
  }
  EXPECT_TRUE(outer->DialogOptions().AllowChangeDir);
  EXPECT_TRUE(outer->DialogOptions().ShowRegardlessOfInclude);
}

TEST_F(FileContainers, SizesCountIncludedFilesAndChildren) {
  TInstallDirectory* outer = Directory("Outer");
  TInstallDirectory* inner = Directory("Inner");
  inner->SetContainer(outer);
  TInstallFile* a = File("IFa", "a.dat", outer);
  TInstallFile* b = File("IFb", "b.dat", inner);
  TInstallFile* c = File("IFc", "c.dat", inner);
  Source("a.dat", 100);
  Source("b.dat", 20);
  Source("c.dat", 3);
  for (TInstallFile* file : {a, b, c}) Pack(file);
  outer->ReadArchiveInfo();
  c->SetInclude(false);
  EXPECT_EQ(outer->GetTotalFilesSize(false), 120);
  EXPECT_EQ(outer->GetTotalFilesSize(true), 123);
  EXPECT_EQ(outer->GetOwnFilesSize(true), 100);
  EXPECT_GT(outer->GetCompressedSize(true), 0);
  EXPECT_EQ(outer->FindFile(b->SourcePath()), nullptr);
  EXPECT_EQ(inner->FindFile(b->SourcePath()), b);
}

}  // namespace
}  // namespace install_test
