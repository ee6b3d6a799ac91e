// The run where there is no Windows: no system to restart, no command
// interpreter for a clean-up batch and no Windows programs to start.
#include "core/install.h"

namespace install {

bool SystemExitWindows(uint32_t, uint32_t) { return false; }

bool TCustomInstall::RequestReboot() { return false; }

void TCustomInstall::PrepareCleanupBatch() {}

void TCustomInstall::RunCleanupBatch() {}

void TCustomInstall::LaunchProgram(TProgramLauncher&) {
  RaiseLauncherError(10);  // "Incorrect version of windows"
}

}  // namespace install
