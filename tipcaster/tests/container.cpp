#include "container.h"

#include <gtest/gtest.h>

#include <set>

namespace {

std::wstring Wide(const std::string &text) {
  int chars = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
  std::wstring out(static_cast<size_t>(chars), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &out[0], chars);
  out.resize(static_cast<size_t>(chars > 0 ? chars - 1 : 0));
  return out;
}

const char kHostClass[] = "TipcasterTestContainer";
const RECT kControlRect = {10, 10, 130, 40};

HWND CreateHostWindow() {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = kHostClass;
  RegisterClassA(&windowClass);  // fails harmlessly when registered already
  return CreateWindowExA(0, kHostClass, "container", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 300, 200,
                         nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}

}  // namespace

Variant::Variant(long number) {
  VariantInit(&value_);
  value_.vt = VT_I4;
  value_.lVal = number;
}

Variant::Variant(const char *text) : Variant(std::string(text)) {}

Variant::Variant(const std::string &text) {
  VariantInit(&value_);
  value_.vt = VT_BSTR;
  value_.bstrVal = SysAllocString(Wide(text).c_str());
}

Variant::Variant(const Variant &other) {
  VariantInit(&value_);
  VariantCopy(&value_, const_cast<VARIANT *>(&other.value_));
}

Variant &Variant::operator=(const Variant &other) {
  if (this != &other) VariantCopy(&value_, const_cast<VARIANT *>(&other.value_));
  return *this;
}

std::string Variant::AsText() const {
  VARIANT text;
  VariantInit(&text);
  if (FAILED(VariantChangeType(&text, const_cast<VARIANT *>(&value_), 0, VT_BSTR))) return "(not a text)";
  int bytes = WideCharToMultiByte(CP_ACP, 0, text.bstrVal, static_cast<int>(SysStringLen(text.bstrVal)), nullptr, 0,
                                  nullptr, nullptr);
  std::string out(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.bstrVal, static_cast<int>(SysStringLen(text.bstrVal)), &out[0], bytes,
                      nullptr, nullptr);
  VariantClear(&text);
  return out;
}

long Variant::AsLong() const {
  VARIANT number;
  VariantInit(&number);
  if (FAILED(VariantChangeType(&number, const_cast<VARIANT *>(&value_), 0, VT_I4))) return -999999;
  return number.lVal;
}

HRESULT TryCall(IDispatch *object, const char *name, WORD flags, const std::vector<Variant> &args,
                Variant *result) {
  std::wstring wide = Wide(name);
  LPOLESTR names[] = {&wide[0]};
  DISPID id;
  HRESULT found = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(found)) return found;
  std::vector<VARIANT> reversed(args.size());
  for (size_t i = 0; i < args.size(); ++i) reversed[args.size() - 1 - i] = args[i].value();
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params = {reversed.data(), flags == DISPATCH_PROPERTYPUT ? &named : nullptr,
                       static_cast<UINT>(args.size()), flags == DISPATCH_PROPERTYPUT ? 1u : 0u};
  return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result ? result->get() : nullptr,
                        nullptr, nullptr);
}

Variant GetProperty(IDispatch *object, const char *name) {
  Variant result;
  EXPECT_EQ(TryCall(object, name, DISPATCH_PROPERTYGET, {}, &result), S_OK) << name;
  return result;
}

void PutProperty(IDispatch *object, const char *name, const Variant &value) {
  EXPECT_EQ(TryCall(object, name, DISPATCH_PROPERTYPUT, {value}, nullptr), S_OK) << name;
}

Variant CallMethod(IDispatch *object, const char *name, const std::vector<Variant> &args) {
  Variant result;
  EXPECT_EQ(TryCall(object, name, DISPATCH_METHOD, args, &result), S_OK) << name;
  return result;
}

// The container's side of one control: client site and in-place site.
class ContainerSite final : public IOleClientSite, public IOleInPlaceSite {
 public:
  explicit ContainerSite(HWND window) : window_(window) {}
  STDMETHODIMP QueryInterface(REFIID iid, void **object) override {
    if (iid == IID_IUnknown || iid == IID_IOleClientSite)
      *object = static_cast<IOleClientSite *>(this);
    else if (iid == IID_IOleInPlaceSite || iid == IID_IOleWindow)
      *object = static_cast<IOleInPlaceSite *>(this);
    else {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override { return --refs_; }  // lives with the host

  STDMETHODIMP SaveObject() override { return S_OK; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker **) override { return E_NOTIMPL; }
  STDMETHODIMP GetContainer(IOleContainer **container) override {
    *container = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP ShowObject() override { return S_OK; }
  STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
  STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

  STDMETHODIMP GetWindow(HWND *window) override {
    *window = window_;
    return S_OK;
  }
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnInPlaceActivate() override {
    active_ = true;
    return S_OK;
  }
  STDMETHODIMP OnUIActivate() override { return S_OK; }
  STDMETHODIMP GetWindowContext(IOleInPlaceFrame **frame, IOleInPlaceUIWindow **document, LPRECT position,
                                LPRECT clip, LPOLEINPLACEFRAMEINFO) override {
    *frame = nullptr;
    *document = nullptr;
    *position = kControlRect;
    *clip = kControlRect;
    return S_OK;
  }
  STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
  STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
  STDMETHODIMP OnInPlaceDeactivate() override {
    active_ = false;
    return S_OK;
  }
  STDMETHODIMP DiscardUndoState() override { return S_OK; }
  STDMETHODIMP DeactivateAndUndo() override { return S_OK; }
  STDMETHODIMP OnPosRectChange(LPCRECT) override { return S_OK; }

  bool active() const { return active_; }

 private:
  HWND window_;
  ULONG refs_ = 1;
  bool active_ = false;
};

IDispatch *CreateHelpButton() {
  CLSID clsid;
  IDispatch *control = nullptr;
  EXPECT_EQ(CLSIDFromProgID(L"TSHELP.TSHelpButtonCtrl.1", &clsid), S_OK);
  EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                             reinterpret_cast<void **>(&control)),
            S_OK);
  return control;
}

HelpButtonHost::HelpButtonHost() : window_(CreateHostWindow()), site_(new ContainerSite(window_)) {
  dispatch_ = CreateHelpButton();
  if (!dispatch_) return;
  EXPECT_EQ(dispatch_->QueryInterface(IID_IOleObject, reinterpret_cast<void **>(&object_)), S_OK);
  IPersistStreamInit *persist = nullptr;
  EXPECT_EQ(dispatch_->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void **>(&persist)), S_OK);
  EXPECT_EQ(object_->SetClientSite(site_), S_OK);
  EXPECT_EQ(persist->InitNew(), S_OK);
  persist->Release();
  EXPECT_EQ(object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site_, 0, window_, &kControlRect), S_OK);
  EXPECT_TRUE(site_->active());
}

