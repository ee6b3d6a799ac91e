// Screenshots of windows for the tests and `make demo`: the pixels a window
// shows, read back from it, and a BMP file of them. A window of this
// process is read from its own device context, so windows of other
// programs lying over it do not matter; a window of another process is
// read from the screen where it lies.
#ifndef NETMON_TESTING_SCREENSHOT_H
#define NETMON_TESTING_SCREENSHOT_H

#include <windows.h>

#include <string>
#include <vector>

namespace screenshot {

struct Pixels {
  int width = 0;
  int height = 0;
  std::vector<COLORREF> rows;  // top row first
  COLORREF At(int x, int y) const { return rows[static_cast<size_t>(y) * width + x]; }
  // Writes a 24-bit BMP file; false when it cannot.
  bool SaveAs(const std::string& path) const;
};

// The whole window, frame and caption included.
Pixels Capture(HWND window);

}  // namespace screenshot

#endif
