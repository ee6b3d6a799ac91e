// Alerter: the host reports alerts (a non-zero type and a block of data)
// with _SendEvent; they wait in memory and a thread of their own delivers
// them to the trend server in arrival order as alert requests, over one
// connection that stays open while alerts keep coming and is closed after
// WaitBeforeSend seconds of quiet.
//
// The queue holds at most MaxAlertsMem bytes (each alert counts its length
// plus 16); the test comes before an alert is counted, so the queue may
// pass the budget by one alert. An alert that failed to go out stays first
// and is sent again after RetryDelay seconds, as after a server that can't
// be reached or refused the agent.
//
// alerter.cfg in CFGPath sets WaitBeforeSend (seconds, at least 1; 5) and
// MaxAlertsMem (bytes, at least 4096; 65536). The alerter registers as the
// event component "alerter" and fetches that file when the registration
// asks for it. AlerterDone stops the thread (shutting its connection, so
// that it can't wait on the server) and drops what is still queued.
// Messages start with "alclnt:", the thread's own with "Alerter".
#ifndef DMWCLIENT_ALCLNT_H
#define DMWCLIENT_ALCLNT_H

#include "export.h"

int AlerterInit();  // 0, or -1 when a semaphore, the queue or the thread fails
void AlerterDone();
// The "alerter" component's event callback (evclnt.h).
void AlerterConfigEvent(int code, void *data, int slot);

extern "C" {
// Queues an alert: 0, or -1 when the alerter is not set up, the budget is
// spent, the type is 0, the data are null, the length is negative or more
// than one request carries, or memory runs out.
NETMON_EXPORT int _SendEvent(int type, const void *data, int length);
}

#endif
