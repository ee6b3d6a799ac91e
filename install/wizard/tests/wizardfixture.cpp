#include "wizardfixture.h"

#include <fstream>
#include <sstream>

#include "application.h"
#include "core/units.h"
#include "wizardunits.h"

namespace wizard_test {

using namespace forms;
using namespace install;

const ClassInfo& TTestPage::StaticClass() {
  static const ClassInfo info{"TTestPage", &TBaseInstallForm::StaticClass(),
                              [](TComponent* owner) -> TComponent* { return New<TTestPage>(owner); }};
  return info;
}

std::vector<TTestPage*>& TTestPage::Made() {
  static std::vector<TTestPage*> made;
  return made;
}

void TTestPage::Create(TComponent* owner) {
  TBaseInstallForm::Create(owner);
  SetCaption("Test page");
  SetClientSize(470, 368);
  auto button = [this](const char* caption, int left, std::function<void()> action) {
    auto* made = New<TBitBtn>(this);
    made->SetCaption(caption);
    made->SetBounds(left, 320, 75, 25);
    made->SetParent(this);
    made->SetOnClick([action](TComponent*) { action(); });
    return made;
  };
  back = button("< Back", 200, [this] { GoBack(); });
  next = button("Next >", 280, [this] { GoNext(); });
  next->SetModalResult(0);
  cancel = button("Cancel", 380, [this] { CancelWizard(); });
  Made().push_back(this);
}

const ClassInfo& TTestDlg::StaticClass() {
  static const ClassInfo info{"TTestDlg", &TBaseInstallDlg::StaticClass(),
                              [](TComponent* owner) -> TComponent* { return New<TTestDlg>(owner); }};
  return info;
}

void TTestDlg::Create(TComponent* owner) {
  TBaseInstallDlg::Create(owner);
  entry_ = RegisterPageForm(TTestPage::StaticClass(), this, 0);
}

void TTestDlg::AssignDialogProperties() {
  TBaseInstallDlg::AssignDialogProperties();
  if (auto* page = dynamic_cast<TTestPage*>(Dialog())) page->next->SetModalResult(mrOk);
}

void TTestDlg::Destroy() {
  UnregisterPageForm(entry_);
  TBaseInstallDlg::Destroy();
}

void WizardTest::SetUp() {
  TTestPage::Made().clear();
  InitializeInstallUnits();
  InitializeWizardUnits();
  RegisterStreamClass(TTestDlg::StaticClass());
  InitializeApplication();
}

void WizardTest::TearDown() {
  FinalizeApplication();
  FinalizeWizardUnits();
  FinalizeInstallUnits();
}

TInstallMainForm* WizardTest::Load(const std::string& body) {
  SetProgramArguments({"install.exe", "-sC:\\Loader"});
  main_form_ = Application()->CreateForm<TInstallMainForm>("TInstallMainForm InstallMainForm {\n"
                                                           "  TInstall Install1 { }\n" +
                                                           body + "\n}\n");
  return main_form_;
}

namespace {

std::string ProductScript() {
  std::ifstream file(INSTALL_SCRIPT_FILE, std::ios::binary);
  std::stringstream script;
  script << file.rdbuf();
  return script.str();
}

}  // namespace

void Pages::SetUp() {
  WizardTest::SetUp();
  SetProgramArguments({"install.exe", "-sC:\\Loader"});
  main_form_ = Application()->CreateForm<TInstallMainForm>(ProductScript());
}

TBaseFormContainer* Pages::Host(const std::string& manager) {
  host_ = New<TBaseFormContainer>(Application());
  SetCurrentManager(Find<TDialogManager>(manager));
  Find<TDialogManager>(manager)->CollectPages(*host_);
  SetCurrentManager(nullptr);
  host_->FormShow();
  return host_;
}

namespace {

struct WindowSearch {
  std::string text;
  HWND found = nullptr;
};

BOOL CALLBACK FindTopWindow(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<WindowSearch*>(data);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process == GetCurrentProcessId() && IsWindowVisible(window) && TextOf(window) == search->text) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK FindChildButton(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<WindowSearch*>(data);
  char name[16] = {};
  GetClassNameA(window, name, sizeof name);
  if (IsWindowVisible(window) && SameText(name, "Button") && TextOf(window) == search->text) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK PressEndingButtons(HWND window, LPARAM) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != GetCurrentProcessId() || !IsWindowVisible(window)) return TRUE;
  for (const char* text : {"Cancel", "Finish", "Next >", "OK"})
    if (HWND button = FindButton(window, text)) Press(button);
  return TRUE;
}

}  // namespace

std::string TextOf(HWND window) {
  char text[512] = {};
  SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000,
                      nullptr);
  return text;
}

HWND WaitForWindow(const std::string& caption) {
  for (int tries = 0; tries < 1500; ++tries) {
    WindowSearch search{caption};
    EnumWindows(FindTopWindow, reinterpret_cast<LPARAM>(&search));
    if (search.found) return search.found;
    Sleep(20);
  }
  return nullptr;
}

HWND FindButton(HWND window, const std::string& text) {
  WindowSearch search{text};
  EnumChildWindows(window, FindChildButton, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

void Press(HWND button) {
  PostMessageA(GetParent(button), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
               reinterpret_cast<LPARAM>(button));
}

ScriptedUser::ScriptedUser(std::function<std::string()> steps)
    : thread_([this, steps] {
        failure_ = steps();
        while (!failure_.empty() && !returned_) {
          EnumWindows(PressEndingButtons, 0);
          Sleep(100);
        }
      }) {}

ScriptedUser::~ScriptedUser() {
  if (thread_.joinable()) Finish();
}

std::string ScriptedUser::Finish() {
  returned_ = true;
  thread_.join();
  return failure_;
}

}  // namespace wizard_test