HelpButtonHost::~HelpButtonHost() {
  DestroyControl();
  DestroyWindow(window_);
  delete site_;
}

void HelpButtonHost::DestroyControl() {
  if (object_) {
    object_->Close(OLECLOSE_NOSAVE);
    object_->SetClientSite(nullptr);
    object_->Release();
    object_ = nullptr;
  }
  if (dispatch_) dispatch_->Release();
  dispatch_ = nullptr;
}

HWND HelpButtonHost::button() const { return FindWindowExA(GetWindow(window_, GW_CHILD), nullptr, "Button", nullptr); }

void HelpButtonHost::Click() { SendMessageA(button(), BM_CLICK, 0, 0); }

STDMETHODIMP MemoryPropertyBag::QueryInterface(REFIID iid, void **object) {
  if (iid == IID_IUnknown || iid == IID_IPropertyBag) {
    *object = static_cast<IPropertyBag *>(this);
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP MemoryPropertyBag::Read(LPCOLESTR name, VARIANT *value, IErrorLog *) {
  auto found = values_.find(name);
  if (found == values_.end()) return E_INVALIDARG;
  VARTYPE wanted = value->vt;
  VariantInit(value);
  if (wanted == VT_EMPTY || wanted == found->second.vt) return VariantCopy(value, &found->second);
  return VariantChangeType(value, &found->second, 0, wanted);
}

STDMETHODIMP MemoryPropertyBag::Write(LPCOLESTR name, VARIANT *value) {
  VARIANT copy;
  VariantInit(&copy);
  HRESULT result = VariantCopy(&copy, value);
  if (FAILED(result)) return result;
  auto found = values_.find(name);
  if (found != values_.end()) VariantClear(&found->second);
  values_[name] = copy;
  return S_OK;
}

MemoryPropertyBag::~MemoryPropertyBag() {
  for (auto &entry : values_) VariantClear(&entry.second);
}

MessageBoxWatcher::MessageBoxWatcher() : thread_([this] { Watch(); }) {}

MessageBoxWatcher::~MessageBoxWatcher() {
  stop_ = true;
  thread_.join();
}

std::vector<MessageBoxRecord> MessageBoxWatcher::Boxes() {
  std::lock_guard<std::mutex> lock(mutex_);
  return boxes_;
}

std::vector<std::string> MessageBoxWatcher::Texts() {
  std::vector<std::string> texts;
  for (const MessageBoxRecord &box : Boxes()) texts.push_back(box.text);
  return texts;
}

void MessageBoxWatcher::Watch() {
  DWORD process = GetCurrentProcessId();
  std::set<HWND> closing;  // boxes told to close that may not be gone yet
  while (!stop_) {
    for (auto it = closing.begin(); it != closing.end();) it = IsWindow(*it) ? std::next(it) : closing.erase(it);
    HWND box = nullptr;
    while ((box = FindWindowExA(nullptr, box, "#32770", nullptr)) != nullptr) {
      DWORD owner = 0;
      GetWindowThreadProcessId(box, &owner);
      if (owner != process || !IsWindowVisible(box) || closing.count(box)) continue;
      MessageBoxRecord record;
      char text[1024] = "";
      GetWindowTextA(box, text, sizeof text);
      record.caption = text;
      record.owned = GetWindow(box, GW_OWNER) != nullptr;
      // The message is the static text that is not empty (the icon is one too).
      for (HWND child = nullptr; (child = FindWindowExA(box, child, "Static", nullptr)) != nullptr;) {
        text[0] = '\0';
        GetWindowTextA(child, text, sizeof text);
        if (text[0]) record.text = text;
      }
      {
        std::lock_guard<std::mutex> lock(mutex_);
        boxes_.push_back(record);
      }
      closing.insert(box);
      PostMessageA(box, WM_COMMAND, IDOK, 0);
    }
    Sleep(5);
  }
}
