// Login replies from a hostile or broken login server.
#include "replies.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  icq::LoginTicket ticket;
  icq::ReadLoginReply(data, size, ticket);
  return 0;
}
