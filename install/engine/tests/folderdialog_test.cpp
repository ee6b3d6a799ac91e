// The folder dialog driven as a user would: a second thread finds the
// browser and the boxes it opens, types and presses their buttons.
#include "folderdialog.h"
#include "support.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

#include "filesystem.h"
#include "sysutils.h"

namespace install {
namespace {

struct DialogSearch {
  int child_id;
  HWND found;
};

BOOL CALLBACK FindDialog(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<DialogSearch*>(data);
  char name[16] = {};
  GetClassNameA(window, name, sizeof name);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process == GetCurrentProcessId() && std::string(name) == "#32770" && IsWindowVisible(window) &&
      GetDlgItem(window, search->child_id)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

// The visible dialog of this process that holds a child with the id.
HWND WaitForDialogWith(int child_id) {
  for (int tries = 0; tries < 1000; ++tries) {
    DialogSearch search{child_id, nullptr};
    EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&search));
    if (search.found) return search.found;
    Sleep(20);
  }
  return nullptr;
}

std::string TextOf(HWND window) {
  char text[MAX_PATH] = {};
  SendMessageA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
  return text;
}

// Waits until the window shows the text; false when it never does.
bool WaitForText(HWND window, const std::string& text) {
  for (int tries = 0; tries < 500; ++tries) {
    if (forms::SameText(TextOf(window), text)) return true;
    Sleep(20);
  }
  return false;
}

bool DirectoryExists(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

class FolderDialog : public ::testing::Test {
protected:
  void SetUp() override {
    CoInitialize(nullptr);
    char folder[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    base_ = std::string(folder) + "netmon_browse_" + std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(ForceDirectories(base_));
    dialog_ = forms::New<TOpenFolderDialog>(nullptr);
    dialog_->SetFolderPath(base_);
  }
  void TearDown() override {
    forms::Free(dialog_);
    for (const char* below : {"\\new\\deeper", "\\new", "\\Made"}) RemoveDirectoryA((base_ + below).c_str());
    RemoveDirectoryA(base_.c_str());
    CoUninitialize();
  }
  std::string base_;
  TOpenFolderDialog* dialog_ = nullptr;
};

TEST_F(FolderDialog, ATypedPathThatDoesNotExistIsCreatedAndReturned) {
  const std::string typed = base_ + "\\new\\deeper";
  std::thread user([&] {
    HWND browser = WaitForDialogWith(TOFDPathEdit::kId);
    if (!browser) return;
    HWND edit = GetDlgItem(browser, TOFDPathEdit::kId);
    WaitForText(edit, base_);
    SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed.c_str()));
    SendMessageA(edit, WM_KEYUP, 'R', 0);
    PostMessageA(browser, WM_COMMAND, IDOK, 0);
  });
  bool chosen = dialog_->Execute();
  user.join();
  EXPECT_TRUE(chosen);
  EXPECT_EQ(dialog_->FolderPath(), typed);
  EXPECT_TRUE(DirectoryExists(typed));
}

TEST_F(FolderDialog, TheCreateButtonAsksForANameAndReopensInTheNewFolder) {
  const std::string made = base_ + "\\Made";
  bool reopened = false;
  std::thread user([&] {
    HWND browser = WaitForDialogWith(TOFDCreateButton::kId);
    if (!browser || !WaitForText(GetDlgItem(browser, TOFDPathEdit::kId), base_)) return;
    PostMessageA(browser, WM_COMMAND, MAKEWPARAM(TOFDCreateButton::kId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(browser, TOFDCreateButton::kId)));
    HWND box = WaitForDialogWith(kInputQueryEditId);
    if (!box) return;
    SendMessageA(GetDlgItem(box, kInputQueryEditId), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Made"));
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    // The browser closes and opens again, asked to select the new folder
    // (Wine's browser selects only folders whose parent it has expanded).
    for (int tries = 0; tries < 500 && IsWindow(browser); ++tries) Sleep(20);
    HWND again = WaitForDialogWith(TOFDPathEdit::kId);
    if (!again) return;
    reopened = true;
    PostMessageA(again, WM_COMMAND, IDCANCEL, 0);
  });
  bool chosen = dialog_->Execute();
  user.join();
  EXPECT_FALSE(chosen);
  EXPECT_TRUE(reopened);
  EXPECT_TRUE(forms::SameText(dialog_->FolderPath(), made));
  EXPECT_TRUE(DirectoryExists(made));
}

}  // namespace
}  // namespace install
