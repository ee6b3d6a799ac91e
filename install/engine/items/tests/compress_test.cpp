// File containers and install files at build time: the compression of a
// tree into its archives (read back with the test's own archive reader),
// the copy to the destinations, the operation states, the reflection, and
// how files are made from paths and held by interface.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "core/exceptions.h"
#include "distribution/netlocation.h"
#include "testing/filetree.h"

namespace install_test {
namespace {

using namespace forms;
using namespace install;

// A directory that notes the upward events about files and containers that
// reach it while it runs an operation: the code and the object's name.
class TRecordingDirectory : public TInstallDirectory {
  FORMS_CLASS(TRecordingDirectory)
public:
  void DoInformationEventControl(TComponent* sender, int code, TPersistent* param) override {
    if (auto* object = dynamic_cast<TComponent*>(param); object && State() != ifsNone)
      journal.push_back(std::to_string(code) + " " + object->Name());
    TInstallDirectory::DoInformationEventControl(sender, code, param);
  }
  std::vector<std::string> journal;
};

const ClassInfo& TRecordingDirectory::StaticClass() {
  static const ClassInfo info{"TRecordingDirectory", &TInstallDirectory::StaticClass()};
  return info;
}

class BuildSide : public FileTreeTest {
protected:
  TRecordingDirectory* Product() {
    auto* product = New<TRecordingDirectory>(owner_);
    product->SetName("Product");
    product->SetDestDir(dest_);
    product->SetArchiveFile(archive_);
    return product;
  }
  std::string Data(size_t size) const { return fixture::TextData(size, static_cast<unsigned>(size)); }
};

TEST_F(BuildSide, CompressionPacksEveryFileUnderItsIdentifier) {
  TRecordingDirectory* product = Product();
  TListener* listener = Listen(product);
  TInstallFile* a = File("IFa", "a.dat", product);
  TInstallFile* b = File("IFb", "b.dat", product);
  TInstallDirectory* docs = Directory("Docs");
  docs->SetContainer(product);
  TInstallFile* c = File("IFc", "c.txt", docs);
  Source("a.dat", 1000);
  Source("b.dat", 3000);
  Source("c.txt", 500);
  std::vector<std::string> journal;
  c->SetOnBeforeCompress([&](TCustomInstallFile* f) { journal.push_back("before " + f->Name()); });
  c->SetOnAfterCompress([&](TCustomInstallFile* f) { journal.push_back("after " + f->Name()); });
  fixture::WriteFile(archive_, "an archive of an earlier build");

  product->Compress(0);

  std::map<std::string, fixture::Member> members = fixture::MembersByName(archive_);
  ASSERT_EQ(members.size(), 3u);
  for (TCustomInstallFile* file : {static_cast<TCustomInstallFile*>(a), static_cast<TCustomInstallFile*>(b),
                                   static_cast<TCustomInstallFile*>(c)}) {
    const fixture::Member& member = members.at(file->SourcePath());
    EXPECT_EQ(member.fileID, file->UniqueID()) << file->Name();
    EXPECT_EQ(member.data, Data(static_cast<size_t>(file->Size()))) << file->Name();
    EXPECT_EQ(file->CompressedMark(), 2) << file->Name();
    EXPECT_EQ(file->CompressedArchive(), archive_) << file->Name();
    EXPECT_EQ(file->State(), ifsNone);
  }
  EXPECT_EQ(product->State(), ifsNone);
  EXPECT_EQ(docs->State(), ifsNone);
  // The inner directory's run and its file climb up to the product.
  EXPECT_EQ(product->journal, (std::vector<std::string>{"1012 Docs", "1004 IFc", "1005 IFc", "1013 Docs", "1004 IFb",
                                                        "1005 IFb", "1004 IFa", "1005 IFa"}));
  EXPECT_EQ(journal, (std::vector<std::string>{"before IFc", "after IFc"}));
  // Progress counts over the whole tree and ends at its size.
  EXPECT_EQ(product->TotalBytes(), 4500);
  EXPECT_EQ(product->BytesDone(), 4500);
  std::vector<Heard> status;
  for (const Heard& entry : listener->heard)
    if (entry.code == ieFileStatus) status.push_back(entry);
  ASSERT_FALSE(status.empty());
  EXPECT_EQ(status.back().total_bytes_done, 4500);
  EXPECT_EQ(status.back().total_percent, 100);
  EXPECT_EQ(listener->Codes().back(), ieCopyFinished);
}

TEST_F(BuildSide, ExcludedFilesAreLeftOutUnlessTheOptionsTakeThemToo) {
  TRecordingDirectory* product = Product();
  File("IFkept", "kept.dat", product);
  TInstallFile* left = File("IFleft", "left.dat", product);
  left->SetInclude(false);
  Source("kept.dat", 100);
  Source("left.dat", 200);

  product->Compress(0);
  EXPECT_EQ(fixture::MembersByName(archive_).size(), 1u);
  EXPECT_EQ(left->CompressedMark(), 0);

  product->Compress(coIncludeExcluded);
  EXPECT_EQ(fixture::MembersByName(archive_).size(), 2u);
  EXPECT_EQ(product->TotalBytes(), 300);
  EXPECT_FALSE(left->Include());
}

TEST_F(BuildSide, TheOptionsChooseWhereAFileOfItsOwnArchiveGoes) {
  std::string other = temp_ / "other.1";
  struct Case {
    int options;
    std::string archive;  // where the file goes
  } cases[] = {
      {0, other},
      {coAddOnly, archive_},
      {coRelocateArchives,
       RemoveTrailingBackslash(ExtractFileDir(archive_)) + TextAfterColon(other)},
  };
  for (const Case& c : cases) {
    TRecordingDirectory* product = Product();
    TInstallFile* file = File("IFown", "own.dat", product);
    file->SetArchiveFileType(nullptr);
    file->SetArchiveFile(other);
    Source("own.dat", 700);

    product->Compress(c.options);

    EXPECT_EQ(file->CompressedArchive(), c.archive) << c.options;
    EXPECT_EQ(fixture::MembersByName(c.archive).count(file->SourcePath()), 1u) << c.options;
    // The file's own settings are back as they were.
    EXPECT_EQ(file->ArchiveFile(), other);
    EXPECT_EQ(file->ArchiveFileType(), nullptr);
    EXPECT_EQ(file->AddToArchive(), lzcOverwrite);
    Free(product);
    std::filesystem::remove(c.archive);
  }
  TRecordingDirectory* product = Product();
  try {
    product->Compress(coForceNetFilesLocal | coForceFilesNet);
    ADD_FAILURE();
  } catch (const IEFileContainer& error) {
    EXPECT_EQ(error.Message(), "Cannot pass both coForceNetFilesLocal and coForceFilesNet to Compress");
  }
}

TEST_F(BuildSide, NetFilesGoIntoTheArchivesBelowTheRemoteRoot) {
  TRecordingDirectory* product = Product();
  TInstallFile* local = File("IFlocal", "local.dat", product);
  TInstallFile* shared = File("IFshared", "shared.dat", product);
  shared->SetNet(true);
  TInstallFile* versioned = File("IFversioned", "versioned.dat", product);
  versioned->SetNet(true);
  versioned->SetOverwriteMode(owVersion);
  Source("local.dat", 100);
  Source("shared.dat", 200);
  Source("versioned.dat", 300);
  try {
    product->Compress(0);
    ADD_FAILURE();
  } catch (const IEFileRel_NoNetLocation& error) {
    EXPECT_EQ(error.Message(), "Could not find a net install location for Product");
  }

  auto* location = New<TNetInstallLocation>(owner_);
  location->LoginInformation().SetHostname("files.example.com");
  location->LoginInformation().SetDirectory("pub/netmon");
  SetDefaultLocation(location);
  product->Compress(0);
  std::string root = AddTrailingPathDelimiter(ExtractFileDir(archive_)) + "files.example.com" + kPathDelimiter +
                     "pub-netmon" + kPathDelimiter;
  EXPECT_EQ(local->CompressedArchive(), archive_);
  EXPECT_EQ(shared->CompressedArchive(), root + "Product.1");
  EXPECT_EQ(versioned->CompressedArchive(), root + "IFversioned.1");
  EXPECT_EQ(product->LocalArchivePath(), root + "Product.1");
  EXPECT_EQ(fixture::MembersByName(root + "IFversioned.1").count(versioned->SourcePath()), 1u);
  EXPECT_EQ(versioned->OwnNetArchiveMark(), 1);
  EXPECT_EQ(shared->OwnNetArchiveMark(), 0);
  EXPECT_EQ(shared->CompressedMark(), 2);

  // Forced local, every file goes into the container's archive.
  product->Compress(coForceNetFilesLocal);
  EXPECT_EQ(fixture::MembersByName(archive_).size(), 3u);
  EXPECT_EQ(shared->CompressedArchive(), archive_);
  SetDefaultLocation(nullptr);
}

TEST_F(BuildSide, CopyingPutsEveryIncludedFileInItsDestination) {
  TRecordingDirectory* product = Product();
  TListener* listener = Listen(product);
  File("IFa", "a.dat", product);
  TInstallFile* left = File("IFleft", "left.dat", product);
  left->SetInclude(false);
  TInstallDirectory* docs = Directory("Docs");
  docs->SetContainer(product);
  docs->SetDestDir("\\docs");
  File("IFc", "c.txt", docs);
  Source("a.dat", 2000);
  Source("left.dat", 10);
  Source("c.txt", 300);

  product->CopyFiles();

  EXPECT_EQ(fixture::ReadFile(AddTrailingPathDelimiter(dest_) + "a.dat"), Data(2000));
  EXPECT_EQ(fixture::ReadFile(AddTrailingPathDelimiter(dest_ + "\\docs") + "c.txt"), Data(300));
  EXPECT_FALSE(std::filesystem::exists(AddTrailingPathDelimiter(dest_) + "left.dat"));
  EXPECT_EQ(product->journal,
            (std::vector<std::string>{"1006 IFleft", "1006 IFa", "1007 IFa", "1012 Docs", "1006 IFc", "1007 IFc",
                                      "1013 Docs"}));
  EXPECT_EQ(product->TotalBytes(), 2300);
  EXPECT_EQ(product->State(), ifsNone);
  EXPECT_EQ(listener->Codes().back(), ieCopyFinished);
}

TEST_F(BuildSide, EveryStateRunsItsOperationAndComesBackToRest) {
  TRecordingDirectory* product = Product();
  TInstallFile* file = File("IFa", "a.dat", product);
  Source("a.dat", 400);

  product->SetState(ifsCompress);
  EXPECT_EQ(fixture::MembersByName(archive_).count(file->SourcePath()), 1u);
  product->SetState(ifsCopying);
  EXPECT_TRUE(FileExists(file->DestinationPath()));
  std::filesystem::remove(file->DestinationPath());
  product->SetState(ifsInstall);
  EXPECT_TRUE(FileExists(file->DestinationPath()));
  EXPECT_TRUE(product->Installed());
  EXPECT_EQ(product->State(), ifsNone);

  std::filesystem::remove(archive_);
  file->SetState(ifsCompress);
  EXPECT_EQ(fixture::MembersByName(archive_).count(file->SourcePath()), 1u);
  std::filesystem::remove(file->DestinationPath());
  file->SetState(ifsCopying);
  EXPECT_TRUE(FileExists(file->DestinationPath()));
  EXPECT_EQ(file->State(), ifsNone);

  // A failed operation comes back to rest too.
  std::filesystem::remove(file->SourcePath());
  EXPECT_THROW(product->SetState(ifsCompress), IECustomInstallFile);
  EXPECT_EQ(product->State(), ifsNone);
  EXPECT_THROW(file->SetState(ifsCopying), EQndrCompress);
  EXPECT_EQ(file->State(), ifsNone);
}

// Notes each object handed to it with its container's state at the time.
class TReflectRecorder : public IReflectHandler {
public:
  void ReflectObject(TInstallContainer* object) override {
    auto* file = dynamic_cast<TCustomInstallFile*>(object);
    auto* container = file ? dynamic_cast<TFileContainer*>(file->Container()) : nullptr;
    heard.push_back(object->Name() + (file && file->State() == ifsReflect ? " reflecting" : "") +
                    (container && container->State() == ifsReflect ? " in a reflecting container" : ""));
  }
  std::vector<std::string> heard;
};

TEST_F(BuildSide, AReflectionHandsTheHelpersToTheHandler) {
  TRecordingDirectory* product = Product();
  TInstallFile* first = File("IFfirst", "first.dat", product);
  File("IFsecond", "second.dat", product);
  product->Reflect();  // no handler: nothing to hand on to
  EXPECT_EQ(product->State(), ifsNone);

  TReflectRecorder recorder;
  SetReflectHandler(&recorder);
  product->SetState(ifsReflect);
  first->Reflect();
  SetReflectHandler(nullptr);

  EXPECT_EQ(recorder.heard, (std::vector<std::string>{"IFsecond in a reflecting container",
                                                      "IFfirst in a reflecting container", "IFfirst reflecting"}));
  EXPECT_EQ(product->State(), ifsNone);
  EXPECT_EQ(first->State(), ifsNone);
}

TEST_F(BuildSide, AMissingSourceIsReportedOrRemoved) {
  TRecordingDirectory* product = Product();
  File("IFthere", "there.dat", product);
  TInstallFile* missing = File("IFmissing", "missing.dat", product);
  Source("there.dat", 50);
  fixture::WriteFile(archive_, "the last good archive");
  try {
    product->Compress(0);
    ADD_FAILURE();
  } catch (const IECustomInstallFile& error) {
    EXPECT_EQ(error.Message(),
              "Could not open or find the following file when trying to read the Size, Date, and Version :" +
                  missing->SourcePath());
  }
  // Nothing was compressed yet: the archive is as it was.
  EXPECT_EQ(fixture::ReadFile(archive_), "the last good archive");

  size_t files = FileList()->Items().size();
  product->RemoveMissingFiles();
  EXPECT_EQ(product->FileCount(), 1);
  EXPECT_EQ(product->Files(0)->Name(), "IFthere");
  EXPECT_EQ(FileList()->Items().size(), files - 1);
}

TEST_F(BuildSide, FilesAreMadeFromAPath) {
  TInstallDirectory* directory = Directory("Programs");
  std::string path = Source("tool.dat", 10);
  TInstallFile* loose = TInstallFile::CreateFromPath(owner_, path);
  EXPECT_EQ(loose->IncludeFromDir(), RemoveTrailingBackslash(source_dir_));
  EXPECT_EQ(loose->FileName(), "tool.dat");
  EXPECT_EQ(loose->DestName(), "tool.dat");
  EXPECT_EQ(loose->Container(), nullptr);

  TInstallFile* placed = TInstallFile::CreateInContainer(owner_, directory, path);
  EXPECT_EQ(placed->Container(), directory);
  EXPECT_EQ(directory->FindFile(path), placed);
  size_t files = FileList()->Items().size();
  EXPECT_THROW(TInstallFile::CreateInContainer(owner_, directory, path), IEfcDuplicateFile);
  // The refused file is gone again.
  EXPECT_EQ(FileList()->Items().size(), files);
  EXPECT_EQ(directory->FileCount(), 1);
}

TEST_F(BuildSide, AnInstallObjectAnswersThroughItsInterface) {
  TInstallDirectory* programs = Directory("Programs");
  TInstallDirectory* tools = Directory("Tools");
  tools->SetDestDir(dest_ + "\\tools");
  TInstallFile* file = File("IFa", "a.dat", programs);
  IInstallObject& object = *file;
  EXPECT_EQ(object.RegisteredType(), 2000);
  EXPECT_EQ(object.GetFullDestDir(), dest_);
  object.SetContainer(tools);
  EXPECT_EQ(file->Container(), tools);
  EXPECT_EQ(object.GetFullDestDir(), dest_ + "\\tools");
  IInstallObject& container = *tools;
  container.RemoveHelper(file);
  EXPECT_EQ(tools->FileCount(), 0);
  EXPECT_EQ(container.RegisteredType(), 1000);
}

}  // namespace
}  // namespace install_test
