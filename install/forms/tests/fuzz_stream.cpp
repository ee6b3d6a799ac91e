// Feeds arbitrary text to the stored-stream reader: it must either load or
// raise a layer exception, never crash or leak; what loads must write out
// and read back to the same text.
#include <cstddef>
#include <cstdint>
#include <string>

#include "stream.h"
#include "widgets.h"

namespace {

// Reads text into a new form and writes it out again; empty when the text
// does not load.
std::string ReadAndWrite(const std::string& text, bool& loaded) {
  auto* form = forms::New<forms_test::TTestForm>(nullptr);
  std::string written;
  loaded = false;
  try {
    forms::ReadComponent(*form, text);
    written = forms::WriteComponent(*form);
    loaded = true;
  } catch (const forms::Exception&) {
  }
  forms::Free(form);
  return written;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool registered = (forms_test::RegisterTestClasses(), true);
  (void)registered;
  forms_test::Journal().clear();
  bool loaded = false;
  std::string written = ReadAndWrite(std::string(reinterpret_cast<const char*>(data), size), loaded);
  if (!loaded) return 0;
  bool reloaded = false;
  if (ReadAndWrite(written, reloaded) != written || !reloaded) __builtin_trap();
  return 0;
}
