// Controls: components with a parent control, a font, a caption, bounds,
// visibility and a click event. A TWinControl holds child controls. The
// values are platform-free; on Windows (controls_win32.cpp) each control is
// a real window, made when it is first needed, and every change shows at
// once.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "classes.h"
#include "font.h"

#ifdef _WIN32
#include <windows.h>
#endif

// Without windows (the native build) a control keeps its values; on Windows
// each change also reaches the window when it exists: the control layer's
// sources wrap their window calls in this.
#ifdef _WIN32
#define FORMS_WINDOW(call) call
#else
#define FORMS_WINDOW(call)
#endif

namespace forms {

class TWinControl;
#ifdef _WIN32
// The system's description of a font on the screen.
LOGFONTA FontDescription(const TFont& font);
#endif
using TNotifyEvent = std::function<void(TComponent* sender)>;

class TControl : public TComponent {
  FORMS_CLASS(TControl)
public:
  void Destroy() override;
  // A nested stream object inside a TWinControl becomes its child.
  void SetParentComponent(TComponent* parent) override;
  TComponent* GetParentComponent() const override;

  TWinControl* Parent() const { return parent_; }
  void SetParent(TWinControl* parent);
  TFont& Font() { return font_; }
  void SetFont(const TFont& font) {
    font_.Assign(font);
    FontChanged();
  }
  // The font was changed in place: the window shows it anew.
  void FontChanged();
  std::string Caption() const { return caption_; }
  void SetCaption(const std::string& caption);
  bool Visible() const { return visible_; }
  virtual void SetVisible(bool visible);
  int32_t Left() const { return left_; }
  void SetLeft(int32_t v) { SetBounds(v, top_, width_, height_); }
  int32_t Top() const { return top_; }
  void SetTop(int32_t v) { SetBounds(left_, v, width_, height_); }
  int32_t Width() const { return width_; }
  void SetWidth(int32_t v) { SetBounds(left_, top_, v, height_); }
  int32_t Height() const { return height_; }
  void SetHeight(int32_t v) { SetBounds(left_, top_, width_, v); }
  void SetBounds(int32_t left, int32_t top, int32_t width, int32_t height);
  void SetOnClick(TNotifyEvent handler) { on_click_ = std::move(handler); }
  // The user clicked the control: fires OnClick.
  virtual void Click();
  // A notification the control's window sent its parent (WM_COMMAND's
  // code); the base turns a button click into Click.
  virtual void Command(int code);

#ifdef _WIN32
  // The control's window, made on first use (a child control's inside its
  // parent's window).
  HWND Handle();
  bool HandleAllocated() const { return handle_ != nullptr; }
  // Repaints the control now.
  void Refresh();
  // The control whose window is window: this one or one it holds.
  virtual TControl* ControlOfWindow(HWND window);

protected:
  // Makes the window; the base makes a child window of WindowClassName.
  virtual HWND CreateWindowHandle();
  virtual const char* WindowClassName() const { return "STATIC"; }
  virtual DWORD WindowStyle() const { return SS_LEFT; }
  // How ShowWindow shows the window now.
  virtual int ShowCommand() const { return visible_ ? SW_SHOWNORMAL : SW_HIDE; }
  // The window exists: a container makes its children's windows.
  virtual void HandleCreated() {}
  // A top-level window learns its handle while it is being made.
  void AttachHandle(HWND window) { handle_ = window; }
  void DestroyHandle();

private:
  // Gives the window the control's font.
  void SetWindowFont();
#endif

private:
  TWinControl* parent_ = nullptr;
  TFont font_;
  std::string caption_;
  bool visible_ = true;
  int32_t left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  TNotifyEvent on_click_;
#ifdef _WIN32
  HWND handle_ = nullptr;
  HFONT font_handle_ = nullptr;
#endif
};

class TWinControl : public TControl {
  FORMS_CLASS(TWinControl)
public:
  void Destroy() override;
  int ControlCount() const { return static_cast<int>(controls_.size()); }
  TControl* Controls(int index) const { return controls_.at(static_cast<size_t>(index)); }
#ifdef _WIN32
  TControl* ControlOfWindow(HWND window) override;

protected:
  void HandleCreated() override;
#endif

private:
  friend class TControl;
  std::vector<TControl*> controls_;
};

}  // namespace forms
