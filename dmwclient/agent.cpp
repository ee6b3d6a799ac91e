#include "agent.h"

#include "dmwclnt.h"
#include "evclnt.h"
#include "globals.h"
#include "tmpmgr.h"
#include "os.h"

namespace {

constexpr uint32_t kProbePollMs = 100;

}  // namespace

extern "C" {

void DMW_STDCALL InitAgent(const char *baseDir, const char *computerName,
                           const char *agentTypeName) {
  // The settings come first: every module reads them. The class manager
  // comes up between the settings and the temporary-file manager; the
  // scheduler between the table and the event client; the replicator and
  // the alerter after it, in that order.
  LoadGlobals(baseDir, computerName, agentTypeName);
  TmpMgrInit();
  ConnTableInit();
  EvClntInit();
}

int StartAgent(void) {
  _msg("Dunmorrow Agent:  %s\n", TextOrEmpty(Globals().computerName));
  _msg("Dunmorrow Server: %s\n", TextOrEmpty(Globals().server));
  os::SleepMs(1000);
  return EvClntStart();
}

void StopAgent(void) {
  // The replicator, the scheduler and the alerter go down before the
  // connection table; the class manager between the event client and the
  // temporary-file manager; the settings last.
  ConnTableDone();
  EvClntDone();
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

// A client has no agent threads but the event listener: besides the
// connection table, the temporary-file manager and the event client it
// brings up the class manager (before the table), and takes them down in
// the reverse order.
void _StartClient(const char *baseDir, const char *name) {
  InitClientGlobals(baseDir, name);
  ConnTableInit();
  TmpMgrInit();
  EvClntInit();
}

void _StopClient(void) {
  EvClntDone();
  TmpMgrDone();
  ConnTableDone();
}

DisplayHook _HookDisplay(DisplayHook hook) {
  LogSetHook(hook);
  return hook;
}

}  // extern "C"
