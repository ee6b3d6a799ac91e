// Where there is no shell: no link object to save a shell link with, and
// no private-profile functions for an Internet shortcut.
#include "items/shelllinks.h"

namespace install {

void SaveShellLinkFile(const ShellLinkFile&) {
  constexpr int32_t kClassNotRegistered = static_cast<int32_t>(0x80040154);
  throw ECOMError("The shell link object is not available on this system", kClassNotRegistered);
}

bool WriteInternetShortcutFile(const std::string&, const std::string&) { return false; }

}  // namespace install
