// TCustomInstall / TInstall: the engine, root of the install script's tree.
// At most one exists. After the script is loaded it reads the command line,
// finds the loader directory, picks the install type and the mode of this
// start; a normal installation runs on the main form's first activation.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/commandline.h"
#include "core/container.h"
#include "core/launcher.h"
#include "core/translator.h"
#include "form.h"
#include "graphics.h"
#include "items/filecontainer.h"
#include "items/uninstall.h"

namespace install {

using TNotifyEvent = forms::TNotifyEvent;
// A handler that may veto what comes next by clearing the flag (for the
// user's cancel: whether it ends the installation).
using TVetoEvent = std::function<void(forms::TComponent* sender, bool& go_on)>;
using TBeforeRunFileEvent = std::function<void(forms::TComponent* sender, TCustomInstallFile* file, bool& run)>;
// Asks the system to restart Windows with these ExitWindowsEx flags and
// reason; true when the system took the request.
using TExitWindowsHandler = std::function<bool(uint32_t flags, uint32_t reason)>;
// The routine RebootWindows hands the request to: ExitWindowsEx unless a
// test put its own in place (nullptr restores the system's).
void SetExitWindowsHandler(TExitWindowsHandler handler);
bool ExitWindowsRequest(uint32_t flags, uint32_t reason);
// ExitWindowsEx itself (false where there is no Windows).
bool SystemExitWindows(uint32_t flags, uint32_t reason);

// The arguments of this program (its own name first), set by the program's
// entry before the main form is made.
void SetProgramArguments(std::vector<std::string> arguments);
const std::vector<std::string>& ProgramArguments();
// The program's own file: the executable, or the library the engine runs in.
std::string ProgramFileName();
// The code the program ends with: 0 for a good installation (also one that
// ends in a reboot), 1 once a build or floppy copy has failed,
// kExitInstallFailed after a failed installation, kExitUserAborted after
// the user's abort. The loader setup.exe ends with the same code.
constexpr int kExitInstallFailed = 2;
constexpr int kExitUserAborted = 3;
int ProgramExitCode();
void SetProgramExitCode(int code);

// Settings of a distribution build, stored with the script. The build takes
// its directory from BUILD.INF and reads none of these.
class TBuildInfo : public forms::TPersistent {
  FORMS_CLASS(TBuildInfo)
public:
  // The version of the installer library the script was made with.
  std::string QndrVersion() const { return "5.20.00"; }
  bool AddUninstallOnCreate = true;
  std::string AppName;
  std::string AppURL;
  std::string BuildDirectory = "c:\\build";
  std::string CredentialsFile;
  std::string OCXName;
  std::string PrivateKeyFile;
  bool SignCode = false;
  std::string URLPath;
};

// The install record of this setup file (see FindInstallRecordKey): the
// full key path under HKEY_LOCAL_MACHINE, empty when there is none.
const std::string& InstallRecordKey();
void SetInstallRecordKey(const std::string& key);
// The start time of the current run, a day-count date-time.
double RunStartTime();
// Takes the present time as the start of the run.
void StartRunClock();

// How a distribution delivers its files: all in files.1 (traditional),
// every file over the net (web), or the files marked Net over the net and
// the others in files.1 (traditional with net).
enum TDistributeType : uint8_t { dtTraditional, dtWeb, dtTraditionalNet };
extern const std::vector<std::string> kDistributeTypeNames;
// The engine's distribution type; dtTraditional without an engine.
TDistributeType InstallDistributeType();

// Codes of the unfinished list: what a run after the reboot does with an
// entry.
constexpr int kUnfinishedResume = 0;      // ResumeUnfinished of the container of that Name
constexpr int kUnfinishedDeleteFile = 1;  // delete the file of that path

class TCustomInstall : public TFileContainer {
  FORMS_CLASS(TCustomInstall)
public:
  // The single engine, or none.
  static TCustomInstall* Instance();

  void Create(forms::TComponent* owner) override;
  void Destroy() override;
  void Loaded() override;
  void Notification(forms::TComponent* component, forms::TOperation operation) override;
  // Runs the mode Loaded chose, once every component of the script is loaded.
  void AfterLoaded() override;
  int RegisteredType() const override { return 1000; }
  // The engine names no destination for others: it is the main install.
  bool WantsPathSpecifier() const override { return false; }
  // Fills the command-line flags from the program's arguments.
  virtual void ParseCommandLine();
  // The handler put in place of the main form's OnActivate.
  void FirstActivate(forms::TComponent* sender);
  // The wizard's Cancel: true unless OnUserAbort says otherwise.
  virtual bool ConfirmUserAbort();

