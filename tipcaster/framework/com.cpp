#include "com.h"

namespace com {
namespace {
HINSTANCE g_instance;
LONG g_locks;
}  // namespace

HINSTANCE ModuleInstance() { return g_instance; }
void SetModuleInstance(HINSTANCE instance) { g_instance = instance; }

std::string ModulePath() {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    DWORD length = GetModuleFileNameA(g_instance, &path[0], static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

void LockModule() { InterlockedIncrement(&g_locks); }
void UnlockModule() { InterlockedDecrement(&g_locks); }
bool ModuleIsIdle() { return InterlockedCompareExchange(&g_locks, 0, 0) == 0; }

std::string ToAnsi(BSTR text) {
  if (!text) return std::string();
  int wide = static_cast<int>(SysStringLen(text));
  int bytes = WideCharToMultiByte(CP_ACP, 0, text, wide, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(bytes), '\0');
  if (bytes > 0) WideCharToMultiByte(CP_ACP, 0, text, wide, &out[0], bytes, nullptr, nullptr);
  return out;
}

std::wstring ToWide(const std::string &text) {
  int chars = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(chars), L'\0');
  if (chars > 0)
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &out[0], chars);
  return out;
}

BSTR ToBstr(const std::string &text) {
  std::wstring wide = ToWide(text);
  return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

}  // namespace com
