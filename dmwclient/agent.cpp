#include "agent.h"

#include "alclnt.h"
#include "classmgr.h"
#include "csched.h"
#include "dmwclnt.h"
#include "evclnt.h"
#include "globals.h"
#include "replictr.h"
#include "tmpmgr.h"
#include "os.h"

namespace {

constexpr uint32_t kProbePollMs = 100;

}  // namespace

extern "C" {

void DMW_STDCALL InitAgent(const char *baseDir, const char *computerName,
                           const char *agentTypeName) {
  // The settings come first: every module reads them. A module that fails
  // to come up has logged why and stays inert; the others still start.
  LoadGlobals(baseDir, computerName, agentTypeName);
  ClassMgrInit();
  TmpMgrInit();
  ConnTableInit();
  SchedulerInit();
  EvClntInit();
  ReplicatorInit();
  AlerterInit();
}

int StartAgent(void) {
  _msg("Dunmorrow Agent:  %s\n", TextOrEmpty(Globals().computerName));
  _msg("Dunmorrow Server: %s\n", TextOrEmpty(Globals().server));
  os::SleepMs(1000);
  return EvClntStart();
}

void StopAgent(void) {
  // No thread may wait on the server: the sockets are shut first. The
  // threads that make requests stop before the connection table goes; the
  // scheduler's running objects are freed while the class manager is still
  // up; the settings go last.
  ShutAllConnections();
  ReplicatorDone();
  SchedulerStop();
  AlerterDone();
  ConnTableDone();
  EvClntDone();
  ClassMgrDone();
  TmpMgrDone();
  FreeGlobals();
}

void NotifyProbes(void) {
  if (Globals().probesLoaded.load() == 0) return;
  NotifyComponents(-1, -1);
  while (Globals().probesLoaded.load() != 0) os::SleepMs(kProbePollMs);
}

int DMW_STDCALL SetProbesLoaded(int count) {
  Globals().probesLoaded += count;
  return count;
}

void DMW_STDCALL DispMsg(int level, const char *text) { _DebugOut(level, "%s", TextOrEmpty(text)); }

// A client has no agent threads but the event listener; the settings stay
// after the stop.
void _StartClient(const char *baseDir, const char *name) {
  InitClientGlobals(baseDir, name);
  ClassMgrInit();
  ConnTableInit();
  TmpMgrInit();
  EvClntInit();
}

void _StopClient(void) {
  EvClntDone();
  TmpMgrDone();
  ConnTableDone();
  ClassMgrDone();
}

DisplayHook _HookDisplay(DisplayHook hook) {
  LogSetHook(hook);
  return hook;
}

}  // extern "C"
