// Trend values stored per second through _WriteData (each one reads,
// changes, compresses and writes back its series' day file), and the bytes
// a whole stored day takes on disk for values of three kinds: steady
// measurements with small noise, a constant, and random 32-bit values
// (which don't compress and are stored raw).
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <random>
#include <string>

#include "globals.h"
#include "trendfile.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr auto kRunTime = std::chrono::seconds(3);
constexpr int kSeries = 20;
constexpr int kDayMinutes = 1440;

std::string SeriesName(int index) { return "bench|series" + std::to_string(index); }

// Samples per second over kSeries series, one-minute slots, cycling over
// the day as a host with many probes would.
double SamplesPerSecond(long *samples, bool *ok) {
  std::mt19937 random(1);
  *samples = 0;
  *ok = true;
  auto start = Clock::now();
  while (Clock::now() - start < kRunTime && *ok)
    for (int s = 0; s < kSeries && *ok; s++, ++*samples)
      *ok = _WriteData(SeriesName(s).c_str(), static_cast<int>(*samples / kSeries % kDayMinutes),
                       1, 40 + random() % 10) == 0;
  return *samples / std::chrono::duration<double>(Clock::now() - start).count();
}

// Fills every slot of one day of a series and gives the day file's size.
template <typename Value>
long StoredDayBytes(const std::string &series, int interval, Value value) {
  for (int slot = 0; slot < kDayMinutes / interval; slot++)
    if (_WriteData(series.c_str(), slot, interval, value(slot)) != 0) return -1;
  char path[XPATH_MAX];
  if (!TrendDayPath(path, sizeof path, Globals().dbPath, nullptr, series.c_str(),
                    static_cast<xtime_t>(std::time(nullptr))))
    return -1;
  std::error_code error;
  auto size = fs::file_size(path, error);
  return error ? -1 : static_cast<long>(size);
}

}  // namespace

int main() {
  fs::path base = fs::temp_directory_path() / ("bench_trendwrite_" + std::to_string(::time(nullptr)));
  fs::create_directories(base);
  InitClientGlobals(base.string().c_str(), "bench");

  long samples = 0;
  bool ok = true;
  double rate = SamplesPerSecond(&samples, &ok);
  std::printf("_WriteData: %.0f samples/s (%ld samples over %d series, interval 1)%s\n", rate,
              samples, kSeries, ok ? "" : " FAILED");

  std::mt19937 random(2);
  for (int interval : {1, 5}) {
    std::string suffix = std::to_string(interval);
    long steady = StoredDayBytes("day|steady" + suffix, interval,
                                 [&](int) { return 40 + random() % 10; });
    long constant = StoredDayBytes("day|constant" + suffix, interval, [](int) { return 7; });
    long noise = StoredDayBytes("day|random" + suffix, interval,
                                [&](int) { return static_cast<uint32_t>(random()); });
    std::printf("stored day, interval %d: steady %ld bytes, constant %ld bytes, random %ld bytes"
                " (raw day: %d bytes)\n",
                interval, steady, constant, noise, kTrendHeaderSize + kTrendDataSize);
  }

  FreeGlobals();
  fs::remove_all(base);
  return ok ? 0 : 1;
}
