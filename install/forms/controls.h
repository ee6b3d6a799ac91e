// Controls: components with a parent control, a font, a caption, bounds and
// visibility. A TWinControl holds child controls. This is the data side; the
// window side (form.h) shows them as real windows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "classes.h"
#include "font.h"

namespace forms {

class TWinControl;

class TControl : public TComponent {
  FORMS_CLASS(TControl)
public:
  void Destroy() override;
  // A nested stream object inside a TWinControl becomes its child.
  void SetParentComponent(TComponent* parent) override;
  TComponent* GetParentComponent() const override;

  TWinControl* Parent() const { return parent_; }
  virtual void SetParent(TWinControl* parent);
  TFont& Font() { return font_; }
  void SetFont(const TFont& font) {
    font_.Assign(font);
    FontChanged();
  }
  std::string Caption() const { return caption_; }
  virtual void SetCaption(const std::string& caption) { caption_ = caption; }
  bool Visible() const { return visible_; }
  virtual void SetVisible(bool visible) { visible_ = visible; }
  int32_t Left() const { return left_; }
  virtual void SetLeft(int32_t v) { left_ = v; }
  int32_t Top() const { return top_; }
  virtual void SetTop(int32_t v) { top_ = v; }
  int32_t Width() const { return width_; }
  virtual void SetWidth(int32_t v) { width_ = v; }
  int32_t Height() const { return height_; }
  virtual void SetHeight(int32_t v) { height_ = v; }
  // The font was changed in place: the window side shows it anew.
  virtual void FontChanged() {}

private:
  TWinControl* parent_ = nullptr;
  TFont font_;
  std::string caption_;
  bool visible_ = true;
  int32_t left_ = 0, top_ = 0, width_ = 0, height_ = 0;
};

class TWinControl : public TControl {
  FORMS_CLASS(TWinControl)
public:
  void Destroy() override;
  int ControlCount() const { return static_cast<int>(controls_.size()); }
  TControl* Controls(int index) const { return controls_.at(static_cast<size_t>(index)); }

private:
  friend class TControl;
  std::vector<TControl*> controls_;
};

}  // namespace forms
