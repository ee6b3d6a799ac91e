#include "paths/folderdialog.h"

#include <commctrl.h>

#include <cstring>
#include <vector>

#include "core/support.h"
#include "paths/filesystem.h"

namespace install {

using namespace forms;

namespace {

// Subclass procedures of the windows the dialog adds to and places into
// the browser; each knows the dialog through its reference data.
LRESULT CALLBACK BrowserProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR id, DWORD_PTR data) {
  if (message == WM_COMMAND && LOWORD(wparam) == TOFDCreateButton::kId && HIWORD(wparam) == BN_CLICKED) {
    reinterpret_cast<TOpenFolderDialog*>(data)->CreateFolder();
    return 0;
  }
  if (message == WM_NCDESTROY) RemoveWindowSubclass(window, BrowserProc, id);
  return DefSubclassProc(window, message, wparam, lparam);
}

LRESULT CALLBACK PathEditProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR id, DWORD_PTR data) {
  LRESULT result = DefSubclassProc(window, message, wparam, lparam);
  if (message == WM_KEYUP) reinterpret_cast<TOpenFolderDialog*>(data)->EditChanged();
  if (message == WM_NCDESTROY) RemoveWindowSubclass(window, PathEditProc, id);
  return result;
}

std::string WindowText(HWND window) {
  int length = GetWindowTextLengthA(window);
  std::vector<char> text(static_cast<size_t>(length) + 1);
  GetWindowTextA(window, text.data(), length + 1);
  return text.data();
}

bool DirectoryExists(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Whether the class name of window begins with prefix, ignoring case.
bool ClassBeginsWith(HWND window, const char* prefix) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, name, static_cast<int>(std::strlen(prefix)), prefix,
                        -1) == CSTR_EQUAL;
}

HFONT DialogFont(HWND dialog) { return reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0)); }

HWND MakeChild(HWND parent, const char* window_class, const std::string& text, DWORD style, int left, int top,
               int width, int height, int id) {
  HWND window = CreateWindowExA(0, window_class, text.c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP | style, left, top,
                                width, height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                GetModuleHandleA(nullptr), nullptr);
  SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(DialogFont(parent)), TRUE);
  return window;
}

}  // namespace

std::string TOFDResourceStrings::CreateFolderCaption() { return LoadStringFromModule("comdlg32.dll", 703); }
std::string TOFDResourceStrings::NewFolderPrompt() { return LoadStringFromModule("shell32.dll", 8977); }
// A format with one argument, given the empty text.
std::string TOFDResourceStrings::BrowseTitle() {
  std::string format = LoadStringFromModule("shell32.dll", 9248);
  try {
    return Format(format, {std::string()});
  } catch (const EConvertError&) {
    return format;
  }
}

TOFDCreateButton::TOFDCreateButton(TOpenFolderDialog& dialog, HWND browser, const RECT& bounds,
                                   const std::string& caption)
    : TOFDChildWindow(dialog, MakeChild(browser, "BUTTON", caption, BS_PUSHBUTTON, bounds.left, bounds.top,
                                        bounds.right - bounds.left, bounds.bottom - bounds.top, kId)) {
  SetWindowSubclass(browser, BrowserProc, kId, reinterpret_cast<DWORD_PTR>(&dialog));
}

TOFDPathEdit::TOFDPathEdit(TOpenFolderDialog& dialog, HWND browser, int left, int top, int width)
    : TOFDChildWindow(dialog, MakeChild(browser, "EDIT", "", ES_AUTOHSCROLL | WS_BORDER, left, top, width, 21, kId)) {
  SetWindowSubclass(window_, PathEditProc, kId, reinterpret_cast<DWORD_PTR>(&dialog));
}

TOFDPathEdit::~TOFDPathEdit() {
  if (IsWindow(window_)) RemoveWindowSubclass(window_, PathEditProc, kId);
}

std::string TOFDPathEdit::Text() const { return WindowText(window_); }

void TOFDPathEdit::SetText(const std::string& text) { SetWindowTextA(window_, text.c_str()); }

const ClassInfo& TOpenFolderDialog::StaticClass() {
  static const ClassInfo info{"TOpenFolderDialog", &TComponent::StaticClass(),
                              [](TComponent* owner) -> TComponent* { return New<TOpenFolderDialog>(owner); }};
  return info;
}

