#include "alclnt.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "cini.h"
#include "collection.h"
#include "dmwclnt.h"
#include "dmwfiles.h"
#include "evclnt.h"
#include "globals.h"
#include "log.h"
#include "os.h"
#include "oswrap.h"

namespace {

constexpr size_t kThreadStack = 8192;
constexpr int kAlertOverhead = 16;  // what each alert's record counts besides its data
constexpr int kDefaultWaitBeforeSend = 5;
constexpr int kDefaultMaxAlertsMem = 65536;
constexpr int kLeastMaxAlertsMem = 4096;
const char kComponent[] = "alerter";

struct Alert {
  int type;
  xtime_t time;
  char *data;
  int length;
};

// Guards the queue, the memory count and the published slot. It lives as
// long as the library, so a call racing with the tear-down finds the queue
// gone.
Sem *QueueLock() {
  static LifetimeLock lock;
  return lock.get();
}

struct Alerter {
  Collection *queue = nullptr;  // under QueueLock; null while not set up
  int memoryInUse = 0;          // under QueueLock
  int slot = -1;                // the thread's open connection, under QueueLock
  Sem *wake = nullptr;          // released under QueueLock
  os::Thread *thread = nullptr;
  int registration = 0;
  std::atomic<bool> stop{false};
  std::atomic<bool> idle{false};  // the thread waits for alerts
  std::atomic<int> waitBeforeSend{kDefaultWaitBeforeSend};
  std::atomic<int> maxAlertsMem{kDefaultMaxAlertsMem};
};

Alerter g_al;

// The queue's item release; the caller holds QueueLock.
void ReleaseAlert(void *item) {
  auto *alert = static_cast<Alert *>(item);
  _DebugOut(4, "alclnt: free alert type %d (%d bytes)\n", alert->type, alert->length);
  g_al.memoryInUse -= alert->length + kAlertOverhead;
  std::free(alert->data);
  std::free(alert);
}

Alert *NewAlert(int type, const void *data, int length) {
  auto *alert = static_cast<Alert *>(std::malloc(sizeof(Alert)));
  auto *copy = static_cast<char *>(std::malloc(length > 0 ? static_cast<size_t>(length) : 1));
  if (!alert || !copy) {
    std::free(alert);
    std::free(copy);
    return nullptr;
  }
  if (length > 0) std::memcpy(copy, data, static_cast<size_t>(length));
  *alert = Alert{type, static_cast<xtime_t>(std::time(nullptr)), copy, length};
  return alert;
}

void ReadConfig() {
  _DebugOut(9, "alcnlnt: Reading configuration\n");
  IniFile *ini = _IniCreate(ConfigFilePath(kComponent).c_str());
  if (!ini) {
    _errmsg("alclnt: can't open config file\n");
    return;
  }
  int wait = _IniReadInt(ini, nullptr, "WaitBeforeSend", g_al.waitBeforeSend);
  int budget = _IniReadInt(ini, nullptr, "MaxAlertsMem", g_al.maxAlertsMem);
  _IniClose(ini);
  g_al.waitBeforeSend = wait > 0 ? wait : 1;
  g_al.maxAlertsMem = budget > kLeastMaxAlertsMem ? budget : kLeastMaxAlertsMem;
}

// ---- the thread -----------------------------------------------------------------

uint32_t Seconds(int seconds) { return static_cast<uint32_t>(seconds > 0 ? seconds : 1) * 1000; }

int RetrySeconds() { return Globals().retryDelay > 0 ? Globals().retryDelay : 1; }

Alert *FirstAlert() {
  SemLocked locked(QueueLock());
  return static_cast<Alert *>(_Co_Get(g_al.queue, 0));
}

void DeleteFirstAlert() {
  SemLocked locked(QueueLock());
  _Co_Delete(g_al.queue, 0);
}

// Waits up to `ms` for alerts (or the stop); true when alerts are queued.
// A wake-up left over from an alert already sent doesn't end the wait.
bool WaitForAlerts(uint32_t ms) {
  uint32_t start = os::TickCount();
  g_al.idle = true;
  bool queued = FirstAlert() != nullptr;
  for (uint32_t waited = 0; !queued && !g_al.stop && waited < ms;
       waited = os::TickCount() - start) {
    SemWaitTimeout(g_al.wake, ms - waited);
    queued = FirstAlert() != nullptr;
  }
  g_al.idle = false;
  return queued;
}

// Pauses before the next attempt; only the stop ends the pause early.
void WaitToRetry() {
  uint32_t start = os::TickCount(), ms = Seconds(RetrySeconds());
  for (uint32_t waited = 0; !g_al.stop && waited < ms; waited = os::TickCount() - start)
    SemWaitTimeout(g_al.wake, ms - waited);
}

// Makes the slot known to the stop, unless the stop has come already.
bool PublishSlot(int slot) {
  SemLocked locked(QueueLock());
  if (g_al.stop) return false;
  g_al.slot = slot;
  return true;
}

void CloseSlot(int slot) {
  {
    SemLocked locked(QueueLock());
    g_al.slot = -1;
  }
  _DMWClose(slot);
}

// Sends while alerts keep coming; false when a send failed.
bool SendWhileAlertsCome(int slot) {
  while (!g_al.stop) {
    Alert *alert = FirstAlert();  // only this thread removes alerts
    if (!alert) {
      if (!WaitForAlerts(Seconds(g_al.waitBeforeSend))) return true;
      continue;
    }
    if (SendAlertRequest(slot, alert->time, alert->type, alert->data, alert->length) != 0)
      return false;
    DeleteFirstAlert();
    os::SleepMs(0);
  }
  return true;
}

// One connection's worth of delivery; false when the next attempt must wait.
bool DeliverQueued() {
  const Settings &settings = Globals();
  int slot = settings.server ? _DMWOpen(settings.server, settings.serverSocket) : -1;
  if (slot < 0) {
    _DebugOut(2, "Alerter: can't send alerts to server waiting (%d sec.)\n", RetrySeconds());
    return false;
  }
  bool delivered = false;
  if (!PublishSlot(slot)) {
    delivered = true;  // stopping
  } else if (_DMWConnectAgent(slot, AgentTypeName()) != 0) {
    if (!g_al.stop)
      _DebugOut(2, "Alerter: server refused the agent connection (waiting %d sec.)\n",
                RetrySeconds());
  } else {
    delivered = SendWhileAlertsCome(slot);
  }
  CloseSlot(slot);
  return delivered;
}

void AlerterThread(void *) {
  _DebugOut(5, "Alerter thread started\n");
  while (!g_al.stop) {
    if (!FirstAlert())
      WaitForAlerts(Seconds(g_al.waitBeforeSend));
    else if (!DeliverQueued())
      WaitToRetry();
    os::SleepMs(0);
  }
  _DebugOut(5, "Alerter thread terminated\n");
}

void ReleaseQueue() {
  SemLocked locked(QueueLock());
  _Co_Free(g_al.queue);
  g_al.queue = nullptr;
  g_al.memoryInUse = 0;
}

}  // namespace

