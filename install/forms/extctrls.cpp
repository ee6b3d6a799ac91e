#include "extctrls.h"

#include <algorithm>

#ifdef _WIN32
#include <commctrl.h>
#endif

namespace forms {

namespace {
constexpr int kEditChange = 0x0300;     // EN_CHANGE
constexpr int kListSelChange = 1;       // LBN_SELCHANGE
constexpr int kRadioButtonHeight = 20;  // one item row of a radio group
}  // namespace

const ClassInfo& TEdit::StaticClass() {
  static const ClassInfo info{"TEdit", &TWinControl::StaticClass(),
                              [](TComponent* owner) -> TComponent* { return New<TEdit>(owner); }};
  return info;
}

void TEdit::Command(int code) {
  if (code == kEditChange) Change();
}

void TEdit::Change() { Fire(on_change_, this); }

std::string TEdit::Text() {
#ifdef _WIN32
  if (HandleAllocated()) {
    std::string text(static_cast<size_t>(GetWindowTextLengthA(Handle())) + 1, '\0');
    text.resize(static_cast<size_t>(GetWindowTextA(Handle(), text.data(), static_cast<int>(text.size()))));
    return text;
  }
#endif
  return Caption();
}

const ClassInfo& TListBox::StaticClass() {
  static const ClassInfo info{"TListBox", &TWinControl::StaticClass(),
                              [](TComponent* owner) -> TComponent* { return New<TListBox>(owner); },
                              {BoolProp<TListBox>("Sorted", &TListBox::Sorted, &TListBox::SetSorted, false)}};
  return info;
}

void TListBox::AddItem(const std::string& item) {
  int index = items_.Count();
  if (sorted_) {
    index = 0;
    while (index < items_.Count() && UpperCase(items_[index]) <= UpperCase(item)) ++index;
  }
  items_.Insert(index, item);
  FORMS_WINDOW(if (HandleAllocated())
                   SendMessageA(Handle(), LB_INSERTSTRING, index, reinterpret_cast<LPARAM>(item.c_str())));
}

void TListBox::ClearItems() {
  items_.Clear();
  item_index_ = -1;
  FORMS_WINDOW(if (HandleAllocated()) SendMessageA(Handle(), LB_RESETCONTENT, 0, 0));
}

void TListBox::SetItemIndex(int32_t index) {
  item_index_ = index >= 0 && index < items_.Count() ? index : -1;
  FORMS_WINDOW(if (HandleAllocated()) SendMessageA(Handle(), LB_SETCURSEL, item_index_, 0));
}

void TListBox::Command(int code) {
  if (code != kListSelChange) return;
  FORMS_WINDOW(item_index_ = static_cast<int32_t>(SendMessageA(Handle(), LB_GETCURSEL, 0, 0)));
  Click();
}

const ClassInfo& TGroupBox::StaticClass() {
  static const ClassInfo info{"TGroupBox", &TWinControl::StaticClass(),
                              [](TComponent* owner) -> TComponent* { return New<TGroupBox>(owner); }};
  return info;
}

// One item of a radio group: selecting it selects the item in the group.
class TGroupRadioButton : public TControl {
public:
  TGroupRadioButton(TRadioGroup& group, int index) : group_(group), index_(index) {}
  void Click() override { group_.SetItemIndex(index_); }
#ifdef _WIN32
  void SetChecked(bool checked) {
    if (HandleAllocated()) SendMessageA(Handle(), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  }

protected:
  const char* WindowClassName() const override { return "BUTTON"; }
  DWORD WindowStyle() const override { return BS_RADIOBUTTON | WS_TABSTOP; }
  void HandleCreated() override { SetChecked(group_.ItemIndex() == index_); }
#endif

private:
  TRadioGroup& group_;
  int index_;
};

const ClassInfo& TRadioGroup::StaticClass() {
  static const ClassInfo info{"TRadioGroup", &TGroupBox::StaticClass(),
                              [](TComponent* owner) -> TComponent* { return New<TRadioGroup>(owner); },
                              {IntProp<TRadioGroup>("ItemIndex", &TRadioGroup::ItemIndex, &TRadioGroup::SetItemIndex, -1)}};
  return info;
}

void TRadioGroup::SetItems(const TStringList& items) {
  while (ControlCount() > 0) Free(Controls(ControlCount() - 1));
  items_.Assign(items);
  for (int i = 0; i < items_.Count(); ++i) {
    auto* button = New<TGroupRadioButton>(this, *this, i);
    button->SetCaption(items_[i]);
    button->SetBounds(8, 16 + i * kRadioButtonHeight, std::max(Width() - 16, 0), kRadioButtonHeight);
    button->SetParent(this);
  }
  if (item_index_ >= items_.Count()) item_index_ = -1;
}

void TRadioGroup::SetItemIndex(int32_t index) {
  item_index_ = index >= 0 && index < items_.Count() ? index : -1;
#ifdef _WIN32
  for (int i = 0; i < ControlCount(); ++i)
    if (auto* button = dynamic_cast<TGroupRadioButton*>(Controls(i))) button->SetChecked(i == item_index_);
#endif
  Click();
}

TControl* TRadioGroup::ItemButton(int index) const { return Controls(index); }

const ClassInfo& TProgressBar::StaticClass() {
  static const ClassInfo info{"TProgressBar", &TWinControl::StaticClass(),
                              [](TComponent* owner) -> TComponent* { return New<TProgressBar>(owner); }};
  return info;
}

void TProgressBar::SetRange(int32_t min, int32_t max) {
  min_ = min;
  max_ = std::max(min, max);
  SetPosition(position_);
  FORMS_WINDOW(if (HandleAllocated()) SendMessageA(Handle(), PBM_SETRANGE32, min_, max_));
}

void TProgressBar::SetPosition(int32_t position) {
  position_ = std::clamp(position, min_, max_);
  FORMS_WINDOW(if (HandleAllocated()) SendMessageA(Handle(), PBM_SETPOS, position_, 0));
}

const ClassInfo& TPanel::StaticClass() {
  static const ClassInfo info{"TPanel", &TWinControl::StaticClass(),
                              [](TComponent* owner) -> TComponent* { return New<TPanel>(owner); },
                              {IntProp<TPanel>("BorderWidth", &TPanel::BorderWidth, &TPanel::SetBorderWidth, 0)}};
  return info;
}

void TPanel::SetBorderWidth(int32_t v) {
  border_width_ = std::max(v, 0);
  AlignControls();
}

void TPanel::AlignArea(int32_t& left, int32_t& top, int32_t& right, int32_t& bottom) const {
  TWinControl::AlignArea(left, top, right, bottom);
  left += border_width_;
  top += border_width_;
  right -= border_width_;
  bottom -= border_width_;
}

const ClassInfo& TBevel::StaticClass() {
  static const ClassInfo info{"TBevel", &TControl::StaticClass(),
                              [](TComponent* owner) -> TComponent* { return New<TBevel>(owner); }};
  return info;
}

const ClassInfo& TImage::StaticClass() {
  static const ClassInfo info{"TImage", &TControl::StaticClass(),
                              [](TComponent* owner) -> TComponent* { return New<TImage>(owner); },
                              {ObjectProp<TImage, TPicture>("Picture", &TImage::Picture),
                               BoolProp<TImage>("Center", &TImage::Center, &TImage::SetCenter, false)}};
  return info;
}

void TImage::Create(TComponent* owner) {
  TControl::Create(owner);
  FORMS_WINDOW(picture_.SetOnChange([this] { Invalidate(); }));
}

void TImage::SetCenter(bool v) {
  center_ = v;
  FORMS_WINDOW(Invalidate());
}

void TImage::PictureOrigin(int32_t& x, int32_t& y) const {
  x = y = 0;
  if (!center_) return;
  // A picture larger than the control shows its middle.
  x = (Width() - picture_.Width()) / 2;
  y = (Height() - picture_.Height()) / 2;
}

}  // namespace forms
