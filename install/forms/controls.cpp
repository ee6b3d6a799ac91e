#include "controls.h"

#include <algorithm>

namespace forms {

const ClassInfo& TFont::StaticClass() {
  static const ClassInfo info{"TFont", &TPersistent::StaticClass(), nullptr,
                              {StringProp<TFont>("Name", &TFont::Name, &TFont::SetName),
                               IntProp<TFont>("Size", &TFont::Size, &TFont::SetSize, 8),
                               IntProp<TFont>("Charset", &TFont::CharsetValue, &TFont::SetCharsetValue, 1),
                               BoolProp<TFont>("Bold", &TFont::Bold, &TFont::SetBold, false)}};
  return info;
}

void TFont::Assign(const TFont& other) {
  name_ = other.name_;
  size_ = other.size_;
  charset_ = other.charset_;
  bold_ = other.bold_;
}

bool TFont::operator==(const TFont& other) const {
  return name_ == other.name_ && size_ == other.size_ && charset_ == other.charset_ && bold_ == other.bold_;
}

const ClassInfo& TControl::StaticClass() {
  using C = TControl;
  static const ClassInfo info{"TControl", &TComponent::StaticClass(), nullptr,
                              {StringProp<C>("Caption", &C::Caption, &C::SetCaption),
                               BoolProp<C>("Visible", &C::Visible, &C::SetVisible, true),
                               IntProp<C>("Left", &C::Left, &C::SetLeft, 0),
                               IntProp<C>("Top", &C::Top, &C::SetTop, 0),
                               IntProp<C>("Width", &C::Width, &C::SetWidth, 0),
                               IntProp<C>("Height", &C::Height, &C::SetHeight, 0),
                               ObjectProp<C, TFont>("Font", &C::Font)}};
  return info;
}

void TControl::Destroy() {
  SetParent(nullptr);
  TComponent::Destroy();
}

void TControl::SetParentComponent(TComponent* parent) {
  if (auto* container = dynamic_cast<TWinControl*>(parent)) SetParent(container);
}

TComponent* TControl::GetParentComponent() const { return parent_; }

void TControl::SetParent(TWinControl* parent) {
  if (parent == parent_) return;
  if (parent_) {
    auto& siblings = parent_->controls_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
  }
  parent_ = parent;
  if (parent) parent->controls_.push_back(this);
}

const ClassInfo& TWinControl::StaticClass() {
  static const ClassInfo info{"TWinControl", &TControl::StaticClass()};
  return info;
}

void TWinControl::Destroy() {
  // Children owned elsewhere lose their parent, not their life.
  while (!controls_.empty()) controls_.back()->SetParent(nullptr);
  TControl::Destroy();
}

}  // namespace forms
