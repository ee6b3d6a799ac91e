#include "checks.h"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "text.h"

namespace {

std::atomic<int32_t> g_nextId{1289};

// A zeroed record with a fresh id, a copy of each text and no buffers.
CheckItem *NewRecord(const char *host, const char *protocol, const char *param) {
  auto *check = static_cast<CheckItem *>(std::calloc(1, sizeof(CheckItem)));
  if (!check) return nullptr;
  check->id = g_nextId.fetch_add(1);
  check->host = DupText(host);
  check->protocol = DupText(protocol);
  check->param = DupText(param);
  if (!check->host || !check->protocol || (param && !check->param)) {
    CheckFree(check);
    return nullptr;
  }
  return check;
}

}  // namespace

CheckItem *CheckNew(const char *host, const char *protocol, const char *param, int interval,
                    int timeout, int samples, bool keepData) {
  if (!host || !protocol) return nullptr;
  CheckItem *check = NewRecord(host, protocol, param);
  if (!check) return nullptr;
  check->enabled = 1;
  check->average = -1;
  check->loss = 100;
  check->interval = interval;
  check->timeout = timeout;
  check->samples = samples < 1 ? 1 : samples;
  check->sampleBuffer = static_cast<int32_t *>(std::calloc(static_cast<size_t>(check->samples),
                                                          sizeof(int32_t)));
  if (keepData) check->replies = LockedListCreate(1, 1, nullptr);
  if (!check->sampleBuffer || (keepData && !check->replies)) {
    CheckFree(check);
    return nullptr;
  }
  return check;
}

void CheckFree(void *item) {
  auto *check = static_cast<CheckItem *>(item);
  if (!check) return;
  std::free(check->host);
  std::free(check->protocol);
  std::free(check->param);
  std::free(check->sampleBuffer);
  LockedListFree(check->replies);
  _Co_Free(check->heldWrites);
  std::free(check);
}

CheckItem *CheckCopy(const CheckItem *check) {
  CheckItem *copy = NewRecord(check->host, check->protocol, check->param);
  if (!copy) return nullptr;
  copy->id = check->id;
  copy->enabled = check->enabled;
  copy->interval = check->interval;
  copy->timeout = check->timeout;
  copy->samples = check->samples;
  copy->loss = check->loss;
  copy->lastCompletion = check->lastCompletion;
  copy->lastGood = check->lastGood;
  copy->sampleIndex = check->sampleIndex;
  return copy;
}

bool CheckResize(CheckItem *check, int samples) {
  if (samples < 1) samples = 1;
  if (samples == check->samples) return true;
  auto *buffer = static_cast<int32_t *>(std::calloc(static_cast<size_t>(samples), sizeof(int32_t)));
  if (!buffer) return false;
  std::free(check->sampleBuffer);
  check->sampleBuffer = buffer;
  check->samples = samples;
  return true;
}

CheckItem *CheckFind(Collection *checks, int32_t id) {
  if (!checks) return nullptr;
  for (int i = 0; i < checks->Count; ++i) {
    auto *check = static_cast<CheckItem *>(_Co_Get(checks, i));
    if (check && check->id == id) return check;
  }
  return nullptr;
}

