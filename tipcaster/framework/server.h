// The server side of the library: the list of creatable classes, their
// class factories and their registration in the system registry, and the
// registration of the type library embedded in the module.
#ifndef TIPCASTER_FRAMEWORK_SERVER_H
#define TIPCASTER_FRAMEWORK_SERVER_H

#include <windows.h>
#include <ole2.h>

namespace com {

// Creates a new object and answers the interface asked for.
using CreateFunction = HRESULT (*)(REFIID iid, void **object);

// A control's extra registration: toolbox bitmap, status bits and library.
struct ControlRegistration {
  int toolboxBitmapId;
  DWORD miscStatus;
  const GUID *typeLibrary;
  const char *typeLibraryVersion;  // "1.0"
};

struct ClassEntry {
  const CLSID *clsid;
  const char *progId;
  UINT userTypeStringId;  // in the module's string table
  CreateFunction create;
  const ControlRegistration *control;  // null for property pages
};

// The module's classes, in registration order; the library defines it.
struct ClassList {
  const ClassEntry *entries;
  size_t count;
};
extern const ClassList kModuleClasses;

HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void **object);

// The CreateFunction of a class: a new object answering the interface.
template <typename Object>
HRESULT CreateObject(REFIID iid, void **object) {
  auto *created = new Object;
  HRESULT result = created->QueryInterface(iid, object);
  created->Release();
  return result;
}

// Each returns false when a registry write or delete fails.
bool RegisterClassEntry(const ClassEntry &entry);
bool UnregisterClassEntry(const ClassEntry &entry);

// The type library held in the module's resources.
bool RegisterModuleTypeLibrary();
bool UnregisterModuleTypeLibrary(const GUID &libid, WORD major, WORD minor, LCID locale);

}  // namespace com

#endif
