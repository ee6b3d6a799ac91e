// TForm: a top-level window with a caption, bounds, a window state, a font
// and an OnActivate event. On Windows (form_win32.cpp) its activation fires
// OnActivate, closing the main form ends the application, and clicks on its
// controls reach their Click.
#pragma once

#include "controls.h"

namespace forms {

enum class TWindowState { wsNormal, wsMinimized, wsMaximized };

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
  // Shown, the form has its window.
  void SetVisible(bool visible) override;
  void Show() { SetVisible(true); }

#ifdef _WIN32
  LRESULT WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

protected:
  HWND CreateWindowHandle() override;
  int ShowCommand() const override;
#endif

private:
  void SetWindowStateValue(TWindowState state) { SetWindowState(state); }
  TWindowState window_state_ = TWindowState::wsNormal;
  TNotifyEvent on_activate_;
};

}  // namespace forms
