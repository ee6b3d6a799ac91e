// The install file's dealings with Windows: question boxes, replacement of
// a file in use at the next start, the shared-DLL counter and COM
// registration.
#include <windows.h>
#include <oleauto.h>

#include "application.h"
#include "core/exceptions.h"
#include "core/install.h"
#include "core/launcher.h"
#include "items/installfile.h"
#include "paths/osroutines.h"
#include "paths/registry.h"

namespace install {

using namespace forms;

namespace {

const char* const kSharedDLLsKey = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

TDelayedMoveHandler g_delayed_move;

bool DelayedMove(const std::string& from, const std::string& to) {
  if (g_delayed_move) return g_delayed_move(from, to);
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
}

// Runs action with the current directory changed to dir; the previous one
// is restored afterwards. Failures to change either way are ignored.
template <class Action>
void InDirectory(const std::string& dir, Action action) {
  char previous[MAX_PATH];
  DWORD length = GetCurrentDirectoryA(sizeof previous, previous);
  SetCurrentDirectoryA(dir.c_str());
  struct Restore {
    const char* previous;
    bool valid;
    ~Restore() {
      if (valid) SetCurrentDirectoryA(previous);
    }
  } restore{previous, length > 0 && length < sizeof previous};
  action();
}

// The counter value of name, or false when it cannot be read.
bool ReadCounter(TqndrRegistry& registry, const std::string& name, int32_t& value) {
  try {
    if (!registry.ValueExists(name)) return false;
    value = registry.ReadInteger(name);
    return true;
  } catch (const ERegistryException&) {
    return false;
  }
}

}  // namespace

void SetDelayedMoveHandler(TDelayedMoveHandler handler) { g_delayed_move = std::move(handler); }

bool FileCanBeReplaced(const std::string& path) {
  // As its deletion would be: refused for a read-only file, and for one that
  // another program holds or runs (it cannot be opened for writing and
  // deleting, shared with no one).
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY)) return false;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

bool AskUserBySystem(const std::string& text, TQuestion kind) {
  UINT style = kind == TQuestion::YesNo      ? MB_YESNO | MB_ICONQUESTION
               : kind == TQuestion::OkCancel ? MB_OKCANCEL | MB_ICONINFORMATION
                                             : MB_OK | MB_ICONINFORMATION;
  std::string title = Application() ? Application()->Title() : "";
  int answer = MessageBoxA(nullptr, text.c_str(), title.c_str(), style | MB_TASKMODAL);
  return answer == IDYES || answer == IDOK;
}

void TCustomInstallFile::ScheduleReplacement(const std::string& old_path) {
  TCustomInstall* install = TCustomInstall::Instance();
  std::string old_short_path = GetShortPath(old_path);
  std::string new_path = AddTrailingBackslash(ExtractFileDir(old_short_path)) + DestName();
  TOSVerType os = GetOSVersion();
  if (os == oswin95 || os == oswin98 || os == oswinME) {
    std::string wininit = AddTrailingBackslash(GetWindowsDir()) + "WININIT.INI";
    WritePrivateProfileStringA("Rename", old_short_path.c_str(), new_path.c_str(), wininit.c_str());
    if (install) install->SetReboot(true);
    return;
  }
  if (install) install->SetReboot(true);
  if (DelayedMove(DestinationPath(), old_path) || !install) return;
  // The system would not take the renaming: a batch run once at the next
  // start moves the file, and the resumed run deletes the batch. Without
  // the batch nothing would move the file: that is a failure, not an entry
  // that names a missing file. The batch names the files by their long
  // paths, in quotes: once the old file is erased its short name names
  // nothing, and a file moved to it would get that short name as its name.
  std::string batch = ChangeFileExt(GetTempBatchFileName(false), ".bat");
  if (!SaveTextFile(batch, TStringList{"erase " + BatchArgument(old_path),
                                       "move " + BatchArgument(DestinationPath()) + " " + BatchArgument(old_path)}
                               .Text()))
    throw IECustomInstallFile("%s cannot write the batch file %s that moves the file after the computer is reboot",
                              {Name(), batch});
  install->AddUnfinished(batch, kUnfinishedDeleteFile);
  // Every file in use has a batch of its own: each gets its own value, a
  // command line that names the batch in quotes as the resume entry does.
  if (!AddRunOnceEntry("QuendricBatFile", BatchArgument(batch), true))
    throw IECustomInstallFile(
        "%s cannot register a routine in the register to move the files after the computer is reboot",
        {Name(), batch});
}

