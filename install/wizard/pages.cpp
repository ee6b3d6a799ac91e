#include "pages.h"

#include <windows.h>

#include "core/exceptions.h"
#include "core/install.h"
#include "core/support.h"
#include "paths/filesystem.h"
#include "paths/folderdialog.h"
#include "paths/registry.h"

namespace install {

using namespace forms;

namespace {

constexpr int32_t kButtonWidth = 75, kButtonHeight = 25;

const char* const kWarning =
    "The program runs best on Windows NT/2000/XP because of limitation of windows resources in Windows 9x/Me. "
    "\r\n\r\nYour graphic should be set in 65K or true color mode.";
// The edition and build of the product this program installs.
const char* const kEditionLabel = "Network Monitor 1.0";

template <class T>
const ClassInfo& PageClass(const char* name) {
  static const ClassInfo info{name, &TWizardPage::StaticClass(),
                              [](TComponent* owner) -> TComponent* { return New<T>(owner); }};
  return info;
}

template <class T>
const ClassInfo& DialogClass(const char* name) {
  static const ClassInfo info{name, &TBaseInstallDlg::StaticClass(),
                              [](TComponent* owner) -> TComponent* { return New<T>(owner); }};
  return info;
}

[[noreturn]] void Fail(const std::string& pattern, const std::string& name) {
  throw Exception(Format(TranslateString(pattern), {name}));
}

}  // namespace

// ---------------------------------------------------------------- common

const ClassInfo& TWizardPage::StaticClass() {
  static const ClassInfo info{"TWizardPage", &TBaseInstallForm::StaticClass()};
  return info;
}

TPanel* TWizardPage::AddPanel(const std::string& name, TAlign align, int32_t size) {
  auto* panel = New<TPanel>(this);
  panel->SetName(name);
  panel->SetBounds(0, 0, size, size);
  panel->SetAlign(align);
  panel->SetParent(this);
  return panel;
}

void TWizardPage::Build(const std::string& caption, TManagerType type, int32_t order, int32_t client_width) {
  client_width_ = client_width;
  SetCaption(caption);
  SetColor(clWindow);
  SetClientSize(client_width, kClientHeight);
  TWindowPlacement centre = PlaceOnScreen(qdpCenter, 0, 0, Width(), Height(), TCentring::Truncate);
  SetBounds(centre.left, centre.top, Width(), Height());
  BelongTo(type, order);
  button_panel_ = AddPanel("BottomPanel", TAlign::alBottom, kButtonBarHeight);
  auto* bevel = New<TBevel>(this);
  bevel->SetName("Bevel1");
  bevel->SetBounds(0, 0, client_width, 2);
  bevel->SetAlign(TAlign::alTop);
  bevel->SetParent(button_panel_);
  picture_panel_ = AddPanel("LeftPanel", TAlign::alLeft, kPictureWidth);
  theme_ = New<TImage>(this);
  theme_->SetName("ThemeBitmap");
  theme_->SetCenter(true);
  theme_->SetAlign(TAlign::alClient);
  theme_->SetParent(picture_panel_);
  text_panel_ = AddPanel("TextPanel", TAlign::alClient, 0);
  text_panel_->SetBorderWidth(kTextBorder);
  if (theme_->Picture().Empty()) AssignInstallTheme(theme_->Picture());
}

TTranslateLabel* TWizardPage::AddText(const std::string& name, const std::string& text, int32_t glid, int32_t top,
                                      int32_t height) {
  auto* label = New<TTranslateLabel>(this);
  label->SetName(name);
  label->SetCaption(text);
  label->SetGLID(glid);
  label->SetBounds(TextLeft(), top, TextWidth(), height);
  label->SetParent(text_panel_);
  return label;
}

TTranslateBitBtn* TWizardPage::AddButton(const std::string& name, const std::string& text, int32_t glid,
                                         int32_t left, int32_t top, std::function<void()> action) {
  auto* button = New<TTranslateBitBtn>(this);
  button->SetName(name);
  button->SetCaption(text);
  button->SetGLID(glid);
  button->SetBounds(left, top, kButtonWidth, kButtonHeight);
  button->SetParent(button_panel_);
  button->SetOnClick([action](TComponent*) { action(); });
  return button;
}

void TWizardPage::AddButtons(const char* back_caption, bool with_finish) {
  const int32_t top = 12;
  const int32_t right = client_width_ - 8 - kButtonWidth;
  back_ = AddButton("BackBtn", back_caption, 4, right - 2 * kButtonWidth - 8, top, [this] { GoBack(); });
  proceed_ = AddButton("ProceedBtn", "Next >", 5, right - kButtonWidth - 8, top, [this] { GoNext(); });
  if (with_finish)
    finish_ = AddButton("FinishBtn", "Finish", 72, right, top, [this] { GoNext(); });
  else
    cancel_ = AddButton("CancelBtn", "Cancel", 6, right, top, [this] { CancelWizard(); });
}

void TWizardPage::FocusOn(TControl* control) {
  if (control && control->Visible() && HandleAllocated()) SetFocus(control->Handle());
}

void TWizardPage::UpdatePage() {
  TBaseInstallForm::UpdatePage();
  if (back_) back_->SetVisible(!IsFirstPage());
  if (finish_) {
    proceed_->SetVisible(!IsLastPage());
    finish_->SetVisible(!proceed_->Visible());
    if (Visible()) FocusOn(proceed_->Visible() ? proceed_ : finish_);
  } else {
    FocusOn(proceed_);
  }
}

// ---------------------------------------------------------------- welcome

const ClassInfo& TWelcomeForm::StaticClass() { return PageClass<TWelcomeForm>("TWelcomeForm"); }

void TWelcomeForm::Create(TComponent* owner) {
  TWizardPage::Create(owner);
  Build("Welcome", dmBeforeInstall, 1, 470);
  AddText("Label1", "This program will install the software on your computer.", 10, 16, 32);
  AddText("Label2",
          "It is strongly recommended that you exit all Windows programs before running this setup. If you need "
          "to close any programs, click Cancel to quit the setup and then close the programs.",
          11, 56, 64);
  AddText("Label3", "Click Next to continue with the installation.", 12, 128, 32);
  TTranslateLabel* warning = AddText("Label4", "Warning:", 0, 176, 18);
  warning->Font().SetBold(true);
  AddText("Label5", kWarning, 0, 196, 96);
  edition_ = New<TRotate3DLabel>(this);
  edition_->SetName("Rotate3DLabel1");
  edition_->SetCaption(kEditionLabel);
  edition_->SetTag(-1);
  edition_->LabelStyle().SetAStyle3D(A3dNormal);
  edition_->SetBounds(8, 8, 200, 32);
  edition_->SetParent(ButtonPanel());
  AddButtons("< Previous", false);
}

// ---------------------------------------------------------------- destination

const ClassInfo& TSelectDestinationForm::StaticClass() {
  return PageClass<TSelectDestinationForm>("TSelectDestinationForm");
}

void TSelectDestinationForm::Create(TComponent* owner) {
  TWizardPage::Create(owner);
  Build("Choose Destination Location", dmBeforeInstall, 45, 470);
  SetContainer(TCustomInstall::Instance());
  AddText("lblText1", "Which directory do you want to install this program into?", 85, 16, 32);
  AddText("lblText2", "To install to the directory displayed below, click Next.", 86, 56, 32);
  AddText("lblText3", "To install to a different directory, click Browse and select another directory.", 87, 96,
          32);
  group_ = New<TGroupBox>(this);
  group_->SetName("gbDirectory");
  group_->SetCaption("Destination Directory");
  group_->SetBounds(TextLeft(), 240, TextWidth(), 64);
  group_->SetParent(TextPanel());
  edit_ = New<TEdit>(this);
  edit_->SetName("edDestDir");
  edit_->SetBounds(8, 24, TextWidth() - 100, 22);
  edit_->SetParent(group_);
  edit_->SetOnChange([this](TComponent*) { DestDirChanged(); });
  auto* browse = AddButton("BrowseBtn", "&Browse", 26, 0, 0, [this] { Browse(); });
  browse->SetParent(group_);
  browse->SetBounds(TextWidth() - 84, 22, kButtonWidth, kButtonHeight);
  AddButtons("< Back", false);
}

void TSelectDestinationForm::UpdatePage() {
  busy_ = true;
  TWizardPage::UpdatePage();
  std::string destination = Container() ? Container()->GetFullDestDir() : "";
  group_->SetVisible(!destination.empty());
  edit_->SetCaption(destination);
  busy_ = false;
  FocusOn(ProceedBtn());
}

void TSelectDestinationForm::DestDirChanged() {
  if (busy_ || !Container()) return;
  Container()->SetDestDirType(nullptr);
  Container()->SetDestDir(edit_->Text());
}

void TSelectDestinationForm::Browse() {
  if (!Container()) return;
  const std::string destination = Container()->GetFullDestDir();
  // The browser shows only folders that exist: the destination is made for
  // it and its last level taken away again afterwards.
  DWORD attributes = GetFileAttributesA(destination.c_str());
  bool made = attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY);
  if (made && !ForceDirectories(destination))
    throw Exception(Format("Cannot create the directory %s", {destination}));
  TOpenFolderDialog* browser = New<TOpenFolderDialog>(nullptr);
  try {
    browser->SetFolderPath(destination);
    if (browser->Execute()) {
      std::string chosen = RemoveTrailingBackslash(browser->FolderPath());
      Container()->SetDestDirType(nullptr);
      Container()->SetDestDir(chosen);
      busy_ = true;
      edit_->SetCaption(chosen);
      busy_ = false;
    }
  } catch (...) {
    Free(browser);
    if (made) RemoveDirectoryA(destination.c_str());
    throw;
  }
  Free(browser);
  if (made) RemoveDirectoryA(destination.c_str());
}

