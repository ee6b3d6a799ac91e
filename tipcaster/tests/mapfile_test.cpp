#include "mapfile.h"

#include <gtest/gtest.h>

#include <map>
#include <utility>

namespace {

// The map file's values by section and key, as the profile functions give them.
class FakeMap : public MapSource {
 public:
  FakeMap(std::initializer_list<std::pair<const std::pair<std::string, std::string>, std::string>> v)
      : values_(v) {}
  std::string Read(const std::string &section, const std::string &key) const override {
    auto it = values_.find({section, key});
    return it == values_.end() ? std::string() : it->second;
  }

 private:
  std::map<std::pair<std::string, std::string>, std::string> values_;
};

TEST(MapEntryTest, TopicAndSize) {
  struct {
    const char *value;
    const char *topic;
    int32_t width, height;
  } cases[] = {
      {"\"intro.htm\";width: 300 height: 200", "intro.htm", 300, 200},
      {"\"intro.htm\";width: 300", "intro.htm", 300, 300},
      {"\"intro.htm\"", "intro.htm", 0, 0},
      {"\"intro.htm\";big", "intro.htm", 0, 0},
      {"plain.htm", "plain.htm", 0, 0},
      {"\"a\"b\".htm\"tail", "a\"b\".htm", 0, 0},
      {"\"open.htm", "open.htm", 0, 0},
      {"", "", 0, 0},
      {";width:40height:  7 ", "", 40, 7},
      {"\"x\";width: 99999999999 height: -3", "x", static_cast<int32_t>(99999999999ull % (1ull << 32)), -3},
  };
  for (const auto &c : cases) {
    MapTopic entry = ParseMapEntry(c.value);
    EXPECT_EQ(entry.topic, c.topic) << c.value;
    EXPECT_EQ(entry.width, c.width) << c.value;
    EXPECT_EQ(entry.height, c.height) << c.value;
  }
}

TEST(MapEntryTest, LookupContextUsesTheUnsignedNumberAsKey) {
  FakeMap map{{{"MAP", "42"}, "\"answer.htm\";width: 10 height: 20"},
              {{"MAP", "4294967295"}, "\"minus-one.htm\""}};
  MapTopic entry;
  ASSERT_TRUE(LookupContext(map, 42, entry));
  EXPECT_EQ(entry.topic, "answer.htm");
  EXPECT_EQ(entry.width, 10);
  ASSERT_TRUE(LookupContext(map, -1, entry));
  EXPECT_EQ(entry.topic, "minus-one.htm");
  EXPECT_FALSE(LookupContext(map, 43, entry));
}

TEST(MapFramesetTest, FollowsTheOrderOfTheOptions) {
  FakeMap all{{{"OPTIONS", "Secondary Frameset"}, "second.htm"},
              {{"OPTIONS", "Starting Frameset"}, "start.htm"},
              {{"OPTIONS", "Has Templates"}, "YES"},
              {{"TEMPLATES", "Starting Frameset"}, "template.htm"},
              {{"OPTIONS", "Default Topic"}, "default.htm"}};
  EXPECT_EQ(ReadFrameset(all, true), "second.htm");
  EXPECT_EQ(ReadFrameset(all, false), "start.htm");

  FakeMap templated{{{"OPTIONS", "Has Templates"}, "Yes"},
                    {{"TEMPLATES", "Starting Frameset"}, "template.htm"},
                    {{"OPTIONS", "Default Topic"}, "default.htm"}};
  EXPECT_EQ(ReadFrameset(templated, true), "template.htm");

  FakeMap noTemplates{{{"OPTIONS", "Has Templates"}, "no"},
                      {{"TEMPLATES", "Starting Frameset"}, "template.htm"},
                      {{"OPTIONS", "Default Topic"}, "default.htm"}};
  EXPECT_EQ(ReadFrameset(noTemplates, false), "default.htm");
  EXPECT_EQ(ReadFrameset(FakeMap{}, true), "");
}

TEST(MapPopupStyleTest, DefaultsAndValues) {
  PopupStyle none = ReadPopupStyle(FakeMap{});
  EXPECT_EQ(none.font, "");
  EXPECT_EQ(none.verticalMargin, -1);
  EXPECT_EQ(none.horizontalMargin, -1);
  EXPECT_EQ(none.textColor, -1);
  EXPECT_EQ(none.backColor, -1);

  PopupStyle set = ReadPopupStyle(FakeMap{{{"Text Popups", "Popup Font"}, "Arial,10,,BOLD"},
                                          {{"Text Popups", "Popup Vertmarg"}, " 5"},
                                          {{"Text Popups", "Popup Horzmarg"}, "6"},
                                          {{"Text Popups", "Popup Textcolor"}, "255"},
                                          {{"Text Popups", "Popup Backcolor"}, "16777215"}});
  EXPECT_EQ(set.font, "Arial,10,,BOLD");
  EXPECT_EQ(set.verticalMargin, 5);
  EXPECT_EQ(set.horizontalMargin, 6);
  EXPECT_EQ(set.textColor, 255);
  EXPECT_EQ(set.backColor, 16777215);
}

}  // namespace
