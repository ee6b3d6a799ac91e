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

namespace {

const char kTree[] =
    "<pmonitor><service name=\"Web\" port=\"80\"><info>web</info></service>"
    "<!-- spare --><service name=\"Mail\" port=\"25\"><info>mail</info></service></pmonitor>";

TEST(XmlTree, CollectionsByKindNameAndAttribute) {
  Parsed parsed(kTree);
  ASSERT_EQ(parsed.result, 1);
  Collection *found = NodeListCreate(5, 5);
  Collection *top = parsed.document->root->children;
  EXPECT_EQ(XmlCollectByName(top, found, "service", 0), 1);
  EXPECT_EQ(NodeListCount(found), 0);  // depth 0: the top level only
  XmlCollectByName(top, found, "SERVICE", -1);
  ASSERT_EQ(NodeListCount(found), 2);
  EXPECT_EQ(NodeListGet(found, 1)->children->Count, 1);
  XmlCollectByKind(top, found, kXmlComment, 1);
  ASSERT_EQ(NodeListCount(found), 1);
  EXPECT_STREQ(NodeListGet(found, 0)->text, "spare");
  XmlCollectByAttr(top, found, "port", "25", -1);
  ASSERT_EQ(NodeListCount(found), 1);
  EXPECT_STREQ(NodeListLastName(found), "service");
  XmlCollectByAttr(top, found, "PORT", "*", -1);
  EXPECT_EQ(NodeListCount(found), 2);
  EXPECT_EQ(NodeListCount(nullptr), -1);
  NodeListFree(found);
}

TEST(XmlTree, EditsAndAttributes) {
  Parsed parsed(kTree);
  XmlNode *monitor = parsed.Top(0);
  XmlNode *web = XmlGetChild(monitor->children, 0);
  EXPECT_EQ(XmlNodeDepth(web), 2);
  EXPECT_EQ(XmlNodeIndex(XmlGetChild(monitor->children, 2)), 2);
  EXPECT_EQ(XmlAddAttr(web->attributes, "empty", ""), 0);
  EXPECT_EQ(XmlReplaceAttr(web->attributes, "port", "8080"), 1);
  EXPECT_EQ(Attr(web, "port"), "8080");
  char *name = XmlAttrName(web->attributes, 1);
  EXPECT_STREQ(name, "port");
  std::free(name);
  char *text = XmlAttrText(web);
  EXPECT_STREQ(text, " name=\"Web\" port=\"8080\"");
  std::free(text);
  XmlNode *copy = XmlNodeCopy(web);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(XmlInsertChild(monitor, 0, copy), 1);
  EXPECT_EQ(monitor->children->Count, 4);
  EXPECT_STREQ(XmlLastText(XmlGetChild(copy->children, 0)), "web");
  XmlDeleteChild(monitor, copy);
  XmlDeleteChildAt(monitor, 1);
  EXPECT_EQ(monitor->children->Count, 2);
  EXPECT_EQ(XmlInsertChild(monitor, 9, XmlNodeNew(kXmlText, "PCDATA", "x")), 0);
}

TEST(XmlTree, TheSerializerIndentsAndUpperCasesElementNames) {
  Parsed parsed("<a x=\"1\"><b/><!-- c -->text</a>");
  char *text = XmlSerialize(parsed.document->root->children);
  EXPECT_STREQ(text, "\n<A x=\"1\">\n  <B/>\n  <!-- c -->\n  text\n</A>");
  std::free(text);
}

TEST(XmlTree, EntitiesEscapeAndDecode) {
  char *escaped = XmlEscape("a<b>&c");
  EXPECT_STREQ(escaped, "a&lt;b&gt;&amp;c");
  char *decoded = XmlDecode(escaped);
  EXPECT_STREQ(decoded, "a<b>&c");
  std::free(escaped);
  std::free(decoded);
  decoded = XmlDecode("&#65;&copy;&frac12;&unknown;&");
  EXPECT_STREQ(decoded, "A\xA9\xBD&unknown;&");
  std::free(decoded);
}

}  // namespace