// ---------------------------------------------------------------- folder

std::vector<std::string> SubdirectoriesOf(const std::string& directory) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((AddTrailingBackslash(directory) + "*.*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    std::string name = found.cFileName;
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != "." && name != "..") names.push_back(name);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return names;
}

const ClassInfo& TSelectFolderForm::StaticClass() { return PageClass<TSelectFolderForm>("TSelectFolderForm"); }

void TSelectFolderForm::Create(TComponent* owner) {
  TWizardPage::Create(owner);
  Build("Select folder in start menu", dmBeforeInstall, 60, 470);
  SetContainer(MainLinkGroup());
  AddText("TopDescriptionLabel",
          "Setup will add program icons to the Program Folder listed below. You may type a new folder name, or "
          "select from the E&xisting Folders list.",
          41, 18, 56);
  AddText("ProgramFolders", "&Program Folder", 42, 82, 18);
  edit_ = New<TEdit>(this);
  edit_->SetName("FolderEdit");
  edit_->SetBounds(TextLeft(), 102, TextWidth(), 22);
  edit_->SetParent(TextPanel());
  edit_->SetOnChange([this](TComponent*) { FolderChanged(); });
  AddText("ExistingFolders", "E&xisting Folders", 43, 132, 18);
  list_ = New<TListBox>(this);
  list_->SetName("FolderListBox");
  list_->SetSorted(true);
  list_->SetBounds(TextLeft(), 152, TextWidth(), 150);
  list_->SetParent(TextPanel());
  list_->SetOnClick([this](TComponent*) { FolderClicked(); });
  AddButtons("< Back", false);
}

