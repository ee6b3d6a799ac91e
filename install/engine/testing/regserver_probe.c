/* A library for the registration tests. Built as install_regserver_probe,
   its DllRegisterServer records the library's own path in
   HKCU\Software\NetmonTests, value "Registered" (or the value named by
   REGISTERED_VALUE, so that tests of other processes keep apart), and
   succeeds; built with PLAIN_LIBRARY it has no DllRegisterServer at all. */
#include <windows.h>

#ifdef PLAIN_LIBRARY
__declspec(dllexport) int PlainFunction(void) { return 1; }
#else
#ifndef REGISTERED_VALUE
#define REGISTERED_VALUE "Registered"
#endif
static HMODULE g_module;

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) g_module = instance;
  return TRUE;
}

HRESULT WINAPI DllRegisterServer(void) {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(g_module, path, sizeof path);
  HKEY key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\NetmonTests", 0, NULL, 0, KEY_WRITE, NULL, &key, NULL) !=
      ERROR_SUCCESS)
    return E_FAIL;
  LONG result = RegSetValueExA(key, REGISTERED_VALUE, 0, REG_SZ, (const BYTE*)path, length + 1);
  RegCloseKey(key);
  return result == ERROR_SUCCESS ? S_OK : E_FAIL;
}
#endif
