// The thread, semaphore and time primitives every module of the library
// uses, with the library's own meanings, over the OS layer of Common/.
//
// A semaphore made with an initial count of 1 serves as a lock, one made
// with 0 as a wake-up or end signal; its maximum is the initial count plus
// one, so a wake-up may be given once more than it is awaited.
// Times on the wire are local wall-clock seconds: the C runtime's time
// value minus its time-zone offset (0 stays 0 on the way back).
#ifndef DMWCLIENT_OSWRAP_H
#define DMWCLIENT_OSWRAP_H

#include <cstddef>
#include <cstdint>

#include "export.h"
#include "filehelp.h"
#include "os.h"

// Starts a thread with twice the requested stack (the C runtime's thread
// start, so its per-thread data exists); null when it can't be started.
// The thread ends by returning; its handle is joined or detached through
// the OS layer.
os::Thread *StartThread(os::ThreadEntry function, size_t stackSize, void *argument);
// Ends the calling thread (one StartThread started) through the C runtime,
// at once; joining or detaching its handle works as after a return.
[[noreturn]] void EndThread();

// The library's semaphore handle: an OS-layer semaphore under a type of
// its own, so these calls never compete with the OS layer's for a name.
struct Sem;
Sem *SemCreate(int initial);  // null on failure
void SemClose(Sem *sem);
void SemRelease(Sem *sem);
int SemWait(Sem *sem);                          // 0 when signalled, else -1
int SemWaitTimeout(Sem *sem, uint32_t timeoutMs);  // 0, or -1 on time-out

// Holds a semaphore used as a lock for one scope; a null one is not taken.
class SemLocked {
 public:
  explicit SemLocked(Sem *sem) : sem_(sem) {
    if (sem_) SemWait(sem_);
  }
  ~SemLocked() {
    if (sem_) SemRelease(sem_);
  }
  SemLocked(const SemLocked &) = delete;
  SemLocked &operator=(const SemLocked &) = delete;
  bool held() const { return sem_ != nullptr; }

 private:
  Sem *sem_;
};

// A semaphore of count one that lives as long as the library, so calls that
// race with a module's tear-down still find it.
class LifetimeLock {
 public:
  LifetimeLock() : sem_(SemCreate(1)) {}
  ~LifetimeLock() { SemClose(sem_); }
  LifetimeLock(const LifetimeLock &) = delete;
  LifetimeLock &operator=(const LifetimeLock &) = delete;
  Sem *get() const { return sem_; }

 private:
  Sem *sem_;
};

// A stop byte: set by one thread (a stop) while another works and reads
// it, so both sides go through these atomic accesses.
inline char StopByte(const char *stop) { return __atomic_load_n(stop, __ATOMIC_RELAXED); }
inline void SetStopByte(char *stop, char value) { __atomic_store_n(stop, value, __ATOMIC_RELAXED); }

int TimeZoneOffset();  // the C runtime's offset west of UTC, in seconds
int ToWireTime(xtime_t time);
xtime_t FromWireTime(int wireTime);

// A local broken-down time as the host sees it: nine ints, 36 bytes.
typedef struct DmwTime {
  int Seconds;
  int Minutes;
  int Hours;
  int DayOfMonth;
  int Month;    // 0-11
  int Year;     // years since 1900
  int WeekDay;  // 0-6 from Sunday
  int YearDay;
  int DayLight;
} DmwTime;

extern "C" {
NETMON_EXPORT int _GetTimeZone(void);
NETMON_EXPORT int _GetDayLight(void);
// Fills record with the local time of `time` and returns it.
NETMON_EXPORT DmwTime *_DmwDecodeTime(xtime_t time, DmwTime *record);
// The time value of a local broken-down time (-1 when it has none).
NETMON_EXPORT xtime_t _DmwEncodeTime(DmwTime *record);
}

#endif
