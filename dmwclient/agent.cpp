#include "agent.h"

#include "dmwclnt.h"
#include "globals.h"
#include "os.h"

namespace {

constexpr uint32_t kProbePollMs = 100;

}  // namespace

extern "C" {

void DMW_STDCALL InitAgent(const char *baseDir, const char *computerName,
                           const char *agentTypeName) {
  // The settings come first: every module reads them. The class manager
  // and the temporary-file manager come up between the settings and the
  // connection table; the scheduler, the event client, the replicator and
  // the alerter follow the table, in that order, as each joins the library.
  LoadGlobals(baseDir, computerName, agentTypeName);
  ConnTableInit();
}

int StartAgent(void) {
  _msg("Dunmorrow Agent:  %s\n", TextOrEmpty(Globals().computerName));
  _msg("Dunmorrow Server: %s\n", TextOrEmpty(Globals().server));
  os::SleepMs(1000);
  return 0;
}

void StopAgent(void) {
  // The replicator, the scheduler and the alerter go down before the
  // connection table; the event client, the class manager and the
  // temporary-file manager after it; the settings last.
  ConnTableDone();
  FreeGlobals();
}

void NotifyProbes(void) {
  while (Globals().probesLoaded.load() != 0) os::SleepMs(kProbePollMs);
}

int DMW_STDCALL SetProbesLoaded(int count) {
  Globals().probesLoaded += count;
  return count;
}

void DMW_STDCALL DispMsg(int level, const char *text) { _DebugOut(level, "%s", TextOrEmpty(text)); }

// A client has no agent threads: besides the connection table it brings up
// only the class manager (before the table), the temporary-file manager and
// the event client (after it), and takes them down in the reverse order.
void _StartClient(const char *baseDir, const char *name) {
  InitClientGlobals(baseDir, name);
  ConnTableInit();
}

void _StopClient(void) { ConnTableDone(); }

DisplayHook _HookDisplay(DisplayHook hook) {
  LogSetHook(hook);
  return hook;
}

}  // extern "C"
