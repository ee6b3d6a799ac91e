// A property page: a dialog of the module whose fields each edit one
// property of the objects the container hands over. Activating the page
// reads the properties into the fields; Apply writes back the fields whose
// values changed, by property name through the objects' dispatch interface.
#ifndef TIPCASTER_FRAMEWORK_PROPERTYPAGE_H
#define TIPCASTER_FRAMEWORK_PROPERTYPAGE_H

#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include <cstdint>
#include <string>
#include <vector>

#include "com.h"

namespace com {

enum class FieldKind {
  Text,    // an edit field holding a text property
  Number,  // an edit field holding a number property
  Radio,   // a group of radio buttons; the property is the index of the checked one
  Check,   // a check box; the property is 1 when checked, else 0
};

struct PageField {
  FieldKind kind;
  const char *property;
  std::vector<int> controlIds;  // one, or the radio buttons in value order
};

struct PageLayout {
  int dialogId;
  UINT titleStringId;
  std::vector<PageField> fields;  // in the order they are exchanged
};

class PropertyPage : public SingleInterfaceObject<IPropertyPage> {
 public:
  explicit PropertyPage(const PageLayout &layout);

  STDMETHODIMP SetPageSite(IPropertyPageSite *site) override;
  STDMETHODIMP Activate(HWND parent, LPCRECT rect, BOOL modal) override;
  STDMETHODIMP Deactivate() override;
  STDMETHODIMP GetPageInfo(PROPPAGEINFO *info) override;
  STDMETHODIMP SetObjects(ULONG count, IUnknown **objects) override;
  STDMETHODIMP Show(UINT command) override;
  STDMETHODIMP Move(LPCRECT rect) override;
  STDMETHODIMP IsPageDirty() override;
  STDMETHODIMP Apply() override;
  STDMETHODIMP Help(LPCOLESTR) override { return E_NOTIMPL; }
  STDMETHODIMP TranslateAccelerator(MSG *message) override;

 protected:
  ~PropertyPage() override;

 private:
  // A field's value: the text of a text field, the number of the others.
  struct Value {
    std::string text;
    int32_t number = 0;
    bool operator==(const Value &other) const { return text == other.text && number == other.number; }
  };

  static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
  void ReleaseObjects();
  bool ReadProperty(const PageField &field, Value &value);
  void WriteProperty(const PageField &field, const Value &value);
  void ShowValue(const PageField &field, const Value &value);
  // The field's value now; a radio group with none checked keeps shown.
  Value FieldValue(const PageField &field, const Value &shown);
  void SetDirty();

  const PageLayout &layout_;
  IPropertyPageSite *site_ = nullptr;
  std::vector<IDispatch *> objects_;
  std::vector<Value> loaded_;
  HWND dialog_ = nullptr;
  bool dirty_ = false;
  bool showing_ = false;  // fields being filled; their notifications aren't edits
};

}  // namespace com

#endif
