#include "paths/osroutines.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "sysutils.h"

namespace install {
namespace {

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

TEST(OSRoutines, ShortPathOrThePathItself) {
  std::string windows = GetWindowsDir();
  EXPECT_TRUE(forms::SameText(GetShortPath(windows), windows));
  // No short form for a path that does not exist: the path comes back.
  EXPECT_EQ(GetShortPath("C:\\no such folder\\file name.txt"), "C:\\no such folder\\file name.txt");
}

TEST(OSRoutines, TemporaryBatchFileKeptOnlyWhenAsked) {
  std::string dropped = GetTempBatchFileName(false);
  EXPECT_FALSE(Exists(dropped));
  std::string kept = GetTempBatchFileName(true);
  EXPECT_TRUE(Exists(kept));
  EXPECT_NE(kept.find("bat"), std::string::npos);
  DeleteFileA(kept.c_str());
}

TEST(OSRoutines, SystemAndWindowsFolders) {
  EXPECT_TRUE(forms::SameText(GetWindowsDir(), "C:\\windows"));
  EXPECT_TRUE(forms::SameText(GetSystemDir(), "C:\\windows\\system32"));
}

}  // namespace
}  // namespace install
