// Operating-system routines of the installer. Failures raise EAPIRoutines.
// Outside Windows there is no system or Windows folder to report: those
// lookups raise as Windows would on refusing.
#pragma once

#include <cstdint>
#include <string>

namespace install {

#ifdef _WIN32
// The system's own version report: platform (VER_PLATFORM_...), major and
// minor version.
struct WindowsVersion {
  uint32_t platform, major, minor;
};
WindowsVersion GetWindowsVersion();
// The short (8.3) form of path; path itself when the system has none.
std::string GetShortPath(const std::string& path);
#endif
// A new unique file "bat....tmp" in the temporary folder (outside Windows
// the folder TMPDIR names, else /tmp); deleted again unless keep.
std::string GetTempBatchFileName(bool keep);
// path as one argument of a command in a batch file: in double quotes, so
// that a blank in it ("Program Files") does not split it into several.
inline std::string BatchArgument(const std::string& path) { return "\"" + path + "\""; }
std::string GetSystemDir();
std::string GetWindowsDir();
// The drive of the process's current directory ("C:", or the server and
// share of a network path); empty where the system has no drives.
std::string CurrentDirectoryDrive();

constexpr const char* kNoSystemDirMessage = "Could not retrieve the system directroy from windows";
constexpr const char* kNoWindowsDirMessage = "Could not retrieve the windows directory from windows";

}  // namespace install
