#include "core/exceptions.h"

#include "core/translator.h"

namespace install {

IException::IException(const std::string& message)
    : ECustomQuendricAbnormal(TranslateString(message)) {}

IException::IException(const std::string& pattern, const std::vector<FormatArg>& args)
    : ECustomQuendricAbnormal(pattern) {
  try {
    SetMessage(forms::Format(TranslateString(pattern), args));
  } catch (const forms::EConvertError&) {
    SetMessage(forms::Format(pattern, args));
  }
}

}  // namespace install
