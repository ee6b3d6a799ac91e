#include <windows.h>

#include "core/launcher.h"

namespace install {

namespace {

// The launch error code of the system's reason for a failed start.
int LaunchErrorCode(DWORD error) {
  if (error == ERROR_BAD_EXE_FORMAT) return 11;
  return error <= 31 ? static_cast<int>(error) : -1;
}

}  // namespace

void TProgramLauncher::Execute() {
  static const WORD kShowWindow[] = {SW_SHOWNORMAL, SW_SHOWMAXIMIZED, SW_SHOWMINIMIZED, SW_HIDE};
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_FORCEONFEEDBACK;
  startup.wShowWindow = kShowWindow[ShowMode() <= smHide ? ShowMode() : smNormal];
  std::string command_line = LauncherCommandLine(FileName(), Parameters());
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(FileName().c_str(), command_line.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS,
                      nullptr, nullptr, &startup, &process))
    RaiseLauncherError(LaunchErrorCode(GetLastError()));
  WaitForInputIdle(process.hProcess, INFINITE);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

}  // namespace install
