// The blocking queue (a LockedList with an items and a space semaphore;
// oldest item first, at most 100 items) and the job server: a main thread
// that runs each queued job on a thread of its own, at most `slots` at a
// time, in queue order.
#ifndef POLYPROBE_JOBSERVER_H
#define POLYPROBE_JOBSERVER_H

#include "threads.h"

struct BlockingQueue {
  LockedList *list = nullptr;
  os::Semaphore *itemUnits = nullptr;  // both null for a non-blocking queue
  os::Semaphore *spaceUnits = nullptr;
  std::atomic<bool> closed{false};
  CoFreeFunc freeItem = nullptr;  // for the items left at QueueFree
};

BlockingQueue *QueueCreate(int capacity, bool nonBlocking, CoFreeFunc freeItem);
// 1 when queued; 0 when closed or the insert failed (the item stays the
// caller's). Put waits for space, PutNoWait fails when there is none.
int QueuePut(BlockingQueue *queue, void *item);
int QueuePutNoWait(BlockingQueue *queue, void *item);
// Closes the queue with `item` as the last one it accepts; 1 when inserted.
int QueueClose(BlockingQueue *queue, void *item);
// The oldest item, waiting for one; null when the queue was empty.
void *QueueGet(BlockingQueue *queue);
void QueueFree(BlockingQueue *queue);

using JobFunction = void (*)(void *argument);
struct JobServer;

JobServer *JobServerCreate(int slots, int queueSize);
// Queues function(argument) without waiting: 1, or 0 when the queue is full
// or closed.
int JobServerSubmit(JobServer *server, JobFunction function, void *argument);
// Runs every job already queued, waits for their threads and frees the
// server.
int JobServerFree(JobServer *server);

#endif
