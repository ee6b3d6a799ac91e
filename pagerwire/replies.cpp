#include "replies.h"

#include <cstring>
#include <new>

#include "bytes.h"
#include "pagerwire.h"
#include "packets.h"

namespace icq {

namespace {

constexpr size_t kMessageCookieSize = 8;

// Meta reply types (little-endian on the wire) and SMS reply subtypes.
constexpr uint16_t kMetaOfflineMessage = 0x41;
constexpr uint16_t kMetaOfflineEnd = 0x42;
constexpr uint16_t kMetaInfoReply = 0x07DA;
constexpr uint16_t kSmsFailed = 0x0001;
constexpr uint16_t kSmsRefused = 0x0064;
constexpr uint16_t kSmsReply = 0x0096;
// Bytes of an SMS reply between its subtype and its XML text.
constexpr size_t kSmsReplyPreamble = 15;

// Bytes ahead of the meta type in a meta reply's SNAC data: TLV header,
// LE16 chunk size, LE32 UIN.
constexpr size_t kMetaTypeOffset = 10;

// Registration reply: the new UIN sits this far into the SNAC data.
constexpr size_t kNewUinOffset = 46;

// Reads a FLAP header and answers its channel and a reader over exactly
// its data; false when the frame is short or its length runs past the end.
bool OpenFlap(const uint8_t *frame, size_t length, uint8_t &channel, Reader &data) {
  if (!frame) return false;
  Reader r(frame, length);
  uint8_t start;
  uint16_t sequence, dataLength;
  const uint8_t *bytes;
  if (!r.Byte(start) || start != kFlapStart || !r.Byte(channel) || !r.Be16(sequence) ||
      !r.Be16(dataLength) || !r.Bytes(dataLength, bytes))
    return false;
  data = Reader(bytes, dataLength);
  return true;
}

bool OpenSnac(Reader &data, uint16_t &family, uint16_t &subtype) {
  return data.remaining() >= kSnacHeaderSize && data.Be16(family) && data.Be16(subtype) &&
         data.Skip(6);
}

// Whether the first `marker` in the rest of `data` is followed by `next`.
bool MarkerFollowedBy(const Reader &data, const char *marker, const char *next) {
  const size_t markerLength = std::strlen(marker), nextLength = std::strlen(next);
  const uint8_t *p = data.position();
  const size_t n = data.remaining();
  for (size_t i = 0; markerLength <= n && i <= n - markerLength; ++i) {
    if (std::memcmp(p + i, marker, markerLength) != 0) continue;
    const size_t after = i + markerLength;
    return nextLength <= n - after && std::memcmp(p + after, next, nextLength) == 0;
  }
  return false;
}

FrameKind ClassifyService(uint16_t subtype) {
  switch (subtype) {
    case 3:
      return kHostOnline;
    case 7:
      return kRateInfo;
    case 0x0F:
      return kSelfInfo;
    case 0x18:
      return kVersionsAccepted;
    default:
      return kOther;
  }
}

FrameKind ClassifyIncoming(Reader &data) {
  uint16_t channel;
  if (!data.Skip(kMessageCookieSize) || !data.Be16(channel)) return kUnusable;
  if (channel == 1) return kIncomingMessage;
  if (channel == 4)
    return MarkerFollowedBy(data, "<delivered>", "Ye") ? kSmsDelivered : kSmsNotDelivered;
  return kOther;
}

FrameKind ClassifyAcknowledgement(Reader &data, const char *targetUin) {
  uint16_t channel;
  uint8_t uinLength;
  const uint8_t *uin;
  if (data.remaining() < 12 || !data.Skip(kMessageCookieSize) || !data.Be16(channel))
    return kUnusable;
  if (channel != 1) return kOther;
  if (!data.Byte(uinLength) || !data.Bytes(uinLength, uin)) return kUnusable;
  const bool named = targetUin && std::strlen(targetUin) == uinLength &&
                     std::memcmp(targetUin, uin, uinLength) == 0;
  return named ? kAcknowledged : kOther;
}

FrameKind ClassifyMetaReply(Reader &data) {
  uint16_t type, sequence, subtype;
  if (!data.Skip(kMetaTypeOffset) || !data.Le16(type)) return kUnusable;
  if (type == kMetaOfflineMessage || type == kMetaOfflineEnd) return kOfflineMessage;
  if (type != kMetaInfoReply) return kOther;
  if (!data.Le16(sequence) || !data.Le16(subtype)) return kUnusable;
  if (subtype == kSmsFailed || subtype == kSmsRefused) return kSmsNotDelivered;
  if (subtype != kSmsReply) return kOther;
  if (!data.Skip(kSmsReplyPreamble)) return kSmsNotDelivered;
  return MarkerFollowedBy(data, "<deliverable>", "Ye") ? kSmsDeliverable : kSmsNotDelivered;
}

FrameKind ClassifySnac(Reader &data, const char *targetUin) {
  uint16_t family, subtype;
  if (!OpenSnac(data, family, subtype)) return kUnusable;
  if (family == 1) return ClassifyService(subtype);
  if (family == 2) return subtype == 1 ? kUnusable : kOther;
  if (family == 4 && subtype == 7) return ClassifyIncoming(data);
  if (family == 4 && subtype == 0x0C) return ClassifyAcknowledgement(data, targetUin);
  if (family == 0x15 && subtype == 3) return ClassifyMetaReply(data);
  return kOther;
}

// Reads a TLV of the expected type and points `value` at its bytes.
bool ReadTlv(Reader &r, uint16_t type, const uint8_t *&value, uint16_t &length) {
  uint16_t found;
  return r.Be16(found) && found == type && r.Be16(length) && r.Bytes(length, value);
}

int LoginErrorCode(uint16_t error) {
  if (error == 5) return ICQ_ERR_WRONG_PASSWORD;
  if (error == 0x18) return ICQ_ERR_RATE_LIMITED;
  return ICQ_ERR_LOGIN_REFUSED;
}

// "host:port" with a host that fits the ticket and a port of 1..65535.
bool ReadBosAddress(const uint8_t *text, size_t length, LoginTicket &ticket) {
  constexpr size_t kAddressLimit = 21;
  if (length > kAddressLimit) return false;
  const void *colon = std::memchr(text, ':', length);
  if (!colon) return false;
  const size_t hostLength = size_t(static_cast<const uint8_t *>(colon) - text);
  if (hostLength == 0 || hostLength >= LoginTicket::kHostSize) return false;
  uint32_t port = 0;
  size_t digits = 0;
  for (size_t i = hostLength + 1; i < length; ++i, ++digits) {
    if (text[i] < '0' || text[i] > '9') return false;
    port = port * 10 + uint32_t(text[i] - '0');
    if (port > 0xFFFF) return false;
  }
  if (digits == 0 || port == 0) return false;
  std::memcpy(ticket.host, text, hostLength);
  ticket.host[hostLength] = '\0';
  ticket.port = uint16_t(port);
  return true;
}

}  // namespace

FrameKind Classify(const uint8_t *frame, size_t length, const char *targetUin) {
  uint8_t channel;
  Reader data(nullptr, 0);
  if (length < 6 || !OpenFlap(frame, length, channel, data)) return kUnusable;
  switch (channel) {
    case 1: {
      static const uint8_t kHello[4] = {0, 0, 0, 1};
      const uint8_t *version;
      return data.Bytes(4, version) && std::memcmp(version, kHello, 4) == 0 ? kServerHello
                                                                              : kOther;
    }
    case 2:
      return ClassifySnac(data, targetUin);
    case 3:
      return kOther;
    default:
      return kUnusable;
  }
}

int ReadLoginReply(const uint8_t *frame, size_t length, LoginTicket &ticket) {
  uint8_t channel;
  Reader r(nullptr, 0);
  if (!OpenFlap(frame, length, channel, r) || channel != 4) return kLoginUnreadable;
  const uint8_t *value;
  uint16_t valueLength, nextType;
  if (!ReadTlv(r, 1, value, valueLength) || !r.PeekBe16(nextType)) return kLoginUnreadable;

  if (nextType == 5) {
    const uint8_t *address, *cookie;
    uint16_t addressLength, cookieLength;
    if (!ReadTlv(r, 5, address, addressLength) || !ReadBosAddress(address, addressLength, ticket) ||
        !ReadTlv(r, 6, cookie, cookieLength))
      return kLoginUnreadable;
    ticket.cookie.reset(new (std::nothrow) uint8_t[cookieLength ? cookieLength : 1]);
    if (!ticket.cookie) return kLoginUnreadable;
    if (cookieLength) std::memcpy(ticket.cookie.get(), cookie, cookieLength);
    ticket.cookieLength = cookieLength;
    return kLoginAccepted;
  }

  // A refusal: an optional TLV 4 (a web address), then the error TLV 8.
  if (nextType == 4 && !ReadTlv(r, 4, value, valueLength)) return kLoginUnreadable;
  uint16_t error;
  if (!ReadTlv(r, 8, value, valueLength)) return kLoginUnreadable;
  Reader errorValue(value, valueLength);
  if (!errorValue.Be16(error)) return kLoginUnreadable;
  return LoginErrorCode(error);
}

RegistrationReply ReadRegistrationReply(const uint8_t *frame, size_t length) {
  RegistrationReply reply;
  uint8_t channel;
  uint16_t family, subtype;
  uint32_t uin, cookie;
  Reader data(nullptr, 0);
  if (!OpenFlap(frame, length, channel, data) || channel != 2 || !OpenSnac(data, family, subtype) ||
      family != 0x17 || subtype != 5 || !data.Skip(kNewUinOffset) || !data.Le32(uin) ||
      !data.Be32(cookie))
    return reply;
  reply.kind = cookie == kRegistrationCookie ? RegistrationReply::Kind::accepted
                                             : RegistrationReply::Kind::wrongCookie;
  reply.uin = uin;
  return reply;
}

}  // namespace icq
