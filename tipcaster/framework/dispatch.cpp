#include "dispatch.h"

#include "com.h"

namespace com {

bool DispatchArgs::Get(UINT index, VARTYPE type, VARIANT &out) {
  VariantInit(&out);
  failed_ = index;
  if (!params_ || index >= params_->cArgs) return false;
  // The arguments come last to first.
  VARIANT &given = params_->rgvarg[params_->cArgs - 1 - index];
  return SUCCEEDED(VariantChangeType(&out, &given, 0, type));
}

bool DispatchArgs::Long(UINT index, int32_t &out) {
  VARIANT value;
  if (!Get(index, VT_I4, value)) return false;
  out = value.lVal;
  return true;
}

bool DispatchArgs::Short(UINT index, int16_t &out) {
  VARIANT value;
  if (!Get(index, VT_I2, value)) return false;
  out = value.iVal;
  return true;
}

bool DispatchArgs::Text(UINT index, std::string &out) {
  VARIANT value;
  if (!Get(index, VT_BSTR, value)) return false;
  out = ToAnsi(value.bstrVal);
  VariantClear(&value);
  return true;
}

bool DispatchArgs::Unknown(UINT index, IUnknown *&out) {
  VARIANT value;
  if (!Get(index, VT_UNKNOWN, value)) return false;
  out = value.punkVal;  // the reference moves to the caller
  return out != nullptr;
}

void SetResultBool(VARIANT *result, bool value) {
  if (!result) return;
  result->vt = VT_BOOL;
  result->boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

void SetResultLong(VARIANT *result, int32_t value) {
  if (!result) return;
  result->vt = VT_I4;
  result->lVal = value;
}

void SetResultShort(VARIANT *result, int16_t value) {
  if (!result) return;
  result->vt = VT_I2;
  result->iVal = value;
}

void SetResultText(VARIANT *result, const std::string &value) {
  if (!result) return;
  result->vt = VT_BSTR;
  result->bstrVal = ToBstr(value);
}

}  // namespace com
