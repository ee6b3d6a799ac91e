#include "threads.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "log.h"
#include "text.h"

namespace {

struct ThreadEntryRecord {
  uint32_t id;
  os::Semaphore *waitingOn;
  char *name;
  Collection *data;  // the thread's TSDVar list
};

struct TSDVar {
  char *name;
  void *value;
  TSDFreeFunc freeValue;  // null: the heap
};

void ReleaseValue(TSDVar *var) {
  if (var->freeValue)
    var->freeValue(var->value);
  else
    std::free(var->value);
}

void TSDVarFree(void *item) {
  auto *var = static_cast<TSDVar *>(item);
  ReleaseValue(var);
  std::free(var->name);
  std::free(var);
}

Collection *NewDataList() {
  Collection *data = _Co_Create(1, 1, TSDVarFree);
  if (!data) _DebugOut(2, "ThreadTable: Memory allocation for TSD\n ");
  return data;
}

ThreadEntryRecord g_table[kThreadTableSize];
std::atomic<os::Semaphore *> g_tableLock{nullptr};

// Runs `work` on the table under its semaphore; nothing without a table.
// Waits on the table semaphore are not recorded in the table itself.
template <typename Work>
void UnderTable(Work work) {
  os::Semaphore *lock = g_tableLock.load();
  if (!lock) return;
  os::SemWait(lock);
  work();
  os::SemPost(lock);
}

ThreadEntryRecord *Find(uint32_t id) {
  for (ThreadEntryRecord &entry : g_table)
    if (entry.id == id) return &entry;
  return nullptr;
}

void ClearEntry(ThreadEntryRecord &entry) {
  std::free(entry.name);
  _Co_Free(entry.data);
  entry = ThreadEntryRecord{};
}

void TableAdd(uint32_t id) {
  UnderTable([id] {
    if (Find(id)) {
      _DebugOut(2, "TreadTable: Request to add already existing thread.\n");
      return;
    }
    ThreadEntryRecord *free = Find(0);
    if (!free) {
      _DebugOut(2, "ThreadTable: No more place for threads\n");
      return;
    }
    *free = ThreadEntryRecord{id, nullptr, nullptr, NewDataList()};
  });
}

void TableRemove(uint32_t id) {
  UnderTable([id] {
    ThreadEntryRecord *entry = Find(id);
    if (!entry) {
      _DebugOut(2, "ThreadTable: Request for removing non-existing thread\n");
      return;
    }
    ClearEntry(*entry);
  });
}

void MarkWaiting(os::Semaphore *semaphore) {
  uint32_t id = os::CurrentThreadId();
  UnderTable([id, semaphore] {
    ThreadEntryRecord *entry = Find(id);
    if (!entry) {
      _DebugOut(2, "ThreadTable: Semaphore request for non-existing thread.\n");
      return;
    }
    entry->waitingOn = semaphore;
  });
}

void ClearWaiting() {
  uint32_t id = os::CurrentThreadId();
  UnderTable([id] {
    ThreadEntryRecord *entry = Find(id);
    if (!entry) return;
    if (!entry->waitingOn) {
      _DebugOut(2, "ThreadTable: Invalid Semaphore request.\n");
      return;
    }
    entry->waitingOn = nullptr;
  });
}

struct StartRecord {
  os::Semaphore *started;
  ThreadFunction function;
  void *argument;
  uint32_t id;
};

void ThreadMain(void *param) {
  auto *start = static_cast<StartRecord *>(param);
  ThreadFunction function = start->function;
  void *argument = start->argument;
  uint32_t id = os::CurrentThreadId();
  start->id = id;
  TableAdd(id);
  // The starter frees the record as soon as it is released.
  ThreadSemRelease(start->started);
  os::SleepMs(0);
  function(argument);
  TableRemove(id);
}

}  // namespace

void ThreadTableInit() {
  // A second set-up keeps the table: the threads it lists still run.
  if (g_tableLock.load()) return;
  for (ThreadEntryRecord &entry : g_table) ClearEntry(entry);
  g_table[0].id = os::CurrentThreadId();
  g_table[0].name = DupText("Main program thread");
  g_table[0].data = NewDataList();
  os::Semaphore *lock = os::SemCreate(1, kSemaphoreMaximum);
  if (!lock) _msg("Could not initialize thread support.\n");
  g_tableLock.store(lock);
}

