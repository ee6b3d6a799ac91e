// Readers of what the ICQ service sends: the classifier that names one
// received FLAP frame for the flows, the login reply reader and the
// registration reply reader. Every reader checks the remaining length
// before each field and never reads beyond the length it is given.
#ifndef PAGERWIRE_REPLIES_H
#define PAGERWIRE_REPLIES_H

#include <cstddef>
#include <cstdint>
#include <memory>

namespace icq {

// What the classifier makes of one frame.
enum FrameKind : int {
  kUnusable = 10,          // too short, not a FLAP frame, sign-off channel
  kAcknowledged = 11,      // message acknowledgement naming the target UIN
  kServerHello = 12,
  kHostOnline = 13,        // SNAC (1, 3)
  kVersionsAccepted = 14,  // SNAC (1, 0x18)
  kRateInfo = 15,          // SNAC (1, 7)
  kSelfInfo = 16,          // SNAC (1, 0x0F)
  kOther = 18,
  kSmsDelivered = 19,      // delivery receipt saying yes
  kSmsNotDelivered = 20,
  kSmsDeliverable = 21,    // SMS reply saying deliverable
  kIncomingMessage = 22,
  kOfflineMessage = 23,    // an offline message or their end
};

// `targetUin` (may be null) is the UIN an acknowledgement must name.
FrameKind Classify(const uint8_t *frame, size_t length, const char *targetUin);

// Where the login server sends the client next.
struct LoginTicket {
  static constexpr size_t kHostSize = 18;  // host text with its terminator
  char host[kHostSize] = {};
  uint16_t port = 0;
  std::unique_ptr<uint8_t[]> cookie;
  size_t cookieLength = 0;
};

// Login reply results besides the refusal codes.
constexpr int kLoginAccepted = 1;
constexpr int kLoginUnreadable = 0;
// 1 with the ticket filled in, a refusal code (-9, -10 wrong password,
// -11 rate limit), or 0 when the frame is no readable login reply.
int ReadLoginReply(const uint8_t *frame, size_t length, LoginTicket &ticket);

struct RegistrationReply {
  enum class Kind { notTheReply, wrongCookie, accepted };
  Kind kind = Kind::notTheReply;
  uint32_t uin = 0;  // the new UIN when accepted
};
RegistrationReply ReadRegistrationReply(const uint8_t *frame, size_t length);

}  // namespace icq

#endif
