#include "jobserver.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "log.h"
#include "text.h"

BlockingQueue *QueueCreate(int capacity, bool nonBlocking, CoFreeFunc freeItem) {
  if (capacity < 1 || capacity > kSemaphoreMaximum) return nullptr;
  auto *queue = new (std::nothrow) BlockingQueue;
  if (!queue) return nullptr;
  // The list itself never frees an item, so that a refused insert leaves it
  // with the caller; the queue frees what is left when it is freed.
  queue->list = LockedListCreate(capacity, 1, [](void *) {});
  queue->freeItem = freeItem ? freeItem : std::free;
  if (!nonBlocking) {
    queue->itemUnits = ThreadSemCreate(0);
    queue->spaceUnits = ThreadSemCreate(capacity);
  }
  if (!queue->list || (!nonBlocking && (!queue->itemUnits || !queue->spaceUnits))) {
    QueueFree(queue);
    return nullptr;
  }
  return queue;
}

// Inserts at the front under the lock, unless the queue is closed; with
// `closing` the queue closes behind the item. A failed insert hands the
// space unit it was given back, so that failures never shrink the queue.
static int Insert(BlockingQueue *queue, void *item, bool closing) {
  int inserted = 0;
  {
    ListGuard guard(queue->list);
    if (guard.items && !queue->closed.load()) {
      inserted = _Co_Insert(guard.items, 0, item) >= 0 ? 1 : 0;
      if (inserted && closing) queue->closed.store(true);
    }
  }
  if (inserted) {
    if (queue->itemUnits) ThreadSemRelease(queue->itemUnits);
  } else if (queue->spaceUnits) {
    ThreadSemRelease(queue->spaceUnits);
  }
  return inserted;
}

int QueuePut(BlockingQueue *queue, void *item) {
  if (queue->spaceUnits && ThreadSemWait(queue->spaceUnits) != 0) return 0;
  return Insert(queue, item, false);
}

int QueuePutNoWait(BlockingQueue *queue, void *item) {
  if (queue->spaceUnits && ThreadSemWaitTimeout(queue->spaceUnits, 0) != 0) return 0;
  return Insert(queue, item, false);
}

int QueueClose(BlockingQueue *queue, void *item) {
  if (queue->spaceUnits && ThreadSemWait(queue->spaceUnits) != 0) return 0;
  return Insert(queue, item, true);
}

void *QueueGet(BlockingQueue *queue) {
  if (queue->itemUnits && ThreadSemWait(queue->itemUnits) != 0) return nullptr;
  void *item = nullptr;
  {
    ListGuard guard(queue->list);
    if (guard.items && guard.items->Count > 0) {
      int last = guard.items->Count - 1;
      item = _Co_Get(guard.items, last);
      _Co_RemoveItem(guard.items, last);
    }
  }
  if (!item) _msg("result null\n");
  if (queue->spaceUnits) ThreadSemRelease(queue->spaceUnits);
  return item;
}

void QueueFree(BlockingQueue *queue) {
  if (!queue) return;
  if (Collection *items = LockedListLock(queue->list)) {
    for (int i = 0; i < items->Count; ++i) queue->freeItem(_Co_Get(items, i));
    LockedListUnlock(queue->list);
  }
  LockedListFree(queue->list);
  ThreadSemClose(queue->itemUnits);
  ThreadSemClose(queue->spaceUnits);
  delete queue;
}

struct Job {
  JobFunction function;
  void *argument;
};

struct JobServer {
  BlockingQueue *queue = nullptr;
  std::vector<uint32_t> slots;           // thread id per slot, 0 = free
  std::vector<os::Thread *> slotThreads;  // joined once the thread has left the table
  uint32_t mainThreadId = 0;
  os::Thread *mainThread = nullptr;
  os::Semaphore *finished = nullptr;
};

static void ShutdownJob(void *) {}

static void FreeSlot(JobServer *server, size_t i) {
  os::ThreadJoin(server->slotThreads[i]);
  server->slots[i] = 0;
  server->slotThreads[i] = nullptr;
}

static void WaitForSlots(JobServer *server) {
  for (size_t i = 0; i < server->slots.size(); ++i) {
    if (!server->slots[i]) continue;
    while (ThreadState(server->slots[i]) != 0) os::SleepMs(100);
    FreeSlot(server, i);
  }
}

// Starts the job on a thread of its own in slot i. A thread that can't be
// started leaves the job waiting: it is tried again after a pause, so that
// a job is never dropped and whoever waits on it is answered.
static void RunInSlot(JobServer *server, size_t i, Job *job) {
  for (;;) {
    os::Thread *thread = nullptr;
    uint32_t id = ThreadStart(job->function, 0, job->argument, &thread);
    if (id) {
      server->slots[i] = id;
      server->slotThreads[i] = thread;
      std::free(job);
      return;
    }
    _errmsg("jobserver: could not start a job thread; trying again\n");
    os::SleepMs(100);
  }
}

static void JobServerMain(void *param) {
  auto *server = static_cast<JobServer *>(param);
  size_t i = 0;
  for (;;) {
    if (i >= server->slots.size()) i = 0;
    for (size_t s = 0; s < server->slots.size(); ++s)
      if (server->slots[s] && ThreadState(server->slots[s]) == 0) FreeSlot(server, s);
    if (server->slots[i]) {
      os::SleepMs(100);
      ++i;
      continue;
    }
    auto *job = static_cast<Job *>(QueueGet(server->queue));
    if (!job) continue;
    if (job->function == ShutdownJob) {
      std::free(job);
      WaitForSlots(server);
      ThreadSemRelease(server->finished);
      return;
    }
    RunInSlot(server, i, job);
  }
}

static Job *NewJob(JobFunction function, void *argument) {
  auto *job = static_cast<Job *>(std::malloc(sizeof(Job)));
  if (job) *job = Job{function, argument};
  return job;
}

static void Release(JobServer *server) {
  QueueFree(server->queue);
  ThreadSemClose(server->finished);
  delete server;
}

JobServer *JobServerCreate(int slots, int queueSize) {
  if (slots < 1) return nullptr;
  auto *server = new (std::nothrow) JobServer;
  if (!server) return nullptr;
  server->queue = QueueCreate(queueSize, false, nullptr);
  server->slots.assign(static_cast<size_t>(slots), 0);
  server->slotThreads.assign(static_cast<size_t>(slots), nullptr);
  server->finished = ThreadSemCreate(0);
  if (server->queue && server->finished)
    server->mainThreadId = ThreadStart(JobServerMain, 0, server, &server->mainThread);
  if (!server->mainThreadId) {
    Release(server);
    return nullptr;
  }
  ThreadSetName(server->mainThreadId, DupText("Main thread of JobServer"));
  return server;
}

int JobServerSubmit(JobServer *server, JobFunction function, void *argument) {
  Job *job = NewJob(function, argument);
  if (!job) return 0;
  if (QueuePutNoWait(server->queue, job)) return 1;
  std::free(job);
  return 0;
}

int JobServerFree(JobServer *server) {
  if (!server) return 0;
  Job *shutdown = NewJob(ShutdownJob, nullptr);
  if (!shutdown || !QueueClose(server->queue, shutdown)) {
    // The main thread can't be told to end; it is left to run, as freeing
    // what it uses would pull the queue from under it.
    std::free(shutdown);
    _errmsg("jobserver: could not stop the job server\n");
    return 0;
  }
  ThreadSemWait(server->finished);
  os::ThreadJoin(server->mainThread);
  Release(server);
  return 1;
}
