#include "form.h"

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

void TForm::Activate() { Fire(on_activate_, this); }

void TForm::SetWindowState(TWindowState state) {
  window_state_ = state;
  SetVisible(Visible());
}

void TForm::SetVisible(bool visible) {
#ifdef _WIN32
  if (visible) Handle();
#endif
  TWinControl::SetVisible(visible);
}

}  // namespace forms
