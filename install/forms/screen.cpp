#include "screen.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace forms {

namespace {

#ifdef _WIN32
HCURSOR SystemCursor(TCursor cursor) {
  switch (cursor) {
    case crHourGlass: return LoadCursorA(nullptr, IDC_WAIT);
    default: return LoadCursorA(nullptr, IDC_ARROW);
  }
}
#endif

}  // namespace

TScreen& Screen() {
  static TScreen screen;
  return screen;
}

void TScreen::SetCursor(TCursor cursor) {
  cursor_ = cursor;
#ifdef _WIN32
  // crDefault is the arrow of our windows until the window under the mouse
  // is next asked for its own.
  ::SetCursor(SystemCursor(cursor));
#endif
}

#ifdef _WIN32
bool TScreen::ShowCursorForWindow() const {
  if (cursor_ == crDefault) return false;
  ::SetCursor(SystemCursor(cursor_));
  return true;
}
#endif

}  // namespace forms
