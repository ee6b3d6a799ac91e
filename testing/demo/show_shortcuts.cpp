// Shows the shortcuts of a Start-menu folder as the shell reads them back:
// for each .lnk file of the folder given on the command line, what it
// starts, with which arguments and in which folder. Used by `make demo`.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "shortcut.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::printf("usage: show_shortcuts FOLDER\n");
    return 2;
  }
  std::error_code error;
  std::vector<std::filesystem::path> links;
  for (const auto& entry : std::filesystem::directory_iterator(argv[1], error))
    if (entry.path().extension() == ".lnk") links.push_back(entry.path());
  if (error) {
    std::printf("  the folder %s can't be read\n", argv[1]);
    return 1;
  }
  std::sort(links.begin(), links.end());
  for (const std::filesystem::path& file : links) {
    shortcut::Shortcut link = shortcut::Read(file);
    std::printf("  %s\n", file.filename().string().c_str());
    if (!link.read) {
      std::printf("    (the shell can't read it)\n");
      continue;
    }
    std::printf("    target:         %s\n", link.target.c_str());
    std::printf("    arguments:      %s\n", link.arguments.c_str());
    std::printf("    working folder: %s\n", link.working_directory.c_str());
  }
  return 0;
}
