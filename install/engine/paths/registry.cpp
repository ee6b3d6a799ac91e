#include "paths/registry.h"

#include "core/support.h"
#include "paths/osroutines.h"

namespace install {

const std::vector<std::string> kRootKeyNames = {"hkClassesRoot", "hkCurrentConfig", "hkCurrentUser",
                                                "hkDynData",     "hkLocalMachine",  "hkUsers"};

std::string CannotWriteStringMessage(const std::string& key, const std::string& ident, const std::string& value) {
  return forms::Format("Cannot install into registry. Key: %s Ident: %s Value %s", {key, ident, value});
}

bool IsRelativeKey(const std::string& key) { return key.empty() || key[0] != '\\'; }

namespace {

const char* const kShellFoldersKey = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char* const kCurrentVersionKey = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

// A folder value of the user's shell folders, else the fallback.
std::string ShellFolder(const std::string& value, const std::string& fallback) {
  return RemoveTrailingBackslash(ReadRegistryString(hkCurrentUser, kShellFoldersKey, value, fallback));
}

std::string InWindowsDir(const std::string& name) { return AddTrailingBackslash(GetWindowsDir()) + name; }

}  // namespace

// The fallback of the start menu is "Startmen": eight letters, as the
// short name of the folder on the systems that lack the value.
std::string GetStartMenuDir() { return ShellFolder("Start Menu", InWindowsDir("Startmen")); }

std::string GetProgramsMenuDir() {
  return ShellFolder("Programs", AddTrailingBackslash(GetStartMenuDir()) + "Programs");
}

std::string GetDesktopDir() { return ShellFolder("Desktop", InWindowsDir("Desktop")); }

std::string GetStartupDir() { return ShellFolder("Startup", InWindowsDir("Startup")); }

std::string GetProgramFilesDir() {
  return RemoveTrailingBackslash(
      ReadRegistryString(hkLocalMachine, kCurrentVersionKey, "ProgramFilesDir", CurrentDirectoryDrive() + "\\Program Files"));
}

std::string GetCommonFilesDir() {
  return RemoveTrailingBackslash(ReadRegistryString(hkLocalMachine, kCurrentVersionKey, "CommonFilesDir",
                                                    CurrentDirectoryDrive() + "\\Program Files\\Common Files"));
}

}  // namespace install
