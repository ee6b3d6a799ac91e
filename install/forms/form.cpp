#include "form.h"

// Without windows (the native build) a form keeps its values; on Windows
// each change also reaches the window (form_win32.cpp).
#ifdef _WIN32
#define FORMS_WINDOW(call) call
#else
#define FORMS_WINDOW(call)
#endif

namespace forms {

const ClassInfo& TForm::StaticClass() {
  static const ClassInfo info{
      "TForm", &TWinControl::StaticClass(), nullptr,
      {EnumProp<TForm, TWindowState>("WindowState", {"wsNormal", "wsMinimized", "wsMaximized"},
                                     &TForm::WindowState, &TForm::SetWindowStateValue,
                                     TWindowState::wsNormal),
       EventProp<TForm, void(TComponent*)>("OnActivate", &TForm::SetOnActivate)}};
  return info;
}

void TForm::Activate() {
  if (on_activate_) on_activate_(this);
}

void TForm::SetWindowState(TWindowState state) {
  window_state_ = state;
  FORMS_WINDOW(UpdateShow());
}

void TForm::SetCaption(const std::string& caption) {
  TWinControl::SetCaption(caption);
  FORMS_WINDOW(if (handle_) SetWindowTextA(handle_, caption.c_str()));
}

void TForm::SetLeft(int32_t v) {
  TWinControl::SetLeft(v);
  FORMS_WINDOW(UpdateBounds());
}

void TForm::SetTop(int32_t v) {
  TWinControl::SetTop(v);
  FORMS_WINDOW(UpdateBounds());
}

void TForm::SetWidth(int32_t v) {
  TWinControl::SetWidth(v);
  FORMS_WINDOW(UpdateBounds());
}

void TForm::SetHeight(int32_t v) {
  TWinControl::SetHeight(v);
  FORMS_WINDOW(UpdateBounds());
}

void TForm::SetVisible(bool visible) {
  TWinControl::SetVisible(visible);
  FORMS_WINDOW(UpdateShow());
}

}  // namespace forms
