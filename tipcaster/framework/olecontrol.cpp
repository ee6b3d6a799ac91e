#include "olecontrol.h"

#include "verbs.h"

namespace com {
namespace {

const char kHostClass[] = "TipcasterControlHost";

void RegisterHostClass(WNDPROC procedure) {
  WNDCLASSA existing;
  if (GetClassInfoA(ModuleInstance(), kHostClass, &existing)) return;
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = ModuleInstance();
  windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
  windowClass.lpszClassName = kHostClass;
  RegisterClassA(&windowClass);
}

}  // namespace

void UnregisterControlWindowClass() { UnregisterClassA(kHostClass, ModuleInstance()); }

namespace {

bool IsPropertyPut(WORD flags) { return (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0; }

}  // namespace

OleControl::OleControl(const ControlClassInfo &info)
    : info_(info), events_(this, *info.eventInterface), font_(CreateDefaultFont()) {}

OleControl::~OleControl() {
  InPlaceDeactivate();
  if (clientSite_) clientSite_->Release();
  if (viewSink_) viewSink_->Release();
  if (font_) font_->Release();
  if (typeLibrary_) typeLibrary_->Release();
}

STDMETHODIMP OleControl::QueryInterface(REFIID iid, void **object) {
  if (!object) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IDispatch || iid == *info_.dispatchInterface)
    *object = static_cast<IDispatch *>(this);
  else if (iid == IID_IOleObject)
    *object = static_cast<IOleObject *>(this);
  else if (iid == IID_IOleInPlaceObject || iid == IID_IOleWindow)
    *object = static_cast<IOleInPlaceObject *>(this);
  else if (iid == IID_IPersistStreamInit)
    *object = static_cast<IPersistStreamInit *>(this);
  else if (iid == IID_IPersistPropertyBag || iid == IID_IPersist)
    *object = static_cast<IPersistPropertyBag *>(this);
  else if (iid == IID_ISpecifyPropertyPages)
    *object = static_cast<ISpecifyPropertyPages *>(this);
  else if (iid == IID_IProvideClassInfo)
    *object = static_cast<IProvideClassInfo *>(this);
  else if (iid == IID_IViewObject || iid == IID_IViewObject2)
    *object = static_cast<IViewObject2 *>(this);
  else if (iid == IID_IConnectionPointContainer)
    *object = static_cast<IConnectionPointContainer *>(this);
  else {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) OleControl::AddRef() { return refs_.Add(); }

STDMETHODIMP_(ULONG) OleControl::Release() {
  ULONG left = refs_.Drop();
  if (left == 0) delete this;
  return left;
}

// Automation.

ITypeLib *OleControl::TypeLibrary() {
  if (!typeLibrary_) LoadTypeLibEx(ToWide(ModulePath()).c_str(), REGKIND_NONE, &typeLibrary_);
  return typeLibrary_;
}

STDMETHODIMP OleControl::GetTypeInfoCount(UINT *count) {
  if (!count) return E_POINTER;
  *count = 1;
  return S_OK;
}

STDMETHODIMP OleControl::GetTypeInfo(UINT index, LCID, ITypeInfo **info) {
  if (!info) return E_POINTER;
  *info = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  ITypeLib *library = TypeLibrary();
  return library ? library->GetTypeInfoOfGuid(*info_.dispatchInterface, info) : TYPE_E_CANTLOADLIBRARY;
}

STDMETHODIMP OleControl::GetIDsOfNames(REFIID, LPOLESTR *names, UINT count, LCID locale, DISPID *ids) {
  ITypeInfo *info = nullptr;
  HRESULT result = GetTypeInfo(0, locale, &info);
  if (FAILED(result)) return result;
  result = info->GetIDsOfNames(names, count, ids);
  info->Release();
  return result;
}

STDMETHODIMP OleControl::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS *params, VARIANT *result,
                                EXCEPINFO *, UINT *argError) {
  if (result) VariantInit(result);
  DispatchArgs args(params);
  HRESULT outcome = (id == DISPID_CAPTION || id == DISPID_BORDERSTYLE || id == DISPID_FONT)
                        ? InvokeStock(id, flags, args, result)
                        : InvokeMember(id, flags, args, result);
  if (outcome == DISP_E_TYPEMISMATCH || outcome == DISP_E_PARAMNOTFOUND) {
    if (argError && params) *argError = params->cArgs - 1 - args.failedArgument();
  }
  return outcome;
}

HRESULT OleControl::InvokeStock(DISPID id, WORD flags, DispatchArgs &args, VARIANT *result) {
  if (!IsPropertyPut(flags)) {
    GetStock(id, result);
    return S_OK;
  }
  HRESULT outcome = PutStock(id, args);
  if (FAILED(outcome)) return outcome;
  SetModified();
  ApplyStockProperties(button_);
  return S_OK;
}

void OleControl::GetStock(DISPID id, VARIANT *result) {
  if (id == DISPID_CAPTION) {
    SetResultText(result, caption_);
  } else if (id == DISPID_BORDERSTYLE) {
    SetResultShort(result, borderStyle_);
  } else {
    IDispatch *fontDispatch = nullptr;
    if (font_) font_->QueryInterface(IID_IFontDisp, reinterpret_cast<void **>(&fontDispatch));
    if (result) {
      result->vt = VT_DISPATCH;
      result->pdispVal = fontDispatch;
    } else if (fontDispatch) {
      fontDispatch->Release();
    }
  }
}

HRESULT OleControl::PutStock(DISPID id, DispatchArgs &args) {
  if (id == DISPID_CAPTION) return args.Text(0, caption_) ? S_OK : DISP_E_TYPEMISMATCH;
  if (id == DISPID_BORDERSTYLE) {
    int16_t style;
    if (!args.Short(0, style)) return DISP_E_TYPEMISMATCH;
    if (style != 0 && style != 1) return CTL_E_INVALIDPROPERTYVALUE;
    borderStyle_ = style;
    return S_OK;
  }
  // The font: the control keeps a copy of its own.
  IUnknown *given = nullptr;
  IFont *font = nullptr;
  if (!args.Unknown(0, given)) return DISP_E_TYPEMISMATCH;
  HRESULT asFont = given->QueryInterface(IID_IFont, reinterpret_cast<void **>(&font));
  given->Release();
  if (FAILED(asFont)) return DISP_E_TYPEMISMATCH;
  IFont *copy = nullptr;
  HRESULT cloned = font->Clone(&copy);
  font->Release();
  if (FAILED(cloned)) return cloned;
  if (font_) font_->Release();
  font_ = copy;
  return S_OK;
}

// Persistence.

void OleControl::ExchangeAll(PropertyExchange &exchange) {
  exchange.Text("Caption", caption_);
  exchange.Short("BorderStyle", borderStyle_, 0);
  exchange.Font("Font", font_);
  DoPropExchange(exchange);
  ApplyStockProperties(button_);
}

STDMETHODIMP OleControl::GetClassID(CLSID *clsid) {
  if (!clsid) return E_POINTER;
  *clsid = *info_.clsid;
  return S_OK;
}

STDMETHODIMP OleControl::IsDirty() { return dirty_ ? S_OK : S_FALSE; }

STDMETHODIMP OleControl::Load(LPSTREAM stream) {
  if (!stream) return E_POINTER;
  StreamExchange exchange(stream, true);
  ExchangeAll(exchange);
  dirty_ = false;
  return exchange.ok() ? S_OK : STG_E_READFAULT;
}

STDMETHODIMP OleControl::Save(LPSTREAM stream, BOOL clearDirty) {
  if (!stream) return E_POINTER;
  StreamExchange exchange(stream, false);
  ExchangeAll(exchange);
  if (clearDirty && exchange.ok()) dirty_ = false;
  return exchange.ok() ? S_OK : STG_E_WRITEFAULT;
}

STDMETHODIMP OleControl::GetSizeMax(ULARGE_INTEGER *) { return E_NOTIMPL; }

STDMETHODIMP OleControl::InitNew() {
  ResetExchange exchange;
  ExchangeAll(exchange);
  dirty_ = false;
  return S_OK;
}

STDMETHODIMP OleControl::Load(IPropertyBag *bag, IErrorLog *) {
  if (!bag) return E_POINTER;
  BagExchange exchange(bag, true);
  ExchangeAll(exchange);
  dirty_ = false;
  return exchange.ok() ? S_OK : E_FAIL;
}

STDMETHODIMP OleControl::Save(IPropertyBag *bag, BOOL clearDirty, BOOL) {
  if (!bag) return E_POINTER;
  BagExchange exchange(bag, false);
  ExchangeAll(exchange);
  if (clearDirty && exchange.ok()) dirty_ = false;
  return exchange.ok() ? S_OK : E_FAIL;
}

// The object in its container.

STDMETHODIMP OleControl::SetClientSite(IOleClientSite *site) {
  if (site) site->AddRef();
  if (clientSite_) clientSite_->Release();
  clientSite_ = site;
  return S_OK;
}

STDMETHODIMP OleControl::GetClientSite(IOleClientSite **site) {
  if (!site) return E_POINTER;
  *site = clientSite_;
  if (clientSite_) clientSite_->AddRef();
  return S_OK;
}

STDMETHODIMP OleControl::Close(DWORD) { return InPlaceDeactivate(); }

STDMETHODIMP OleControl::DoVerb(LONG verb, LPMSG, IOleClientSite *site, LONG, HWND parent, LPCRECT) {
  if (site && site != clientSite_) SetClientSite(site);
  switch (verb) {
    case OLEIVERB_PRIMARY:  // Edit
    case OLEIVERB_SHOW:
    case OLEIVERB_INPLACEACTIVATE:
    case OLEIVERB_UIACTIVATE:
      return ActivateInPlace();
    case OLEIVERB_HIDE:
      return InPlaceDeactivate();
    case OLEIVERB_PROPERTIES:
      return ShowPropertyPages(parent);
    default:
      return OLEOBJ_S_INVALIDVERB;
  }
}

STDMETHODIMP OleControl::EnumVerbs(IEnumOLEVERB **verbs) { return EnumControlVerbs(verbs); }

STDMETHODIMP OleControl::GetUserClassID(CLSID *clsid) { return GetClassID(clsid); }

STDMETHODIMP OleControl::GetUserType(DWORD form, LPOLESTR *name) { return OleRegGetUserType(*info_.clsid, form, name); }

STDMETHODIMP OleControl::SetExtent(DWORD aspect, SIZEL *size) {
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (!size) return E_POINTER;
  extent_ = *size;
  return S_OK;
}

STDMETHODIMP OleControl::GetExtent(DWORD aspect, SIZEL *size) {
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (!size) return E_POINTER;
  *size = extent_;
  return S_OK;
}

STDMETHODIMP OleControl::GetMiscStatus(DWORD, DWORD *status) {
  if (!status) return E_POINTER;
  *status = info_.miscStatus;
  return S_OK;
}

HRESULT OleControl::ActivateInPlace() {
  if (host_) return S_OK;
  if (!clientSite_) return E_UNEXPECTED;
  if (FAILED(clientSite_->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void **>(&inPlaceSite_))))
    return E_NOINTERFACE;
  HWND parent = nullptr;
  IOleInPlaceFrame *frame = nullptr;
  IOleInPlaceUIWindow *document = nullptr;
  RECT position, clip;
  OLEINPLACEFRAMEINFO frameInfo = {sizeof frameInfo, FALSE, nullptr, nullptr, 0};
  if (inPlaceSite_->CanInPlaceActivate() != S_OK || FAILED(inPlaceSite_->OnInPlaceActivate()) ||
      FAILED(inPlaceSite_->GetWindow(&parent)) ||
      FAILED(inPlaceSite_->GetWindowContext(&frame, &document, &position, &clip, &frameInfo))) {
    inPlaceSite_->Release();
    inPlaceSite_ = nullptr;
    return E_FAIL;
  }
  if (frame) frame->Release();
  if (document) document->Release();

