#include "server.h"

#include <shlwapi.h>

#include <string>

#include "com.h"

namespace com {
namespace {

class ClassFactory final : public SingleInterfaceObject<IClassFactory> {
 public:
  explicit ClassFactory(const ClassEntry &entry) : SingleInterfaceObject(IID_IClassFactory), entry_(entry) {}

  STDMETHODIMP CreateInstance(IUnknown *outer, REFIID iid, void **object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return entry_.create(iid, object);
  }
  STDMETHODIMP LockServer(BOOL lock) override {
    if (lock)
      LockModule();
    else
      UnlockModule();
    return S_OK;
  }

 private:
  const ClassEntry &entry_;
};

std::string GuidText(const GUID &guid) {
  wchar_t wide[40];
  StringFromGUID2(guid, wide, 40);
  char text[40];
  WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
  return text;
}

std::string LoadModuleString(UINT id) {
  char text[256];
  int length = LoadStringA(ModuleInstance(), id, text, sizeof text);
  return std::string(text, length > 0 ? static_cast<size_t>(length) : 0);
}

// Sets the value (the default value when name is null) of a key under
// HKEY_CLASSES_ROOT, creating the key.
bool SetClassesValue(const std::string &key, const char *name, const std::string &value) {
  HKEY handle;
  if (RegCreateKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle,
                      nullptr) != ERROR_SUCCESS)
    return false;
  LONG status = RegSetValueExA(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(value.c_str()),
                               static_cast<DWORD>(value.size() + 1));
  RegCloseKey(handle);
  return status == ERROR_SUCCESS;
}

bool DeleteClassesTree(const std::string &key) {
  DWORD status = SHDeleteKeyA(HKEY_CLASSES_ROOT, key.c_str());
  return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

}  // namespace

HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void **object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  for (size_t i = 0; i < kModuleClasses.count; ++i) {
    if (*kModuleClasses.entries[i].clsid != clsid) continue;
    auto *factory = new ClassFactory(kModuleClasses.entries[i]);
    HRESULT result = factory->QueryInterface(iid, object);
    factory->Release();
    return result;
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

bool RegisterClassEntry(const ClassEntry &entry) {
  const std::string name = LoadModuleString(entry.userTypeStringId);
  const std::string clsidKey = "CLSID\\" + GuidText(*entry.clsid);
  const std::string progIdKey = entry.progId;
  const std::string module = ModulePath();
  bool ok = SetClassesValue(clsidKey, nullptr, name) &&
            SetClassesValue(clsidKey + "\\InprocServer32", nullptr, module) &&
            SetClassesValue(clsidKey + "\\InprocServer32", "ThreadingModel", "Apartment") &&
            SetClassesValue(clsidKey + "\\ProgID", nullptr, entry.progId) &&
            SetClassesValue(progIdKey, nullptr, name) &&
            SetClassesValue(progIdKey + "\\CLSID", nullptr, GuidText(*entry.clsid));
  if (!ok || !entry.control) return ok;
  const ControlRegistration &control = *entry.control;
  return SetClassesValue(clsidKey + "\\Control", nullptr, "") &&
         SetClassesValue(clsidKey + "\\Insertable", nullptr, "") &&
         SetClassesValue(progIdKey + "\\Insertable", nullptr, "") &&
         SetClassesValue(clsidKey + "\\ToolboxBitmap32", nullptr,
                         module + ", " + std::to_string(control.toolboxBitmapId)) &&
         SetClassesValue(clsidKey + "\\MiscStatus", nullptr, "0") &&
         SetClassesValue(clsidKey + "\\MiscStatus\\1", nullptr, std::to_string(control.miscStatus)) &&
         SetClassesValue(clsidKey + "\\TypeLib", nullptr, GuidText(*control.typeLibrary)) &&
         SetClassesValue(clsidKey + "\\Version", nullptr, control.typeLibraryVersion);
}

bool UnregisterClassEntry(const ClassEntry &entry) {
  bool clsidGone = DeleteClassesTree("CLSID\\" + GuidText(*entry.clsid));
  bool progIdGone = DeleteClassesTree(entry.progId);
  return clsidGone && progIdGone;
}

bool RegisterModuleTypeLibrary() {
  std::string path = ModulePath();
  std::wstring widePath = ToWide(path);
  ITypeLib *library = nullptr;
  if (FAILED(LoadTypeLibEx(widePath.c_str(), REGKIND_NONE, &library))) return false;
  HRESULT result = RegisterTypeLib(library, &widePath[0], nullptr);
  library->Release();
  return SUCCEEDED(result);
}

bool UnregisterModuleTypeLibrary(const GUID &libid, WORD major, WORD minor, LCID locale) {
  // The library was built for the module's own architecture, and is
  // registered under its key ("win32" or "win64").
#ifdef _WIN64
  const SYSKIND moduleSysKind = SYS_WIN64;
#else
  const SYSKIND moduleSysKind = SYS_WIN32;
#endif
  return SUCCEEDED(UnRegisterTypeLib(libid, major, minor, locale, moduleSysKind));
}

}  // namespace com
