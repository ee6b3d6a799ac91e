#include "csched.h"

#include <strings.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "classmgr.h"
#include "collection.h"
#include "log.h"
#include "os.h"
#include "oswrap.h"
#include "semguard.h"

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(ScheduledTask) == 40, "the host's task record is ten 32-bit fields");
#endif

namespace {

constexpr int64_t kSecondsPerDay = 86400;
constexpr int kWeekDays = 7;
constexpr size_t kThreadStack = 10240;
constexpr uint32_t kTickMs = 1000;
constexpr int kSchedulerGroup = 0;
constexpr int kMethodFinished = 0;
constexpr char kTaskInfoFormat[] = "%x|%x|%x|%x|%x";

// The task list; null while the scheduler is not set up. Guarded by
// Lock(), which is kept as long as the library, so that a call
// racing the stop never meets a closed lock.
Collection *gTasks;
Sem *gWake;  // wakes the thread for its stop
os::Thread *gThread;
std::atomic<bool> gStop{false};

Sem *Lock() {
  static LibraryLock lock;
  return lock.sem;
}

int64_t TimeOfDay(int64_t time) { return time > kSecondsPerDay ? time % kSecondsPerDay : time; }

// The task list's item release: the running object, then the task.
void ReleaseTask(void *item) {
  ScheduledTask *task = static_cast<ScheduledTask *>(item);
  if (!task) return;
  if (task->RunningObject) _ObjFree(task->RunningObject - 1);
  std::free(task->Name);
  std::free(task->Parameter);
  std::free(task);
}

ScheduledTask *TaskAt(int slot) { return static_cast<ScheduledTask *>(_Co_Get(gTasks, slot)); }

// Takes the task out of its slot (which stays, empty, for reuse).
ScheduledTask *TakeTask(int slot) {
  ScheduledTask *task = TaskAt(slot);
  if (task) gTasks->Items[slot] = nullptr;
  return task;
}

// The task's handle in the first free slot or a new one; 0 when the list
// refused it (and released it).
int PlaceTask(ScheduledTask *task) {
  for (int slot = 0; slot < gTasks->Count; slot++)
    if (!gTasks->Items[slot]) {
      gTasks->Items[slot] = task;
      return slot + 1;
    }
  int slot = _Co_Add(gTasks, task);
  return slot < 0 ? 0 : slot + 1;
}

// A new task; null (and the parameter freed) when memory runs out.
ScheduledTask *NewTask(uint32_t tag, const char *name, xtime_t lastRun, const char *taskInfo,
                       void *parameter) {
  ScheduledTask *task = static_cast<ScheduledTask *>(std::calloc(1, sizeof(ScheduledTask)));
  char *copy = name ? static_cast<char *>(std::malloc(std::strlen(name) + 1)) : nullptr;
  if (!task || (name && !copy)) {
    std::free(task);
    std::free(copy);
    std::free(parameter);
    return nullptr;
  }
  if (copy) std::strcpy(copy, name);
  task->Name = copy;
  task->Parameter = parameter;
  task->ClassTag = tag;
  task->LastRun = lastRun > static_cast<xtime_t>(std::time(nullptr)) ? 0 : lastRun;
  _Str2TaskInfo(taskInfo, task);
  return task;
}

// Frees the running object once it reports that it has finished.
void CollectFinished(ScheduledTask *task) {
  if (!task->RunningObject) return;
  int finished = 1;  // a missing object leaves it so
  int length = sizeof finished;
  _ObjRequest(task->RunningObject - 1, kMethodFinished, nullptr, &finished, &length);
  if (!finished) return;
  _ObjFree(task->RunningObject - 1);
  task->RunningObject = 0;
}

void StartIfDue(ScheduledTask *task, xtime_t now, int weekday) {
  if (task->RunningObject || !TaskIsDue(task, now, weekday)) return;
  int id = _ObjCreate(kSchedulerGroup, task->ClassTag, task);
  if (id == -1) {
    _DebugOut(2, "csched: can't schedule process %x\n", static_cast<unsigned>(task->ClassTag));
    return;
  }
  task->RunningObject = id + 1;
  task->LastRun = now;
  _DebugOut(9, "csched: process %x scheduled\n", static_cast<unsigned>(task->ClassTag));
}

void RunPass() {
  xtime_t now = static_cast<xtime_t>(std::time(nullptr));
  DmwTime local;
  _DmwDecodeTime(now, &local);
  SemGuard lock(Lock());
  for (int slot = 0; gTasks && slot < gTasks->Count; slot++)
    if (ScheduledTask *task = TaskAt(slot)) {
      CollectFinished(task);
      StartIfDue(task, now, local.WeekDay);
    }
}

void SchedulerThread(void *) {
  _DebugOut(5, "csched: thread started\n");
  while (!gStop) {
    RunPass();
    SemWaitTimeout(gWake, kTickMs);
  }
  _DebugOut(5, "csched: thread terminated\n");
}

}  // namespace

