/* polyprobe: the service monitor library's C interface.
 *
 * A host calls _pqmModuleInit once, opens monitor handles with _pqmInit
 * (each loads a protocol description file and runs its own probe threads),
 * adds checks (host, protocol, interval, timeout, samples per cycle) and
 * reads back each check's status, response time and loss with _pqmGet.
 * Handles belong to the library until _pqmClose; the reply list a result
 * points to is read only between _pqmLockResult and _pqmUnlockResult, on
 * one thread; that thread may call the other exports meanwhile, and replies
 * that arrive then are stored once it unlocks. Every export may be called
 * from any thread. */
#ifndef POLYPROBE_POLYPROBE_H
#define POLYPROBE_POLYPROBE_H

#include <stdint.h>

#include "export.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct MonitorHandle MonitorHandle;
typedef void (*PqmDisplayHook)(int level, const char *text);

/* Status of a check's last cycle. */
enum {
  PQM_STATUS_NONE = 0,           /* no cycle finished yet */
  PQM_STATUS_GOOD = 1,           /* at least one good sample */
  PQM_STATUS_NO_REPLY = 241,     /* timed out after connecting or sending, or closed without data */
  PQM_STATUS_PARTIAL = 243,      /* data came, but no accepted reply */
  PQM_STATUS_CANT_START = 244,   /* no socket, unresolvable host, or connect failed at once */
  PQM_STATUS_CONNECTING = 245,   /* timed out while the TCP connect was under way */
  PQM_STATUS_NOT_QUEUED = 246    /* no room for the request */
};

/* Filled by _pqmGet; 36 bytes in the 32-bit library. */
typedef struct CheckResult {
  int32_t average;   /* ms of the last cycle, -1 none */
  int32_t loss;      /* percent */
  int32_t total;     /* samples since the check was added */
  int32_t good;
  int32_t startTime; /* seconds, of the latest request */
  int32_t lastGood;  /* seconds, of the latest good request; 0 never */
  void *replies;     /* the check's reply list, null when it keeps none */
  uint8_t enabled;
  uint8_t status;
  uint8_t textFlag;  /* written only with a reply list */
  uint8_t padding;
  int32_t samples;
} CheckResult;

NETMON_EXPORT void *_pqmModuleInit(void);
NETMON_EXPORT int _pqmModuleClose(void);
NETMON_EXPORT PqmDisplayHook _pqmHookDisplay(PqmDisplayHook hook);
NETMON_EXPORT MonitorHandle *_pqmInit(const char *descriptionPath, int snmp);
/* The number of descriptions loaded, or -1 when the file could not be read
 * or holds no description list (also logged as an error). */
NETMON_EXPORT int _pqmLoadProtocolInfo(MonitorHandle *handle, const char *descriptionPath);
NETMON_EXPORT void _pqmClose(MonitorHandle *handle);
NETMON_EXPORT int _pqmProcessData(char *buffer, int length);

NETMON_EXPORT int _pqmAddEx2(MonitorHandle *handle, const char *host, const char *protocol,
                             const char *param, int interval, int timeout, int samples,
                             int keepData);
NETMON_EXPORT int _pqmAddEx(MonitorHandle *handle, const char *host, const char *protocol,
                            const char *param, int interval, int timeout, int samples);
NETMON_EXPORT int _pqmAdd(MonitorHandle *handle, const char *host, const char *protocol,
                          int interval, int timeout, int samples);
NETMON_EXPORT void _pqmSet(MonitorHandle *handle, int id, int interval, int timeout, int samples);
NETMON_EXPORT void _pqmEnable(MonitorHandle *handle, int id, int enabled);
NETMON_EXPORT void _pqmCheckNow(MonitorHandle *handle, int id);
NETMON_EXPORT void _pqmSetParam(MonitorHandle *handle, int id, const char *param);
NETMON_EXPORT void _pqmDelete(MonitorHandle *handle, int id);
NETMON_EXPORT void _pqmClear(MonitorHandle *handle);
NETMON_EXPORT void _pqmSetCheckMode(MonitorHandle *handle);
NETMON_EXPORT void _pqmGetInfo(MonitorHandle *handle, int *inFlight);

NETMON_EXPORT int _pqmGet(MonitorHandle *handle, int id, CheckResult *out);
NETMON_EXPORT int _pqmLockResult(CheckResult *result);
NETMON_EXPORT void _pqmGetResultData(CheckResult *result, int index, char *out, int length);
NETMON_EXPORT void _pqmGetResultStr(CheckResult *result, int index, char *out, unsigned length);
NETMON_EXPORT void _pqmUnlockResult(CheckResult *result);

NETMON_EXPORT int _pqmProtocolCount(MonitorHandle *handle);
NETMON_EXPORT void _pqmProtocolInfo(MonitorHandle *handle, int index, char *name, char *transport,
                                    char *info);
NETMON_EXPORT void _pqmProtocolInfo2(MonitorHandle *handle, int index, char *name,
                                     char *transport, char *info, int *port);
NETMON_EXPORT void _pqmProtocolDesc(MonitorHandle *handle, const char *protocol, char *info);

#ifdef __cplusplus
}
#endif

#endif
