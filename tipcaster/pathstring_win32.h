// PathString's measuring device over a Windows device context: texts are
// as wide and high as GetTextExtentPoint32A says in the context's font.
#ifndef TIPCASTER_PATHSTRING_WIN32_H
#define TIPCASTER_PATHSTRING_WIN32_H

#include <windows.h>

#include "pathstring.h"

class DeviceContextText : public TextDevice {
 public:
  explicit DeviceContextText(HDC dc) : dc_(dc) {}
  // 0 by 0 when the context can't measure.
  TextSize TextExtent(const char *text, size_t length) const override;

 private:
  HDC dc_;
};

#endif
