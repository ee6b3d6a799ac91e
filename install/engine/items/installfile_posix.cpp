// The install file where there is no Windows: no one to ask, no registry
// to count shared libraries in, no replacement at the next start and no COM
// registration. Each of these fails as Windows fails when it refuses.
#include <unistd.h>

#include "core/exceptions.h"
#include "items/installfile.h"

namespace install {

bool AskUserBySystem(const std::string&, TQuestion) { return false; }

// A file is deleted or replaced here through its directory.
bool FileCanBeReplaced(const std::string& path) { return access(ExtractFileDir(path).c_str(), W_OK) == 0; }

void TCustomInstallFile::ScheduleReplacement(const std::string&) {
  throw IECustomInstallFile(
      "%s cannot register a routine in the register to move the files after the computer is reboot",
      {Name(), DestinationPath()});
}

bool TCustomInstallFile::IncrementSharedDLLCount() {
  throw IECustomInstallFile(
      "Could not open the key SharedDLLs key in the registry. File component %s. GetLastError return: %d",
      {Name(), int64_t{0}});
}

namespace {

[[noreturn]] void CannotRegister(const std::string& destination, const std::string& name) {
  throw IECustomInstallFile(
      "Could not register the ActiveX component, %s, because the LoadLibrary(%s) procedure returned a value of 0. "
      "The file component is %s. The following value is the value of the GetLastError function: %d",
      {destination, destination, name, int64_t{0}});
}

}  // namespace

void TCustomInstallFile::RegisterExeServer() {
  CheckRegistrationTarget();
  CannotRegister(DestinationPath(), Name());
}

void TCustomInstallFile::RegisterTypeLibrary() {
  CheckRegistrationTarget();
  CannotRegister(DestinationPath(), Name());
}

void TCustomInstallFile::RegisterDllServer() {
  CheckRegistrationTarget();
  CannotRegister(DestinationPath(), Name());
}

}  // namespace install
