// Locking helpers over the library's semaphores: a guard that holds a
// semaphore used as a lock for one scope, and a lock that lives as long as
// the library, for module tables that are made and torn down while other
// threads may still call in (such a call then finds the lock, and the
// table gone).
#ifndef DMWCLIENT_SEMGUARD_H
#define DMWCLIENT_SEMGUARD_H

#include "oswrap.h"

class SemGuard {
 public:
  explicit SemGuard(Sem *sem) : sem_(sem) { SemWait(sem_); }
  ~SemGuard() { SemRelease(sem_); }
  SemGuard(const SemGuard &) = delete;
  SemGuard &operator=(const SemGuard &) = delete;

 private:
  Sem *sem_;
};

// Keep one as a function-local static: made on first use (null when no
// semaphore can be had), closed when the library unloads.
struct LibraryLock {
  Sem *sem = SemCreate(1);
  ~LibraryLock() { SemClose(sem); }
  LibraryLock() = default;
  LibraryLock(const LibraryLock &) = delete;
  LibraryLock &operator=(const LibraryLock &) = delete;
};

#endif
