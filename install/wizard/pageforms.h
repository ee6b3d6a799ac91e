// The forms of the wizard. TBaseInstallForm is the base of every page: shown
// inside a page host it is a child window of the host, and its buttons move
// through the host's pages (GoNext, GoBack, CancelWizard); shown alone by
// its dialog it is a modal window of its own. TBaseDuringCopyForm is the
// base of the modeless forms shown while files are copied; its Cancel stops
// the copy. TBaseFormContainer is the modal page host of a dialog manager:
// one page at a time, in Order, with pages that want to be skipped passed
// over in the direction of travel; Next on the last page closes it with OK.
#pragma once

#include <cstdint>
#include <vector>

#include "core/baseform.h"
#include "dialogs.h"

namespace install {

class TBaseFormContainer;

// The dialog border the wizard's windows share: a caption without border
// icons, and on top of other windows when asked.
void SetDialogWindowStyle(DWORD& style, DWORD& ex_style, bool stay_on_top);

class TBaseInstallForm : public TBaseQuendricForm {
  FORMS_CLASS(TBaseInstallForm)
public:
  // The host the page is shown in, or none.
  TBaseFormContainer* Host() const;
  // True in a host when every page before this one wants to be skipped.
  virtual bool IsFirstPage();
  virtual bool IsLastPage();
  virtual void PageChanging() {}
  // Ends the host (or the page shown alone) with Cancel.
  virtual void AbortWizard();
  virtual void GoNext();
  virtual void GoBack();
  // Fills the page and brings it to the front of the host.
  virtual void ActivatePage();
  virtual bool SkipPage() { return false; }
  // Asks the install whether to give up; if so, AbortWizard.
  virtual void CancelWizard();
  // Gives picture the install's DialogThemeBitmap (nothing without an
  // install).
  static void AssignInstallTheme(forms::TPicture& picture);

  TCustomBaseInstallDlg* DC() const { return dc_; }
  void SetDC(TCustomBaseInstallDlg* dialog) { dc_ = dialog; }
  TDialogManager* DM() const { return dm_; }
  void SetDM(TDialogManager* manager) { dm_ = manager; }
  int32_t Order() const { return order_; }
  void SetOrder(int32_t v) { order_ = v; }

protected:
  // For a page constructor: the manager of its type and its place.
  void BelongTo(TManagerType type, int32_t order);
  void CreateParams(TCreateParams& params) override;
  // Whether the page stays on top of other windows when shown alone.
  virtual bool StaysOnTop() const { return true; }

private:
  TCustomBaseInstallDlg* dc_ = nullptr;
  TDialogManager* dm_ = nullptr;
  int32_t order_ = 0;
};

class TBaseDuringCopyForm : public TBaseQuendricForm {
  FORMS_CLASS(TBaseDuringCopyForm)
public:
  // Asks the install whether to give up; if so, stops the archive's copy.
  virtual void CancelCopy();
  // Exactly one of the two is given.
  virtual void UpdateProgress(TFileStatusParameter* /*file_status*/,
                              TDownloadStatusParameter* /*download_status*/) {}

  TDialogManager* DM() const { return dm_; }
  void SetDM(TDialogManager* manager) { dm_ = manager; }

protected:
  void CreateParams(TCreateParams& params) override;

private:
  TDialogManager* dm_ = nullptr;
};

class TBaseFormContainer : public forms::TForm {
  FORMS_CLASS(TBaseFormContainer)
public:
  static constexpr int32_t kClientWidth = 487, kClientHeight = 368;

  void Create(forms::TComponent* owner) override;
  void Destroy() override;
  // Shows the next page that is not skipped; with none left, closes the
  // host with OK.
  virtual void NextPage();
  // Shows the previous page that is not skipped; never closes the host.
  virtual void PreviousPage();
  virtual void SetPosition(TQuendricDialogPosition position, int32_t left_offset, int32_t top_offset);
  // Adds a collected page (one tab for it).
  void AddPage(TBaseInstallForm* page);
  // Sorts the pages by Order, as an exchange sort leaves them.
  void SortPages();
  // Shows the page at index, or the next one in the direction of travel
  // that does not want to be skipped; false when there is none.
  bool ShowPage(int index, bool backward);
  // The host comes up: its first page that is not skipped.
  void FormShow();
  // The pages' area: the whole client area.
  void DisplayBounds(int32_t& left, int32_t& top, int32_t& width, int32_t& height) const;
  bool CloseQuery() override;

  const std::vector<TBaseInstallForm*>& Pages() const { return pages_; }
  int TabIndex() const { return tab_index_; }
  int TabCount() const { return tab_count_; }
  bool Finishing() const { return finishing_; }

protected:
  void CreateParams(TCreateParams& params) override;

private:
  // The page list; the tab strip is never shown, it only counts the pages
  // and remembers which one is showing.
  std::vector<TBaseInstallForm*> pages_;
  int tab_index_ = -1;
  int tab_count_ = 0;
  bool finishing_ = false;
};

}  // namespace install
