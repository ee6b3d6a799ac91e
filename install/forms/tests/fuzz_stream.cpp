// Feeds arbitrary text to the stored-stream reader: it must either load or
// raise EReadError (or another layer exception), never crash or leak.
#include <cstddef>
#include <cstdint>
#include <string>

#include "stream.h"
#include "widgets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool registered = (forms_test::RegisterTestClasses(), true);
  (void)registered;
  forms_test::Journal().clear();
  auto* form = forms::New<forms_test::TTestForm>(nullptr);
  try {
    forms::ReadComponent(*form, std::string(reinterpret_cast<const char*>(data), size));
  } catch (const forms::Exception&) {
  }
  forms::Free(form);
  return 0;
}