void TSelectFolderForm::UpdatePage() {
  TWizardPage::UpdatePage();
  list_->ClearItems();
  const OSSet listing_systems = OSBit(oswin95) | OSBit(oswinNT) | OSBit(oswin98) | OSBit(oswinME) |
                                OSBit(oswin2K) | OSBit(oswinXP);
  if (listing_systems & OSBit(GetOSVersion()))
    for (const std::string& name : SubdirectoriesOf(GetProgramsMenuDir())) list_->AddItem(name);
  std::string folder;
  if (Container() && Container()->DestDirType() && Container()->DestDirType()->InheritsFrom("TpsProgramMenu")) {
    folder = ExtractFileName(RemoveTrailingBackslash(Container()->DestDir()));
  }
  if (folder.empty() && list_->Items().Count() > 0) folder = list_->Items()[0];
  edit_->SetCaption(folder);
  // Setting the text commits it, also where the window sends no change.
  FolderChanged();
  FocusOn(ProceedBtn());
}

void TSelectFolderForm::FolderClicked() {
  if (list_->ItemIndex() >= 0) edit_->SetCaption(list_->Items()[list_->ItemIndex()]);
  FolderChanged();
}

void TSelectFolderForm::FolderChanged() {
  if (!Container()) return;
  Container()->SetDestDirType(StandardPathSpecifiers().FindByClass("TpsProgramMenu"));
  Container()->SetDestDir("\\" + edit_->Text());
}

// ---------------------------------------------------------------- end pages

void TEndPageForm::BuildEndPage(const std::string& caption, TManagerType type, const std::string& label_name,
                                const std::string& text, int32_t glid) {
  Build(caption, type, 10, 470);
  AddText(label_name, text, glid, 16, 64);
  AddButtons("< Back", true);
}

const ClassInfo& TGoodInstallForm::StaticClass() { return PageClass<TGoodInstallForm>("TGoodInstallForm"); }

void TGoodInstallForm::Create(TComponent* owner) {
  TEndPageForm::Create(owner);
  BuildEndPage("Setup complete", dmAfterGoodInstall, "Label1",
               "The software has been properly installed. You may start the software by clicking on the icon.", 38);
}

const ClassInfo& TBadInstallForm::StaticClass() { return PageClass<TBadInstallForm>("TBadInstallForm"); }

