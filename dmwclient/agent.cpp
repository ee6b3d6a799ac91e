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
