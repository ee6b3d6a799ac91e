// The window side of TForm: a top-level window of our own class.
#include "application.h"
#include "form.h"

#include <vector>

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

void TForm::CreateParams(TCreateParams&) {}

HWND TForm::CreateWindowHandle() {
  RegisterFormWindowClass();
  TCreateParams params;
  CreateParams(params);
  bool child = (params.style & WS_CHILD) != 0;
  int32_t width = Width() > 0 || child ? Width() : CW_USEDEFAULT;
  int32_t height = Height() > 0 || child ? Height() : CW_USEDEFAULT;
  return CreateWindowExA(params.ex_style, kFormWindowClass, Caption().c_str(), params.style, Left(), Top(), width,
                         height, params.parent, nullptr, GetModuleHandleA(nullptr), this);
}

void TForm::SetClientSize(int32_t width, int32_t height) {
  TCreateParams params;
  CreateParams(params);
  RECT bounds{0, 0, width, height};
  AdjustWindowRectEx(&bounds, params.style, FALSE, params.ex_style);
  SetBounds(Left(), Top(), bounds.right - bounds.left, bounds.bottom - bounds.top);
}

int TForm::ShowCommand() const {
  if (!Visible()) return SW_HIDE;
  switch (window_state_) {
    case TWindowState::wsMaximized: return SW_SHOWMAXIMIZED;
    case TWindowState::wsMinimized: return SW_SHOWMINIMIZED;
    default: return SW_SHOWNORMAL;
  }
}

namespace {

BOOL CALLBACK CollectEnabledWindow(HWND window, LPARAM context) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process == GetCurrentProcessId() && IsWindowVisible(window) && IsWindowEnabled(window))
    reinterpret_cast<std::vector<HWND>*>(context)->push_back(window);
  return TRUE;
}

}  // namespace

TModalResult TForm::ShowModal() {
  std::vector<HWND> disabled;
  EnumWindows(CollectEnabledWindow, reinterpret_cast<LPARAM>(&disabled));
  for (HWND window : disabled) EnableWindow(window, FALSE);
  modal_result_ = mrNone;
  modal_ = true;
  struct Restore {
    TForm& form;
    std::vector<HWND>& disabled;
    ~Restore() {
      form.modal_ = false;
      for (HWND window : disabled) EnableWindow(window, TRUE);
      form.SetVisible(false);
    }
  } restore{*this, disabled};
  Show();
  Application()->HandleMessagesUntil([this] { return modal_result_ != mrNone; });
  return modal_result_;
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
      if (TControl* control = ControlOfWindow(reinterpret_cast<HWND>(lparam))) control->Command(HIWORD(wparam));
      return 0;
    case WM_CLOSE:
      if (!CloseQuery()) return 0;
      if (modal_) {
        modal_result_ = mrCancel;
        return 0;
      }
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
