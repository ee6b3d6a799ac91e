// The standard controls the installer's forms carry: a text label and a
// push button with a caption.
#pragma once

#include "controls.h"

namespace forms {

class TLabel : public TControl {
  FORMS_CLASS(TLabel)
public:
  // Whether the label fits its size to its text.
  bool AutoSize() const { return auto_size_; }
  void SetAutoSize(bool v) { auto_size_ = v; }

private:
  bool auto_size_ = true;
};

class TBitBtn : public TWinControl {
  FORMS_CLASS(TBitBtn)
#ifdef _WIN32
protected:
  const char* WindowClassName() const override { return "BUTTON"; }
  DWORD WindowStyle() const override { return BS_PUSHBUTTON | WS_TABSTOP; }
#endif
};

}  // namespace forms
