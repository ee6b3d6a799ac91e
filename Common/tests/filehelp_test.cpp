#include "filehelp.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "log.h"

namespace {

#ifdef _WIN32
constexpr char kSep = '\\';
#else
constexpr char kSep = '/';
#endif

std::vector<std::string> g_lines;
void Record(int, const char *text) { g_lines.emplace_back(text); }

class FileHelpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string base = ::testing::TempDir();
    if (!base.empty() && base.back() != kSep && base.back() != '/') base += kSep;
    dir = base + "filehelp_" + info->name();
    RemoveTree();
    char path[XPATH_MAX];
    snprintf(path, sizeof path, "%s", dir.c_str());
    _XMakePath(path, 0);
    dir = path;  // as the file system now names it
    g_lines.clear();
    LogSetHook(Record);
    LogSetDebugLevel(2);
  }
  void TearDown() override {
    LogSetHook(nullptr);
    LogSetDebugLevel(0);
    RemoveTree();
  }
  void RemoveTree() {
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
  }
  std::string Path(const std::string &tail) {
    std::string path = dir + kSep + tail;
    for (char &c : path)
      if (c == '/') c = kSep;
    return path;
  }
  void Write(const std::string &path, const std::string &bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
  }
  std::string Read(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
  }
  bool IsDirectory(const std::string &path) {
    XStat st;
    return XFileStat(path.c_str(), &st) == 0 && st.isDirectory;
  }
  std::string dir;
};

TEST_F(FileHelpTest, MissingPathGivesZeroes) {
  std::string missing = Path("none.dat");
  EXPECT_EQ(_XGetFileDate(missing.c_str()), 0);
  EXPECT_EQ(XGetFileSize(missing.c_str()), 0);
  EXPECT_EQ(_Xfopen(missing.c_str(), "rb"), nullptr);
  XStat st;
  EXPECT_NE(XFileStat(missing.c_str(), &st), 0);
  _XSetFileTime(missing.c_str(), 1000000);  // nothing to stamp, nothing created
  EXPECT_EQ(_XGetFileDate(missing.c_str()), 0);
}

TEST_F(FileHelpTest, FileTimeRoundTripsExactlyInEverySeason) {
  // A daylight-saving zone for the C runtime must not shift the stamp.
#ifdef _WIN32
  _putenv("TZ=CET-1CEST");
  _tzset();
#else
  setenv("TZ", "CET-1CEST", 1);
  tzset();
#endif
  std::string path = Path("stamp.dat");
  Write(path, "x");
  const xtime_t times[] = {1704067201 /* January, odd second */, 1719838803 /* July */,
                           946684799 /* last second of 1999 */};
  for (xtime_t t : times) {
    _XSetFileTime(path.c_str(), t);
    EXPECT_EQ(_XGetFileDate(path.c_str()), t);
  }
  EXPECT_EQ(XGetFileSize(path.c_str()), 1);
}

TEST_F(FileHelpTest, MakePathCreatesDirectoriesOfAFile) {
  char path[XPATH_MAX];
  snprintf(path, sizeof path, "%s", Path("Alpha/Beta/File.TXT").c_str());
  _XMakePath(path, 1);
  std::string made = path;
  const std::string tail = std::string("alpha") + kSep + "beta" + kSep + "file.txt";
#ifdef _WIN32
  EXPECT_EQ(made.substr(made.size() - tail.size()), tail);  // the caller's text is lower case
#else
  EXPECT_EQ(made, Path("Alpha/Beta/File.TXT"));  // case matters here: kept
#endif
  std::string parent = made.substr(0, made.rfind(kSep));
  EXPECT_TRUE(IsDirectory(parent));
  XStat st;
  EXPECT_NE(XFileStat(made.c_str(), &st), 0);  // the file is not made
  EXPECT_TRUE(g_lines.empty());
}

TEST_F(FileHelpTest, MakePathWithLastAsDirectory) {
  char path[XPATH_MAX];
  snprintf(path, sizeof path, "%s", Path("one/two").c_str());
  _XMakePath(path, 0);
  EXPECT_TRUE(IsDirectory(path));
  _XMakePath(path, 0);  // existing directories are left alone, silently
  EXPECT_TRUE(g_lines.empty());
}

TEST_F(FileHelpTest, MakePathLogsADirectoryThatCannotBeMade) {
  Write(Path("blocker"), "a file in the way");
  char path[XPATH_MAX];
  snprintf(path, sizeof path, "%s", Path("blocker/inner/f.dat").c_str());
  _XMakePath(path, 1);
  ASSERT_EQ(g_lines.size(), 1u);
  EXPECT_EQ(g_lines[0].rfind("XMakePath: error (", 0), 0u) << g_lines[0];
  EXPECT_NE(g_lines[0].find("inner"), std::string::npos);
}

TEST_F(FileHelpTest, MakePathHandlesLongPathsAndRefusesTooLong) {
  std::string tail;
  while (dir.size() + tail.size() < 240) tail += "/abcdefghi";
  std::string longPath = Path(tail.substr(1));
  ASSERT_GT(longPath.size(), 200u);
  ASSERT_LT(longPath.size(), static_cast<size_t>(XPATH_MAX));
  char path[XPATH_MAX];
  snprintf(path, sizeof path, "%s", longPath.c_str());
  _XMakePath(path, 0);
  EXPECT_TRUE(IsDirectory(path));
  EXPECT_TRUE(g_lines.empty());

  std::string tooLong = Path(std::string(XPATH_MAX, 'z'));
  std::vector<char> text(tooLong.begin(), tooLong.end());
  text.push_back('\0');
  _XMakePath(text.data(), 0);
  ASSERT_EQ(g_lines.size(), 1u);
  EXPECT_EQ(g_lines[0].rfind("XMakePath: ", 0), 0u);
  EXPECT_EQ(std::string(text.data()), tooLong);  // refused before any change
}

TEST_F(FileHelpTest, CopyTruncateAndStreamSize) {
  std::string bytes;
  for (int i = 0; i < 40000; i++) bytes += static_cast<char>(i * 7);
  std::string source = Path("src.bin"), copy = Path("copy.bin");
  Write(source, bytes);
  EXPECT_EQ(XCopyFile(copy.c_str(), source.c_str()), 0);
  EXPECT_EQ(Read(copy), bytes);

  Write(source, std::string(32768, 'q'));  // a whole number of blocks
  EXPECT_EQ(XCopyFile(copy.c_str(), source.c_str()), 0);
  EXPECT_EQ(Read(copy), std::string(32768, 'q'));
  EXPECT_EQ(XCopyFile(copy.c_str(), Path("missing").c_str()), -1);

  EXPECT_EQ(XTruncateFile(copy.c_str(), 100), 0);
  EXPECT_EQ(XGetFileSize(copy.c_str()), 100);
  EXPECT_EQ(XTruncateFile(Path("missing").c_str(), 0), -1);

  FILE *stream = _Xfopen(copy.c_str(), "rb");
  ASSERT_NE(stream, nullptr);
  fseek(stream, 10, SEEK_SET);
  EXPECT_EQ(XStreamSize(stream), 100);
  EXPECT_EQ(ftell(stream), 10);
  fclose(stream);
}

}  // namespace