int ThreadTableDone() {
  os::Semaphore *lock = g_tableLock.load();
  if (!lock) return 0;
  os::SemWait(lock);
  for (ThreadEntryRecord &entry : g_table) ClearEntry(entry);
  g_tableLock.store(nullptr);
  os::SemPost(lock);
  os::SemFree(lock);
  return 1;
}

int ThreadSetName(uint32_t threadId, char *name) {
  bool stored = false;
  UnderTable([&] {
    ThreadEntryRecord *entry = Find(threadId);
    if (!entry) return;
    std::free(entry->name);
    entry->name = name;
    stored = true;
  });
  if (stored) return 1;
  _msg("ThreadTable: Request for setting name of non-existing thread(%d)\n",
       static_cast<int>(threadId));
  std::free(name);
  return 0;
}

int ThreadState(uint32_t threadId) {
  int state = 0;
  UnderTable([&] {
    ThreadEntryRecord *entry = Find(threadId);
    if (entry) state = entry->waitingOn ? 2 : 1;
  });
  return state;
}

os::Semaphore *ThreadWaitingSemaphore(uint32_t threadId) {
  os::Semaphore *semaphore = nullptr;
  UnderTable([&] {
    if (ThreadEntryRecord *entry = Find(threadId)) semaphore = entry->waitingOn;
  });
  return semaphore;
}

void ThreadStateDump() {
  UnderTable([] {
    _msg("Current state of program threads:\n");
    for (int i = 0; i < kThreadTableSize - 1; ++i) {
      const ThreadEntryRecord &entry = g_table[i];
      if (!entry.id) continue;
      char who[128];
      if (entry.name)
        std::snprintf(who, sizeof who, "Thread %d (\"%s\")", static_cast<int>(entry.id), entry.name);
      else
        std::snprintf(who, sizeof who, "Thread %d", static_cast<int>(entry.id));
      if (entry.waitingOn)
        _msg("%s is waiting on semaphore %x. \n", who,
             static_cast<unsigned>(reinterpret_cast<uintptr_t>(entry.waitingOn)));
      else
        _msg("%s is running. \n", who);
    }
  });
}

// Runs `use` on the calling thread's TSD list under the table lock; a
// thread outside the table is logged and gets nothing.
template <typename Use>
void WithOwnData(Use use) {
  uint32_t id = os::CurrentThreadId();
  UnderTable([&] {
    ThreadEntryRecord *entry = Find(id);
    if (!entry || !entry->data) {
      _DebugOut(2, "ThreadTable: Call from nonexiting thread or TSD error\n");
      return;
    }
    use(entry->data);
  });
}

static TSDVar *FindVar(Collection *data, const char *name) {
  for (int i = 0; i < data->Count; ++i) {
    auto *var = static_cast<TSDVar *>(_Co_Get(data, i));
    if (EqualNoCase(var->name, name)) return var;
  }
  return nullptr;
}

void TSD_Set(const char *name, void *value, TSDFreeFunc freeValue) {
  WithOwnData([&](Collection *data) {
    TSDVar *var = FindVar(data, name);
    if (var) {
      ReleaseValue(var);
    } else {
      var = static_cast<TSDVar *>(std::calloc(1, sizeof(TSDVar)));
      if (!var || !(var->name = DupText(name))) {
        std::free(var);
        _DebugOut(2, "TSD: Memory allocation error in TSD_Set\n");
        return;
      }
      if (_Co_Add(data, var) < 0) {  // the list has released it
        _DebugOut(2, "TSD: Counld not add new TSDVar.\n");
        return;
      }
    }
    var->value = value;
    var->freeValue = freeValue;
  });
}

void *TSD_Get(const char *name) {
  void *value = nullptr;
  WithOwnData([&](Collection *data) {
    if (TSDVar *var = FindVar(data, name)) value = var->value;
  });
  return value;
}

uint32_t ThreadCurrentId() { return os::CurrentThreadId(); }

uint32_t ThreadStart(ThreadFunction function, size_t stackBytes, void *argument,
                     os::Thread **joinable) {
  StartRecord start{ThreadSemCreate(0), function, argument, 0};
  if (!start.started) return 0;
  os::Thread *thread = os::ThreadStart(ThreadMain, &start, stackBytes * 2);
  if (!thread) {
    ThreadSemClose(start.started);
    return 0;
  }
  ThreadSemWait(start.started);
  ThreadSemClose(start.started);
  if (joinable)
    *joinable = thread;
  else
    os::ThreadDetach(thread);
  return start.id;
}

os::Semaphore *ThreadSemCreate(int initial) { return os::SemCreate(initial, kSemaphoreMaximum); }

