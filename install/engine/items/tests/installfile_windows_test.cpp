// Install files against Wine's file system and registry: a target in use,
// the shared-DLL counter, help registration, COM registration and the
// uninstall entries.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "core/exceptions.h"
#include "paths/osroutines.h"
#include "paths/registry.h"
#include "testing/child_process.h"
#include "testing/filetree.h"

namespace install_test {
namespace {

using namespace forms;
using namespace install;

const char* const kSharedDLLs = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

class InstallFilesOnWindows : public FileTreeTest {
protected:
  // The engine, on a main form, with an install record of its own.
  TCustomInstall* Engine() {
    LoadMainForm({}, "TInstallMainForm F { TInstall Install1 { RunAutomatic = False "
                     "Information.ProductName = \"Netmon\" } }");
    SetInstallRecordKey("\\SOFTWARE\\ZUV\\Install\\Install0");
    return TCustomInstall::Instance();
  }
  std::string Target(const std::string& name) const { return AddTrailingPathDelimiter(dest_) + name; }
  // The engine and the directory "Programs" with one file, packed from a
  // source of size bytes.
  TInstallFile* OneFile(const std::string& file_name, size_t size) {
    Engine();
    programs_ = Directory("Programs");
    TInstallFile* file = File("IF" + ChangeFileExt(file_name, ""), file_name, programs_);
    Source(file_name, size);
    Pack(file);
    return file;
  }
  TInstallDirectory* programs_ = nullptr;
};

// The file held open without sharing: it cannot be deleted.
class HeldOpen {
public:
  explicit HeldOpen(const std::string& path)
      : handle_(CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)) {}
  ~HeldOpen() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  bool Held() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
  HANDLE handle_;
};

TEST_F(InstallFilesOnWindows, ATargetInUseIsWrittenBesideItAndReplacedAtTheNextStart) {
  TCustomInstall* install = Engine();
  TInstallDirectory* directory = Directory("Programs");
  TInstallFile* file = File("IFlocked", "locked.dll", directory);
  Source("locked.dll", 5000);
  Pack(file);
  Existing("locked.dll", "running");
  Existing("locked.1", "taken");
  HeldOpen held(Target("locked.dll"));
  ASSERT_TRUE(held.Held());

  directory->Process();

  EXPECT_TRUE(file->InUse());
  EXPECT_EQ(file->DestName(), "locked.2");
  EXPECT_EQ(file->InstalledPath(), Target("locked.dll"));
  EXPECT_EQ(fixture::ReadFile(Target("locked.2")), fixture::TextData(5000, 5000));
  EXPECT_EQ(fixture::ReadFile(Target("locked.1")), "taken");
  EXPECT_TRUE(install->Reboot());
  TStringList unfinished;
  install->ReadUnfinishedList(unfinished);
  EXPECT_EQ(unfinished, (TStringList{"IFlocked;0"}));
  EXPECT_EQ(install->InUseCount(), 1);
  // The uninstaller learns the name the file has after the next start.
  EXPECT_EQ(ReadRegistryString(hkLocalMachine,
                               "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Netmon\\Files", "File1", ""),
            Target("locked.dll"));
  // The system has the renaming (an independent reader, outside this
  // process's private registry).
  std::string report;
  RunProgram("reg.exe query \"HKLM\\System\\CurrentControlSet\\Control\\Session Manager\" /v "
             "PendingFileRenameOperations",
             report);
  EXPECT_NE(report.find(temp_.path().filename().string()), std::string::npos) << report;
}

// A damaged member for a target in use fails before anything is in place:
// the target is as it was, and its new name holds no part of the member.
TEST_F(InstallFilesOnWindows, ADamagedMemberForATargetInUseLeavesItAsItWas) {
  TInstallFile* file = OneFile("locked.dll", 200000);
  DamageMembers();
  Existing("locked.dll", "running");
  HeldOpen held(Target("locked.dll"));
  ASSERT_TRUE(held.Held());

  EXPECT_THROW(programs_->Process(), Exception);

  EXPECT_TRUE(file->InUse());
  EXPECT_EQ(file->DestName(), "locked.1");
  EXPECT_EQ(DestinationFiles(), std::vector<std::string>{"locked.dll"});
}

// The target stays until the new file is whole, yet what counts as in use
// is what could not be deleted: a read-only target too.
TEST_F(InstallFilesOnWindows, AReadOnlyTargetCountsAsInUse) {
  TInstallFile* file = OneFile("readonly.dll", 3000);
  std::string target = Existing("readonly.dll", "old");
  ASSERT_TRUE(SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_READONLY));

