// The wizard's script components. A TDialogManager stands for one moment of
// the installation (before it, after a good or bad end, while files are
// copied, at a disk change, at the reboot question): when the install
// broadcasts its event, the manager collects the page forms registered for
// it, sorts them by Order and shows them in a modal page host
// (TBaseFormContainer); while files are copied it keeps the copy-progress
// forms up to date and closes them when a copy ends. A dialog component
// (TCustomBaseInstallDlg) names one page form and gives it its place in the
// sequence, its data object and its language; without a manager it runs
// its page alone as a modal window. A user's cancel ends a manager's or a
// dialog's run with EAIUserAbort.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/container.h"
#include "core/events.h"
#include "core/translator.h"
#include "form.h"
#include "graphics.h"
#include "pageregistry.h"

namespace install {

class TBaseFormContainer;
class TBaseDuringCopyForm;

enum TManagerType : uint8_t {
  dmBeforeInstall, dmAfterGoodInstall, dmAfterBadInstall, dmDuringCopyFiles, dmChangeDisk, dmReboot,
  dmRegistration, dmUninstall
};

enum TQuendricDialogPosition : uint8_t {
  qdpCenterLeft, qdpCenter, qdpCenterRight, qdpBottomLeft, qdpBottomCenter, qdpBottomRight, qdpTopLeft,
  qdpTopCenter, qdpTopRight
};

// Where a window of width x height goes on a screen of screen_width x
// screen_height for a position and offsets; caption_height is the height of
// a window caption. The page host truncates the centred values, the copy
// dialogs round them to nearest.
struct TWindowPlacement {
  int32_t left, top;
};
enum class TCentring { Truncate, Round };
TWindowPlacement PlaceWindow(TQuendricDialogPosition position, int32_t left_offset, int32_t top_offset,
                             int32_t width, int32_t height, int32_t screen_width, int32_t screen_height,
                             int32_t caption_height, TCentring centring);
// The same on this system's screen.
TWindowPlacement PlaceOnScreen(TQuendricDialogPosition position, int32_t left_offset, int32_t top_offset,
                               int32_t width, int32_t height, TCentring centring);

class TCustomBaseInstallDlg;

class TDialogManager : public TInstallObject {
  FORMS_CLASS(TDialogManager)
public:
  void Destroy() override;
  int RegisteredType() const override { return 9000; }
  void ContainerRemoved(TInstallContainer* container) override;
  void Notification(forms::TComponent* component, forms::TOperation operation) override;
  void DoInformationEvent(forms::TComponent* sender, int code, forms::TPersistent* param) override;

  // Shows this manager's pages in a modal page host; nothing without pages.
  virtual void ShowDialogs();
  // Shows the first change-disk form for a [file, TDiskParameter] list.
  virtual void ShowChangeDisk(forms::TPersistent* param);
  virtual void AddDialog(TCustomBaseInstallDlg* dialog);
  virtual void RemoveDialog(TCustomBaseInstallDlg* dialog);
  // Fills host with the registered pages of the current manager, sorted by
  // Order; answers their count.
  int CollectPages(TBaseFormContainer& host);

  // The copy forms: shown on the first progress event of a copy, updated by
  // each, closed when the copy ends.
  void ShowCopyForms();
  void UpdateCopyForms(TFileStatusParameter* file_status, TDownloadStatusParameter* download_status);
  void CloseCopyForms();
  const std::vector<TBaseDuringCopyForm*>& CopyForms() const { return copy_forms_; }
  const std::vector<TCustomBaseInstallDlg*>& Dialogs() const { return dialogs_; }

  int32_t Height() const { return height_; }
  void SetHeight(int32_t v) { height_ = v; }
  TManagerType ManagerType() const { return manager_type_; }
  void SetManagerType(TManagerType v) { manager_type_ = v; }
  TQuendricDialogPosition Position() const { return position_; }
  void SetPosition(TQuendricDialogPosition v) { position_ = v; }
  int32_t RelativeLeftOffset() const { return relative_left_offset_; }
  void SetRelativeLeftOffset(int32_t v) { relative_left_offset_ = v; }
  int32_t RelativeTopOffset() const { return relative_top_offset_; }
  void SetRelativeTopOffset(int32_t v) { relative_top_offset_ = v; }
  int32_t Width() const { return width_; }
  void SetWidth(int32_t v) { width_ = v; }

private:
  std::vector<TBaseDuringCopyForm*> copy_forms_;
  std::vector<TCustomBaseInstallDlg*> dialogs_;
  int32_t height_ = 395;
  TManagerType manager_type_ = dmBeforeInstall;
  TQuendricDialogPosition position_ = qdpCenter;
  int32_t relative_left_offset_ = 0;
  int32_t relative_top_offset_ = 0;
  int32_t width_ = 478;
};

// The first manager of the type whose Container is the running install.
TDialogManager* ManagerOfType(TManagerType type);

class TCustomBaseInstallDlg : public TInstallObject {
  FORMS_CLASS(TCustomBaseInstallDlg)
public:
  void Create(forms::TComponent* owner) override;
  void Destroy() override;
  int RegisteredType() const override { return 9000; }
  void ContainerRemoved(TInstallContainer* container) override;
  void LanguageChanged() override { Translate(); }

