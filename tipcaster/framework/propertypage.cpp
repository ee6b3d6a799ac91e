#include "propertypage.h"

#include "dispatch.h"

namespace com {
namespace {

// The dispatch id of a property by name (automation ignores case).
bool PropertyId(IDispatch *object, const char *name, DISPID &id) {
  std::wstring wide = ToWide(name);
  LPOLESTR names[] = {&wide[0]};
  return SUCCEEDED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id));
}

// The size of a dialog resource in dialog units.
SIZE DialogUnits(int dialogId) {
  SIZE size = {0, 0};
  HRSRC found = FindResourceA(ModuleInstance(), MAKEINTRESOURCEA(dialogId), MAKEINTRESOURCEA(5));
  HGLOBAL loaded = found ? LoadResource(ModuleInstance(), found) : nullptr;
  const auto *words = loaded ? static_cast<const WORD *>(LockResource(loaded)) : nullptr;
  if (!words || SizeofResource(ModuleInstance(), found) < 26) return size;
  // An extended template starts with version 1 and 0xFFFF; its size sits
  // after dlgVer, signature, helpID, exStyle, style, cDlgItems, x, y.
  bool extended = words[0] == 1 && words[1] == 0xFFFF;
  const WORD *extent = extended ? words + 9 : words + 5;
  size.cx = static_cast<short>(extent[0]);
  size.cy = static_cast<short>(extent[1]);
  return size;
}

}  // namespace

PropertyPage::PropertyPage(const PageLayout &layout)
    : SingleInterfaceObject(IID_IPropertyPage), layout_(layout), loaded_(layout.fields.size()) {}

PropertyPage::~PropertyPage() {
  Deactivate();
  ReleaseObjects();
  if (site_) site_->Release();
}

STDMETHODIMP PropertyPage::SetPageSite(IPropertyPageSite *site) {
  if (site) site->AddRef();
  if (site_) site_->Release();
  site_ = site;
  return S_OK;
}

STDMETHODIMP PropertyPage::SetObjects(ULONG count, IUnknown **objects) {
  ReleaseObjects();
  for (ULONG i = 0; i < count; ++i) {
    IDispatch *object = nullptr;
    if (objects && objects[i] &&
        SUCCEEDED(objects[i]->QueryInterface(IID_IDispatch, reinterpret_cast<void **>(&object))))
      objects_.push_back(object);
  }
  return S_OK;
}

void PropertyPage::ReleaseObjects() {
  for (IDispatch *object : objects_) object->Release();
  objects_.clear();
}

STDMETHODIMP PropertyPage::Activate(HWND parent, LPCRECT rect, BOOL) {
  if (dialog_) return E_UNEXPECTED;
  dialog_ = CreateDialogParamA(ModuleInstance(), MAKEINTRESOURCEA(layout_.dialogId), parent, DialogProc,
                               reinterpret_cast<LPARAM>(this));
  if (!dialog_) return E_FAIL;
  if (rect) Move(rect);
  showing_ = true;
  for (size_t i = 0; i < layout_.fields.size(); ++i) {
    if (!objects_.empty()) ReadProperty(layout_.fields[i], loaded_[i]);
    ShowValue(layout_.fields[i], loaded_[i]);
  }
  showing_ = false;
  dirty_ = false;
  return S_OK;
}

STDMETHODIMP PropertyPage::Deactivate() {
  if (dialog_) DestroyWindow(dialog_);
  dialog_ = nullptr;
  return S_OK;
}

STDMETHODIMP PropertyPage::GetPageInfo(PROPPAGEINFO *info) {
  if (!info) return E_POINTER;
  char title[256];
  int length = LoadStringA(ModuleInstance(), layout_.titleStringId, title, sizeof title);
  std::wstring wide = ToWide(std::string(title, length > 0 ? static_cast<size_t>(length) : 0));
  info->pszTitle = static_cast<LPOLESTR>(CoTaskMemAlloc((wide.size() + 1) * sizeof(wchar_t)));
  if (!info->pszTitle) return E_OUTOFMEMORY;
  wcscpy(info->pszTitle, wide.c_str());
  SIZE units = DialogUnits(layout_.dialogId);
  LONG base = GetDialogBaseUnits();
  info->size.cx = MulDiv(units.cx, LOWORD(base), 4);
  info->size.cy = MulDiv(units.cy, HIWORD(base), 8);
  info->pszDocString = nullptr;
  info->pszHelpFile = nullptr;
  info->dwHelpContext = 0;
  return S_OK;
}

STDMETHODIMP PropertyPage::Show(UINT command) {
  if (!dialog_) return E_UNEXPECTED;
  ShowWindow(dialog_, command);
  return S_OK;
}

