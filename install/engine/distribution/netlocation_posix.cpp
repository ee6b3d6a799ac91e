// The net install locations outside Windows: there is no internet library,
// so a download fails as on a Windows without WININET.DLL.
#include "distribution/netlocation_system.h"

namespace install::wininet {

void* OpenLibrary() { return nullptr; }

void CloseLibrary(void*) {}

void* FindEntryPoint(void*, const char*) { return nullptr; }

uint32_t LastErrorCode() { return 0; }

void SetLastErrorCode(uint32_t) {}

void PumpMessages() {}

}  // namespace install::wininet