namespace {

// A write of the reply list kept until the list is free.
struct HeldWrite {
  ReplyWriter writer;
  int length;
  unsigned char data[1];  // `length` bytes
};

void MakeHeldWrites(CheckItem *check, Collection *replies) {
  if (!check->heldWrites) return;
  for (int i = 0; i < check->heldWrites->Count; ++i) {
    auto *held = static_cast<HeldWrite *>(_Co_Get(check->heldWrites, i));
    held->writer(check, replies, held->data, held->length);
  }
  _Co_Clear(check->heldWrites);
}

// Keeps a copy of the write; a write that runs out of memory is lost, as a
// reply that finds no memory in the list is.
void HoldWrite(CheckItem *check, ReplyWriter writer, const unsigned char *data, int length) {
  if (!check->heldWrites) check->heldWrites = _Co_Create(2, 2, nullptr);
  auto *held = static_cast<HeldWrite *>(
      std::malloc(offsetof(HeldWrite, data) + static_cast<size_t>(length > 0 ? length : 1)));
  if (!check->heldWrites || !held) {
    std::free(held);
    return;
  }
  held->writer = writer;
  held->length = length;
  if (length > 0) std::memcpy(held->data, data, static_cast<size_t>(length));
  _Co_Add(check->heldWrites, held);  // a refused add frees the copy
}

void ReplaceReplies(CheckItem *, Collection *replies, const unsigned char *data, int length) {
  _Co_Clear(replies);
  // A zero after the bytes keeps text readers of the list within the item.
  auto *item = static_cast<unsigned char *>(std::calloc(5 + static_cast<size_t>(length), 1));
  if (!item) return;
  uint32_t count = static_cast<uint32_t>(length);
  for (int i = 0; i < 4; ++i) item[i] = static_cast<unsigned char>(count >> (8 * i));
  std::memcpy(item + 4, data, static_cast<size_t>(length));
  _Co_Add(replies, item);
}

}  // namespace

void CheckWriteReplies(CheckItem *check, ReplyWriter writer, const unsigned char *data,
                       int length) {
  if (!check->replies) return;
  if (Collection *replies = LockedListTryLock(check->replies)) {
    MakeHeldWrites(check, replies);
    writer(check, replies, data, length);
    LockedListUnlock(check->replies);
    return;
  }
  HoldWrite(check, writer, data, length);
}

void CheckStoreReply(CheckItem *check, const unsigned char *data, int length) {
  if (!check->replies || length <= 0 || !data) return;
  if (check->heldWrites) _Co_Clear(check->heldWrites);  // the list is replaced whole
  CheckWriteReplies(check, ReplaceReplies, data, length);
}

void CheckFlushReplies(CheckItem *check) {
  if (!check->replies || !check->heldWrites || check->heldWrites->Count == 0) return;
  if (Collection *replies = LockedListTryLock(check->replies)) {
    MakeHeldWrites(check, replies);
    LockedListUnlock(check->replies);
  }
}

// Ends the cycle whose samples sit in the first `written` buffer entries.
static void EndCycle(CheckItem *check, int written, uint32_t tick, uint8_t status, bool checkMode) {
  int good = 0;
  int64_t sum = 0;
  for (int i = 0; i < written; ++i) {
    if (check->sampleBuffer[i] == -1) continue;
    ++good;
    sum += check->sampleBuffer[i];
  }
  check->average = good ? static_cast<int32_t>(sum / good) : -1;
  check->loss = static_cast<int8_t>(100 - good * 100 / written);
  check->sampleIndex = 0;
  check->lastCompletion = tick ? tick : 1;  // 0 means never
  check->status = (checkMode || good == 0) ? status : 1;
}

void CheckRecordSample(CheckItem *check, int ms, uint32_t tick, uint8_t status,
                       const unsigned char *data, int length, bool checkMode) {
  // An index left beyond a buffer that has since shrunk starts a new cycle.
  if (check->sampleIndex < 0 || check->sampleIndex >= check->samples) check->sampleIndex = 0;
  int slot = check->sampleIndex;
  check->sampleBuffer[slot] = ms;
  ++check->total;
  ++check->sampleIndex;
  if (ms != -1) {
    check->lastGood = check->startTime;
    ++check->good;
    check->status = 1;
    if (check->replies && EqualNoCase(check->protocol, "SNMP"))
      check->sampleIndex = check->samples + 1;
    CheckStoreReply(check, data, length);
  } else if (checkMode && status == 243) {
    CheckStoreReply(check, data, length);
  }
  if (checkMode && check->good > 0) check->sampleIndex = check->samples;
  if (check->sampleIndex >= check->samples) EndCycle(check, slot + 1, tick, status, checkMode);
}
