// A LockedList held by a thread of its own until released, as a host holds
// a result's replies between _pqmLockResult and _pqmUnlockResult.
#ifndef POLYPROBE_TESTS_HELD_LIST_H
#define POLYPROBE_TESTS_HELD_LIST_H

#include <future>
#include <thread>

#include "threads.h"

class HeldList {
 public:
  explicit HeldList(LockedList *list)
      : holder_([this, list] {
          LockedListLock(list);
          held_.set_value();
          release_.get_future().wait();
          LockedListUnlock(list);
        }) {
    held_.get_future().wait();
  }
  ~HeldList() { Release(); }
  void Release() {
    if (!holder_.joinable()) return;
    release_.set_value();
    holder_.join();
  }

 private:
  std::promise<void> held_;
  std::promise<void> release_;
  std::thread holder_;
};

#endif
