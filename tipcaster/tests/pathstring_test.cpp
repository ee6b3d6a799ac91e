#include "pathstring.h"

#include <gtest/gtest.h>

namespace {

struct ResolveCase {
  const char *path;
  const char *base;
  const char *expected;
};

void PrintTo(const ResolveCase &c, std::ostream *os) { *os << c.path << " against " << c.base; }

class ResolvePathTest : public ::testing::TestWithParam<ResolveCase> {};

TEST_P(ResolvePathTest, GivesTheAbsolutePath) {
  PathString out;
  PathString(GetParam().path).ResolvePath(out, PathString(GetParam().base));
  EXPECT_EQ(out, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ResolvePathTest,
    ::testing::Values(ResolveCase{"..\\x.htm", "C:\\a\\b", "C:\\a\\x.htm"},
                      ResolveCase{"..\\..\\..\\x.htm", "C:\\a", "C:\\..\\..\\x.htm"},
                      ResolveCase{"\\x.htm", "\\\\srv\\share\\dir", "\\\\srv\\share\\x.htm"},
                      ResolveCase{"D:\\y", "C:\\h", "D:\\y"},
                      ResolveCase{"\\\\srv\\s\\y.htm", "C:\\h", "\\\\srv\\s\\y.htm"},
                      ResolveCase{"a/./b", "C:\\h", "C:\\h\\a\\b"},
                      ResolveCase{"", "C:\\h", "C:\\h\\"},
                      ResolveCase{"./x.htm", "C:\\h\\", "C:\\h\\x.htm"},
                      ResolveCase{"sub/x.htm", "C:\\h", "C:\\h\\sub\\x.htm"},
                      ResolveCase{"x\\.", "C:\\h", "C:\\h\\x"},
                      ResolveCase{"/x.htm", "C:\\h", "C:\\x.htm"},
                      // A base without a drive keeps a rooted path as it is.
                      ResolveCase{"\\x.htm", "help", "\\x.htm"},
                      ResolveCase{"\\x.htm", "h", "\\x.htm"}));

TEST(PathStringTest, GetDirectoryKeepsRoots) {
  struct {
    const char *path;
    bool found;
    const char *folder;
  } cases[] = {{"C:\\a\\b", true, "C:\\a"}, {"C:\\a", true, "C:\\"}, {"\\a", true, "\\"},
               {"C:a", true, "C:"},        {"a/b", true, "a"},      {"name.map", false, ""}};
  for (const auto &c : cases) {
    PathString folder("stale");
    EXPECT_EQ(PathString(c.path).GetDirectory(folder), c.found) << c.path;
    EXPECT_EQ(folder, c.folder) << c.path;
  }
}

TEST(PathStringTest, FileNameAndTitle) {
  PathString name, title;
  PathString("C:\\a\\b.c.d").GetFileName(name);
  PathString("C:\\a\\b.c.d").GetFileTitle(title);
  EXPECT_EQ(name, "b.c.d");
  EXPECT_EQ(title, "b.c");
  PathString("C:\\Program Files\\Web\\browse.exe").GetFileTitle(title);
  EXPECT_EQ(title, "browse");
  PathString("plain").GetFileTitle(title);
  EXPECT_EQ(title, "plain");
}

TEST(PathStringTest, UncRoot) {
  PathString root;
  PathString("\\\\srv\\share\\dir\\x").GetUncRoot(root);
  EXPECT_EQ(root, "\\\\srv\\share\\");
  PathString("\\\\srv\\share").GetUncRoot(root);
  EXPECT_EQ(root, "\\\\srv\\share");
  PathString("C:\\x").GetUncRoot(root);
  EXPECT_EQ(root, "");
}

TEST(PathStringTest, AppendPathAddsOneBackslash) {
  struct {
    const char *folder;
    const char *tail;
    const char *expected;
  } cases[] = {{"C:", "x", "C:x"},       {"", "x", "x"},          {"C:\\j\\", "x", "C:\\j\\x"},
               {"C:\\j", "x", "C:\\j\\x"}, {"C:/j/", "x", "C:/j/x"}, {"C:\\j", "", "C:\\j\\"}};
  for (const auto &c : cases) {
    PathString path(c.folder);
    path.AppendPath(c.tail);
    EXPECT_EQ(path, c.expected) << c.folder << " + " << c.tail;
  }
}

TEST(PathStringTest, SubstituteArgReplacesEveryPlaceholder) {
  PathString text("%%1 -cp %%2;%%1");
  text.SubstituteArg("java", 1);
  EXPECT_EQ(text, "java -cp %%2;java");
  for (int outside : {0, 10, -1}) {
    PathString unchanged("%%0 %%1");
    unchanged.SubstituteArg("x", outside);
    EXPECT_EQ(unchanged, "%%0 %%1") << outside;
  }
  PathString selfNaming("a %%3 b");
  selfNaming.SubstituteArg("has %%3 inside", 3);
  EXPECT_EQ(selfNaming, "a %%3 b");
}

TEST(PathStringTest, SubstituteArgEndsWhenTheValueFormsANewPlaceholder) {
  PathString text("%%11");
  text.SubstituteArg("%%", 1);
  EXPECT_EQ(text, "%%1");
}

TEST(PathStringTest, TextToLong) {
  struct {
    const char *text;
    int32_t value;
  } cases[] = {{"12-3", -123},
               {"250px", 250},
               {"", 0},
               {"-7", -7},
               {"2147483647", 2147483647},
               // Too many digits wrap at 32 bits rather than overflow.
               {"4294967296", 0},
               {"4294967301", 5},
               {"99999999999999999999", static_cast<int32_t>(1661992959u)}};
  for (const auto &c : cases) EXPECT_EQ(PathString(c.text).TextToLong(), c.value) << c.text;
}

TEST(PathStringTest, TextHelpers) {
  PathString number;
  number.UlongToText(4294967295u);
  EXPECT_EQ(number, "4294967295");
  EXPECT_EQ(PathString("YES").CompareNoCase("yes"), 0);
  EXPECT_NE(PathString("yes!").CompareNoCase("yes"), 0);
  PathString slashes("C:\\a\\b");
  slashes.ReplaceChar('\\', '/');
  EXPECT_EQ(slashes, "C:/a/b");
  EXPECT_EQ(TrimBlanks("  300 "), "300");
  EXPECT_EQ(TrimBlanks("   "), "");
}

}  // namespace
