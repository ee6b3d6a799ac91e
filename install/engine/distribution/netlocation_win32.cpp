// The net install locations on Windows: WININET.DLL and the message queue.
#include <windows.h>

#include "application.h"
#include "distribution/netlocation_system.h"

namespace install::wininet {

void* OpenLibrary() { return LoadLibraryA("WININET.DLL"); }

void CloseLibrary(void* library) { FreeLibrary(static_cast<HMODULE>(library)); }

void* FindEntryPoint(void* library, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

uint32_t LastErrorCode() { return GetLastError(); }

void SetLastErrorCode(uint32_t code) { SetLastError(code); }

void PumpMessages() {
  if (forms::Application()) forms::Application()->ProcessMessages();
}

}  // namespace install::wininet