  bool AutoMaximizeWindow() const { return auto_maximize_window_; }
  void SetAutoMaximizeWindow(bool v);
  bool HideMainForm() const { return hide_main_form_; }
  void SetHideMainForm(bool v);
  TBuildInfo& BuildInfo() { return build_info_; }
  // The picture of the wizard's pages: the program's bitmap resource
  // "INSTALLTHEME1" unless the script stores another.
  forms::TPicture& DialogThemeBitmap() { return dialog_theme_bitmap_; }
  const forms::TPicture& DialogThemeBitmap() const { return dialog_theme_bitmap_; }
  // Copies the picture.
  void SetDialogThemeBitmap(const forms::TPicture& picture) { dialog_theme_bitmap_.Assign(picture); }
  TInstallInformation& Information() { return information_; }
  TRegistrationInformation& RegistrationInformation() { return registration_information_; }
  TControlPanelExtensionInformation& Win2KExtendedInformation() { return win2k_extended_information_; }
  bool NoUninstall() const { return no_uninstall_; }
  void SetNoUninstall(bool v) { no_uninstall_ = v; }
  forms::TStringList& PresetupFiles() { return presetup_files_; }
  // Drops the blank lines, then copies.
  void SetPresetupFiles(const forms::TStringList& files);
  bool Reboot() const { return reboot_; }
  void SetReboot(bool v) { reboot_ = v; }
  bool RunAutomatic() const { return run_automatic_; }
  void SetRunAutomatic(bool v) { run_automatic_ = v; }
  TDistributeType DistributeType() const { return distribute_type_; }
  // Only the stored script sets it: outside loading it raises IEInstall. A
  // net type needs a NetLocation, which Loaded checks once the script's
  // references are resolved.
  void SetDistributeType(TDistributeType v);
  // The installer's own location is the default one of every object
  // (DefaultLocation); none makes the distribution traditional.
  void SetNetLocation(TCustomNetInstallLocation* location) override;
  bool UseLoadingProgram() const { return use_loading_program_; }
  // Set outside loading, the main archive becomes the engine's archive.
  void SetUseLoadingProgram(bool v);
  void SetOnAfterInitialized(TNotifyEvent h) { on_after_initialized_ = std::move(h); }
  const TNotifyEvent& OnAfterInitialized() const { return on_after_initialized_; }
  void SetOnUserAbort(TVetoEvent h) { on_user_abort_ = std::move(h); }

  const CommandLineFlags& Flags() const { return flags_; }
  const std::string& LoaderDirectory() const { return loader_directory_; }
  forms::TForm* MainForm() const { return main_form_; }
  bool FirstActivationDone() const { return first_activation_done_; }
  bool Running() const { return running_; }
  bool Aborted() const { return aborted_; }

  // Install records (the registry key of this setup file under
  // "\SOFTWARE\ZUV\Install"): found by the setup file's size and date,
  // made with the lowest free "Install%d" when create is set; empty when
  // there is none.
  virtual std::string FindInstallRecordKey(bool create);
  // The unfinished list of the install record: entries "name;code". These
  // raise IEInstall when there is no install record.
  virtual void AddUnfinished(const std::string& name, int code);
  virtual void ReadUnfinishedList(forms::TStringList& list);
  virtual void ClearUnfinished();
  // Entries added to the unfinished list by this run.
  int32_t InUseCount() const { return in_use_count_; }
  // Writes the RunOnce value that starts this installer with -r at the
  // next start of Windows; raises IEInstall when it cannot.
  virtual void RegisterResumeOnReboot();
  // Restarts Windows; on failure OnFailedReboot or a message to the user.
  void RebootWindows();
  // The translator's language, kept in the install record over a reboot.
  void SaveLanguage();
  TQndrLanguage LoadLanguage();
  // Removes the install record with the archives it recorded.
  virtual void CleanupInstallRecord();
  // The run after a reboot (flag r): works through the unfinished list of
  // the install record, then ends as a good installation.
  void ResumeUnfinished() override;

