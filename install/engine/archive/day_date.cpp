#include "archive/day_date.h"

#include <cmath>
#include <cstdio>
#include <ctime>

#include "os.h"

namespace install {

namespace day_date {

namespace {

constexpr int64_t kSecondsPerDay = 86400;

// Days from 1 January 1970 of a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t year, int month, int day) {
  year -= month <= 2;
  int64_t era = (year >= 0 ? year : year - 399) / 400;
  int64_t yearOfEra = year - era * 400;
  int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

void CivilFromDays(int64_t days, int *year, int *month, int *day) {
  days += 719468;
  int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  int64_t dayOfEra = days - era * 146097;
  int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  int64_t monthIndex = (5 * dayOfYear + 2) / 153;
  *day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
  *month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
  *year = static_cast<int>(yearOfEra + era * 400 + (*month <= 2));
}

const int64_t kEpochDays = DaysFromCivil(1899, 12, 30);

bool LocalTime(int64_t unixSeconds, std::tm *local) {
  std::time_t t = static_cast<std::time_t>(unixSeconds);
#ifdef _WIN32
  return localtime_s(local, &t) == 0;
#else
  return localtime_r(&t, local) != nullptr;
#endif
}

}  // namespace

double FromLocal(int year, int month, int day, int hour, int minute, int second) {
  int64_t days = DaysFromCivil(year, month, day) - kEpochDays;
  return static_cast<double>(days) +
         static_cast<double>(hour * 3600 + minute * 60 + second) / kSecondsPerDay;
}

int64_t ToSeconds(double dayCount) { return std::llround(dayCount * kSecondsPerDay); }

double FromFileTime(int64_t unixSeconds) {
  std::tm local{};
  if (!LocalTime(unixSeconds, &local)) return 0;
  return FromLocal(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                   local.tm_min, local.tm_sec & ~1);
}

bool InRange(double dayCount) {
  // 1 January 0001 and the day after 31 December 9999.
  return std::isfinite(dayCount) && dayCount >= -693593.0 && dayCount < 2958466.0;
}

bool ToFileTime(double dayCount, int64_t *unixSeconds) {
  if (!InRange(dayCount)) return false;
  // Rounded to the second: the fraction of a day seldom holds a whole
  // second exactly, and cutting it would move the time a second back.
  int64_t total = ToSeconds(dayCount);
  int64_t days =
      total >= 0 ? total / kSecondsPerDay : (total - kSecondsPerDay + 1) / kSecondsPerDay;
  int64_t secondOfDay = total - days * kSecondsPerDay;
  std::tm local{};
  CivilFromDays(days + kEpochDays, &local.tm_year, &local.tm_mon, &local.tm_mday);
  local.tm_year -= 1900;
  local.tm_mon -= 1;
  local.tm_hour = static_cast<int>(secondOfDay / 3600);
  local.tm_min = static_cast<int>(secondOfDay / 60 % 60);
  local.tm_sec = static_cast<int>(secondOfDay % 60);
  local.tm_isdst = -1;
  std::time_t time = std::mktime(&local);
  if (time == static_cast<std::time_t>(-1)) return false;
  *unixSeconds = static_cast<int64_t>(time);
  return true;
}

bool ReadFileDate(const std::string &path, double *dayCount) {
  std::FILE *file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  std::fclose(file);
  os::FileInfo info;
  if (!os::FileQuery(path.c_str(), &info)) return false;
  *dayCount = FromFileTime(info.modified);
  return true;
}

bool WriteFileDate(const std::string &path, double dayCount) {
  int64_t unixSeconds;
  return ToFileTime(dayCount, &unixSeconds) && os::FileSetWriteTime(path.c_str(), unixSeconds);
}

}  // namespace day_date

}  // namespace install
