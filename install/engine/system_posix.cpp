// The running system outside Windows (the native build): Linux, with no
// Windows language setting.
#include <unistd.h>

#include "install.h"
#include "support.h"
#include "translator.h"

namespace install {

TOSVerType GetOSVersion() { return osLinux; }

uint16_t UserDefaultLangID() { return 0x0409; }

std::string ProgramFileName() {
  char buffer[4096];
  ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
  return length > 0 ? std::string(buffer, static_cast<size_t>(length)) : std::string();
}

}  // namespace install
