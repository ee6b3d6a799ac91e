#include "screenshot.h"

#include <cstdio>

namespace screenshot {

Pixels Capture(HWND window) {
  Pixels shot;
  RECT bounds;
  if (!GetWindowRect(window, &bounds)) return shot;
  shot.width = bounds.right - bounds.left;
  shot.height = bounds.bottom - bounds.top;
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  const bool own = process == GetCurrentProcessId();
  HDC source = own ? GetWindowDC(window) : GetDC(nullptr);
  const int left = own ? 0 : bounds.left, top = own ? 0 : bounds.top;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = shot.width;
  info.bmiHeader.biHeight = -shot.height;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC memory = CreateCompatibleDC(source);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, shot.width, shot.height, source, left, top, SRCCOPY);
  GdiFlush();
  const auto* pixels = static_cast<const DWORD*>(bits);
  shot.rows.resize(static_cast<size_t>(shot.width) * shot.height);
  // The section holds 0x00RRGGBB; a COLORREF is 0x00BBGGRR.
  for (size_t i = 0; i < shot.rows.size(); ++i)
    shot.rows[i] = RGB(GetBValue(pixels[i]), GetGValue(pixels[i]), GetRValue(pixels[i]));
  SelectObject(memory, previous);
  DeleteDC(memory);
  DeleteObject(bitmap);
  ReleaseDC(own ? window : nullptr, source);
  return shot;
}

bool Pixels::SaveAs(const std::string& path) const {
  const int stride = (width * 3 + 3) / 4 * 4;
  const DWORD image_size = static_cast<DWORD>(stride) * height;
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
  file.bfSize = file.bfOffBits + image_size;
  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = width;
  header.biHeight = height;  // bottom row first
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biSizeImage = image_size;
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) return false;
  bool written = std::fwrite(&file, sizeof file, 1, out) == 1 && std::fwrite(&header, sizeof header, 1, out) == 1;
  std::vector<unsigned char> row(static_cast<size_t>(stride), 0);
  for (int y = height - 1; y >= 0 && written; --y) {
    for (int x = 0; x < width; ++x) {
      COLORREF colour = At(x, y);
      row[static_cast<size_t>(x) * 3] = GetBValue(colour);
      row[static_cast<size_t>(x) * 3 + 1] = GetGValue(colour);
      row[static_cast<size_t>(x) * 3 + 2] = GetRValue(colour);
    }
    written = std::fwrite(row.data(), row.size(), 1, out) == 1;
  }
  return std::fclose(out) == 0 && written;
}

}  // namespace screenshot
