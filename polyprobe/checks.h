// Checks: one record per service check a host added (host, protocol,
// interval, timeout, samples per cycle), with its cycle's sample buffer,
// its statistics and, when it keeps reply data, its reply list. Ids come
// from one process-wide counter starting at 1289, also taken by the
// engine's working copies.
#ifndef POLYPROBE_CHECKS_H
#define POLYPROBE_CHECKS_H

#include <cstdint>

#include "threads.h"

struct CheckItem {
  int32_t id;
  uint8_t enabled;
  uint8_t checkNow;
  char *host;
  char *protocol;
  char *param;
  int32_t average;  // ms, -1 none
  int8_t loss;      // percent
  uint32_t lastCompletion;  // tick; 0 never
  int32_t startTime;  // seconds, of the latest request
  int32_t lastGood;   // seconds, start of the latest good request; 0 never
  int32_t total;
  int32_t good;
  int32_t interval;
  int32_t timeout;
  int32_t samples;
  int32_t sampleIndex;
  int32_t *sampleBuffer;  // `samples` entries; -1 a failed sample
  uint8_t status;
  // Null unless the check keeps reply data; a host's bracket on it
  // (_pqmLockResult) keeps it past the check until the bracket ends.
  LockedList *replies;
  Collection *heldWrites;  // of the reply list, waiting for its lock; null when none
};

// A check with a fresh id; null when it can't be made. `samples` below 1
// counts as 1.
CheckItem *CheckNew(const char *host, const char *protocol, const char *param, int interval,
                    int timeout, int samples, bool keepData);
void CheckFree(void *check);
// A working copy (a new id); null when out of memory.
CheckItem *CheckCopy(const CheckItem *check);
// Replaces the sample buffer when `samples` differs; false when no new
// buffer could be made (nothing changes then).
bool CheckResize(CheckItem *check, int samples);
// The check of that id in a locked check collection, or null.
CheckItem *CheckFind(Collection *checks, int32_t id);
// Writes into a check's reply list. They are made on the engine's threads,
// which hold the pending and check lists meanwhile, while a host holding
// the reply list (between _pqmLockResult and _pqmUnlockResult) may wait for
// those: so a writer never waits for the reply list. When another thread
// holds it, the write is kept with the check and made, in order, by a later
// CheckFlushReplies once the list is free. The caller holds the check
// list's lock.
//
// A writer changes the unlocked list from a copy of the reply bytes.
using ReplyWriter = void (*)(CheckItem *check, Collection *replies, const unsigned char *data,
                             int length);
void CheckWriteReplies(CheckItem *check, ReplyWriter writer, const unsigned char *data,
                       int length);
// Stores `length` bytes as the check's only reply (count, then bytes); a
// kept write that it replaces is dropped.
void CheckStoreReply(CheckItem *check, const unsigned char *data, int length);
// Makes the kept writes when the reply list is free.
void CheckFlushReplies(CheckItem *check);

// One request's outcome: `ms` -1 for a failure. `tick` is when the request
// started. The cycle ends when its samples are in (or, in check mode, at a
// good one); its average and loss count only the samples it wrote.
void CheckRecordSample(CheckItem *check, int ms, uint32_t tick, uint8_t status,
                       const unsigned char *data, int length, bool checkMode);

#endif
