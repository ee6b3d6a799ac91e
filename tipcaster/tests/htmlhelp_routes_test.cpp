// The HTML Help routes under Wine, with the HTML Help stand-in loaded in
// place of the system's library: each method reaches the help system with
// the file path, command and record it should, and each missing piece of
// the map file gives its message.
#include <gmock/gmock.h>

#include "fixture.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

const char kMap[] =
    "[OPTIONS]\r\nCompiled File=help.chm\r\n"
    "[MAP]\r\n7=\"seven.htm\";width: 300 height: 200\r\n"
    "[Text Popups]\r\nPopup File=popups.txt\r\nPopup Font=Arial,10\r\nPopup Vertmarg=4\r\n"
    "Popup Textcolor=255\r\n";

// The sizes the help system receives in each record's first field.
#ifdef _WIN64
const int kPopupSize = 72, kKeywordLinkSize = 56, kSearchQuerySize = 40;
#else
const int kPopupSize = 52, kKeywordLinkSize = 32, kSearchQuerySize = 32;
#endif

std::string Size(int size) { return "|" + std::to_string(size) + "|"; }

class HtmlHelpRouteTest : public HelpControlTest {
 protected:
  std::string Chm() const { return PathOf("help.chm"); }
};

TEST_F(HtmlHelpRouteTest, TopicByContextNumberUsesTheHelpContextCommand) {
  UseMapFile(kMap);
  PutProperty(control(), "windowClass", "main");
  EXPECT_EQ(CallMethod(control(), "ShowHTMLHelpTopicId", {7L, ""}).AsLong(), -1);  // TRUE
  EXPECT_EQ(CallMethod(control(), "ShowHTMLHelpTopicId", {7L, "side"}).AsLong(), -1);
  EXPECT_THAT(Records("htmlhelp"),
              ElementsAre("owner|" + Chm() + ">main|15|7", "owner|" + Chm() + ">side|15|7"));
  EXPECT_THAT(boxes_->Texts(), IsEmpty());
}

TEST_F(HtmlHelpRouteTest, TopicByNameOpensTheMemberOfTheCompiledFile) {
  UseMapFile(kMap);
  PutProperty(control(), "windowClass", "main");
  CallMethod(control(), "ShowHTMLHelpTopic", {"a.htm", ""});
  // An empty topic opens the compiled file alone, without the window.
  CallMethod(control(), "ShowHTMLHelpTopic", {"", "main"});
  // The context number's route keeps the earlier topic, unused.
  CallMethod(control(), "ShowHTMLHelpTopicId", {7L, ""});
  EXPECT_THAT(Records("htmlhelp"), ElementsAre("owner|" + Chm() + "::/a.htm>main|0|0", "owner|" + Chm() + "|0|0",
                                               "owner|" + Chm() + ">main|15|7"));
}

TEST_F(HtmlHelpRouteTest, TextPopupCarriesTheStyleOfTheMapFile) {
  UseMapFile(kMap);
  CallMethod(control(), "ShowTextPopup", {7L, 0L});
  std::string path = Chm() + "::/popups.txt";
  for (char &c : path)
    if (c == '\\') c = '/';
  // size, instance, string id, text, colours, margins (left, top, right, bottom), font
  EXPECT_THAT(Records("htmlhelp"), ElementsAre("owner|" + path + "|14" + Size(kPopupSize) + "0|7||255|-1|-1,4,-1,4|Arial,10"));
}

TEST_F(HtmlHelpRouteTest, KeywordContentsIndexAndSearchRecords) {
  UseMapFile(kMap);
  PutProperty(control(), "windowClass", "main");
  CallMethod(control(), "ShowKeyword", {"alpha;beta", ""});
  CallMethod(control(), "ShowAKeyword", {"gamma", "side"});
  CallMethod(control(), "ShowHTMLHelpContents", {""});
  CallMethod(control(), "ShowHTMLHelpIndex", {"side"});
  CallMethod(control(), "ShowHTMLHelpSearch", {""});
  EXPECT_THAT(Records("htmlhelp"),
              ElementsAre("owner|" + Chm() + "|13" + Size(kKeywordLinkSize) + "0|alpha;beta||(null)|(null)|main|1",
                          "owner|" + Chm() + "|19" + Size(kKeywordLinkSize) + "0|gamma||(null)|(null)|side|1",
                          "owner|" + Chm() + ">main|1|0", "owner|" + Chm() + ">side|2|0",
                          "owner|" + Chm() + "|3" + Size(kSearchQuerySize) + "0||-1|0|0|1|main"));
}

