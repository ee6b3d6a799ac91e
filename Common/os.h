// The thin OS layer under the C libraries: threads, semaphores, waits, the
// millisecond tick, sleep, socket start-up and close, readiness waits and
// file times. The Win32 side (os_win32.cpp) is what ships; the POSIX side
// (os_posix.cpp) keeps the same meanings so one library source builds and
// behaves alike in the native build.
#ifndef NETMON_COMMON_OS_H
#define NETMON_COMMON_OS_H

#include <cstddef>
#include <cstdint>

namespace os {

constexpr uint32_t kInfinite = 0xFFFFFFFFu;

// Threads. A thread runs `entry(arg)`; its handle is released by ThreadJoin
// (when the thread has ended) or ThreadDetach.
struct Thread;
using ThreadEntry = void (*)(void *arg);
Thread *ThreadStart(ThreadEntry entry, void *arg, size_t stackBytes = 0);
bool ThreadJoin(Thread *thread, uint32_t timeoutMs = kInfinite);  // false: still running
void ThreadDetach(Thread *thread);
// Ends the calling thread, one that ThreadStart started, at once through
// the C runtime; its handle is joined or detached as after a return. (The
// POSIX side unwinds the thread's stack; Windows runs no destructor of the
// frames it leaves.)
[[noreturn]] void ThreadExit();
// The calling thread's system-wide id, never 0.
uint32_t CurrentThreadId();

// Semaphores: a count of one serves as a lock, larger counts as queues.
struct Semaphore;
Semaphore *SemCreate(int initial, int maximum);
void SemFree(Semaphore *sem);
bool SemWait(Semaphore *sem, uint32_t timeoutMs = kInfinite);  // false: timed out
void SemPost(Semaphore *sem, int count = 1);

// Milliseconds since an arbitrary start, wrapping at 32 bits like the
// system's tick count.
uint32_t TickCount();
void SleepMs(uint32_t ms);

// Sockets. Socket is wide enough for a Winsock SOCKET and a POSIX fd.
using Socket = uintptr_t;
constexpr Socket kInvalidSocket = ~static_cast<Socket>(0);
bool SocketsStart();  // balanced by SocketsStop
void SocketsStop();
void SocketClose(Socket s);
int SocketError();  // the last socket error of this thread
// 1 when readable, 0 when the time passed, -1 on error.
int SocketWaitReadable(Socket s, uint32_t timeoutMs);
bool SocketSetNonBlocking(Socket s);
// Send and receive time limits of a blocking socket, in ms.
void SocketSetTimeouts(Socket s, uint32_t timeoutMs);
// Starts a connect on a non-blocking socket, as Winsock reports it: true
// while it is under way, and also when it was refused at once (a refused
// connect then never shows as writable, as on Windows); false when it failed
// otherwise or, unusually, connected at once.
bool SocketConnectStarted(Socket s, const void *address, int length);
// After a non-blocking connect showed writable: whether it connected (a
// refused one can show writable on POSIX systems, never on Windows).
bool SocketConnected(Socket s);

// Files. Times are seconds since 1 January 1970, UTC.
struct FileInfo {
  int64_t modified;
  int64_t size;
  bool isDirectory;
};
bool FileQuery(const char *path, FileInfo *info);
bool FileSetWriteTime(const char *path, int64_t unixSeconds);  // other times kept
bool FileTruncate(const char *path, int64_t length);  // an existing file's new end
// Renames from to to, in place of an existing file of that name.
bool FileReplace(const char *from, const char *to);
bool DirectoryCreate(const char *path);  // one level; false when it fails
int LastError();  // the last system error code of this thread
bool PathsIgnoreCase();  // whether the file system compares names without case

// The bytes a block from malloc, calloc or realloc may be read up to: at
// least what was asked for. Bounds readers of blocks whose own contents
// can't be trusted to say their length.
size_t AllocationSize(const void *block);

}  // namespace os

#endif
