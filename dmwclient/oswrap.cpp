#include "oswrap.h"

#include <cstring>
#include <ctime>

static_assert(sizeof(DmwTime) == 36, "the host's time record is nine ints");

os::Thread *StartThread(os::ThreadEntry function, size_t stackSize, void *argument) {
  return os::ThreadStart(function, argument, stackSize * 2);
}

void EndThread() { os::ThreadExit(); }

static os::Semaphore *Os(Sem *sem) { return reinterpret_cast<os::Semaphore *>(sem); }

Sem *SemCreate(int initial) {
  return reinterpret_cast<Sem *>(os::SemCreate(initial, initial + 1));
}

void SemClose(Sem *sem) { os::SemFree(Os(sem)); }

void SemRelease(Sem *sem) { os::SemPost(Os(sem)); }

int SemWait(Sem *sem) { return os::SemWait(Os(sem)) ? 0 : -1; }

int SemWaitTimeout(Sem *sem, uint32_t timeoutMs) {
  return os::SemWait(Os(sem), timeoutMs) ? 0 : -1;
}

// The C runtime's zone state is one set of process-wide variables that
// parsing TZ rewrites: every use goes through this lock.
static Sem *ZoneLock() {
  static LifetimeLock lock;
  return lock.get();
}

// The C runtime's zone settings, read once TZ has been parsed.
#ifdef _WIN32
static int ZoneOffset() {
  SemLocked locked(ZoneLock());
  _tzset();
  return static_cast<int>(_timezone);
}
static int DayLightFlag() {
  SemLocked locked(ZoneLock());
  _tzset();
  return _daylight;
}
static bool LocalTime(time_t t, std::tm *out) {
  SemLocked locked(ZoneLock());
  std::tm *result = std::localtime(&t);  // msvcrt keeps one buffer per thread
  if (!result) return false;
  *out = *result;
  return true;
}
#else
static int ZoneOffset() {
  SemLocked locked(ZoneLock());
  tzset();
  return static_cast<int>(timezone);
}
static int DayLightFlag() {
  SemLocked locked(ZoneLock());
  tzset();
  return daylight;
}
static bool LocalTime(time_t t, std::tm *out) {
  SemLocked locked(ZoneLock());
  tzset();  // localtime_r need not read TZ itself
  return localtime_r(&t, out) != nullptr;
}
#endif

int TimeZoneOffset() { return ZoneOffset(); }

int ToWireTime(xtime_t time) { return static_cast<int>(time - TimeZoneOffset()); }

xtime_t FromWireTime(int wireTime) {
  return wireTime == 0 ? 0 : static_cast<xtime_t>(wireTime + TimeZoneOffset());
}

extern "C" {

int _GetTimeZone(void) { return ZoneOffset(); }

int _GetDayLight(void) { return DayLightFlag(); }

DmwTime *_DmwDecodeTime(xtime_t time, DmwTime *record) {
  if (!record) return record;
  std::tm local;
  if (!LocalTime(static_cast<time_t>(time), &local)) {
    std::memset(record, 0, sizeof *record);
    return record;
  }
  *record = DmwTime{local.tm_sec,  local.tm_min,  local.tm_hour, local.tm_mday, local.tm_mon,
                    local.tm_year, local.tm_wday, local.tm_yday, local.tm_isdst};
  return record;
}

xtime_t _DmwEncodeTime(DmwTime *record) {
  if (!record) return -1;
  std::tm local{};
  local.tm_sec = record->Seconds;
  local.tm_min = record->Minutes;
  local.tm_hour = record->Hours;
  local.tm_mday = record->DayOfMonth;
  local.tm_mon = record->Month;
  local.tm_year = record->Year;
  local.tm_wday = record->WeekDay;
  local.tm_yday = record->YearDay;
  local.tm_isdst = record->DayLight;
  SemLocked locked(ZoneLock());
  return static_cast<xtime_t>(std::mktime(&local));
}

}  // extern "C"
