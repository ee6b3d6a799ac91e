// Scheduler: runs the agent's internal work at configured times.
//
// Each task names a class of the class manager. Once a second the
// scheduler thread asks every task's running object whether it has
// finished (request method 0 into a 4-byte buffer preset to 1; the object
// writes 0 while it still runs, a missing object leaves the 1) and frees
// it when it has; then it creates an object of the task's class in group 0,
// with the task record as creation argument, for every idle task that is
// due (TaskIsDue). Creation runs on the scheduler thread with the task
// list locked, so a class's create callback must not call the exports
// below; long work belongs in a thread of the object's own.
//
// A task's handle is its slot plus one; freed slots are reused. Timing is
// kept as text: start, minimum days, weekday mask, repeat and end as
// lower-case hexadecimal numbers "%x|%x|%x|%x|%x".
//
// SchedulerInit / SchedulerStop bring the scheduler up and down (the stop
// wakes and joins the thread, then frees every task and its running
// object); until then the exports are inert. Messages start with "csched:".
#ifndef DMWCLIENT_CSCHED_H
#define DMWCLIENT_CSCHED_H

#include <cstdint>

#include "export.h"
#include "filehelp.h"

// A task as the host and the created objects see it (40 bytes in the
// product).
typedef struct ScheduledTask {
  char *Name;          // owned copy, or null
  void *Parameter;     // heap block owned by the task
  uint32_t ClassTag;   // class of the objects the task creates
  int RunningObject;   // id + 1 of the object of the current run; 0: none
  xtime_t LastRun;     // when the task was last started; 0: never
  uint32_t Start;      // earliest time of day, seconds
  uint32_t MinDays;    // days that must lie between the last run's day and a new one
  uint32_t WeekdayMask;  // bit n allows weekday n (0 = Sunday) for a day's first run
  uint32_t Repeat;     // minutes between runs of one day; 0: once a day
  uint32_t End;        // latest time of day for runs of one day, seconds
} ScheduledTask;

enum { TASK_INFO_TEXT_MAX = 45 };  // the longest timing text and its terminator

// Whether an idle task is due at `now` on local weekday `weekday` (0 =
// Sunday). Days are counted from the time value (now / 86400), times of
// day are taken modulo 86400 when above it:
// - before the start time of day: not due;
// - last run on an earlier (or later) day: due when more than MinDays days
//   lie between and the weekday is in the mask;
// - never run, or run today: not due after the end time of day; without a
//   repeat due only when never run; with one, due once the minute of day
//   has advanced by Repeat since the last run's.
bool TaskIsDue(const ScheduledTask *task, xtime_t now, int weekday);

int SchedulerInit();  // 0, or -1 when the list, a semaphore or the thread fails
void SchedulerStop();
// Parses timing text into the task `handle`; the fields matched, or -1
// when there is no such task.
int UpdateScheduledTask(int handle, const char *taskInfo);

extern "C" {

// Schedules objects of class `tag`; the handle, or 0 when the scheduler is
// not set up or the list refused the task. A last run in the future counts
// as never. The parameter (heap or null) belongs to the library from the
// call on: it is freed with the task, or at once when the call fails.
NETMON_EXPORT int _ScheduleInternalWork(uint32_t tag, const char *name, xtime_t lastRun,
                                        const char *taskInfo, void *parameter);
// Frees the task and its running object.
NETMON_EXPORT void _RemoveScheduledTask(int handle);
// Frees every task of that name (compared without regard to case).
NETMON_EXPORT void _RemoveScheduledTaskByName(const char *name);
// Writes the task's timing text into buffer (TASK_INFO_TEXT_MAX bytes of
// room); returns buffer.
NETMON_EXPORT char *_TaskInfo2Str(const ScheduledTask *task, char *buffer);
// Parses timing text into the task's timing fields; fields not matched
// stay as they were. Returns the count of fields matched.
NETMON_EXPORT int _Str2TaskInfo(const char *text, ScheduledTask *task);

}  // extern "C"

#endif
