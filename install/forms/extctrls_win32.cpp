// The window side of the further controls.
#include "extctrls.h"

#include <commctrl.h>

namespace forms {

namespace {

const char* const kOriginalProc = "InstallFormsOriginalProc";

// A group box's window passes its children's notifications on to its own
// parent, so that they reach the form that dispatches them.
LRESULT CALLBACK ForwardingProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  auto original = reinterpret_cast<WNDPROC>(GetPropA(window, kOriginalProc));
  // The colours of the buttons inside come from the window that knows them.
  if (message == WM_COMMAND || message == WM_CTLCOLORSTATIC || message == WM_CTLCOLORBTN)
    return SendMessageA(GetParent(window), message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    RemovePropA(window, kOriginalProc);
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
  }
  return CallWindowProcA(original, window, message, wparam, lparam);
}

}  // namespace

void TListBox::HandleCreated() {
  TWinControl::HandleCreated();
  for (const std::string& item : items_.Lines())
    SendMessageA(Handle(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
  SendMessageA(Handle(), LB_SETCURSEL, item_index_, 0);
}

void TGroupBox::HandleCreated() {
  HWND window = Handle();
  SetPropA(window, kOriginalProc, reinterpret_cast<HANDLE>(GetWindowLongPtrA(window, GWLP_WNDPROC)));
  SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ForwardingProc));
  TWinControl::HandleCreated();
}

const char* TProgressBar::WindowClassName() const { return PROGRESS_CLASSA; }

HWND TProgressBar::CreateWindowHandle() {
  static bool registered = false;
  if (!registered) {
    INITCOMMONCONTROLSEX classes{sizeof classes, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&classes);
    registered = true;
  }
  HWND window = TWinControl::CreateWindowHandle();
  if (window) {
    SendMessageA(window, PBM_SETRANGE32, min_, max_);
    SendMessageA(window, PBM_SETPOS, position_, 0);
  }
  return window;
}

void TBevel::Paint(HDC dc) {
  RECT line{0, 0, Width(), 1};
  FillRect(dc, &line, BrushOf(clBtnShadow));
  line = {0, 1, Width(), 2};
  FillRect(dc, &line, BrushOf(clBtnHighlight));
}

void TImage::Paint(HDC dc) {
  int32_t x, y;
  PictureOrigin(x, y);
  picture_.Draw(dc, x, y);
}

}  // namespace forms
