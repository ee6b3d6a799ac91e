// The vendor and the user of `make demo`: starts the program with the
// command line that follows its own name (install.exe -b, setup.exe; and
// its one option before it, --screenshots=FOLDER: where a screenshot of
// each page goes), presses OK on a message box, goes through the wizard
// taking every default and tells what it saw. Ends with the program's exit
// code.
#include <windows.h>

#include <cstdio>
#include <string>

#include "installer_user.h"

namespace {

// This program's command line without its own name.
std::string CommandLineAfterOwnName() {
  std::string line = GetCommandLineA();
  size_t end = line[0] == '"' ? line.find('"', 1) : line.find(' ');
  if (end == std::string::npos) return "";
  size_t rest = line.find_first_not_of(' ', end + 1);
  return rest == std::string::npos ? "" : line.substr(rest);
}

// Takes the option (quoted, when its value has blanks) off the front of the
// command line: its value, or empty.
std::string TakeOption(std::string& command, const std::string& option) {
  const bool quoted = !command.empty() && command[0] == '"';
  const size_t start = quoted ? 1 : 0;
  if (command.compare(start, option.size(), option) != 0) return "";
  const size_t end = command.find(quoted ? '"' : ' ', start);
  std::string value = command.substr(start + option.size(), end == std::string::npos ? std::string::npos
                                                                                    : end - start - option.size());
  const size_t rest = end == std::string::npos ? std::string::npos : command.find_first_not_of(' ', end + 1);
  command = rest == std::string::npos ? "" : command.substr(rest);
  return value;
}

}  // namespace

int main() {
  std::string command = CommandLineAfterOwnName();
  const std::string screenshots = TakeOption(command, "--screenshots=");
  installer_user::Outcome outcome = installer_user::RunInstaller(command, "", screenshots);
  if (!outcome.started) {
    std::printf("  cannot start %s\n", command.c_str());
    return 2;
  }
  for (const std::string& page : outcome.pages) std::printf("  wizard page: %s\n", page.c_str());
  for (const std::string& shot : outcome.screenshots) std::printf("  screenshot: %s\n", shot.c_str());
  if (!outcome.box_text.empty())
    std::printf("  message box \"%s\": %s\n", outcome.box_caption.c_str(), outcome.box_text.c_str());
  if (!outcome.exited) std::printf("  the setup program did not end within a minute\n");
  return static_cast<int>(outcome.exit_code);
}
