// The base of an ActiveX control: automation through the module's type
// library, the stock Caption, BorderStyle and Font properties, persistence
// to streams and property bags through the property exchange, in-place
// activation in a container's window, and the list of property pages.
//
// In place, the control's window is a push button (class "BUTTON") inside
// a small host window of its own; the host receives the button's
// notifications and hands them to the control (OnCommand).
#ifndef TIPCASTER_FRAMEWORK_OLECONTROL_H
#define TIPCASTER_FRAMEWORK_OLECONTROL_H

#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include <cstdint>
#include <string>

#include "com.h"
#include "dispatch.h"
#include "events.h"
#include "exchange.h"

namespace com {

// Removes the window class the controls' host windows use; the module calls
// it when it is unloaded, so that a later load does not find a class whose
// window procedure is gone.
void UnregisterControlWindowClass();

struct ControlClassInfo {
  const CLSID *clsid;
  const GUID *typeLibrary;
  const IID *dispatchInterface;
  const IID *eventInterface;
  const CLSID *const *pages;
  ULONG pageCount;
  DWORD miscStatus;
};

class OleControl : public IDispatch,
                   public IOleObject,
                   public IOleInPlaceObject,
                   public IPersistStreamInit,
                   public IPersistPropertyBag,
                   public ISpecifyPropertyPages,
                   public IProvideClassInfo,
                   public IViewObject2,
                   public IConnectionPointContainer {
 public:
  // IUnknown
  STDMETHODIMP QueryInterface(REFIID iid, void **object) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  // IDispatch
  STDMETHODIMP GetTypeInfoCount(UINT *count) override;
  STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo **info) override;
  STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR *names, UINT count, LCID locale, DISPID *ids) override;
  STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS *params, VARIANT *result,
                      EXCEPINFO *exception, UINT *argError) override;

  // IOleObject
  STDMETHODIMP SetClientSite(IOleClientSite *site) override;
  STDMETHODIMP GetClientSite(IOleClientSite **site) override;
  STDMETHODIMP SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
  STDMETHODIMP Close(DWORD saveOption) override;
  STDMETHODIMP SetMoniker(DWORD, IMoniker *) override { return E_NOTIMPL; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker **) override { return E_NOTIMPL; }
  STDMETHODIMP InitFromData(IDataObject *, BOOL, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP GetClipboardData(DWORD, IDataObject **) override { return E_NOTIMPL; }
  STDMETHODIMP DoVerb(LONG verb, LPMSG msg, IOleClientSite *site, LONG index, HWND parent,
                      LPCRECT rect) override;
  STDMETHODIMP EnumVerbs(IEnumOLEVERB **verbs) override;
  STDMETHODIMP Update() override { return S_OK; }
  STDMETHODIMP IsUpToDate() override { return S_OK; }
  STDMETHODIMP GetUserClassID(CLSID *clsid) override;
  STDMETHODIMP GetUserType(DWORD form, LPOLESTR *name) override;
  STDMETHODIMP SetExtent(DWORD aspect, SIZEL *size) override;
  STDMETHODIMP GetExtent(DWORD aspect, SIZEL *size) override;
  STDMETHODIMP Advise(IAdviseSink *, DWORD *) override { return OLE_E_ADVISENOTSUPPORTED; }
  STDMETHODIMP Unadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  STDMETHODIMP EnumAdvise(IEnumSTATDATA **) override { return OLE_E_ADVISENOTSUPPORTED; }
  STDMETHODIMP GetMiscStatus(DWORD aspect, DWORD *status) override;
  STDMETHODIMP SetColorScheme(LOGPALETTE *) override { return E_NOTIMPL; }

  // IOleInPlaceObject
  STDMETHODIMP GetWindow(HWND *window) override;
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP InPlaceDeactivate() override;
  STDMETHODIMP UIDeactivate() override { return S_OK; }
  STDMETHODIMP SetObjectRects(LPCRECT position, LPCRECT clip) override;
  STDMETHODIMP ReactivateAndUndo() override { return E_NOTIMPL; }

  // IPersistStreamInit and IPersistPropertyBag
  STDMETHODIMP GetClassID(CLSID *clsid) override;
  STDMETHODIMP IsDirty() override;
  STDMETHODIMP Load(LPSTREAM stream) override;
  STDMETHODIMP Save(LPSTREAM stream, BOOL clearDirty) override;
  STDMETHODIMP GetSizeMax(ULARGE_INTEGER *size) override;
  STDMETHODIMP InitNew() override;
  STDMETHODIMP Load(IPropertyBag *bag, IErrorLog *log) override;
  STDMETHODIMP Save(IPropertyBag *bag, BOOL clearDirty, BOOL saveAll) override;

  // ISpecifyPropertyPages
  STDMETHODIMP GetPages(CAUUID *pages) override;

  // IProvideClassInfo
  STDMETHODIMP GetClassInfo(ITypeInfo **info) override;

  // IConnectionPointContainer: the one event interface.
  STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints **) override { return E_NOTIMPL; }
  STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint **point) override;

  // IViewObject2: the container asks for a picture of the control.
  STDMETHODIMP Draw(DWORD aspect, LONG index, void *aspectInfo, DVTARGETDEVICE *device, HDC targetInfo, HDC dc,
                    LPCRECTL bounds, LPCRECTL windowBounds, BOOL(STDMETHODCALLTYPE *keepGoing)(ULONG_PTR),
                    ULONG_PTR keepGoingArgument) override;
  STDMETHODIMP GetColorSet(DWORD, LONG, void *, DVTARGETDEVICE *, HDC, LOGPALETTE **) override { return E_NOTIMPL; }
  STDMETHODIMP Freeze(DWORD, LONG, void *, DWORD *) override { return E_NOTIMPL; }
  STDMETHODIMP Unfreeze(DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP SetAdvise(DWORD aspects, DWORD flags, IAdviseSink *sink) override;
  STDMETHODIMP GetAdvise(DWORD *aspects, DWORD *flags, IAdviseSink **sink) override;
  STDMETHODIMP GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE *device, LPSIZEL size) override;

 protected:
  explicit OleControl(const ControlClassInfo &info);
  virtual ~OleControl();

  // The control's own persisted properties, after the stock ones.
  virtual void DoPropExchange(PropertyExchange &exchange) = 0;
  // A property or method of the control's own (not a stock property).
  virtual HRESULT InvokeMember(DISPID id, WORD flags, DispatchArgs &args, VARIANT *result) = 0;
  // The button's notification (the WM_COMMAND wParam); its result goes back.
  virtual LRESULT OnCommand(WPARAM notification) = 0;

  // The button window while the control is in place, else null.
  HWND ControlWindow() const { return button_; }
  void SetModified() { dirty_ = true; }

 private:
  static LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  HRESULT InvokeStock(DISPID id, WORD flags, DispatchArgs &args, VARIANT *result);
  void GetStock(DISPID id, VARIANT *result);
  HRESULT PutStock(DISPID id, DispatchArgs &args);
  void ExchangeAll(PropertyExchange &exchange);
  HRESULT ActivateInPlace();
  HRESULT ShowPropertyPages(HWND parent);
  ITypeLib *TypeLibrary();
  // Gives a button window the caption, border and font of the control.
  void ApplyStockProperties(HWND button);

  const ControlClassInfo &info_;
  RefCount refs_;
  ITypeLib *typeLibrary_ = nullptr;
  IOleClientSite *clientSite_ = nullptr;
  IOleInPlaceSite *inPlaceSite_ = nullptr;
  EventSource events_;
  IAdviseSink *viewSink_ = nullptr;
  DWORD viewAspects_ = 0;
  DWORD viewFlags_ = 0;
  HWND host_ = nullptr;
  HWND button_ = nullptr;
  SIZEL extent_ = {2540, 847};  // HIMETRIC
  bool dirty_ = false;

  std::string caption_;
  int16_t borderStyle_ = 0;
  IFont *font_ = nullptr;
};

}  // namespace com

#endif