bool TCustomInstallFile::IncrementSharedDLLCount() {
  TqndrRegistry registry;
  registry.SetRootKey(HKEY_LOCAL_MACHINE);
  if (!registry.OpenKey(kSharedDLLsKey, true))
    throw IECustomInstallFile(
        "Could not open the key SharedDLLs key in the registry. File component %s. GetLastError return: %d",
        {Name(), int64_t{static_cast<int64_t>(GetLastError())}});
  std::string short_path = GetShortPath(InstalledPath());
  int32_t count = 0;
  try {
    if (ReadCounter(registry, short_path, count)) {
      registry.WriteInteger(short_path, count + 1);
      return true;
    }
  } catch (const ERegistryException&) {
    // Counted under the long path instead.
  }
  std::string long_path = InstalledPath();
  count = 0;
  ReadCounter(registry, long_path, count);
  registry.WriteInteger(long_path, count + 1);
  return true;
}

void TCustomInstallFile::RegisterExeServer() {
  CheckRegistrationTarget();
  InDirectory(GetFullDestDir(), [&] {
    TProgramLauncher* launcher = New<TProgramLauncher>(nullptr);
    struct Release {
      TProgramLauncher* launcher;
      ~Release() { Free(launcher); }
    } release{launcher};
    launcher->SetFileName(DestinationPath());
    launcher->SetParameters("/REGSERVER");
    launcher->SetShowMode(smHide);
    launcher->Execute();
  });
}

void TCustomInstallFile::RegisterTypeLibrary() {
  CheckRegistrationTarget();
  InDirectory(GetFullDestDir(), [&] {
    std::string destination = DestinationPath();
    std::wstring wide(destination.begin(), destination.end());
    ITypeLib* library = nullptr;
    HRESULT result = LoadTypeLib(wide.c_str(), &library);
    if (FAILED(result)) throw EOleError(result);
    BSTR help_file = nullptr;
    std::wstring help_dir;
    if (SUCCEEDED(library->GetDocumentation(-1, nullptr, nullptr, nullptr, &help_file)) && help_file) {
      help_dir = help_file;
      size_t slash = help_dir.find_last_of(L"\\/");
      help_dir = slash == std::wstring::npos ? L"" : help_dir.substr(0, slash);
      SysFreeString(help_file);
    }
    result = RegisterTypeLib(library, wide.data(), help_dir.empty() ? nullptr : help_dir.data());
    library->Release();
    if (FAILED(result)) throw EOleError(result);
  });
}

void TCustomInstallFile::RegisterDllServer() {
  CheckRegistrationTarget();
  InDirectory(GetFullDestDir(), [&] {
    std::string destination = DestinationPath();
    OleInitialize(nullptr);
    struct Uninitialize {
      ~Uninitialize() { OleUninitialize(); }
    } uninitialize;
    HMODULE library = LoadLibraryA(destination.c_str());
    if (!library)
      throw IECustomInstallFile(
          "Could not register the ActiveX component, %s, because the LoadLibrary(%s) procedure returned a value of "
          "0. The file component is %s. The following value is the value of the GetLastError function: %d",
          {destination, destination, Name(), int64_t{static_cast<int64_t>(GetLastError())}});
    struct Release {
      HMODULE library;
      ~Release() { FreeLibrary(library); }
    } release{library};
    using RegisterServer = HRESULT(STDAPICALLTYPE*)();
    auto register_server =
        reinterpret_cast<RegisterServer>(reinterpret_cast<void*>(GetProcAddress(library, "DllRegisterServer")));
    if (!register_server)
      throw IECustomInstallFile(
          "Could not register the ActiveX component, %s, because the DllRegisterServer function could not be found. "
          "The file component is %s. The following value is the value of the GetLastError function: %d",
          {destination, Name(), int64_t{static_cast<int64_t>(GetLastError())}});
    HRESULT result = register_server();
    if (result != 0)
      throw IECustomInstallFile(
          "Could not register the ActiveX component, %s, because the DllRegisterServer function returned a value "
          "of %d. The file component is %s",
          {destination, int64_t{result}, Name()});
  });
}

}  // namespace install