bool TaskIsDue(const ScheduledTask *task, xtime_t now, int weekday) {
  int64_t today = now / kSecondsPerDay;
  int64_t timeOfDay = TimeOfDay(now);
  if (timeOfDay < TimeOfDay(task->Start)) return false;
  if (task->LastRun != 0 && task->LastRun / kSecondsPerDay != today) {
    bool allowedDay = weekday >= 0 && weekday < kWeekDays && (task->WeekdayMask >> weekday) & 1;
    return today - task->LastRun / kSecondsPerDay > static_cast<int64_t>(task->MinDays) &&
           allowedDay;
  }
  if (timeOfDay > TimeOfDay(task->End)) return false;
  if (task->Repeat == 0) return task->LastRun == 0;
  return timeOfDay / 60 - TimeOfDay(task->LastRun) / 60 >= static_cast<int64_t>(task->Repeat);
}

int SchedulerInit() {
  if (!Lock()) {
    _errmsg("csched: can't create semaphore\n");
    return -1;
  }
  bool listMade;
  {
    SemGuard lock(Lock());
    if (gTasks) return 0;
    gTasks = _Co_Create(10, 5, ReleaseTask);
    listMade = gTasks != nullptr;
  }
  if (!listMade) {
    _errmsg("csched: can't create task list\n");
    return -1;
  }
  gWake = SemCreate(0);
  gStop = false;
  gThread = gWake ? StartThread(SchedulerThread, kThreadStack, nullptr) : nullptr;
  if (gThread) return 0;
  if (gWake)
    _errmsg("csched: error createing thread\n");
  else
    _errmsg("csched: can't create semaphore\n");
  SchedulerStop();
  return -1;
}

void SchedulerStop() {
  gStop = true;
  if (gThread) {
    SemRelease(gWake);
    os::ThreadJoin(gThread);
    gThread = nullptr;
  }
  if (gWake) SemClose(gWake);
  gWake = nullptr;
  Collection *tasks = nullptr;
  if (Lock()) {
    SemGuard lock(Lock());
    tasks = gTasks;
    gTasks = nullptr;
  }
  _Co_Free(tasks);  // frees the running objects, outside the lock
  _DebugOut(1, "Scheduler stopped.\n");
}

int UpdateScheduledTask(int handle, const char *taskInfo) {
  if (!Lock()) return -1;
  SemGuard lock(Lock());
  ScheduledTask *task = gTasks && handle > 0 ? TaskAt(handle - 1) : nullptr;
  return task ? _Str2TaskInfo(taskInfo, task) : -1;
}

extern "C" {

int _ScheduleInternalWork(uint32_t tag, const char *name, xtime_t lastRun, const char *taskInfo,
                          void *parameter) {
  ScheduledTask *task = NewTask(tag, name, lastRun, taskInfo, parameter);
  if (!task) return 0;
  if (Lock()) {
    SemGuard lock(Lock());
    if (gTasks) return PlaceTask(task);
  }
  ReleaseTask(task);
  return 0;
}

void _RemoveScheduledTask(int handle) {
  if (!Lock()) return;
  ScheduledTask *task = nullptr;
  {
    SemGuard lock(Lock());
    if (gTasks && handle > 0) task = TakeTask(handle - 1);
  }
  ReleaseTask(task);
}

void _RemoveScheduledTaskByName(const char *name) {
  if (!name || !Lock()) return;
  for (;;) {
    ScheduledTask *task = nullptr;
    {
      SemGuard lock(Lock());
      for (int slot = 0; gTasks && !task && slot < gTasks->Count; slot++)
        if (TaskAt(slot) && TaskAt(slot)->Name && strcasecmp(TaskAt(slot)->Name, name) == 0)
          task = TakeTask(slot);
    }
    if (!task) return;
    ReleaseTask(task);
  }
}

char *_TaskInfo2Str(const ScheduledTask *task, char *buffer) {
  if (!buffer) return buffer;
  if (!task) {
    buffer[0] = '\0';
    return buffer;
  }
  std::snprintf(buffer, TASK_INFO_TEXT_MAX, kTaskInfoFormat, task->Start, task->MinDays,
                task->WeekdayMask, task->Repeat, task->End);
  return buffer;
}

int _Str2TaskInfo(const char *text, ScheduledTask *task) {
  if (!text || !task) return 0;
  int matched = std::sscanf(text, kTaskInfoFormat, &task->Start, &task->MinDays,
                            &task->WeekdayMask, &task->Repeat, &task->End);
  return matched > 0 ? matched : 0;
}

}  // extern "C"
