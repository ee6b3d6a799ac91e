// The system under the net install locations: the internet library loaded
// by name, the thread's last error and the message queue. The Windows build
// reaches WININET.DLL; the native build has no such library.
#pragma once

#include <cstdint>

namespace install::wininet {

// The loaded library, or nullptr when it is missing.
void* OpenLibrary();
void CloseLibrary(void* library);
// The entry point of that name, or nullptr.
void* FindEntryPoint(void* library, const char* name);
// The calling thread's last error code, and setting it (for a failure
// another thread met).
uint32_t LastErrorCode();
void SetLastErrorCode(uint32_t code);
// Dispatches the application's waiting messages (a Cancel among them).
void PumpMessages();

}  // namespace install::wininet
