#include "progresswindows.h"

#include <algorithm>
#include <cmath>
#include <type_traits>

#include "application.h"
#include "core/exceptions.h"

namespace install {

using namespace forms;

namespace {

// A control of a form at the bounds inside parent.
template <class Control>
Control* AddControl(TForm* form, TWinControl* parent, const std::string& name, int32_t left, int32_t top,
                    int32_t width, int32_t height) {
  auto* control = New<Control>(form);
  control->SetName(name);
  control->SetBounds(left, top, width, height);
  control->SetParent(parent);
  return control;
}

// A label of a form at the bounds inside parent.
template <class Label = TTranslateLabel>
Label* AddLabel(TForm* form, TWinControl* parent, const std::string& name, const std::string& text, int32_t glid,
                int32_t left, int32_t top, int32_t width, int32_t height) {
  auto* label = AddControl<Label>(form, parent, name, left, top, width, height);
  label->SetCaption(text);
  if constexpr (std::is_same_v<Label, TTranslateLabel>) label->SetGLID(glid);
  return label;
}

// A stored picture of the form, in the middle of its place.
TImage* AddImage(TForm* form, TWinControl* parent, const std::string& name, int32_t left, int32_t top,
                 int32_t width, int32_t height) {
  auto* image = AddControl<TImage>(form, parent, name, left, top, width, height);
  image->SetCenter(true);
  LoadStoredPicture(*image);
  return image;
}

}  // namespace

void LoadStoredPicture(TImage& image) {
  image.Picture().LoadFromResourceName(UpperCase(image.Owner()->ClassName() + "_" + image.Name()));
}

// ---------------------------------------------------------------- status

const ClassInfo& TInstallStatusForm::StaticClass() {
  static const ClassInfo info{"TInstallStatusForm", &TBaseQuendricForm::StaticClass(),
                              [](TComponent* owner) -> TComponent* { return New<TInstallStatusForm>(owner); }};
  return info;
}

void TInstallStatusForm::Create(TComponent* owner) {
  TBaseQuendricForm::Create(owner);
  SetClientSize(kClientWidth, kClientHeight);
  TWindowPlacement centre = PlaceOnScreen(qdpCenter, 0, 0, Width(), Height(), TCentring::Truncate);
  SetBounds(centre.left, centre.top, Width(), Height());
  back_ = AddControl<TPanel>(this, this, "pnlBack", 0, 0, kClientWidth, kClientHeight);
  back_->SetAlign(TAlign::alClient);
  image_ = AddImage(this, back_, "Image1", 0, 0, kImageWidth, kClientHeight);
  image_->SetAlign(TAlign::alLeft);
  message_panel_ = AddControl<TPanel>(this, back_, "pnlMessage", kImageWidth, 0, kClientWidth - kImageWidth,
                                      kClientHeight);
  message_panel_->SetAlign(TAlign::alClient);
  message_ = AddLabel<TLabel>(this, message_panel_, "lblMessage", "", 0, 8, 20, kClientWidth - kImageWidth - 16, 18);
}

void TInstallStatusForm::CreateParams(TCreateParams& params) {
  params.style = WS_POPUP | WS_BORDER;
  params.ex_style = WS_EX_TOOLWINDOW;
}

const ClassInfo& TInstallStatusDlg::StaticClass() {
  static const ClassInfo info{
      "TInstallStatusDlg", &TCustomBaseInstallDlg::StaticClass(),
      [](TComponent* owner) -> TComponent* { return New<TInstallStatusDlg>(owner); }, [] {
        std::vector<PropInfo> published = CommonProperties();
        // The status window has no manager of its own to be stored.
        published.erase(std::remove_if(published.begin(), published.end(),
                                       [](const PropInfo& p) { return p.name == "DialogManager"; }),
                        published.end());
        return published;
      }()};
  return info;
}

void TInstallStatusDlg::Destroy() {
  // The window is the application's; it goes with the dialog that fills it.
  Free(Dialog());
  TCustomBaseInstallDlg::Destroy();
}

void TInstallStatusDlg::DoInformationEvent(TComponent* sender, int code, TPersistent* param) {
  TCustomBaseInstallDlg::DoInformationEvent(sender, code, param);
  if (DialogManager()) return;
  if (code == ieShowStatus) {
    if (!param) throw IException("%s got a nil PO parameter", {Name()});
    auto* message = dynamic_cast<TMessageParameter*>(param);
    if (!message) throw IException("The PO object passed to %s is not a TMessageParameter object", {Name()});
    current_ = message->Message;
    messages_.push_back(current_);
    ShowMessage();
  } else if (code == ieHideStatus) {
    if (!messages_.empty()) messages_.pop_back();
    if (!messages_.empty()) {
      current_ = messages_.back();
      ShowMessage();
    } else if (Dialog()) {
      Dialog()->SetVisible(false);
      Application()->ProcessMessages();
    }
  }
}

void TInstallStatusDlg::Translate() {
  TCustomBaseInstallDlg::Translate();
  SetFormTextLanguage(qlEnglish);
}

void TInstallStatusDlg::ShowMessage() {
  if (!Dialog()) {
    SetDialog(static_cast<TForm*>(GetFormClass().create(Application())));
    AssignDialogProperties();
  }
  auto* form = static_cast<TInstallStatusForm*>(Dialog());
  TLabel* label = form->MessageLabel();
  label->SetCaption(current_);
  Translate();
  // The window fits the message's width, centred on the screen.
  HDC dc = GetDC(label->Handle());
  const LOGFONTA description = FontDescription(label->Font());
  HFONT font = CreateFontIndirectA(&description);
  HGDIOBJ previous = SelectObject(dc, font);
  const std::string text = label->Caption();
  SIZE extent{};
  GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &extent);
  SelectObject(dc, previous);
  DeleteObject(font);
  ReleaseDC(label->Handle(), dc);
  RECT client;
  GetClientRect(form->Handle(), &client);
  label->SetBounds(label->Left(), static_cast<int32_t>(std::nearbyint(client.bottom / 2.0 - extent.cy / 2.0)),
                   extent.cx + 4, extent.cy);
  const int32_t width =
      extent.cx + form->BackPanel()->Left() + form->MessagePanel()->Left() + label->Left() + 25;
  const int32_t left = static_cast<int32_t>(std::nearbyint(GetSystemMetrics(SM_CXSCREEN) / 2.0 - width / 2.0));
  form->SetBounds(left, form->Top(), width, form->Height());
  form->Show();
  form->Refresh();
  Application()->ProcessMessages();
}

