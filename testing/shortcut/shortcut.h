// A shortcut file (.lnk) as the shell reads it back: what it starts (as
// stored, environment variables not expanded), with which arguments, in
// which folder, and its hot key. Read through the shell's link object, the
// way a user's Start menu reads it.
#ifndef NETMON_TESTING_SHORTCUT_H
#define NETMON_TESTING_SHORTCUT_H

#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>

namespace shortcut {

struct Shortcut {
  bool read = false;  // the shell could load the file
  std::string target;
  std::string arguments;
  std::string working_directory;
  uint16_t hot_key = 0;
  bool operator==(const Shortcut& other) const = default;
};

void PrintTo(const Shortcut& link, std::ostream* out);

Shortcut Read(const std::filesystem::path& file);

}  // namespace shortcut

#endif
