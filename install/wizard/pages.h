// The setup wizard's pages and their dialog components. Welcome (which has
// no dialog), Choose Destination Location and Select folder in start menu
// come before the install; Setup complete or Setup incomplete after it;
// Reboot windows when a reboot is needed. Each page dialog registers its
// page for itself while it exists, takes the manager of its type and, with
// no manager, shows its page alone on an install event of its own. The
// pages write what the user chooses into the script's objects: the
// install's destination, the main link folder's name, the install's
// Reboot.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/translator.h"
#include "dialogs.h"
#include "extctrls.h"
#include "items/shelllinks.h"
#include "pageforms.h"
#include "rotatelabel.h"

namespace install {

// What every page has, on the window colour: the theme picture in the
// middle of a panel along the left, the button bar along the bottom (an
// etched line at its top, then Back, Next and Cancel or Finish) and the
// texts in the panel that fills the rest.
class TWizardPage : public TBaseInstallForm {
  FORMS_CLASS(TWizardPage)
public:
  static constexpr int32_t kClientHeight = 368, kPictureWidth = 136, kButtonBarHeight = 49, kTextBorder = 8;

  // Back only after the first page; on pages with Finish, Next before the
  // last page and Finish on it.
  void UpdatePage() override;

  TTranslateBitBtn* BackBtn() const { return back_; }
  TTranslateBitBtn* ProceedBtn() const { return proceed_; }
  TTranslateBitBtn* CancelBtn() const { return cancel_; }
  TTranslateBitBtn* FinishBtn() const { return finish_; }
  forms::TImage* ThemeBitmap() const { return theme_; }
  forms::TPanel* PicturePanel() const { return picture_panel_; }
  forms::TPanel* ButtonPanel() const { return button_panel_; }
  forms::TPanel* TextPanel() const { return text_panel_; }

protected:
  // The common layout at client_width x 368 and the page's place; the
  // theme picture is the install's while the page has none of its own.
  void Build(const std::string& caption, TManagerType type, int32_t order, int32_t client_width);
  // The buttons: with_finish puts Finish where Cancel would be.
  void AddButtons(const char* back_caption, bool with_finish);
  // A text of the page, stacked below the previous one at top.
  TTranslateLabel* AddText(const std::string& name, const std::string& text, int32_t glid, int32_t top,
                           int32_t height);
  TTranslateBitBtn* AddButton(const std::string& name, const std::string& text, int32_t glid, int32_t left,
                              int32_t top, std::function<void()> action);
  // Where the texts go in the text panel, and how wide they are.
  int32_t TextLeft() const { return kTextBorder; }
  int32_t TextWidth() const { return client_width_ - kPictureWidth - 2 * kTextBorder; }
  void FocusOn(forms::TControl* control);

private:
  forms::TPanel* AddPanel(const std::string& name, forms::TAlign align, int32_t size);
  int32_t client_width_ = 470;
  forms::TPanel* picture_panel_ = nullptr;
  forms::TPanel* button_panel_ = nullptr;
  forms::TPanel* text_panel_ = nullptr;
  forms::TImage* theme_ = nullptr;
  TTranslateBitBtn* back_ = nullptr;
  TTranslateBitBtn* proceed_ = nullptr;
  TTranslateBitBtn* cancel_ = nullptr;
  TTranslateBitBtn* finish_ = nullptr;
};

class TWelcomeForm : public TWizardPage {
  FORMS_CLASS(TWelcomeForm)
public:
  void Create(forms::TComponent* owner) override;
  TRotate3DLabel* EditionLabel() const { return edition_; }

private:
  TRotate3DLabel* edition_ = nullptr;
};

class TSelectDestinationForm : public TWizardPage {
  FORMS_CLASS(TSelectDestinationForm)
public:
  void Create(forms::TComponent* owner) override;
  void UpdatePage() override;
  // The user typed: the text is the destination, unchanged.
  void DestDirChanged();
  // Lets the user pick the destination in the folder browser.
  void Browse();
  forms::TEdit* DestDirEdit() const { return edit_; }
  forms::TGroupBox* DirectoryBox() const { return group_; }

protected:
  bool StaysOnTop() const override { return false; }

private:
  forms::TGroupBox* group_ = nullptr;
  forms::TEdit* edit_ = nullptr;
  bool busy_ = false;
};

class TSelectFolderForm : public TWizardPage {
  FORMS_CLASS(TSelectFolderForm)
public:
  void Create(forms::TComponent* owner) override;
  void UpdatePage() override;
  bool SkipPage() override { return Container() == nullptr; }
  // The edit's text becomes the link folder's name under the Programs menu.
  void FolderChanged();
  void FolderClicked();
  forms::TEdit* FolderEdit() const { return edit_; }
  forms::TListBox* FolderListBox() const { return list_; }

private:
  forms::TEdit* edit_ = nullptr;
  forms::TListBox* list_ = nullptr;
};

// Setup complete and Setup incomplete: one text and the buttons.
class TEndPageForm : public TWizardPage {
protected:
  void BuildEndPage(const std::string& caption, TManagerType type, const std::string& label_name,
                    const std::string& text, int32_t glid);
};

class TGoodInstallForm : public TEndPageForm {
  FORMS_CLASS(TGoodInstallForm)
public:
  void Create(forms::TComponent* owner) override;
};

class TBadInstallForm : public TEndPageForm {
  FORMS_CLASS(TBadInstallForm)
public:
  void Create(forms::TComponent* owner) override;
};

class TRebootForm : public TWizardPage {
  FORMS_CLASS(TRebootForm)
public:
  void Create(forms::TComponent* owner) override;
  void UpdatePage() override;
  // The user's choice becomes the install's Reboot.
  void ChoiceClicked();
  forms::TRadioGroup* RG() const { return choice_; }

protected:
  bool StaysOnTop() const override { return false; }

private:
  forms::TRadioGroup* choice_ = nullptr;
  bool busy_ = false;
};

// The base of the page dialogs: its page's registration, its manager, its
// Order and the event it answers without a manager.
class TWizardPageDlg : public TBaseInstallDlg {
public:
  void Create(forms::TComponent* owner) override;
  void Destroy() override;
  void DoInformationEvent(forms::TComponent* sender, int code, forms::TPersistent* param) override;
  // Alone, the page has no Back and its Next and Finish end it with OK.
  void AssignDialogProperties() override;

protected:
  virtual TManagerType PageManagerType() const = 0;
  virtual int32_t PageOrder() const { return 10; }
  virtual int OwnEventCode() const = 0;
  // Whether the page is filled as soon as the dialog hands it its settings.
  virtual bool FillsOnAssign() const { return false; }

private:
  TBIFEntry* entry_ = nullptr;
};

class TSelectDestinationDlg : public TWizardPageDlg {
  FORMS_CLASS(TSelectDestinationDlg)
public:
  const forms::ClassInfo& GetFormClass() const override { return TSelectDestinationForm::StaticClass(); }
  bool ShowDialog() override;

protected:
  TManagerType PageManagerType() const override { return dmBeforeInstall; }
  int32_t PageOrder() const override { return 45; }
  int OwnEventCode() const override { return ieSelectDestination; }
  bool FillsOnAssign() const override { return true; }
};

class TSelectFolderDlg : public TWizardPageDlg {
  FORMS_CLASS(TSelectFolderDlg)
public:
  void Create(forms::TComponent* owner) override;
  const forms::ClassInfo& GetFormClass() const override { return TSelectFolderForm::StaticClass(); }
  bool ShowDialog() override;
  // The container, which must be a link folder.
  TCustomShellLinkGroup* LinkGroup() const;

protected:
  TManagerType PageManagerType() const override { return dmBeforeInstall; }
  int32_t PageOrder() const override { return 60; }
  int OwnEventCode() const override { return ieSelectFolder; }
  bool FillsOnAssign() const override { return true; }
};

class TGoodInstallationDlg : public TWizardPageDlg {
  FORMS_CLASS(TGoodInstallationDlg)
public:
  const forms::ClassInfo& GetFormClass() const override { return TGoodInstallForm::StaticClass(); }

protected:
  TManagerType PageManagerType() const override { return dmAfterGoodInstall; }
  int OwnEventCode() const override { return ieGoodInstall; }
};

class TBadInstallationDlg : public TWizardPageDlg {
  FORMS_CLASS(TBadInstallationDlg)
public:
  const forms::ClassInfo& GetFormClass() const override { return TBadInstallForm::StaticClass(); }

protected:
  TManagerType PageManagerType() const override { return dmAfterBadInstall; }
  int OwnEventCode() const override { return ieBadInstall; }
};

class TRebootDlg : public TWizardPageDlg {
  FORMS_CLASS(TRebootDlg)
public:
  const forms::ClassInfo& GetFormClass() const override { return TRebootForm::StaticClass(); }

protected:
  TManagerType PageManagerType() const override { return dmReboot; }
  int OwnEventCode() const override { return ieReboot; }
  bool FillsOnAssign() const override { return true; }
};

// The names of the folders directly inside directory, without "." and "..".
std::vector<std::string> SubdirectoriesOf(const std::string& directory);

}  // namespace install
