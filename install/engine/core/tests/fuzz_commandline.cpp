// Feeds arbitrary command lines to the installer's splitter and flag
// reader: each either gives flags or raises the invalid-parameter error.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/commandline.h"
#include "core/exceptions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string command_line(reinterpret_cast<const char*>(data), size);
  try {
    install::CommandLineFlags flags = install::ParseCommandLine(install::SplitCommandLine(command_line));
    for (int flag = 0; flag < 8; ++flag)
      if (!flags.Has(static_cast<install::CommandLineFlag>(flag)) && !flags.values[static_cast<size_t>(flag)].empty())
        __builtin_trap();  // a value without its flag
  } catch (const install::IEInstall&) {
  }
  return 0;
}
