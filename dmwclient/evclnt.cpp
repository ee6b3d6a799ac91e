#include "evclnt.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "collection.h"
#include "dmwclnt.h"
#include "globals.h"
#include "log.h"
#include "netsys.h"
#include "os.h"
#include "oswrap.h"
#include "sockrecv.h"

namespace {

constexpr size_t kListenStack = 8192;
constexpr size_t kRegistrationStack = 16384;
constexpr uint32_t kSliceMs = 1000;            // accept and idle-connection waits
constexpr uint32_t kRestartPauseMs = 1000;     // after a failed listener set-up
constexpr uint32_t kEventTimeOutMs = 60000;    // the rest of a packet once begun
constexpr uint32_t kNothingToDoMs = 5000;      // no server, port or registration yet
constexpr uint32_t kReRegisterMs = 3600000;    // registered: again in an hour
constexpr uint32_t kRegisterPauseMs = 10;
const char kRefreshEvent[] = "CfgRefresh";

#ifdef _WIN32
constexpr int kShutdownBoth = SD_BOTH;
#else
constexpr int kShutdownBoth = SHUT_RDWR;
#endif

struct Registration {
  EventCallback callback;
  char *name;
};

void FreeRegistration(void *item) {
  auto *registration = static_cast<Registration *>(item);
  std::free(registration->name);
  std::free(registration);
}

// Guards the registrations and the sockets a stop shuts. It lives as long as
// the library, so a call racing with the tear-down finds the list gone.
Sem *ConfigSem() {
  static LifetimeLock lock;
  return lock.get();
}

struct EventClient {
  Collection *registrations = nullptr;  // null while not set up
  Sem *waitSem = nullptr;               // wakes the registration thread
  Sem *stopSem = nullptr;               // ends the listen thread's pause
  std::atomic<bool> stop{false};
  std::atomic<bool> registrationRunning{false};
  os::Thread *listenThread = nullptr;
  os::Thread *registrationThread = nullptr;
  os::Socket listenSocket = os::kInvalidSocket;  // under ConfigSem
  os::Socket eventSocket = os::kInvalidSocket;   // under ConfigSem
};

EventClient g_ev;

Sem *CreateSem(int initial, const char *name) {
  Sem *sem = SemCreate(initial);
  if (!sem) _errmsg("evclnt: can't create seamphore (%s)\n", name);
  return sem;
}

// ---- sockets the stop can reach ---------------------------------------------

void Publish(os::Socket &place, os::Socket s) {
  SemLocked locked(ConfigSem());
  place = s;
}

void CloseAndForget(os::Socket &place) {
  os::Socket s;
  {
    SemLocked locked(ConfigSem());
    s = place;
    place = os::kInvalidSocket;
  }
  if (s == os::kInvalidSocket) return;
  shutdown(os::Raw(s), kShutdownBoth);
  os::SocketClose(s);
}

// Wakes a listen thread that waits on either socket (the caller holds
// ConfigSem); the thread closes them itself.
void ShutPublishedSockets() {
  for (os::Socket s : {g_ev.listenSocket, g_ev.eventSocket})
    if (s != os::kInvalidSocket) shutdown(os::Raw(s), kShutdownBoth);
}

// ---- the listen thread --------------------------------------------------------

// A socket bound to a port the system chooses, listening; the port becomes
// the event listener port. On failure the socket is closed and -1 given.
os::Socket OpenListener() {
  os::RawSocket raw = socket(AF_INET, SOCK_STREAM, 0);
  auto s = static_cast<os::Socket>(raw);
  if (s == os::kInvalidSocket) {
    _errmsg("evclnt: error creating socket %x\n", os::SocketError());
    return os::kInvalidSocket;
  }
  sockaddr_in address;
  std::memset(&address, 0, sizeof address);
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  if (bind(raw, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
    _errmsg("evclnt: error bind %x\n", os::SocketError());
    os::SocketClose(s);
    return os::kInvalidSocket;
  }
  socklen_t length = sizeof address;
  getsockname(raw, reinterpret_cast<sockaddr *>(&address), &length);
  int port = ntohs(address.sin_port);
  _DebugOut(10, "evclnt: listening on socket %x\n", port);
  if (listen(raw, 0) != 0) {
    _errmsg("evclnt: error listen %x\n", os::SocketError());
    os::SocketClose(s);
    return os::kInvalidSocket;
  }
  Globals().eventListenerPort = port;
  return s;
}

void WakeRegistration() {
  if (g_ev.registrationRunning) SemRelease(g_ev.waitSem);
}

// Hands the payload to the first registration of the name. The callback is
// looked up under the lock and called outside it, so it may register or
// unregister.
void Deliver(const char *name, char *payload) {
  EventCallback callback = nullptr;
  {
    SemLocked locked(ConfigSem());
    Collection *list = g_ev.registrations;
    for (int slot = 0; list && slot < list->Count && !callback; slot++) {
      auto *registration = static_cast<Registration *>(_Co_Get(list, slot));
      if (registration && SameName(registration->name, name)) callback = registration->callback;
    }
  }
  if (callback) callback(1, payload, -1);
}

// Waits for the next event in slices, so that a stop is seen on an idle
// connection, then reads and dispatches it. False ends the connection.
bool ProcessEvent(os::Socket connection) {
  int ready;
  do ready = os::SocketWaitReadable(connection, kSliceMs);
  while (ready == 0 && !g_ev.stop);
  if (g_ev.stop || ready < 0) return false;
  char packet[EVENT_PACKET_MAX];
  int length = RecvPacket(connection, packet, sizeof packet, kEventTimeOutMs);
  if (length <= 0) return false;
  char *name = packet + 2;
  auto *nameEnd = static_cast<char *>(std::memchr(name, '\0', static_cast<size_t>(length - 2)));
  if (!nameEnd) {
    _errmsg("evclnt: event name runs past its packet, connection closed\n");
    return false;
  }
  _DebugOut(9, "evclnt: received event for %s\n", name);
  if (SameName(name, kRefreshEvent))
    WakeRegistration();
  else
    Deliver(name, nameEnd + 1);
  return true;
}

void ServeEvents(os::Socket connection) {
  Publish(g_ev.eventSocket, connection);
  int processed = 0;
  while (ProcessEvent(connection)) {
    processed++;
    _DebugOut(9, "evclnt: -- event processed\n");
    os::SleepMs(0);
  }
  _DebugOut(9, "evclnt: total events processed %d.\n", processed);
  CloseAndForget(g_ev.eventSocket);
}

// Accepts one event connection at a time until the stop, or until the
// listener fails (false: it is set up again).
void AcceptEvents(os::Socket listener) {
  while (!g_ev.stop) {
    int ready = os::SocketWaitReadable(listener, kSliceMs);
    if (ready == 0) continue;
    if (ready < 0 || g_ev.stop) return;
    _DebugOut(10, "evclnt: waiting for incoming events\n");
    auto connection = static_cast<os::Socket>(accept(os::Raw(listener), nullptr, nullptr));
    if (connection == os::kInvalidSocket) {
      if (!g_ev.stop) _errmsg("evclnt: error accept %x\n", -1);
      continue;
    }
    _DebugOut(10, "evclnt: connection accepted\n");
    ServeEvents(connection);
  }
}

void ListenThread(void *) {
  bool started = os::SocketsStart();
  if (!started) _errmsg("evclnt: winsock initialization error %x\n", os::SocketError());
  _DebugOut(5, "evclnt: listen thread started\n");
  while (!g_ev.stop) {
    os::Socket listener = OpenListener();
    if (listener == os::kInvalidSocket) {
      SemWaitTimeout(g_ev.stopSem, kRestartPauseMs);
      continue;
    }
    Publish(g_ev.listenSocket, listener);
    AcceptEvents(listener);
    CloseAndForget(g_ev.listenSocket);
  }
  if (started) os::SocketsStop();
  _DebugOut(5, "evclnt: listen thread terminated\n");
}

// ---- the registration thread ----------------------------------------------------

bool HasRegistrations() {
  SemLocked locked(ConfigSem());
  return g_ev.registrations && g_ev.registrations->Count > 0;
}

// Registers every name on the connected slot; each callback learns the
// result with the registrations locked.
void RegisterAll(int slot) {
  SemLocked locked(ConfigSem());
  Collection *list = g_ev.registrations;
  for (int i = 0; list && i < list->Count && !g_ev.stop; i++) {
    auto *registration = static_cast<Registration *>(_Co_Get(list, i));
    if (!registration) continue;
    _DebugOut(9, "evclnt: registering %s ", registration->name);
    int rc = _DMWRegisterAgent(slot, registration->name);
    _DebugOut(9, "evclnt: Register Agent returned rc=%x\n", rc);
    if (registration->callback) registration->callback(2, &rc, slot);
    os::SleepMs(kRegisterPauseMs);
  }
}

// One pass of the registration thread; how long to wait before the next.
uint32_t RegistrationPass() {
  const Settings &settings = Globals();
  if (!settings.server || settings.eventListenerPort == 0 || !HasRegistrations())
    return kNothingToDoMs;
  // A delay below a second would make the retries spin.
  int retrySeconds = settings.retryDelay > 0 ? settings.retryDelay : 1;
  auto retryMs = static_cast<uint32_t>(retrySeconds) * 1000;
  _DebugOut(9, "evclnt: opening connection to server:%s port:%x\n", settings.server,
            settings.serverSocket);
  int slot = _DMWOpen(settings.server, settings.serverSocket);
  if (slot < 0) {
    _DebugOut(2, "evclnt: can't open connection to server (waiting %d sec.)\n", retrySeconds);
    return retryMs;
  }
  if (_DMWConnectAgent(slot, AgentTypeName()) != 0) {
    _DMWClose(slot);
    _DebugOut(2, "evclnt: server refused the agent connection (waiting %d sec.)\n", retrySeconds);
    return retryMs;
  }
  RegisterAll(slot);
  _DMWClose(slot);
  return kReRegisterMs;
}

void RegistrationThread(void *) {
  g_ev.registrationRunning = true;
  _DebugOut(5, "evclnt: registration thread started\n");
  // A wake-up (a new registration, a refresh event, the stop) and a time-out
  // both start the next pass; only the stop ends the loop.
  while (!g_ev.stop) {
    uint32_t wait = RegistrationPass();
    if (!g_ev.stop) SemWaitTimeout(g_ev.waitSem, wait);
  }
  _DebugOut(5, "evclnt: registration thread terminated\n");
}

void ReleaseSemaphores() {
  SemClose(g_ev.waitSem);
  SemClose(g_ev.stopSem);
  g_ev.waitSem = g_ev.stopSem = nullptr;
}

}  // namespace

int EvClntInit() {
  SemLocked locked(ConfigSem());
  if (!locked.held()) {
    _errmsg("evclnt: can't create seamphore (ConfigSem)\n");
    return -1;
  }
  if (g_ev.registrations) return 0;
  Collection *list = _Co_Create(5, 5, FreeRegistration);
  if (!list) {
    _errmsg("evclnt: can't allocate Callback struct\n");
    return -1;
  }
  g_ev.stop = false;
  g_ev.registrationRunning = false;
  g_ev.waitSem = CreateSem(0, "WaitSem");
  g_ev.stopSem = CreateSem(0, "StopSem");
  if (g_ev.waitSem && g_ev.stopSem)
    g_ev.listenThread = StartThread(ListenThread, kListenStack, nullptr);
  if (!g_ev.listenThread) {
    if (g_ev.waitSem && g_ev.stopSem) _errmsg("evclnt: can't create listen thread\n");
    ReleaseSemaphores();
    _Co_Free(list);
    return -1;
  }
  g_ev.registrations = list;
  return 0;
}

int EvClntStart() {
  SemLocked locked(ConfigSem());
  if (!g_ev.registrations) return 0;
  if (!g_ev.registrationThread)
    g_ev.registrationThread = StartThread(RegistrationThread, kRegistrationStack, nullptr);
  return g_ev.registrationThread ? 1 : -1;
}

void EvClntDone() {
  {
    SemLocked locked(ConfigSem());
    if (!g_ev.registrations) return;
    g_ev.stop = true;
    ShutPublishedSockets();
  }
  // Each thread is awaited on its own, whatever order they end in.
  if (g_ev.registrationThread) {
    SemRelease(g_ev.waitSem);
    os::ThreadJoin(g_ev.registrationThread);
    g_ev.registrationThread = nullptr;
  }
  SemRelease(g_ev.stopSem);
  os::ThreadJoin(g_ev.listenThread);
  g_ev.listenThread = nullptr;
  Collection *list;
  {
    SemLocked locked(ConfigSem());
    list = g_ev.registrations;
    g_ev.registrations = nullptr;
  }
  _Co_Free(list);
  ReleaseSemaphores();
}

void NotifyComponents(int index, int argument) {
  std::vector<EventCallback> callbacks;
  {
    SemLocked locked(ConfigSem());
    Collection *list = g_ev.registrations;
    for (int slot = 0; list && slot < list->Count; slot++) {
      if (index > 0 && slot != index) continue;
      auto *registration = static_cast<Registration *>(_Co_Get(list, slot));
      if (registration && registration->callback) callbacks.push_back(registration->callback);
    }
  }
  for (EventCallback callback : callbacks) callback(0, &argument, 0);
}

extern "C" {

int _DMWRegisterForEvent(const char *name, EventCallback callback) {
  if (!name) return -1;
  auto *registration = static_cast<Registration *>(std::malloc(sizeof(Registration)));
  char *copy = static_cast<char *>(std::malloc(std::strlen(name) + 1));
  if (!registration || !copy) {
    std::free(registration);
    std::free(copy);
    return -1;
  }
  std::strcpy(copy, name);
  *registration = Registration{callback, copy};
  SemLocked locked(ConfigSem());
  if (!g_ev.registrations) {
    FreeRegistration(registration);
    return -1;
  }
  int slot = PutInFreeSlot(g_ev.registrations, registration);
  if (slot < 0) return 0;
  WakeRegistration();
  return slot + 1;
}

void _DMWUnregisterEvent(int handle) {
  SemLocked locked(ConfigSem());
  Collection *list = g_ev.registrations;
  if (list && handle >= 1 && handle <= list->Count) _Co_FreeItem(list, handle - 1);
}

}  // extern "C"
