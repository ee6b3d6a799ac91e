#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "log_capture.h"
#include "xmlparse.h"

namespace {

struct Parsed {
  explicit Parsed(const char *text) : document(XmlDocCreate()) { result = XmlParse(document, text); }
  ~Parsed() { XmlDocFree(document); }
  XmlNode *Top(int index) const { return XmlGetChild(document->root->children, index); }
  int TopCount() const { return document->root->children->Count; }
  XmlDocument *document;
  int result;
};

std::string Attr(const XmlNode *node, const char *name) {
  char *value = XmlGetAttr(node->attributes, name);
  std::string text = value ? value : "(none)";
  std::free(value);
  return text;
}

TEST(XmlParse, ADeclarationBecomesATopLevelTextNodeThatLookupsSkip) {
  Parsed parsed("<?xml version=\"1.0\"?>\n<pmonitor><service name=\"a\"/></pmonitor>");
  ASSERT_EQ(parsed.result, 1);
  ASSERT_EQ(parsed.TopCount(), 2);
  EXPECT_EQ(parsed.Top(0)->kind, kXmlText);
  EXPECT_STREQ(parsed.Top(0)->text, "xml version=\"1.0\"?");
  const XmlNode *monitor = XmlFirstChild(parsed.document->root, "PMONITOR");
  ASSERT_NE(monitor, nullptr);
  EXPECT_EQ(monitor->kind, kXmlElement);
}

TEST(XmlParse, SelfClosedElementsHaveNoChildrenAndKeepTheirSiblings) {
  Parsed parsed("<send><br/><text>A</text><br /></send>");
  ASSERT_EQ(parsed.result, 1);
  const XmlNode *send = parsed.Top(0);
  ASSERT_EQ(send->children->Count, 3);
  EXPECT_EQ(XmlGetChild(send->children, 0)->children->Count, 0);
  EXPECT_STREQ(XmlGetChild(send->children, 1)->name, "text");
  EXPECT_STREQ(XmlGetChild(send->children, 2)->name, "br");
}

TEST(XmlParse, OnlyDoubleQuotedAttributesAreKeptWithTheirSpacesJoined) {
  Parsed parsed("<service name=\"web   server\" port='80' protocol=\"udp\">x</service>");
  ASSERT_EQ(parsed.result, 1);
  const XmlNode *service = parsed.Top(0);
  EXPECT_STREQ(service->name, "service");
  EXPECT_EQ(Attr(service, "name"), "web server");
  EXPECT_EQ(Attr(service, "port"), "(none)");
  EXPECT_EQ(Attr(service, "PROTOCOL"), "udp");
  EXPECT_STREQ(XmlGetChild(service->children, 0)->text, "x");
}

TEST(XmlParse, AnEndTagClosesTheInnerElementsStillOpen) {
  Parsed parsed("<a><b><c>text</a><d/>");
  ASSERT_EQ(parsed.result, 1);
  ASSERT_EQ(parsed.TopCount(), 2);
  EXPECT_STREQ(parsed.Top(1)->name, "d");
}

TEST(XmlParse, StrayMarkupIsLoggedWithItsPlaceAndSkipped) {
  LogCapture log;
  Parsed parsed("<a>\n<b <c>x</b>></a></z>");
  EXPECT_EQ(parsed.result, 1);
  EXPECT_TRUE(log.Contains("xmlparse: Unexpected '<' encountered [Row:2 Col:3]", 0));
  EXPECT_TRUE(log.Contains("xmlparse: Unexpected '>' encountered", 0));
  EXPECT_TRUE(log.Contains("xmlparse: End tag found without matching start tag:", 0));
}

TEST(XmlParse, CommentsAndFailures) {
  Parsed comment("<a><!--  a  note  --></a>");
  ASSERT_EQ(comment.result, 1);
  const XmlNode *node = XmlGetChild(comment.Top(0)->children, 0);
  EXPECT_EQ(node->kind, kXmlComment);
  EXPECT_STREQ(node->text, "a  note");
  EXPECT_EQ(Parsed("<a><!-- --></a>").result, 0);      // an empty comment
  EXPECT_EQ(Parsed("<a name=\"\"></a>").result, 0);    // an empty value
}

// Every parse has its own state: parses on two threads never refuse each
// other.
TEST(XmlParse, TwoThreadsParseAtTheSameTime) {
  std::atomic<int> failures{0};
  auto parseMany = [&failures] {
    for (int i = 0; i < 300; ++i)
      if (Parsed("<pmonitor><service name=\"a\" port=\"1\"/></pmonitor>").result != 1) ++failures;
  };
  std::thread first(parseMany), second(parseMany);
  first.join();
  second.join();
  EXPECT_EQ(failures.load(), 0);
}

}  // namespace
