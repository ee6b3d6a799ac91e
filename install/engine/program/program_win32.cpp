// The setup program's entry: the units start in their fixed order, the
// application object is made, the main form is created from the install
// script stored in this program (which instantiates the whole script and
// lets the engine choose what this start does), the message loop runs, and
// everything ends in reverse order: the script first, then the lists.
#include <windows.h>
#include <ole2.h>

#include <string>

#include "application.h"
#include "core/commandline.h"
#include "core/install.h"
#include "core/units.h"
#include "wizardunits.h"

namespace {

// The install script: the main form's stored stream, named after its class.
std::string StoredScript() {
  HRSRC resource = FindResourceA(nullptr, "TINSTALLMAINFORM", MAKEINTRESOURCEA(10));  // RT_RCDATA
  HGLOBAL loaded = resource ? LoadResource(nullptr, resource) : nullptr;
  const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
  if (!bytes) throw forms::Exception("The install script is missing from this program");
  return std::string(bytes, SizeofResource(nullptr, resource));
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // The shell's folders and folder browser need COM on this thread.
  OleInitialize(nullptr);
  install::InitializeInstallUnits();
  install::InitializeWizardUnits();
  forms::InitializeApplication();
  forms::Application()->SetTitle("Install");
  install::SetProgramArguments(install::SplitCommandLine(GetCommandLineA()));
  int exit_code = 0;
  try {
    forms::Application()->CreateForm<install::TInstallMainForm>(StoredScript());
    forms::Application()->Run();
    // A build, floppy copy or installation that failed or was cancelled
    // has told the user; its caller learns it from the exit code.
    exit_code = install::ProgramExitCode();
  } catch (const forms::EAbort&) {
    exit_code = 1;
  } catch (const std::exception& error) {
    // Errors while the script loads (command line, mode) reach the
    // application's default display.
    forms::Application()->ShowException(error);
    exit_code = 1;
  }
  forms::FinalizeApplication();
  install::FinalizeWizardUnits();
  install::FinalizeInstallUnits();
  OleUninitialize();
  return exit_code;
}
