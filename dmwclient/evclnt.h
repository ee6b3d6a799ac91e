// Event client: the host's components (and the library's own modules)
// register under a name with a callback; the trend server learns of each
// name through a register request and delivers events for it to a TCP
// listener on a port the system chooses.
//
// Two threads: the listen thread (agent and client mode) accepts one event
// connection at a time and hands each event to the first registration of
// its name (code 1); the registration thread (agent mode, from StartAgent)
// connects as an agent and registers every name, then again every hour,
// after each new registration and after a "CfgRefresh" event. Callbacks of
// code 2 run on the registration thread with the registrations locked, so
// they must not register or unregister; callbacks of codes 0 and 1 run
// outside that lock. EvClntDone returns within about a second whatever the
// threads were doing (an idle event connection is shut). Messages start
// with "evclnt:".
#ifndef DMWCLIENT_EVCLNT_H
#define DMWCLIENT_EVCLNT_H

#include "export.h"

// code 0: NotifyProbes, data points to an int -1, slot 0;
// code 1: an event arrived, data points to its payload (valid during the
//         call), slot -1;
// code 2: registered with the server, data points to the int status of the
//         register request, slot is the open connection's.
typedef void (*EventCallback)(int code, void *data, int slot);

enum { EVENT_PACKET_MAX = 2048 };  // an event packet is shorter than this

int EvClntInit();   // registrations and the listen thread; 0, or -1
int EvClntStart();  // the registration thread: 1 started, -1 failed, 0 not set up
void EvClntDone();  // stops both threads, frees the registrations
// Calls every registration's callback (index 0 or less), or only the one
// in slot `index`, with code 0, the address of `argument` and slot 0.
void NotifyComponents(int index, int argument);

extern "C" {
// The registration's handle (its slot plus one); 0 when the list refused
// it, -1 when the event client is not set up or memory runs out.
NETMON_EXPORT int _DMWRegisterForEvent(const char *name, EventCallback callback);
NETMON_EXPORT void _DMWUnregisterEvent(int handle);
}

#endif
