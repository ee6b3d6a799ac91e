// The window side of colours and pictures: system colours, brushes, the
// program's bitmap resources and drawing a picture.
#include "graphics.h"

#include <map>

namespace forms {

COLORREF ColorToRGB(TColor color) {
  if (color & 0x80000000) return GetSysColor(color & 0xFF);
  return static_cast<COLORREF>(color);
}

HBRUSH BrushOf(TColor color) {
  if (color & 0x80000000) return GetSysColorBrush(color & 0xFF);
  // A program uses a handful of colours: each brush is made once.
  static std::map<TColor, HBRUSH> brushes;
  HBRUSH& brush = brushes[color];
  if (!brush) brush = CreateSolidBrush(static_cast<COLORREF>(color));
  return brush;
}

bool FindBitmapResource(const std::string& name, std::string& dib) {
  HMODULE module = nullptr;
  // The module that holds this code: the program, or the library the form
  // layer runs in.
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&FindBitmapResource), &module);
  HRSRC resource = FindResourceA(module, name.c_str(), MAKEINTRESOURCEA(2));  // RT_BITMAP
  HGLOBAL loaded = resource ? LoadResource(module, resource) : nullptr;
  const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
  if (!bytes) return false;
  dib.assign(bytes, SizeofResource(module, resource));
  return true;
}

void TPicture::Draw(HDC dc, int32_t x, int32_t y) const {
  if (Empty()) return;
  const auto* info = reinterpret_cast<const BITMAPINFO*>(data_.data() + layout_.info_offset);
  StretchDIBits(dc, x, y, layout_.width, layout_.height, 0, 0, layout_.width, layout_.height,
                data_.data() + layout_.bits_offset, info, DIB_RGB_COLORS, SRCCOPY);
}

}  // namespace forms
