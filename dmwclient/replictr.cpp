#include "replictr.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>

#include "cini.h"
#include "classmgr.h"
#include "csched.h"
#include "dmwclnt.h"
#include "dmwfiles.h"
#include "evclnt.h"
#include "globals.h"
#include "log.h"
#include "os.h"
#include "oswrap.h"
#include "scandir.h"

namespace {

constexpr size_t kThreadStack = 8192;
constexpr int kBlockSize = 1024;
constexpr int kDefaultRetries = 5;
constexpr char kStopped = 2;  // the status of a failed or stopped pass
constexpr int kStopMethod = 1;  // broadcast to the class when the agent stops
const char kComponent[] = "replictr";
const char kTaskName[] = "Trends Data Replicator";
const char kLastRunSection[] = "schedule";
const char kLastRunKey[] = "LastRun";

// Guards the task handle and the scheduling; lives as long as the library.
Sem *ScheduleLock() {
  static LifetimeLock lock;
  return lock.get();
}

struct Replication {
  int task = 0;  // under ScheduleLock
  int registration = 0;
  std::atomic<int> retries{kDefaultRetries};
  std::atomic<int> waitBeforeRetry{1};  // seconds
};

Replication g_rep;

// One run's object: its thread makes the passes.
struct Replicator {
  xtime_t runStart;
  char status;  // 0 running, kStopped: the walk's and the uploads' stop byte
  std::atomic<bool> stopping{false};
  std::atomic<bool> finished{false};
  os::Thread *thread = nullptr;
  Sem *wake = nullptr;  // ends the pause between passes
  Sem *slotLock = nullptr;
  int slot = -1;  // the pass's connection, under slotLock
  DBHandle *store = nullptr;
  char *buffer = nullptr;
  size_t trendDirLength = 0;
};

// Local days compare in the order of time.
int LocalDay(xtime_t time) {
  DmwTime local;
  _DmwDecodeTime(time, &local);
  return local.Year * 366 + local.YearDay;
}

// ---- a pass --------------------------------------------------------------------

// The walk's callback: uploads one file; one of an earlier local day is
// deleted once it is on the server.
void UploadFile(const char *path, const char *, char *stop, int isDirectory, void *userData) {
  if (isDirectory) return;
  auto *rep = static_cast<Replicator *>(userData);
  xtime_t date = _XGetFileDate(path);
  const char *remoteName = path + rep->trendDirLength + 1;
  if (__SendFile(rep->store, 0, rep->buffer, kBlockSize, path, remoteName, stop) != 0) {
    SetStopByte(stop, kStopped);
    return;
  }
  if (LocalDay(date) >= LocalDay(static_cast<xtime_t>(std::time(nullptr)))) return;
  if (std::remove(path) == 0)
    _DebugOut(1, "replictr: file removed %s\n", path);
  else
    _DebugOut(1, "replictr: can't remove %s\n", path);
}

// Makes the slot known to the stop, unless the stop has come already.
bool PublishSlot(Replicator *rep, int slot) {
  SemLocked locked(rep->slotLock);
  if (rep->stopping) return false;
  rep->slot = slot;
  return true;
}

void CloseSlot(Replicator *rep, int slot) {
  {
    SemLocked locked(rep->slotLock);
    rep->slot = -1;
  }
  _DMWClose(slot);
}

void ScanTrends(Replicator *rep, int slot) {
  rep->store = _DBCreate(slot, DB_CLASS_TRENDS);
  if (!rep->store || rep->store->ObjectId == 0) {
    _DebugOut(2, "replictr: can't connect to trends data base\n");
    SetStopByte(&rep->status, kStopped);
  } else {
    char trendDir[XPATH_MAX];
    int length = std::snprintf(trendDir, sizeof trendDir, "%s%ctrends",
                               TextOrEmpty(Globals().dbPath), kPathSeparator);
    if (length > 0 && static_cast<size_t>(length) < sizeof trendDir) {
      rep->trendDirLength = static_cast<size_t>(length);
      _DebugOut(9, "replictr: start scanning %s\n", trendDir);
      _ScanDir(trendDir, sizeof trendDir, UploadFile, &rep->status, rep,
               SCAN_RECURSE | SCAN_FILES);
    }
  }
  _DBClose(rep->store);
  rep->store = nullptr;
}

void RunPass(Replicator *rep) {
  rep->buffer = static_cast<char *>(std::malloc(kBlockSize));
  if (!rep->buffer) {
    _errmsg("replictr: can't allocate buffer\n");
    SetStopByte(&rep->status, kStopped);
    return;
  }
  const Settings &settings = Globals();
  int slot = settings.server ? _DMWOpen(settings.server, settings.serverSocket) : -1;
  if (slot < 0) {
    _DebugOut(2, "replictr: can't connect to server\n");
    SetStopByte(&rep->status, kStopped);
  } else if (PublishSlot(rep, slot)) {
    // A refused agent ends the pass without a failure; a lost connection
    // is one.
    int refused = _DMWConnectAgent(slot, AgentTypeName());
    if (refused == 0)
      ScanTrends(rep, slot);
    else if (refused == -1)
      SetStopByte(&rep->status, kStopped);
    CloseSlot(rep, slot);
  } else {
    _DMWClose(slot);  // stopping
  }
  std::free(rep->buffer);
  rep->buffer = nullptr;
}

void ReplicatorThread(void *argument) {
  auto *rep = static_cast<Replicator *>(argument);
  _DebugOut(5, "replictr: thread started\n");
  int attempts = g_rep.retries + 1;
  for (int attempt = 1; attempt <= attempts && !rep->stopping; attempt++) {
    if (attempt > 1) {
      _DebugOut(2, "replictr: waiting before attempt %d\n", attempt);
      int seconds = g_rep.waitBeforeRetry > 0 ? g_rep.waitBeforeRetry.load() : 1;
      if (SemWaitTimeout(rep->wake, static_cast<uint32_t>(seconds) * 1000) == 0) break;
    }
    SetStopByte(&rep->status, 0);
    if (rep->stopping) break;  // the stop set the status before it was cleared
    RunPass(rep);
    if (StopByte(&rep->status) != kStopped) break;
  }
  rep->finished = true;
  _DebugOut(5, "replictr: thread terminated\n");
}

// ---- the class -------------------------------------------------------------------

void FreeReplicator(Replicator *rep) {
  SemClose(rep->wake);
  SemClose(rep->slotLock);
  delete rep;
}

void *ReplicatorCreate(int, void *) {
  auto *rep = new (std::nothrow) Replicator;
  if (!rep) return nullptr;
  rep->runStart = static_cast<xtime_t>(std::time(nullptr));
  rep->status = 0;
  rep->wake = SemCreate(0);
  rep->slotLock = SemCreate(1);
  if (rep->wake && rep->slotLock)
    rep->thread = StartThread(ReplicatorThread, kThreadStack, rep);
  if (!rep->thread) {
    _errmsg("replictr: can't start replicator thread\n");
    FreeReplicator(rep);
    return nullptr;
  }
  return rep;
}

int ReplicatorRequest(void *data, int method, void *, void *buffer, int *) {
  auto *rep = static_cast<Replicator *>(data);
  if (method == 0 && buffer) *static_cast<int *>(buffer) = rep->finished ? 1 : 0;
  return 0;
}

void WriteLastRun(xtime_t runStart) {
  const char *configFile = Globals().configFile;
  if (!configFile) return;  // a client keeps no agent configuration
  IniFile *ini = _IniCreate(configFile);
  _IniWriteInt(ini, kLastRunSection, kLastRunKey, static_cast<int>(runStart));
  _IniUpdate(ini);
  _IniClose(ini);
}

void ReplicatorFree(void *data) {
  auto *rep = static_cast<Replicator *>(data);
  _DebugOut(4, "replictr: free\n");
  WriteLastRun(rep->runStart);
  {
    // The walk, the upload and the pause all see the stop; a request
    // waiting on the server fails once the socket is shut.
    SemLocked locked(rep->slotLock);
    rep->stopping = true;
    SetStopByte(&rep->status, kStopped);
    if (rep->slot >= 0) ShutConnection(rep->slot);
  }
  SemRelease(rep->wake);
  os::ThreadJoin(rep->thread);
  FreeReplicator(rep);
}

const ClassCallbacks kReplicatorCallbacks = {ReplicatorCreate, ReplicatorRequest,
                                             ReplicatorFree};

// ---- scheduling ----------------------------------------------------------------

void Schedule() {
  char schedule[XPATH_MAX] = "";
  IniFile *ini = _IniCreate(ConfigFilePath(kComponent).c_str());
  IniReadStrN(ini, nullptr, "schedule", schedule, sizeof schedule);
  g_rep.retries = _IniReadInt(ini, nullptr, "Retries", kDefaultRetries);
  g_rep.waitBeforeRetry = _IniReadInt(ini, nullptr, "WaitBeforeRetry", Globals().retryDelay);
  _IniClose(ini);
  IniFile *agentConfig = Globals().configFile ? _IniCreate(Globals().configFile) : nullptr;
  xtime_t lastRun = _IniReadInt(agentConfig, kLastRunSection, kLastRunKey, 0);
  _IniClose(agentConfig);
  if (!schedule[0]) return;
  _DebugOut(1, "replictr: scheduling replicator %s\n", schedule);
  SemLocked locked(ScheduleLock());
  if (g_rep.task)
    UpdateScheduledTask(g_rep.task, schedule);
  else
    g_rep.task = _ScheduleInternalWork(kReplicatorClass, kTaskName, lastRun, schedule, nullptr);
}

bool Scheduled() {
  SemLocked locked(ScheduleLock());
  return g_rep.task != 0;
}

}  // namespace