void TBadInstallForm::Create(TComponent* owner) {
  TEndPageForm::Create(owner);
  BuildEndPage("Setup incomplete", dmAfterBadInstall, "TopLabel",
               "This software has not been properly installed and will not work correctly if you try to use it.",
               60);
}

// ---------------------------------------------------------------- reboot

const ClassInfo& TRebootForm::StaticClass() { return PageClass<TRebootForm>("TRebootForm"); }

void TRebootForm::Create(TComponent* owner) {
  TWizardPage::Create(owner);
  Build("Reboot windows", dmReboot, 10, 475);
  AddText("Label1",
          "Several components could not be installed on your system because they were in use. For the "
          "installation to proceed, you will need to reboot your computer. If you decide not to reboot now, the "
          "software will probably not work until you do reboot.",
          52, 16, 96);
  choice_ = New<TRadioGroup>(this);
  choice_->SetName("RG");
  choice_->SetBounds(TextLeft(), 128, TextWidth(), 72);
  choice_->SetParent(TextPanel());
  choice_->SetItems({"Yes, I would like to reboot windows", "No, I would not like to reboot windows"});
  choice_->SetItemIndex(0);
  choice_->SetOnClick([this](TComponent*) { ChoiceClicked(); });
  AddButtons("< Back", true);
}

void TRebootForm::UpdatePage() {
  TWizardPage::UpdatePage();
  busy_ = true;
  TCustomInstall* install = TCustomInstall::Instance();
  choice_->SetItemIndex(install && install->Reboot() ? 0 : 1);
  busy_ = false;
}

void TRebootForm::ChoiceClicked() {
  TCustomInstall* install = TCustomInstall::Instance();
  if (busy_ || !install) return;
  install->SetReboot(choice_->ItemIndex() == 0);
}

// ---------------------------------------------------------------- dialogs

void TWizardPageDlg::Create(TComponent* owner) {
  TBaseInstallDlg::Create(owner);
  SetOrder(PageOrder());
  entry_ = RegisterPageForm(GetFormClass(), this, 0);
  PresetDialogManager(ManagerOfType(PageManagerType()));
}

void TWizardPageDlg::Destroy() {
  UnregisterPageForm(entry_);
  entry_ = nullptr;
  TBaseInstallDlg::Destroy();
}

void TWizardPageDlg::DoInformationEvent(TComponent* sender, int code, TPersistent* param) {
  TBaseInstallDlg::DoInformationEvent(sender, code, param);
  if (!DialogManager() && code == OwnEventCode()) Execute();
}

void TWizardPageDlg::AssignDialogProperties() {
  TBaseInstallDlg::AssignDialogProperties();
  auto* page = dynamic_cast<TWizardPage*>(Dialog());
  if (!page) return;
  page->BackBtn()->SetVisible(false);
  page->ProceedBtn()->SetModalResult(mrOk);
  if (page->FinishBtn()) page->FinishBtn()->SetModalResult(mrOk);
  AssignTheme(page->ThemeBitmap()->Picture());
  if (FillsOnAssign()) {
    page->UpdatePage();
    page->BackBtn()->SetVisible(false);
  }
}

const ClassInfo& TSelectDestinationDlg::StaticClass() {
  return DialogClass<TSelectDestinationDlg>("TSelectDestinationDlg");
}

bool TSelectDestinationDlg::ShowDialog() {
  if (!Container()) Fail("Cannot run this dialog %s with a blank Container property", Name());
  return TWizardPageDlg::ShowDialog();
}

const ClassInfo& TSelectFolderDlg::StaticClass() { return DialogClass<TSelectFolderDlg>("TSelectFolderDlg"); }

void TSelectFolderDlg::Create(TComponent* owner) {
  TWizardPageDlg::Create(owner);
  if (TMainLinkGroup* folder = MainLinkGroup()) SetContainer(folder);
}

TCustomShellLinkGroup* TSelectFolderDlg::LinkGroup() const {
  auto* group = dynamic_cast<TCustomShellLinkGroup*>(Container());
  if (Container() && !group) Fail("The container for %s must be a TCustomShellLinkGroup", Name());
  return group;
}

bool TSelectFolderDlg::ShowDialog() {
  if (!LinkGroup()) Fail("Cannot run this dialog %s with a blank Container property", Name());
  return TWizardPageDlg::ShowDialog();
}

const ClassInfo& TGoodInstallationDlg::StaticClass() {
  return DialogClass<TGoodInstallationDlg>("TGoodInstallationDlg");
}

const ClassInfo& TBadInstallationDlg::StaticClass() {
  return DialogClass<TBadInstallationDlg>("TBadInstallationDlg");
}

const ClassInfo& TRebootDlg::StaticClass() { return DialogClass<TRebootDlg>("TRebootDlg"); }

}  // namespace install
