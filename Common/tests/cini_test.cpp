#include "cini.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

class IniTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir = std::filesystem::path(::testing::TempDir()) / (std::string("cini_") + info->name());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    path = (dir / "test.cfg").string();
  }
  void TearDown() override {
    _IniClose(ini);
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
  }
  void WriteFile(const std::string &bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }
  std::string FileBytes() {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
  }
  IniFile *Open(const std::string &bytes) {
    WriteFile(bytes);
    ini = _IniCreate(path.c_str());
    return ini;
  }
  std::string Read(const char *section, const char *key, const char *def = "<default>") {
    char buffer[INI_LINE_MAX + 1];
    std::strcpy(buffer, def);
    return _IniReadStr(ini, section, key, buffer);
  }
  // Writes the file back and reads its bytes.
  std::string Saved() {
    _IniUpdate(ini);
    return FileBytes();
  }
  std::filesystem::path dir;
  std::string path;
  IniFile *ini = nullptr;
};

struct ReadCase {
  const char *name;
  const char *section;
  const char *key;
  const char *expected;
};

void PrintTo(const ReadCase &c, std::ostream *out) { *out << c.name; }

class IniReadTest : public IniTest, public ::testing::WithParamInterface<ReadCase> {};

const char kSample[] =
    "top =unnamed\n"
    "  [ Agent ]  \n"
    "Server=10.0.0.1\n"
    "Spaced =  two leading   \n"
    "; Hidden=comment\n"
    "no equals here\n"
    "Empty=\n"
    "\n"
    "AfterBlank=still agent\n"
    "[Other]\n"
    "Server=other\n"
    "[broken\n"
    "Lost=in broken\n";

