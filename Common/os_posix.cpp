// POSIX side of the OS layer, with the Windows meanings the libraries rely
// on: counting semaphores with timed waits, a millisecond tick that wraps at
// 32 bits, and file times in whole seconds.
#include "os.h"

#include <errno.h>
#include <fcntl.h>
#include <malloc.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <pthread.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <new>

namespace os {

// Threads get at least this much stack whatever a caller asks for; the
// Windows default is 1 MB and code written for it may rely on that.
constexpr size_t kMinimumStack = 256 * 1024;

struct Thread {
  pthread_t id;
  ThreadEntry entry;
  void *arg;
  std::mutex lock;
  std::condition_variable ended;
  bool done = false;
  bool detached = false;  // the thread frees its own record when it ends
};

// Tells a joiner that the thread has ended, or frees a detached thread's
// record, however the entry leaves: by returning or by ThreadExit, whose
// pthread_exit unwinds through here.
struct ThreadEnding {
  Thread *thread;
  ~ThreadEnding() {
    std::unique_lock<std::mutex> guard(thread->lock);
    if (thread->detached) {
      guard.unlock();
      delete thread;
      return;
    }
    thread->done = true;
    thread->ended.notify_all();
  }
};

static void *ThreadMain(void *param) {
  auto *thread = static_cast<Thread *>(param);
  ThreadEnding ending{thread};
  thread->entry(thread->arg);
  return nullptr;
}

void ThreadExit() { pthread_exit(nullptr); }

Thread *ThreadStart(ThreadEntry entry, void *arg, size_t stackBytes) {
  auto *thread = new (std::nothrow) Thread;
  if (!thread) return nullptr;
  thread->entry = entry;
  thread->arg = arg;
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, stackBytes > kMinimumStack ? stackBytes : kMinimumStack);
  int result = pthread_create(&thread->id, &attr, ThreadMain, thread);
  pthread_attr_destroy(&attr);
  if (result != 0) {
    delete thread;
    return nullptr;
  }
  return thread;
}

bool ThreadJoin(Thread *thread, uint32_t timeoutMs) {
  if (!thread) return true;
  {
    std::unique_lock<std::mutex> guard(thread->lock);
    auto finished = [thread] { return thread->done; };
    if (timeoutMs == kInfinite) {
      thread->ended.wait(guard, finished);
    } else if (!thread->ended.wait_for(guard, std::chrono::milliseconds(timeoutMs), finished)) {
      return false;
    }
  }
  pthread_join(thread->id, nullptr);
  delete thread;
  return true;
}

void ThreadDetach(Thread *thread) {
  if (!thread) return;
  std::unique_lock<std::mutex> guard(thread->lock);
  if (thread->done) {
    guard.unlock();
    pthread_join(thread->id, nullptr);
    delete thread;
    return;
  }
  pthread_detach(thread->id);
  thread->detached = true;
}

uint32_t CurrentThreadId() { return static_cast<uint32_t>(syscall(SYS_gettid)); }

struct Semaphore {
  std::mutex lock;
  std::condition_variable posted;
  int count;
  int maximum;
};

Semaphore *SemCreate(int initial, int maximum) {
  auto *sem = new (std::nothrow) Semaphore;
  if (!sem) return nullptr;
  sem->count = initial;
  sem->maximum = maximum;
  return sem;
}

void SemFree(Semaphore *sem) { delete sem; }

bool SemWait(Semaphore *sem, uint32_t timeoutMs) {
  std::unique_lock<std::mutex> guard(sem->lock);
  auto available = [sem] { return sem->count > 0; };
  if (timeoutMs == kInfinite) {
    sem->posted.wait(guard, available);
  } else if (!sem->posted.wait_for(guard, std::chrono::milliseconds(timeoutMs), available)) {
    return false;
  }
  --sem->count;
  return true;
}

void SemPost(Semaphore *sem, int count) {
  std::lock_guard<std::mutex> guard(sem->lock);
  // As on Windows, a release past the maximum count is refused.
  if (count <= 0 || sem->count + count > sem->maximum) return;
  sem->count += count;
  sem->posted.notify_all();
}

// NETMON_TICK_START lets a test start the tick near its 32-bit wrap.
static uint32_t TickStart() {
  const char *start = std::getenv("NETMON_TICK_START");
  return start ? static_cast<uint32_t>(std::strtoul(start, nullptr, 0)) : 0;
}

uint32_t TickCount() {
  static const auto origin = std::chrono::steady_clock::now();
  static const uint32_t start = TickStart();
  auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - origin);
  return start + static_cast<uint32_t>(elapsed.count());
}

void SleepMs(uint32_t ms) {
  timespec wait{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
  while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
  }
}

bool SocketsStart() { return true; }

void SocketsStop() {}

void SocketClose(Socket s) { close(static_cast<int>(s)); }

int SocketError() { return errno; }

int SocketWaitReadable(Socket s, uint32_t timeoutMs) {
  pollfd watch{static_cast<int>(s), POLLIN, 0};
  int result = poll(&watch, 1, static_cast<int>(timeoutMs));
  if (result < 0) return errno == EINTR ? 0 : -1;
  // A closed or failed socket counts as readable: the read reports it.
  return result > 0 ? 1 : 0;
}

bool SocketSetNonBlocking(Socket s) {
  int fd = static_cast<int>(s);
  int flags = fcntl(fd, F_GETFL, 0);
  return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

void SocketSetTimeouts(Socket s, uint32_t timeoutMs) {
  timeval limit{static_cast<time_t>(timeoutMs / 1000), static_cast<suseconds_t>(timeoutMs % 1000) * 1000};
  setsockopt(static_cast<int>(s), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  setsockopt(static_cast<int>(s), SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
}

bool SocketConnectStarted(Socket s, const void *address, int length) {
  if (connect(static_cast<int>(s), static_cast<const sockaddr *>(address),
              static_cast<socklen_t>(length)) == 0)
    return false;
  // Winsock answers every non-blocking connect with "would block" and
  // reports a refusal only later; Linux may refuse a loopback connect at once.
  return errno == EINPROGRESS || errno == ECONNREFUSED;
}

bool SocketConnected(Socket s) {
  int error = 0;
  socklen_t length = sizeof error;
  if (getsockopt(static_cast<int>(s), SOL_SOCKET, SO_ERROR, &error, &length) != 0) return false;
  if (error != 0) return false;
  // A connect refused at once leaves no pending error; only a connected
  // socket has a peer.
  sockaddr_storage peer;
  socklen_t peerLength = sizeof peer;
  return getpeername(static_cast<int>(s), reinterpret_cast<sockaddr *>(&peer), &peerLength) == 0;
}

bool FileQuery(const char *path, FileInfo *info) {
  struct stat st;
  if (stat(path, &st) != 0) return false;
  info->modified = st.st_mtime;
  info->size = st.st_size;
  info->isDirectory = S_ISDIR(st.st_mode);
  return true;
}

bool FileSetWriteTime(const char *path, int64_t unixSeconds) {
  timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = static_cast<time_t>(unixSeconds);
  times[1].tv_nsec = 0;
  return utimensat(AT_FDCWD, path, times, 0) == 0;
}

bool FileTruncate(const char *path, int64_t length) {
  return truncate(path, static_cast<off_t>(length)) == 0;
}

bool FileReplace(const char *from, const char *to) { return std::rename(from, to) == 0; }

bool DirectoryCreate(const char *path) { return mkdir(path, 0777) == 0; }

int LastError() { return errno; }

bool PathsIgnoreCase() { return false; }

size_t AllocationSize(const void *block) { return malloc_usable_size(const_cast<void *>(block)); }

}  // namespace os
