// What the program tests share about the product: its files as the
// install script names them (with contents of the tests' own), where an
// installation puts them, and what it leaves on the system.
#pragma once

#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace product {

struct File {
  std::string name;  // IncludeFromDir\FileName in the script
  int32_t id;        // the script's file identifier
  std::string data;
};

// The system updaters and the product's files; the control is a library
// that registers itself under the value "ProgramTestRegistered" of
// HKEY_CURRENT_USER\Software\NetmonTests.
std::vector<File> Files();

// A file beside this test program (and install.exe).
std::filesystem::path BesideTheTest(const char* name);
// A text value, empty when it is not there.
std::string RegistryText(HKEY root, const char* key, const char* value);

// The wizard's pages as a user taking the defaults goes through them.
extern const std::vector<std::string> kWizardPages;

// Checks, as the test's expectations, that the files are installed and the
// control registered. Under Wine neither updater is needed: the
// shell-folder one is installed and not run, the common-controls one is
// left out.
void ExpectInstalled(const std::vector<File>& files);
// Removes what an installation of the product left: its folder, its
// Add/Remove Programs key and the control's registration.
void Forget();

}  // namespace product
