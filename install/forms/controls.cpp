#include "controls.h"

#include <algorithm>

namespace forms {

const ClassInfo& TFont::StaticClass() {
  static const ClassInfo info{"TFont", &TPersistent::StaticClass(), nullptr,
                              {StringProp<TFont>("Name", &TFont::Name, &TFont::SetName),
                               IntProp<TFont>("Size", &TFont::Size, &TFont::SetSize, 8),
                               IntProp<TFont>("Charset", &TFont::CharsetValue, &TFont::SetCharsetValue, 1),
                               BoolProp<TFont>("Bold", &TFont::Bold, &TFont::SetBold, false),
                               IntProp<TFont>("Color", &TFont::Color, &TFont::SetColor, 0)}};
  return info;
}

void TFont::Assign(const TFont& other) {
  name_ = other.name_;
  size_ = other.size_;
  charset_ = other.charset_;
  bold_ = other.bold_;
  color_ = other.color_;
}

bool TFont::operator==(const TFont& other) const {
  return name_ == other.name_ && size_ == other.size_ && charset_ == other.charset_ && bold_ == other.bold_ &&
         color_ == other.color_;
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
                               ObjectProp<C, TFont>("Font", &C::Font),
                               EventProp<C, void(TComponent*)>("OnClick", &C::SetOnClick)}};
  return info;
}

void TControl::Destroy() {
  FORMS_WINDOW(DestroyHandle());
  SetParent(nullptr);
  TComponent::Destroy();
}

void TControl::SetParentComponent(TComponent* parent) {
  if (auto* container = dynamic_cast<TWinControl*>(parent)) SetParent(container);
}

TComponent* TControl::GetParentComponent() const { return parent_; }

void TControl::SetParent(TWinControl* parent) {
  if (parent == parent_) return;
  FORMS_WINDOW(DestroyHandle());
  if (parent_) {
    auto& siblings = parent_->controls_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
    if (align_ != TAlign::alNone) parent_->AlignControls();
  }
  parent_ = parent;
  if (!parent) return;
  parent->controls_.push_back(this);
  if (align_ != TAlign::alNone) parent->AlignControls();
  // Inside a window already shown, the child's window comes at once.
  FORMS_WINDOW(if (parent->HandleAllocated()) Handle());
}

void TControl::SetAlign(TAlign align) {
  align_ = align;
  if (parent_) parent_->AlignControls();
}

TColor TControl::Color() const { return parent_color_ && parent_ ? parent_->Color() : color_; }

void TControl::SetColor(TColor color) {
  color_ = color;
  parent_color_ = false;
  FORMS_WINDOW(Invalidate());
}

void TControl::SetParentColor(bool v) {
  parent_color_ = v;
  FORMS_WINDOW(Invalidate());
}

void TControl::SetCaption(const std::string& caption) {
  caption_ = caption;
  FORMS_WINDOW(if (handle_) SetWindowTextA(handle_, caption.c_str()));
}

void TControl::SetVisible(bool visible) {
  visible_ = visible;
  FORMS_WINDOW(if (handle_) ShowWindow(handle_, ShowCommand()));
}

void TControl::SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  FORMS_WINDOW(if (handle_) MoveWindow(handle_, left, top, width, height, TRUE));
  Resized();
}

void TControl::FontChanged() { FORMS_WINDOW(if (handle_) SetWindowFont()); }

void TControl::Click() { Fire(on_click_, this); }

void TControl::Command(int code) {
  if (code == 0) Click();  // BN_CLICKED
}

const ClassInfo& TWinControl::StaticClass() {
  static const ClassInfo info{"TWinControl", &TControl::StaticClass()};
  return info;
}

void TWinControl::GetClientSize(int32_t& width, int32_t& height) const {
  width = Width();
  height = Height();
}

void TWinControl::AlignArea(int32_t& left, int32_t& top, int32_t& right, int32_t& bottom) const {
  left = top = 0;
  GetClientSize(right, bottom);
}

void TWinControl::AlignControls() {
  int32_t left, top, right, bottom;
  AlignArea(left, top, right, bottom);
  for (TAlign side : {TAlign::alTop, TAlign::alBottom, TAlign::alLeft, TAlign::alRight, TAlign::alClient}) {
    for (TControl* control : controls_) {
      if (control->Align() != side) continue;
      const int32_t width = std::max(right - left, 0), height = std::max(bottom - top, 0);
      switch (side) {
        case TAlign::alTop:
          control->SetBounds(left, top, width, control->Height());
          top += control->Height();
          break;
        case TAlign::alBottom:
          control->SetBounds(left, bottom - control->Height(), width, control->Height());
          bottom -= control->Height();
          break;
        case TAlign::alLeft:
          control->SetBounds(left, top, control->Width(), height);
          left += control->Width();
          break;
        case TAlign::alRight:
          control->SetBounds(right - control->Width(), top, control->Width(), height);
          right -= control->Width();
          break;
        default:
          control->SetBounds(left, top, width, height);
          break;
      }
    }
  }
}

void TWinControl::Destroy() {
  // Children owned elsewhere lose their parent, not their life.
  while (!controls_.empty()) controls_.back()->SetParent(nullptr);
  TControl::Destroy();
}

}  // namespace forms
