// The folder-browse dialog: the system's folder browser with two additions
// placed into it while it opens, an edit box that shows and accepts a typed
// path and a button that creates a new folder. A typed path that does not
// exist is created, with its parents, when the user presses OK. Creating a
// folder with the button reopens the browser inside the new folder.
// Windows only: it stands on the shell's browser.
#pragma once

#ifdef _WIN32
#include <windows.h>
#include <shlobj.h>

#include <memory>
#include <string>

#include "classes.h"

namespace install {

class TOpenFolderDialog;

// The system's own texts the dialog shows, in the system's language.
struct TOFDResourceStrings {
  static std::string CreateFolderCaption();
  static std::string NewFolderPrompt();
  static std::string BrowseTitle();
};

// A child window placed into the browser, and taken out with it.
class TOFDChildWindow {
public:
  TOFDChildWindow(TOpenFolderDialog& dialog, HWND window) : dialog_(dialog), window_(window) {}
  virtual ~TOFDChildWindow() = default;
  HWND Window() const { return window_; }

protected:
  TOpenFolderDialog& dialog_;
  HWND window_;
};

// Its click runs the dialog's CreateFolder.
class TOFDCreateButton : public TOFDChildWindow {
public:
  static constexpr int kId = 0x3F01;
  TOFDCreateButton(TOpenFolderDialog& dialog, HWND browser, const RECT& bounds, const std::string& caption);
};

// After each key release it runs the dialog's EditChanged.
class TOFDPathEdit : public TOFDChildWindow {
public:
  static constexpr int kId = 0x3F02;
  TOFDPathEdit(TOpenFolderDialog& dialog, HWND browser, int left, int top, int width);
  ~TOFDPathEdit() override;
  std::string Text() const;
  void SetText(const std::string& text);
};

class TOpenFolderDialog : public forms::TComponent {
  FORMS_CLASS(TOpenFolderDialog)
public:
  // Shows the browser; true when the user chose a folder (FolderPath).
  bool Execute();

  // The initial folder before Execute, the chosen folder after it.
  std::string FolderPath() const { return folder_path_; }
  void SetFolderPath(const std::string& v) { folder_path_ = v; }
  // The folder selected or typed while the browser is open.
  std::string CurrentPath() const { return current_path_; }
  bool ShowCreateButton() const { return show_create_button_; }
  void SetShowCreateButton(bool v) { show_create_button_ = v; }
  bool ShowPathEdit() const { return show_path_edit_; }
  void SetShowPathEdit(bool v) { show_path_edit_ = v; }

  // The additions' work, run by their windows.
  void EditChanged();
  void CreateFolder();

private:
  static int CALLBACK BrowseCallback(HWND window, UINT message, LPARAM value, LPARAM data);
  void FindBrowserControls();
  void Layout();
  void SelectPath(const std::string& path);
  void SelectionChanged(LPCITEMIDLIST item);
  // child's bounds in the browser's client area.
  RECT BoundsOf(HWND child) const;

  std::unique_ptr<TOFDCreateButton> create_button_;
  std::string current_path_;
  bool folder_created_ = false;
  bool selecting_ = false;
  std::string folder_path_;
  std::unique_ptr<TOFDPathEdit> path_edit_;
  bool show_create_button_ = true;
  bool show_path_edit_ = true;
  bool typing_ = false;
  HWND window_ = nullptr;
  RECT ok_rect_{};
  HWND ok_window_ = nullptr;
  RECT cancel_rect_{};
  HWND cancel_window_ = nullptr;
  HWND tree_window_ = nullptr;
  RECT tree_rect_{};
};

// Asks for one line of text in a small modal box; false when cancelled.
// The box's edit has the id kInputQueryEditId.
constexpr int kInputQueryEditId = 100;
bool InputQuery(const std::string& caption, const std::string& prompt, std::string& value);

}  // namespace install
#endif
