// The running system outside Windows (the native build): Linux, with no
// Windows language setting, folders, shell folders or drives.
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>

#include "core/exceptions.h"
#include "core/install.h"
#include "core/support.h"
#include "core/translator.h"
#include "paths/osroutines.h"
#include "paths/shellpaths.h"

namespace install {

TOSVerType GetOSVersion() { return osLinux; }

std::string GetSystemDir() { throw EAPIRoutines(kNoSystemDirMessage); }

std::string GetWindowsDir() { throw EAPIRoutines(kNoWindowsDirMessage); }

std::string CurrentDirectoryDrive() { return ""; }

std::string GetTempBatchFileName(bool keep) {
  const char* folder = std::getenv("TMPDIR");
  std::string pattern = std::string(folder && *folder ? folder : "/tmp") + "/batXXXXXX.tmp";
  int file = mkstemps(pattern.data(), 4);
  if (file < 0) throw EAPIRoutines("Cannot create a temporary file");
  close(file);
  if (!keep) std::remove(pattern.c_str());
  return pattern;
}

std::string GetSpecialFolderPath(int) { return ""; }

uint16_t UserDefaultLangID() { return 0x0409; }

std::string ProgramFileName() {
  char buffer[4096];
  ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
  return length > 0 ? std::string(buffer, static_cast<size_t>(length)) : std::string();
}

}  // namespace install