  programs_->Process();

  EXPECT_TRUE(file->InUse());
  EXPECT_EQ(file->DestName(), "readonly.1");
  EXPECT_EQ(fixture::ReadFile(Target("readonly.1")), fixture::TextData(3000, 3000));
  EXPECT_EQ(fixture::ReadFile(target), "old");
  SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// Where the system refuses the renaming, each file in use gets a batch of
// its own that a RunOnce value runs at the next start: a second file's
// value is added beside the first's, not put in its place.
TEST_F(InstallFilesOnWindows, EveryFileInUseWhoseRenamingIsRefusedHasItsOwnBatch) {
  TCustomInstall* install = Engine();
  TInstallDirectory* directory = Directory("Programs");
  std::vector<std::unique_ptr<HeldOpen>> held;
  for (const char* name : {"first.dll", "second.dll"}) {
    TInstallFile* file = File(std::string("IF") + ChangeFileExt(name, ""), name, directory);
    Source(name, 300);
    Pack(file);
    Existing(name, "running");
    held.push_back(std::make_unique<HeldOpen>(Target(name)));
    ASSERT_TRUE(held.back()->Held());
  }
  SetDelayedMoveHandler([](const std::string&, const std::string&) { return false; });
  struct Restore {
    ~Restore() { SetDelayedMoveHandler(nullptr); }
  } restore;

  directory->Process();

  const char* const run_once = "\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
  // Each value names its batch in quotes.
  auto batch_of = [&](const char* value) {
    std::string command = ReadRegistryString(hkCurrentUser, run_once, value, "");
    bool quoted = command.size() >= 2 && command.front() == '"' && command.back() == '"';
    EXPECT_TRUE(quoted) << command;
    return quoted ? command.substr(1, command.size() - 2) : command;
  };
  std::string first = batch_of("QuendricBatFile");
  std::string second = batch_of("QuendricBatFile1");
  ASSERT_NE(first, "");
  ASSERT_NE(second, "");
  EXPECT_NE(first, second);
  // second.dll is the newer helper: it is installed first.
  for (auto [batch, name] : {std::pair{first, "second"}, std::pair{second, "first"}}) {
    std::string target = Target(std::string(name) + ".dll");
    EXPECT_EQ(fixture::ReadFile(batch), "erase \"" + target + "\"\r\nmove \"" + Target(std::string(name) + ".1") +
                                            "\" \"" + target + "\"\r\n");
  }
  TStringList unfinished;
  install->ReadUnfinishedList(unfinished);
  EXPECT_GE(unfinished.IndexOf(first + ";1"), 0);
  EXPECT_GE(unfinished.IndexOf(second + ";1"), 0);
  EXPECT_EQ(install->InUseCount(), 4);
  for (const std::string& batch : {first, second}) std::filesystem::remove(batch);
}

// The Windows 9x family renames through WININIT.INI; Wine presents
// Windows 98 to the probe program, which holds the target open itself.
TEST(InstallFileOn9x, ATargetInUseIsRenamedThroughWininit) {
  fixture::TempDir temp;
  std::string target = temp / "held.dll";
  fixture::WriteFile(target, "running");
  std::string output;
  ASSERT_EQ(RunProbeUnder("win98", "inuse \"" + target + "\"", output), 0);
  EXPECT_EQ(output.substr(0, output.find_first_of("\r\n")), "held.1");
  std::string wininit = AddTrailingBackslash(GetWindowsDir()) + "WININIT.INI";
  std::string short_path = GetShortPath(target);
  char value[MAX_PATH] = {};
  GetPrivateProfileStringA("Rename", short_path.c_str(), "", value, sizeof value, wininit.c_str());
  WritePrivateProfileStringA("Rename", short_path.c_str(), nullptr, wininit.c_str());
  EXPECT_EQ(std::string(value), AddTrailingBackslash(ExtractFileDir(short_path)) + "held.1");
}

TEST_F(InstallFilesOnWindows, SharedLibrariesAreCountedUnderTheirShortOrLongName) {
  TInstallDirectory* directory = Directory("Programs");
  TInstallFile* counted = File("IFcounted", "CountedLibrary.dll", directory);
  TInstallFile* fresh = File("IFfresh", "FreshLibrary.dll", directory);
  for (TInstallFile* file : {counted, fresh}) {
    file->SetUpdateDLLCounter(true);
    Source(file->FileName(), 100);
    Pack(file);
  }
  Existing("CountedLibrary.dll", "old");
  std::string counted_short = GetShortPath(Target("CountedLibrary.dll"));
  ASSERT_NE(counted_short, Target("CountedLibrary.dll"));
  WriteRegistryInteger(hkLocalMachine, kSharedDLLs, counted_short, 3);

  directory->Process();

  EXPECT_EQ(ReadRegistryInteger(hkLocalMachine, kSharedDLLs, counted_short, 0), 4);
  EXPECT_EQ(ReadRegistryInteger(hkLocalMachine, kSharedDLLs, Target("CountedLibrary.dll"), 0), 0);
  EXPECT_EQ(ReadRegistryInteger(hkLocalMachine, kSharedDLLs, Target("FreshLibrary.dll"), 0), 1);
  EXPECT_EQ(ReadRegistryInteger(hkLocalMachine, kSharedDLLs, GetShortPath(Target("FreshLibrary.dll")), 0), 0);
}

TEST_F(InstallFilesOnWindows, HelpFilesAreRegisteredWithTheirFolder) {
  TInstallDirectory* directory = Directory("Programs");
  TInstallFile* help = File("IFhelp", "Guide.hlp", directory);
  Source("Guide.hlp", 10);
  Pack(help);
  directory->Process();
  EXPECT_EQ(ReadRegistryString(hkLocalMachine, "\\SOFTWARE\\Microsoft\\Windows\\Help", "GUIDE.HLP", ""), dest_);
}

// A library copied from beside this test into the archive and installed
// as an ActiveX file.
class Registration : public InstallFilesOnWindows {
protected:
  TInstallFile* ActiveXFile(const std::string& library) {
    directory_ = Directory("Programs");
    TInstallFile* file = File("IFlib", library, directory_);
    std::filesystem::copy_file(BesideThisProgram(library), AddTrailingPathDelimiter(source_dir_) + library,
                               std::filesystem::copy_options::overwrite_existing);
    file->SetActiveX(true);
    file->SetFileType(iftNormal);
    file->SetUpdateDLLCounter(false);
    file->SetDestDirType(nullptr);
    file->SetDestDir(dest_);
    Pack(file);
    return file;
  }
  TInstallDirectory* directory_ = nullptr;
};

TEST_F(Registration, ALibraryRegistersItselfOnceInstalled) {
  ActiveXFile("install_regserver_probe.dll");
  directory_->Process();
  EXPECT_EQ(ReadRegistryString(hkCurrentUser, "\\Software\\NetmonTests", "Registered", ""),
            Target("install_regserver_probe.dll"));
}

TEST_F(Registration, AFailedRegistrationRaisesOrWaitsInThePendingList) {
  TInstallFile* file = ActiveXFile("install_plain_library.dll");
  std::string destination = Target("install_plain_library.dll");
  try {
    directory_->Process();
    ADD_FAILURE();
  } catch (const IECustomInstallFile& error) {
    EXPECT_EQ(error.Message(),
              "Could not register the ActiveX component, " + destination +
                  ", because the DllRegisterServer function could not be found. The file component is IFlib. The "
                  "following value is the value of the GetLastError function: 127");
  }
  SetRaiseRegistrationErrors(false);
  Free(directory_);
  file = ActiveXFile("install_plain_library.dll");
  EXPECT_NO_THROW(directory_->Process());
  EXPECT_EQ(PendingRegistrationList()->Items(), std::vector<TCustomInstallFile*>{file});
  Free(directory_);
  EXPECT_TRUE(PendingRegistrationList()->Items().empty());
}

TEST_F(InstallFilesOnWindows, InstalledFilesAreListedForTheUninstaller) {
  Engine();
  TInstallDirectory* directory = Directory("Programs");
  TInstallFile* program = File("IFprogram", "monitor.exe", directory);
  TInstallFile* readme = File("IFreadme", "readme.txt", directory);
  readme->SetUninstall(false);
  for (TInstallFile* file : {program, readme}) {
    Source(file->FileName(), 10);
    Pack(file);
  }
  directory->Process();
  const std::string product = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Netmon";
  EXPECT_EQ(ReadRegistryString(hkLocalMachine, product + "\\Files", "File1", ""), Target("monitor.exe"));
  EXPECT_EQ(ReadRegistryString(hkLocalMachine, product + "\\Files", "Entries", ""), "1");
  EXPECT_EQ(ReadRegistryString(hkLocalMachine, product + "\\ActiveX", "Entries", "(none)"), "(none)");
}

}  // namespace
}  // namespace install_test
