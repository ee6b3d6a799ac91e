// The run's dealings with Windows: the restart of the system, the batch
// that removes the installer after it has ended, and starting programs.
#include <windows.h>

#include "core/exceptions.h"
#include "core/install.h"
#include "items/installfile.h"
#include "paths/osroutines.h"

namespace install {

using namespace forms;

namespace {

// Whether this code runs inside a library rather than the program itself.
bool RunsInsideALibrary() {
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&RunsInsideALibrary), &module);
  return module != GetModuleHandleA(nullptr);
}

// The shutdown privilege for this process, which the NT family requires
// of a program that restarts the system.
bool EnableShutdownPrivilege() {
  HANDLE token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return false;
  TOKEN_PRIVILEGES privileges{};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  bool enabled = LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid) &&
                 AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr) &&
                 GetLastError() == ERROR_SUCCESS;
  CloseHandle(token);
  return enabled;
}

}  // namespace

bool SystemExitWindows(uint32_t flags, uint32_t reason) { return ExitWindowsEx(flags, reason) != 0; }

bool TCustomInstall::RequestReboot() {
  switch (GetOSVersion()) {
    case oswin95:
    case oswin98:
    case oswinME:
      return ExitWindowsRequest(EWX_REBOOT, 0);
    case oswinNT:
    case oswin2K:
    case oswinXP:
      return EnableShutdownPrivilege() && ExitWindowsRequest(EWX_REBOOT, 0);
    default:
      return false;
  }
}

void TCustomInstall::PrepareCleanupBatch() {
  if (RunsInsideALibrary()) return;
  std::string batch = ChangeFileExt(GetTempBatchFileName(false), ".bat");
  std::string program = ProgramFileName();
  std::string folder = BatchArgument(RemoveTrailingBackslash(ExtractFileDir(program)));
  // DELTREE is the 9x family's; the NT family's interpreter has none and
  // removes the folder with RMDIR /S (which the 9x family refuses).
  TStringList lines{"ERASE " + BatchArgument(program), "DELTREE /Y " + folder, "RMDIR /S /Q " + folder,
                    "ERASE " + BatchArgument(ChangeFileExt(batch, ".PIF")), "ERASE " + BatchArgument(batch)};
  if (!SaveTextFile(batch, lines.Text())) return;
  batch_file_ = batch;
  batch_prepared_ = true;
}

void TCustomInstall::RunCleanupBatch() {
  auto* launcher = New<TProgramLauncher>(nullptr);
  launcher->SetFileName(batch_file_);
  launcher->SetShowMode(smHide);
  try {
    launcher->Execute();
  } catch (const EProgramLauncherFailed&) {
    // The program is ending: its files stay where the batch cannot run.
  }
  Free(launcher);
}

void TCustomInstall::LaunchProgram(TProgramLauncher& launcher) { launcher.Execute(); }

}  // namespace install
