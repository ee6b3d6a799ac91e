// Agent and client entry points: how the host brings the library up and
// down.
//
// Agent mode: InitAgent loads dmwagent.cfg, sets up the class manager, the
// temporary-file manager and the connection table, starts the scheduler
// and the event listener, registers the trend replicator and starts the
// alerter; StartAgent announces the agent and starts registering the
// host's components with the server; StopAgent stops the replicator, the
// scheduler and the alerter, closes every connection, stops the event client, frees the
// local objects and the settings. Client mode: _StartClient derives the
// settings from the base directory, sets up the class manager, the
// connection table and the temporary-file manager and starts the event
// listener; _StopClient takes them down (the settings stay until the next
// start or unload). Either cycle may
// run again in the same process. InitAgent, SetProbesLoaded and DispMsg
// use the stdcall convention and are exported without a leading
// underscore; the others are C calls.
#ifndef DMWCLIENT_AGENT_H
#define DMWCLIENT_AGENT_H

#include "export.h"
#include "log.h"

#ifdef _WIN32
#define DMW_STDCALL __stdcall
#else
#define DMW_STDCALL
#endif

extern "C" {

NETMON_EXPORT void DMW_STDCALL InitAgent(const char *baseDir, const char *computerName,
                                         const char *agentTypeName);
// Announces the agent and server, then starts the registration thread:
// 1 when it runs, -1 when it could not start, 0 without an event client.
NETMON_EXPORT int StartAgent(void);
NETMON_EXPORT void StopAgent(void);
// When probes are loaded, calls every registered event callback with code
// 0, then waits (polling every 100 ms) until the host's probes have lowered
// the probes-loaded counter to 0.
NETMON_EXPORT void NotifyProbes(void);
// Adds count (which may be negative) to the probes-loaded counter.
NETMON_EXPORT int DMW_STDCALL SetProbesLoaded(int count);
// Shows the host's text as a debug line of that level (never as a format).
NETMON_EXPORT void DMW_STDCALL DispMsg(int level, const char *text);

NETMON_EXPORT void _StartClient(const char *baseDir, const char *name);
NETMON_EXPORT void _StopClient(void);
// Stores the process-wide display hook (null removes it); returns it.
NETMON_EXPORT DisplayHook _HookDisplay(DisplayHook hook);

}  // extern "C"

#endif
