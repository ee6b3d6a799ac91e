// Trend day files: one file per series and local day under
// DBPath\trends, holding one 32-bit value per time slot of the day.
//
// _WriteData stores one value into today's file of a series: the whole
// file is read, changed and written back, zlib-compressed when that makes
// the data fit in 5760 bytes, raw otherwise. When the slot width of a
// series changes, the day's values are re-sampled to the new width (the
// mean of the non-empty values each new slot covers). Entries past the
// day's slots are stored empty.
//
// File layout (little-endian): u32 magic 0x41441213, byte version 2, byte
// 0, u16 interval (minutes per slot), byte 1 when compressed, 15 zero
// bytes; then 1440 u32 entries raw, or their zlib stream. The first
// 1440 / interval entries are the day's slots; 0xFFFFFFFF marks an empty
// slot. Files are rewritten from their start and never shortened.
//
// Series names: each of ":&#\?/" is written as "#" and two hexadecimal
// digits, as is a "." that would begin a path element; the first "|"
// starts a subdirectory and every further "|" becomes "+". A series name
// thus never leaves the trend directory.
//
// Refused (nothing written, -1): an interval outside 1..1440, a slot
// outside the day's slots, an empty series name, a path of XPATH_MAX
// characters or more, or no settings loaded. A stored file whose magic or
// interval is wrong, or whose compressed data do not unpack to a whole
// day, is replaced by a new day. Changes of day files are serialised
// within the process, so threads writing slots of one series and day at
// once all keep their values.
#ifndef DMWCLIENT_TRENDFILE_H
#define DMWCLIENT_TRENDFILE_H

#include <cstddef>
#include <cstdint>

#include "export.h"
#include "filehelp.h"

constexpr uint32_t kTrendMagic = 0x41441213;
constexpr int kTrendVersion = 2;
constexpr int kTrendHeaderSize = 24;
constexpr int kTrendEntries = 1440;  // minutes of a day
constexpr int kTrendDataSize = kTrendEntries * 4;
constexpr uint32_t kTrendEmpty = 0xFFFFFFFF;

// The day file's name of the local date of `time`: "%4d%02d%02d.tra".
void TrendFileName(char *buffer, size_t size, xtime_t time);
// The path of the day file of `series` for the local date of `time`:
// "<dbPath>\trends\<escaped name>\<day file>", with the escaped
// subdirectory (one path element; null or empty for none) between "trends"
// and the name; false when the name is empty or the path doesn't fit in
// `size` and XPATH_MAX.
bool TrendDayPath(char *buffer, size_t size, const char *dbPath, const char *subdirectory,
                  const char *series, xtime_t time);
// Stores `value` into `slot` of the day file at `path` (its directory must
// exist); `series` names it in messages. 0 when written, -1 when refused or
// the file fails.
int WriteTrendValue(const char *path, const char *series, int slot, int interval,
                    uint32_t value);
// Re-samples a day of kTrendEntries entries from one interval to another
// (both 1..1440).
void ResampleDay(uint32_t *entries, int oldInterval, int newInterval);

// _WriteData for a series kept in a subdirectory of the trend directory
// (escaped as one path element; null or empty for none).
int WriteDataSub(const char *subdirectory, const char *series, int slot, int interval,
                 uint32_t value);

extern "C" {
// Stores `value` into `slot` of today's file of `series` with `interval`
// minutes per slot, creating directories and file as needed. 0 when
// written, -1 when refused or the file fails.
NETMON_EXPORT int _WriteData(const char *series, int slot, int interval, uint32_t value);
}

#endif
