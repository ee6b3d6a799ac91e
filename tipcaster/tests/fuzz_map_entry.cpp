// Map-file values and paths are outside input: parsing an entry and
// resolving its topic against a base folder must hold for any bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "mapfile.h"
#include "pathstring.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string value(reinterpret_cast<const char *>(data), size);
  MapTopic entry = ParseMapEntry(value);
  PathString resolved;
  PathString(entry.topic).ResolvePath(resolved, PathString(value));
  PathString(value).ResolvePath(resolved, PathString(entry.topic));
  PathString folder;
  resolved.GetDirectory(folder);
  return 0;
}
