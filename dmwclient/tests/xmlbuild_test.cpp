#include "xmlbuild.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

class XmlBuildTest : public ::testing::Test {
 protected:
  void SetUp() override {
    writer = _xmlCreate(buffer);
    ASSERT_NE(writer, nullptr);
  }
  void TearDown() override { _xmlClose(writer); }
  std::string Text() const { return buffer; }

  char buffer[512];
  XmlWriter *writer = nullptr;
};

TEST_F(XmlBuildTest, ElementWithEscapedAttributeAndData) {
  std::memcpy(buffer, "stale", 6);
  _xmlClose(writer);
  writer = _xmlCreate(buffer);
  EXPECT_EQ(Text(), "");
  _xmlTagOpen(writer, "a", _xmlParam("x", "1<2"), 0);
  _xmlAddData(writer, "b&c");
  EXPECT_EQ(_xmlTagClose(writer), buffer);
  EXPECT_EQ(Text(), "<a x=\"1&lt;2\">b&amp;c</a>");
}

TEST_F(XmlBuildTest, EmptyElementIsNotPushed) {
  _xmlTagOpen(writer, "br", nullptr, 1);
  EXPECT_EQ(Text(), "<br/>");
  _xmlTagClose(writer);
  EXPECT_EQ(Text(), "<br/>");
}

TEST_F(XmlBuildTest, TagsCloseInnermostFirst) {
  _xmlTagOpen(writer, "root", nullptr, 0);
  _xmlTagOpen(writer, "item", _xmlParamInt("id", -7), 0);
  _xmlTagOpen(writer, "leaf", nullptr, 1);
  _xmlTagClose(writer);
  _xmlTagClose(writer);
  _xmlTagClose(writer);
  EXPECT_EQ(Text(), "<root><item id=\"-7\"><leaf/></item></root>");
}

TEST_F(XmlBuildTest, IndentedWriterPutsEachTagOnItsOwnLine) {
  writer->Indent = 1;  // the host sets the flag in the writer record
  _xmlTagOpen(writer, "a", nullptr, 0);
  _xmlTagOpen(writer, "b", nullptr, 0);
  _xmlTagOpen(writer, "c", nullptr, 1);
  _xmlTagClose(writer);
  _xmlTagClose(writer);
  EXPECT_EQ(Text(), "<a>\n  <b>\n    <c/>\n  </b>\n</a>\n");
}

TEST_F(XmlBuildTest, AttributeListJoinsAndFreesItsParts) {
  char *list = _xmlParamList(_xmlParamInt("n", 5), _xmlParam("s", "ok"), nullptr);
  ASSERT_NE(list, nullptr);
  EXPECT_STREQ(list, " n=\"5\" s=\"ok\"");
  _xmlTagOpen(writer, "e", list, 1);  // takes the list over
  EXPECT_EQ(Text(), "<e n=\"5\" s=\"ok\"/>");
}

TEST_F(XmlBuildTest, DataIsCutWhereItsEscapedFormNoLongerFits) {
  struct Case {
    const char *data;
    const char *appended;
  } cases[] = {
      {"\"", ""},                   // &quot; and its terminator need 7 of 6
      {"'", ""},                    // &apos; likewise
      {"\"\"", "&quot;"},           // room 11: one entity fits
      {"<>&", "&lt;&gt;&amp;"},     // room 16: all fit
      {"plain text", "plain text"},
  };
  for (const Case &c : cases) {
    _xmlAddData(writer, c.data);
    EXPECT_EQ(Text(), c.appended) << c.data;
    buffer[0] = '\0';
  }
}

TEST(XmlParam, ValueRoomIsTwiceItsLengthAndTheTerminator) {
  struct Case {
    const char *value;
    const char *text;
  } cases[] = {
      {"", " x=\"\""},
      {nullptr, " x=\"\""},
      {"&&", " x=\"\""},         // room 5: no entity fits
      {"a&b", " x=\"a&amp;\""},  // room 7: the entity fits, the b no longer
      {"1<2", " x=\"1&lt;2\""},     // room 7: exactly fits
      {"abc", " x=\"abc\""},
  };
  for (const Case &c : cases) {
    char *text = _xmlParam("x", c.value);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, c.text) << (c.value ? c.value : "<null>");
    std::free(text);
  }
  EXPECT_EQ(_xmlParam(nullptr, "v"), nullptr);
}

TEST(XmlQuote, StopsBeforeAnEntityAndItsTerminatorWouldNotFit) {
  struct Case {
    const char *source;
    int size;
    const char *quoted;
  } cases[] = {
      {"&", 6, "&amp;"}, {"&", 5, ""},       {"ab", 3, "ab"},      {"ab", 2, "a"},
      {"ab", 1, ""},     {"a'b", 8, "a&apos;"}, {"a'b", 9, "a&apos;b"}, {"x>", 5, "x"},
  };
  for (const Case &c : cases) {
    char room[16];
    std::memset(room, '#', sizeof room);
    EXPECT_EQ(_xmlQuote(room, c.source, c.size), room);
    EXPECT_STREQ(room, c.quoted) << c.source << " in " << c.size;
    for (size_t i = static_cast<size_t>(c.size); i < sizeof room; i++)
      EXPECT_EQ(room[i], '#') << "written past the room at " << i << " for " << c.source;
  }
  char untouched = '#';
  _xmlQuote(&untouched, "a", 0);
  EXPECT_EQ(untouched, '#');
}

TEST(XmlWriterNull, NullWriterGivesNullAndFreesTheAttributes) {
  EXPECT_EQ(_xmlCreate(nullptr), nullptr);
  EXPECT_EQ(_xmlTagOpen(nullptr, "a", _xmlParam("k", "v"), 0), nullptr);
  EXPECT_EQ(_xmlTagClose(nullptr), nullptr);
  EXPECT_EQ(_xmlAddData(nullptr, "x"), nullptr);
  _xmlClose(nullptr);
}

}  // namespace
