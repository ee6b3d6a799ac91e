// Registration replies from a hostile or broken server.
#include "replies.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  icq::ReadRegistrationReply(data, size);
  return 0;
}
