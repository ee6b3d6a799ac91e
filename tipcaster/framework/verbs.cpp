#include "verbs.h"

#include <olectl.h>

#include "com.h"

namespace com {
namespace {

const OLEVERB kVerbs[] = {
    {OLEIVERB_PRIMARY, const_cast<LPOLESTR>(L"&Edit"), 0, OLEVERBATTRIB_ONCONTAINERMENU},
    {OLEIVERB_PROPERTIES, const_cast<LPOLESTR>(L"&Properties..."), 0, OLEVERBATTRIB_ONCONTAINERMENU},
};
const ULONG kVerbCount = sizeof kVerbs / sizeof kVerbs[0];

class VerbEnumerator final : public SingleInterfaceObject<IEnumOLEVERB> {
 public:
  explicit VerbEnumerator(ULONG next = 0) : SingleInterfaceObject(IID_IEnumOLEVERB), next_(next) {}

  // The caller frees each name with CoTaskMemFree.
  STDMETHODIMP Next(ULONG wanted, OLEVERB *verbs, ULONG *fetched) override {
    ULONG given = 0;
    for (; given < wanted && next_ < kVerbCount; ++given, ++next_) {
      verbs[given] = kVerbs[next_];
      size_t bytes = (wcslen(kVerbs[next_].lpszVerbName) + 1) * sizeof(wchar_t);
      verbs[given].lpszVerbName = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
      if (verbs[given].lpszVerbName) memcpy(verbs[given].lpszVerbName, kVerbs[next_].lpszVerbName, bytes);
    }
    if (fetched) *fetched = given;
    return given == wanted ? S_OK : S_FALSE;
  }
  STDMETHODIMP Skip(ULONG count) override {
    next_ = count < kVerbCount - next_ ? next_ + count : kVerbCount;
    return next_ < kVerbCount ? S_OK : S_FALSE;
  }
  STDMETHODIMP Reset() override {
    next_ = 0;
    return S_OK;
  }
  STDMETHODIMP Clone(IEnumOLEVERB **copy) override {
    if (!copy) return E_POINTER;
    *copy = new VerbEnumerator(next_);
    return S_OK;
  }

 private:
  ULONG next_;
};

}  // namespace

HRESULT EnumControlVerbs(IEnumOLEVERB **verbs) {
  if (!verbs) return E_POINTER;
  *verbs = new VerbEnumerator;
  return S_OK;
}

}  // namespace com
