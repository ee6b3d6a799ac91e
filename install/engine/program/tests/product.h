// What the program tests share about the product: its files as the
// install script names them, where an installation puts them, and what it
// leaves on the system that a user would look for: the files in their
// folders, the Start-menu shortcuts, the registry keys that tell the
// product where its parts are, and the Add/Remove Programs entry with its
// uninstall lists.
#pragma once

#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace product {

struct File {
  std::string name;         // IncludeFromDir\FileName in the script
  int32_t id;               // the script's file identifier
  std::string folder;       // where it is installed, below the product's folder
  std::string data;
};

// The product's files: the data, settings, help and read-me it ships (from
// the build's staged copy of the repository's product files) and, with
// contents of the tests' own, its programs and libraries, the system
// updaters and the uninstall program. The control is a library that
// registers itself under the value "ProgramTestRegistered" of
// HKEY_CURRENT_USER\Software\NetmonTests.
std::vector<File> Files();

// Where an installation puts the file.
std::string Installed(const File& file);

// A file beside this test program (and install.exe).
std::filesystem::path BesideTheTest(const char* name);
// A text value, empty when it is not there.
std::string RegistryText(HKEY root, const char* key, const char* value);

// The wizard's pages as a user taking the defaults goes through them.
extern const std::vector<std::string> kWizardPages;

// Checks, as the test's expectations, everything an installation of the
// files leaves. Under Wine neither updater is needed: the shell-folder one
// is installed and not run, the common-controls one is left out.
void ExpectInstalled(const std::vector<File>& files);
// Removes what an installation of the product left: its folder, its
// Start-menu folder, its registry keys, its Add/Remove Programs key, the
// control's shared-library count and its registration.
void Forget();

}  // namespace product
