// The window side of controls: each control is a window of a system class
// inside its parent's window, or of the layer's own class for a control
// that draws itself.
#include "controls.h"

#include "application.h"
#include "screen.h"

namespace forms {

namespace {

const char* const kPaintedWindowClass = "InstallPaintedControl";

// The control a window of the layer's own classes stands for: the one its
// creation was given (lpParam), kept with the window from WM_NCCREATE on.
TControl* WindowObject(HWND window, UINT message, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lparam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* object = reinterpret_cast<TControl*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  // The last message of the window: the object is not asked again.
  if (message == WM_NCDESTROY) SetWindowLongPtrA(window, GWLP_USERDATA, 0);
  return object;
}

LRESULT CALLBACK LayerWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  TControl* control = WindowObject(window, message, lparam);
  if (!control) return DefWindowProcA(window, message, wparam, lparam);
  LRESULT result = 0;
  // No exception may unwind through the system's frames.
  CallHandlingExceptions(control, [&] { result = control->WindowProc(window, message, wparam, lparam); });
  return result;
}

}  // namespace

void RegisterWindowClass(const char* name) {
  WNDCLASSA window_class{};
  if (GetClassInfoA(GetModuleHandleA(nullptr), name, &window_class)) return;
  window_class.lpfnWndProc = LayerWindowProc;
  window_class.hInstance = GetModuleHandleA(nullptr);
  window_class.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  // The windows paint their background in their own colour.
  window_class.hbrBackground = nullptr;
  window_class.lpszClassName = name;
  RegisterClassA(&window_class);
}

LRESULT TControl::WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  LRESULT result = 0;
  if (message == WM_PAINT) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    Paint(dc);
    EndPaint(window, &paint);
    return 0;
  }
  // The form dispatches the notifications of the controls inside.
  if (message == WM_COMMAND || message == WM_NOTIFY) return SendMessageA(GetParent(window), message, wparam, lparam);
  if (AnswerCommonMessage(message, wparam, lparam, result)) return result;
  return DefWindowProcA(window, message, wparam, lparam);
}

HWND TControl::CreatePaintedWindow(DWORD ex_style) {
  RegisterWindowClass(kPaintedWindowClass);
  if (!parent_) throw Exception(Format("Control %s has no parent window", {Name()}));
  DWORD style = WS_CHILD | WS_CLIPSIBLINGS | (visible_ ? WS_VISIBLE : 0);
  return CreateWindowExA(ex_style, kPaintedWindowClass, caption_.c_str(), style, left_, top_, width_, height_,
                         parent_->Handle(), nullptr, GetModuleHandleA(nullptr), this);
}

bool TControl::AnswerCommonMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  switch (message) {
    case WM_ERASEBKGND: {
      if (!Transparent()) {
        RECT client;
        GetClientRect(handle_, &client);
        FillRect(reinterpret_cast<HDC>(wparam), &client, BrushOf(Color()));
      }
      result = 1;
      return true;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      // A system control inside: its background in its colour.
      TControl* child = ControlOfWindow(reinterpret_cast<HWND>(lparam));
      TColor colour = child ? child->Color() : Color();
      auto dc = reinterpret_cast<HDC>(wparam);
      SetBkColor(dc, ColorToRGB(colour));
      if (child) SetTextColor(dc, ColorToRGB(child->Font().Color()));
      result = reinterpret_cast<LRESULT>(BrushOf(colour));
      return true;
    }
    case WM_SETCURSOR:
      if (!Screen().ShowCursorForWindow()) return false;
      result = TRUE;
      return true;
  }
  return false;
}

void TControl::Invalidate() {
  if (handle_) RedrawWindow(handle_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

HWND TControl::Handle() {
  // The parent's window first: making it makes the windows of its children,
  // this one among them.
  if (!handle_ && parent_) parent_->Handle();
  if (!handle_) {
    handle_ = CreateWindowHandle();
    if (!handle_) throw Exception(Format("Cannot create the window of %s", {Name()}));
    SetWindowFont();
    HandleCreated();
  }
  return handle_;
}

HWND TControl::CreateWindowHandle() {
  if (!parent_) throw Exception(Format("Control %s has no parent window", {Name()}));
  DWORD style = WS_CHILD | WindowStyle() | (visible_ ? WS_VISIBLE : 0);
  return CreateWindowExA(0, WindowClassName(), caption_.c_str(), style, left_, top_, width_, height_,
                         parent_->Handle(), nullptr, GetModuleHandleA(nullptr), nullptr);
}

void TControl::Refresh() {
  if (!handle_) return;
  InvalidateRect(handle_, nullptr, TRUE);
  UpdateWindow(handle_);
}

TControl* TControl::ControlOfWindow(HWND window) { return window && window == handle_ ? this : nullptr; }

LOGFONTA FontDescription(const TFont& font) {
  HDC screen = GetDC(nullptr);
  int pixels_per_inch = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  LOGFONTA description{};
  description.lfHeight = -MulDiv(font.Size(), pixels_per_inch, 72);
  description.lfWeight = font.Bold() ? FW_BOLD : FW_NORMAL;
  description.lfCharSet = font.Charset();
  lstrcpynA(description.lfFaceName, font.Name().c_str(), LF_FACESIZE);
  return description;
}

void TControl::SetWindowFont() {
  LOGFONTA description = FontDescription(font_);
  HFONT font = CreateFontIndirectA(&description);
  SendMessageA(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  if (font_handle_) DeleteObject(font_handle_);
  font_handle_ = font;
}

void TControl::DestroyHandle() {
  if (handle_) {
    HWND window = handle_;
    handle_ = nullptr;
    DestroyWindow(window);
  }
  if (font_handle_) DeleteObject(font_handle_);
  font_handle_ = nullptr;
}

void TWinControl::HandleCreated() {
  for (TControl* control : controls_) control->Handle();
}

TControl* TWinControl::ControlOfWindow(HWND window) {
  if (TControl* self = TControl::ControlOfWindow(window)) return self;
  for (TControl* control : controls_)
    if (TControl* found = control->ControlOfWindow(window)) return found;
  return nullptr;
}

}  // namespace forms
