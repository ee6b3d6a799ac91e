// The installer's command line: each argument is '-' or '*', a flag letter
// and an optional value ("-sC:\My Build"). An unknown letter after '-' is an
// error, after '*' it is skipped.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace install {

enum CommandLineFlag : uint8_t {
  clBuild, clFloppy, clDebug, clSelfExtract, clAfterReboot, clLoaderPath, clCleanup, clClearUnfinished
};

struct CommandLineFlags {
  uint8_t set = 0;                   // bit n: flag n was given
  std::array<std::string, 8> values; // what followed each flag's letter
  bool Has(CommandLineFlag flag) const { return (set >> flag) & 1; }
  const std::string& Value(CommandLineFlag flag) const { return values[flag]; }
};

// Splits a whole command line into arguments at blanks; double quotes only
// group (a backslash before a quote is an ordinary character, as in paths).
// The program's own name, the first argument, is included.
std::vector<std::string> SplitCommandLine(const std::string& command_line);

// Reads the arguments after the program's name. Raises IEInstall with the
// invalid-parameter message for a bad argument.
CommandLineFlags ParseCommandLine(const std::vector<std::string>& arguments);

}  // namespace install
