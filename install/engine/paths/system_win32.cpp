// The running Windows: its version, language and folders.
#include <windows.h>
#include <shlobj.h>

#include "core/exceptions.h"
#include "core/support.h"
#include "core/translator.h"
#include "paths/osroutines.h"
#include "paths/shellpaths.h"

namespace install {

WindowsVersion GetWindowsVersion() {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
  if (!GetVersionExA(&info))
    throw EAPIRoutines("Could not get information about the current version of Windows");
  return {info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion};
}

TOSVerType GetOSVersion() {
  WindowsVersion version = GetWindowsVersion();
  return ClassifyOSVersion(version.platform, version.major, version.minor);
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
  return SystemFolder(GetSystemDirectoryA, kNoSystemDirMessage);
}

std::string GetWindowsDir() {
  return SystemFolder(GetWindowsDirectoryA, kNoWindowsDirMessage);
}

std::string CurrentDirectoryDrive() {
  char buffer[MAX_PATH];
  DWORD length = GetCurrentDirectoryA(sizeof buffer, buffer);
  if (length == 0 || length >= sizeof buffer) return "";
  std::string directory(buffer, length);
  if (directory.size() >= 2 && directory[1] == ':') return directory.substr(0, 2);
  if (directory.rfind("\\\\", 0) != 0) return "";
  // A network path: the server and share, up to the backslash after them.
  size_t server_end = directory.find('\\', 2);
  size_t share_end = server_end == std::string::npos ? server_end : directory.find('\\', server_end + 1);
  return directory.substr(0, share_end);
}

std::string GetSpecialFolderPath(int csidl) {
  std::string path;
  LPITEMIDLIST items = nullptr;
  if (SHGetSpecialFolderLocation(nullptr, csidl, &items) != S_OK) return path;
  char buffer[261];
  if (SHGetPathFromIDListA(items, buffer)) path = buffer;
  CoTaskMemFree(items);
  return path;
}

}  // namespace install
