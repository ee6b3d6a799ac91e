#include "testing/child_process.h"

#include <windows.h>

#include <cstring>
#include <string>

namespace install_test {

int RunProgram(const std::string& command_line, std::string& output) {
  output.clear();
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE read_end, write_end;
  if (!CreatePipe(&read_end, &write_end, &inherit, 0)) return -1;
  SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = write_end;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION process{};
  std::string command = command_line;
  BOOL started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                                &process);
  CloseHandle(write_end);
  if (!started) {
    CloseHandle(read_end);
    return -1;
  }
  char buffer[4096];
  DWORD got;
  while (ReadFile(read_end, buffer, sizeof buffer, &got, nullptr) && got > 0) output.append(buffer, got);
  CloseHandle(read_end);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(code);
}

std::string BesideThisProgram(const std::string& name) {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string self(path, length);
  return self.substr(0, self.find_last_of('\\') + 1) + name;
}

namespace {

// Sets or (for nullptr) removes the version Wine presents to the program.
void PresentVersion(const std::string& program, const char* version) {
  std::string key = "Software\\Wine\\AppDefaults\\" + program;
  RegDeleteKeyA(HKEY_CURRENT_USER, key.c_str());
  if (!version) return;
  HKEY opened;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &opened, nullptr) !=
      ERROR_SUCCESS)
    return;
  RegSetValueExA(opened, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                 static_cast<DWORD>(strlen(version) + 1));
  RegCloseKey(opened);
}

}  // namespace

int RunProbeUnder(const char* version, const std::string& arguments, std::string& output) {
  // A copy named after this process: tests running side by side each set
  // the version of their own program.
  std::string program = "install_os_probe_" + std::to_string(GetCurrentProcessId()) + ".exe";
  std::string copy = BesideThisProgram(program);
  if (!CopyFileA(BesideThisProgram("install_os_probe.exe").c_str(), copy.c_str(), FALSE)) return -1;
  PresentVersion(program, version);
  int code = RunProgram("\"" + copy + "\" " + arguments, output);
  PresentVersion(program, nullptr);
  DeleteFileA(copy.c_str());
  return code;
}

}  // namespace install_test