  virtual void SetDialogManager(TDialogManager* manager);
  // Copies the picture.
  virtual void SetThemeBitmap(const forms::TPicture& picture) { theme_bitmap_.Assign(picture); }
  // The live form's font and texts in the dialog's language.
  virtual void Translate();
  // Hands the dialog's settings to its live form.
  virtual void AssignDialogProperties();
  // OnBeforeExecute, ShowDialog, OnAfterExecute; a silent abort inside ends
  // it quietly.
  virtual bool Execute();
  // Runs the page alone as a modal window; anything but OK is the user's
  // cancel (EAIUserAbort).
  virtual bool ShowDialog();
  virtual const forms::ClassInfo& GetFormClass() const = 0;
  virtual bool CanExecute() { return true; }
  // Places the live form by Position, offsets, Width and Height.
  void PlaceDialog();
  // Gives a picture of the page the dialog's theme: its own ThemeBitmap,
  // or the install's DialogThemeBitmap while it has none.
  void AssignTheme(forms::TPicture& picture) const;

  bool AutoSetFont() const { return auto_set_font_; }
  void SetAutoSetFont(bool v) { auto_set_font_ = v; }
  bool AutoTranslate() const { return auto_translate_; }
  void SetAutoTranslate(bool v) { auto_translate_ = v; }
  TQndrLanguage FormTextLanguage() const { return form_text_language_; }
  forms::TForm* Dialog() const { return dialog_; }
  // The live form; the dialog forgets it when it is freed, by whoever.
  void SetDialog(forms::TForm* form);
  void Notification(forms::TComponent* component, forms::TOperation operation) override;
  TDialogManager* DialogManager() const { return dialog_manager_; }
  int32_t Height() const { return height_; }
  void SetHeight(int32_t v) { height_ = v; }
  int32_t Order() const { return order_; }
  void SetOrder(int32_t v) { order_ = v; }
  bool OverrideMainTranslator() const { return override_main_translator_; }
  void SetOverrideMainTranslator(bool v) { override_main_translator_ = v; }
  TQuendricDialogPosition Position() const { return position_; }
  void SetPosition(TQuendricDialogPosition v) { position_ = v; }
  int32_t RelativeLeftOffset() const { return relative_left_offset_; }
  void SetRelativeLeftOffset(int32_t v) { relative_left_offset_ = v; }
  int32_t RelativeTopOffset() const { return relative_top_offset_; }
  void SetRelativeTopOffset(int32_t v) { relative_top_offset_ = v; }
  forms::TPicture& ThemeBitmap() { return theme_bitmap_; }
  TQndrLanguage TranslateIntoLanguage() const { return translate_into_language_; }
  void SetTranslateIntoLanguage(TQndrLanguage v) { translate_into_language_ = v; }
  int32_t Width() const { return width_; }
  void SetWidth(int32_t v) { width_ = v; }
  void SetOnAfterExecute(forms::TNotifyEvent h) { on_after_execute_ = std::move(h); }
  void SetOnBeforeExecute(forms::TNotifyEvent h) { on_before_execute_ = std::move(h); }

protected:
  void SetFormTextLanguage(TQndrLanguage v) { form_text_language_ = v; }
  // The constructor of a page dialog takes its manager without joining its
  // list; the stored DialogManager then goes through SetDialogManager.
  void PresetDialogManager(TDialogManager* manager) { dialog_manager_ = manager; }
  // The properties every published dialog shares, for its class description.
  static std::vector<forms::PropInfo> CommonProperties();
  static std::vector<forms::PropInfo> SizeProperties(int32_t height, TQuendricDialogPosition position,
                                                     int32_t top_offset, int32_t width);

private:
  bool auto_set_font_ = true;
  bool auto_translate_ = true;
  TQndrLanguage form_text_language_ = qlEnglish;
  forms::TForm* dialog_ = nullptr;
  TDialogManager* dialog_manager_ = nullptr;
  int32_t height_ = 0;
  int32_t order_ = 0;
  bool override_main_translator_ = false;
  TQuendricDialogPosition position_ = qdpCenter;
  int32_t relative_left_offset_ = 0;
  int32_t relative_top_offset_ = 0;
  TQndrLanguage translate_into_language_ = qlUser;
  forms::TPicture theme_bitmap_;
  int32_t width_ = 0;
  forms::TNotifyEvent on_after_execute_;
  forms::TNotifyEvent on_before_execute_;
};

// The published base of the page dialogs.
class TBaseInstallDlg : public TCustomBaseInstallDlg {
  FORMS_CLASS(TBaseInstallDlg)
};

extern const std::vector<std::string> kManagerTypeNames;
extern const std::vector<std::string> kDialogPositionNames;

}  // namespace install
