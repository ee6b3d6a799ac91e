#include "paths/filesystem.h"
#include "core/support.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace install {
namespace {

TEST(FileAttributes, WrittenAndReadElements) {
  TQndrFileAttributesSet all = 0x1FF;
  EXPECT_EQ(WindowsFileAttributes(all), 0x20u + 0x10 + 0x2 + 0x80 + 0x1000 + 0x1 + 0x4 + 0x100);
  EXPECT_EQ(WindowsFileAttributes(FileAttributeBit(qfaCompressed)), 0u);
  EXPECT_EQ(FileAttributesFromWindows(0xFFFF),
            FileAttributeBit(qfaArchive) | FileAttributeBit(qfaHidden) | FileAttributeBit(qfaNormal) |
                FileAttributeBit(qfaReadOnly) | FileAttributeBit(qfaSystem) | FileAttributeBit(qfaTemporary));
  EXPECT_EQ(FileAttributesFromWindows(0x1 | 0x2), FileAttributeBit(qfaHidden) | FileAttributeBit(qfaReadOnly));
}

#ifndef _WIN32
// Paths of the installer use backslashes; below an existing POSIX folder
// they still find it.
TEST(Directories, NearestExistingAndCreatedWithParents) {
  std::filesystem::path base = std::filesystem::temp_directory_path() / ("netmon_nearest_" + std::to_string(getpid()));
  std::filesystem::remove_all(base);
  ASSERT_TRUE(ForceDirectories((base / "made" / "deeper").string()));
  EXPECT_TRUE(std::filesystem::is_directory(base / "made" / "deeper"));
  EXPECT_EQ(NearestExistingDirectory(base.string() + "\\no\\such"), base.string());
  EXPECT_EQ(NearestExistingDirectory(base.string()), base.string());
  EXPECT_EQ(NearestExistingDirectory("  "), "");
  EXPECT_EQ(NearestExistingDirectory("nowhere"), "");
  std::filesystem::remove_all(base);
}
#endif

}  // namespace
}  // namespace install
