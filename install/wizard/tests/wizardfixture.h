// Test support for the wizard: the installer's and the wizard's units, the
// application object and a main form loaded from a script for each test;
// a page form and a page dialog whose manager type, order and skipping the
// test sets; and a user on a second thread who clicks the buttons of the
// wizard's windows and, when a step fails, ends every window so that a
// failing test never waits for ever.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "core/install.h"
#include "dialogs.h"
#include "pageforms.h"
#include "stdctrls.h"

namespace wizard_test {

// A page with Back, Next and Cancel buttons; its caption is its name.
class TTestPage : public install::TBaseInstallForm {
  FORMS_CLASS(TTestPage)
public:
  void Create(forms::TComponent* owner) override;
  bool SkipPage() override { return skip; }
  bool skip = false;
  forms::TBitBtn* back = nullptr;
  forms::TBitBtn* next = nullptr;
  forms::TBitBtn* cancel = nullptr;
  // Every page made, for the test to find.
  static std::vector<TTestPage*>& Made();
};

// A dialog that registers TTestPage for itself while it exists.
class TTestDlg : public install::TBaseInstallDlg {
  FORMS_CLASS(TTestDlg)
public:
  void Create(forms::TComponent* owner) override;
  void Destroy() override;
  const forms::ClassInfo& GetFormClass() const override { return TTestPage::StaticClass(); }
  bool CanExecute() override { return can_execute; }
  // Alone, the page's Next ends it with OK, as on the product's pages.
  void AssignDialogProperties() override;
  bool can_execute = true;

private:
  install::TBIFEntry* entry_ = nullptr;
};

class WizardTest : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;
  // The main form loaded from the script's body (inside TInstallMainForm),
  // which holds TInstall Install1.
  install::TInstallMainForm* Load(const std::string& body);
  install::TCustomInstall* Install() const { return install::TCustomInstall::Instance(); }
  template <class T>
  T* Find(const std::string& name) const {
    return dynamic_cast<T*>(main_form_->FindComponent(name));
  }
  install::TInstallMainForm* main_form_ = nullptr;
};

// The product's install script loaded for each test, and page hosts made
// from its managers.
class Pages : public WizardTest {
protected:
  void SetUp() override;
  // A host with the pages of the manager, the first one shown.
  install::TBaseFormContainer* Host(const std::string& manager);
  template <class T>
  T* Page(int index) const {
    return dynamic_cast<T*>(host_->Pages()[static_cast<size_t>(index)]);
  }
  install::TBaseFormContainer* host_ = nullptr;
};

// The visible top-level window of this process with the caption; none
// after a generous wait.
HWND WaitForWindow(const std::string& caption);
// The visible button with the text inside window (at any depth).
HWND FindButton(HWND window, const std::string& text);
// The text of a window.
std::string TextOf(HWND window);

// The user at the wizard, on a thread of its own. steps returns what went
// wrong, or nothing. After a failed step the user presses Cancel, Finish
// and Next on every window of this process until the test's call has
// returned.
class ScriptedUser {
public:
  explicit ScriptedUser(std::function<std::string()> steps);
  ~ScriptedUser();
  // Called once the test's call has returned; what went wrong, if anything.
  std::string Finish();

private:
  std::atomic<bool> returned_{false};
  std::string failure_;
  std::thread thread_;
};

// Presses the button (as a click of the user's).
void Press(HWND button);

}  // namespace wizard_test
