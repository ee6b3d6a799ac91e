// A program for the tests that need another Windows version than Wine's
// default. Without arguments it exits with the TOSVerType the installer
// sees on the running system; "runonce NAME VALUE" adds a unique RunOnce
// entry and exits with 1 when that worked; "paths" prints one line for
// every standard path specifier: its name, '=' and its path for no object,
// or '!' and the message of its refusal; "inuse PATH" holds the file PATH
// open and lets an install file replace it, printing the name the new file
// is written under.
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <cstring>

#include "core/support.h"
#include "core/units.h"
#include "items/installfile.h"
#include "paths/pathspec.h"
#include "paths/registry.h"

namespace {

void PrintStandardPaths() {
  CoInitialize(nullptr);
  install::InitializeInstallUnits();
  auto* owner = forms::New<forms::TComponent>(nullptr);
  install::CreateStandardPathSpecifiers(owner, false);
  for (install::TCustomPathSpecifier* specifier : install::StandardPathSpecifiers().Items()) {
    std::string path;
    try {
      specifier->GetPath(nullptr, path);
      std::printf("%s=%s\n", specifier->Name().c_str(), path.c_str());
    } catch (const forms::Exception& error) {
      std::printf("%s!%s\n", specifier->Name().c_str(), error.Message().c_str());
    }
  }
  forms::Free(owner);
  install::FinalizeInstallUnits();
  CoUninitialize();
}

// An install file whose target is held open by this program schedules its
// replacement as the running system does it.
int ReplaceHeldFile(const std::string& path) {
  HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (held == INVALID_HANDLE_VALUE) return 2;
  install::InitializeInstallUnits();
  auto* owner = forms::New<forms::TComponent>(nullptr);
  install::CreateStandardPathSpecifiers(owner, false);
  auto* file = forms::New<install::TInstallFile>(owner);
  file->SetDestDir(install::ExtractFileDir(path));
  file->SetDestName(install::ExtractFileName(path));
  file->ReplaceInUse();
  std::printf("%s\n", file->DestName().c_str());
  forms::Free(owner);
  install::FinalizeInstallUnits();
  CloseHandle(held);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "runonce") == 0) return install::AddRunOnceEntry(argv[2], argv[3], true);
  if (argc == 2 && std::strcmp(argv[1], "paths") == 0) PrintStandardPaths();
  if (argc == 3 && std::strcmp(argv[1], "inuse") == 0) return ReplaceHeldFile(argv[2]);
  return install::GetOSVersion();
}
