// Reading the arguments of an automation call and setting its result.
// Arguments are numbered in declaration order; each is converted to the
// declared type, as automation does for a late-bound caller.
#ifndef TIPCASTER_FRAMEWORK_DISPATCH_H
#define TIPCASTER_FRAMEWORK_DISPATCH_H

#include <windows.h>
#include <ole2.h>

#include <cstdint>
#include <string>

namespace com {

class DispatchArgs {
 public:
  explicit DispatchArgs(DISPPARAMS *params) : params_(params) {}
  // Each returns false (and records the argument) when it is missing or
  // cannot be converted.
  bool Long(UINT index, int32_t &out);
  bool Short(UINT index, int16_t &out);
  bool Text(UINT index, std::string &out);
  bool Unknown(UINT index, IUnknown *&out);  // out is AddRef'd
  UINT failedArgument() const { return failed_; }

 private:
  bool Get(UINT index, VARTYPE type, VARIANT &out);
  DISPPARAMS *params_;
  UINT failed_ = 0;
};

void SetResultBool(VARIANT *result, bool value);
void SetResultLong(VARIANT *result, int32_t value);
void SetResultShort(VARIANT *result, int16_t value);
void SetResultText(VARIANT *result, const std::string &value);

}  // namespace com

#endif
