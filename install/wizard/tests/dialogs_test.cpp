#include "dialogs.h"

#include <gtest/gtest.h>

#include "application.h"
#include "archive/qndr_compress.h"
#include "core/exceptions.h"
#include "distribution/netlocation.h"
#include "pageforms.h"
#include "wizardfixture.h"

namespace wizard_test {
namespace {

using namespace forms;
using namespace install;

// Managers of three kinds, the first two before the install.
const char* const kManagers = R"(
  TDialogManager dmBefore { Container = Install1 }
  TDialogManager dmBefore2 { Container = Install1 }
  TDialogManager dmGood { Container = Install1 ManagerType = dmAfterGoodInstall Width = 500 Height = 400 }
  TDialogManager dmCopy { Container = Install1 ManagerType = dmDuringCopyFiles }
)";

class DialogManager : public WizardTest {
protected:
  void SetUp() override {
    WizardTest::SetUp();
    // Only the test's own pages: the welcome page leaves the registry.
    for (TBIFEntry* entry : PageRegistry()->Snapshot())
      if (!entry->dialog) UnregisterPageForm(entry);
    Load(std::string(kManagers) + R"(
      TTestDlg Page30 { Container = Install1 DialogManager = dmBefore Order = 30 }
      TTestDlg Page10 { Container = Install1 DialogManager = dmBefore Order = 10 }
      TTestDlg Page20 { Container = Install1 DialogManager = dmBefore Order = 20 }
      TTestDlg GoodPage { Container = Install1 DialogManager = dmGood Order = 10 }
    )");
    before_ = Find<TDialogManager>("dmBefore");
  }
  // A host filled with the manager's pages, as ShowDialogs fills it.
  TBaseFormContainer* Collect(TDialogManager* manager) {
    host_ = New<TBaseFormContainer>(Application());
    SetCurrentManager(manager);
    manager->CollectPages(*host_);
    SetCurrentManager(nullptr);
    return host_;
  }
  std::vector<int32_t> Orders() const {
    std::vector<int32_t> orders;
    for (TBaseInstallForm* page : host_->Pages()) orders.push_back(page->Order());
    return orders;
  }
  TTestPage* PageAt(int index) const { return static_cast<TTestPage*>(host_->Pages()[static_cast<size_t>(index)]); }
  TDialogManager* before_ = nullptr;
  TBaseFormContainer* host_ = nullptr;
};

TEST_F(DialogManager, StoredManagersAndTheirDialogs) {
  EXPECT_EQ(before_->RegisteredType(), 9000);
  EXPECT_EQ(before_->Width(), 478);
  EXPECT_EQ(before_->Height(), 395);
  EXPECT_EQ(before_->Position(), qdpCenter);
  EXPECT_EQ(before_->Dialogs().size(), 3u);
  EXPECT_EQ(Find<TDialogManager>("dmGood")->Dialogs().size(), 1u);
  EXPECT_EQ(ManagerOfType(dmBeforeInstall), before_);
  EXPECT_EQ(ManagerOfType(dmAfterGoodInstall), Find<TDialogManager>("dmGood"));
  EXPECT_EQ(ManagerOfType(dmReboot), nullptr);
  // A dialog that goes leaves its manager's list.
  Free(Find<TTestDlg>("Page20"));
  EXPECT_EQ(before_->Dialogs().size(), 2u);
  // A manager that goes leaves its dialogs without one.
  TTestDlg* good = Find<TTestDlg>("GoodPage");
  Free(Find<TDialogManager>("dmGood"));
  EXPECT_EQ(good->DialogManager(), nullptr);
}

TEST_F(DialogManager, AddingNoDialogIsRefused) {
  try {
    before_->AddDialog(nullptr);
    FAIL();
  } catch (const Exception& error) {
    EXPECT_STREQ(error.what(), "Cannot add a NIL Dialog to the Dialog Manager dmBefore");
  }
}

TEST_F(DialogManager, CollectsItsOwnPagesSortedByOrder) {
  Collect(before_);
  EXPECT_EQ(Orders(), (std::vector<int32_t>{10, 20, 30}));
  EXPECT_EQ(host_->TabCount(), 3);
  EXPECT_EQ(PageAt(0)->DC(), Find<TTestDlg>("Page10"));
  EXPECT_EQ(PageAt(0)->Container(), Install());
  EXPECT_EQ(Find<TTestDlg>("Page10")->Dialog(), PageAt(0));
  Free(host_);
  // A dialog that cannot run is left out; another manager's pages never come.
  Find<TTestDlg>("Page20")->can_execute = false;
  Collect(before_);
  EXPECT_EQ(Orders(), (std::vector<int32_t>{10, 30}));
  Free(host_);
  Collect(Find<TDialogManager>("dmBefore2"));
  EXPECT_TRUE(host_->Pages().empty());
  Free(host_);
}

TEST_F(DialogManager, CollectingWithoutACurrentManagerFails) {
  TBaseFormContainer* host = New<TBaseFormContainer>(Application());
  EXPECT_THROW(before_->CollectPages(*host), Exception);
  Free(host);
}

TEST_F(DialogManager, EqualOrdersAreBothShownInTheExchangeSortsOrder) {
  Find<TTestDlg>("Page30")->SetOrder(10);
  Collect(before_);
  ASSERT_EQ(Orders(), (std::vector<int32_t>{10, 10, 20}));
  // Registration order is 30, 10, 20: the sort leaves the former 30 first.
  EXPECT_EQ(PageAt(0)->DC(), Find<TTestDlg>("Page30"));
}

TEST_F(DialogManager, NextAndBackPassOverSkippedPages) {
  Collect(before_);
  PageAt(0)->skip = true;
  host_->FormShow();
  EXPECT_EQ(host_->TabIndex(), 1) << "a skipped first page is passed over";
  EXPECT_TRUE(PageAt(1)->IsFirstPage());
  host_->PreviousPage();
  EXPECT_EQ(host_->TabIndex(), 1) << "Back on the first page shown stays";
  host_->NextPage();
  EXPECT_EQ(host_->TabIndex(), 2);
  EXPECT_TRUE(PageAt(2)->IsLastPage());
  EXPECT_FALSE(PageAt(2)->IsFirstPage());
  host_->PreviousPage();
  EXPECT_EQ(host_->TabIndex(), 1);
  EXPECT_EQ(host_->ModalResult(), mrNone);
  Free(host_);
}

TEST_F(DialogManager, NextOnTheLastPageShownFinishesWithOK) {
  Collect(before_);
  PageAt(2)->skip = true;
  host_->FormShow();
  host_->NextPage();
  EXPECT_EQ(host_->TabIndex(), 1);
  EXPECT_FALSE(host_->CloseQuery()) << "the system cannot close the host";
  host_->NextPage();
  EXPECT_EQ(host_->TabIndex(), 1);
  EXPECT_TRUE(host_->Finishing());
  EXPECT_EQ(host_->ModalResult(), mrOk);
  EXPECT_TRUE(host_->CloseQuery());
  Free(host_);
}

TEST_F(DialogManager, AManagerWithoutPagesShowsNothing) {
  Find<TDialogManager>("dmBefore2")->ShowDialogs();
  Install()->BroadcastInformationEvent(Install(), ieReboot, nullptr);
  EXPECT_EQ(CurrentManager(), nullptr);
  EXPECT_TRUE(TTestPage::Made().empty());
}

TEST_F(DialogManager, TheUserGoesThroughThePages) {
  ScriptedUser user([]() -> std::string {
    for (int page = 0; page < 3; ++page) {
      HWND host = WaitForWindow("Test page");
      if (!host) return "no host on page " + std::to_string(page);
      HWND next = nullptr;
      // The front page's Next: the one on the page that is on top.
      for (int tries = 0; tries < 500 && !next; ++tries) {
        HWND top = GetTopWindow(host);
        next = top ? FindButton(top, "Next >") : nullptr;
        if (!next) Sleep(20);
      }
      if (!next) return "no Next button";
      Press(next);
      Sleep(200);
    }
    return "";
  });
  Install()->BroadcastInformationEvent(Install(), ieBeforeInstallDialogs, nullptr);
  ASSERT_EQ(user.Finish(), "");
  EXPECT_EQ(CurrentManager(), nullptr);
}

TEST_F(DialogManager, CancelEndsTheWizardWithTheUsersAbort) {
  int asked = 0;
  Install()->SetOnUserAbort([&](TComponent*, bool&) { ++asked; });
  ScriptedUser user([]() -> std::string {
    HWND host = WaitForWindow("Test page");
    if (!host) return "no host";
    HWND cancel = FindButton(GetTopWindow(host), "Cancel");
    if (!cancel) return "no Cancel button";
    Press(cancel);
    return "";
  });
  EXPECT_THROW(Install()->BroadcastInformationEvent(Install(), ieBeforeInstallDialogs, nullptr), EAIUserAbort);
  ASSERT_EQ(user.Finish(), "");
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(CurrentManager(), nullptr);
}

TEST_F(DialogManager, CancelRefusedByTheInstallGoesOn) {
  Install()->SetOnUserAbort([](TComponent*, bool& abort) { abort = false; });
  Find<TTestDlg>("Page20")->can_execute = false;
  Find<TTestDlg>("Page30")->can_execute = false;
  ScriptedUser user([]() -> std::string {
    HWND host = WaitForWindow("Test page");
    if (!host) return "no host";
    HWND page = GetTopWindow(host);
    Press(FindButton(page, "Cancel"));
    Sleep(300);
    if (!IsWindowVisible(host)) return "a refused cancel closed the wizard";
    Press(FindButton(page, "Next >"));
    return "";
  });
  Install()->BroadcastInformationEvent(Install(), ieBeforeInstallDialogs, nullptr);
  ASSERT_EQ(user.Finish(), "");
}

// A copy form that notes its progress calls.
class TTestCopyForm : public TBaseDuringCopyForm {
  FORMS_CLASS(TTestCopyForm)
public:
  void Create(TComponent* owner) override {
    TBaseDuringCopyForm::Create(owner);
    SetCaption("Test copy");
    SetDM(ManagerOfType(dmDuringCopyFiles));
    ++made;
  }
  void UpdateProgress(TFileStatusParameter* file, TDownloadStatusParameter* download) override {
    last = file ? file->FileName : download->FileName;
  }
  static inline int made = 0;
  std::string last;
};

const ClassInfo& TTestCopyForm::StaticClass() {
  static const ClassInfo info{"TTestCopyForm", &TBaseDuringCopyForm::StaticClass(),
                              [](TComponent* owner) -> TComponent* { return New<TTestCopyForm>(owner); }};
  return info;
}

class CopyForms : public DialogManager {
protected:
  void SetUp() override {
    DialogManager::SetUp();
    TTestCopyForm::made = 0;
    RegisterCopyForm(TTestCopyForm::StaticClass(), nullptr, 0);
    copy_ = Find<TDialogManager>("dmCopy");
  }
  void FileStatus(const std::string& name) {
    TFileStatusParameter status;
    status.FileName = name;
    Install()->BroadcastInformationEvent(Install(), ieFileStatus, &status);
  }
  TTestCopyForm* Shown() const {
    return copy_->CopyForms().empty() ? nullptr : static_cast<TTestCopyForm*>(copy_->CopyForms()[0]);
  }
  TDialogManager* copy_ = nullptr;
};

TEST_F(CopyForms, ComeWithTheFirstProgressAndGoWhenTheCopyEnds) {
  FileStatus("a.dll");
  ASSERT_NE(Shown(), nullptr);
  EXPECT_TRUE(IsWindowVisible(Shown()->Handle()));
  EXPECT_EQ(Shown()->last, "a.dll");
  TDownloadStatusParameter download;
  download.FileName = "b.dll";
  Install()->BroadcastInformationEvent(Install(), ieDownloadStatus, &download);
  EXPECT_EQ(Shown()->last, "b.dll");
  EXPECT_EQ(TTestCopyForm::made, 1);
  Install()->BroadcastInformationEvent(Install(), ieCopyFinished, nullptr);
  EXPECT_EQ(Shown(), nullptr);
}

TEST_F(CopyForms, ASecondCopyShowsThemAgain) {
  FileStatus("a.dll");
  Install()->BroadcastInformationEvent(Install(), ieCopyFinished, nullptr);
  FileStatus("c.dll");
  ASSERT_NE(Shown(), nullptr);
  EXPECT_EQ(TTestCopyForm::made, 2);
  EXPECT_EQ(Shown()->last, "c.dll");
}

TEST_F(CopyForms, ProgressWithoutOrWithTheWrongParameterIsRefused) {
  try {
    Install()->BroadcastInformationEvent(Install(), ieFileStatus, nullptr);
    FAIL();
  } catch (const IException& error) {
    EXPECT_STREQ(error.what(), "dmCopy got a nil PO parameter");
  }
  TMessageParameter wrong;
  try {
    Install()->BroadcastInformationEvent(Install(), ieDownloadStatus, &wrong);
    FAIL();
  } catch (const IException& error) {
    EXPECT_STREQ(error.what(), "The PO object passed to dmCopy is not a TDownloadStatusParameter object");
  }
  EXPECT_EQ(TTestCopyForm::made, 0);
}

TEST_F(CopyForms, CancelStopsTheArchiveAndTheDownloadUnlessTheInstallRefuses) {
  FileStatus("a.dll");
  ASSERT_NE(Shown(), nullptr);
  SharedArchive()->SetAbort(false);
  SetDownloadAborted(false);
  Install()->SetOnUserAbort([](TComponent*, bool& abort) { abort = false; });
  Shown()->CancelCopy();
  EXPECT_FALSE(SharedArchive()->Abort());
  EXPECT_FALSE(DownloadAborted());
  Install()->SetOnUserAbort(nullptr);
  Shown()->CancelCopy();
  EXPECT_TRUE(SharedArchive()->Abort());
  EXPECT_TRUE(DownloadAborted());
  SharedArchive()->SetAbort(false);
  SetDownloadAborted(false);
}

TEST(Placement, ByPositionAndOffsets) {
  struct Case {
    TQuendricDialogPosition position;
    TCentring centring;
    int32_t left, top;
  };
  // Screen 1027 x 769, window 100 x 51, caption 19, offsets 7 and 30: the
  // centred left 463.5 truncates to 463 and rounds (to even) to 464.
  const Case cases[] = {
      {qdpCenter, TCentring::Truncate, 470, 389},      {qdpCenter, TCentring::Round, 471, 389},
      {qdpCenterLeft, TCentring::Truncate, 7, 389},    {qdpCenterRight, TCentring::Truncate, 920, 389},
      {qdpTopLeft, TCentring::Round, 7, 30},           {qdpTopCenter, TCentring::Round, 471, 30},
      {qdpBottomCenter, TCentring::Round, 471, 669},   {qdpBottomRight, TCentring::Round, 920, 669},
  };
  for (const Case& c : cases) {
    TWindowPlacement placement = PlaceWindow(c.position, 7, 30, 100, 51, 1027, 769, 19, c.centring);
    EXPECT_EQ(placement.left, c.left) << int(c.position);
    EXPECT_EQ(placement.top, c.top) << int(c.position);
  }
}

class StandAloneDialog : public WizardTest {
protected:
  void SetUp() override {
    WizardTest::SetUp();
    Load("TTestDlg Alone { Container = Install1 }");
    dialog_ = Find<TTestDlg>("Alone");
  }
  TTestDlg* dialog_ = nullptr;
};

TEST_F(StandAloneDialog, OKShowsTrueAndCancelIsTheUsersAbort) {
  for (const char* button : {"Next >", "Cancel"}) {
    ScriptedUser user([button]() -> std::string {
      HWND page = WaitForWindow("Test page");
      if (!page) return "no page";
      HWND pressed = FindButton(page, button);
      if (!pressed) return std::string("no ") + button;
      Press(pressed);
      return "";
    });
    if (std::string(button) == "Next >")
      EXPECT_TRUE(dialog_->Execute());
    else
      EXPECT_THROW(dialog_->Execute(), EAIUserAbort);
    ASSERT_EQ(user.Finish(), "") << button;
    EXPECT_EQ(dialog_->Dialog(), nullptr);
  }
}
TEST_F(StandAloneDialog, ASilentAbortBeforeShowingGivesFalse) {
  dialog_->SetOnBeforeExecute([](TComponent*) { Abort(); });
  EXPECT_FALSE(dialog_->Execute());
  EXPECT_TRUE(TTestPage::Made().empty());
}

TEST_F(StandAloneDialog, AssigningWithoutAFormFails) {
  try {
    dialog_->AssignDialogProperties();
    FAIL();
  } catch (const Exception& error) {
    EXPECT_STREQ(error.what(), "Cannot AssignDialogProperties for Alone because the Dialog is Nil");
  }
}

}  // namespace
}  // namespace wizard_test
