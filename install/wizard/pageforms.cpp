#include "pageforms.h"

#include "application.h"
#include "archive/qndr_compress.h"
#include "core/install.h"
#include "distribution/netlocation.h"

namespace install {

using namespace forms;

namespace {

// The install's answer to a cancel; without an install the user has the
// last word.
bool UserConfirmsAbort() {
  TCustomInstall* install = TCustomInstall::Instance();
  return !install || install->ConfirmUserAbort();
}

}  // namespace

void SetDialogWindowStyle(DWORD& style, DWORD& ex_style, bool stay_on_top) {
  style = WS_POPUP | WS_CAPTION | WS_CLIPCHILDREN;
  ex_style = WS_EX_DLGMODALFRAME | (stay_on_top ? WS_EX_TOPMOST : 0);
}

// ---------------------------------------------------------------- pages

const ClassInfo& TBaseInstallForm::StaticClass() {
  static const ClassInfo info{"TBaseInstallForm", &TBaseQuendricForm::StaticClass()};
  return info;
}

void TBaseInstallForm::BelongTo(TManagerType type, int32_t order) {
  dm_ = ManagerOfType(type);
  order_ = order;
}

void TBaseInstallForm::CreateParams(TCreateParams& params) {
  if (auto* host = dynamic_cast<TForm*>(Owner())) {
    params.style = WS_CHILD | WS_CLIPSIBLINGS;
    params.ex_style = 0;
    params.parent = host->Handle();
    return;
  }
  SetDialogWindowStyle(params.style, params.ex_style, StaysOnTop());
}

TBaseFormContainer* TBaseInstallForm::Host() const { return dynamic_cast<TBaseFormContainer*>(Owner()); }

bool TBaseInstallForm::IsFirstPage() {
  TBaseFormContainer* host = Host();
  if (!host) return false;
  const auto& pages = host->Pages();
  for (int i = 0; i < host->TabIndex() && i < static_cast<int>(pages.size()); ++i)
    if (!pages[static_cast<size_t>(i)]->SkipPage()) return false;
  return true;
}

bool TBaseInstallForm::IsLastPage() {
  TBaseFormContainer* host = Host();
  return host && host->TabIndex() + 1 == static_cast<int>(host->Pages().size());
}

void TBaseInstallForm::AbortWizard() {
  if (TBaseFormContainer* host = Host())
    host->SetModalResult(mrCancel);
  else
    SetModalResult(mrCancel);
}

void TBaseInstallForm::GoNext() {
  if (TBaseFormContainer* host = Host()) host->NextPage();
}

void TBaseInstallForm::GoBack() {
  if (TBaseFormContainer* host = Host()) host->PreviousPage();
}

void TBaseInstallForm::ActivatePage() {
  if (!dynamic_cast<TForm*>(Owner())) return;
  UpdatePage();
  SetWindowPos(Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
}

void TBaseInstallForm::CancelWizard() {
  if (UserConfirmsAbort()) AbortWizard();
}

void TBaseInstallForm::AssignInstallTheme(TPicture& picture) {
  if (TCustomInstall* install = TCustomInstall::Instance()) picture.Assign(install->DialogThemeBitmap());
}

// ---------------------------------------------------------------- copy forms

const ClassInfo& TBaseDuringCopyForm::StaticClass() {
  static const ClassInfo info{"TBaseDuringCopyForm", &TBaseQuendricForm::StaticClass()};
  return info;
}

void TBaseDuringCopyForm::CreateParams(TCreateParams& params) {
  SetDialogWindowStyle(params.style, params.ex_style, false);
}

void TBaseDuringCopyForm::CancelCopy() {
  if (UserConfirmsAbort()) {
    if (TQndrCompress* archive = SharedArchive()) archive->SetAbort(true);
    SetDownloadAborted(true);
  }
  SetModalResult(mrCancel);
}

// ---------------------------------------------------------------- host

const ClassInfo& TBaseFormContainer::StaticClass() {
  static const ClassInfo info{"TBaseFormContainer", &TForm::StaticClass()};
  return info;
}

void TBaseFormContainer::Create(TComponent* owner) {
  TForm::Create(owner);
  Font().SetName("Arial");
  Font().SetCharset(1);
  SetColor(clWindow);
  SetClientSize(kClientWidth, kClientHeight);
  TWindowPlacement centre = PlaceOnScreen(qdpCenter, 0, 0, Width(), Height(), TCentring::Truncate);
  SetBounds(centre.left, centre.top, Width(), Height());
}

void TBaseFormContainer::Destroy() {
  pages_.clear();
  TForm::Destroy();
}

void TBaseFormContainer::CreateParams(TCreateParams& params) {
  SetDialogWindowStyle(params.style, params.ex_style, false);
}

void TBaseFormContainer::DisplayBounds(int32_t& left, int32_t& top, int32_t& width, int32_t& height) const {
  left = top = 0;
  width = Width();
  height = Height();
  if (HandleAllocated()) {
    RECT client;
    GetClientRect(const_cast<TBaseFormContainer*>(this)->Handle(), &client);
    width = client.right;
    height = client.bottom;
  }
}

void TBaseFormContainer::AddPage(TBaseInstallForm* page) {
  ++tab_count_;
  int32_t left, top, width, height;
  DisplayBounds(left, top, width, height);
  page->SetBounds(left, top, width, height);
  page->ApplyFontAndTranslation();
  page->Show();
  pages_.push_back(page);
}

void TBaseFormContainer::SortPages() {
  for (size_t i = 0; i < pages_.size(); ++i)
    for (size_t j = i + 1; j < pages_.size(); ++j)
      if (pages_[i]->Order() > pages_[j]->Order()) std::swap(pages_[i], pages_[j]);
}

bool TBaseFormContainer::ShowPage(int index, bool backward) {
  if (index < 0 || index >= static_cast<int>(pages_.size())) return false;
  TBaseInstallForm* page = pages_[static_cast<size_t>(index)];
  if (page->SkipPage()) return ShowPage(backward ? index - 1 : index + 1, backward);
  if (tab_index_ >= 0 && tab_index_ < static_cast<int>(pages_.size()) && tab_index_ != index)
    pages_[static_cast<size_t>(tab_index_)]->PageChanging();
  tab_index_ = index;
  SetCaption(page->Caption());
  page->ActivatePage();
  return true;
}

void TBaseFormContainer::FormShow() {
  if (!ShowPage(0, true)) ShowPage(0, false);
  if (HandleAllocated()) SetForegroundWindow(Handle());
}

void TBaseFormContainer::NextPage() {
  const int remembered = tab_index_;
  if (!ShowPage(remembered + 1, false)) ShowPage(remembered + 1, true);
  if (tab_index_ == remembered) {
    finishing_ = true;
    SetModalResult(mrOk);
  }
}

void TBaseFormContainer::PreviousPage() {
  if (!ShowPage(tab_index_ - 1, true)) ShowPage(tab_index_ - 1, false);
}

void TBaseFormContainer::SetPosition(TQuendricDialogPosition position, int32_t left_offset, int32_t top_offset) {
  TWindowPlacement placement = PlaceOnScreen(position, left_offset, top_offset, Width(), Height(), TCentring::Truncate);
  SetBounds(placement.left, placement.top, Width(), Height());
}

bool TBaseFormContainer::CloseQuery() { return finishing_ || ModalResult() == mrCancel; }

}  // namespace install
