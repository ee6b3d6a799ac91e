// A user at the setup program: starts it (install.exe, or the setup.exe
// that starts install.exe) with its arguments, presses OK on the first
// message box it or a program it started shows and goes through the wizard
// taking every default (Next, then Finish), noting each page's caption and,
// when asked, saving a screenshot of each page, or pressing Cancel in the
// copy-progress window once it shows. Gives up after a minute and ends the
// program. Used by the program's tests and by `make demo`.
#ifndef NETMON_TESTING_INSTALLER_USER_H
#define NETMON_TESTING_INSTALLER_USER_H

#include <windows.h>

#include <string>
#include <vector>

namespace installer_user {

struct Outcome {
  bool started = false;
  bool exited = false;
  DWORD exit_code = 0;
  std::string box_caption;
  std::string box_text;
  std::vector<std::string> pages;  // the wizard's pages, in the order the user went through them
  std::vector<std::string> screenshots;  // the files saved, one a page
  bool cancelled_the_copy = false;       // Cancel was pressed in the copy-progress window
};

// command_line: the program and its arguments, as CreateProcess takes them;
// directory: the program's current directory, the caller's when empty;
// screenshot_folder: where the screenshot of each page goes, as a BMP file
// named after its place and caption ("01_Welcome.bmp"); none when empty;
// cancel_the_copy: the user presses Cancel in the copy-progress window
// ("Copying installation files") the first time it shows.
Outcome RunInstaller(const std::string& command_line, const std::string& directory = "",
                     const std::string& screenshot_folder = "", bool cancel_the_copy = false);

}  // namespace installer_user

#endif
