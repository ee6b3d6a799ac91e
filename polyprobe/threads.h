// Thread support: a process-wide table of the library's threads (256
// entries: id, the semaphore a thread waits on, its name, its thread-specific
// data), thread start with a start handshake, semaphore waits recorded in
// the table, a recursive lock owned by one thread at a time, and LockedList,
// a collection guarded by such a lock, which holds every shared list of the
// library.
#ifndef POLYPROBE_THREADS_H
#define POLYPROBE_THREADS_H

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "collection.h"
#include "os.h"

constexpr int kThreadTableSize = 256;
constexpr int kSemaphoreMaximum = 100;

// The table lives from ThreadTableInit to ThreadTableDone; the caller of
// ThreadTableInit becomes "Main program thread" (a table that exists is
// kept). Without a table every table operation does nothing.
void ThreadTableInit();
int ThreadTableDone();  // nonzero when a table was closed
// Stores `name` (taken over; freed with the heap) for a thread in the table.
int ThreadSetName(uint32_t threadId, char *name);
// 0 not in the table, 1 running, 2 waiting on a semaphore.
int ThreadState(uint32_t threadId);
os::Semaphore *ThreadWaitingSemaphore(uint32_t threadId);  // null while running
uint32_t ThreadCurrentId();
// Logs every thread of the table with its name and what it waits on.
void ThreadStateDump();

// Thread-specific data: named values (letter case ignored) of the calling
// thread, released with their free function (or the heap) when replaced
// or when the thread leaves the table.
using TSDFreeFunc = void (*)(void *value);
void TSD_Set(const char *name, void *value, TSDFreeFunc freeValue);
void *TSD_Get(const char *name);  // null when the thread has no such value

// Starts function(argument) on a new thread entered in the table, with
// twice `stackBytes` of stack; returns its id once it is entered, 0 when it
// could not be started. With `joinable` the caller gets the thread's handle
// and must join it (os::ThreadJoin); otherwise the thread is detached.
using ThreadFunction = void (*)(void *argument);
uint32_t ThreadStart(ThreadFunction function, size_t stackBytes, void *argument,
                     os::Thread **joinable = nullptr);

// Semaphores with a maximum count of 100; waits are recorded in the table.
os::Semaphore *ThreadSemCreate(int initial);
void ThreadSemClose(os::Semaphore *semaphore);
void ThreadSemRelease(os::Semaphore *semaphore);
int ThreadSemWait(os::Semaphore *semaphore);  // 0 signalled, -1 otherwise
int ThreadSemWaitTimeout(os::Semaphore *semaphore, uint32_t ms);  // 0, or -1 on timeout

// A lock that its owner may take again; every take is matched by one
// release on the same thread. A null lock is accepted and does nothing.
struct RecursiveLock {
  int depth = 0;
  std::atomic<uint32_t> owner{0};  // 0: none
  os::Semaphore *semaphore = nullptr;
};
RecursiveLock *RecursiveLockCreate();
RecursiveLock *RecursiveLockTake(RecursiveLock *lock);
// Takes the lock only when that needs no wait (it is free, or the caller
// owns it already); false, and nothing taken, otherwise.
bool RecursiveLockTryTake(RecursiveLock *lock);
int RecursiveLockRelease(RecursiveLock *lock);  // the remaining depth
void RecursiveLockFree(RecursiveLock *lock);

// A collection and its lock. Callers hold the lock for as long as they use
// the collection or any item in it.
struct LockedList {
  Collection *items = nullptr;
  RecursiveLock *lock = nullptr;
  std::atomic<int> closing{0};
  // The owner's reference and one for each LockedListHold not yet let go.
  std::atomic<int> references{1};
};
LockedList *LockedListCreate(int capacity, int step, CoFreeFunc freeItem);
// Takes the lock and gives the collection; null (and no lock held) while
// the list is being freed.
Collection *LockedListLock(LockedList *list);
// The same without waiting: null (and no lock held) also while another
// thread holds the list.
Collection *LockedListTryLock(LockedList *list);
void LockedListUnlock(LockedList *list);
// Takes the lock as LockedListLock does and keeps the list, even when its
// owner frees it meanwhile, until the matching LockedListLetGo: so the
// holder's reads and its release stay valid whoever frees the list.
Collection *LockedListHold(LockedList *list);
// Releases a hold; the last reference to go frees the list.
void LockedListLetGo(LockedList *list);
// The owner gives the list up: it is freed now, or by the last
// LockedListLetGo while it is held. Never waits for a holder.
void LockedListFree(LockedList *list);

// Holds a LockedList's lock for a scope; `items` is null when the list is
// closing (nothing is held then).
class ListGuard {
 public:
  explicit ListGuard(LockedList *list) : list_(list), items(LockedListLock(list)) {}
  ~ListGuard() {
    if (items) LockedListUnlock(list_);
  }
  ListGuard(const ListGuard &) = delete;
  ListGuard &operator=(const ListGuard &) = delete;

 private:
  LockedList *list_;

 public:
  Collection *const items;
};

#endif
