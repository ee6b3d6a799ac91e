#include "commandlines.h"

#include <gtest/gtest.h>

#include <set>

namespace {

const JavaTemplate kTemplate{"\"%%1\" -cp \"%%2;%%3;%%4;%%5\" viewer.Main \"%%6\" %%7", "javaw.exe",
                             "jrew.exe"};

JavaSettings Settings(int32_t version, const std::string &jre) {
  JavaSettings s;
  s.javaVersion = version;
  s.jrePath = jre;
  s.javaHelpPath = "C:\\jh";
  s.viewerArchivePath = "C:\\Program Files\\tc";
  s.helpsetFile = "C:\\proj\\help.hs";
  s.projectArchive = "C:\\proj\\missing.jar";
  return s;
}

FileTest AllExistBut(std::set<std::string> missing) {
  return [missing](const std::string &path) { return missing.count(path) == 0; };
}

TEST(JavaCommandLineTest, RuntimeAndClassPathFollowTheJavaVersion) {
  struct {
    int32_t version;
    const char *expected;
  } cases[] = {
      {0, "\"C:\\jre\\javaw.exe\" -cp \"C:\\Program Files\\tc\\Tipcaster.jar;C:\\proj\\missing.jar;"
          "C:\\jh\\jh.jar;\" viewer.Main \"C:\\proj\\help.hs\" intro"},
      {1, "\"C:\\jre\\jrew.exe\" -cp \"C:\\Program Files\\tc\\Tipcaster.jar;C:\\proj\\missing.jar;"
          "C:\\jh\\jh.jar;C:\\jh\\swingall.jar\" viewer.Main \"C:\\proj\\help.hs\" intro"},
      {2, "\"C:\\jre\\jrew.exe\" -cp \"C:\\Program Files\\tc\\Tipcaster.jar;C:\\proj\\missing.jar;"
          "C:\\jh\\jh.jar;\" viewer.Main \"C:\\proj\\help.hs\" intro"},
  };
  for (const auto &c : cases) {
    std::string line, missing;
    // The project archive is not checked: it goes in even though it is missing.
    ASSERT_TRUE(BuildJavaCommandLine(kTemplate, Settings(c.version, "C:\\jre\\"), "intro",
                                     AllExistBut({"C:\\proj\\missing.jar"}), line, missing));
    EXPECT_EQ(line, c.expected) << c.version;
  }
}

TEST(JavaCommandLineTest, EmptyProjectArchiveLeavesAdjacentSemicolons) {
  JavaSettings s = Settings(0, "C:\\jre");
  s.projectArchive.clear();
  std::string line, missing;
  ASSERT_TRUE(BuildJavaCommandLine(kTemplate, s, "", AllExistBut({}), line, missing));
  EXPECT_EQ(line, "\"C:\\jre\\javaw.exe\" -cp \"C:\\Program Files\\tc\\Tipcaster.jar;;C:\\jh\\jh.jar;\" "
                  "viewer.Main \"C:\\proj\\help.hs\" ");
}

TEST(JavaCommandLineTest, NamesTheFirstMissingFile) {
  const std::string checked[] = {"C:\\jre\\javaw.exe", "C:\\Program Files\\tc\\Tipcaster.jar",
                                 "C:\\jh\\jh.jar", "C:\\proj\\help.hs"};
  for (const std::string &absent : checked) {
    std::string line = "untouched", missing;
    EXPECT_FALSE(BuildJavaCommandLine(kTemplate, Settings(0, "C:\\jre"), "t", AllExistBut({absent}),
                                      line, missing));
    EXPECT_EQ(missing, absent);
    EXPECT_EQ(line, "untouched");
  }
}

TEST(BrowserCommandLineTest, QuotesProgramAndArgument) {
  EXPECT_EQ(BrowserCommandLine("C:\\Program Files\\Web\\browse.exe", "C:\\my help\\a.htm"),
            "\"C:\\Program Files\\Web\\browse.exe\" \"C:\\my help\\a.htm\"");
}

}  // namespace
