// The running system outside Windows (the native build): Linux, with no
// Windows language setting, folders, shell folders or drives.
#include <unistd.h>

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

std::string GetSpecialFolderPath(int) { return ""; }

uint16_t UserDefaultLangID() { return 0x0409; }

std::string ProgramFileName() {
  char buffer[4096];
  ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
  return length > 0 ? std::string(buffer, static_cast<size_t>(length)) : std::string();
}

}  // namespace install
