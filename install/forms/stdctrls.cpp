#include "stdctrls.h"

namespace forms {

const ClassInfo& TLabel::StaticClass() {
  static const ClassInfo info{"TLabel", &TControl::StaticClass(),
                              [](TComponent* owner) -> TComponent* { return New<TLabel>(owner); },
                              {BoolProp<TLabel>("AutoSize", &TLabel::AutoSize, &TLabel::SetAutoSize, true)}};
  return info;
}

const ClassInfo& TBitBtn::StaticClass() {
  static const ClassInfo info{"TBitBtn", &TWinControl::StaticClass(),
                              [](TComponent* owner) -> TComponent* { return New<TBitBtn>(owner); }};
  return info;
}

}  // namespace forms