TEST_P(IniReadTest, FindsTheValue) {
  const ReadCase &c = GetParam();
  ASSERT_NE(Open(kSample), nullptr);
  EXPECT_EQ(Read(c.section, c.key), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, IniReadTest,
    ::testing::Values(
        ReadCase{"HeaderWithBlanksAndCase", "agent", "SERVER", "10.0.0.1"},
        ReadCase{"ValueKeepsLeadingBlanks", "AGENT", "spaced", "  two leading"},
        ReadCase{"CommentIsNoKey", "Agent", "; Hidden", "<default>"},
        ReadCase{"CommentKeyNameIsNoKey", "Agent", "Hidden", "<default>"},
        ReadCase{"EmptyValue", "Agent", "Empty", ""},
        ReadCase{"KeyAfterBlankLineInSection", "Agent", "AfterBlank", "still agent"},
        ReadCase{"NextSectionHasItsOwn", "other", "server", "other"},
        ReadCase{"UnnamedByNull", nullptr, "top", "unnamed"},
        ReadCase{"UnnamedByEmpty", "", "TOP", "unnamed"},
        ReadCase{"UnnamedStopsAtFirstHeader", nullptr, "Server", "<default>"},
        ReadCase{"MissingSection", "nowhere", "Server", "<default>"},
        ReadCase{"MissingKey", "Agent", "nothing", "<default>"},
        ReadCase{"LineWithoutEqualsIsNoKey", "Agent", "no equals here", "<default>"},
        ReadCase{"HeaderWithoutClosingBracketEndsSection", "Other", "Lost", "<default>"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(IniTest, ReadIntConvertsOrGivesTheDefault) {
  ASSERT_NE(Open("[S]\nn= 42 \nneg=-7\ntext=abc\n"), nullptr);
  EXPECT_EQ(_IniReadInt(ini, "s", "n", 5), 42);
  EXPECT_EQ(_IniReadInt(ini, "s", "neg", 5), -7);
  EXPECT_EQ(_IniReadInt(ini, "s", "text", 5), 0);
  EXPECT_EQ(_IniReadInt(ini, "s", "missing", 5), 5);
}

TEST_F(IniTest, MissingFileGivesAnEmptyHandleAndTheFirstUpdateCreatesIt) {
  ini = _IniCreate(path.c_str());
  ASSERT_NE(ini, nullptr);
  EXPECT_EQ(Read("AGENT", "Server"), "<default>");
  _IniUpdate(ini);
  EXPECT_FALSE(std::filesystem::exists(path)) << "nothing changed, nothing written";
  _IniWriteInt(ini, "AGENT", "ServerSocket", 2001);
  _IniWriteStr(ini, "AGENT", "Server", "127.0.0.1");
  _IniClose(ini);
  ini = nullptr;
#ifdef _WIN32
  EXPECT_EQ(FileBytes(), "[AGENT]\r\nServerSocket=2001\r\nServer=127.0.0.1\r\n");
#else
  EXPECT_EQ(FileBytes(), "[AGENT]\nServerSocket=2001\nServer=127.0.0.1\n");
#endif
}

TEST_F(IniTest, RewriteKeepsCommentsOrderAndLineEnds) {
  const std::string original = "; settings\r\n[A]\r\nx = 1 ; old\r\n\r\n[B]\r\ny=2\r\n";
  ASSERT_NE(Open(original), nullptr);
  _IniWriteStr(ini, "a", "X", "9");
  EXPECT_EQ(Saved(), "; settings\r\n[A]\r\nX=9\r\n\r\n[B]\r\ny=2\r\n");
}

TEST_F(IniTest, UnchangedHandleWritesNothing) {
  ASSERT_NE(Open("[A]\nx=1\n"), nullptr);
  std::filesystem::remove(path);
  _IniUpdate(ini);
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(IniTest, ChangedHandleWritesOnEveryUpdate) {
  ASSERT_NE(Open("[A]\nx=1\n"), nullptr);
  _IniWriteStr(ini, "A", "x", "1");
  _IniUpdate(ini);
  std::filesystem::remove(path);
  EXPECT_EQ(Saved(), "[A]\nx=1\n");
}

struct WriteCase {
  const char *name;
  const char *before;
  const char *section;
  const char *key;
  const char *after;
};

void PrintTo(const WriteCase &c, std::ostream *out) { *out << c.name; }

class IniWriteTest : public IniTest, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(IniWriteTest, PlacesTheLine) {
  const WriteCase &c = GetParam();
  ASSERT_NE(Open(c.before), nullptr);
  _IniWriteStr(ini, c.section, c.key, "v");
  EXPECT_EQ(Saved(), c.after);
  EXPECT_EQ(Read(c.section, c.key), "v") << "the written key reads back";
}

INSTANTIATE_TEST_SUITE_P(
    Placement, IniWriteTest,
    ::testing::Values(
        WriteCase{"ReplacesTheWholeLine", "[A]\n  Key  =  old  ; note\n", "a", "KEY",
                  "[A]\nKEY=v\n"},
        WriteCase{"NewKeyBeforeTheBlankLine", "[A]\nx=1\n\n[B]\n", "A", "k",
                  "[A]\nx=1\nk=v\n\n[B]\n"},
        WriteCase{"NewKeyBeforeTheNextHeader", "[A]\nx=1\n[B]\ny=2\n", "A", "k",
                  "[A]\nx=1\nk=v\n[B]\ny=2\n"},
        WriteCase{"HeaderFollowedByHeader", "[A]\n[B]\ny=2\n", "A", "k", "[A]\nk=v\n[B]\ny=2\n"},
        WriteCase{"NewKeyAtTheEnd", "[A]\nx=1", "A", "k", "[A]\nx=1\nk=v\n"},
        WriteCase{"MissingSectionIsAppended", "[A]\nx=1\n", "New", "k", "[A]\nx=1\n[New]\nk=v\n"},
        WriteCase{"UnnamedAboveTheFirstHeader", "[A]\nx=1\n", nullptr, "k", "k=v\n\n[A]\nx=1\n"},
        WriteCase{"UnnamedWithKeys", "a=1\n[A]\n", "", "k", "a=1\nk=v\n[A]\n"},
        WriteCase{"OnlyAComment", "; c\n", "A", "k", "; c\n[A]\nk=v\n"},
        WriteCase{"CommentWithEqualsIsNotReplaced", "[A]\n;k=old\n", "A", "k",
                  "[A]\n;k=old\nk=v\n"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(IniTest, DeleteKeyRemovesOnlyItsLine) {
  ASSERT_NE(Open("[A]\nx=1\ny=2\n[B]\nx=3\n"), nullptr);
  _IniDeleteKey(ini, "A", "X");
  _IniDeleteKey(ini, "A", "missing");
  EXPECT_EQ(Saved(), "[A]\ny=2\n[B]\nx=3\n");
}

TEST_F(IniTest, EraseSectionStopsAtTheFirstBlankLine) {
  ASSERT_NE(Open("[A]\nx=1\n;c\ny=2\n\nz=3\n[B]\nw=4\n"), nullptr);
  _IniEraseSection(ini, "a");
  EXPECT_EQ(Saved(), "[A]\n\nz=3\n[B]\nw=4\n");
  EXPECT_EQ(Read("A", "z"), "3");
}

TEST_F(IniTest, ReadSectionCopiesItsLinesButBlanksAndComments) {
  ASSERT_NE(Open("[A]\nx = 1\n; note\n\nplain\ny=2\n[B]\nz=3\n"), nullptr);
  Collection *lines = _Co_Create(1, 1, nullptr);
  _Co_Add(lines, std::malloc(4));  // cleared first
  _IniReadSection(ini, "A", lines);
  ASSERT_EQ(lines->Count, 3);
  EXPECT_STREQ(static_cast<char *>(_Co_Get(lines, 0)), "x = 1");
  EXPECT_STREQ(static_cast<char *>(_Co_Get(lines, 1)), "plain");
  EXPECT_STREQ(static_cast<char *>(_Co_Get(lines, 2)), "y=2");
  _IniReadSection(ini, "missing", lines);
  EXPECT_EQ(lines->Count, 0);
  _Co_Free(lines);
}

TEST_F(IniTest, InternalHelpers) {
  ASSERT_NE(Open("[ One ]\na=1\n b = 2\n\nc=3\n[Two]\nd=4\n[bad\n"), nullptr);
  EXPECT_TRUE(IniKeyExists(ini, "one", "B"));
  EXPECT_FALSE(IniKeyExists(ini, "two", "a"));
  IniClearSectionValues(ini, "One");
  EXPECT_EQ(Saved(), "[ One ]\na=\n b =\n\nc=3\n[Two]\nd=4\n[bad\n");
  EXPECT_TRUE(IniKeyExists(ini, "one", "b"));
  Collection *names = _Co_Create(1, 1, nullptr);
  IniReadSectionNames(ini, names);
  ASSERT_EQ(names->Count, 2);
  EXPECT_STREQ(static_cast<char *>(_Co_Get(names, 0)), "One");
  EXPECT_STREQ(static_cast<char *>(_Co_Get(names, 1)), "Two");
  _Co_Free(names);
}

TEST_F(IniTest, BoundedReadCutsALongValue) {
  ASSERT_NE(Open("[A]\nlong=" + std::string(600, 'x') + "\n"), nullptr);
  char buffer[16 + 8];
  std::memset(buffer, 'G', sizeof buffer);
  IniReadStrN(ini, "A", "long", buffer, 16);
  EXPECT_EQ(std::string(buffer), std::string(15, 'x'));
  for (size_t i = 16; i < sizeof buffer; i++) EXPECT_EQ(buffer[i], 'G') << i;
}

TEST_F(IniTest, OverlongLineIsReadAsSeveralLines) {
  ASSERT_NE(Open("[A]\nk=" + std::string(INI_LINE_MAX, 'x') + "\nnext=1\n"), nullptr);
  EXPECT_EQ(Read("A", "k").size(), static_cast<size_t>(INI_LINE_MAX - 2));
  EXPECT_EQ(Read("A", "next"), "1");
}

TEST_F(IniTest, NullHandleIsInert) {
  char buffer[8] = "def";
  EXPECT_STREQ(_IniReadStr(nullptr, "a", "b", buffer), "def");
  EXPECT_EQ(_IniReadInt(nullptr, "a", "b", 3), 3);
  _IniWriteStr(nullptr, "a", "b", "c");
  _IniWriteInt(nullptr, "a", "b", 1);
  _IniDeleteKey(nullptr, "a", "b");
  _IniEraseSection(nullptr, "a");
  _IniReadSection(nullptr, "a", nullptr);
  _IniUpdate(nullptr);
  _IniClose(nullptr);
}

TEST_F(IniTest, OneHandleSharedBetweenThreads) {
  ASSERT_NE(Open("[A]\n"), nullptr);
  std::vector<std::thread> writers;
  for (int t = 0; t < 4; t++)
    writers.emplace_back([this, t] {
      for (int i = 0; i < 50; i++) {
        std::string key = "k" + std::to_string(t) + "_" + std::to_string(i);
        _IniWriteInt(ini, "A", key.c_str(), i);
        EXPECT_EQ(_IniReadInt(ini, "A", key.c_str(), -1), i);
      }
    });
  for (auto &w : writers) w.join();
  for (int t = 0; t < 4; t++)
    EXPECT_EQ(_IniReadInt(ini, "a", ("k" + std::to_string(t) + "_49").c_str(), -1), 49);
}

}  // namespace
