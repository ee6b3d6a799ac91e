// The installation run of the engine: the main sequence from the install
// record to the end of the application, the typed passes, the end
// notifications, the exception handler that turns a failure into a bad
// installation, the clean-up of the loader directory and the programs run
// after installation.
#include <filesystem>

#include "application.h"
#include "core/exceptions.h"
#include "core/install.h"
#include "core/launcher.h"
#include "distribution/distribution.h"
#include "distribution/downloads.h"
#include "items/installfile.h"
#include "screen.h"

namespace install {

using namespace forms;

namespace {

// The typed passes, in their order, with the status text of each.
struct TypedPass {
  int type;
  const char* status_text;
};
const TypedPass kTypedPasses[] = {
    {2750, "Installing ODBC drivers..."},
    {2875, "Installing ODBC sources..."},
    {3000, "Installing Borland Database Engine aliases..."},
    {7000, "Installing shell links..."},
    {8000, "Installing shell links..."},
    {4000, "Installing INI files..."},
    {8500, "Installing registry keys..."},
    {8700, ""},
    {9052, ""},
    {9050, ""},
    {9054, ""},
};

}  // namespace

void TCustomInstall::Process() {
  aborted_ = false;
  StartRunClock();
  SetRaiseRegistrationErrors(false);
  PendingRegistrationList()->Clear();
  in_use_count_ = 0;
  batch_prepared_ = false;
  running_ = true;
  RunSequence();
}

void TCustomInstall::RunSequence() {
  if (use_loading_program_ && !flags_.Has(clLoaderPath))
    throw IEInstall(
        "The path of the loading program was not passed correctly. If you are running your install project in the "
        "IDE, then you need to add two command line parameters. In Run | Parameters | \"Run Parameters\", type in: "
        "-d \"-sBUILDPATH\" where BUILDPATH is the path into which you built the distributables. Example: -d "
        "\"-sC:\\My Build\".");
  if (flags_.Has(clClearUnfinished)) ClearUnfinished();
  SetInstallRecordKey(FindInstallRecordKey(true));
  ClearUnfinished();
  // Started from the self-extracting setup.exe: the archive lies inside it.
  if (flags_.Has(clSelfExtract)) ApplySelfExtractOffset();
  ReadArchiveInfo();
  Fire(OnAfterInitialized(), this);
  BroadcastInformationEvent(this, ieAfterInitialized, nullptr);
  BroadcastInformationEvent(this, ieBeforeInstallDialogs, nullptr);
  // A failure inside a page went to the exception handler while the wizard
  // was showing: it has ended the run already.
  if (aborted_) return;
  InstallObjects();
  if (in_use_count_ > 0 || reboot_) RegisterResumeOnReboot();
  bool reboot_requested = reboot_;
  if (reboot_) {
    SaveLanguage();
    BroadcastInformationEvent(this, ieReboot, nullptr);
    if (reboot_) Fire(on_before_reboot_, this, reboot_);
    if (reboot_) {
      RebootWindows();
      TerminateApplication();
    }
  }
  // After a reboot request the run ends here, whatever the page answered:
  // the files in use wait for the next start.
  if (reboot_requested) {
    // The files waiting for the next start are extracted: the downloaded
    // archives are not needed any more.
    RemoveDownloadFiles();
    TerminateApplication();
    return;
  }
  EndRun();
}

void TCustomInstall::InstallObjects() {
  try {
    TFileContainer::Process();
    for (TCustomInstallFile* file : std::vector<TCustomInstallFile*>(PendingRegistrationList()->Items()))
      file->RegisterFileByType();
    for (const TypedPass& pass : kTypedPasses) ProcessRegisteredType(pass.type, pass.status_text);
  } catch (...) {
    FireAfterInstallObjects(SharedArchive() && SharedArchive()->Abort());
    throw;
  }
  FireAfterInstallObjects(SharedArchive() && SharedArchive()->Abort());
}

// The end of a good run, also of a resumed one.
void TCustomInstall::EndRun() {
  NotifyGoodInstall();
  CleanupLoader();
  CleanupInstallRecord();
  RemoveDownloadFiles();
  if (run_automatic_) Shutdown();
  // Terminating only ends the message loop: the programs still start.
  RunAfterInstallFiles();
  running_ = false;
}

void TCustomInstall::ReadArchiveInfo() {
  if (archive_info_read_) return;
  Fire(on_before_read_archive_info_, this);
  BroadcastInformationEvent(this, ieBeforeReadArchiveInfo, nullptr);
  {
    TCursorGuard hourglass(crHourGlass);
    ShowStatusMessage("Reading file information...");
    try {
      TFileContainer::ReadArchiveInfo();
      // A net distribution's files that are not here yet: the list tells
      // their sizes, dates and versions before they are downloaded.
      if (distribute_type_ != dtTraditional) FetchNetFileList();
    } catch (...) {
      HideStatusMessage();
      throw;
    }
    HideStatusMessage();
  }
  archive_info_read_ = true;
  Fire(on_after_read_archive_info_, this);
  BroadcastInformationEvent(this, ieAfterReadArchiveInfo, nullptr);
}

void TCustomInstall::ProcessRegisteredType(int type, const std::string& status_text) {
  bool shown = false;
  struct Hide {
    TCustomInstall& install;
    bool& shown;
    ~Hide() {
      if (shown) install.HideStatusMessage();
    }
  } hide{*this, shown};
  std::vector<TInstallContainer*> containers = ContainerList()->Items();
  for (TInstallContainer* container : containers) {
    if (container->RegisteredType() != type) continue;
    if (!Trim(status_text).empty() && !shown) {
      ShowStatusMessage(status_text);
      shown = true;
    }
    container->Process();
  }
}

void TCustomInstall::NotifyGoodInstall() {
  Fire(on_before_notify_good_install_, this);
  BroadcastInformationEvent(this, ieGoodInstall, nullptr);
  BroadcastInformationEvent(this, ieGoodInstallDialogs, nullptr);
  Fire(on_after_notify_good_install_, this);
}

void TCustomInstall::NotifyBadInstall() {
  Fire(on_before_notify_bad_install_, this);
  BroadcastInformationEvent(this, ieBadInstall, nullptr);
  BroadcastInformationEvent(this, ieBadInstallDialogs, nullptr);
  Fire(on_after_notify_bad_install_, this);
}

void TCustomInstall::TerminateApplication() {
  if (Application()) Application()->Terminate();
}

bool TCustomInstall::Shutdown() {
  bool terminate = true;
  Fire(on_before_shutdown_, this, terminate);
  if (terminate) TerminateApplication();
  return !terminate;
}

void TCustomInstall::HandleInstallException(TComponent*, const std::exception& error) {
  if (!running_) {
    if (Application()) Application()->ShowException(error);
    return;
  }
  running_ = false;
  aborted_ = true;
  bool user_abort = dynamic_cast<const EAIUserAbort*>(&error) != nullptr;
  // The caller of setup.exe learns how the run ended.
  SetProgramExitCode(user_abort ? kExitUserAborted : kExitInstallFailed);
  // Whatever the failure, the run is over: no archive it downloaded is
  // used again.
  RemoveDownloadFiles();
  try {
    NotifyBadInstall();
    if (user_abort) {
      CleanupLoader();
      CleanupInstallRecord();
      if (run_automatic_) Shutdown();
    } else {
      if (Application()) Application()->ShowException(error);
      Shutdown();
    }
  } catch (...) {
    // The failure is shown already; a second one only ends the program.
    if (run_automatic_) TerminateApplication();
  }
}

void TCustomInstall::CleanupLoader() {
  if (!use_loading_program_ || !flags_.Has(clCleanup) || flags_.Has(clDebug)) return;
  bool cleanup = true;
  Fire(on_before_cleanup_, this, cleanup);
  if (!cleanup) return;
  std::error_code failed;
  for (const auto& entry : std::filesystem::directory_iterator(loader_directory_, failed))
    if (!entry.is_directory(failed)) DeleteFileNamed(entry.path().string());
  std::filesystem::remove(loader_directory_, failed);
  PrepareCleanupBatch();
}

void TCustomInstall::RunAfterInstallFiles() {
  for (TCustomInstallFile* file : std::vector<TCustomInstallFile*>(FileList()->Items())) {
    if (!file->RunAfterInstall() || !file->Include()) continue;
    bool run = true;
    Fire(on_before_run_file_, this, file, run);
    if (!run) continue;
    auto* launcher = New<TProgramLauncher>(nullptr);
    struct Release {
      TProgramLauncher* launcher;
      ~Release() { Free(launcher); }
    } release{launcher};
    launcher->SetFileName(file->InstalledPath());
    launcher->SetParameters(file->RunParameters().empty() ? "" : " " + file->RunParameters());
    launcher->SetShowMode(smNormal);
    LaunchProgram(*launcher);
  }
}

}  // namespace install