STDMETHODIMP PropertyPage::Move(LPCRECT rect) {
  if (!dialog_) return E_UNEXPECTED;
  if (!rect) return E_POINTER;
  MoveWindow(dialog_, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, TRUE);
  return S_OK;
}

STDMETHODIMP PropertyPage::IsPageDirty() { return dirty_ ? S_OK : S_FALSE; }

STDMETHODIMP PropertyPage::Apply() {
  if (!dialog_) return S_OK;
  for (size_t i = 0; i < layout_.fields.size(); ++i) {
    Value current = FieldValue(layout_.fields[i], loaded_[i]);
    if (current == loaded_[i]) continue;
    WriteProperty(layout_.fields[i], current);
    loaded_[i] = current;
  }
  dirty_ = false;
  return S_OK;
}

STDMETHODIMP PropertyPage::TranslateAccelerator(MSG *message) {
  return dialog_ && message && IsDialogMessageA(dialog_, message) ? S_OK : S_FALSE;
}

bool PropertyPage::ReadProperty(const PageField &field, Value &value) {
  DISPID id;
  if (!PropertyId(objects_.front(), field.property, id)) return false;
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  VARIANT result;
  VariantInit(&result);
  if (FAILED(objects_.front()->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &result,
                                      nullptr, nullptr)))
    return false;
  DISPPARAMS wrapped = {&result, nullptr, 1, 0};
  DispatchArgs args(&wrapped);
  bool ok = field.kind == FieldKind::Text ? args.Text(0, value.text) : args.Long(0, value.number);
  VariantClear(&result);
  return ok;
}

void PropertyPage::WriteProperty(const PageField &field, const Value &value) {
  VARIANT argument;
  VariantInit(&argument);
  if (field.kind == FieldKind::Text) {
    argument.vt = VT_BSTR;
    argument.bstrVal = ToBstr(value.text);
  } else {
    argument.vt = VT_I4;
    argument.lVal = value.number;
  }
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params = {&argument, &named, 1, 1};
  for (IDispatch *object : objects_) {
    DISPID id;
    if (PropertyId(object, field.property, id))
      object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr,
                     nullptr);
  }
  VariantClear(&argument);
}

void PropertyPage::ShowValue(const PageField &field, const Value &value) {
  switch (field.kind) {
    case FieldKind::Text:
      SetDlgItemTextA(dialog_, field.controlIds[0], value.text.c_str());
      break;
    case FieldKind::Number:
      SetDlgItemInt(dialog_, field.controlIds[0], static_cast<UINT>(value.number), TRUE);
      break;
    case FieldKind::Radio:
      for (size_t i = 0; i < field.controlIds.size(); ++i)
        CheckDlgButton(dialog_, field.controlIds[i],
                       static_cast<int32_t>(i) == value.number ? BST_CHECKED : BST_UNCHECKED);
      break;
    case FieldKind::Check:
      CheckDlgButton(dialog_, field.controlIds[0], value.number ? BST_CHECKED : BST_UNCHECKED);
      break;
  }
}

PropertyPage::Value PropertyPage::FieldValue(const PageField &field, const Value &shown) {
  Value value = shown;
  switch (field.kind) {
    case FieldKind::Text: {
      HWND edit = GetDlgItem(dialog_, field.controlIds[0]);
      std::string text(static_cast<size_t>(GetWindowTextLengthA(edit)) + 1, '\0');
      text.resize(static_cast<size_t>(GetWindowTextA(edit, &text[0], static_cast<int>(text.size()))));
      value.text = text;
      break;
    }
    case FieldKind::Number:
      value.number = static_cast<int32_t>(GetDlgItemInt(dialog_, field.controlIds[0], nullptr, TRUE));
      break;
    case FieldKind::Radio:
      for (size_t i = 0; i < field.controlIds.size(); ++i)
        if (IsDlgButtonChecked(dialog_, field.controlIds[i]) == BST_CHECKED) value.number = static_cast<int32_t>(i);
      break;
    case FieldKind::Check:
      value.number = IsDlgButtonChecked(dialog_, field.controlIds[0]) == BST_CHECKED ? 1 : 0;
      break;
  }
  return value;
}

void PropertyPage::SetDirty() {
  if (showing_) return;
  dirty_ = true;
  if (site_) site_->OnStatusChange(PROPPAGESTATUS_DIRTY | PROPPAGESTATUS_VALIDATE);
}

INT_PTR CALLBACK PropertyPage::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrA(dialog, DWLP_USER, lParam);
    return TRUE;
  }
  auto *page = reinterpret_cast<PropertyPage *>(GetWindowLongPtrA(dialog, DWLP_USER));
  if (page && message == WM_COMMAND && (HIWORD(wParam) == EN_CHANGE || HIWORD(wParam) == BN_CLICKED)) {
    page->SetDirty();
    return TRUE;
  }
  return FALSE;
}

}  // namespace com
