#include "engine.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>

#include "log.h"
#include "netsys.h"
#include "resolver.h"
#include "sockrecv.h"
#include "text.h"

#if !defined(AF_IPX)
#define AF_IPX 6
#endif

namespace {

constexpr uint32_t kSenderStepMs = 15;
constexpr uint32_t kIdleWaitMs = 250;
constexpr int kReceiveBufferSize = 1024;
constexpr size_t kThreadStack = 16384;
constexpr int kIpxProtocol = 1000;
constexpr int kIpAddressLength = 16;
constexpr int kIpxAddressLength = 14;

enum RequestState : uint8_t { kConnecting = 0, kReadyToSend = 1, kSent = 2 };

}  // namespace

// One request in flight, followed in memory by its reply buffer. Both
// engine threads touch requests only under the pending list's lock.
struct PendingRequest {
  int32_t checkId;
  uint32_t startTick;
  uint32_t replyTick;
  int32_t timeout;
  os::Socket socket;  // kInvalidSocket when none
  unsigned char address[16];
  int32_t transport;
  int32_t minimumReply;
  int32_t received;
  int32_t bufferSize;
  uint8_t done;
  uint8_t state;
  // A connect that failed on a system that shows it as writable: no longer
  // watched, so that it ends by its time-out as on Windows.
  uint8_t connectFailed;
  uint8_t watchedForRead;   // in the receiver's current select sets
  uint8_t watchedForWrite;
  uint8_t recorded;  // its outcome is in; it only waits to be freed
  uint8_t judged;    // the matcher has seen the bytes stored so far
  // Its reply is stored with the check; not for a protocol whose handler
  // writes the check's replies itself.
  uint8_t storesReply;
  unsigned char *sendBytes;  // the request's own copy
  int32_t sendLength;

  unsigned char *reply() { return reinterpret_cast<unsigned char *>(this + 1); }
};

struct ProbeEngine {
  LockedList *protocols = nullptr;
  Collection *handlers = nullptr;
  LockedList *checks = nullptr;
  LockedList *pending = nullptr;
  int stopCounter = 0;  // under the pending list's lock
  std::atomic<bool> idle{false};
  std::atomic<bool> checkMode{false};
  os::Semaphore *wake = nullptr;
  os::Semaphore *stopped = nullptr;
  os::Thread *sender = nullptr;
  os::Thread *receiver = nullptr;
  int senderCursor = 0;
  // This engine's raw ICMP socket, made at first use: every engine sees
  // every ICMP datagram, whatever the number of handles.
  os::Socket icmpSocket = os::kInvalidSocket;
  unsigned char buffer[kReceiveBufferSize];
};

