#include "core/install.h"

#include "application.h"
#include "archive/qndr_compress.h"
#include "core/exceptions.h"
#include "distribution/downloads.h"
#include "distribution/netlocation.h"

namespace install {

using namespace forms;

namespace {

TCustomInstall* g_install = nullptr;
std::vector<std::string> g_program_arguments;
int g_program_exit_code = 0;

const char* const kDefaultDestDir = "\\MyApplication";
const char* const kDefaultThemeBitmap = "INSTALLTHEME1";

}  // namespace

const std::vector<std::string> kDistributeTypeNames = {"dtTraditional", "dtWeb", "dtTraditionalNet"};

TDistributeType InstallDistributeType() { return g_install ? g_install->DistributeType() : dtTraditional; }

void SetProgramArguments(std::vector<std::string> arguments) { g_program_arguments = std::move(arguments); }

const std::vector<std::string>& ProgramArguments() { return g_program_arguments; }

int ProgramExitCode() { return g_program_exit_code; }
void SetProgramExitCode(int code) { g_program_exit_code = code; }

const ClassInfo& TBuildInfo::StaticClass() {
  using C = TBuildInfo;
  static const ClassInfo info{"TBuildInfo", &TPersistent::StaticClass(), nullptr,
                              {BoolField<C>("AddUninstallOnCreate", &C::AddUninstallOnCreate, true),
                               StringField<C>("AppName", &C::AppName), StringField<C>("AppURL", &C::AppURL),
                               StringField<C>("BuildDirectory", &C::BuildDirectory),
                               StringField<C>("CredentialsFile", &C::CredentialsFile),
                               StringField<C>("OCXName", &C::OCXName),
                               StringField<C>("PrivateKeyFile", &C::PrivateKeyFile),
                               BoolField<C>("SignCode", &C::SignCode, false), StringField<C>("URLPath", &C::URLPath)}};
  return info;
}

const ClassInfo& TCustomInstall::StaticClass() {
  using C = TCustomInstall;
  static const ClassInfo info{
      "TCustomInstall", &TFileContainer::StaticClass(), nullptr,
      {BoolProp<C>("AutoMaximizeWindow", &C::AutoMaximizeWindow, &C::SetAutoMaximizeWindow, true),
       ObjectProp<C, TBuildInfo>("BuildInfo", &C::BuildInfo),
       [] {
         PropInfo theme = ObjectProp<C, TPicture>("DialogThemeBitmap", &C::DialogThemeBitmap);
         // The program's own picture is the default, not stored.
         theme.stored = [](const TPersistent& o) {
           return static_cast<const C&>(o).DialogThemeBitmap().ResourceName() != kDefaultThemeBitmap;
         };
         return theme;
       }(),
       EnumProp<C, TDistributeType>("DistributeType", kDistributeTypeNames, &C::DistributeType,
                                    &C::SetDistributeType, dtTraditional),
       BoolProp<C>("HideMainForm", &C::HideMainForm, &C::SetHideMainForm, false),
       ObjectProp<C, TInstallInformation>("Information", &C::Information),
       ObjectProp<C, TControlPanelExtensionInformation>("win2KExtendedInformation", &C::Win2KExtendedInformation),
       SetOfProp<C, TInstallTypeSet>("InstallTypes", kInstallTypeNames, &C::InstallTypes, &C::SetInstallTypes,
                                   InstallTypeBit(itFull)),
       ComponentProp<C, TCustomNetInstallLocation>("NetLocation", &C::NetLocation, &C::SetNetLocation),
       BoolProp<C>("NoUninstall", &C::NoUninstall, &C::SetNoUninstall, false),
       StringsProp<C, TStringList>("PresetupFiles", &C::PresetupFiles, &C::SetPresetupFiles),
       BoolProp<C>("Reboot", &C::Reboot, &C::SetReboot, false),
       BoolProp<C>("RunAutomatic", &C::RunAutomatic, &C::SetRunAutomatic, true),
       BoolProp<C>("UseLoadingProgram", &C::UseLoadingProgram, &C::SetUseLoadingProgram, true),
       EventProp<C, void(TComponent*)>("OnAfterInitialized", &C::SetOnAfterInitialized),
       EventProp<C, void(TInstallContainer*, bool)>("OnAfterInstallObjects", &C::SetOnAfterInstallObjects),
       EventProp<C, void(TComponent*)>("OnAfterNotifyBadInstall", &C::SetOnAfterNotifyBadInstall),
       EventProp<C, void(TComponent*)>("OnAfterNotifyGoodInstall", &C::SetOnAfterNotifyGoodInstall),
       EventProp<C, void(TComponent*)>("OnAfterReadArchiveInfo", &C::SetOnAfterReadArchiveInfo),
       EventProp<C, void(TInstallContainer*)>("OnBeforeInstallObjects", &C::SetOnBeforeInstallObjects),
       EventProp<C, void(TComponent*)>("OnBeforeReadArchiveInfo", &C::SetOnBeforeReadArchiveInfo),
       EventProp<C, void(TComponent*, bool&)>("OnBeforeReboot", &C::SetOnBeforeReboot),
       EventProp<C, void(TComponent*, TCustomInstallFile*, bool&)>("OnBeforeRunFile", &C::SetOnBeforeRunFile),
       EventProp<C, void(TComponent*, bool&)>("OnBeforeShutdown", &C::SetOnBeforeShutdown),
       EventProp<C, void(TComponent*, bool&)>("OnBeforeCleanup", &C::SetOnBeforeCleanup),
       EventProp<C, void(TComponent*)>("OnBeforeNotifyBadInstall", &C::SetOnBeforeNotifyBadInstall),
       EventProp<C, void(TComponent*)>("OnBeforeNotifyGoodInstall", &C::SetOnBeforeNotifyGoodInstall),
       EventProp<C, void(TComponent*)>("OnFailedReboot", &C::SetOnFailedReboot),
       EventProp<C, void(TCustomInstallFile*, int32_t, std::string&)>("OnNewDisk", &C::SetOnNewDisk),
       EventProp<C, void(TCustomInstallFile*)>("OnReplacing", &C::SetOnReplacing),
       EventProp<C, void(TCustomInstallFile*, int32_t, int32_t)>("OnStatus", &C::SetOnStatus),
       EventProp<C, void(TComponent*, bool&)>("OnUserAbort", &C::SetOnUserAbort)}};
  return info;
}

const ClassInfo& TInstall::StaticClass() {
  static const ClassInfo info{"TInstall", &TCustomInstall::StaticClass(),
                              [](TComponent* owner) -> TComponent* { return New<TInstall>(owner); }};
  return info;
}

TCustomInstall* TCustomInstall::Instance() { return g_install; }

void TCustomInstall::Create(TComponent* owner) {
  if (g_install)
    throw IEInstall("The TInstall component does not currently support the use of 2 TInstall components in the same project");
  if (!owner || !(owner->InheritsFrom("TForm") || owner->InheritsFrom("TDataModule")))
    throw IEInstall("The owner of the TInstall component must be a form or a data module");
  TFileContainer::Create(owner);
  StoreDestDirType(StandardPathSpecifiers().FindByClass("TpsProgramFiles"));
  SetDefaultDestDirTypePending();
  SetDestDir(kDefaultDestDir);
  SetInstallTypes(InstallTypeBit(itFull));
  StoreArchiveFileType(StandardPathSpecifiers().FindByClass("TpsMainArchiveFile"));
  SetDescription("TInstall component");
  // A program without the picture (a test's) shows its pages without one.
  dialog_theme_bitmap_.LoadFromResourceName(kDefaultThemeBitmap);
  // The run tells of the end of the installed objects itself.
  SetAfterInstallObjectsEnabled(false);
  g_install = this;
  if (Application())
    Application()->SetOnException(
        [this](TComponent* sender, const std::exception& error) { HandleInstallException(sender, error); });
}

void TCustomInstall::Destroy() {
  RestoreActivateHandler();
  // However the program ends, it leaves no download behind.
  RemoveDownloadFiles();
  if (g_install == this) {
    g_install = nullptr;
    if (Application()) Application()->SetOnException(nullptr);
  }
  if (batch_prepared_) RunCleanupBatch();
  TFileContainer::Destroy();
}

void TCustomInstall::Notification(TComponent* component, TOperation operation) {
  TFileContainer::Notification(component, operation);
  if (operation == TOperation::opRemove) win2k_extended_information_.Forget(component);
}

void TCustomInstall::SetUseLoadingProgram(bool v) {
  use_loading_program_ = v;
  if (Loading() || !v) return;
  SetArchiveFileType(StandardPathSpecifiers().FindByClass("TpsMainArchiveFile"));
  SetArchiveFile("");
}

void TCustomInstall::SetDistributeType(TDistributeType v) {
  if (!Loading()) throw IEInstall("DistributeType can only be set at design-time");
  distribute_type_ = v;
}

void TCustomInstall::SetNetLocation(TCustomNetInstallLocation* location) {
  TFileContainer::SetNetLocation(location);
  SetDefaultLocation(location);
  if (!location) distribute_type_ = dtTraditional;
}

void TCustomInstall::SetAutoMaximizeWindow(bool v) {
  auto_maximize_window_ = v;
  if (!Loading() && v) hide_main_form_ = false;
}

void TCustomInstall::SetHideMainForm(bool v) {
  hide_main_form_ = v;
  if (!Loading() && v) auto_maximize_window_ = false;
}

void TCustomInstall::SetPresetupFiles(const TStringList& files) {
  TStringList kept = files;
  for (int i = kept.Count() - 1; i >= 0; --i)
    if (Trim(kept[i]).empty()) kept.Delete(i);
  presetup_files_.Assign(kept);
}

void TCustomInstall::ParseCommandLine() { flags_ = install::ParseCommandLine(ProgramArguments()); }

void TCustomInstall::Loaded() {
  TFileContainer::Loaded();
  // The stream sets the type before its references, the location among
  // them, are resolved: only now can the two be checked together.
  if (distribute_type_ != dtTraditional && !NetLocation())
    throw IEInstallNetLocNil(
        "Must assign a net location via the NetLocation property before you can set the distribute type");
  ParseCommandLine();
  if (flags_.Has(clDebug) && Trim(flags_.Value(clLoaderPath)).empty())
    throw IEInstall(
        "You forgot to pass in the build directory. In Run | Parameters, follow this format: -d "
        "\"-sC:\\My Build\"");
  if (flags_.Has(clLoaderPath)) {
    loader_directory_ = flags_.Value(clLoaderPath);
  } else {
    std::string program = ProgramFileName();
    size_t slash = program.find_last_of("\\/");
    loader_directory_ = slash == std::string::npos ? "" : program.substr(0, slash);
  }
  StartRunClock();
  SetInstallRecordKey(FindInstallRecordKey(false));
  TakeRecordedLocalArchive();
  main_form_ = Application() && Application()->MainForm() ? Application()->MainForm()
                                                           : dynamic_cast<TForm*>(Owner());
  if (!main_form_ && run_automatic_)
    throw IEInstall(
        "Application.MainForm is undefined and the TInstall is not on a form. Therefore, therefore the "
        "TInstall can't run the installation automatically");
  ChooseInstallType();
  ChooseMode();
}

void TCustomInstall::ChooseInstallType() {
  SetInstallType(itFull);
  for (TInstallType type : {itDefault, itCompact, itFull}) {
    if (InstallTypes() & InstallTypeBit(type)) {
      SetInstallType(type);
      return;
    }
  }
}

void TCustomInstall::ChooseMode() {
  if (flags_.Has(clBuild)) {
    mode_ = Mode::Build;
  } else if (flags_.Has(clFloppy)) {
    mode_ = Mode::Floppy;
  } else if (flags_.Has(clAfterReboot)) {
    mode_ = Mode::Resume;
  } else if (main_form_) {
    mode_ = Mode::FirstActivation;
    saved_on_activate_ = main_form_->OnActivate();
    main_form_->SetOnActivate([this](TComponent* sender) { FirstActivate(sender); });
    activate_handler_installed_ = true;
    if (hide_main_form_) {
      main_form_->SetLeft(-2 * main_form_->Width());
      main_form_->SetTop(-2 * main_form_->Height());
    }
  }
}

void TCustomInstall::AfterLoaded() {
  switch (mode_) {
    case Mode::Build:
      BuildFromBuildInf();
      break;
    case Mode::Floppy:
      CopyToFloppies("a:");
      break;
    case Mode::Resume:
      ResumeUnfinished();
      break;
    case Mode::None:
    case Mode::FirstActivation:
      break;
  }
}

void TCustomInstall::RestoreActivateHandler() {
  if (!activate_handler_installed_ || !main_form_) return;
  if (!main_form_->Destroying()) main_form_->SetOnActivate(saved_on_activate_);
  activate_handler_installed_ = false;
}

void TCustomInstall::FirstActivate(TComponent*) {
  if (first_activation_done_) return;
  Fire(saved_on_activate_, Owner());
  first_activation_done_ = true;
  if (auto_maximize_window_) {
    main_form_->SetWindowState(TWindowState::wsMaximized);
#ifdef _WIN32
    main_form_->Refresh();
#endif
  }
  if (!run_automatic_) return;
  if (Owner() && !Owner()->Destroying()) RestoreActivateHandler();
  // The installation starts: a cancel left from before must not stop it.
  if (SharedArchive()) SharedArchive()->SetAbort(false);
  SetDownloadAborted(false);
  Process();
}

bool TCustomInstall::ConfirmUserAbort() {
  bool abort = true;
  Fire(on_user_abort_, this, abort);
  return abort;
}

const ClassInfo& TInstallMainForm::StaticClass() {
  static const ClassInfo info{
      "TInstallMainForm", &TForm::StaticClass(),
      [](TComponent* owner) -> TComponent* { return New<TInstallMainForm>(owner); },
      {},
#ifdef _WIN32
      {PublishedMethod<TInstallMainForm, void(TComponent*)>("Install1AfterInitialized",
                                                            &TInstallMainForm::Install1AfterInitialized)}
#else
      {}
#endif
  };
  return info;
}

void TInstallMainForm::ChooseUpdaters(const UpdaterFacts& facts) {
  if (TComponent* shell_folder = FindComponent("IFShFolder_Exe")) {
    if ((facts.nt_platform && facts.major_version > 4) || facts.shell_folder_library_loads)
      SetBoolProperty(*shell_folder, "RunAfterInstall", false);
  }
  if (TComponent* common_controls = FindComponent("IF50ComUpd_Exe")) {
    bool needed = facts.common_controls_version < 0x40047;
    SetBoolProperty(*common_controls, "Include", needed);
    if (needed) SetStringProperty(*common_controls, "RunParameters", "/Q");
  }
}

void TInstallMainForm::Create(TComponent* owner) {
  TForm::Create(owner);
  SetCaption("Install");
  SetWidth(729);
  SetHeight(472);
}

}  // namespace install