void ThreadSemClose(os::Semaphore *semaphore) { os::SemFree(semaphore); }

void ThreadSemRelease(os::Semaphore *semaphore) { os::SemPost(semaphore, 1); }

int ThreadSemWaitTimeout(os::Semaphore *semaphore, uint32_t ms) {
  if (!semaphore) return -1;
  MarkWaiting(semaphore);
  bool signalled = os::SemWait(semaphore, ms);
  ClearWaiting();
  return signalled ? 0 : -1;
}

int ThreadSemWait(os::Semaphore *semaphore) { return ThreadSemWaitTimeout(semaphore, os::kInfinite); }

RecursiveLock *RecursiveLockCreate() {
  auto *lock = new (std::nothrow) RecursiveLock;
  if (!lock) return nullptr;
  lock->semaphore = ThreadSemCreate(1);
  if (!lock->semaphore) {
    delete lock;
    return nullptr;
  }
  return lock;
}

RecursiveLock *RecursiveLockTake(RecursiveLock *lock) {
  if (!lock) return nullptr;
  uint32_t self = os::CurrentThreadId();
  if (lock->owner.load(std::memory_order_relaxed) != self) {
    ThreadSemWait(lock->semaphore);
    lock->owner.store(self, std::memory_order_relaxed);
  }
  ++lock->depth;
  return lock;
}

bool RecursiveLockTryTake(RecursiveLock *lock) {
  if (!lock) return false;
  uint32_t self = os::CurrentThreadId();
  if (lock->owner.load(std::memory_order_relaxed) != self) {
    if (ThreadSemWaitTimeout(lock->semaphore, 0) != 0) return false;
    lock->owner.store(self, std::memory_order_relaxed);
  }
  ++lock->depth;
  return true;
}

int RecursiveLockRelease(RecursiveLock *lock) {
  if (!lock) return 0;
  int depth = --lock->depth;
  if (depth == 0) {
    lock->owner.store(0, std::memory_order_relaxed);
    ThreadSemRelease(lock->semaphore);
  }
  return depth;
}

void RecursiveLockFree(RecursiveLock *lock) {
  if (!lock) return;
  ThreadSemClose(lock->semaphore);
  delete lock;
}

LockedList *LockedListCreate(int capacity, int step, CoFreeFunc freeItem) {
  auto *list = new (std::nothrow) LockedList;
  if (!list) return nullptr;
  list->items = _Co_Create(capacity, step, freeItem);
  list->lock = RecursiveLockCreate();
  if (!list->items || !list->lock) {
    _Co_Free(list->items);
    RecursiveLockFree(list->lock);
    delete list;
    return nullptr;
  }
  return list;
}

// The list's items once its lock is taken, or null (the lock let go again)
// when the list began closing meanwhile.
static Collection *ItemsUnlessClosing(LockedList *list) {
  if (list->closing.load()) {
    RecursiveLockRelease(list->lock);
    return nullptr;
  }
  return list->items;
}

Collection *LockedListLock(LockedList *list) {
  if (!list || list->closing.load()) return nullptr;
  RecursiveLockTake(list->lock);
  return ItemsUnlessClosing(list);
}

Collection *LockedListTryLock(LockedList *list) {
  if (!list || list->closing.load() || !RecursiveLockTryTake(list->lock)) return nullptr;
  return ItemsUnlessClosing(list);
}

void LockedListUnlock(LockedList *list) {
  if (list) RecursiveLockRelease(list->lock);
}

// The reference is taken before the lock: an owner that frees the list
// while this thread waits for the lock, or has just got it, leaves the
// free to this hold's LockedListLetGo.
Collection *LockedListHold(LockedList *list) {
  if (!list) return nullptr;
  list->references.fetch_add(1);
  Collection *items = LockedListLock(list);
  if (!items) list->references.fetch_sub(1);  // closing: no hold was taken
  return items;
}

// Frees the list when its last reference goes, once a thread that has
// locked it (without a hold) lets go.
static void DropReference(LockedList *list) {
  if (list->references.fetch_sub(1) != 1) return;
  RecursiveLockTake(list->lock);
  list->closing.store(1);
  RecursiveLockRelease(list->lock);
  RecursiveLockFree(list->lock);
  _Co_Free(list->items);
  delete list;
}

void LockedListLetGo(LockedList *list) {
  if (!list) return;
  RecursiveLockRelease(list->lock);
  DropReference(list);
}

void LockedListFree(LockedList *list) {
  if (list) DropReference(list);
}
