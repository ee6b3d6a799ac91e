// The further standard controls the setup wizard's pages carry: an edit
// box, a sorted or unsorted list box, a group box, a radio group, a
// progress bar, panels, an etched line and a picture. As with the other
// controls, the values live here on every platform; on Windows
// (extctrls_win32.cpp) each is a window (of the system's class, or of the
// layer's own for those that draw themselves) and every change shows at
// once.
#pragma once

#include <cstdint>
#include <string>

#include "controls.h"
#include "graphics.h"
#include "stdctrls.h"
#include "stringlist.h"

namespace forms {

// A one-line edit box; its text is its Caption. OnChange fires after every
// change of the text, by the user or by SetCaption.
class TEdit : public TWinControl {
  FORMS_CLASS(TEdit)
public:
  void SetOnChange(TNotifyEvent handler) { on_change_ = std::move(handler); }
  // The text as the user sees it now.
  std::string Text();
  void Command(int code) override;
  // The text changed: fires OnChange.
  virtual void Change();

private:
  TNotifyEvent on_change_;
#ifdef _WIN32
protected:
  const char* WindowClassName() const override { return "EDIT"; }
  DWORD WindowStyle() const override { return WS_BORDER | ES_AUTOHSCROLL | WS_TABSTOP; }
#endif
};

// A list of lines of which the user selects one (ItemIndex, -1 for none);
// selecting fires OnClick. A sorted list keeps its lines in alphabetical
// order, ignoring case.
class TListBox : public TWinControl {
  FORMS_CLASS(TListBox)
public:
  const TStringList& Items() const { return items_; }
  void AddItem(const std::string& item);
  void ClearItems();
  int32_t ItemIndex() const { return item_index_; }
  void SetItemIndex(int32_t index);
  bool Sorted() const { return sorted_; }
  void SetSorted(bool v) { sorted_ = v; }
  void Command(int code) override;

private:
  TStringList items_;
  int32_t item_index_ = -1;
  bool sorted_ = false;
#ifdef _WIN32
protected:
  const char* WindowClassName() const override { return "LISTBOX"; }
  DWORD WindowStyle() const override { return WS_BORDER | WS_VSCROLL | LBS_NOTIFY | WS_TABSTOP; }
  void HandleCreated() override;
#endif
};

// A framed box with a caption around other controls; the notifications of
// the controls inside reach the form as if they sat on it.
class TGroupBox : public TWinControl {
  FORMS_CLASS(TGroupBox)
#ifdef _WIN32
protected:
  const char* WindowClassName() const override { return "BUTTON"; }
  DWORD WindowStyle() const override { return BS_GROUPBOX; }
  void HandleCreated() override;
#endif
};

// A group box with one radio button per item, stacked from the top; the
// selected item is ItemIndex (-1 for none). Selecting an item, by the user
// or by SetItemIndex, fires OnClick.
class TRadioGroup : public TGroupBox {
  FORMS_CLASS(TRadioGroup)
public:
  const TStringList& Items() const { return items_; }
  void SetItems(const TStringList& items);
  int32_t ItemIndex() const { return item_index_; }
  void SetItemIndex(int32_t index);
  // The radio button that shows the item.
  TControl* ItemButton(int index) const;

private:
  friend class TGroupRadioButton;
  TStringList items_;
  int32_t item_index_ = -1;
};

// A bar that fills from Min to Max as Position grows.
class TProgressBar : public TWinControl {
  FORMS_CLASS(TProgressBar)
public:
  int32_t Min() const { return min_; }
  int32_t Max() const { return max_; }
  void SetRange(int32_t min, int32_t max);
  int32_t Position() const { return position_; }
  // Kept inside Min..Max.
  void SetPosition(int32_t position);

private:
  int32_t min_ = 0, max_ = 100, position_ = 0;
#ifdef _WIN32
protected:
  HWND CreateWindowHandle() override;
  const char* WindowClassName() const override;
  DWORD WindowStyle() const override { return 0; }
#endif
};

// A plain area that holds and lays out other controls, in its colour. Its
// aligned controls keep BorderWidth pixels from its edges.
class TPanel : public TWinControl {
  FORMS_CLASS(TPanel)
public:
  int32_t BorderWidth() const { return border_width_; }
  void SetBorderWidth(int32_t v);

protected:
  void AlignArea(int32_t& left, int32_t& top, int32_t& right, int32_t& bottom) const override;
#ifdef _WIN32
  HWND CreateWindowHandle() override { return CreatePaintedWindow(); }
#endif

private:
  int32_t border_width_ = 0;
};

// An etched line along the top edge of its bounds, as between a page's
// texts and its buttons: a shadow line with a highlight line below it.
class TBevel : public TControl {
  FORMS_CLASS(TBevel)
#ifdef _WIN32
public:
  void Paint(HDC dc) override;

protected:
  HWND CreateWindowHandle() override { return CreatePaintedWindow(); }
#endif
};

// A picture on its colour: at the top left of the control, or with Center
// in its middle. It shows every change of the picture at once.
class TImage : public TControl {
  FORMS_CLASS(TImage)
public:
  void Create(TComponent* owner) override;
  TPicture& Picture() { return picture_; }
  void SetPicture(const TPicture& picture) { picture_.Assign(picture); }
  bool Center() const { return center_; }
  void SetCenter(bool v);
  // Where the picture's top left corner lies in the control.
  void PictureOrigin(int32_t& x, int32_t& y) const;
#ifdef _WIN32
  void Paint(HDC dc) override;

protected:
  HWND CreateWindowHandle() override { return CreatePaintedWindow(); }
#endif

private:
  TPicture picture_;
  bool center_ = false;
};

}  // namespace forms
