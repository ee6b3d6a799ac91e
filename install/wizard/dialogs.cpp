#include "dialogs.h"

#include <algorithm>
#include <cmath>

#include "application.h"
#include "core/baseform.h"
#include "core/exceptions.h"
#include "core/install.h"
#include "items/installfile.h"
#include "pageforms.h"

namespace install {

using namespace forms;

const std::vector<std::string> kManagerTypeNames = {
    "dmBeforeInstall", "dmAfterGoodInstall", "dmAfterBadInstall", "dmDuringCopyFiles",
    "dmChangeDisk",    "dmReboot",           "dmRegistration",    "dmUninstall"};
const std::vector<std::string> kDialogPositionNames = {
    "qdpCenterLeft", "qdpCenter",     "qdpCenterRight", "qdpBottomLeft", "qdpBottomCenter",
    "qdpBottomRight", "qdpTopLeft", "qdpTopCenter",   "qdpTopRight"};

namespace {

constexpr TInstallTypeSet kAllInstallTypes = 0x0F;

// A plain exception with a translated message.
[[noreturn]] void Fail(const std::string& pattern, const std::vector<FormatArg>& args = {}) {
  throw Exception(Format(TranslateString(pattern), args));
}

int32_t Centre(double screen, double window, TCentring centring) {
  if (centring == TCentring::Truncate)
    return static_cast<int32_t>(static_cast<float>(screen / 2 - window / 2));
  return static_cast<int32_t>(std::nearbyint(screen / 2 - window / 2));
}

// The parameter of a copy-progress event, checked.
template <class Parameter>
Parameter* ProgressParameter(TPersistent* param, const std::string& manager, const char* class_name) {
  if (!param) throw IException("%s got a nil PO parameter", {manager});
  auto* typed = dynamic_cast<Parameter*>(param);
  if (!typed) throw IException(std::string("The PO object passed to %s is not a ") + class_name + " object", {manager});
  return typed;
}

}  // namespace

TWindowPlacement PlaceWindow(TQuendricDialogPosition position, int32_t left_offset, int32_t top_offset,
                             int32_t width, int32_t height, int32_t screen_width, int32_t screen_height,
                             int32_t caption_height, TCentring centring) {
  TWindowPlacement placement{};
  switch (position) {
    case qdpCenter: case qdpBottomCenter: case qdpTopCenter:
      placement.left = Centre(screen_width, width, centring) + left_offset;
      break;
    case qdpCenterLeft: case qdpBottomLeft: case qdpTopLeft:
      placement.left = left_offset;
      break;
    case qdpCenterRight: case qdpBottomRight: case qdpTopRight:
      placement.left = screen_width - width - left_offset;
      break;
  }
  switch (position) {
    case qdpCenterLeft: case qdpCenter: case qdpCenterRight:
      placement.top = Centre(screen_height, height, centring) + top_offset;
      break;
    case qdpTopLeft: case qdpTopCenter: case qdpTopRight:
      placement.top = top_offset;
      break;
    case qdpBottomLeft: case qdpBottomCenter: case qdpBottomRight:
      placement.top = screen_height - caption_height - height - top_offset;
      break;
  }
  return placement;
}

TWindowPlacement PlaceOnScreen(TQuendricDialogPosition position, int32_t left_offset, int32_t top_offset,
                               int32_t width, int32_t height, TCentring centring) {
  return PlaceWindow(position, left_offset, top_offset, width, height, GetSystemMetrics(SM_CXSCREEN),
                     GetSystemMetrics(SM_CYSCREEN), GetSystemMetrics(SM_CYCAPTION), centring);
}

// ---------------------------------------------------------------- manager

const ClassInfo& TDialogManager::StaticClass() {
  using C = TDialogManager;
  static const ClassInfo info{
      "TDialogManager", &TInstallObject::StaticClass(),
      [](TComponent* owner) -> TComponent* { return New<C>(owner); },
      {ContainerProperty(), IntProp<C>("Height", &C::Height, &C::SetHeight, 395),
       EnumProp<C, TManagerType>("ManagerType", kManagerTypeNames, &C::ManagerType, &C::SetManagerType,
                                 dmBeforeInstall),
       EnumProp<C, TQuendricDialogPosition>("Position", kDialogPositionNames, &C::Position, &C::SetPosition,
                                            qdpCenter),
       IntProp<C>("RelativeLeftOffset", &C::RelativeLeftOffset, &C::SetRelativeLeftOffset, 0),
       IntProp<C>("RelativeTopOffset", &C::RelativeTopOffset, &C::SetRelativeTopOffset, 0),
       IntProp<C>("Width", &C::Width, &C::SetWidth, 478)}};
  return info;
}

void TDialogManager::Destroy() {
  CloseCopyForms();
  for (TCustomBaseInstallDlg* dialog : std::vector<TCustomBaseInstallDlg*>(dialogs_)) dialog->SetDialogManager(nullptr);
  if (CurrentManager() == this) SetCurrentManager(nullptr);
  TInstallObject::Destroy();
}

void TDialogManager::Notification(TComponent* component, TOperation operation) {
  TInstallObject::Notification(component, operation);
  // A copy form freed elsewhere (the application's end) leaves the list.
  if (operation == TOperation::opRemove)
    copy_forms_.erase(std::remove(copy_forms_.begin(), copy_forms_.end(), component), copy_forms_.end());
}

void TDialogManager::ContainerRemoved(TInstallContainer* container) {
  TInstallObject::ContainerRemoved(container);
  if (auto* dialog = dynamic_cast<TCustomBaseInstallDlg*>(container)) RemoveDialog(dialog);
}

void TDialogManager::DoInformationEvent(TComponent* sender, int code, TPersistent* param) {
  TInstallObject::DoInformationEvent(sender, code, param);
  struct PageRun {
    int code;
    TManagerType type;
  };
  static const PageRun kPageRuns[] = {{ieBeforeInstallDialogs, dmBeforeInstall},
                                      {ieGoodInstallDialogs, dmAfterGoodInstall},
                                      {ieBadInstallDialogs, dmAfterBadInstall},
                                      {ieRegistrationDialogs, dmRegistration},
                                      {ieReboot, dmReboot}};
  for (const PageRun& run : kPageRuns)
    if (code == run.code && manager_type_ == run.type) return ShowDialogs();
  if (manager_type_ == dmDuringCopyFiles) {
    if (code == ieFileStatus)
      UpdateCopyForms(ProgressParameter<TFileStatusParameter>(param, Name(), "TFileStatusParameter"), nullptr);
    else if (code == ieDownloadStatus)
      UpdateCopyForms(nullptr, ProgressParameter<TDownloadStatusParameter>(param, Name(), "TDownloadStatusParameter"));
    else if (code == ieCopyFinished)
      CloseCopyForms();
  } else if (manager_type_ == dmChangeDisk && code == ieNewDisk) {
    ShowChangeDisk(param);
  }
}

void TDialogManager::ShowDialogs() {
  SetCurrentManager(this);
  TBaseFormContainer* host = nullptr;
  try {
    host = New<TBaseFormContainer>(Application());
    host->SetBounds(host->Left(), host->Top(), width_, height_);
    host->SetPosition(position_, relative_left_offset_, relative_top_offset_);
    if (CollectPages(*host) > 0) {
      host->FormShow();
      if (host->ShowModal() == mrCancel) throw EAIUserAbort();
      if (TForm* main_form = Application()->MainForm()) main_form->Refresh();
      Application()->ProcessMessages();
    }
  } catch (...) {
    SetCurrentManager(nullptr);
    Free(host);
    throw;
  }
  SetCurrentManager(nullptr);
  Free(host);
}

int TDialogManager::CollectPages(TBaseFormContainer& host) {
  TDialogManager* current = CurrentManager();
  if (!current) Fail("The current dialog manager is not defined");
  if (!PageRegistry()) Fail("The BIFList is NIL");
  for (TBIFEntry* entry : PageRegistry()->Snapshot()) {
    TCustomBaseInstallDlg* dialog = entry->dialog;
    if (dialog && (dialog->DialogManager() != current || !dialog->CanExecute())) continue;
    auto* page = dynamic_cast<TBaseInstallForm*>(entry->form_class->create(&host));
    if (!page) Fail("%s is not a page form", {entry->form_class->name});
    if (!dialog && page->DM() != current) {
      Free(page);
      continue;
    }
    page->SetDC(dialog);
    if (dialog) {
      page->SetContainer(dynamic_cast<TInstallObject*>(dialog->Container()));
      page->SetOrder(dialog->Order());
      dialog->SetDialog(page);
      dialog->AssignDialogProperties();
    }
    host.AddPage(page);
  }
  host.SortPages();
  return static_cast<int>(host.Pages().size());
}

void TDialogManager::ShowChangeDisk(TPersistent* param) {
  TFormEntryList* registry = ChangeDiskRegistry();
  if (!registry || registry->Count() == 0) return;
  auto* form = dynamic_cast<TBaseInstallForm*>(registry->Entry(0).form_class->create(Application()));
  SetCurrentManager(this);
  try {
    if (form && form->DM() == this) {
      if (!param) Fail("The ParameterObject is Nil in the TDialogManager. Cannot show the change disk form");
      auto* list = dynamic_cast<TList*>(param);
      if (!list) Fail("TChangeDiskDlg--PO is not a TList object");
      if (list->Items.size() < 2) Fail("TChangeDiskDlg--Not engouh parameters for status event");
      auto* file = dynamic_cast<TCustomInstallFile*>(list->Items[0]);
      if (!file)
        throw Exception("TChangeDiskDlg says bad first parameter");
      if (!dynamic_cast<TDiskParameter*>(list->Items[1])) throw Exception("TChangeDiskDlg says bad second parameter");
      file->SetTag(1);
      form->UpdatePage();
      form->ApplyFontAndTranslation();
      if (form->ShowModal() == mrCancel) throw EAIUserAbort();
    }
  } catch (...) {
    Free(form);
    SetCurrentManager(nullptr);
    throw;
  }
  Free(form);
  SetCurrentManager(nullptr);
}

void TDialogManager::AddDialog(TCustomBaseInstallDlg* dialog) {
  if (!dialog) Fail("Cannot add a NIL Dialog to the Dialog Manager %s", {Name()});
  dialogs_.push_back(dialog);
}

void TDialogManager::RemoveDialog(TCustomBaseInstallDlg* dialog) {
  auto it = std::find(dialogs_.begin(), dialogs_.end(), dialog);
  if (it != dialogs_.end()) dialogs_.erase(it);
}

void TDialogManager::ShowCopyForms() {
  if (!CopyFormRegistry()) return;
  for (TDCFEntry* entry : CopyFormRegistry()->Snapshot()) {
    auto* form = dynamic_cast<TBaseDuringCopyForm*>(entry->form_class->create(Application()));
    if (!form) continue;
    if (form->DM() != this) {
      Free(form);
      continue;
    }
    if (entry->dialog) {
      entry->dialog->SetDialog(form);
      entry->dialog->PlaceDialog();
    }
    form->UpdatePage();
    form->ApplyFontAndTranslation();
    form->Show();
    copy_forms_.push_back(form);
  }
}

void TDialogManager::UpdateCopyForms(TFileStatusParameter* file_status, TDownloadStatusParameter* download_status) {
  if (copy_forms_.empty()) ShowCopyForms();
  for (TBaseDuringCopyForm* form : copy_forms_) form->UpdateProgress(file_status, download_status);
}

void TDialogManager::CloseCopyForms() {
  // A closed copy form is not shown again (the next copy makes new ones),
  // so it goes now rather than piling up hidden until the program ends.
  std::vector<TBaseDuringCopyForm*> forms = std::move(copy_forms_);
  copy_forms_.clear();
  for (TBaseDuringCopyForm* form : forms) {
    form->SetVisible(false);
    Free(form);}
}

TDialogManager* ManagerOfType(TManagerType type) {
  TCustomInstall* install = TCustomInstall::Instance();
  if (!ContainerList() || !install) return nullptr;
  for (TInstallContainer* container : ContainerList()->Items()) {
    auto* manager = dynamic_cast<TDialogManager*>(container);
    if (manager && manager->ManagerType() == type && manager->Container() == install) return manager;
  }
  return nullptr;
}

// ---------------------------------------------------------------- dialogs

std::vector<PropInfo> TCustomBaseInstallDlg::CommonProperties() {
  using C = TCustomBaseInstallDlg;
  return {BoolProp<C>("AutoSetFont", &C::AutoSetFont, &C::SetAutoSetFont, true),
          BoolProp<C>("AutoTranslate", &C::AutoTranslate, &C::SetAutoTranslate, true),
          ContainerProperty(),
          ComponentProp<C, TDialogManager>("DialogManager", &C::DialogManager, &C::SetDialogManager),
          BoolProp<C>("OverrideMainTranslator", &C::OverrideMainTranslator, &C::SetOverrideMainTranslator, false),
          ObjectProp<C, TPicture>("ThemeBitmap", &C::ThemeBitmap),
          EnumProp<C, TQndrLanguage>("TranslateIntoLanguage", kLanguageNames, &C::TranslateIntoLanguage,
                                     &C::SetTranslateIntoLanguage, qlUser),
          EventProp<C, void(TComponent*)>("OnAfterExecute", &C::SetOnAfterExecute),
          EventProp<C, void(TComponent*)>("OnBeforeExecute", &C::SetOnBeforeExecute)};
}

std::vector<PropInfo> TCustomBaseInstallDlg::SizeProperties(int32_t height, TQuendricDialogPosition position,
                                                            int32_t top_offset, int32_t width) {
  using C = TCustomBaseInstallDlg;
  return {IntProp<C>("Height", &C::Height, &C::SetHeight, height),
          EnumProp<C, TQuendricDialogPosition>("Position", kDialogPositionNames, &C::Position, &C::SetPosition,
                                               position),
          IntProp<C>("RelativeLeftOffset", &C::RelativeLeftOffset, &C::SetRelativeLeftOffset, 0),
          IntProp<C>("RelativeTopOffset", &C::RelativeTopOffset, &C::SetRelativeTopOffset, top_offset),
          IntProp<C>("Width", &C::Width, &C::SetWidth, width)};
}

const ClassInfo& TCustomBaseInstallDlg::StaticClass() {
  static const ClassInfo info{"TCustomBaseInstallDlg", &TInstallObject::StaticClass()};
  return info;
}

const ClassInfo& TBaseInstallDlg::StaticClass() {
  using C = TCustomBaseInstallDlg;
  static const ClassInfo info{[] {
    ClassInfo made{"TBaseInstallDlg", &TCustomBaseInstallDlg::StaticClass(), nullptr, CommonProperties()};
    made.properties.push_back(IntProp<C>("Order", &C::Order, &C::SetOrder, 0));
    return made;
  }()};
  return info;
}

void TCustomBaseInstallDlg::Create(TComponent* owner) {
  TInstallObject::Create(owner);
  SetInstallTypes(kAllInstallTypes);
}

void TCustomBaseInstallDlg::Destroy() {
  if (dialog_manager_) dialog_manager_->RemoveDialog(this);
  dialog_manager_ = nullptr;
  TInstallObject::Destroy();
}

void TCustomBaseInstallDlg::SetDialogManager(TDialogManager* manager) {
  if (manager == dialog_manager_) return;
  if (manager) manager->AddDialog(this);
  if (dialog_manager_) dialog_manager_->RemoveDialog(this);
  dialog_manager_ = manager;
}

void TCustomBaseInstallDlg::SetDialog(TForm* form) {
  if (dialog_ && dialog_ != form) dialog_->RemoveFreeNotification(this);
  dialog_ = form;
  if (form) form->FreeNotification(this);
}

void TCustomBaseInstallDlg::Notification(TComponent* component, TOperation operation) {
  TInstallObject::Notification(component, operation);
  if (operation == TOperation::opRemove && component == dialog_) dialog_ = nullptr;
}

void TCustomBaseInstallDlg::ContainerRemoved(TInstallContainer* container) {
  TInstallObject::ContainerRemoved(container);
  if (container == dialog_manager_) dialog_manager_ = nullptr;
}

void TCustomBaseInstallDlg::Translate() {
  if (!dialog_) return;
  form_text_language_ = ApplyLanguageTo(dialog_, auto_set_font_, auto_translate_, override_main_translator_,
                                        translate_into_language_, form_text_language_);
}

void TCustomBaseInstallDlg::AssignDialogProperties() {
  if (!dialog_) Fail("Cannot AssignDialogProperties for %s because the Dialog is Nil", {Name()});
  if (auto* form = dynamic_cast<TBaseQuendricForm*>(dialog_)) {
    form->SetAutoSetFont(auto_set_font_);
    form->SetAutoTranslate(auto_translate_);
    form->SetContainer(dynamic_cast<TInstallObject*>(Container()));
    form->SetOverrideMainTranslator(override_main_translator_);
    form->SetTranslateIntoLanguage(translate_into_language_);
  }
  if (auto* page = dynamic_cast<TBaseInstallForm*>(dialog_)) page->SetDC(this);
  Translate();
}

bool TCustomBaseInstallDlg::Execute() {
  bool shown = false;
  bool result = false;
  try {
    Fire(on_before_execute_, this);
    result = ShowDialog();
    shown = true;
    Application()->ProcessMessages();
    Fire(on_after_execute_, this);
  } catch (const EAbort&) {
    return shown ? result : false;
  }
  return result;
}

bool TCustomBaseInstallDlg::ShowDialog() {
  if (!CanExecute()) return true;
  auto* form = dynamic_cast<TForm*>(GetFormClass().create(Application()));
  SetDialog(form);
  TModalResult result = mrNone;
  try {
    AssignDialogProperties();
    result = form->ShowModal();
  } catch (...) {
    Free(form);
    throw;
  }
  Free(form);
  if (result != mrOk) throw EAIUserAbort();
  return true;
}

void TCustomBaseInstallDlg::AssignTheme(TPicture& picture) const {
  if (!theme_bitmap_.Empty())
    picture.Assign(theme_bitmap_);
  else if (TCustomInstall* install = TCustomInstall::Instance())
    picture.Assign(install->DialogThemeBitmap());
}

void TCustomBaseInstallDlg::PlaceDialog() {
  if (!dialog_) return;
  TWindowPlacement placement =
      PlaceOnScreen(position_, relative_left_offset_, relative_top_offset_, width_, height_, TCentring::Round);
  dialog_->SetBounds(placement.left, placement.top, width_, height_);
}

}  // namespace install
