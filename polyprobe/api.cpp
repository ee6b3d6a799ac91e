// The exported C interface over the check list, the protocol list and the
// probe engine of each handle.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#include "checks.h"
#include "engine.h"
#include "log.h"
#include "os.h"
#include "ping.h"
#include "polyprobe.h"
#include "protocols.h"
#include "resolver.h"
#include "snmp.h"
#include "text.h"

#if defined(_WIN32) && !defined(_WIN64)
// The host reads results by these offsets.
static_assert(sizeof(CheckResult) == 36, "CheckResult is 36 bytes");
static_assert(offsetof(CheckResult, replies) == 24, "reply list at 24");
static_assert(offsetof(CheckResult, enabled) == 28, "enabled at 28");
static_assert(offsetof(CheckResult, status) == 29, "status at 29");
static_assert(offsetof(CheckResult, textFlag) == 30, "text flag at 30");
static_assert(offsetof(CheckResult, samples) == 32, "samples at 32");
#endif

struct MonitorHandle {
  LockedList *checks;
  ProbeEngine *engine;
  LockedList *protocols;
  int snmp;  // nonzero: the built-in SNMP GET handler is registered at each load
};

namespace {

constexpr int kCheckListCapacity = 10;
constexpr int kCheckListStep = 10;
constexpr int kMinimumInterval = 1000;
constexpr int kDefaultTimeout = 250;
constexpr int kSnmpSamples = 5;
constexpr int kResolverCacheSize = 100;
constexpr int kResolverWorkers = 3;

// Runs `change` on the check of that id under the check list's lock.
template <typename Change>
void WithCheck(MonitorHandle *handle, int id, Change change) {
  if (!handle) return;
  ListGuard guard(handle->checks);
  if (CheckItem *check = CheckFind(guard.items, id)) change(check);
}

// Runs `use` on the protocol record at `index` under the list's lock.
template <typename Use>
void WithProtocolAt(MonitorHandle *handle, int index, Use use) {
  if (!handle) return;
  ListGuard guard(handle->protocols);
  auto *desc = static_cast<ProtocolDesc *>(_Co_Get(guard.items, index));
  if (desc) use(desc);
}

void CopyText(char *out, const char *text) {
  if (out && text) std::strcpy(out, text);
}

// The stored reply at `index` of a result's reply list (locked by the
// host), or null; the first byte of `out` is emptied first.
const unsigned char *ReplyAt(CheckResult *result, int index, char *out, size_t length) {
  if (!out || length == 0) return nullptr;
  out[0] = '\0';
  if (!result || !result->replies || index < 0) return nullptr;
  Collection *items = static_cast<LockedList *>(result->replies)->items;
  if (index >= items->Count) return nullptr;
  return static_cast<const unsigned char *>(_Co_Get(items, index));
}

}  // namespace

