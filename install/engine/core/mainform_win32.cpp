// The main form's dealings with Windows: the system updaters the product's
// installation needs on this system.
#include <windows.h>

#include "core/install.h"
#include "paths/osroutines.h"

namespace install {

namespace {

// The installed common-controls library's version, major << 16 | minor; 0
// when it does not tell.
uint32_t CommonControlsVersion() {
  struct VersionInfo {
    DWORD size, major, minor, build, platform;
  } version{sizeof(VersionInfo), 0, 0, 0, 0};
  HMODULE library = LoadLibraryA("comctl32.dll");
  if (!library) return 0;
  using GetVersionProc = HRESULT(CALLBACK*)(VersionInfo*);
  auto get_version = reinterpret_cast<GetVersionProc>(reinterpret_cast<void*>(GetProcAddress(library, "DllGetVersion")));
  uint32_t result = get_version && get_version(&version) == S_OK ? (version.major << 16) | version.minor : 0;
  FreeLibrary(library);
  return result;
}

// Whether the shell-folder library loads; no error box if it does not.
bool ShellFolderLibraryLoads() {
  UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  HMODULE library = LoadLibraryA("SHFOLDER.DLL");
  SetErrorMode(previous);
  if (library) FreeLibrary(library);
  return library != nullptr;
}

}  // namespace

void TInstallMainForm::Install1AfterInitialized(forms::TComponent*) {
  WindowsVersion version = GetWindowsVersion();
  UpdaterFacts facts;
  facts.nt_platform = version.platform == VER_PLATFORM_WIN32_NT;
  facts.major_version = version.major;
  facts.shell_folder_library_loads = !(facts.nt_platform && facts.major_version > 4) && ShellFolderLibraryLoads();
  facts.common_controls_version = CommonControlsVersion();
  ChooseUpdaters(facts);
}

}  // namespace install