  // The installation run: from the install record and the archive
  // information through the wizard, the file tree and the typed passes to
  // the end notifications, the reboot or the clean-up.
  void Process() override;
  // Once per program run: OnBeforeReadArchiveInfo, -984, the files'
  // archive information, OnAfterReadArchiveInfo, -983.
  void ReadArchiveInfo() override;
  // One typed pass: every container of the type, in creation order, with
  // the status text shown while it runs.
  virtual void ProcessRegisteredType(int type, const std::string& status_text);
  virtual void NotifyGoodInstall();
  virtual void NotifyBadInstall();
  // Empties and removes the loader directory (with -c, not with -d) and
  // prepares the batch that removes the installer once it has ended.
  virtual void CleanupLoader();
  // Starts the files marked to run after installation, in file-list order.
  virtual void RunAfterInstallFiles();
  // The application's exception handler: a failure while the run is going
  // ends it as a bad installation.
  virtual void HandleInstallException(forms::TComponent* sender, const std::exception& error);
  // Ends the application unless OnBeforeShutdown vetoes; true when vetoed.
  bool Shutdown();
  bool BatchPrepared() const { return batch_prepared_; }
  const std::string& BatchFile() const { return batch_file_; }

  void SetOnAfterNotifyBadInstall(TNotifyEvent h) { on_after_notify_bad_install_ = std::move(h); }
  void SetOnAfterNotifyGoodInstall(TNotifyEvent h) { on_after_notify_good_install_ = std::move(h); }
  void SetOnAfterReadArchiveInfo(TNotifyEvent h) { on_after_read_archive_info_ = std::move(h); }
  void SetOnBeforeReadArchiveInfo(TNotifyEvent h) { on_before_read_archive_info_ = std::move(h); }
  void SetOnBeforeNotifyBadInstall(TNotifyEvent h) { on_before_notify_bad_install_ = std::move(h); }
  void SetOnBeforeNotifyGoodInstall(TNotifyEvent h) { on_before_notify_good_install_ = std::move(h); }
  void SetOnBeforeReboot(TVetoEvent h) { on_before_reboot_ = std::move(h); }
  void SetOnBeforeRunFile(TBeforeRunFileEvent h) { on_before_run_file_ = std::move(h); }
  void SetOnBeforeShutdown(TVetoEvent h) { on_before_shutdown_ = std::move(h); }
  void SetOnBeforeCleanup(TVetoEvent h) { on_before_cleanup_ = std::move(h); }
  void SetOnFailedReboot(TNotifyEvent h) { on_failed_reboot_ = std::move(h); }

  // The "-f" mode: copies the installation from the self-extracting file
  // to floppy disks in target (setup.exe, setup.1, files.1 spanned over as
  // many disks as it needs); a failure is shown in a plain message box.
  // Then the application ends.
  void CopyToFloppies(const std::string& target);
  // The copy itself; raises what fails.
  void CopyInstallationToFloppies(const std::string& target);
  // Asks for disk n; Cancel raises IEInstall "Aborted by user".
  void ShowDiskPrompt(TQndrCompress* sender, int32_t disk, std::string& path);