extern "C" {

void *_pqmModuleInit(void) {
  ThreadTableInit();
  if (!ProcessResolver()) SetProcessResolver(ResolverCreate(kResolverCacheSize, kResolverWorkers));
  return ProcessResolver();
}

int _pqmModuleClose(void) {
  Resolver *resolver = ProcessResolver();
  SetProcessResolver(nullptr);
  ResolverFree(resolver);
  return ThreadTableDone();
}

PqmDisplayHook _pqmHookDisplay(PqmDisplayHook hook) {
  LogSetHook(hook);
  return hook;
}

MonitorHandle *_pqmInit(const char *descriptionPath, int snmp) {
  auto *handle = new (std::nothrow) MonitorHandle{};
  if (!handle) return nullptr;
  handle->snmp = snmp;
  handle->checks = LockedListCreate(kCheckListCapacity, kCheckListStep, CheckFree);
  handle->protocols = ProtocolListCreate(nullptr);
  if (handle->checks && handle->protocols)
    handle->engine = ProbeStart(handle->checks, handle->protocols);
  if (!handle->engine) {
    LockedListFree(handle->checks);
    ProtocolListFree(handle->protocols);
    delete handle;
    return nullptr;
  }
  _pqmLoadProtocolInfo(handle, descriptionPath);
  return handle;
}

int _pqmLoadProtocolInfo(MonitorHandle *handle, const char *descriptionPath) {
  if (!handle) return -1;
  // The built-in records replace descriptions of their names before the
  // engine sees the new list.
  ListGuard guard(handle->protocols);
  int loaded = ProtocolListLoad(handle->protocols, descriptionPath);
  Collection *handlers = ProbeHandlers(handle->engine);
  if (handle->snmp) SnmpRegister(handlers, handle->protocols);
  PingRegister(handlers, handle->protocols);
  return loaded;
}

void _pqmClose(MonitorHandle *handle) {
  if (!handle) return;
  ProbeStop(handle->engine);
  PingUnregister(nullptr, handle->protocols);
  if (handle->snmp) SnmpUnregister(nullptr, handle->protocols);
  LockedListFree(handle->checks);
  ProtocolListFree(handle->protocols);
  delete handle;
}

int _pqmProcessData(char *buffer, int length) {
  if (buffer && length > 0) ScrambleData(buffer, length);
  return 0;
}

int _pqmAddEx2(MonitorHandle *handle, const char *host, const char *protocol, const char *param,
               int interval, int timeout, int samples, int keepData) {
  if (!handle || !host || !protocol) return -1;
  if (param && !keepData && EqualNoCase(protocol, "SNMP")) samples = kSnmpSamples;
  CheckItem *check = CheckNew(host, protocol, param,
                              interval > kMinimumInterval ? interval : kMinimumInterval,
                              timeout > 0 ? timeout : kDefaultTimeout, samples, keepData != 0);
  if (!check) return -1;
  int id = check->id;
  ListGuard guard(handle->checks);
  // A refused add has released the check.
  if (!guard.items || _Co_Add(guard.items, check) < 0) return -1;
  return id;
}

int _pqmAddEx(MonitorHandle *handle, const char *host, const char *protocol, const char *param,
              int interval, int timeout, int samples) {
  const char *const keepDataMark = reinterpret_cast<const char *>(-1);
  if (param == keepDataMark) return _pqmAddEx2(handle, host, protocol, nullptr, interval, timeout, samples, 1);
  return _pqmAddEx2(handle, host, protocol, param, interval, timeout, samples, 0);
}

int _pqmAdd(MonitorHandle *handle, const char *host, const char *protocol, int interval,
            int timeout, int samples) {
  return _pqmAddEx(handle, host, protocol, nullptr, interval, timeout, samples);
}

void _pqmSet(MonitorHandle *handle, int id, int interval, int timeout, int samples) {
  WithCheck(handle, id, [=](CheckItem *check) {
    check->interval = interval;
    check->timeout = timeout;
    CheckResize(check, samples);
  });
}

void _pqmEnable(MonitorHandle *handle, int id, int enabled) {
  WithCheck(handle, id, [=](CheckItem *check) { check->enabled = static_cast<uint8_t>(enabled); });
}

void _pqmCheckNow(MonitorHandle *handle, int id) {
  WithCheck(handle, id, [](CheckItem *check) {
    check->checkNow = 1;
    check->sampleIndex = 0;
  });
}

void _pqmSetParam(MonitorHandle *handle, int id, const char *param) {
  WithCheck(handle, id, [=](CheckItem *check) {
    char *copy = DupText(param);
    if (param && !copy) return;  // out of memory: the old parameter stays
    std::free(check->param);
    check->param = copy;
  });
}

// Deleted and cleared checks are taken out under the check list's lock and
// freed after it is released: a host thread holding a check's replies may
// wait for the check list meanwhile.
void _pqmDelete(MonitorHandle *handle, int id) {
  if (!handle) return;
  CheckItem *check;
  {
    ListGuard guard(handle->checks);
    check = CheckFind(guard.items, id);
    if (check) _Co_RemoveItem(guard.items, _Co_FindItem(guard.items, check));
  }
  CheckFree(check);
}

void _pqmClear(MonitorHandle *handle) {
  if (!handle) return;
  Collection *taken = _Co_Create(kCheckListCapacity, kCheckListStep, CheckFree);
  if (!taken) return;  // out of memory: the checks stay
  {
    ListGuard guard(handle->checks);
    if (guard.items) std::swap(*guard.items, *taken);
  }
  _Co_Free(taken);
}

void _pqmSetCheckMode(MonitorHandle *handle) {
  if (handle) ProbeSetCheckMode(handle->engine);
}

void _pqmGetInfo(MonitorHandle *handle, int *inFlight) {
  if (handle && inFlight) *inFlight = ProbePendingCount(handle->engine);
}

int _pqmGet(MonitorHandle *handle, int id, CheckResult *out) {
  if (!handle || !out) return 0;
  ListGuard guard(handle->checks);
  CheckItem *check = CheckFind(guard.items, id);
  if (!check) return 0;
  out->average = check->average;
  out->loss = check->loss;
  out->total = check->total;
  out->good = check->good;
  out->startTime = check->startTime;
  out->lastGood = check->lastGood;
  out->replies = check->replies;
  out->enabled = check->enabled;
  out->status = check->status;
  out->samples = check->samples;
  if (check->replies) {
    ListGuard protocols(handle->protocols);
    ProtocolDesc *desc = ProtocolFind(handle->protocols, check->protocol);
    out->textFlag = desc ? desc->textFlag : 0;
  }
  return 1;
}

// The host's bracket holds the reply list: a check deleted or cleared
// meanwhile (on any thread, the host's own too), or a closed handle, leaves
// its reply list to be freed when the bracket ends.
int _pqmLockResult(CheckResult *result) {
  if (!result || !result->replies) return -1;
  Collection *items = LockedListHold(static_cast<LockedList *>(result->replies));
  return items ? items->Count : -1;
}

void _pqmGetResultData(CheckResult *result, int index, char *out, int length) {
  if (length <= 0) return;
  const unsigned char *reply = ReplyAt(result, index, out, static_cast<size_t>(length));
  if (!reply) return;
  // A data entry starts with its byte count, but a text entry (SNMP GET)
  // starts with text: the entry's block bounds what may be read.
  size_t stored = os::AllocationSize(reply);
  if (stored >= 4) {
    uint32_t count = static_cast<uint32_t>(reply[0]) | static_cast<uint32_t>(reply[1]) << 8 |
                     static_cast<uint32_t>(reply[2]) << 16 | static_cast<uint32_t>(reply[3]) << 24;
    stored = std::min(stored, 4 + static_cast<size_t>(count));
  }
  std::memcpy(out, reply, std::min(stored, static_cast<size_t>(length)));
}

void _pqmGetResultStr(CheckResult *result, int index, char *out, unsigned length) {
  const unsigned char *reply = ReplyAt(result, index, out, length);
  if (!reply) return;
  const char *text = reinterpret_cast<const char *>(reply);
  size_t size = std::strlen(text);
  if (size < length) std::memcpy(out, text, size + 1);
}

void _pqmUnlockResult(CheckResult *result) {
  if (result && result->replies) LockedListLetGo(static_cast<LockedList *>(result->replies));
}

int _pqmProtocolCount(MonitorHandle *handle) {
  if (!handle) return 0;
  ListGuard guard(handle->protocols);
  return guard.items ? guard.items->Count : 0;
}

void _pqmProtocolInfo2(MonitorHandle *handle, int index, char *name, char *transport, char *info,
                       int *port) {
  if (name) name[0] = '\0';
  if (info) info[0] = '\0';
  WithProtocolAt(handle, index, [=](ProtocolDesc *desc) {
    CopyText(name, desc->name);
    CopyText(info, desc->info);
    if (transport) *transport = static_cast<char>(desc->transport);
    if (port) *port = desc->port;
  });
}

void _pqmProtocolInfo(MonitorHandle *handle, int index, char *name, char *transport, char *info) {
  _pqmProtocolInfo2(handle, index, name, transport, info, nullptr);
}

void _pqmProtocolDesc(MonitorHandle *handle, const char *protocol, char *info) {
  if (!info) return;
  info[0] = '\0';
  if (!handle) return;
  ListGuard guard(handle->protocols);
  ProtocolDesc *desc = ProtocolFind(handle->protocols, protocol);
  if (desc) CopyText(info, desc->info);
}

}  // extern "C"
