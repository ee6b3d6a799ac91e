// The folder dialog driven as a user would: a second thread finds the
// browser and the boxes it opens, types and presses their buttons.
#include "paths/folderdialog.h"
#include "core/support.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include "paths/filesystem.h"
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

// The visible dialog of this process that holds a child with the id. The
// waits are long because a browser in a fresh prefix on a loaded machine
// can take many seconds to fill its tree.
HWND WaitForDialogWith(int child_id) {
  for (int tries = 0; tries < 3000; ++tries) {
    DialogSearch search{child_id, nullptr};
    EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&search));
    if (search.found) return search.found;
    Sleep(20);
  }
  return nullptr;
}

BOOL CALLBACK CancelDialog(HWND window, LPARAM) {
  char name[16] = {};
  GetClassNameA(window, name, sizeof name);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process == GetCurrentProcessId() && std::string(name) == "#32770") PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
  return TRUE;
}

// The user at the dialog, on a thread of its own. The steps return what
// went wrong, or nothing. When a step fails, the user cancels every dialog
// of this process until the test's Execute has returned: a failed step
// shows as a failure, never as a test that waits for ever.
class ScriptedUser {
public:
  explicit ScriptedUser(std::function<std::string()> steps)
      : thread_([this, steps] {
          failure_ = steps();
          while (!failure_.empty() && !executed_) {
            EnumWindows(CancelDialog, 0);
            Sleep(100);
          }
        }) {}
  // Called once Execute has returned; what went wrong, if anything.
  std::string Finish() {
    executed_ = true;
    thread_.join();
    return failure_;
  }

private:
  std::atomic<bool> executed_{false};
  std::string failure_;
  std::thread thread_;
};

std::string TextOf(HWND window) {
  char text[MAX_PATH] = {};
  SendMessageA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
  return text;
}

// Waits until the window shows the text (tries 20 ms apart); false when it
// never does.
bool WaitForText(HWND window, const std::string& text, int tries_left = 1500) {
  for (; tries_left > 0; --tries_left) {
    if (forms::SameText(TextOf(window), text)) return true;
    Sleep(20);
  }
  return false;
}

// Types the path into the box as a user does: the text, then a key release.
void TypePath(HWND edit, const std::string& path) {
  SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
  SendMessageA(edit, WM_KEYUP, 'R', 0);
}

// Waits for the box to show the folder the dialog opened with. The browser
// may lose that selection when other programs change the shell's folders
// while it fills its tree; a user then types the folder, and so does this.
bool StartFolderShown(HWND edit, const std::string& folder) {
  if (WaitForText(edit, folder, 250)) return true;
  TypePath(edit, folder);
  return WaitForText(edit, folder, 250);
}

// Types the path and checks it is still in the box after a while: a late
// selection of the browser may replace it, and a user would type it again.
bool PathTyped(HWND edit, const std::string& path) {
  for (int tries = 0; tries < 5; ++tries) {
    TypePath(edit, path);
    Sleep(200);
    if (forms::SameText(TextOf(edit), path)) return true;
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
  ScriptedUser user([&]() -> std::string {
    HWND browser = WaitForDialogWith(TOFDPathEdit::kId);
    if (!browser) return "no browser with the path box";
    HWND edit = GetDlgItem(browser, TOFDPathEdit::kId);
    if (!StartFolderShown(edit, base_)) return "the path box does not show the start folder but " + TextOf(edit);
    if (!PathTyped(edit, typed)) return "the typed path does not stay in the box";
    PostMessageA(browser, WM_COMMAND, IDOK, 0);
    return "";
  });
  bool chosen = dialog_->Execute();
  ASSERT_EQ(user.Finish(), "");
  EXPECT_TRUE(chosen);
  EXPECT_EQ(dialog_->FolderPath(), typed);
  EXPECT_TRUE(DirectoryExists(typed));
}

TEST_F(FolderDialog, TheCreateButtonAsksForANameAndReopensInTheNewFolder) {
  const std::string made = base_ + "\\Made";
  ScriptedUser user([&]() -> std::string {
    HWND browser = WaitForDialogWith(TOFDCreateButton::kId);
    if (!browser) return "no browser with the create button";
    HWND edit = GetDlgItem(browser, TOFDPathEdit::kId);
    if (!StartFolderShown(edit, base_)) return "the path box does not show the start folder but " + TextOf(edit);
    PostMessageA(browser, WM_COMMAND, MAKEWPARAM(TOFDCreateButton::kId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(browser, TOFDCreateButton::kId)));
    HWND box = WaitForDialogWith(kInputQueryEditId);
    if (!box) return "no box asking for the folder name";
    SendMessageA(GetDlgItem(box, kInputQueryEditId), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Made"));
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    // The browser closes and opens again, asked to select the new folder
    // (Wine's browser selects only folders whose parent it has expanded).
    for (int tries = 0; tries < 1500 && IsWindow(browser); ++tries) Sleep(20);
    if (IsWindow(browser)) return "the browser did not close after the folder was made";
    HWND again = WaitForDialogWith(TOFDPathEdit::kId);
    if (!again) return "the browser did not open again";
    PostMessageA(again, WM_COMMAND, IDCANCEL, 0);
    return "";
  });
  bool chosen = dialog_->Execute();
  ASSERT_EQ(user.Finish(), "");
  EXPECT_FALSE(chosen);
  EXPECT_TRUE(forms::SameText(dialog_->FolderPath(), made));
  EXPECT_TRUE(DirectoryExists(made));
}

}  // namespace
}  // namespace install
