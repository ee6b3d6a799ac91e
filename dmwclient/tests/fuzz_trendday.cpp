// Stores a value into a day file whose stored bytes are arbitrary (after a
// request head taken from the input's first four bytes), then checks with
// the tests' own decoder that the file holds a whole day of the requested
// interval with the value in its slot.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "trenddecoder.h"
#include "trendfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 4) return 0;
  static const std::string path = "/tmp/fuzz_trendday_" + std::to_string(getpid()) + ".tra";
  int interval = 1 + (data[0] | data[1] << 8) % 1440;
  int slot = (data[2] | data[3] << 8) % (1440 / interval);
  FILE *file = std::fopen(path.c_str(), "wb");
  if (!file) return 0;
  std::fwrite(data + 4, 1, size - 4, file);
  std::fclose(file);

  const uint32_t value = 0x5EED;
  if (WriteTrendValue(path.c_str(), "fuzz", slot, interval, value) != 0) std::abort();
  std::ifstream stored(path, std::ios::binary);
  Day day = Decode(std::string(std::istreambuf_iterator<char>(stored), {}));
  if (day.magic != kMagic || day.interval != interval || day.entries.size() != 1440 ||
      day.entries[slot] != value)
    std::abort();
  for (int i = 1440 / interval; i < 1440; i++)
    if (day.entries[i] != kEmpty) std::abort();
  return 0;
}
