// Win32 side of the OS layer: the calls the shipped libraries make.
#include "os.h"

#include <winsock2.h>
#include <windows.h>
#include <malloc.h>
#include <process.h>

#include <new>

namespace os {

struct Thread {
  HANDLE handle;
  ThreadEntry entry;
  void *arg;
};

static unsigned __stdcall ThreadMain(void *param) {
  auto *thread = static_cast<Thread *>(param);
  thread->entry(thread->arg);
  return 0;
}

Thread *ThreadStart(ThreadEntry entry, void *arg, size_t stackBytes) {
  auto *thread = new (std::nothrow) Thread{nullptr, entry, arg};
  if (!thread) return nullptr;
  // _beginthreadex, not CreateThread, so the C runtime's per-thread data is
  // set up for threads that call it.
  uintptr_t handle = _beginthreadex(nullptr, static_cast<unsigned>(stackBytes), ThreadMain,
                                    thread, 0, nullptr);
  if (handle == 0) {
    delete thread;
    return nullptr;
  }
  thread->handle = reinterpret_cast<HANDLE>(handle);
  return thread;
}

uint32_t CurrentThreadId() { return GetCurrentThreadId(); }

void ThreadExit() { _endthreadex(0); }

bool ThreadJoin(Thread *thread, uint32_t timeoutMs) {
  if (!thread) return true;
  if (WaitForSingleObject(thread->handle, timeoutMs) != WAIT_OBJECT_0) return false;
  CloseHandle(thread->handle);
  delete thread;
  return true;
}

void ThreadDetach(Thread *thread) {
  if (!thread) return;
  CloseHandle(thread->handle);
  delete thread;
}

struct Semaphore {
  HANDLE handle;
};

Semaphore *SemCreate(int initial, int maximum) {
  HANDLE handle = CreateSemaphoreA(nullptr, initial, maximum, nullptr);
  if (!handle) return nullptr;
  auto *sem = new (std::nothrow) Semaphore{handle};
  if (!sem) CloseHandle(handle);
  return sem;
}

void SemFree(Semaphore *sem) {
  if (!sem) return;
  CloseHandle(sem->handle);
  delete sem;
}

bool SemWait(Semaphore *sem, uint32_t timeoutMs) {
  return WaitForSingleObject(sem->handle, timeoutMs) == WAIT_OBJECT_0;
}

void SemPost(Semaphore *sem, int count) { ReleaseSemaphore(sem->handle, count, nullptr); }

uint32_t TickCount() { return GetTickCount(); }

void SleepMs(uint32_t ms) { Sleep(ms); }

bool SocketsStart() {
  WSADATA data;
  return WSAStartup(MAKEWORD(1, 1), &data) == 0;
}

void SocketsStop() { WSACleanup(); }

void SocketClose(Socket s) { closesocket(static_cast<SOCKET>(s)); }

int SocketError() { return WSAGetLastError(); }

int SocketWaitReadable(Socket s, uint32_t timeoutMs) {
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(static_cast<SOCKET>(s), &readable);
  timeval wait{static_cast<long>(timeoutMs / 1000), static_cast<long>((timeoutMs % 1000) * 1000)};
  int result = select(0, &readable, nullptr, nullptr, &wait);
  if (result == SOCKET_ERROR) return -1;
  return result > 0 ? 1 : 0;
}

bool SocketSetNonBlocking(Socket s) {
  u_long on = 1;
  return ioctlsocket(static_cast<SOCKET>(s), FIONBIO, &on) == 0;
}

void SocketSetTimeouts(Socket s, uint32_t timeoutMs) {
  DWORD limit = timeoutMs;
  const char *value = reinterpret_cast<const char *>(&limit);
  setsockopt(static_cast<SOCKET>(s), SOL_SOCKET, SO_RCVTIMEO, value, sizeof limit);
  setsockopt(static_cast<SOCKET>(s), SOL_SOCKET, SO_SNDTIMEO, value, sizeof limit);
}

bool SocketConnectStarted(Socket s, const void *address, int length) {
  if (connect(static_cast<SOCKET>(s), static_cast<const sockaddr *>(address), length) == 0)
    return false;
  return WSAGetLastError() == WSAEWOULDBLOCK;
}

bool SocketConnected(Socket s) {
  int error = 0;
  int length = sizeof error;
  return getsockopt(static_cast<SOCKET>(s), SOL_SOCKET, SO_ERROR, reinterpret_cast<char *>(&error),
                    &length) == 0 &&
         error == 0;
}

// FILETIME counts 100 ns steps since 1601; Unix time seconds since 1970.
constexpr int64_t kEpochDifference = 11644473600LL;
constexpr int64_t kTicksPerSecond = 10000000LL;

static int64_t UnixFromFileTime(const FILETIME &ft) {
  int64_t ticks = (static_cast<int64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  return ticks / kTicksPerSecond - kEpochDifference;
}

bool FileQuery(const char *path, FileInfo *info) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return false;
  info->modified = UnixFromFileTime(data.ftLastWriteTime);
  info->size = (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  info->isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  return true;
}

bool FileSetWriteTime(const char *path, int64_t unixSeconds) {
  HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  int64_t ticks = (unixSeconds + kEpochDifference) * kTicksPerSecond;
  FILETIME written{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  bool ok = SetFileTime(file, nullptr, nullptr, &written) != 0;
  CloseHandle(file);
  return ok;
}

bool FileTruncate(const char *path, int64_t length) {
  HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LONG high = static_cast<LONG>(length >> 32);
  bool ok = SetFilePointer(file, static_cast<LONG>(length), &high, FILE_BEGIN) !=
                INVALID_SET_FILE_POINTER &&
            SetEndOfFile(file);
  CloseHandle(file);
  return ok;
}

bool FileReplace(const char *from, const char *to) {
  if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING)) return true;
  // The 9x family has no MoveFileExA: there the old file goes first.
  if (GetLastError() != ERROR_CALL_NOT_IMPLEMENTED) return false;
  DeleteFileA(to);
  return MoveFileA(from, to) != 0;
}

bool DirectoryCreate(const char *path) { return CreateDirectoryA(path, nullptr) != 0; }

int LastError() { return static_cast<int>(GetLastError()); }

bool PathsIgnoreCase() { return true; }

size_t AllocationSize(const void *block) { return _msize(const_cast<void *>(block)); }

}  // namespace os
