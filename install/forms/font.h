// TFont: the face, size, character set and colour of a control's texts. The window
// side turns it into a system font when a control is shown.
#pragma once

#include <cstdint>
#include <string>

#include "classes.h"

namespace forms {

class TFont : public TPersistent {
  FORMS_CLASS(TFont)
public:
  std::string Name() const { return name_; }
  void SetName(const std::string& v) { name_ = v; }
  int32_t Size() const { return size_; }
  void SetSize(int32_t v) { size_ = v; }
  uint8_t Charset() const { return charset_; }
  void SetCharset(uint8_t v) { charset_ = v; }
  bool Bold() const { return bold_; }
  void SetBold(bool v) { bold_ = v; }
  // The text colour, 0x00BBGGRR.
  int32_t Color() const { return color_; }
  void SetColor(int32_t v) { color_ = v; }
  void Assign(const TFont& other);
  bool operator==(const TFont& other) const;

private:
  int32_t CharsetValue() const { return charset_; }
  void SetCharsetValue(int32_t v) { charset_ = static_cast<uint8_t>(v); }
  std::string name_ = "MS Sans Serif";
  int32_t size_ = 8;
  uint8_t charset_ = 1;  // the system's default character set
  bool bold_ = false;
  int32_t color_ = 0;
};

}  // namespace forms
