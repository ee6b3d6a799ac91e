// The smallest pieces of an in-process COM server: the module's instance
// and lock count (which decide DllCanUnloadNow), and the conversions
// between automation strings and the control's 8-bit ANSI texts.
#ifndef TIPCASTER_FRAMEWORK_COM_H
#define TIPCASTER_FRAMEWORK_COM_H

#include <windows.h>
#include <ole2.h>

#include <string>

namespace com {

// The library's own module handle, set when it is loaded.
HINSTANCE ModuleInstance();
void SetModuleInstance(HINSTANCE instance);
// The full path of the library file.
std::string ModulePath();

// Objects and server locks keep the library loaded.
void LockModule();
void UnlockModule();
bool ModuleIsIdle();

std::string ToAnsi(BSTR text);
BSTR ToBstr(const std::string &text);  // the caller frees it
std::wstring ToWide(const std::string &text);

// A reference count that also locks the module while the object lives.
class RefCount {
 public:
  RefCount() { LockModule(); }
  ~RefCount() { UnlockModule(); }
  ULONG Add() { return static_cast<ULONG>(InterlockedIncrement(&count_)); }
  ULONG Drop() { return static_cast<ULONG>(InterlockedDecrement(&count_)); }

 private:
  LONG count_ = 1;
};

// A COM object with one interface besides IUnknown; it deletes itself
// when the last reference goes.
template <typename Interface>
class SingleInterfaceObject : public Interface {
 public:
  explicit SingleInterfaceObject(const IID &iid) : iid_(iid) {}

  STDMETHODIMP QueryInterface(REFIID iid, void **object) override {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == iid_) {
      *object = static_cast<Interface *>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return refs_.Add(); }
  STDMETHODIMP_(ULONG) Release() override {
    ULONG left = refs_.Drop();
    if (left == 0) delete this;
    return left;
  }

 protected:
  virtual ~SingleInterfaceObject() = default;

 private:
  const IID &iid_;
  RefCount refs_;
};

}  // namespace com

#endif
