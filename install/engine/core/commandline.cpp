#include "core/commandline.h"

#include "core/exceptions.h"

namespace install {

std::vector<std::string> SplitCommandLine(const std::string& command_line) {
  std::vector<std::string> arguments;
  std::string current;
  bool in_argument = false;
  bool quoted = false;
  for (char c : command_line) {
    if (c == '"') {
      quoted = !quoted;
      in_argument = true;
    } else if ((c == ' ' || c == '\t') && !quoted) {
      if (in_argument) arguments.push_back(current);
      current.clear();
      in_argument = false;
    } else {
      current += c;
      in_argument = true;
    }
  }
  if (in_argument) arguments.push_back(current);
  return arguments;
}

namespace {


int FlagOfLetter(char letter) {
  static const std::string letters = "bfderscn";
  size_t index = letters.find(static_cast<char>(letter | 0x20));
  return index == std::string::npos ? -1 : static_cast<int>(index);
}

}  // namespace

CommandLineFlags ParseCommandLine(const std::vector<std::string>& arguments) {
  CommandLineFlags flags;
  for (size_t i = 1; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    bool ok_start = argument.size() >= 2 && (argument[0] == '-' || argument[0] == '*');
    int flag = ok_start ? FlagOfLetter(argument[1]) : -1;
    if (flag < 0) {
      if (ok_start && argument[0] == '*') continue;
      throw IEInstall(
          "Invalid parameter <%s>. Valid command line parameters are: -b (Build), -d (Debug), -f "
          "(Transfer to floppies), -e (Called by self-extractor), -r (After reboot)",
          {argument});
    }
    flags.set = static_cast<uint8_t>(flags.set | (1u << flag));
    flags.values[static_cast<size_t>(flag)] = argument.substr(2);
  }
  return flags;
}

}  // namespace install
