#include "pages.h"

#include <objbase.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "application.h"
#include "core/exceptions.h"
#include "paths/registry.h"
#include "progresswindows.h"
#include "wizardfixture.h"
#include "wineview.h"

namespace wizard_test {
namespace {

using namespace forms;
using namespace install;

TEST_F(Pages, TheProductsScriptHoldsSixManagersAndSevenDialogs) {
  int managers = 0, dialogs = 0;
  for (int i = 0; i < main_form_->ComponentCount(); ++i) {
    managers += main_form_->Components(i)->InheritsFrom("TDialogManager");
    dialogs += main_form_->Components(i)->InheritsFrom("TCustomBaseInstallDlg");
  }
  EXPECT_EQ(managers, 6);
  EXPECT_EQ(dialogs, 7);
  for (TManagerType type : {dmBeforeInstall, dmDuringCopyFiles, dmChangeDisk, dmAfterGoodInstall, dmAfterBadInstall,
                            dmReboot})
    EXPECT_NE(ManagerOfType(type), nullptr) << int(type);
  EXPECT_EQ(Find<TSelectDestinationDlg>("SelectDestinationDlg1")->Order(), 45);
  EXPECT_EQ(Find<TSelectFolderDlg>("SelectFolderDlg1")->Order(), 60);
  EXPECT_EQ(Find<TCopyFileDlg>("CopyFileDlg1")->Height(), 146);
  EXPECT_EQ(Find<TCopyFileDlg>("CopyFileDlg1")->Position(), qdpBottomCenter);
}

TEST_F(Pages, BeforeTheInstallWelcomeThenTheDestination) {
  Host("BeforeInstallManager");
  ASSERT_EQ(host_->Pages().size(), 3u);
  EXPECT_NE(Page<TWelcomeForm>(0), nullptr);
  EXPECT_NE(Page<TSelectDestinationForm>(1), nullptr);
  EXPECT_NE(Page<TSelectFolderForm>(2), nullptr);
  EXPECT_EQ(host_->Caption(), "Welcome");
  EXPECT_FALSE(Page<TWelcomeForm>(0)->BackBtn()->Visible());
  EXPECT_EQ(DesignatedLabel(), Page<TWelcomeForm>(0)->EditionLabel());
  host_->NextPage();
  EXPECT_EQ(host_->Caption(), "Choose Destination Location");
  EXPECT_TRUE(Page<TSelectDestinationForm>(1)->BackBtn()->Visible());
  // The script's main Start-menu folder comes last; its Next finishes.
  host_->NextPage();
  EXPECT_EQ(host_->Caption(), "Select folder in start menu");
  host_->NextPage();
  EXPECT_EQ(host_->ModalResult(), mrOk);
  Free(host_);
}

TEST_F(Pages, TheDestinationIsWhatTheUserTypes) {
  Host("BeforeInstallManager");
  auto* page = Page<TSelectDestinationForm>(1);
  host_->NextPage();
  EXPECT_EQ(page->DestDirEdit()->Text(), std::string(wineview::kProgramFiles) + "\\ZUV");
  EXPECT_TRUE(page->DirectoryBox()->Visible());
  page->DestDirEdit()->SetCaption("D:\\Tools\\Monitor");
  EXPECT_EQ(Install()->DestDirType(), nullptr);
  EXPECT_EQ(Install()->DestDir(), "D:\\Tools\\Monitor");
  EXPECT_EQ(Install()->GetFullDestDir(), "D:\\Tools\\Monitor");
  // Without a destination the directory box is hidden.
  Install()->SetDestDir("");
  page->UpdatePage();
  EXPECT_FALSE(page->DirectoryBox()->Visible());
  Free(host_);
}

bool IsDirectory(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

BOOL CALLBACK FindBrowser(HWND window, LPARAM data) {
  char name[16] = {};
  GetClassNameA(window, name, sizeof name);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process == GetCurrentProcessId() && std::string(name) == "#32770" && IsWindowVisible(window)) {
    *reinterpret_cast<HWND*>(data) = window;
    return FALSE;
  }
  return TRUE;
}

TEST_F(Pages, BrowseMakesAMissingDestinationForTheBrowserOnly) {
  CoInitialize(nullptr);
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  const std::string base = std::string(temp) + "netmon_wizard_" + std::to_string(GetCurrentProcessId());
  const std::string destination = base + "\\Monitor";
  Install()->SetDestDirType(nullptr);
  Install()->SetDestDir(destination);
  Host("BeforeInstallManager");
  host_->NextPage();
  ScriptedUser user([&]() -> std::string {
    HWND browser = nullptr;
    for (int tries = 0; tries < 3000 && !browser; ++tries) {
      EnumWindows(FindBrowser, reinterpret_cast<LPARAM>(&browser));
      if (!browser) Sleep(20);
    }
    if (!browser) return "no folder browser";
    std::string made = IsDirectory(destination) ? "" : "the destination was not there for the browser";
    PostMessageA(browser, WM_COMMAND, IDCANCEL, 0);
    return made;
  });
  Page<TSelectDestinationForm>(1)->Browse();
  std::string failure = user.Finish();
  EXPECT_EQ(failure, "");
  EXPECT_FALSE(IsDirectory(destination)) << "the made level goes again";
  EXPECT_EQ(Install()->DestDir(), destination) << "a cancelled browser changes nothing";
  RemoveDirectoryA(base.c_str());
  Free(host_);
  CoUninitialize();
}

// The folders in the Programs menu, in the order of the page's sorted list.
std::vector<std::string> ProgramsMenuFolders() {
  std::vector<std::string> folders = SubdirectoriesOf(GetProgramsMenuDir());
  std::sort(folders.begin(), folders.end(),
            [](const std::string& a, const std::string& b) { return UpperCase(a) < UpperCase(b); });
  return folders;
}

class FolderPage : public Pages {
protected:
  void SetUp() override {
    Pages::SetUp();
    folder_ = Find<TMainLinkGroup>("MainLinkGroup1");
    Host("BeforeInstallManager");
    page_ = Page<TSelectFolderForm>(2);
  }
  void TearDown() override {
    Free(host_);
    Pages::TearDown();
  }
  TMainLinkGroup* folder_ = nullptr;
  TSelectFolderForm* page_ = nullptr;
};

TEST_F(FolderPage, KeepsTheFoldersNameUnderThePrograms) {
  folder_->SetDestDirType(StandardPathSpecifiers().FindByClass("TpsProgramMenu"));
  folder_->SetDestDir("\\ZUV Monitor");
  host_->NextPage();
  host_->NextPage();
  EXPECT_EQ(host_->Caption(), "Select folder in start menu");
  EXPECT_EQ(page_->FolderEdit()->Text(), "ZUV Monitor");
  page_->FolderEdit()->SetCaption("Monitor Tools");
  EXPECT_EQ(folder_->DestDir(), "\\Monitor Tools");
  EXPECT_TRUE(folder_->DestDirType()->InheritsFrom("TpsProgramMenu"));
}

TEST_F(FolderPage, ProposesAndCommitsTheFirstExistingFolder) {
  std::vector<std::string> existing = ProgramsMenuFolders();
  ASSERT_FALSE(existing.empty()) << "a new prefix has folders in its Programs menu";
  folder_->SetDestDir("");
  page_->UpdatePage();
  EXPECT_EQ(page_->FolderListBox()->Items().Lines(), existing);
  EXPECT_EQ(page_->FolderEdit()->Text(), existing[0]);
  EXPECT_EQ(folder_->DestDir(), "\\" + existing[0]);
  // A click on a listed folder takes it.
  page_->FolderListBox()->SetItemIndex(static_cast<int32_t>(existing.size()) - 1);
  page_->FolderClicked();
  EXPECT_EQ(folder_->DestDir(), "\\" + existing.back());
}

TEST_F(FolderPage, TheDialogWantsALinkFolder) {
  auto* dialog = Find<TSelectFolderDlg>("SelectFolderDlg1");
  EXPECT_EQ(dialog->LinkGroup(), folder_);
  dialog->SetContainer(Install());
  try {
    dialog->LinkGroup();
    FAIL();
  } catch (const Exception& error) {
    EXPECT_STREQ(error.what(), "The container for SelectFolderDlg1 must be a TCustomShellLinkGroup");
  }
}

TEST_F(Pages, WithoutAManagerTheFolderPageAnswersTheFolder) {
  std::vector<std::string> existing = ProgramsMenuFolders();
  ASSERT_FALSE(existing.empty()) << "a new prefix has folders in its Programs menu";
  Find<TSelectFolderDlg>("SelectFolderDlg1")->SetDialogManager(nullptr);
  TMainLinkGroup* folder = Find<TMainLinkGroup>("MainLinkGroup1");
  folder->SetDestDir("");
  ScriptedUser user([]() -> std::string {
    HWND page = WaitForWindow("Select folder in start menu");
    if (!page) return "no folder page";
    HWND next = FindButton(page, "Next >");
    if (!next) return "no Next";
    Press(next);
    return "";
  });
  folder->BroadcastInformationEvent(folder, ieSelectFolder, nullptr);
  ASSERT_EQ(user.Finish(), "");
  EXPECT_EQ(folder->DestDir(), "\\" + existing[0]) << "the page proposed and committed a folder";
}

TEST_F(Pages, TheEndPagesFinish) {
  Host("GoodInstallManager");
  ASSERT_EQ(host_->Pages().size(), 1u);
  auto* page = Page<TGoodInstallForm>(0);
  EXPECT_EQ(host_->Caption(), "Setup complete");
  EXPECT_FALSE(page->ProceedBtn()->Visible());
  EXPECT_TRUE(page->FinishBtn()->Visible());
  EXPECT_EQ(page->CancelBtn(), nullptr);
  Free(host_);
  Host("BadInstallManager");
  EXPECT_EQ(host_->Caption(), "Setup incomplete");
  Free(host_);
}

TEST_F(Pages, TheRebootPageProposesTheInstallsChoiceAndTakesTheUsers) {
  Install()->SetReboot(true);
  Host("RebootManager");
  auto* page = Page<TRebootForm>(0);
  EXPECT_EQ(page->RG()->ItemIndex(), 0);
  EXPECT_TRUE(Install()->Reboot()) << "showing the page changes nothing";
  page->RG()->SetItemIndex(1);
  EXPECT_FALSE(Install()->Reboot());
  page->RG()->SetItemIndex(0);
  EXPECT_TRUE(Install()->Reboot());
  Install()->SetReboot(false);
  page->UpdatePage();
  EXPECT_EQ(page->RG()->ItemIndex(), 1);
  Free(host_);
}

TEST_F(Pages, TheUserChoosesNotToRebootOnTheStandAlonePage) {
  Install()->SetReboot(true);
  Find<TRebootDlg>("RebootDlg1")->SetDialogManager(nullptr);
  ScriptedUser user([]() -> std::string {
    HWND page = WaitForWindow("Reboot windows");
    if (!page) return "no reboot page";
    HWND no = FindButton(page, "No, I would not like to reboot windows");
    // Alone, the page goes on with Next and has no Back.
    HWND next = FindButton(page, "Next >");
    if (!no || !next) return "no choice or no Next";
    if (FindButton(page, "< Back")) return "a page alone has no Back";
    Press(no);
    Sleep(200);
    Press(next);
    return "";
  });
  Install()->BroadcastInformationEvent(Install(), ieReboot, nullptr);
  ASSERT_EQ(user.Finish(), "");
  EXPECT_FALSE(Install()->Reboot());
}

TEST_F(Pages, TheWizardBeforeTheInstallAsTheUserSeesIt) {
  ScriptedUser user([]() -> std::string {
    for (const char* caption : {"Welcome", "Choose Destination Location", "Select folder in start menu"}) {
      HWND host = WaitForWindow(caption);
      if (!host) return std::string("no page ") + caption;
      HWND next = FindButton(GetTopWindow(host), "Next >");
      if (!next) return std::string("no Next on ") + caption;
      Press(next);
    }
    return "";
  });
  Install()->BroadcastInformationEvent(Install(), ieBeforeInstallDialogs, nullptr);
  ASSERT_EQ(user.Finish(), "");
  EXPECT_EQ(Install()->GetFullDestDir(), std::string(wineview::kProgramFiles) + "\\ZUV");
}

void Status(TCustomInstall* install, const std::string& text) { install->ShowStatusMessage(text); }

TEST_F(Pages, StatusMessagesNest) {
  auto* status = Find<TInstallStatusDlg>("InstallStatusDlg1");
  Status(Install(), "Reading file information...");
  Status(Install(), "Installing shell links...");
  auto* form = static_cast<TInstallStatusForm*>(status->Dialog());
  ASSERT_NE(form, nullptr);
  EXPECT_TRUE(IsWindowVisible(form->Handle()));
  EXPECT_EQ(form->MessageLabel()->Caption(), "Installing shell links...");
  Install()->HideStatusMessage();
  EXPECT_EQ(form->MessageLabel()->Caption(), "Reading file information...");
  EXPECT_TRUE(IsWindowVisible(form->Handle()));
  Install()->HideStatusMessage();
  EXPECT_FALSE(IsWindowVisible(form->Handle()));
  Install()->HideStatusMessage();
  EXPECT_TRUE(status->Messages().empty());
}

TEST_F(Pages, AStatusEventWithTheWrongParameterIsRefused) {
  TDiskParameter wrong;
  try {
    Install()->BroadcastInformationEvent(Install(), ieShowStatus, &wrong);
    FAIL();
  } catch (const IException& error) {
    EXPECT_STREQ(error.what(), "The PO object passed to InstallStatusDlg1 is not a TMessageParameter object");
  }
}

TEST_F(Pages, TheCopyWindowFollowsFilesAndDownloads) {
  TFileStatusParameter file;
  file.FileName = "dmwclient.dll";
  file.FilePercent = 40;
  file.TotalPercent = 80;
  Install()->BroadcastInformationEvent(Install(), ieFileStatus, &file);
  auto* manager = Find<TDialogManager>("CopyFilesManager");
  ASSERT_EQ(manager->CopyForms().size(), 1u);
  auto* form = static_cast<TCopyFileForm*>(manager->CopyForms()[0]);
  EXPECT_EQ(Find<TCopyFileDlg>("CopyFileDlg1")->Dialog(), form);
  EXPECT_EQ(form->Width(), 474);
  EXPECT_EQ(form->Height(), 146);
  EXPECT_TRUE(IsWindowVisible(form->Handle()));
  EXPECT_EQ(form->CopyingFile()->Caption(), "dmwclient.dll");
  EXPECT_EQ(form->FileProgress()->Position(), 40);
  EXPECT_EQ(form->TotalProgress()->Position(), 80);
  EXPECT_FALSE(form->TransferBitmap()->Visible());
  TDownloadStatusParameter download;
  download.FileName = "polyprobe.dll";
  download.Percent = 25;
  Install()->BroadcastInformationEvent(Install(), ieDownloadStatus, &download);
  EXPECT_TRUE(form->TransferBitmap()->Visible());
  EXPECT_EQ(form->FileProgress()->Position(), 25);
  EXPECT_EQ(form->TotalProgress()->Position(), 80) << "a download moves only the file bar";
  Install()->BroadcastInformationEvent(Install(), ieFileStatus, &file);
  EXPECT_FALSE(form->TransferBitmap()->Visible());
  Install()->BroadcastInformationEvent(Install(), ieCopyFinished, nullptr);
  EXPECT_TRUE(manager->CopyForms().empty());
  EXPECT_EQ(Find<TCopyFileDlg>("CopyFileDlg1")->Dialog(), nullptr);
}

}  // namespace
}  // namespace wizard_test