  RegisterHostClass(HostWindowProc);
  host_ = CreateWindowExA(0, kHostClass, "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, position.left,
                          position.top, position.right - position.left, position.bottom - position.top,
                          parent, nullptr, ModuleInstance(), this);
  if (!host_) return E_FAIL;
  button_ = CreateWindowExA(0, "BUTTON", caption_.c_str(), WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 0, 0,
                            position.right - position.left, position.bottom - position.top, host_,
                            nullptr, ModuleInstance(), nullptr);
  ApplyStockProperties(button_);
  return button_ ? S_OK : E_FAIL;
}

STDMETHODIMP OleControl::InPlaceDeactivate() {
  if (host_) DestroyWindow(host_);  // the button goes with it
  host_ = button_ = nullptr;
  if (inPlaceSite_) {
    inPlaceSite_->OnInPlaceDeactivate();
    inPlaceSite_->Release();
    inPlaceSite_ = nullptr;
  }
  return S_OK;
}

STDMETHODIMP OleControl::GetWindow(HWND *window) {
  if (!window) return E_POINTER;
  *window = host_;
  return host_ ? S_OK : E_FAIL;
}

STDMETHODIMP OleControl::SetObjectRects(LPCRECT position, LPCRECT) {
  if (!position) return E_POINTER;
  if (host_)
    MoveWindow(host_, position->left, position->top, position->right - position->left,
               position->bottom - position->top, TRUE);
  return S_OK;
}