namespace {

bool Stopping(ProbeEngine *engine) {
  ListGuard guard(engine->pending);
  return !guard.items || engine->stopCounter != 0;
}

// Each thread ends here; the last one tells ProbeStop.
void ThreadEnded(ProbeEngine *engine) {
  bool last;
  {
    ListGuard guard(engine->pending);
    last = --engine->stopCounter == 0;
  }
  if (last) ThreadSemRelease(engine->stopped);
}

void FreeRequest(void *item) {
  auto *request = static_cast<PendingRequest *>(item);
  if (!request) return;
  std::free(request->sendBytes);
  std::free(request);
}

void RecordSample(ProbeEngine *engine, int32_t checkId, int ms, uint32_t tick, uint8_t status,
                  const unsigned char *data, int length) {
  ListGuard guard(engine->checks);
  CheckItem *check = CheckFind(guard.items, checkId);
  if (check) CheckRecordSample(check, ms, tick, status, data, length, engine->checkMode.load());
}

// Whether `reply` is an accepted answer for the request, by its check's
// protocol; the caller holds the pending list's lock.
bool Matches(ProbeEngine *engine, PendingRequest *request, const unsigned char *reply,
             int received) {
  ListGuard checks(engine->checks);
  CheckItem *check = CheckFind(checks.items, request->checkId);
  if (!check) return false;
  ListGuard protocols(engine->protocols);
  ProtocolDesc *desc = ProtocolFind(engine->protocols, check->protocol);
  if (!desc) return false;
  return HandlerMatchReply(engine->handlers, check, desc, request, reply, received) != 0;
}

void CloseRequestSocket(ProbeEngine *engine, PendingRequest *request) {
  if (request->socket != os::kInvalidSocket && request->socket != engine->icmpSocket)
    os::SocketClose(request->socket);
  request->socket = os::kInvalidSocket;
}

void WakeReceiver(ProbeEngine *engine) {
  if (engine->idle.load()) ThreadSemRelease(engine->wake);
}

void Record(ProbeEngine *engine, PendingRequest *request, int ms, uint8_t status) {
  RecordSample(engine, request->checkId, ms, request->startTick, status, request->reply(),
               request->storesReply ? request->received : 0);
  request->recorded = 1;
  request->done = 1;
}

// Whether a request that expects no reply has what it waited for: its
// connect finished (TCP) or its datagram went out.
bool NeedsNoReply(const PendingRequest *request) {
  return request->minimumReply <= 0 && request->done && request->state == kSent;
}

// Whether the matcher accepts the request's bytes; bytes already judged
// are not judged again: a matcher may act on what it reads (the SNMP GET
// handler cuts a rejected object id from the check's parameter).
bool AcceptsNewBytes(ProbeEngine *engine, PendingRequest *request) {
  if (request->judged) return false;
  request->judged = 1;
  return Matches(engine, request, request->reply(), request->received);
}

// Judges one request; true when it has ended and may be freed.
bool Judge(ProbeEngine *engine, PendingRequest *request, uint32_t now) {
  if (request->recorded) return true;
  if (!request->done && request->state == kReadyToSend) {
    if (request->sendLength > 0)
      send(os::Raw(request->socket), reinterpret_cast<const char *>(request->sendBytes),
           request->sendLength, os::kSendFlags);
    request->state = kSent;
    // The receiver may have gone idle while the request waited to send:
    // the reply must be read when it comes, not after the idle wait.
    WakeReceiver(engine);
  }
  int elapsed = static_cast<int>(request->replyTick - request->startTick);
  if (NeedsNoReply(request)) {
    Record(engine, request, elapsed, kStatusGood);
  } else if (request->received >= request->minimumReply && AcceptsNewBytes(engine, request)) {
    Record(engine, request, elapsed, kStatusGood);
  } else if (request->done) {
    // The connection ended before an accepted reply.
    Record(engine, request, -1, request->received > 0 ? kStatusPartialReply : kStatusNoReply);
  } else if (static_cast<uint32_t>(now - request->startTick) >
             static_cast<uint32_t>(request->timeout)) {
    ProbeStatus status = request->state != kConnecting ? kStatusNoReply : kStatusConnectTimeout;
    Record(engine, request, -1, request->received > 0 ? kStatusPartialReply : status);
  } else if (request->transport == kIcmp) {
    request->received = 0;  // a datagram that was someone else's
  }
  return request->recorded != 0;
}

void JudgeRequests(ProbeEngine *engine) {
  ListGuard guard(engine->pending);
  if (!guard.items) return;
  uint32_t now = os::TickCount();
  for (int i = 0; i < guard.items->Count;) {
    auto *request = static_cast<PendingRequest *>(_Co_Get(guard.items, i));
    if (!Judge(engine, request, now)) {
      ++i;
      continue;
    }
    CloseRequestSocket(engine, request);
    _Co_Delete(guard.items, i);
  }
}

// Reply writes kept while a host held the checks' reply lists (checks.h).
void FlushHeldReplies(ProbeEngine *engine) {
  ListGuard checks(engine->checks);
  for (int i = 0; checks.items && i < checks.items->Count; ++i)
    CheckFlushReplies(static_cast<CheckItem *>(_Co_Get(checks.items, i)));
}

bool HasPending(Collection *pending, int32_t checkId) {
  for (int i = 0; i < pending->Count; ++i)
    if (static_cast<PendingRequest *>(_Co_Get(pending, i))->checkId == checkId) return true;
  return false;
}

// A working copy of the next due check, in rotation, or null.
CheckItem *PickDueCheck(ProbeEngine *engine) {
  ListGuard pending(engine->pending);
  if (!pending.items || pending.items->Count >= kMostInFlight) return nullptr;
  ListGuard checks(engine->checks);
  if (!checks.items) return nullptr;
  if (++engine->senderCursor >= checks.items->Count) engine->senderCursor = 0;
  uint32_t now = os::TickCount();
  for (int i = engine->senderCursor; i < checks.items->Count; ++i) {
    auto *check = static_cast<CheckItem *>(_Co_Get(checks.items, i));
    bool due = check->checkNow || check->lastCompletion == 0 ||
               static_cast<uint32_t>(now - check->lastCompletion) >
                   static_cast<uint32_t>(check->interval);
    if (!check->enabled || !due || HasPending(pending.items, check->id)) continue;
    engine->senderCursor = i;
    check->checkNow = 0;
    check->startTime = static_cast<int32_t>(std::time(nullptr));
    return CheckCopy(check);
  }
  return nullptr;
}

// network:node in hex digits into the IPX address (family, 4 network
// bytes, 6 node bytes, the port in network order at bytes 12-13).
void MakeIpxAddress(unsigned char *address, const char *host, int port) {
  std::memset(address, 0, 16);
  uint16_t family = AF_IPX;
  std::memcpy(address, &family, 2);
  char text[80];
  std::snprintf(text, sizeof text, "%s", host);
  char *colon = std::strchr(text, ':');
  const char *node = colon ? colon + 1 : "";
  if (colon) *colon = '\0';
  HexToBytes(address + 2, text, 4);
  HexToBytes(address + 6, node, 6);
  address[12] = static_cast<unsigned char>(port >> 8);
  address[13] = static_cast<unsigned char>(port);
}

// The target's address; false when the host can't be resolved or is no
// usable address. Called without any engine lock: a name may take a
// second to resolve.
bool MakeTargetAddress(unsigned char *address, const char *host, int transport, int port) {
  if (transport == kIpx) {
    MakeIpxAddress(address, host, port);
  } else {
    char dotted[64];
    const char *target = host;
    if (Resolver *resolver = ProcessResolver()) {
      target = ResolveHostText(resolver, dotted, host, sizeof dotted);
      if (!target) return false;
    }
    sockaddr_in in;
    MakeSockAddr(&in, target, port);
    std::memset(address, 0, 16);
    std::memcpy(address, &in, sizeof in);
  }
  bool allZero = true, allOnes = true;
  for (int i = 4; i < 8; ++i) {
    allZero = allZero && address[i] == 0;
    allOnes = allOnes && address[i] == 0xFF;
  }
  return !allZero && !allOnes;
}

int AddressLength(int transport) { return transport == kIpx ? kIpxAddressLength : kIpAddressLength; }

os::Socket IcmpSocket(ProbeEngine *engine) {
  if (engine->icmpSocket == os::kInvalidSocket) {
    // The protocol number is fixed; the protocol database's lookup is not
    // safe when two engines open their sockets at once.
    os::Socket s = static_cast<os::Socket>(socket(AF_INET, SOCK_RAW, IPPROTO_ICMP));
    if (s != os::kInvalidSocket && !os::SocketSetNonBlocking(s)) {
      os::SocketClose(s);
      s = os::kInvalidSocket;
    }
    engine->icmpSocket = s;
  }
  return engine->icmpSocket;
}

// Opens the request's socket; TCP connects are started. False when the
// socket can't be made or the connect fails at once.
bool OpenSocket(ProbeEngine *engine, PendingRequest *request) {
  if (request->transport == kIcmp) {
    request->socket = IcmpSocket(engine);
    return request->socket != os::kInvalidSocket;
  }
  os::Socket s = os::kInvalidSocket;
  if (request->transport == kTcp)
    s = static_cast<os::Socket>(socket(AF_INET, SOCK_STREAM, 0));
  else if (request->transport == kUdp)
    s = static_cast<os::Socket>(socket(AF_INET, SOCK_DGRAM, 0));
  else
    s = static_cast<os::Socket>(socket(AF_IPX, SOCK_DGRAM, kIpxProtocol));
  if (s == os::kInvalidSocket) return false;
  bool opened = os::SocketSetNonBlocking(s);
  if (opened && request->transport == kTcp) {
    os::SocketSetTimeouts(s, static_cast<uint32_t>(request->timeout) / 2);
    _DebugOut(1, "Connecting...");
    opened = os::SocketConnectStarted(s, request->address, kIpAddressLength);
  }
  _DebugOut(1, "done (%d).", opened ? static_cast<int>(s) : -1);
  if (!opened) {
    os::SocketClose(s);
    return false;
  }
  request->socket = s;
  return true;
}

// What a request needs, taken from its protocol under the protocol list's
// lock; the send bytes are copied so that a reload can't pull them away.
struct RequestPlan {
  int transport = kTcp;
  int port = 0;
  unsigned char *sendBytes = nullptr;
  int sendLength = 0;
  int minimumReply = 0;
  int bufferSize = 0;
  bool storesReply = true;
};

bool PlanRequest(ProbeEngine *engine, CheckItem *copy, RequestPlan *plan) {
  ListGuard guard(engine->protocols);
  ProtocolDesc *desc = ProtocolFind(engine->protocols, copy->protocol);
  if (!desc) return false;
  _DebugOut(1, "Sending to %s (%s)", copy->host, copy->protocol);
  plan->transport = desc->transport;
  plan->port = desc->port;
  const unsigned char *bytes = HandlerBuildRequest(engine->handlers, copy, desc, &plan->sendLength,
                                                   &plan->minimumReply, &plan->bufferSize);
  if (plan->bufferSize < 0) plan->bufferSize = 0;
  plan->storesReply = !HandlerWritesReplies(engine->handlers, desc);
  if (plan->sendLength > 0 && bytes) {
    plan->sendBytes = static_cast<unsigned char *>(std::malloc(static_cast<size_t>(plan->sendLength)));
    if (!plan->sendBytes) return false;
    std::memcpy(plan->sendBytes, bytes, static_cast<size_t>(plan->sendLength));
  } else {
    plan->sendLength = 0;
  }
  return true;
}

// Sends a datagram request at once; a request that sent its datagram and
// expects no reply has then all it waited for. One with nothing to send
// waits for its time-out. The caller holds the pending list's lock.
void StartDatagram(ProbeEngine *engine, PendingRequest *request) {
  if (request->sendLength > 0) {
    int sent = static_cast<int>(sendto(os::Raw(request->socket),
                                       reinterpret_cast<const char *>(request->sendBytes),
                                       request->sendLength, os::kSendFlags,
                                       reinterpret_cast<const sockaddr *>(request->address),
                                       AddressLength(request->transport)));
    if (sent < 0) _DebugOut(1, "!error sending packet!");
  }
  if (request->minimumReply <= 0 && request->sendLength > 0) {
    request->replyTick = os::TickCount();
    request->done = 1;
    CloseRequestSocket(engine, request);
  }
  request->state = kSent;
}

void StartRequest(ProbeEngine *engine, CheckItem *copy) {
  RequestPlan plan;
  if (!PlanRequest(engine, copy, &plan)) {
    std::free(plan.sendBytes);
    return;
  }
  unsigned char address[16];
  bool resolved = MakeTargetAddress(address, copy->host, plan.transport, plan.port);
  auto *request = static_cast<PendingRequest *>(
      std::calloc(1, sizeof(PendingRequest) + static_cast<size_t>(plan.bufferSize)));
  if (!request) {
    std::free(plan.sendBytes);
    return;
  }
  request->checkId = copy->id;
  request->socket = os::kInvalidSocket;
  request->bufferSize = plan.bufferSize;
  request->minimumReply = plan.minimumReply;
  request->timeout = copy->timeout;
  request->transport = plan.transport;
  request->sendBytes = plan.sendBytes;
  request->sendLength = plan.sendLength;
  request->storesReply = plan.storesReply;
  std::memcpy(request->address, address, sizeof address);

  ListGuard guard(engine->pending);
  if (!guard.items || _Co_Add(guard.items, request) < 0) {
    // A refused add has released the request already.
    RecordSample(engine, copy->id, -1, os::TickCount(), kStatusNotQueued, nullptr, 0);
    return;
  }
  bool opened = resolved && OpenSocket(engine, request);
  request->startTick = os::TickCount();
  if (!opened) {
    Record(engine, request, -1, kStatusCantStart);
    return;
  }
  if (request->transport == kTcp)
    request->state = kConnecting;
  else
    StartDatagram(engine, request);
  WakeReceiver(engine);
}

void SenderThread(void *param) {
  auto *engine = static_cast<ProbeEngine *>(param);
  bool sockets = os::SocketsStart();
  if (!sockets) _errmsg("Winsock Initialization Error - %d\n", os::LastError());
  _DebugOut(1, "Sender started");
  while (!Stopping(engine)) {
    os::SleepMs(kSenderStepMs);
    JudgeRequests(engine);
    FlushHeldReplies(engine);
    if (CheckItem *copy = PickDueCheck(engine)) {
      StartRequest(engine, copy);
      CheckFree(copy);
    }
  }
  if (sockets) os::SocketsStop();
  ThreadEnded(engine);
}

// Stores the bytes of one read with the request; a read of 0 or less means
// the connection ended. An ICMP datagram replaces what the request held:
// each one is judged on its own.
void AppendData(PendingRequest *request, const unsigned char *data, int length, uint32_t tick) {
  if (length <= 0) {
    request->done = 1;
    return;
  }
  if (request->transport == kIcmp) request->received = 0;
  int room = request->bufferSize - request->received;
  int stored = length < room ? length : room;
  if (stored <= 0) return;
  std::memcpy(request->reply() + request->received, data, static_cast<size_t>(stored));
  request->received += stored;
  request->replyTick = tick;
  request->judged = 0;
}

// The request an ICMP datagram belongs to: the first one whose matcher
// accepts it (its identifier and sequence), else the first one waiting on
// the sender's address with nothing stored yet, so that a stray datagram
// never displaces a reply; null when none.
PendingRequest *IcmpOwner(ProbeEngine *engine, Collection *pending, const sockaddr_in &from,
                          int length) {
  for (int i = 0; i < pending->Count; ++i) {
    auto *request = static_cast<PendingRequest *>(_Co_Get(pending, i));
    if (request->transport == kIcmp && !request->done &&
        Matches(engine, request, engine->buffer, length))
      return request;
  }
  for (int i = 0; i < pending->Count; ++i) {
    auto *request = static_cast<PendingRequest *>(_Co_Get(pending, i));
    if (!request->done && request->socket != os::kInvalidSocket && request->received == 0 &&
        std::memcmp(request->address, &from, 8) == 0)
      return request;
  }
  return nullptr;
}

struct SocketSets {
  fd_set read;
  fd_set write;
  int readCount = 0;
  int writeCount = 0;
  os::RawSocket highest = 0;
};

void Watch(fd_set *set, int *count, os::RawSocket s, SocketSets *sets) {
  if (*count >= kMostInFlight || FD_ISSET(s, set)) return;
#if !defined(_WIN32)
  if (s >= FD_SETSIZE) return;
#endif
  FD_SET(s, set);
  ++*count;
  if (s > sets->highest) sets->highest = s;
}

// Fills the select sets from the pending requests; false when there is
// nothing to watch.
bool FillSets(ProbeEngine *engine, SocketSets *sets) {
  FD_ZERO(&sets->read);
  FD_ZERO(&sets->write);
  sets->readCount = sets->writeCount = 0;
  sets->highest = 0;
  ListGuard guard(engine->pending);
  if (!guard.items) return false;
  for (int i = 0; i < guard.items->Count; ++i) {
    auto *request = static_cast<PendingRequest *>(_Co_Get(guard.items, i));
    bool open = !request->done && request->socket != os::kInvalidSocket;
    request->watchedForRead = open && request->state == kSent;
    request->watchedForWrite = open && request->state == kConnecting && !request->connectFailed;
    if (request->watchedForRead) Watch(&sets->read, &sets->readCount, os::Raw(request->socket), sets);
    if (request->watchedForWrite)
      Watch(&sets->write, &sets->writeCount, os::Raw(request->socket), sets);
  }
  return sets->readCount + sets->writeCount > 0;
}

void ReadReady(ProbeEngine *engine, Collection *pending, PendingRequest *request,
               SocketSets *sets, uint32_t tick) {
  os::RawSocket s = os::Raw(request->socket);
  std::memset(engine->buffer, 0, sizeof engine->buffer);
  sockaddr_in from{};
  int length;
  if (request->transport == kTcp) {
    length = static_cast<int>(recv(s, reinterpret_cast<char *>(engine->buffer),
                                   sizeof engine->buffer, 0));
  } else {
    socklen_t fromLength = sizeof from;
    length = static_cast<int>(recvfrom(s, reinterpret_cast<char *>(engine->buffer),
                                       sizeof engine->buffer, 0,
                                       reinterpret_cast<sockaddr *>(&from), &fromLength));
  }
  FD_CLR(s, &sets->read);
  if (request->transport != kIcmp) {
    AppendData(request, engine->buffer, length, tick);
    return;
  }
  if (length <= 0) return;  // the shared socket stays open for the others
  PendingRequest *owner = IcmpOwner(engine, pending, from, length);
  if (owner)
    AppendData(owner, engine->buffer, length, tick);
  else
    _DebugOut(1, "can't find receive buffer %s:%d !", inet_ntoa(from.sin_addr),
              ntohs(from.sin_port));
}

void ConnectReady(PendingRequest *request) {
  if (!os::SocketConnected(request->socket)) {
    request->connectFailed = 1;
    return;
  }
  if (request->minimumReply > 0) {
    request->state = request->sendLength > 0 ? kReadyToSend : kSent;
    return;
  }
  request->replyTick = os::TickCount();
  request->done = 1;
  request->state = kSent;
}

void ServeReadySockets(ProbeEngine *engine, SocketSets *sets) {
  uint32_t tick = os::TickCount();
  ListGuard guard(engine->pending);
  if (!guard.items) return;
  for (int i = 0; i < guard.items->Count; ++i) {
    auto *request = static_cast<PendingRequest *>(_Co_Get(guard.items, i));
    if (request->socket == os::kInvalidSocket) continue;
    os::RawSocket s = os::Raw(request->socket);
    if (request->watchedForRead && FD_ISSET(s, &sets->read))
      ReadReady(engine, guard.items, request, sets, tick);
    else if (request->watchedForWrite && FD_ISSET(s, &sets->write))
      ConnectReady(request);
  }
}

void ReceiverThread(void *param) {
  auto *engine = static_cast<ProbeEngine *>(param);
  bool sockets = os::SocketsStart();
  _DebugOut(1, "Receiver started");
  SocketSets sets;
  while (!Stopping(engine)) {
    // Idle is set before the sets are filled, so that a request the sender
    // adds after this look always wakes the wait below.
    engine->idle.store(true);
    bool watching = FillSets(engine, &sets);
    if (!watching) ThreadSemWaitTimeout(engine->wake, kIdleWaitMs);
    engine->idle.store(false);
    if (!watching) continue;
    timeval wait{0, 10};
    int ready = select(static_cast<int>(sets.highest) + 1, &sets.read, &sets.write, nullptr, &wait);
    if (ready > 0) ServeReadySockets(engine, &sets);
  }
  if (sockets) os::SocketsStop();
  ThreadEnded(engine);
}

void FreeEngine(ProbeEngine *engine) {
  ThreadSemClose(engine->wake);
  ThreadSemClose(engine->stopped);
  HandlerListFree(engine->handlers);
  LockedListFree(engine->pending);
  if (engine->icmpSocket != os::kInvalidSocket) os::SocketClose(engine->icmpSocket);
  os::SocketsStop();
  delete engine;
}

}  // namespace

