// Controls: components with a parent control, a font, a caption, bounds,
// visibility, a colour and a click event. A TWinControl holds child
// controls and lays out those that are aligned to one of its sides or to
// the whole of it. The values are platform-free; on Windows
// (controls_win32.cpp) each control is a real window, made when it is first
// needed, and every change shows at once.
//
// A control takes its parent's colour until it is given one of its own
// (ParentColor). The windows of the layer's own classes paint their
// background in their colour, hand the colour of each system control
// inside them to that control (WM_CTLCOLOR...), pass the notifications of
// the controls inside them on to their parent window, and show the
// screen's cursor (see screen.h) while it is set.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "classes.h"
#include "font.h"
#include "graphics.h"

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
// Registers a window class of the layer's own (once; with the arrow as its
// cursor and no background brush: each window paints its own). Its windows
// hand every message to WindowProc of the control they were made for.
void RegisterWindowClass(const char* name);
#endif
using TNotifyEvent = std::function<void(TComponent* sender)>;

// Where a control sits in its parent: where its bounds say, or along one
// side (taking the whole width or height that is left), or in all that is
// left. The parent places its aligned controls in their order among its
// children: first those at the top, then at the bottom, left, right, and
// the one that fills the rest.
enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

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
  TAlign Align() const { return align_; }
  void SetAlign(TAlign align);
  // The colour the control shows: its own, or its parent's.
  TColor Color() const;
  // An own colour: ParentColor goes off.
  void SetColor(TColor color);
  bool ParentColor() const { return parent_color_; }
  void SetParentColor(bool v);
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
  // The answer of a window of the layer's own classes to the messages they
  // all answer alike (see above); false for any other message.
  bool AnswerCommonMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result);
  // The messages of a window of the layer's own classes: a control that
  // draws itself paints (Paint) and passes notifications on; a form
  // answers more.
  virtual LRESULT WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  // Paints a control that draws itself (see CreatePaintedWindow).
  virtual void Paint(HDC) {}
  // Paints the window anew.
  void Invalidate();

protected:
  // The window of a control that draws itself: of the layer's own class,
  // its background in the control's colour (none when it is transparent),
  // its picture from Paint.
  HWND CreatePaintedWindow(DWORD ex_style = 0);
  // Whether the window leaves what lies under it instead of a background.
  virtual bool Transparent() const { return false; }
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

protected:
  // The bounds changed: a container places its aligned controls again.
  virtual void Resized() {}

private:
  TWinControl* parent_ = nullptr;
  TFont font_;
  std::string caption_;
  bool visible_ = true;
  int32_t left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  TAlign align_ = TAlign::alNone;
  TColor color_ = clBtnFace;
  bool parent_color_ = true;
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
  // Places the aligned controls (see TAlign) in the area AlignArea leaves.
  void AlignControls();
  // The size of the inside of the control.
  virtual void GetClientSize(int32_t& width, int32_t& height) const;
#ifdef _WIN32
  TControl* ControlOfWindow(HWND window) override;
#endif

protected:
  // The area the aligned controls share: the inside, less any border.
  virtual void AlignArea(int32_t& left, int32_t& top, int32_t& right, int32_t& bottom) const;
  void Resized() override { AlignControls(); }
#ifdef _WIN32
  void HandleCreated() override;
#endif

private:
  friend class TControl;
  std::vector<TControl*> controls_;
};

}  // namespace forms
