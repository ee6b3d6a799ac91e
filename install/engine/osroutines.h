// Operating-system routines of the installer. Failures raise EAPIRoutines.
#pragma once

#include <string>

namespace install {

#ifdef _WIN32
// The short (8.3) form of path; path itself when the system has none.
std::string GetShortPath(const std::string& path);
// A new unique file "bat....tmp" in the temporary folder; deleted again
// unless keep.
std::string GetTempBatchFileName(bool keep);
std::string GetSystemDir();
std::string GetWindowsDir();
#endif

}  // namespace install
