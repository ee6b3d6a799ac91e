// The window side of TForm: a top-level window of our own class.
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

HWND TForm::CreateWindowHandle() {
  RegisterFormWindowClass();
  return CreateWindowExA(0, kFormWindowClass, Caption().c_str(), WS_OVERLAPPEDWINDOW, Left(), Top(),
                         Width() > 0 ? Width() : CW_USEDEFAULT, Height() > 0 ? Height() : CW_USEDEFAULT,
                         nullptr, nullptr, GetModuleHandleA(nullptr), this);
}

int TForm::ShowCommand() const {
  if (!Visible()) return SW_HIDE;
  switch (window_state_) {
    case TWindowState::wsMaximized: return SW_SHOWMAXIMIZED;
    case TWindowState::wsMinimized: return SW_SHOWMINIMIZED;
    default: return SW_SHOWNORMAL;
  }
}

LRESULT TForm::WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_NCCREATE:
      AttachHandle(window);  // before CreateWindowExA returns it
      break;
    case WM_ACTIVATE:
      if (LOWORD(wparam) != WA_INACTIVE) Activate();
      return 0;
    case WM_COMMAND:
      if (HIWORD(wparam) == BN_CLICKED)
        if (TControl* control = ControlOfWindow(reinterpret_cast<HWND>(lparam))) control->Click();
      return 0;
    case WM_CLOSE:
      if (Application() && Application()->MainForm() == this) Application()->Terminate();
      SetVisible(false);
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrA(window, GWLP_USERDATA, 0);
      AttachHandle(nullptr);
      break;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

}  // namespace forms