LRESULT CALLBACK OleControl::HostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto *create = reinterpret_cast<CREATESTRUCTA *>(lParam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto *control = reinterpret_cast<OleControl *>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (control && message == WM_COMMAND && reinterpret_cast<HWND>(lParam) == control->button_)
    return control->OnCommand(wParam);
  if (control && message == WM_SIZE && control->button_)
    MoveWindow(control->button_, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
  return DefWindowProcA(window, message, wParam, lParam);
}

void OleControl::ApplyStockProperties(HWND button) {
  if (!button) return;
  SetWindowTextA(button, caption_.c_str());
  LONG_PTR style = GetWindowLongPtrA(button, GWL_STYLE);
  style = borderStyle_ ? (style | WS_BORDER) : (style & ~static_cast<LONG_PTR>(WS_BORDER));
  SetWindowLongPtrA(button, GWL_STYLE, style);
  HFONT font = nullptr;
  if (font_ && SUCCEEDED(font_->get_hFont(&font))) SendMessageA(button, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  SetWindowPos(button, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
}

// Drawing: the push button paints itself into the container's device
// context; out of place, a hidden button of the size asked for does.

STDMETHODIMP OleControl::Draw(DWORD aspect, LONG, void *, DVTARGETDEVICE *, HDC, HDC dc, LPCRECTL bounds,
                              LPCRECTL, BOOL(STDMETHODCALLTYPE *)(ULONG_PTR), ULONG_PTR) {
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (!dc || !bounds) return E_INVALIDARG;
  const int width = bounds->right - bounds->left;
  const int height = bounds->bottom - bounds->top;
  HWND painter = button_;
  if (!painter) {
    painter = CreateWindowExA(0, "BUTTON", "", WS_POPUP | BS_PUSHBUTTON, 0, 0, width, height, nullptr, nullptr,
                              ModuleInstance(), nullptr);
    if (!painter) return E_FAIL;
    ApplyStockProperties(painter);
  }
  POINT origin;
  SetViewportOrgEx(dc, bounds->left, bounds->top, &origin);
  SendMessageA(painter, WM_PRINT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_NONCLIENT | PRF_ERASEBKGND);
  SetViewportOrgEx(dc, origin.x, origin.y, nullptr);
  if (painter != button_) DestroyWindow(painter);
  return S_OK;
}

STDMETHODIMP OleControl::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink *sink) {
  if (sink) sink->AddRef();
  if (viewSink_) viewSink_->Release();
  viewSink_ = sink;
  viewAspects_ = aspects;
  viewFlags_ = flags;
  return S_OK;
}

STDMETHODIMP OleControl::GetAdvise(DWORD *aspects, DWORD *flags, IAdviseSink **sink) {
  if (aspects) *aspects = viewAspects_;
  if (flags) *flags = viewFlags_;
  if (sink) {
    *sink = viewSink_;
    if (viewSink_) viewSink_->AddRef();
  }
  return S_OK;
}

STDMETHODIMP OleControl::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE *, LPSIZEL size) {
  return GetExtent(aspect, size);
}

STDMETHODIMP OleControl::FindConnectionPoint(REFIID iid, IConnectionPoint **point) {
  if (!point) return E_POINTER;
  *point = nullptr;
  if (iid != events_.events()) return CONNECT_E_NOCONNECTION;
  *point = &events_;
  events_.AddRef();
  return S_OK;
}

// Property pages.

STDMETHODIMP OleControl::GetPages(CAUUID *pages) {
  if (!pages) return E_POINTER;
  pages->cElems = info_.pageCount;
  pages->pElems = static_cast<GUID *>(CoTaskMemAlloc(sizeof(GUID) * info_.pageCount));
  if (!pages->pElems) {
    pages->cElems = 0;
    return E_OUTOFMEMORY;
  }
  for (ULONG i = 0; i < info_.pageCount; ++i) pages->pElems[i] = *info_.pages[i];
  return S_OK;
}

HRESULT OleControl::ShowPropertyPages(HWND parent) {
  CAUUID pages;
  HRESULT result = GetPages(&pages);
  if (FAILED(result)) return result;
  IUnknown *self = static_cast<IDispatch *>(this);
  LPOLESTR name = nullptr;  // the frame's caption names the control's class
  OleRegGetUserType(*info_.clsid, USERCLASSTYPE_FULL, &name);
  result = OleCreatePropertyFrame(parent, 0, 0, name ? name : L"", 1, &self, pages.cElems, pages.pElems,
                                  GetUserDefaultLCID(), 0, nullptr);
  CoTaskMemFree(name);
  CoTaskMemFree(pages.pElems);
  return result;
}

STDMETHODIMP OleControl::GetClassInfo(ITypeInfo **info) {
  if (!info) return E_POINTER;
  *info = nullptr;
  ITypeLib *library = TypeLibrary();
  return library ? library->GetTypeInfoOfGuid(*info_.clsid, info) : TYPE_E_CANTLOADLIBRARY;
}

}  // namespace com