TEST_F(HtmlHelpRouteTest, ClickRunsTheCommandOfTheControl) {
  UseMapFile(kMap);
  PutProperty(control(), "ctrlID", 7L);
  const struct {
    long command;
    const char *record;
  } cases[] = {{0, ">w|15|7"}, {3, ">w|1|0"}, {4, ">w|2|0"}};
  PutProperty(control(), "windowClass", "w");
  for (const auto &c : cases) {
    PutProperty(control(), "command", c.command);
    host_->Click();
    ASSERT_FALSE(Records("htmlhelp").empty()) << c.command;
    EXPECT_EQ(Records("htmlhelp").back(), "owner|" + Chm() + c.record) << c.command;
  }
}

TEST_F(HtmlHelpRouteTest, MissingPiecesOfTheMapFileAreReported) {
  // No map file set: the warning, then the engine's missing-file message.
  CallMethod(control(), "ShowHTMLHelpTopicId", {7L, ""});
  UseMapFile("[MAP]\r\n7=\"seven.htm\"\r\n");
  CallMethod(control(), "ShowHTMLHelpTopicId", {7L, ""});
  CallMethod(control(), "ShowKeyword", {"k", ""});
  CallMethod(control(), "ShowTextPopup", {7L, 0L});
  EXPECT_THAT(boxes_->Texts(),
              ElementsAre("There is no map file assigned to this control.",
                          "Unable to show context sensitive help,  does not exist.",
                          "This project does not contain an HTML Help compiled file.",
                          "You do not have a compiled file to reference",
                          "This project does not contain an HTML Help compiled file."));
  for (const MessageBoxRecord &box : boxes_->Boxes()) {
    EXPECT_EQ(box.caption, "Error");
    EXPECT_FALSE(box.owned);
  }
  EXPECT_THAT(Records("htmlhelp"), IsEmpty());
}

TEST_F(HtmlHelpRouteTest, UnknownContextAndMissingPopupFile) {
  UseMapFile("[OPTIONS]\r\nCompiled File=help.chm\r\n[MAP]\r\n7=\"seven.htm\"\r\n");
  CallMethod(control(), "ShowHTMLHelpTopicId", {42L, ""});
  CallMethod(control(), "ShowTextPopup", {7L, 0L});
  std::string missingMap = PathOf("none.map");
  PutProperty(control(), "mapFile", missingMap);
  CallMethod(control(), "ShowHTMLHelpContents", {""});
  EXPECT_THAT(boxes_->Texts(), ElementsAre("Topic for Help Context ID: 42, does not exist",
                                           "You do not have a popup file to reference",
                                           "Unable to show context sensitive help, " + missingMap +
                                               " does not exist."));
  EXPECT_THAT(Records("htmlhelp"), IsEmpty());
}

TEST_F(HtmlHelpRouteTest, LongValuesOfTheMapFileArriveWhole) {
  // Longer than the 2000 characters a first read takes, and than any
  // fixed path buffer.
  std::string folders;
  for (int i = 0; i < 600; ++i) folders += "sub\\";
  UseMapFile("[OPTIONS]\r\nCompiled File=" + folders + "help.chm\r\n[MAP]\r\n7=\"seven.htm\"\r\n");
  PutProperty(control(), "windowClass", "main");
  CallMethod(control(), "ShowHTMLHelpTopicId", {7L, ""});
  EXPECT_THAT(Records("htmlhelp"), ElementsAre("owner|" + PathOf(folders + "help.chm") + ">main|15|7"));
}

TEST_F(HtmlHelpRouteTest, BareMapFileNameCountsFromTheCurrentDirectory) {
  WriteTestFile("help.map", kMap);
  PutProperty(control(), "mapFile", "help.map");
  CallMethod(control(), "ShowHTMLHelpTopicId", {7L, ""});
  EXPECT_THAT(Records("htmlhelp"), ElementsAre("owner|" + Chm() + "|15|7"));
}

}  // namespace