ProbeEngine *ProbeStart(LockedList *checks, LockedList *protocols) {
  auto *engine = new (std::nothrow) ProbeEngine;
  if (!engine) return nullptr;
  os::SocketsStart();
  engine->checks = checks;
  engine->protocols = protocols;
  engine->pending = LockedListCreate(100, 10, FreeRequest);
  engine->handlers = HandlerListCreate();
  engine->wake = ThreadSemCreate(0);
  engine->stopped = ThreadSemCreate(0);
  if (!engine->pending || !engine->handlers || !engine->wake || !engine->stopped) {
    FreeEngine(engine);
    return nullptr;
  }
  engine->stopCounter = 0;
  if (!ThreadStart(SenderThread, kThreadStack, engine, &engine->sender)) {
    FreeEngine(engine);
    return nullptr;
  }
  if (!ThreadStart(ReceiverThread, kThreadStack, engine, &engine->receiver)) {
    {
      ListGuard guard(engine->pending);
      engine->stopCounter = 1;
    }
    ThreadSemWait(engine->stopped);
    os::ThreadJoin(engine->sender);
    FreeEngine(engine);
    return nullptr;
  }
  return engine;
}

void ProbeStop(ProbeEngine *engine) {
  if (!engine) return;
  _DebugOut(1, "Stoping probe...");
  {
    ListGuard guard(engine->pending);
    engine->stopCounter = 2;
  }
  ThreadSemRelease(engine->wake);
  ThreadSemWait(engine->stopped);
  os::ThreadJoin(engine->sender);
  os::ThreadJoin(engine->receiver);
  {
    // Sockets of requests still in flight are closed with them.
    ListGuard guard(engine->pending);
    for (int i = 0; guard.items && i < guard.items->Count; ++i)
      CloseRequestSocket(engine, static_cast<PendingRequest *>(_Co_Get(guard.items, i)));
  }
  FreeEngine(engine);
  _DebugOut(1, "Probe stopped.");
}

int ProbePendingCount(ProbeEngine *engine) {
  ListGuard guard(engine->pending);
  return guard.items ? guard.items->Count : 0;
}

void ProbeSetCheckMode(ProbeEngine *engine) { engine->checkMode.store(true); }

Collection *ProbeHandlers(ProbeEngine *engine) { return engine->handlers; }