void ReplicatorInit() {
  g_rep.retries = kDefaultRetries;
  g_rep.waitBeforeRetry = Globals().retryDelay;
  _cmRegisterClass(kReplicatorClass, &kReplicatorCallbacks);
  g_rep.registration = _DMWRegisterForEvent(kComponent, ReplicatorConfigEvent);
}

void ReplicatorDone() {
  // Unregistered first, so that no registration schedules the task again.
  if (g_rep.registration > 0) _DMWUnregisterEvent(g_rep.registration);
  g_rep.registration = 0;
  int task;
  {
    SemLocked locked(ScheduleLock());
    task = g_rep.task;
    g_rep.task = 0;
  }
  if (task) _RemoveScheduledTask(task);  // frees a running replicator
  // Every object whose class shares a bit with the replicator's hears the
  // stop before the class goes.
  _ObjBroadcast(kReplicatorClass, kStopMethod, nullptr);
  _cmUnregisterClass(kReplicatorClass);
}

void ReplicatorConfigEvent(int code, void *data, int slot) {
  switch (RefreshConfigOnRegistration(kComponent, code, data, slot)) {
    case ConfigOnRegistration::Ignored:
      return;
    case ConfigOnRegistration::Kept:
      if (!Scheduled()) Schedule();
      return;
    case ConfigOnRegistration::Fetched:
      Schedule();
      return;
  }
}
