#include "pathstring.h"

#include <gtest/gtest.h>

#include <cstring>

#ifdef _WIN32
#include "pathstring_win32.h"
#endif

namespace {

struct ResolveCase {
  const char *path;
  const char *base;
  const char *expected;
};

// A name that never ends in a backslash, which would join it to the next
// test's in CTest's list of names.
void PrintTo(const ResolveCase &c, std::ostream *os) { *os << "'" << c.path << "' against '" << c.base << "'"; }

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

TEST(PathStringTest, PartsAreCutToTheText) {
  const PathString t("abcdef");
  struct {
    PathString part;
    const char *expected;
  } cases[] = {{t.LeftOf(2), "ab"},       {t.LeftOf(9), "abcdef"},   {t.LeftOf(-1), ""},
               {t.RightPart(2), "ef"},    {t.RightPart(9), "abcdef"}, {t.MidPart(1, 3), "bcd"},
               {t.MidPart(4, 9), "ef"},   {t.MidPart(9, 1), ""},     {t.MidFrom(4), "ef"},
               {t.MidFrom(-2), "abcdef"}, {t.LeftUpTo(3), "abc"},    {t.LeftUpTo(6), "abcdef"},
               {t.RightUpTo(3), "def"},   {t.RightUpTo(10), "abcdef"},
               {PathString::RepeatChar('-', 3), "---"}, {PathString::RepeatChar('x', 0), ""}};
  for (const auto &c : cases) EXPECT_EQ(c.part, c.expected);
  EXPECT_EQ(t.GetLength(), 6);
  PathString cut = t;
  cut.TruncateTo(10);
  EXPECT_EQ(cut, "abcdef");
  cut.TruncateTo(3);
  EXPECT_EQ(cut, "abc");
  cut.AssignChar('z');
  EXPECT_EQ(cut, "z");
}

TEST(PathStringTest, SearchesGiveMinusOneWhenNothingIsFound) {
  const PathString t("a\\b\\c.htm");
  EXPECT_EQ(t.FindChar('\\'), 1);
  EXPECT_EQ(t.ReverseFindChar('\\'), 3);
  EXPECT_EQ(t.FindText("c.h"), 4);
  EXPECT_EQ(t.FindOneOf("./"), 5);
  EXPECT_EQ(t.FindChar('x'), -1);
  EXPECT_EQ(t.ReverseFindChar('x'), -1);
  EXPECT_EQ(t.FindText("b\\a"), -1);
  EXPECT_EQ(t.FindOneOf(":;"), -1);
}

TEST(PathStringTest, CharactersOneByOne) {
  PathString t("ab\xE9");
  EXPECT_EQ(t.CharAt(0), 'a');
  EXPECT_EQ(t.CharAt(2), -23) << "above 127: sign-extended";
  EXPECT_EQ(t.CharAt(3), 0) << "the end of the text";
  EXPECT_EQ(t.CharAt(9), 0);
  EXPECT_EQ(t.CharAt(-1), 0);
  t.SetCharAt(1, 'X');
  t.SetCharAt(3, 'Y');
  t.SetCharAt(-1, 'Y');
  t.AppendChar('!');
  EXPECT_EQ(t, "aX\xE9!");
}

// Windows-1252: é/É 0xE9/0xC9, ÿ/Ÿ 0xFF/0x9F, š/Š 0x9A/0x8A; ß 0xDF has
// no capital, × 0xD7 and ÷ 0xF7 are no letters.
TEST(PathStringTest, CaseFollowsTheAnsiCodePage) {
  PathString t("Stra\xDF" "e \xE9\xFF\x9A \xD7\xF7 1_a");
  t.MakeUpper();
  EXPECT_EQ(t, "STRA\xDF" "E \xC9\x9F\x8A \xD7\xF7 1_A");
  t.MakeLower();
  EXPECT_EQ(t, "stra\xDF" "e \xE9\xFF\x9A \xD7\xF7 1_a");
  EXPECT_EQ(PathString("\xC9T\xC9").CompareNoCase("\xE9t\xE9"), 0);
  EXPECT_EQ(PathString("a").CompareNoCase("B"), -1);
  EXPECT_EQ(PathString("b").CompareNoCase("A"), 1);
  EXPECT_EQ(PathString("ab").CompareNoCase("A"), 1);
  EXPECT_TRUE(PathString("Help").CStringEquals("Help"));
  EXPECT_FALSE(PathString("Help").CStringEquals("help"));
}

TEST(PathStringTest, ComparePathsTakesEitherSlash) {
  EXPECT_EQ(PathString("C:\\A/b").ComparePaths("c:/a\\B"), 0);
  EXPECT_EQ(PathString("C:\\a").ComparePaths("C:\\b"), -1);
  EXPECT_EQ(PathString("C:\\b").ComparePaths("C:/a"), 1);
  EXPECT_EQ(PathString("C:\\a\\").ComparePaths("C:\\a"), 1);
  EXPECT_EQ(PathString("C:\\a").ComparePaths("C:\\a\\"), -1);
}

TEST(PathStringTest, CapitalizeEachWord) {
  PathString t("hello wORLD_x 2nd-time \xE9lan \xFC" "BER");
  t.Capitalize();
  EXPECT_EQ(t, "Hello World_x 2nd-Time \xC9lan \xDC" "ber");
}

TEST(PathStringTest, ReplaceInvalidCharsByKind) {
  const char *input = " \t\"*+,.:;<=>?[]|#%/\\\x7f" "\xe9" "a";
  struct {
    int kind;
    const char *expected;
  } cases[] = {
      {1, "____+,._;_=__[]_#%__\x7f" "\xe9" "a"},  // a long file name
      {2, "__\"*+,.__<_>___|_____\xe9" "a"},       // a URL part
      {3, "____+,.______________\xe9" "a"},        // both
      {0, "________________#%__\x7f" "\xe9" "a"},  // a short file name
  };
  for (const auto &c : cases) {
    PathString t(input);
    t.ReplaceInvalidChars(c.kind);
    EXPECT_EQ(t, c.expected) << c.kind;
  }
}

TEST(PathStringTest, ExtensionIsAfterTheLastDotOfTheName) {
  struct {
    const char *path;
    const char *extension;
  } cases[] = {{"C:\\a\\b.c.d", "d"}, {"C:\\a.b\\c", ""}, {"x.", ""},
               {".profile", "profile"}, {"plain", ""},  {"C:x.htm", "htm"}};
  for (const auto &c : cases) {
    PathString extension("stale");
    PathString(c.path).GetExtension(extension);
    EXPECT_EQ(extension, c.extension) << c.path;
  }
}

struct RelativeCase {
  const char *path;
  const char *base;
  bool dropDrive;
  const char *expected;
};

void PrintTo(const RelativeCase &c, std::ostream *os) {
  *os << "'" << c.path << "' against '" << c.base << "'" << (c.dropDrive ? " dropping the drive" : "");
}

class MakeRelativePathTest : public ::testing::TestWithParam<RelativeCase> {};

TEST_P(MakeRelativePathTest, GivesThePathFromTheBase) {
  PathString out("stale");
  PathString(GetParam().path).MakeRelativePath(out, PathString(GetParam().base), GetParam().dropDrive);
  EXPECT_EQ(out, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, MakeRelativePathTest,
    ::testing::Values(RelativeCase{"C:\\h\\sub\\x.htm", "C:\\h", false, "sub\\x.htm"},
                      RelativeCase{"c:/H/sub/x.htm", "C:\\h\\", false, "sub\\x.htm"},
                      RelativeCase{"C:\\h\\.\\a\\.", "C:\\h", false, "a"},
                      RelativeCase{"C:\\h", "C:\\h", false, "C:\\h"},
                      RelativeCase{"C:\\other\\x", "C:\\h", false, "C:\\other\\x"},
                      RelativeCase{"C:\\other\\x", "c:\\h", true, "\\other\\x"},
                      RelativeCase{"D:\\x", "C:\\h", true, "D:\\x"},
                      RelativeCase{"ab\\c", "abd", true, "ab\\c"},
                      RelativeCase{"\\\\srv\\share\\d\\x", "\\\\SRV\\share\\e", true, "\\d\\x"},
                      RelativeCase{"\\\\srv\\other\\x", "\\\\srv\\share\\e", true, "\\\\srv\\other\\x"},
                      RelativeCase{"\\\\srv\\share", "\\\\srv\\share\\e", true, "\\"},
                      // Without a base, a rooted path loses its root.
                      RelativeCase{"\\x\\y", "", false, "x\\y"},
                      RelativeCase{"x/y", "", false, "x\\y"}));

// Every character ten pixels wide and twenty high.
class FixedWidthText : public TextDevice {
 public:
  TextSize TextExtent(const char *, size_t length) const override {
    return TextSize{static_cast<int>(length) * 10, 20};
  }
};

TEST(PathStringTest, CompactPathShortensTheMiddleAndKeepsTheName) {
  struct {
    const char *path;
    int width;
    const char *expected;
  } cases[] = {
      {"C:\\alpha\\beta\\gamma\\file.txt", 1000, "C:\\alpha\\beta\\gamma\\file.txt"},
      {"C:\\alpha\\beta\\gamma\\file.txt", 260, "C:\\...\\beta\\gamma\\file.txt"},
      {"C:\\alpha\\beta\\gamma\\file.txt", 230, "C:\\...\\gamma\\file.txt"},
      {"C:\\alpha\\beta\\gamma\\file.txt", 10, "C:\\...\\file.txt"},
      {"\\\\srv\\share\\dir\\sub\\f.htm", 10, "\\\\srv\\share\\...\\f.htm"},
      {"docs/a/b/f.htm", 10, "docs/.../f.htm"},
      {"C:\\file.txt", 10, "C:\\file.txt"},
      {"file.txt", 10, "file.txt"},
  };
  FixedWidthText device;
  for (const auto &c : cases) {
    PathString path(c.path);
    path.CompactPath(device, c.width);
    EXPECT_EQ(path, c.expected) << c.path << " in " << c.width;
  }
}

TEST(PathStringTest, NumbersInDecimal) {
  PathString t;
  t.ShortToText(-32768);
  EXPECT_EQ(t, "-32768");
  t.ShortToText(0);
  EXPECT_EQ(t, "0");
  t = "x=";
  t.ShortToTextAppend(12);
  t.AppendChar(',');
  t.UlongToTextAppend(4294967295u);
  EXPECT_EQ(t, "x=12,4294967295");
  struct {
    const char *text;
    int16_t value;
  } shorts[] = {{"12-3", -123}, {"32767", 32767}, {"32768", -32768}, {"70000", 4464}, {"", 0}};
  for (const auto &c : shorts) EXPECT_EQ(PathString(c.text).TextToShort(), c.value) << c.text;
}

#ifdef _WIN32
TEST(PathStringWindows, LoadResStringReadsTheModulesStringTable) {
  PathString text("kept");
  EXPECT_FALSE(text.LoadResString(999));
  EXPECT_EQ(text, "kept");
  EXPECT_TRUE(text.LoadResString(101));
  EXPECT_EQ(text, "Context help topics");
}

TEST(PathStringWindows, CompactPathMeasuresInADeviceContext) {
  HDC dc = CreateCompatibleDC(nullptr);
  ASSERT_NE(dc, nullptr);
  SelectObject(dc, GetStockObject(ANSI_VAR_FONT));
  DeviceContextText device(dc);
  EXPECT_EQ(device.TextExtent("", 0).width, 0);
  TextSize one = device.TextExtent("W", 1), two = device.TextExtent("WW", 2);
  EXPECT_GT(one.width, 0);
  EXPECT_GT(one.height, 0);
  EXPECT_GT(two.width, one.width);
  const char *shortened = "C:\\...\\gamma\\file.txt";
  PathString path("C:\\alpha\\beta\\gamma\\file.txt");
  path.CompactPath(device, device.TextExtent(shortened, std::strlen(shortened)).width);
  EXPECT_EQ(path, shortened);
  DeleteDC(dc);
}
#endif

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
