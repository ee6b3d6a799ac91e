// The file-system routines on Windows files and libraries.
#include <windows.h>

#include <gtest/gtest.h>

#include "core/exceptions.h"
#include "core/support.h"
#include "paths/filesystem.h"
#include "testing/child_process.h"

namespace install {
namespace {

// A file of the test's own in the temporary folder, removed at the end.
class TempFile : public ::testing::Test {
protected:
  void SetUp() override {
    char folder[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    path_ = std::string(folder) + "netmon_attributes_" + std::to_string(GetCurrentProcessId()) + ".txt";
    HANDLE file = CreateFileA(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(file);
  }
  void TearDown() override {
    SetFileAttributesA(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path_.c_str());
  }
  std::string path_;
};

TEST_F(TempFile, HiddenAndReadOnlyReadBack) {
  SetFileAttributesFromSet(path_, FileAttributeBit(qfaHidden) | FileAttributeBit(qfaReadOnly));
  EXPECT_EQ(GetFileAttributesA(path_.c_str()) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY),
            DWORD{FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY});
  TQndrFileAttributesSet read = FileAttributeBit(qfaSystem);
  GetFileAttributesSet(path_, read);
  // Wine reports the archive attribute on every file.
  EXPECT_EQ(read & ~FileAttributeBit(qfaArchive), FileAttributeBit(qfaHidden) | FileAttributeBit(qfaReadOnly));
}

TEST_F(TempFile, AFileThatCannotBeOpenedLeavesTheSet) {
  HANDLE held = CreateFileA(path_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  TQndrFileAttributesSet read = FileAttributeBit(qfaSystem);
  GetFileAttributesSet(path_, read);
  EXPECT_EQ(read, FileAttributeBit(qfaSystem));
  CloseHandle(held);
  GetFileAttributesSet(path_ + ".missing", read);
  EXPECT_EQ(read, FileAttributeBit(qfaSystem));
}

TEST_F(TempFile, SettingAMissingFileRaisesWithTheSystemsText) {
  try {
    SetFileAttributesFromSet(path_ + ".missing", FileAttributeBit(qfaHidden));
    FAIL() << "no exception";
  } catch (const IEfcSetAttributes& error) {
    const std::string prefix = "Cannot set file attributes. Error : ";
    EXPECT_EQ(error.Message().substr(0, prefix.size()), prefix);
    EXPECT_GT(error.Message().size(), prefix.size());
  }
}

TEST(ModuleStrings, TextOrEmpty) {
  std::string self = install_test::BesideThisProgram("install_engine_tests.exe");
  EXPECT_EQ(LoadStringFromModule(self, 7001), "A text of this module");
  EXPECT_EQ(LoadStringFromModule(self, 7002), "");
  EXPECT_EQ(LoadStringFromModule("no_such_library.dll", 7001), "");
}

TEST(Directories, NearestExistingDirectoryOnADrive) {
  char folder[MAX_PATH];
  GetTempPathA(sizeof folder, folder);
  std::string temp(folder);
  temp.pop_back();  // its trailing backslash
  EXPECT_EQ(NearestExistingDirectory(temp + "\\no such\\folder"), temp);
  EXPECT_EQ(NearestExistingDirectory("C:\\no such folder\\deeper"), "C:");
  EXPECT_EQ(NearestExistingDirectory(""), "");
}

TEST(Directories, CreatedWithEveryMissingParent) {
  char folder[MAX_PATH];
  GetTempPathA(sizeof folder, folder);
  std::string base = std::string(folder) + "netmon_made_" + std::to_string(GetCurrentProcessId());
  ASSERT_TRUE(ForceDirectories(base + "\\one\\two\\"));
  EXPECT_NE(GetFileAttributesA((base + "\\one\\two").c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
  RemoveDirectoryA((base + "\\one\\two").c_str());
  RemoveDirectoryA((base + "\\one").c_str());
  RemoveDirectoryA(base.c_str());
}

}  // namespace
}  // namespace install