bool TOpenFolderDialog::Execute() {
  folder_created_ = false;
  create_button_.reset();
  path_edit_.reset();
  window_ = ok_window_ = cancel_window_ = tree_window_ = nullptr;
  ok_rect_ = cancel_rect_ = tree_rect_ = RECT{};

  std::string title = TOFDResourceStrings::BrowseTitle();
  char display_name[MAX_PATH];
  BROWSEINFOA browse{};
  browse.hwndOwner = GetActiveWindow();
  browse.pszDisplayName = display_name;
  browse.lpszTitle = title.c_str();
  browse.ulFlags = BIF_RETURNONLYFSDIRS;
  browse.lpfn = BrowseCallback;
  browse.lParam = reinterpret_cast<LPARAM>(this);
  LPITEMIDLIST chosen = SHBrowseForFolderA(&browse);
  bool had_path_edit = path_edit_ != nullptr;
  create_button_.reset();
  path_edit_.reset();
  window_ = nullptr;

  bool result = chosen != nullptr;
  if (chosen && had_path_edit) {
    ForceDirectories(current_path_);
    folder_path_ = current_path_;
  } else if (chosen) {
    char path[MAX_PATH];
    folder_path_ = SHGetPathFromIDListA(chosen, path) ? path : "";
  }
  if (chosen) CoTaskMemFree(chosen);
  if (folder_created_) {
    folder_path_ = current_path_;
    return Execute();
  }
  return result;
}

int CALLBACK TOpenFolderDialog::BrowseCallback(HWND window, UINT message, LPARAM value, LPARAM data) {
  auto* dialog = reinterpret_cast<TOpenFolderDialog*>(data);
  dialog->window_ = window;
  if (message == BFFM_INITIALIZED)
    dialog->Layout();
  else if (message == BFFM_SELCHANGED)
    dialog->SelectionChanged(reinterpret_cast<LPCITEMIDLIST>(value));
  return 0;
}

RECT TOpenFolderDialog::BoundsOf(HWND child) const {
  RECT bounds;
  GetWindowRect(child, &bounds);
  MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&bounds), 2);
  return bounds;
}

