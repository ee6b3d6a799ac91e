// The screen's cursor: while it is anything but crDefault, every window of
// the program shows it (each answers WM_SETCURSOR with it, so that moving
// the mouse does not bring back the window's own cursor); crDefault gives
// each window its own again. A TCursorGuard sets the cursor for its
// lifetime and puts the previous one back however its scope is left,
// exceptions included.
#pragma once

#include <cstdint>

namespace forms {

using TCursor = int32_t;
constexpr TCursor crDefault = 0, crArrow = -2, crHourGlass = -11;

class TScreen {
public:
  TCursor Cursor() const { return cursor_; }
  // Takes effect at once, also on the window under the mouse.
  void SetCursor(TCursor cursor);
#ifdef _WIN32
  // A window was asked for its cursor (WM_SETCURSOR): true when the
  // screen's cursor was shown, false when the window shows its own.
  bool ShowCursorForWindow() const;
#endif

private:
  TCursor cursor_ = crDefault;
};

TScreen& Screen();

class TCursorGuard {
public:
  explicit TCursorGuard(TCursor cursor) : previous_(Screen().Cursor()) { Screen().SetCursor(cursor); }
  ~TCursorGuard() { Screen().SetCursor(previous_); }
  TCursorGuard(const TCursorGuard&) = delete;
  TCursorGuard& operator=(const TCursorGuard&) = delete;

private:
  TCursor previous_;
};

}  // namespace forms
