#include "stdctrls.h"

#include "form.h"

namespace forms {

const ClassInfo& TLabel::StaticClass() {
  static const ClassInfo info{"TLabel", &TControl::StaticClass(),
                              [](TComponent* owner) -> TComponent* { return New<TLabel>(owner); },
                              {BoolProp<TLabel>("AutoSize", &TLabel::AutoSize, &TLabel::SetAutoSize, true)}};
  return info;
}

const ClassInfo& TBitBtn::StaticClass() {
  static const ClassInfo info{"TBitBtn", &TWinControl::StaticClass(),
                              [](TComponent* owner) -> TComponent* { return New<TBitBtn>(owner); },
                              {IntProp<TBitBtn>("ModalResult", &TBitBtn::ModalResult, &TBitBtn::SetModalResult, 0)}};
  return info;
}

void TBitBtn::Click() {
  // The form the button is on ends its modal run with the button's result.
  TWinControl* form = Parent();
  while (form && !dynamic_cast<TForm*>(form)) form = form->Parent();
  if (form && modal_result_ != 0) static_cast<TForm*>(form)->SetModalResult(modal_result_);
  TWinControl::Click();
}

}  // namespace forms
