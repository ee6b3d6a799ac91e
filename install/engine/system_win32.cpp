// The running Windows: its version, language and folders.
#include <windows.h>

#include "exceptions.h"
#include "install.h"
#include "osroutines.h"
#include "support.h"
#include "translator.h"

namespace install {

TOSVerType GetOSVersion() {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
  if (!GetVersionExA(&info))
    throw EAPIRoutines("Could not get information about the current version of Windows");
  return ClassifyOSVersion(info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion);
}

uint16_t UserDefaultLangID() { return GetUserDefaultLangID(); }

std::string ProgramFileName() {
  // The module this code is in: the executable, or a library holding the engine.
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&ProgramFileName), &module);
  char buffer[MAX_PATH];
  DWORD length = GetModuleFileNameA(module, buffer, sizeof buffer);
  return std::string(buffer, length < sizeof buffer ? length : 0);
}

std::string GetShortPath(const std::string& path) {
  char buffer[401];
  DWORD length = GetShortPathNameA(path.c_str(), buffer, sizeof buffer);
  if (length == 0 || length >= sizeof buffer) return path;
  return std::string(buffer, length);
}

std::string GetTempBatchFileName(bool keep) {
  char folder[261];
  char name[MAX_PATH];
  DWORD length = GetTempPathA(sizeof folder, folder);
  if (length == 0 || length >= sizeof folder || GetTempFileNameA(folder, "bat", 0, name) == 0)
    throw EAPIRoutines("Cannot create a temporary file");
  if (!keep) DeleteFileA(name);
  return name;
}

namespace {

// A folder the system reports into a buffer of 261 characters.
std::string SystemFolder(UINT (WINAPI* report)(LPSTR, UINT), const char* failure) {
  char buffer[261];
  UINT length = report(buffer, sizeof buffer);
  if (length == 0 || length >= sizeof buffer) throw EAPIRoutines(failure);
  return std::string(buffer, length);
}

}  // namespace

std::string GetSystemDir() {
  return SystemFolder(GetSystemDirectoryA, "Could not retrieve the system directroy from windows");
}

std::string GetWindowsDir() {
  return SystemFolder(GetWindowsDirectoryA, "Could not retrieve the windows directory from windows");
}

}  // namespace install