  // The "-b" mode: builds the self-extracting distribution into the folder
  // that the first line of BUILD.INF beside the installer names; a failure
  // is shown in a plain message box. Then the application ends.
  void BuildFromBuildInf();
  // Builds the distribution of installer into directory: setup.exe (the
  // loader program), setup.1 (the installer and the PresetupFiles) and
  // files.1 (the script's files); self-extracting, setup.1 and files.1
  // follow the loader inside setup.exe. setup.exe ends with the
  // self-extract header and its checksum. Without the loading program the
  // installer is copied beside files.1 instead. A net distribution adds
  // the archives of its net files and the net file list below the remote
  // root of its location. A build that fails removes again every file it
  // wrote (a distribution half made anew is none); the files of an earlier
  // build that it did not reach stay as they were.
  virtual void Build(const std::string& installer, const std::string& directory, bool self_extracting);
  // setup.1 and the loader program as setup.exe, or the installer itself
  // without the loading program.
  void CopyLoaderProgram(const std::string& directory, const std::string& installer);
  // setup.1 in directory: the installer, then every PresetupFiles line.
  virtual void CreateSetupArchive(const std::string& directory, const std::string& installer);
  // Resets every file's compression marks, then compresses the tree.
  void Compress(int options) override;
  // The net file list "filelist.lst" of a build, below the remote root
  // beside the archive: a record for every file the build compressed, in
  // the order of the file list.
  virtual void WriteNetFileList();

protected:
  // The install record's unfinished list; raises IEInstall without a record.
  static std::string UnfinishedKey();

private:
  enum class Mode { None, Build, Floppy, Resume, FirstActivation };
  void RunSequence();
  void InstallObjects();
  // The build's compression of the tree into files1.
  void CompressDistribution(const std::string& files1);
  // Where a build into directory writes the net file list.
  std::string NetFileListPath(const std::string& directory) const;
  // Sets every file's two compression marks to 0.
  void ResetCompressMarks();
  // After a failed build: deletes what it wrote, never the installer.
  void RemoveBuildOutputs(const std::string& installer);
  void EndRun();
  void ResumeEntry(const std::string& entry);
  void TerminateApplication();
  void PrepareCleanupBatch();
  void RunCleanupBatch();
  // Asks the system for the restart; false when it refuses.
  bool RequestReboot();
  // Starts the program the launcher names, as the platform can.
  static void LaunchProgram(TProgramLauncher& launcher);
  void ChooseInstallType();
  void ChooseMode();
  void RestoreActivateHandler();

  bool auto_maximize_window_ = true;
  bool hide_main_form_ = false;
  TBuildInfo build_info_;
  forms::TPicture dialog_theme_bitmap_;
  TInstallInformation information_;
  TRegistrationInformation registration_information_;
  TControlPanelExtensionInformation win2k_extended_information_{this};
  TDistributeType distribute_type_ = dtTraditional;
  bool no_uninstall_ = false;
  forms::TStringList presetup_files_;
  bool reboot_ = false;
  bool run_automatic_ = true;
  bool use_loading_program_ = true;
  // The files the running build has written to, before it writes them;
  // the archives of its compression are known by the files' marks.
  std::vector<std::string> build_outputs_;
  TNotifyEvent on_after_initialized_;
  TVetoEvent on_user_abort_;

  CommandLineFlags flags_;
  std::string loader_directory_;
  forms::TForm* main_form_ = nullptr;
  TNotifyEvent saved_on_activate_;
  bool activate_handler_installed_ = false;
  bool first_activation_done_ = false;
  bool running_ = false;
  bool aborted_ = false;
  int32_t in_use_count_ = 0;
  bool batch_prepared_ = false;
  bool archive_info_read_ = false;
  std::string batch_file_;
  TNotifyEvent on_after_notify_bad_install_;
  TNotifyEvent on_after_notify_good_install_;
  TNotifyEvent on_after_read_archive_info_;
  TNotifyEvent on_before_read_archive_info_;
  TNotifyEvent on_before_notify_bad_install_;
  TNotifyEvent on_before_notify_good_install_;
  TVetoEvent on_before_reboot_;
  TBeforeRunFileEvent on_before_run_file_;
  TVetoEvent on_before_shutdown_;
  TVetoEvent on_before_cleanup_;
  TNotifyEvent on_failed_reboot_;
  Mode mode_ = Mode::None;
};

class TInstall : public TCustomInstall {
  FORMS_CLASS(TInstall)
};

// What decides whether the script's system updaters run: the platform and
// version of Windows, whether the shell-folder library is already there and
// the installed common-controls version (major << 16 | minor).
struct UpdaterFacts {
  bool nt_platform = false;
  uint32_t major_version = 0;
  bool shell_folder_library_loads = false;
  uint32_t common_controls_version = 0;
};

// The main form of the setup program: it carries the install script.
class TInstallMainForm : public forms::TForm {
  FORMS_CLASS(TInstallMainForm)
public:
  void Create(forms::TComponent* owner) override;
  // The shell-folder update program runs only where the system lacks the
  // library; the common-controls update only below version 4.71, quietly.
  // An updater the script does not hold is skipped.
  void ChooseUpdaters(const UpdaterFacts& facts);
#ifdef _WIN32
  // The script's after-initialized handler: ChooseUpdaters for this system.
  void Install1AfterInitialized(forms::TComponent* sender);
#endif
};

}  // namespace install
