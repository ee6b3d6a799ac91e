// The loader program, copied by the build as setup.exe: it checks the
// setup file it runs from, extracts the installer (with the files of
// setup.1, and files.1 of a self-extracting file) into a new folder of its
// own below the user's temporary folder, starts the installer there as
// setup_file.h describes and waits for it; it ends with the installer's
// exit code. The installer removes the folder at the end of its run; what
// it can't remove while it runs (its own program file) the loader removes
// once it has ended, unless a restart after the reboot still needs it.
#include <windows.h>

#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "archive/qndr_compress.h"
#include "core/commandline.h"
#include "core/support.h"
#include "paths/filesystem.h"
#include "setup_file.h"
#include "sysutils.h"

namespace {

const char* const kCaption = "Setup";
constexpr size_t kCopyBlock = 8192;

std::string OwnFile() {
  char path[MAX_PATH] = {};
  DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  return std::string(path, length);
}

// A new empty folder below the user's temporary folder.
std::string MakeFolder() {
  char temp[MAX_PATH] = {};
  char name[MAX_PATH] = {};
  DWORD length = GetTempPathA(sizeof temp, temp);
  if (length == 0 || length >= sizeof temp || !GetTempFileNameA(temp, "stp", 0, name) || !DeleteFileA(name) ||
      !CreateDirectoryA(name, nullptr))
    throw std::runtime_error("Setup cannot make a folder for its files in the temporary folder " +
                             std::string(temp) + ".");
  return name;
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Copies bytes first..last of source into a new file target.
void CopyRange(const std::string& source, int64_t first, int64_t last, const std::string& target) {
  File in(std::fopen(source.c_str(), "rb"));
  File out(std::fopen(target.c_str(), "wb"));
  bool copied = in && out && std::fseek(in.get(), static_cast<long>(first), SEEK_SET) == 0;
  char block[kCopyBlock];
  for (int64_t left = last - first + 1; copied && left > 0;) {
    size_t want = left < static_cast<int64_t>(sizeof block) ? static_cast<size_t>(left) : sizeof block;
    size_t got = std::fread(block, 1, want, in.get());
    copied = got > 0 && std::fwrite(block, 1, got, out.get()) == got;
    left -= static_cast<int64_t>(got);
  }
  if (!copied || std::fclose(out.release()) != 0)
    throw std::runtime_error("Setup cannot write " + target + ". Is the disk full?");
}

// Extracts every member of setup.1 into folder; answers the installer's
// path, that of the first member.
std::string ExtractSetupArchive(const loader::SetupLayout& layout, const std::string& setup_path,
                                const std::string& folder) {
  install::TQndrCompress archive;
  if (layout.self_extracting) {
    archive.SetCompressedFile(setup_path);
    archive.SetOffset(static_cast<int32_t>(layout.setup1_first));
  } else {
    archive.SetCompressedFile(install::AddTrailingBackslash(install::ExtractFileDir(setup_path)) + "setup.1");
  }
  forms::TStringList members;
  for (int i = 0; i < archive.Count(); ++i) members.Add(archive.GetFileStats(i).FileName);
  if (members.Count() == 0) throw std::runtime_error("The setup file " + setup_path + " holds no installer.");
  archive.SetExtractDirectory(folder);
  archive.SetFilesToProcess(members);
  archive.Extract();
  return install::AddTrailingBackslash(folder) + install::ExtractFileName(members[0]);
}

// Whether a value of the RunOnce key under root names the installer: its
// restart after the reboot.
bool RunOnceNames(HKEY root, const std::string& installer) {
  HKEY key;
  if (RegOpenKeyExA(root, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", 0, KEY_READ, &key) !=
      ERROR_SUCCESS)
    return false;
  bool found = false;
  std::string wanted = forms::UpperCase(installer);
  for (DWORD index = 0; !found; ++index) {
    char name[256];
    DWORD name_length = sizeof name;
    char data[2048];
    DWORD data_length = sizeof data - 1;
    DWORD type = 0;
    LONG result = RegEnumValueA(key, index, name, &name_length, nullptr, &type, reinterpret_cast<BYTE*>(data),
                                &data_length);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS || type != REG_SZ) continue;
    data[data_length] = '\0';
    found = forms::UpperCase(data).find(wanted) != std::string::npos;
  }
  RegCloseKey(key);
  return found;
}

// Starts the installer and waits for it; its exit code.
DWORD RunInstaller(const std::string& installer, const std::vector<std::string>& arguments) {
  std::string command_line = loader::CommandLine(installer, arguments);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(installer.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process))
    throw std::runtime_error("Setup cannot start " + installer + ": " + install::SystemErrorMessage(GetLastError()));
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD exit_code = 1;
  GetExitCodeProcess(process.hProcess, &exit_code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return exit_code;
}

// The folder holds files only: setup.1's members and files.1.
void RemoveFolder(const std::string& folder) {
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &entry);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileA((folder + "\\" + entry.cFileName).c_str());
    } while (FindNextFileA(search, &entry));
    FindClose(search);
  }
  RemoveDirectoryA(folder.c_str());
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  std::string folder;
  try {
    std::string setup_path = OwnFile();
    std::vector<std::string> arguments = install::SplitCommandLine(GetCommandLineA());
    if (!arguments.empty()) arguments.erase(arguments.begin());
    loader::SetupLayout layout = loader::ReadSetupLayout(setup_path);
    folder = MakeFolder();
    std::string installer = ExtractSetupArchive(layout, setup_path, folder);
    if (layout.self_extracting && layout.HasFiles1() && !loader::WantsFloppyCopy(arguments))
      CopyRange(setup_path, layout.files1_first, layout.files1_last, install::AddTrailingBackslash(folder) + "files.1");
    DWORD exit_code = RunInstaller(installer, loader::InstallerArguments(layout, setup_path, folder, arguments));
    if (!RunOnceNames(HKEY_CURRENT_USER, installer) && !RunOnceNames(HKEY_LOCAL_MACHINE, installer))
      RemoveFolder(folder);
    return static_cast<int>(exit_code);
  } catch (const std::exception& error) {
    if (!folder.empty()) RemoveFolder(folder);
    MessageBoxA(nullptr, error.what(), kCaption, MB_OK | MB_ICONERROR | MB_TASKMODAL);
    return 1;
  }
}
