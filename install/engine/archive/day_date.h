// File dates as the archive stores them: a day-count date (days since
// 30 December 1899, the fraction is the time of day) of the file's local
// DOS date-time, which has 2-second resolution. A date read from a file,
// stored, and written back to a file reads the same again, so that a file
// the installer wrote compares as equal to its archive member.
#ifndef INSTALL_ARCHIVE_DAY_DATE_H
#define INSTALL_ARCHIVE_DAY_DATE_H

#include <cstdint>
#include <string>

namespace install {

namespace day_date {

// The day-count date of a local date and time.
double FromLocal(int year, int month, int day, int hour, int minute, int second);
// The date in whole seconds since the day-count epoch, for exact comparison.
int64_t ToSeconds(double dayCount);
// The local DOS date-time of a file time (seconds since 1970, UTC) as a
// day-count date: odd seconds are cut to the even second below.
double FromFileTime(int64_t unixSeconds);
// Whether a day-count date lies within the years 1 to 9999.
bool InRange(double dayCount);
// The file time (seconds since 1970, UTC) of a local day-count date; false
// for a date out of range or one the system's clock can't hold.
bool ToFileTime(double dayCount, int64_t *unixSeconds);

// The file's modification date; false when the file can't be opened.
bool ReadFileDate(const std::string &path, double *dayCount);
// Sets the file's modification time from a day-count date.
bool WriteFileDate(const std::string &path, double dayCount);

}  // namespace day_date

}  // namespace install

#endif
