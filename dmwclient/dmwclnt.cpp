#include "dmwclnt.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "collection.h"
#include "cursor.h"
#include "globals.h"
#include "log.h"
#include "netsys.h"
#include "sockrecv.h"

#ifndef _WIN32
#include <netinet/tcp.h>
#endif

#if defined(_WIN32) && !defined(_WIN64)
// A host that locks a connection sees the record in the 32-bit layout.
static_assert(offsetof(ServerConn, busy) == 4);
static_assert(offsetof(ServerConn, socket) == 12);
static_assert(offsetof(ServerConn, lock) == 16);
static_assert(offsetof(ServerConn, host) == 20);
static_assert(offsetof(ServerConn, closing) == 24);
#endif

namespace {

const char kHandshake[] = "VEXLO DUNMORROW 2.X\r\n";
constexpr os::Socket kClosedSocket = 0;
constexpr int kBusyPollMs = 250;
constexpr uint32_t kReplySliceMs = 250;  // how soon a waiting request sees a stop

// Request codes.
enum : unsigned {
  kIdentify = 1,
  kRegisterAgent = 2,
  kUnregisterAgent = 3,
  kConnect = 5,
  kSetPassword = 7,
  kRObjCreate = 0x1002,
  kRObjRequest = 0x1003,
  kRObjClose = 0x1004,
  kAlert = 0x1005,
  kGetStatus = 0x1006,
  kConfigManager = 0x1007,
};

// Kinds of the connect request and the configuration managers.
enum { kConnectAgent = 1, kConnectClient = 2, kConnectConsole = 4 };
enum { kProfiles = 257, kNodes = 258, kProfileManager = 260, kNodeManager = 261, kAlerts = 262 };
constexpr int kManagerStore = 4;  // the one operation that sends data and reads nothing

// ---- sockets -------------------------------------------------------------

#ifdef _WIN32
constexpr int kShutdownBoth = SD_BOTH;
#else
constexpr int kShutdownBoth = SHUT_RDWR;
#endif

using os::Raw;
using os::RawSocket;

bool IsOpen(os::Socket s) { return s != kClosedSocket && s != os::kInvalidSocket; }

bool HasSocket(const ServerConn *conn) { return IsOpen(conn->socket.load()); }

bool SendAll(os::Socket s, const char *data, int length) {
  while (length > 0) {
    int sent = static_cast<int>(send(Raw(s), data, length, os::kSendFlags));
#ifndef _WIN32
    if (sent < 0 && errno == EINTR) continue;
#endif
    if (sent <= 0) return false;
    data += sent;
    length -= sent;
  }
  return true;
}

// Wakes any thread waiting on the socket; the descriptor stays valid.
void ShutdownSocket(const ServerConn *conn) {
  os::Socket s = conn->socket.load();
  if (IsOpen(s)) shutdown(Raw(s), kShutdownBoth);
}

// The sockets of every connection, kept apart from the table under a lock
// of their own, so that a stop can shut them all while a thread holds the
// table's lock waiting for a connection's.
Sem *SocketsLock() {
  static LifetimeLock lock;
  return lock.get();
}
std::vector<os::Socket> g_liveSockets;  // under SocketsLock
std::atomic<bool> g_shutAll{false};    // set under SocketsLock: no new socket may stay

// False when the connections are being shut: the socket must not be used.
bool TrackSocket(os::Socket s) {
  SemLocked locked(SocketsLock());
  if (g_shutAll) return false;
  g_liveSockets.push_back(s);
  return true;
}

void UntrackSocket(os::Socket s) {
  SemLocked locked(SocketsLock());
  g_liveSockets.erase(std::remove(g_liveSockets.begin(), g_liveSockets.end(), s),
                      g_liveSockets.end());
}

void CloseSocket(ServerConn *conn) {
  os::Socket s = conn->socket.exchange(kClosedSocket);
  if (!IsOpen(s)) return;
  UntrackSocket(s);
  shutdown(Raw(s), kShutdownBoth);
  os::SocketClose(s);
}

// A connected socket that has been sent the handshake line, or -1.
os::Socket ConnectServer(const char *host, int port) {
  sockaddr_in address;
  MakeSockAddr(&address, host, port);
  if (address.sin_addr.s_addr == INADDR_NONE) {
    _errmsg("Can't resolve host name:%s\n", host);
    return os::kInvalidSocket;
  }
  RawSocket raw = socket(AF_INET, SOCK_STREAM, 0);
  auto s = static_cast<os::Socket>(raw);
  if (s == os::kInvalidSocket) return os::kInvalidSocket;
  // Requests are small and many expect no reply: each goes out at once
  // instead of waiting for the acknowledgement of the one before.
  int noDelay = 1;
  setsockopt(raw, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char *>(&noDelay),
             sizeof noDelay);
  if (connect(raw, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
      !SendAll(s, kHandshake, static_cast<int>(sizeof kHandshake - 1)) || !TrackSocket(s)) {
    os::SocketClose(s);
    return os::kInvalidSocket;
  }
  return s;
}

// ---- the table -----------------------------------------------------------

// The table's lock lives as long as the library, so a call that races with
// the tear-down still finds it, and then finds the table gone.
Sem *CnAccess() {
  static LifetimeLock lock;
  return lock.get();
}

Collection *CnConn = nullptr;  // guarded by CnAccess

class TableLocked : SemLocked {
 public:
  TableLocked() : SemLocked(CnAccess()) {}
  // The table, or null when there is none (or no lock to guard it).
  Collection *table() const { return held() ? CnConn : nullptr; }
};

// The table's FreeItem: waits until the requests on the connection have
// left, then releases it.
void DestroyConn(void *item) {
  auto *conn = static_cast<ServerConn *>(item);
  ShutdownSocket(conn);
  if (conn->busy.load() != 0) {
    _DebugOut(9, "dmwclnt: waiting for busy connection\n");
    do os::SleepMs(kBusyPollMs);
    while (conn->busy.load() != 0);
  }
  CloseSocket(conn);
  SemClose(conn->lock);
  std::free(conn->host);
  delete conn;
}

ServerConn *NewConn(const char *host, int port) {
  auto *conn = new (std::nothrow) ServerConn{};
  if (!conn) return nullptr;
  conn->refCount = 1;
  conn->port = port;
  conn->socket = kClosedSocket;
  conn->lock = SemCreate(1);
  size_t length = std::strlen(host) + 1;
  conn->host = static_cast<char *>(std::malloc(length));
  if (conn->host) std::memcpy(conn->host, host, length);
  if (!conn->lock || !conn->host) {
    DestroyConn(conn);
    return nullptr;
  }
  return conn;
}

int FindShared(Collection *table, const char *host, int port) {
  for (int slot = 0; slot < table->Count; slot++) {
    auto *conn = static_cast<ServerConn *>(_Co_Get(table, slot));
    if (conn && !conn->closing && conn->port == port && SameName(conn->host, host)) return slot;
  }
  return -1;
}

// Counts the connection busy, then takes its lock (the caller holds the
// table's lock or has counted it busy before letting go of the table).
ServerConn *LockCounted(ServerConn *conn) {
  SemWait(conn->lock);
  if (conn->closing) {
    __DMWReleaseConn(conn);
    return nullptr;
  }
  return conn;
}

// ---- requests ------------------------------------------------------------

size_t StrSize(const char *text) { return text ? std::strlen(text) + 1 : 1; }

// One request packet on the heap, packed with the cursor. A packet that
// would be longer than the length field can say is not built.
class Request {
 public:
  Request(unsigned code, size_t bodyLength) {
    size_t length = DMW_REQUEST_HEADER + bodyLength;
    if (length > DMW_MAX_PACKET) {
      _DebugOut(2, "dmwclnt: request %x of %u bytes is too long\n", code,
                static_cast<unsigned>(length));
      return;
    }
    packet_ = static_cast<char *>(std::malloc(length));
    if (!packet_) return;
    length_ = static_cast<int>(length);
    cursor_ = packet_;
    XPutShort(&cursor_, static_cast<unsigned short>(length));
    XPutShort(&cursor_, static_cast<unsigned short>(code));
    XPutShort(&cursor_, DMW_NO_REPLY);
  }
  ~Request() { std::free(packet_); }
  Request(const Request &) = delete;
  Request &operator=(const Request &) = delete;

  Request &Int(int value) {
    if (packet_) _XPutInt(&cursor_, value);
    return *this;
  }
  Request &Str(const char *text) {
    if (packet_) _XPutStr(&cursor_, text);
    return *this;
  }
  Request &Buf(const void *data, int length) {
    if (packet_ && length > 0) _XPutBuf(&cursor_, data, length);
    return *this;
  }

  int Send(int slot, char *reply, int *capacity) {
    if (!packet_) {
      if (capacity) *capacity = 0;
      return -1;
    }
    return _DMWRequest(slot, packet_, length_, reply, capacity);
  }
  int SendOn(ServerConn *conn, char *reply, int *capacity);

 private:
  char *packet_ = nullptr;
  char *cursor_ = nullptr;
  int length_ = 0;
};

int DataLength(const void *data, int length) { return data && length > 0 ? length : 0; }

// One exchange on a locked connection: the capacity field, the stale-data
// test, the send and the reply.
// Waits for the reply's first bytes in slices, so that a stop that shut the
// socket is seen even where the shut does not wake a waiting thread; false
// on time-out or stop. *left is what remains of the time-out.
bool AwaitReply(const ServerConn *conn, os::Socket s, uint32_t timeoutMs, uint32_t *left) {
  uint32_t start = os::TickCount();
  for (;;) {
    uint32_t waited = os::TickCount() - start;
    if (waited >= timeoutMs || conn->shut || conn->closing || g_shutAll) return false;
    uint32_t slice = timeoutMs - waited < kReplySliceMs ? timeoutMs - waited : kReplySliceMs;
    int ready = os::SocketWaitReadable(s, slice);
    if (ready != 0) {  // bytes, a close or an error: the reply's reading tells which
      *left = timeoutMs - waited;
      return true;
    }
  }
}

int Transact(ServerConn *conn, char *packet, int length, char *reply, int *capacity) {
  int asked = capacity ? *capacity : DMW_NO_REPLY;
  if (capacity) *capacity = 0;
  bool wantsReply = asked >= 0 && asked != DMW_NO_REPLY;
  if (asked > DMW_NO_REPLY) asked = DMW_NO_REPLY - 1;
  if (!reply) asked = 0;  // nowhere to put a body
  char *field = packet + 4;
  XPutShort(&field, static_cast<unsigned short>(wantsReply ? asked : DMW_NO_REPLY));

  // An idle connection has nothing to read: anything there is stale data
  // or the server's close, and the request must not be mixed up with it.
  os::Socket s = conn->socket.load();
  if (!IsOpen(s) || os::SocketWaitReadable(s, 0) != 0) return -1;
  if (!SendAll(s, packet, length)) return -1;
  if (!wantsReply) return 0;
  uint32_t left = 0;
  if (!AwaitReply(conn, s, static_cast<uint32_t>(Globals().rcvTimeOutMs), &left)) return -1;
  int received = 0;
  int status = RecvReply(s, reply, asked, &received, left);
  if (capacity && status == 0) *capacity = received;
  return status;
}

int Request::SendOn(ServerConn *conn, char *reply, int *capacity) {
  if (!packet_) return -1;
  return Transact(conn, packet_, length_, reply, capacity);
}

// Tells the server who this is and where its events go; no reply.
void SendIdentify(ServerConn *conn) {
  const char *name = Globals().computerName;
  Request(kIdentify, StrSize(name) + 8)
      .Str(name)
      .Int(Globals().eventListenerPort.load())
      .Int(2)
      .SendOn(conn, nullptr, nullptr);
}

// On a locked connection: reconnects when the socket is gone or readable.
int CheckLocked(ServerConn *conn) {
  if (HasSocket(conn) && os::SocketWaitReadable(conn->socket.load(), 0) == 0) return 0;
  _DebugOut(10, "dmwclnt: reconnecting to %s\n", conn->host);
  CloseSocket(conn);
  conn->socket = ConnectServer(conn->host, conn->port);
  conn->shut = false;
  // A tear-down that came meanwhile could not wake the new socket: undo it.
  if (conn->closing) CloseSocket(conn);
  if (!HasSocket(conn)) return -1;
  SendIdentify(conn);
  return 0;
}

int StatusOnly(Request &request, int slot) {
  int capacity = 0;
  return request.Send(slot, nullptr, &capacity);
}

// A reply whose body must hold `length` bytes: a shorter one is a failure.
int FixedReply(Request &request, int slot, char *body, int length) {
  int received = length;
  int status = request.Send(slot, body, &received);
  return status == 0 && received < length ? -1 : status;
}

int ConnectAs(int slot, int kind, const char *name) {
  Request request(kConnect, 8 + StrSize(name));
  request.Int(kind).Str(name).Int(1);
  return StatusOnly(request, slot);
}

int ConfigList(int slot, int list, char *reply, int *replyLength) {
  return Request(kConfigManager, 4).Int(list).Send(slot, reply, replyLength);
}

}  // namespace

// ---- table set-up and tear-down --------------------------------------------

int ConnTableInit() {
  {
    SemLocked sockets(SocketsLock());
    g_shutAll = false;
  }
  TableLocked locked;
  if (CnAccess() && !CnConn && os::SocketsStart()) {
    CnConn = _Co_Create(2, 2, DestroyConn);
    if (!CnConn) os::SocketsStop();
  }
  if (CnConn) return 0;
  _errmsg("dmwclnt: can't create the connection table\n");
  return -1;
}

void ConnTableDone() {
  TableLocked locked;
  Collection *table = locked.table();
  if (!table) return;
  // Requests in progress see the shut socket and leave; the table's
  // release then waits for each connection's last one.
  for (int slot = 0; slot < table->Count; slot++) {
    auto *conn = static_cast<ServerConn *>(_Co_Get(table, slot));
    if (!conn) continue;
    conn->closing = true;
    ShutdownSocket(conn);
  }
  _Co_Free(table);
  CnConn = nullptr;
  os::SocketsStop();
}

int SendAlertRequest(int slot, xtime_t time, int type, const void *data, int length) {
  int bytes = DataLength(data, length);
  return Request(kAlert, 12 + static_cast<size_t>(bytes))
      .Int(type)
      .Int(ToWireTime(time))
      .Int(bytes)
      .Buf(data, bytes)
      .Send(slot, nullptr, nullptr);
}

void ShutAllConnections() {
  SemLocked locked(SocketsLock());
  g_shutAll = true;
  for (os::Socket s : g_liveSockets) shutdown(Raw(s), kShutdownBoth);
}

void ShutConnection(int slot) {
  TableLocked locked;
  auto *conn = static_cast<ServerConn *>(_Co_Get(locked.table(), slot));
  if (!conn) return;
  conn->shut = true;
  ShutdownSocket(conn);
}

// ---- exports ---------------------------------------------------------------

extern "C" {

int _DMWOpen(const char *host, int port) {
  if (!host) return -1;
  TableLocked locked;
  Collection *table = locked.table();
  if (!table) {
    _msg("CnConn is %d and CnAccess is %d \n", 0, CnAccess() ? 1 : 0);
    return -1;
  }
  int slot = FindShared(table, host, port);
  if (slot >= 0) {
    auto *conn = static_cast<ServerConn *>(_Co_Get(table, slot));
    conn->refCount++;  // stays counted even when the reconnect fails
    conn->busy++;
    if (!LockCounted(conn)) return -1;
    int result = CheckLocked(conn);
    __DMWReleaseConn(conn);
    return result == 0 ? slot : -1;
  }
  ServerConn *conn = NewConn(host, port);
  if (!conn) return -1;
  conn->socket = ConnectServer(host, port);
  if (!HasSocket(conn)) {
    DestroyConn(conn);
    return -1;
  }
  slot = PutInFreeSlot(table, conn);
  if (slot < 0) return -1;  // the table released the connection
  SendIdentify(conn);
  return slot;
}

void _DMWClose(int slot) {
  TableLocked locked;
  Collection *table = locked.table();
  auto *conn = static_cast<ServerConn *>(_Co_Get(table, slot));
  if (!conn) return;
  SemWait(conn->lock);
  bool last = --conn->refCount <= 0;
  if (last) {
    conn->closing = true;
    CloseSocket(conn);
    table->Items[slot] = nullptr;  // out of the table, not yet released
  }
  SemRelease(conn->lock);
  if (last) DestroyConn(conn);
}

ServerConn *__DMWLockConn(int slot) {
  ServerConn *conn;
  {
    TableLocked locked;
    conn = static_cast<ServerConn *>(_Co_Get(locked.table(), slot));
    if (!conn || conn->closing) return nullptr;
    conn->busy++;
  }
  return LockCounted(conn);
}

void __DMWReleaseConn(ServerConn *conn) {
  if (!conn) return;
  // The lock goes back first: once the count drops, the connection may be
  // released at any moment.
  SemRelease(conn->lock);
  conn->busy--;
}

int __DMWCheckConn(int slot) {
  ServerConn *conn = __DMWLockConn(slot);
  if (!conn) return -1;
  int result = CheckLocked(conn);
  __DMWReleaseConn(conn);
  return result;
}

int __DMWConnSocket(int slot) {
  TableLocked locked;
  auto *conn = static_cast<ServerConn *>(_Co_Get(locked.table(), slot));
  return conn ? static_cast<int>(conn->socket.load()) : -1;
}

int _DMWRequest(int slot, char *packet, int length, char *reply, int *capacity) {
  if (!packet || length < DMW_REQUEST_HEADER || length > DMW_MAX_PACKET) {
    if (capacity) *capacity = 0;
    return -1;
  }
  ServerConn *conn = __DMWLockConn(slot);
  if (!conn) {
    if (capacity) *capacity = 0;
    return -1;
  }
  int status = Transact(conn, packet, length, reply, capacity);
  __DMWReleaseConn(conn);
  return status;
}

int _DMWRegisterAgent(int slot, const char *name) {
  Request request(kRegisterAgent, StrSize(name));
  request.Str(name);
  return StatusOnly(request, slot);
}

int _DMWUnregisterAgent(int slot, const char *name) {
  return Request(kUnregisterAgent, StrSize(name)).Str(name).Send(slot, nullptr, nullptr);
}

int _DMWConnectAgent(int slot, const char *name) { return ConnectAs(slot, kConnectAgent, name); }

int _DMWConnectClient(int slot) { return ConnectAs(slot, kConnectClient, ""); }

int _DMWConnectConsole(int slot, const char *name) {
  return ConnectAs(slot, kConnectConsole, name);
}

int _DMWSetPassword(int slot, const char *name, const char *password) {
  Request request(kSetPassword, StrSize(name) + StrSize(password));
  request.Str(name).Str(password);
  return StatusOnly(request, slot);
}

int _DMWGetStatus(int slot, int *a, int *b, int *c, int *d, int *e) {
  char body[20];
  Request request(kGetStatus, 0);
  int status = FixedReply(request, slot, body, sizeof body);
  if (status != 0) return status;
  char *cursor = body;
  for (int *out : {a, b, c, d, e}) {
    int value = _XGetInt(&cursor);
    if (out) *out = value;
  }
  return 0;
}

int _RObjCreate(int slot, int objectClass, const void *data, int length, int *objectId) {
  int bytes = DataLength(data, length);
  char body[4];
  Request request(kRObjCreate, 4 + static_cast<size_t>(bytes));
  request.Int(objectClass).Buf(data, bytes);
  int status = FixedReply(request, slot, body, sizeof body);
  if (objectId) {
    char *cursor = body;
    *objectId = status == 0 ? _XGetInt(&cursor) : 0;
  }
  return status;
}

int _RObjRequest(int slot, int object, int method, const void *data, int length, char *reply,
                 int *replyLength) {
  int bytes = DataLength(data, length);
  return Request(kRObjRequest, 8 + static_cast<size_t>(bytes))
      .Int(object)
      .Int(method)
      .Buf(data, bytes)
      .Send(slot, reply, replyLength);
}

int _RObjClose(int slot, int object) {
  return Request(kRObjClose, 4).Int(object).Send(slot, nullptr, nullptr);
}

int _cfgman_GetProfiles(int slot, char *reply, int *replyLength) {
  return ConfigList(slot, kProfiles, reply, replyLength);
}

int _cfgman_GetNodes(int slot, char *reply, int *replyLength) {
  return ConfigList(slot, kNodes, reply, replyLength);
}

int _cfgman_GetAlerts(int slot, char *reply, int *replyLength) {
  return ConfigList(slot, kAlerts, reply, replyLength);
}

int _cfgman_Mgr(int slot, int manager, int operation, const char *name, char *data,
                int *dataLength) {
  if (operation == kManagerStore) {
    int bytes = dataLength ? DataLength(data, *dataLength) : 0;
    return Request(kConfigManager, 8 + StrSize(name) + static_cast<size_t>(bytes))
        .Int(manager)
        .Int(operation)
        .Str(name)
        .Buf(data, bytes)
        .Send(slot, nullptr, nullptr);
  }
  return Request(kConfigManager, 8 + StrSize(name))
      .Int(manager)
      .Int(operation)
      .Str(name)
      .Send(slot, data, dataLength);
}

int _cfgman_ProfileMgr(int slot, int operation, const char *name, char *data, int *dataLength) {
  return _cfgman_Mgr(slot, kProfileManager, operation, name, data, dataLength);
}

int _cfgman_NodeMgr(int slot, int operation, const char *name, char *data, int *dataLength) {
  return _cfgman_Mgr(slot, kNodeManager, operation, name, data, dataLength);
}

}  // extern "C"
