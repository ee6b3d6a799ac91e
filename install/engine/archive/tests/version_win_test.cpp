// The version reader on the system's version API, against libraries built
// with version resources, and the overwrite rule between real files.
#include <gtest/gtest.h>

#include "archive/qndr_compress.h"
#include "archive/tests/archive_fixture.h"
#include "archive/version_resource.h"
#include "core/support.h"

using namespace install;

namespace {

std::string BesideProgram(const std::string &name) {
  return AddTrailingPathDelimiter(ExtractFileDir(RunningProgramPath())) + name;
}

TEST(SystemVersionReader, ReadsTheLibrarysResource) {
  TVersionResource versions;
  versions.SetFileName(BesideProgram("versioned_new.dll"));
  const TVersionInfo &info = versions.VersionInfo();
  EXPECT_EQ(info.FileVersion, "5.0.2195.1");
  EXPECT_EQ(info.CompanyName, "Example Ltd");
  EXPECT_EQ(info.Comment, "sample comment");
  EXPECT_EQ(info.FileDescription, "Version sample");
  EXPECT_EQ(info.OriginalFileName, "versioned.dll");
  EXPECT_EQ(info.ProductVersion, "6.1");
  EXPECT_EQ(info.LegalCopyright, "");
  EXPECT_EQ(info.PrimaryLanguage, 9);
  EXPECT_EQ(info.FileOS, "Windows NT with 32 bit Windows");
  EXPECT_EQ(info.FileType, "Dynamic-Link Library");
  EXPECT_EQ(info.FileSubType, "");
}

TEST(SystemVersionReader, OtherStringTableLeavesStringsEmpty) {
  TVersionResource versions;
  versions.SetFileName(BesideProgram("versioned_old.dll"));  // strings under 040704B0
  EXPECT_EQ(versions.VersionInfo().FileVersion, "1.2.9.0");
  EXPECT_EQ(versions.VersionInfo().CompanyName, "");
  versions.SetLanguage(TVersionResource::lnGerman);
  versions.SetCharacterSet(csUnicode);
  EXPECT_EQ(versions.VersionInfo().CompanyName, "Example Ltd");
}

TEST(SystemVersionReader, FileWithoutResourceHasEmptyValues) {
  TVersionResource versions;
  EXPECT_EQ(versions.FileName(), RunningProgramPath()) << "the program's own path at first";
  EXPECT_EQ(versions.VersionInfo().FileVersion, "");
  versions.SetFileName(BesideProgram("no such file.dll"));
  EXPECT_EQ(versions.VersionInfo().FileVersion, "");
}

TEST(SystemVersionReader, OverwriteByVersionBetweenLibraries) {
  std::string newer = BesideProgram("versioned_new.dll");
  std::string older = BesideProgram("versioned_old.dll");
  EXPECT_EQ(TVersionResource::IsFileNewerByName(newer, older, owVersion), TDecision::Replace);
  EXPECT_EQ(TVersionResource::IsFileNewerByName(older, newer, owVersion), TDecision::Keep);
  EXPECT_EQ(TVersionResource::IsFileNewerByName(newer, newer, owVersionDate), TDecision::Same);
  EXPECT_EQ(IsFileNewerByVersionAndDate("5.0.2195.1", newer, owVersion, 0), TDecision::Same);
}

TEST(SystemVersionReader, ArchiveStoresTheFileVersion) {
  fixture::TempDir dir;
  TQndrCompress archive;
  archive.SetCompressedFile(dir / "files.1");
  std::vector<std::string> lines{BesideProgram("versioned_new.dll"),
                                 BesideProgram("versioned_old.dll")};
  archive.SetFilesToProcess(lines);
  archive.Compress(lzcOverwrite, 0);
  std::string bytes = fixture::ReadFile(dir / "files.1");
  fixture::Header first = fixture::HeaderAt(bytes, 5);
  EXPECT_EQ(first.version, "5.0.2195.1");
  EXPECT_EQ(fixture::HeaderAt(bytes, first.nextHeaderPos).version, "1.2.9.0");

  // Extracting over the newer library by version keeps it.
  archive.SetOverwrite(owVersion);
  archive.SetExtractDirectory(ExtractFileDir(RunningProgramPath()));
  archive.SetTargetName("versioned_new.dll");
  std::vector<std::string> names{BesideProgram("versioned_old.dll")};
  archive.SetFilesToProcess(names);
  archive.Extract();
  TVersionResource versions;
  versions.SetFileName(BesideProgram("versioned_new.dll"));
  EXPECT_EQ(versions.VersionInfo().FileVersion, "5.0.2195.1");
}

}  // namespace
