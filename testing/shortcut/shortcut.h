// A shortcut file (.lnk) as the shell reads it back: what it starts, with
// which arguments, in which folder. Read through the shell's link object,
// the way a user's Start menu reads it.
#ifndef NETMON_TESTING_SHORTCUT_H
#define NETMON_TESTING_SHORTCUT_H

#include <filesystem>
#include <ostream>
#include <string>

namespace shortcut {

struct Shortcut {
  bool read = false;  // the shell could load the file
  std::string target;
  std::string arguments;
  std::string working_directory;
  bool operator==(const Shortcut& other) const = default;
};

void PrintTo(const Shortcut& link, std::ostream* out);

Shortcut Read(const std::filesystem::path& file);

}  // namespace shortcut

#endif
