// TCustomInstall / TInstall: the engine, root of the install script's tree.
// At most one exists. After the script is loaded it reads the command line,
// finds the loader directory, picks the install type and the mode of this
// start; a normal installation runs on the main form's first activation.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "commandline.h"
#include "container.h"
#include "form.h"

namespace install {

using TNotifyEvent = forms::TNotifyEvent;
// Asked whether the user's cancel ends the installation; may clear abort.
using TUserAbortEvent = std::function<void(forms::TComponent* sender, bool& abort)>;

// The arguments of this program (its own name first), set by the program's
// entry before the main form is made.
void SetProgramArguments(std::vector<std::string> arguments);
const std::vector<std::string>& ProgramArguments();
// The program's own file: the executable, or the library the engine runs in.
std::string ProgramFileName();

// Settings of a distribution build, stored with the script. The build takes
// its directory from BUILD.INF and reads none of these.
class TBuildInfo : public forms::TPersistent {
  FORMS_CLASS(TBuildInfo)
public:
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

class TCustomInstall : public TInstallObject {
  FORMS_CLASS(TCustomInstall)
public:
  // The single engine, or none.
  static TCustomInstall* Instance();

  void Create(forms::TComponent* owner) override;
  void Destroy() override;
  void Loaded() override;
  // Runs the mode Loaded chose, once every component of the script is loaded.
  void AfterLoaded() override;
  int RegisteredType() const override { return 1000; }
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
  TInstallInformation& Information() { return information_; }
  TRegistrationInformation& RegistrationInformation() { return registration_information_; }
  bool NoUninstall() const { return no_uninstall_; }
  void SetNoUninstall(bool v) { no_uninstall_ = v; }
  forms::TStringList& PresetupFiles() { return presetup_files_; }
  // Drops the blank lines, then copies.
  void SetPresetupFiles(const forms::TStringList& files);
  bool Reboot() const { return reboot_; }
  void SetReboot(bool v) { reboot_ = v; }
  bool RunAutomatic() const { return run_automatic_; }
  void SetRunAutomatic(bool v) { run_automatic_ = v; }
  bool UseLoadingProgram() const { return use_loading_program_; }
  void SetUseLoadingProgram(bool v) { use_loading_program_ = v; }
  void SetOnAfterInitialized(TNotifyEvent h) { on_after_initialized_ = std::move(h); }
  const TNotifyEvent& OnAfterInitialized() const { return on_after_initialized_; }
  void SetOnUserAbort(TUserAbortEvent h) { on_user_abort_ = std::move(h); }

  const CommandLineFlags& Flags() const { return flags_; }
  const std::string& LoaderDirectory() const { return loader_directory_; }
  forms::TForm* MainForm() const { return main_form_; }
  bool FirstActivationDone() const { return first_activation_done_; }
  bool Running() const { return running_; }
  bool Aborted() const { return aborted_; }

private:
  enum class Mode { None, Build, Floppy, Resume, FirstActivation };
  void ChooseInstallType();
  void ChooseMode();
  void RestoreActivateHandler();

  bool auto_maximize_window_ = true;
  bool hide_main_form_ = false;
  TBuildInfo build_info_;
  TInstallInformation information_;
  TRegistrationInformation registration_information_;
  bool no_uninstall_ = false;
  forms::TStringList presetup_files_;
  bool reboot_ = false;
  bool run_automatic_ = true;
  bool use_loading_program_ = true;
  TNotifyEvent on_after_initialized_;
  TUserAbortEvent on_user_abort_;

  CommandLineFlags flags_;
  std::string loader_directory_;
  forms::TForm* main_form_ = nullptr;
  TNotifyEvent saved_on_activate_;
  bool activate_handler_installed_ = false;
  bool first_activation_done_ = false;
  bool running_ = false;
  bool aborted_ = false;
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
