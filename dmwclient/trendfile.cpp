#include "trendfile.h"

#include <zlib.h>

#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "globals.h"
#include "log.h"
#include "oswrap.h"

static_assert(std::endian::native == std::endian::little,
              "day entries are kept in memory in their file order");

namespace {

// The most the compressed data of a day can take: the day's size plus 1 %
// and 12 bytes, as zlib's one-call compress needs at worst.
constexpr int kCompressedRoom = static_cast<int>(kTrendDataSize * 1.01) + 12;
constexpr char kTrendDirectory[] = "trends";
constexpr char kEscapedCharacters[] = ":&#\\?/";

constexpr int kOffsetVersion = 4;
constexpr int kOffsetInterval = 6;
constexpr int kOffsetCompressed = 8;

// A day file is read, changed and written back whole, so two writers of
// one day at once would each write back their own copy and lose the
// other's value: every change of a day file in the process holds this lock.
Sem *DayFileLock() {
  static LifetimeLock lock;
  return lock.get();
}

bool ValidInterval(int interval) { return interval >= 1 && interval <= kTrendEntries; }

// Whether the request names a slot of a day with a usable interval;
// logged when it does not.
bool ValidRequest(int slot, int interval, const char *where) {
  if (ValidInterval(interval) && slot >= 0 && slot < kTrendEntries / interval) return true;
  _DebugOut(2, "trends: slot %d of interval %d refused for %s\n", slot, interval, where);
  return false;
}

void AppendEscaped(std::string &out, char c) {
  char code[4];
  std::snprintf(code, sizeof code, "#%02x", static_cast<unsigned char>(c));
  out += code;
}

// One path element: each of kEscapedCharacters, and a '.' that would
// begin it, written as '#' and two hexadecimal digits; '|' becomes '+'.
std::string EscapedElement(const std::string &text) {
  std::string out;
  for (char c : text) {
    if (c == '|')
      out += '+';
    else if (std::strchr(kEscapedCharacters, c) || (c == '.' && out.empty()))
      AppendEscaped(out, c);
    else
      out += c;
  }
  return out;
}

// The series name as a relative path: its first '|' starts a subdirectory.
std::string EscapedSeries(const std::string &series) {
  size_t bar = series.find('|');
  if (bar == std::string::npos) return EscapedElement(series);
  return EscapedElement(series.substr(0, bar)) + kPathSeparator +
         EscapedElement(series.substr(bar + 1));
}

uint32_t GetU32(const unsigned char *p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

void PutU32(unsigned char *p, uint32_t v) {
  for (int i = 0; i < 4; i++) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

void FillEmpty(uint32_t *entries, int from) {
  for (int i = from; i < kTrendEntries; i++) entries[i] = kTrendEmpty;
}

void NewHeader(unsigned char *header, int interval) {
  std::memset(header, 0, kTrendHeaderSize);
  PutU32(header, kTrendMagic);
  header[kOffsetVersion] = kTrendVersion;
  header[kOffsetInterval] = static_cast<unsigned char>(interval);
  header[kOffsetInterval + 1] = static_cast<unsigned char>(interval >> 8);
}

int StoredInterval(const unsigned char *header) {
  return header[kOffsetInterval] | (header[kOffsetInterval + 1] << 8);
}

// Reads the day's entries behind a header that was read whole; false when
// they can't be had (a compressed stream that doesn't unpack to a whole
// day). A short raw day keeps the whole entries it holds.
bool ReadEntries(FILE *file, const unsigned char *header, uint32_t *entries) {
  if (header[kOffsetCompressed] != 1) {
    size_t got = std::fread(entries, 1, kTrendDataSize, file);
    FillEmpty(entries, static_cast<int>(got / 4));
    return true;
  }
  unsigned char *packed = static_cast<unsigned char *>(std::malloc(kCompressedRoom));
  if (!packed) return false;
  size_t got = std::fread(packed, 1, kCompressedRoom, file);
  uLongf length = kTrendDataSize;
  int status = uncompress(reinterpret_cast<Bytef *>(entries), &length, packed, got);
  std::free(packed);
  return status == Z_OK && length == kTrendDataSize;
}

// Loads the stored day into header and entries, re-sampled to `interval`;
// false when the file holds no usable day.
bool LoadDay(FILE *file, unsigned char *header, uint32_t *entries, int interval) {
  if (std::fread(header, 1, kTrendHeaderSize, file) != kTrendHeaderSize) return false;
  int stored = StoredInterval(header);
  if (GetU32(header) != kTrendMagic || !ValidInterval(stored) ||
      !ReadEntries(file, header, entries))
    return false;
  if (stored != interval) {
    ResampleDay(entries, stored, interval);
    NewHeader(header, interval);
  } else {
    FillEmpty(entries, kTrendEntries / interval);  // whatever lies past the day's slots
  }
  return true;
}

// Writes header and entries from the file's start, compressed when the
// day fits in its raw size that way. False when the write fails.
bool StoreDay(FILE *file, unsigned char *header, const uint32_t *entries, uint32_t value,
              const char *series) {
  unsigned char *packed = static_cast<unsigned char *>(std::malloc(kCompressedRoom));
  uLongf length = kTrendDataSize;
  bool compressed = packed && compress(packed, &length, reinterpret_cast<const Bytef *>(entries),
                                       kTrendDataSize) == Z_OK;
  if (compressed)
    _DebugOut(9, "Writing compressed data value=%d (size=%d) %s\n", static_cast<int>(value),
              static_cast<int>(length), series);
  else if (packed)
    _DebugOut(2, "Error compressing data. Writing uncompressed\n");
  else
    _DebugOut(2, "Error allocating buffer. Writing uncompressed\n");
  header[kOffsetCompressed] = compressed ? 1 : 0;
  const void *data = compressed ? static_cast<const void *>(packed) : entries;
  size_t size = compressed ? length : kTrendDataSize;
  bool written = std::fseek(file, 0, SEEK_SET) == 0 &&
                 std::fwrite(header, 1, kTrendHeaderSize, file) == kTrendHeaderSize &&
                 std::fwrite(data, 1, size, file) == size;
  std::free(packed);
  return written;
}

// Reads the day at `path` into `entries` (a new day when the file holds
// none), stores the value and writes the day back. False when the file
// can't be opened or written.
bool ChangeDayFile(const char *path, const char *series, int slot, int interval, uint32_t value,
                   uint32_t *entries) {
  FILE *file = _Xfopen(path, "rb+");
  if (!file) file = _Xfopen(path, "wb+");
  unsigned char header[kTrendHeaderSize];
  if (file && !LoadDay(file, header, entries, interval)) {
    std::fclose(file);  // a new day: the file starts empty
    file = _Xfopen(path, "wb+");
    FillEmpty(entries, 0);
    NewHeader(header, interval);
  }
  if (!file) return false;
  entries[slot] = value;
  bool written = StoreDay(file, header, entries, value, series);
  return std::fclose(file) == 0 && written;
}

}  // namespace

void TrendFileName(char *buffer, size_t size, xtime_t time) {
  DmwTime local;
  _DmwDecodeTime(time, &local);
  std::snprintf(buffer, size, "%4d%02d%02d.tra", local.Year + 1900, local.Month + 1,
                local.DayOfMonth);
}

bool TrendDayPath(char *buffer, size_t size, const char *dbPath, const char *subdirectory,
                  const char *series, xtime_t time) {
  if (!dbPath || !series || !*series) return false;
  char name[32];
  TrendFileName(name, sizeof name, time);
  std::string path = std::string(dbPath) + kPathSeparator + kTrendDirectory + kPathSeparator;
  if (subdirectory && *subdirectory) path += EscapedElement(subdirectory) + kPathSeparator;
  path += EscapedSeries(series) + kPathSeparator + name;
  if (path.size() >= size || path.size() >= XPATH_MAX) {
    _DebugOut(2, "trends: path too long: %.64s...\n", path.c_str());
    return false;
  }
  std::memcpy(buffer, path.c_str(), path.size() + 1);
  return true;
}

void ResampleDay(uint32_t *entries, int oldInterval, int newInterval) {
  int oldSlots = kTrendEntries / oldInterval;
  for (int i = oldSlots - 1; i >= 0; i--)
    for (int m = oldInterval - 1; m >= 0; m--) entries[oldInterval * i + m] = entries[i];
  FillEmpty(entries, oldSlots * oldInterval);
  if (newInterval == 1) return;
  int newSlots = kTrendEntries / newInterval;
  for (int j = 0; j < newSlots; j++) {
    uint64_t sum = 0;
    uint32_t count = 0;
    for (int m = newInterval * j; m < newInterval * (j + 1); m++)
      if (entries[m] != kTrendEmpty) {
        sum += entries[m];
        count++;
      }
    entries[j] = count ? static_cast<uint32_t>(sum / count) : kTrendEmpty;
  }
  FillEmpty(entries, newSlots);
}

int WriteTrendValue(const char *path, const char *series, int slot, int interval,
                    uint32_t value) {
  if (!ValidRequest(slot, interval, path)) return -1;
  uint32_t *entries = static_cast<uint32_t *>(std::malloc(kTrendDataSize));
  if (!entries) {
    _DebugOut(2, "trends: no memory for %s\n", path);
    return -1;
  }
  int result = -1;
  {
    SemLocked locked(DayFileLock());
    if (ChangeDayFile(path, series, slot, interval, value, entries)) result = 0;
  }
  if (result != 0) _DebugOut(2, "trends: can't write %s\n", path);
  std::free(entries);
  return result;
}

int WriteDataSub(const char *subdirectory, const char *series, int slot, int interval,
                 uint32_t value) {
  if (!ValidRequest(slot, interval, TextOrEmpty(series))) return -1;
  char path[XPATH_MAX];
  if (!TrendDayPath(path, sizeof path, Globals().dbPath, subdirectory, series,
                    static_cast<xtime_t>(std::time(nullptr)))) {
    _DebugOut(2, "trends: no day file for series %s\n", TextOrEmpty(series));
    return -1;
  }
  _XMakePath(path, 1);
  return WriteTrendValue(path, series, slot, interval, value);
}

extern "C" {

int _WriteData(const char *series, int slot, int interval, uint32_t value) {
  return WriteDataSub(nullptr, series, slot, interval, value);
}

}  // extern "C"
