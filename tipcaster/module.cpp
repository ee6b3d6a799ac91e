// The library's entry points: the module handle, the list of its three
// classes, and the four COM server exports.
#include <windows.h>
#include <ole2.h>

#include <initguid.h>

#include "classids.h"
#include "control.h"
#include "framework/com.h"
#include "framework/olecontrol.h"
#include "framework/server.h"
#include "pages.h"
#include "resource.h"
#include "tipcaster_idl.h"

namespace {

// The type library's version and locale, as its definition declares them.
const WORD kTypeLibraryMajor = 1;
const WORD kTypeLibraryMinor = 0;
const LCID kTypeLibraryLocale = 0x0409;

const com::ControlRegistration kControlRegistration = {IDB_TOOLBOX, 0x00020191, &LIBID_ORVANELib, "1.0"};

const com::ClassEntry kClasses[] = {
    {&CLSID_TSHelpButton, "TSHELP.TSHelpButtonCtrl.1", IDS_CONTROL_NAME,  com::CreateObject<CTSHelpButtonCtrl>, &kControlRegistration},
    {&CLSID_TSHelpButtonPropPage, "TSHELP.TSHelpButtonPropPage.1", IDS_GENERAL_PAGE_NAME, com::CreateObject<CTSHelpButtonPropPage>, nullptr},
    {&CLSID_TSHelpJavaHelpSettings, "orvane.CTSHelpJavaHelpSettings", IDS_JAVA_PAGE_NAME, com::CreateObject<CTSHelpJavaHelpSettings>, nullptr},
};

}  // namespace

const com::ClassList com::kModuleClasses = {kClasses, sizeof kClasses / sizeof kClasses[0]};

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    com::SetModuleInstance(instance);
    DisableThreadLibraryCalls(instance);
  } else if (reason == DLL_PROCESS_DETACH) {
    com::UnregisterControlWindowClass();
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID *object) {
  return com::GetClassObject(clsid, iid, object);
}

STDAPI DllCanUnloadNow() { return com::ModuleIsIdle() ? S_OK : S_FALSE; }

STDAPI DllRegisterServer() {
  if (!com::RegisterModuleTypeLibrary()) return SELFREG_E_TYPELIB;
  for (const com::ClassEntry &entry : kClasses)
    if (!com::RegisterClassEntry(entry)) return SELFREG_E_CLASS;
  return S_OK;
}

STDAPI DllUnregisterServer() {
  // By the version and locale it was registered with, so that it is found.
  if (!com::UnregisterModuleTypeLibrary(LIBID_ORVANELib, kTypeLibraryMajor, kTypeLibraryMinor,
                                        kTypeLibraryLocale))
    return SELFREG_E_TYPELIB;
  for (const com::ClassEntry &entry : kClasses)
    if (!com::UnregisterClassEntry(entry)) return SELFREG_E_CLASS;
  return S_OK;
}
