// The engine's install record: the registry key that outlives one start of
// the program, with the unfinished list that a run after the reboot works
// through. What needs the registry's key and value listings is in the
// platform files (installrecord_win32.cpp, installrecord_posix.cpp).
#include <ctime>

#include "application.h"
#include "archive/day_date.h"
#include "core/exceptions.h"
#include "core/install.h"
#include "items/installfile.h"
#include "paths/registry.h"

namespace install {

namespace {

std::string g_install_record_key;
double g_run_start_time = 0;

}  // namespace

const std::string& InstallRecordKey() { return g_install_record_key; }
void SetInstallRecordKey(const std::string& key) { g_install_record_key = key; }

double RunStartTime() { return g_run_start_time; }
void StartRunClock() { g_run_start_time = day_date::FromFileTime(std::time(nullptr)); }

std::string TCustomInstall::UnfinishedKey() {
  if (InstallRecordKey().empty())
    throw IEInstall("The TInstall could not either write or read unfinished business from the registry");
  return InstallRecordKey() + "\\Unfinished";
}

void TCustomInstall::AddUnfinished(const std::string& name, int code) {
  std::string key = UnfinishedKey();
  ++in_use_count_;
  WriteRegistryString(hkLocalMachine, key, name, forms::IntToStr(code));
}

void TCustomInstall::ClearUnfinished() { DeleteRegistryKeyTree(hkLocalMachine, UnfinishedKey()); }

void TCustomInstall::RegisterResumeOnReboot() {
  std::string setup_file;
  if (flags_.Has(clSelfExtract)) {
    StandardPathSpecifiers().FindByClass("TpsMainArchiveFile")->GetPath(this, setup_file);
  } else if (use_loading_program_) {
    const std::vector<std::string>& arguments = ProgramArguments();
    setup_file = AddTrailingBackslash(loader_directory_) + (arguments.size() > 2 ? arguments[2] : "");
  } else {
    setup_file = ProgramFileName();
  }
  std::string directory = RemoveTrailingBackslash(ExtractFileDir(setup_file));
  std::string value = "\"" + ProgramFileName() + "\" -r ";
  if (flags_.Has(clSelfExtract)) value += "\"-e" + ExtractFileName(setup_file) + "\" ";
  value += "\"-s" + directory + "\"";
  if (flags_.Has(clCleanup)) value += " -c";
  if (!AddRunOnceEntry("QuendricUnfinished", value, true))
    throw IEInstall("Cannot register the install to be run on reboot in the RunOnce key in the registry");
}

namespace {

TExitWindowsHandler g_exit_windows;

}  // namespace

void SetExitWindowsHandler(TExitWindowsHandler handler) { g_exit_windows = std::move(handler); }

// The request goes to the test's handler when one is set.
bool ExitWindowsRequest(uint32_t flags, uint32_t reason) {
  return g_exit_windows ? g_exit_windows(flags, reason) : SystemExitWindows(flags, reason);
}

void TCustomInstall::RebootWindows() {
  if (RequestReboot()) return;
  if (on_failed_reboot_)
    Fire(on_failed_reboot_, this);
  else
    AskUser(TranslateString("Could not reboot windows. Please manually reboot windows."), TQuestion::Ok);
}

void TCustomInstall::SaveLanguage() {
  if (GlobalTranslator() && !InstallRecordKey().empty())
    WriteRegistryInteger(hkLocalMachine, InstallRecordKey(), "Language", GlobalTranslator()->TranslateIntoLanguage());
}

TQndrLanguage TCustomInstall::LoadLanguage() {
  TQndrLanguage current = GlobalTranslator() ? GlobalTranslator()->TranslateIntoLanguage() : qlUser;
  if (InstallRecordKey().empty()) return current;
  int32_t saved = ReadRegistryInteger(hkLocalMachine, InstallRecordKey(), "Language", current);
  return saved >= 0 && saved <= qlVietnamese ? static_cast<TQndrLanguage>(saved) : current;
}

void TCustomInstall::ResumeUnfinished() {
  running_ = true;
  try {
    SetInstallRecordKey(FindInstallRecordKey(false));
    if (GlobalTranslator()) GlobalTranslator()->SetTranslateIntoLanguage(LoadLanguage());
    forms::TStringList entries;
    ReadUnfinishedList(entries);
    ClearUnfinished();
    for (const std::string& entry : entries.Lines()) ResumeEntry(entry);
    EndRun();
  } catch (const std::exception& error) {
    // The resumption runs while the script loads: its failure goes to the
    // application's handler as a failure of the run.
    if (!forms::Application()) throw;
    forms::Application()->HandleException(this, error);
  }
}

void TCustomInstall::ResumeEntry(const std::string& entry) {
  std::string name = GetDelimitedField(entry, 1, ';');
  int32_t code = 0;
  if (!forms::TryStrToInt(GetDelimitedField(entry, 2, ';'), code))
    throw IEInstall("There is an invalid entry for the unfinished install list %s", {entry});
  if (code == kUnfinishedDeleteFile) {
    DeleteFileNamed(name);
  } else if (code == kUnfinishedResume) {
    std::vector<TInstallContainer*> containers = ContainerList()->Items();
    for (TInstallContainer* container : containers)
      if (forms::SameText(container->Name(), name)) container->ResumeUnfinished();
  }
}

}  // namespace install