// ---------------------------------------------------------------- copy progress

const ClassInfo& TCopyFileForm::StaticClass() {
  static const ClassInfo info{"TCopyFileForm", &TBaseDuringCopyForm::StaticClass(),
                              [](TComponent* owner) -> TComponent* { return New<TCopyFileForm>(owner); }};
  return info;
}

void TCopyFileForm::Create(TComponent* owner) {
  TBaseDuringCopyForm::Create(owner);
  SetCaption("Copying installation files");
  SetClientSize(kClientWidth, kClientHeight);
  SetDM(ManagerOfType(dmDuringCopyFiles));
  auto* left = AddControl<TPanel>(this, this, "pnlLeft", 0, 0, kImageWidth + 16, kClientHeight);
  left->SetAlign(TAlign::alLeft);
  unzip_ = AddImage(this, left, "UnZipImage", 8, 8, kImageWidth, kImageWidth);
  transfer_ = AddImage(this, left, "TransferBitmap", 8, 16 + kImageWidth, kImageWidth, kImageWidth);
  transfer_->SetVisible(false);
  auto* right = AddControl<TPanel>(this, this, "pnlRight", 0, 0, 84, kClientHeight);
  right->SetAlign(TAlign::alRight);
  auto* cancel = AddControl<TTranslateBitBtn>(this, right, "CancelBtn", 1, 8, 75, 25);
  cancel->SetCaption("Cancel");
  cancel->SetGLID(6);
  cancel->SetOnClick([this](TComponent*) { CancelCopy(); });
  auto* centre = AddControl<TPanel>(this, this, "pnlCentre", 0, 0, 0, 0);
  centre->SetAlign(TAlign::alClient);
  AddLabel(this, centre, "lblCopyFileHeader", "Processing", 14, 8, 8, 290, 18);
  copying_file_ = AddLabel<TLabel>(this, centre, "lblCopyingFile", "---", 0, 8, 28, 290, 18);
  AddLabel(this, centre, "Label1", "File progress", 15, 8, 52, 100, 18);
  file_progress_ = AddControl<TProgressBar>(this, centre, "ProgressBar1", 112, 52, 190, 16);
  AddLabel(this, centre, "Label2", "Total progress", 16, 8, 80, 100, 18);
  total_progress_ = AddControl<TProgressBar>(this, centre, "ProgressBar2", 112, 80, 190, 16);
}

void TCopyFileForm::UpdateProgress(TFileStatusParameter* file_status, TDownloadStatusParameter* download_status) {
  if (file_status) {
    transfer_->SetVisible(false);
    total_progress_->SetPosition(file_status->TotalPercent);
    file_progress_->SetPosition(file_status->FilePercent);
    copying_file_->SetCaption(file_status->FileName);
  } else if (download_status) {
    transfer_->SetVisible(true);
    file_progress_->SetPosition(download_status->Percent);
    copying_file_->SetCaption(download_status->FileName);
  }
  Refresh();
}

const ClassInfo& TCopyFileDlg::StaticClass() {
  static const ClassInfo info{
      "TCopyFileDlg", &TCustomBaseInstallDlg::StaticClass(),
      [](TComponent* owner) -> TComponent* { return New<TCopyFileDlg>(owner); }, [] {
        std::vector<PropInfo> published = CommonProperties();
        for (PropInfo& size : SizeProperties(146, qdpBottomCenter, 30, 474)) published.push_back(std::move(size));
        return published;
      }()};
  return info;
}

void TCopyFileDlg::Create(TComponent* owner) {
  TCustomBaseInstallDlg::Create(owner);
  SetHeight(146);
  SetWidth(474);
  SetPosition(qdpBottomCenter);
  SetRelativeTopOffset(30);
  entry_ = RegisterCopyForm(TCopyFileForm::StaticClass(), this, 0);
  PresetDialogManager(ManagerOfType(dmDuringCopyFiles));
}

void TCopyFileDlg::Destroy() {
  UnregisterCopyForm(entry_);
  entry_ = nullptr;
  TCustomBaseInstallDlg::Destroy();
}

}  // namespace install