int AlerterInit() {
  {
    SemLocked locked(QueueLock());
    if (!locked.held()) {
      _errmsg("alclnt: can't initialize alerting component\n");
      return -1;
    }
    if (g_al.queue) return 0;
  }
  g_al.wake = SemCreate(0);
  if (!g_al.wake) {
    _errmsg("alclnt: can't create semaphore\n");
    return -1;
  }
  g_al.waitBeforeSend = kDefaultWaitBeforeSend;
  g_al.maxAlertsMem = kDefaultMaxAlertsMem;
  ReadConfig();
  Collection *queue = _Co_Create(5, 5, ReleaseAlert);
  if (!queue) {
    _errmsg("alclnt: can't allocate alerts list\n");
    SemClose(g_al.wake);
    g_al.wake = nullptr;
    return -1;
  }
  {
    SemLocked locked(QueueLock());
    g_al.queue = queue;
  }
  g_al.stop = false;
  g_al.thread = StartThread(AlerterThread, kThreadStack, nullptr);
  if (!g_al.thread) {
    _errmsg("alclnt: can't start alerter thread\n");
    ReleaseQueue();
    SemClose(g_al.wake);
    g_al.wake = nullptr;
    return -1;
  }
  g_al.registration = _DMWRegisterForEvent(kComponent, AlerterConfigEvent);
  return 0;
}

void AlerterDone() {
  {
    SemLocked locked(QueueLock());
    if (!g_al.queue) return;
  }
  if (g_al.registration > 0) _DMWUnregisterEvent(g_al.registration);
  g_al.registration = 0;
  {
    // A request the thread waits on fails once its socket is shut.
    SemLocked locked(QueueLock());
    g_al.stop = true;
    if (g_al.slot >= 0) ShutConnection(g_al.slot);
    SemRelease(g_al.wake);
  }
  os::ThreadJoin(g_al.thread);
  g_al.thread = nullptr;
  ReleaseQueue();
  SemClose(g_al.wake);
  g_al.wake = nullptr;
}

void AlerterConfigEvent(int code, void *data, int slot) {
  if (RefreshConfigOnRegistration(kComponent, code, data, slot,
                                  "alclnt: Retrieving config...\n") !=
      ConfigOnRegistration::Fetched)
    return;
  ReadConfig();
}

extern "C" {

int _SendEvent(int type, const void *data, int length) {
  if (type == 0 || !data || length < 0 || length > DMW_MAX_ALERT_DATA) return -1;
  int queued, memory;
  {
    SemLocked locked(QueueLock());
    if (!g_al.queue) return -1;
    if (g_al.memoryInUse > g_al.maxAlertsMem) {
      _DebugOut(2, "alclnt: can't add event. MaxAlertsMem exceeded (%d)\n", g_al.memoryInUse);
      return -1;
    }
    Alert *alert = NewAlert(type, data, length);
    if (!alert) return -1;
    g_al.memoryInUse += length + kAlertOverhead;
    if (_Co_Add(g_al.queue, alert) < 0) return -1;  // the queue released the alert and its count
    if (g_al.idle) SemRelease(g_al.wake);
    queued = g_al.queue->Count;
    memory = g_al.memoryInUse;
  }
  _DebugOut(9, "alclnt: alert added to queu (len=%d mem=%d)\n", queued, memory);
  return 0;
}

}  // extern "C"
