// The map file: an INI-style text file that maps context numbers to help
// topics ([MAP]) and names the compiled help file, the frameset pages and the
// text-popup settings ([OPTIONS], [TEMPLATES], [Text Popups]). The values are
// read through a MapSource (the system's profile functions in the product);
// what they mean is worked out here, on any platform.
#ifndef TIPCASTER_MAPFILE_H
#define TIPCASTER_MAPFILE_H

#include <cstdint>
#include <string>

// Reads one value of the map file; the empty text when there is none.
class MapSource {
 public:
  virtual ~MapSource() = default;
  virtual std::string Read(const std::string &section, const std::string &key) const = 0;
};

// A [MAP] entry: "\"topic.htm\";width: W height: H", the size part optional.
struct MapTopic {
  std::string topic;
  int32_t width = 0;
  int32_t height = 0;
};
MapTopic ParseMapEntry(const std::string &value);

// The [MAP] entry of a context number (its key is the number as unsigned
// decimal); false when the map file has none.
bool LookupContext(const MapSource &map, int32_t context, MapTopic &out);

// The frameset page: the secondary frameset when asked for and set, else the
// starting frameset, else the templates' starting frameset when "Has
// Templates" is "yes", else the default topic (which may be empty).
std::string ReadFrameset(const MapSource &map, bool secondary);

// How text popups look: a font text (empty for the help system's default)
// and margins and colours, -1 where the map file gives none.
struct PopupStyle {
  std::string font;
  int32_t verticalMargin = -1;
  int32_t horizontalMargin = -1;
  int32_t textColor = -1;
  int32_t backColor = -1;
};
PopupStyle ReadPopupStyle(const MapSource &map);

#endif
