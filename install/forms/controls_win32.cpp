// The window side of controls: each control is a window of a system class
// inside its parent's window.
#include "controls.h"

namespace forms {

HWND TControl::Handle() {
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
