// Colours, pictures and icons of the form layer.
//
// A TColor is 0x00BBGGRR, or a system colour (the high bit set and the
// system's colour index below): such a colour follows the user's scheme.
//
// A TPicture holds a bitmap as the bytes of a BMP file: uncompressed, 1, 4,
// 8, 16, 24 or 32 bits a pixel, bottom-up or top-down. It comes from the
// stored stream (its Data, written there as binary data) or from a bitmap
// resource of the program (its ResourceName). A TIcon holds the bytes of
// an ICO file. Both check what they are given and refuse anything else
// with EInvalidGraphic, saying what is wrong; they never keep bytes they
// could not read.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "classes.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace forms {

using TColor = int32_t;
constexpr TColor clBlack = 0x000000, clWhite = 0xFFFFFF, clGray = 0x808080;
constexpr TColor clWindow = static_cast<TColor>(0x80000005);
constexpr TColor clWindowText = static_cast<TColor>(0x80000008);
constexpr TColor clBtnFace = static_cast<TColor>(0x8000000F);
constexpr TColor clBtnShadow = static_cast<TColor>(0x80000010);
constexpr TColor clBtnHighlight = static_cast<TColor>(0x80000014);

#ifdef _WIN32
// The colour as the screen shows it now.
COLORREF ColorToRGB(TColor color);
// A solid brush of the colour, kept for the program's life.
HBRUSH BrushOf(TColor color);
#endif

class EInvalidGraphic : public Exception {
  using Exception::Exception;
};

// What the headers of a BMP file say, once checked against its size.
struct TBitmapLayout {
  int32_t width = 0;
  int32_t height = 0;  // rows, positive whichever way they are stored
  bool top_down = false;
  uint16_t bit_count = 0;
  uint32_t info_offset = 14;  // where the bitmap information (header and colours) starts
  uint32_t bits_offset = 0;   // where the pixel rows start
  uint32_t stride = 0;        // bytes a row, padded to four
};

// Checks the bytes of a BMP file; raises EInvalidGraphic naming the fault.
TBitmapLayout ReadBitmapLayout(const std::string& file);
// A bitmap as a program's resource holds it (information and rows, no file
// header) made into a BMP file; raises EInvalidGraphic when it is none.
std::string BitmapFileFromDib(const std::string& dib);
// The bitmap resource of the program (of the module that holds this code);
// false when there is none of that name.
bool FindBitmapResource(const std::string& name, std::string& dib);

class TPicture : public TPersistent {
  FORMS_CLASS(TPicture)
public:
  TPicture() = default;
  TPicture(const TPicture&) = delete;
  TPicture& operator=(const TPicture&) = delete;

  bool Empty() const { return data_.empty(); }
  int32_t Width() const { return layout_.width; }
  int32_t Height() const { return layout_.height; }
  // The BMP file; empty for no picture.
  const std::string& Data() const { return data_; }
  // Takes a BMP file (empty clears the picture).
  void SetData(const std::string& data);
  // The bitmap resource the picture was loaded from; empty when it came
  // from anywhere else.
  const std::string& ResourceName() const { return resource_name_; }
  // Loads the program's bitmap resource; raises EInvalidGraphic when there
  // is none of that name (an empty name clears the picture).
  void SetResourceName(const std::string& name);
  // The same, answering false (the picture unchanged) without the resource.
  bool LoadFromResourceName(const std::string& name);
  void Assign(const TPicture& source);
  void Clear();
  // Called after every change.
  void SetOnChange(std::function<void()> handler) { on_change_ = std::move(handler); }

#ifdef _WIN32
  // Draws the picture at its own size with its top left corner at x, y.
  void Draw(HDC dc, int32_t x, int32_t y) const;
#endif

private:
  std::string ResourceNameValue() const { return resource_name_; }
  void Take(std::string data, const TBitmapLayout& layout, const std::string& resource_name);
  std::string data_;
  TBitmapLayout layout_;
  std::string resource_name_;
  std::function<void()> on_change_;
};

class TIcon : public TPersistent {
  FORMS_CLASS(TIcon)
public:
  TIcon() = default;
  TIcon(const TIcon&) = delete;
  TIcon& operator=(const TIcon&) = delete;

  bool Empty() const { return data_.empty(); }
  // The size of the icon's first image.
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  // The ICO file; empty for no icon.
  const std::string& Data() const { return data_; }
  // Takes an ICO file (empty clears the icon).
  void SetData(const std::string& data);
  void Assign(const TIcon& source) { SetData(source.data_); }

private:
  std::string data_;
  int32_t width_ = 0;
  int32_t height_ = 0;
};

}  // namespace forms
