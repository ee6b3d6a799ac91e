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

// A push button; one with a ModalResult ends its modal form with it.
class TBitBtn : public TWinControl {
  FORMS_CLASS(TBitBtn)
public:
  int32_t ModalResult() const { return modal_result_; }
  void SetModalResult(int32_t result) { modal_result_ = result; }
  void Click() override;

private:
  int32_t modal_result_ = 0;
#ifdef _WIN32
protected:
  const char* WindowClassName() const override { return "BUTTON"; }
  DWORD WindowStyle() const override { return BS_PUSHBUTTON | WS_TABSTOP; }
#endif
};

}  // namespace forms
