// Any frame a BOS server could send, through the classifier.
#include "replies.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  icq::Classify(data, size, "4711");
  return 0;
}
