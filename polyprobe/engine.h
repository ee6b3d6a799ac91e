// The probe engine behind one monitor handle. A sender thread wakes every
// 15 ms, judges the requests in flight (reply, end of connection, time-out),
// records each outcome as one sample of its check, and starts at most one
// request for the next due check while fewer than 64 are in flight. A
// receiver thread waits on the open sockets with select, finishes TCP
// connects and stores received bytes with the request they belong to.
#ifndef POLYPROBE_ENGINE_H
#define POLYPROBE_ENGINE_H

#include <cstdint>

#include "handlers.h"
#include "threads.h"

constexpr int kMostInFlight = 64;

// Status codes of a check's last cycle.
enum ProbeStatus : uint8_t {
  kStatusGood = 1,
  kStatusNoReply = 241,
  kStatusPartialReply = 243,
  kStatusCantStart = 244,
  kStatusConnectTimeout = 245,
  kStatusNotQueued = 246,
};

struct ProbeEngine;

// A running engine over the handle's check and protocol lists, or null.
ProbeEngine *ProbeStart(LockedList *checks, LockedList *protocols);
// Stops both threads and frees the engine (null does nothing).
void ProbeStop(ProbeEngine *engine);
int ProbePendingCount(ProbeEngine *engine);
void ProbeSetCheckMode(ProbeEngine *engine);
// The engine's handler registry; changed only under the protocol list's
// lock, under which the engine reads it.
Collection *ProbeHandlers(ProbeEngine *engine);

#endif
