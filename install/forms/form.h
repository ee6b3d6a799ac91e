// TForm: a top-level window with a caption, bounds, a window state, a font
// and an OnActivate event. On Windows (form_win32.cpp) its activation fires
// OnActivate, closing the main form ends the application, and clicks on its
// controls reach their Click.
#pragma once

#include "controls.h"

namespace forms {

enum class TWindowState { wsNormal, wsMinimized, wsMaximized };

// The result of a modal form: mrNone while it is open.
using TModalResult = int32_t;
constexpr TModalResult mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5, mrYes = 6,
                       mrNo = 7;

class TForm : public TWinControl {
  FORMS_CLASS(TForm)
public:
  // A form stays hidden until it is shown; its colour is its own.
  TForm() {
    TWinControl::SetVisible(false);
    SetParentColor(false);
  }

  TWindowState WindowState() const { return window_state_; }
  void SetWindowState(TWindowState state);
  const TNotifyEvent& OnActivate() const { return on_activate_; }
  void SetOnActivate(TNotifyEvent handler) { on_activate_ = std::move(handler); }
  // The form became the active window.
  virtual void Activate();
  // Shown, the form has its window.
  void SetVisible(bool visible) override;
  void Show() { SetVisible(true); }
  TModalResult ModalResult() const { return modal_result_; }
  void SetModalResult(TModalResult result) { modal_result_ = result; }
#ifdef _WIN32
  // Shows the form with the application's other windows disabled and
  // handles messages until ModalResult is set (closing the form sets
  // mrCancel); exceptions in its events reach the application's handler.
  TModalResult ShowModal();
#endif

  // Whether the form may close now (the user or the system asked); the
  // base always agrees.
  virtual bool CloseQuery() { return true; }

#ifdef _WIN32
  LRESULT WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) override;
  // Sets the form's size so that its client area is width x height.
  void SetClientSize(int32_t width, int32_t height);
  void GetClientSize(int32_t& width, int32_t& height) const override;

protected:
  // How the form's window is made: its styles and, for a form shown inside
  // another window, that parent window.
  struct TCreateParams {
    DWORD style = WS_OVERLAPPEDWINDOW;
    DWORD ex_style = 0;
    HWND parent = nullptr;
  };
  virtual void CreateParams(TCreateParams& params);
  HWND CreateWindowHandle() override;
  int ShowCommand() const override;
#endif

private:
  void SetWindowStateValue(TWindowState state) { SetWindowState(state); }
  TWindowState window_state_ = TWindowState::wsNormal;
  TNotifyEvent on_activate_;
  TModalResult modal_result_ = mrNone;
  bool modal_ = false;
};

}  // namespace forms
