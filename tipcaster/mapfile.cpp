#include "mapfile.h"

#include "pathstring.h"

namespace {

int32_t NumberIn(const std::string &text) { return PathString(TrimBlanks(text)).TextToLong(); }

int32_t ReadNumber(const MapSource &map, const char *section, const char *key, int32_t absent) {
  std::string text = map.Read(section, key);
  return text.empty() ? absent : NumberIn(text);
}

// The topic between the first and the last double quote; a topic without
// quotes stands as it is.
std::string Unquote(std::string topic) {
  size_t first = topic.find('"');
  if (first == std::string::npos) return topic;
  topic.erase(0, first + 1);
  size_t last = topic.rfind('"');
  if (last != std::string::npos) topic.resize(last);
  return topic;
}

}  // namespace

MapTopic ParseMapEntry(const std::string &value) {
  MapTopic entry;
  size_t semicolon = value.find(';');
  entry.topic = Unquote(value.substr(0, semicolon));
  if (semicolon == std::string::npos) return entry;

  const std::string size = value.substr(semicolon + 1);
  const std::string widthTag = "width:";
  const std::string heightTag = "height:";
  size_t widthAt = size.find(widthTag);
  if (widthAt == std::string::npos) return entry;
  std::string dimensions = size.substr(widthAt + widthTag.size());
  size_t heightAt = dimensions.find(heightTag);
  if (heightAt == std::string::npos) {
    entry.width = entry.height = NumberIn(dimensions);
  } else {
    entry.width = NumberIn(dimensions.substr(0, heightAt));
    entry.height = NumberIn(dimensions.substr(heightAt + heightTag.size()));
  }
  return entry;
}

bool LookupContext(const MapSource &map, int32_t context, MapTopic &out) {
  PathString key;
  key.UlongToText(static_cast<uint32_t>(context));
  std::string value = map.Read("MAP", key);
  if (value.empty()) return false;
  out = ParseMapEntry(value);
  return true;
}

std::string ReadFrameset(const MapSource &map, bool secondary) {
  std::string page;
  if (secondary) {
    page = map.Read("OPTIONS", "Secondary Frameset");
    if (!page.empty()) return page;
  }
  page = map.Read("OPTIONS", "Starting Frameset");
  if (!page.empty()) return page;
  if (PathString(map.Read("OPTIONS", "Has Templates")).CompareNoCase("yes") == 0) {
    page = map.Read("TEMPLATES", "Starting Frameset");
    if (!page.empty()) return page;
  }
  return map.Read("OPTIONS", "Default Topic");
}

PopupStyle ReadPopupStyle(const MapSource &map) {
  PopupStyle style;
  style.font = map.Read("Text Popups", "Popup Font");
  style.verticalMargin = ReadNumber(map, "Text Popups", "Popup Vertmarg", -1);
  style.horizontalMargin = ReadNumber(map, "Text Popups", "Popup Horzmarg", -1);
  style.textColor = ReadNumber(map, "Text Popups", "Popup Textcolor", -1);
  style.backColor = ReadNumber(map, "Text Popups", "Popup Backcolor", -1);
  return style;
}