void TOpenFolderDialog::FindBrowserControls() {
  int buttons = 0;
  for (HWND child = GetWindow(window_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (!tree_window_ && ClassBeginsWith(child, "SYSTREE")) {
      tree_window_ = child;
      tree_rect_ = BoundsOf(child);
    } else if (buttons < 2 && ClassBeginsWith(child, "BUTTON")) {
      (buttons++ == 0 ? ok_window_ : cancel_window_) = child;
      (buttons == 1 ? ok_rect_ : cancel_rect_) = BoundsOf(child);
    }
  }
}

void TOpenFolderDialog::Layout() {
  FindBrowserControls();
  if (show_create_button_) {
    RECT bounds{20, 230, 140, 253};
    if (ok_window_ && cancel_window_) {
      int step = ok_rect_.left - cancel_rect_.left;
      bounds = RECT{ok_rect_.left + step, ok_rect_.top - 22, ok_rect_.right + step, ok_rect_.bottom - 22};
    }
    if (tree_window_) bounds.left = tree_rect_.left;
    create_button_ = std::make_unique<TOFDCreateButton>(*this, window_, bounds,
                                                        TOFDResourceStrings::CreateFolderCaption());
  }
  if (show_path_edit_) {
    RECT bounds{20, 230, 140, 253};
    if (tree_window_) {
      tree_rect_.bottom -= 60;
      MoveWindow(tree_window_, tree_rect_.left, tree_rect_.top, tree_rect_.right - tree_rect_.left,
                 tree_rect_.bottom - tree_rect_.top, FALSE);
      if (ok_window_) bounds = RECT{tree_rect_.left, tree_rect_.bottom + 15, tree_rect_.right, tree_rect_.bottom + 28};
    }
    path_edit_ = std::make_unique<TOFDPathEdit>(*this, window_, bounds.left, bounds.top, bounds.right - bounds.left);
  }
  if (tree_window_)
    SetWindowLongA(tree_window_, GWL_STYLE, GetWindowLongA(tree_window_, GWL_STYLE) | TVS_SHOWSELALWAYS);
  SelectPath(folder_path_);
}

void TOpenFolderDialog::SelectPath(const std::string& path) {
  if (!window_ || path.empty()) return;
  selecting_ = true;
  std::string directory = NearestExistingDirectory(path);
  directory = directory.size() > 3 ? RemoveTrailingBackslash(directory) : AddTrailingBackslash(directory);
  SendMessageA(window_, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(directory.c_str()));
  selecting_ = false;
}

void TOpenFolderDialog::SelectionChanged(LPCITEMIDLIST item) {
  char path[MAX_PATH];
  current_path_ = SHGetPathFromIDListA(item, path) ? path : "";
  if (path_edit_ && !typing_) path_edit_->SetText(current_path_);
  if (create_button_)
    ShowWindow(create_button_->Window(), ok_window_ && IsWindowEnabled(ok_window_) ? SW_SHOW : SW_HIDE);
}

void TOpenFolderDialog::EditChanged() {
  if (selecting_ || !path_edit_) return;
  typing_ = true;
  std::string text = path_edit_->Text();
  SendMessageA(window_, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
  current_path_ = text;
  typing_ = false;
}

void TOpenFolderDialog::CreateFolder() {
  std::string typed = path_edit_ ? path_edit_->Text() : "";
  if (!typed.empty() && !DirectoryExists(typed)) {
    current_path_ = typed;
  } else {
    std::string name;
    if (!InputQuery(TOFDResourceStrings::CreateFolderCaption(), TOFDResourceStrings::NewFolderPrompt(), name)) return;
    current_path_ = AddTrailingBackslash(current_path_) + name;
  }
  ForceDirectories(current_path_);
  folder_created_ = true;
  if (ok_window_) SendMessageA(ok_window_, BM_CLICK, 0, 0);
}

// The input box

namespace {

struct InputBoxText {
  const std::string& caption;
  const std::string& prompt;
  std::string& value;
};

constexpr WORD kButtonAtom = 0x0080, kEditAtom = 0x0081, kStaticAtom = 0x0082;
constexpr int kPromptId = 101;

INT_PTR CALLBACK InputBoxProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrA(window, DWLP_USER, lparam);
    auto* text = reinterpret_cast<InputBoxText*>(lparam);
    SetWindowTextA(window, text->caption.c_str());
    SetDlgItemTextA(window, kPromptId, text->prompt.c_str());
    SetDlgItemTextA(window, kInputQueryEditId, text->value.c_str());
    return TRUE;
  }
  if (message == WM_COMMAND && (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL)) {
    if (LOWORD(wparam) == IDOK)
      reinterpret_cast<InputBoxText*>(GetWindowLongPtrA(window, DWLP_USER))->value =
          WindowText(GetDlgItem(window, kInputQueryEditId));
    EndDialog(window, LOWORD(wparam));
    return TRUE;
  }
  return FALSE;
}

// A dialog template in memory: the box, then its items, each on a
// four-byte boundary, with texts in UTF-16.
class DialogTemplate {
public:
  DialogTemplate(DWORD style, short width, short height) {
    DLGTEMPLATE box{};
    box.style = style | DS_SETFONT | DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    box.cx = width;
    box.cy = height;
    Append(&box, sizeof box);
    Word(0);  // no menu
    Word(0);  // the standard dialog class
    Word(0);  // no title: set when the box opens
    Word(8);  // point size of the font
    Text("MS Shell Dlg");
  }
  void Item(WORD atom, DWORD style, short x, short y, short width, short height, int id) {
    Align();
    count_++;
    DLGITEMTEMPLATE item{};
    item.style = style | WS_CHILD | WS_VISIBLE;
    item.x = x;
    item.y = y;
    item.cx = width;
    item.cy = height;
    item.id = static_cast<WORD>(id);
    Append(&item, sizeof item);
    Word(0xFFFF);
    Word(atom);
    Word(0);  // no text
    Word(0);  // no creation data
  }
  const DLGTEMPLATE* Template() {
    reinterpret_cast<DLGTEMPLATE*>(bytes_.data())->cdit = count_;
    return reinterpret_cast<const DLGTEMPLATE*>(bytes_.data());
  }

private:
  void Append(const void* data, size_t size) {
    const auto* begin = static_cast<const unsigned char*>(data);
    bytes_.insert(bytes_.end(), begin, begin + size);
  }
  void Word(WORD value) { Append(&value, sizeof value); }
  void Text(const char* text) {
    for (; *text; ++text) Word(static_cast<WORD>(*text));
    Word(0);
  }
  void Align() {
    while (bytes_.size() % 4) bytes_.push_back(0);
  }
  std::vector<unsigned char> bytes_;
  WORD count_ = 0;
};

}  // namespace

bool InputQuery(const std::string& caption, const std::string& prompt, std::string& value) {
  DialogTemplate box(0, 200, 64);
  box.Item(kStaticAtom, SS_LEFT, 7, 7, 186, 10, kPromptId);
  box.Item(kEditAtom, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 7, 20, 186, 12, kInputQueryEditId);
  box.Item(kButtonAtom, BS_DEFPUSHBUTTON | WS_TABSTOP, 90, 42, 50, 14, IDOK);
  box.Item(kButtonAtom, BS_PUSHBUTTON | WS_TABSTOP, 143, 42, 50, 14, IDCANCEL);
  std::string entered = value;
  InputBoxText text{caption, prompt, entered};
  INT_PTR result = DialogBoxIndirectParamA(GetModuleHandleA(nullptr), box.Template(), GetActiveWindow(),
                                           InputBoxProc, reinterpret_cast<LPARAM>(&text));
  if (result != IDOK) return false;
  value = entered;
  return true;
}

}  // namespace install
