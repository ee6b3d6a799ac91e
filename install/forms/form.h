// TForm: a top-level window with a caption, bounds, a window state, a font
// and an OnActivate event. The properties and events are platform-free; on
// Windows (form_win32.cpp) each form is a real window whose activation
// fires OnActivate and whose property changes show at once.
#pragma once

#include <functional>

#include "controls.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace forms {

enum class TWindowState { wsNormal, wsMinimized, wsMaximized };
using TNotifyEvent = std::function<void(TComponent* sender)>;

class TForm : public TWinControl {
  FORMS_CLASS(TForm)
public:
  // A form stays hidden until it is shown.
  TForm() { TWinControl::SetVisible(false); }

  TWindowState WindowState() const { return window_state_; }
  void SetWindowState(TWindowState state);
  const TNotifyEvent& OnActivate() const { return on_activate_; }
  void SetOnActivate(TNotifyEvent handler) { on_activate_ = std::move(handler); }
  // The form became the active window.
  virtual void Activate();

  void SetCaption(const std::string& caption) override;
  void SetLeft(int32_t v) override;
  void SetTop(int32_t v) override;
  void SetWidth(int32_t v) override;
  void SetHeight(int32_t v) override;
  void SetVisible(bool visible) override;

#ifdef _WIN32
  void Destroy() override;
  void FontChanged() override;
  // The form's window, made on first use.
  HWND Handle();
  bool HandleAllocated() const { return handle_ != nullptr; }
  void Show() { SetVisible(true); }
  // Repaints the whole form now.
  void Refresh();
  LRESULT WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
#endif

private:
  void SetWindowStateValue(TWindowState state) { SetWindowState(state); }
  TWindowState window_state_ = TWindowState::wsNormal;
  TNotifyEvent on_activate_;
#ifdef _WIN32
  // Moves the window to the form's bounds when it exists.
  void UpdateBounds();
  // Shows or hides the window by Visible and WindowState when it exists.
  void UpdateShow();
  void DestroyHandle();
  HWND handle_ = nullptr;
  HFONT font_handle_ = nullptr;
#endif
};

}  // namespace forms
