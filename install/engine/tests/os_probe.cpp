// A program for the tests that need another Windows version than Wine's
// default. Without arguments it exits with the TOSVerType the installer
// sees on the running system; "runonce NAME VALUE" adds a unique RunOnce
// entry and exits with 1 when that worked.
#include <cstring>

#include "registry.h"
#include "support.h"

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "runonce") == 0) return install::AddRunOnceEntry(argv[2], argv[3], true);
  return install::GetOSVersion();
}
