// PathString's Windows parts: measuring in a device context and the
// module's string table.
#include "pathstring_win32.h"

TextSize DeviceContextText::TextExtent(const char *text, size_t length) const {
  SIZE size{};
  if (!GetTextExtentPoint32A(dc_, text, static_cast<int>(length), &size)) return TextSize{0, 0};
  return TextSize{size.cx, size.cy};
}

namespace {

// The module this code is linked into: the control, or a program that
// links the path helpers.
HMODULE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&ThisModule), &module);
  return module;
}

}  // namespace

bool PathString::LoadResString(unsigned id) {
  // With no buffer the call gives the table's own text, of any length.
  const wchar_t *text = nullptr;
  int length = LoadStringW(ThisModule(), id, reinterpret_cast<LPWSTR>(&text), 0);
  if (length <= 0 || !text) return false;
  int bytes = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
  std::string ansi(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, length, ansi.data(), bytes, nullptr, nullptr);
  assign(ansi);
  return true;
}
