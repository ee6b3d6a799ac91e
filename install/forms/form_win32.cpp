// The window side of TForm: one top-level window per form.
#include "application.h"
#include "form.h"

namespace forms {

namespace {

const char* const kFormWindowClass = "InstallForm";

LRESULT CALLBACK FormWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lparam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* form = reinterpret_cast<TForm*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (!form) return DefWindowProcA(window, message, wparam, lparam);
  LRESULT result = 0;
  // No exception may unwind through the system's frames.
  CallHandlingExceptions(form, [&] { result = form->WindowProc(window, message, wparam, lparam); });
  return result;
}

void RegisterFormWindowClass() {
  static bool registered = false;
  if (registered) return;
  WNDCLASSA window_class{};
  window_class.lpfnWndProc = FormWindowProc;
  window_class.hInstance = GetModuleHandleA(nullptr);
  window_class.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window_class.lpszClassName = kFormWindowClass;
  RegisterClassA(&window_class);
  registered = true;
}

}  // namespace

HWND TForm::Handle() {
  if (handle_) return handle_;
  RegisterFormWindowClass();
  handle_ = CreateWindowExA(0, kFormWindowClass, Caption().c_str(), WS_OVERLAPPEDWINDOW, Left(), Top(),
                            Width() > 0 ? Width() : CW_USEDEFAULT, Height() > 0 ? Height() : CW_USEDEFAULT,
                            nullptr, nullptr, GetModuleHandleA(nullptr), this);
  if (!handle_) throw Exception(Format("Cannot create the window of %s", {Name()}));
  FontChanged();
  return handle_;
}

void TForm::Refresh() {
  if (!handle_) return;
  InvalidateRect(handle_, nullptr, TRUE);
  UpdateWindow(handle_);
}

LRESULT TForm::WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_NCCREATE:
      handle_ = window;  // before CreateWindowExA returns it
      break;
    case WM_ACTIVATE:
      if (LOWORD(wparam) != WA_INACTIVE) Activate();
      return 0;
    case WM_CLOSE:
      if (Application() && Application()->MainForm() == this) Application()->Terminate();
      SetVisible(false);
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrA(window, GWLP_USERDATA, 0);
      handle_ = nullptr;
      break;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

void TForm::UpdateBounds() {
  if (handle_) MoveWindow(handle_, Left(), Top(), Width(), Height(), TRUE);
}

void TForm::UpdateShow() {
  if (!handle_ && !Visible()) return;
  int show = SW_HIDE;
  if (Visible())
    show = window_state_ == TWindowState::wsMaximized   ? SW_SHOWMAXIMIZED
           : window_state_ == TWindowState::wsMinimized ? SW_SHOWMINIMIZED
                                                         : SW_SHOWNORMAL;
  ShowWindow(Handle(), show);
}

void TForm::FontChanged() {
  if (!handle_) return;
  HDC screen = GetDC(nullptr);
  int pixels_per_inch = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  LOGFONTA description{};
  description.lfHeight = -MulDiv(Font().Size(), pixels_per_inch, 72);
  description.lfWeight = Font().Bold() ? FW_BOLD : FW_NORMAL;
  description.lfCharSet = Font().Charset();
  lstrcpynA(description.lfFaceName, Font().Name().c_str(), LF_FACESIZE);
  HFONT font = CreateFontIndirectA(&description);
  SendMessageA(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  if (font_handle_) DeleteObject(font_handle_);
  font_handle_ = font;
}

void TForm::DestroyHandle() {
  if (handle_) DestroyWindow(handle_);
  handle_ = nullptr;
  if (font_handle_) DeleteObject(font_handle_);
  font_handle_ = nullptr;
}

void TForm::Destroy() {
  DestroyHandle();
  TWinControl::Destroy();
}

}  // namespace forms
