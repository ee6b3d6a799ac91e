// The window side of TForm: a top-level window of our own class.
#include "application.h"
#include "form.h"

#include <algorithm>
#include <vector>

namespace forms {

namespace {

const char* const kFormWindowClass = "InstallForm";

}  // namespace

void TForm::CreateParams(TCreateParams&) {}

HWND TForm::CreateWindowHandle() {
  RegisterWindowClass(kFormWindowClass);
  TCreateParams params;
  CreateParams(params);
  bool child = (params.style & WS_CHILD) != 0;
  int32_t width = Width() > 0 || child ? Width() : CW_USEDEFAULT;
  int32_t height = Height() > 0 || child ? Height() : CW_USEDEFAULT;
  return CreateWindowExA(params.ex_style, kFormWindowClass, Caption().c_str(), params.style, Left(), Top(), width,
                         height, params.parent, nullptr, GetModuleHandleA(nullptr),
                         static_cast<TControl*>(this));
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

void TForm::GetClientSize(int32_t& width, int32_t& height) const {
  RECT client{};
  if (HandleAllocated()) {
    GetClientRect(const_cast<TForm*>(this)->Handle(), &client);
  } else {
    // Before the window exists: its size less the frame its styles give it.
    TCreateParams params;
    const_cast<TForm*>(this)->CreateParams(params);
    RECT frame{0, 0, 0, 0};
    AdjustWindowRectEx(&frame, params.style, FALSE, params.ex_style);
    client.right = Width() - (frame.right - frame.left);
    client.bottom = Height() - (frame.bottom - frame.top);
  }
  width = std::max<int32_t>(client.right, 0);
  height = std::max<int32_t>(client.bottom, 0);
}

LRESULT TForm::WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  LRESULT answer = 0;
  if (AnswerCommonMessage(message, wparam, lparam, answer)) return answer;
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
      AttachHandle(nullptr);
      break;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

}  // namespace forms
