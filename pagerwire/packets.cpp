#include "packets.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "bytes.h"

namespace icq {

namespace {

constexpr size_t kMax16 = 0xFFFF;
constexpr size_t kMax8 = 0xFF;
// One FLAP frame at its largest; no single packet is larger.
constexpr size_t kMaxFrameSize = kFlapHeaderSize + kMax16;

constexpr uint8_t kChannelSignon = 1;
constexpr uint8_t kChannelSnac = 2;
constexpr uint8_t kChannelSignoff = 4;

constexpr char kClientIdentification[] = "ICQ Inc. - Product of ICQ (TM).2000b.4.63.1.3279.85";
constexpr uint8_t kPasswordKey[16] = {0x9E, 0x41, 0xC7, 0x05, 0x3B, 0xD2, 0x8A, 0x6F,
                                      0x14, 0xE0, 0xB9, 0x7C, 0x52, 0xA3, 0xD8, 0x16};
constexpr uint8_t kMessageCookie[8] = {0x0C, 0x71, 0x88, 0x01, 0x90, 0x45, 0x00, 0x00};

// Meta request types and subtypes.
constexpr uint16_t kMetaOfflineRequest = 0x003C;
constexpr uint16_t kMetaOfflineDelete = 0x003E;
constexpr uint16_t kMetaInfoRequest = 2000;
constexpr uint16_t kMetaSmsSubtype = 0x1482;
constexpr uint16_t kMetaUnregisterSubtype = 0x04C4;

// Writes one packet of a size known up front into a buffer of exactly that
// size. Any field that overflows its length field fails the packet as a
// bad argument; the final check also catches a size counted wrong.
class Builder {
 public:
  explicit Builder(size_t size)
      : size_(size),
        fits_(size <= 2 * kMaxFrameSize),
        bytes_(fits_ ? new (std::nothrow) uint8_t[size] : nullptr),
        writer_(bytes_.get(), bytes_ ? size : 0) {}

  Writer &w() { return writer_; }

  // Fails the packet unless `condition` holds for the arguments.
  void Require(bool condition) { fits_ = fits_ && condition; }

  void Flap(uint16_t &sequence, uint8_t channel, size_t dataLength) {
    Require(dataLength <= kMax16);
    writer_.Byte(kFlapStart);
    writer_.Byte(channel);
    writer_.Be16(sequence++);
    writer_.Be16(uint16_t(dataLength));
  }
  // A FLAP frame on the sign-on channel, with the protocol version 1
  // ahead of `length` bytes of TLVs.
  void Signon(uint16_t &sequence, size_t length) {
    Flap(sequence, kChannelSignon, length + 4);
    writer_.Be32(1);
  }
  void Snac(uint16_t &sequence, uint16_t family, uint16_t subtype, uint32_t requestId,
            size_t dataLength) {
    Flap(sequence, kChannelSnac, dataLength + kSnacHeaderSize);
    writer_.Be16(family);
    writer_.Be16(subtype);
    writer_.Be16(0);
    writer_.Be32(requestId);
  }
  // Most commands carry their subtype as the request id.
  void Snac(uint16_t &sequence, uint16_t family, uint16_t subtype, size_t dataLength) {
    Snac(sequence, family, subtype, subtype, dataLength);
  }
  void TlvHeader(uint16_t type, size_t length) {
    Require(length <= kMax16);
    writer_.Be16(type);
    writer_.Be16(uint16_t(length));
  }
  void TlvBytes(uint16_t type, const void *bytes, size_t length) {
    TlvHeader(type, length);
    writer_.Bytes(bytes, length);
  }
  void TlvText(uint16_t type, const char *text) { TlvBytes(type, text, std::strlen(text)); }
  void TlvU16(uint16_t type, uint16_t value) {
    TlvHeader(type, 2);
    writer_.Be16(value);
  }
  void TlvU32(uint16_t type, uint32_t value) {
    TlvHeader(type, 4);
    writer_.Be32(value);
  }

  Packet Finish() {
    if (!fits_) return Packet(Packet::Fault::badArgument);
    if (!bytes_) return Packet(Packet::Fault::noMemory);
    if (!writer_.ok() || writer_.size() != size_) return Packet(Packet::Fault::badArgument);
    return Packet(std::move(bytes_), size_);
  }

 private:
  size_t size_;
  bool fits_;
  std::unique_ptr<uint8_t[]> bytes_;
  Writer writer_;
};

size_t TlvSize(size_t valueLength) { return 4 + valueLength; }

uint32_t UinNumber(const char *uin) { return uint32_t(std::strtoul(uin, nullptr, 10)); }

// Arguments longer than any length field can carry are refused before
// their sizes are added up, so the sums cannot overflow.
bool Bounded(const char *text) { return std::strlen(text) <= kMax16; }

Packet EmptySnac(uint16_t &flapSequence, uint16_t family, uint16_t subtype) {
  Builder b(kFlapHeaderSize + kSnacHeaderSize);
  b.Snac(flapSequence, family, subtype, 0);
  return b.Finish();
}

Packet OfflineMeta(uint16_t &flapSequence, uint16_t &metaSequence, const char *ownUin,
                   uint16_t metaType) {
  if (!ownUin) return Packet(Packet::Fault::badArgument);
  constexpr size_t kData = 14;
  Builder b(kFlapHeaderSize + kSnacHeaderSize + kData);
  b.Snac(flapSequence, 0x15, 2, kData);
  b.TlvHeader(1, 10);
  b.w().Le16(8);
  b.w().Le32(UinNumber(ownUin));
  b.w().Le16(metaType);
  b.w().Le16(metaSequence++);
  return b.Finish();
}

// The SMS request's XML: fixed markup around the caller's values, which
// are escaped so that '&', '<' and '>' cannot break the document.
struct XmlPiece {
  const char *text;
  size_t length;
  bool escaped;
};

const char *Escape(char c) {
  switch (c) {
    case '&':
      return "&amp;";
    case '<':
      return "&lt;";
    case '>':
      return "&gt;";
    default:
      return nullptr;
  }
}

size_t XmlLength(const XmlPiece &piece) {
  size_t length = 0;
  for (size_t i = 0; i < piece.length; ++i) {
    const char *escape = piece.escaped ? Escape(piece.text[i]) : nullptr;
    length += escape ? std::strlen(escape) : 1;
  }
  return length;
}

void WriteXml(Writer &w, const XmlPiece &piece) {
  for (size_t i = 0; i < piece.length; ++i) {
    const char *escape = piece.escaped ? Escape(piece.text[i]) : nullptr;
    if (escape)
      w.Bytes(escape, std::strlen(escape));
    else
      w.Byte(uint8_t(piece.text[i]));
  }
}

XmlPiece Markup(const char *text) { return {text, std::strlen(text), false}; }
XmlPiece Value(const char *text, size_t length) { return {text, length, true}; }

// "Sun, 06 Nov 1994 08:49:37 GMT"; false when the time can't be converted.
bool FormatSmsTime(time_t now, char *out, size_t size) {
  static const char *const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char *const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  struct tm utc;
#ifdef _WIN32
  const struct tm *converted = gmtime(&now);  // per-thread storage in msvcrt
  if (!converted) return false;
  utc = *converted;
#else
  if (!gmtime_r(&now, &utc)) return false;
#endif
  if (utc.tm_wday < 0 || utc.tm_wday > 6 || utc.tm_mon < 0 || utc.tm_mon > 11) return false;
  int written = std::snprintf(out, size, "%s, %02d %s %d %02d:%02d:%02d GMT", kDays[utc.tm_wday],
                              utc.tm_mday, kMonths[utc.tm_mon], utc.tm_year + 1900, utc.tm_hour,
                              utc.tm_min, utc.tm_sec);
  return written > 0 && size_t(written) < size;
}

}  // namespace

void ScramblePassword(const char *password, size_t length, uint8_t *out) {
  for (size_t i = 0; i < length; ++i) out[i] = uint8_t(password[i]) ^ kPasswordKey[i & 15];
}

Packet BuildHello(uint16_t &flapSequence) {
  Builder b(kFlapHeaderSize + 4);
  b.Signon(flapSequence, 0);
  return b.Finish();
}

Packet BuildLogin(uint16_t &flapSequence, const char *uin, const char *password) {
  if (!uin || !password || !Bounded(uin) || !Bounded(password))
    return Packet(Packet::Fault::badArgument);
  const size_t uinLength = std::strlen(uin);
  const size_t passwordLength = std::strlen(password);
  const size_t tlvs = TlvSize(uinLength) + TlvSize(passwordLength) +
                      TlvSize(sizeof kClientIdentification - 1) + 5 * TlvSize(2) + TlvSize(4) +
                      2 * TlvSize(2);
  Builder b(kFlapHeaderSize + 4 + tlvs);
  b.Signon(flapSequence, tlvs);
  b.TlvText(1, uin);
  // The scrambled password keeps its full length even where a byte
  // scrambles to zero.
  b.TlvHeader(2, passwordLength);
  if (uint8_t *scrambled = b.w().Claim(passwordLength))
    ScramblePassword(password, passwordLength, scrambled);
  b.TlvText(3, kClientIdentification);
  b.TlvU16(0x16, 266);
  b.TlvU16(0x17, 4);
  b.TlvU16(0x18, 63);
  b.TlvU16(0x19, 1);
  b.TlvU16(0x1A, 3279);
  b.TlvU32(0x14, 85);
  b.TlvText(0x0F, "en");
  b.TlvText(0x0E, "us");
  return b.Finish();
}

Packet BuildCookie(uint16_t &flapSequence, const uint8_t *cookie, size_t cookieLength) {
  if (!cookie || cookieLength > kMax16) return Packet(Packet::Fault::badArgument);
  Builder b(kFlapHeaderSize + 4 + TlvSize(cookieLength));
  b.Signon(flapSequence, TlvSize(cookieLength));
  b.TlvBytes(6, cookie, cookieLength);
  return b.Finish();
}

Packet BuildGoodbye(uint16_t &flapSequence) {
  Builder b(kFlapHeaderSize);
  b.Flap(flapSequence, kChannelSignoff, 0);
  return b.Finish();
}

Packet BuildFamilyVersions(uint16_t &flapSequence) {
  static const uint16_t kVersions[10][2] = {{1, 3},   {0x13, 2}, {2, 1},    {3, 1},    {0x15, 1},
                                            {4, 1},   {6, 1},    {9, 1},    {0x0A, 1}, {0x0B, 1}};
  Builder b(kFlapHeaderSize + kSnacHeaderSize + sizeof kVersions);
  b.Snac(flapSequence, 1, 0x17, sizeof kVersions);
  for (const auto &pair : kVersions) {
    b.w().Be16(pair[0]);
    b.w().Be16(pair[1]);
  }
  return b.Finish();
}

Packet BuildRateRequest(uint16_t &flapSequence) { return EmptySnac(flapSequence, 1, 6); }

Packet BuildRateAcknowledge(uint16_t &flapSequence) {
  Builder b(kFlapHeaderSize + kSnacHeaderSize + 10);
  b.Snac(flapSequence, 1, 8, 10);
  for (uint16_t rateClass = 1; rateClass <= 5; ++rateClass) b.w().Be16(rateClass);
  return b.Finish();
}

Packet BuildSelfInfoRequest(uint16_t &flapSequence) { return EmptySnac(flapSequence, 1, 0x0E); }

Packet BuildPrivacyRequest(uint16_t &flapSequence) { return EmptySnac(flapSequence, 9, 5); }

Packet BuildReadyPair(uint16_t &flapSequence) {
  // family, version, tool id, tool version
  static const uint16_t kFamilies[8][4] = {
      {1, 3, 0x0110, 0x028A},    {2, 1, 0x0101, 0x028A}, {3, 1, 0x0110, 0x028A},
      {0x15, 1, 0x0110, 0x028A}, {4, 1, 0x0110, 0x028A}, {6, 1, 0x0110, 0x028A},
      {9, 1, 0x0110, 0x028A},    {0x0A, 1, 0x0110, 0x028A}};
  Builder b(2 * (kFlapHeaderSize + kSnacHeaderSize) + sizeof kFamilies);
  b.Snac(flapSequence, 1, 0x1E, 0);
  b.Snac(flapSequence, 1, 2, sizeof kFamilies);
  for (const auto &entry : kFamilies)
    for (uint16_t field : entry) b.w().Be16(field);
  return b.Finish();
}

Packet BuildMessage(uint16_t &flapSequence, const char *targetUin, const char *text) {
  if (!targetUin || !text || !Bounded(targetUin) || !Bounded(text))
    return Packet(Packet::Fault::badArgument);
  const size_t uinLength = std::strlen(targetUin);
  const size_t textLength = std::strlen(text);
  const size_t fragment = 13 + textLength;
  const size_t data = kSnacHeaderSize + sizeof kMessageCookie + 2 + 1 + uinLength +
                      TlvSize(fragment) + TlvSize(0);
  Builder b(kFlapHeaderSize + data);
  b.Require(uinLength <= kMax8);
  b.Snac(flapSequence, 4, 6, 0x00010006, data - kSnacHeaderSize);
  b.w().Bytes(kMessageCookie, sizeof kMessageCookie);
  b.w().Be16(1);  // plain-text message channel
  b.w().Byte(uint8_t(uinLength));
  b.w().Bytes(targetUin, uinLength);
  b.TlvHeader(2, fragment);
  static const uint8_t kCapabilities[] = {0x05, 0x01, 0x00, 0x01, 0x01, 0x01, 0x01};
  b.w().Bytes(kCapabilities, sizeof kCapabilities);
  b.w().Be16(uint16_t(textLength + 4));
  b.w().Be16(0);  // character set
  b.w().Be16(0);  // character subset
  b.w().Bytes(text, textLength);
  b.TlvHeader(6, 0);
  return b.Finish();
}

Packet BuildOfflineRequest(uint16_t &flapSequence, uint16_t &metaSequence, const char *ownUin) {
  return OfflineMeta(flapSequence, metaSequence, ownUin, kMetaOfflineRequest);
}

Packet BuildOfflineDelete(uint16_t &flapSequence, uint16_t &metaSequence, const char *ownUin) {
  return OfflineMeta(flapSequence, metaSequence, ownUin, kMetaOfflineDelete);
}

Packet BuildSms(uint16_t &flapSequence, uint16_t &metaSequence, const char *ownUin,
                const char *nickname, const char *phone, const char *text, time_t now) {
  if (!ownUin || !nickname || !phone || !text || !Bounded(ownUin) || !Bounded(nickname) ||
      !Bounded(phone) || !Bounded(text))
    return Packet(Packet::Fault::badArgument);
  char sent[40];
  if (!FormatSmsTime(now, sent, sizeof sent)) return Packet(Packet::Fault::badArgument);
  // The text is cut by length only: the caller's text is never written to.
  const size_t textLength = std::min(std::strlen(text), kSmsTextLimit);
  const XmlPiece xml[] = {
      Markup("<icq_sms_message><destination>"),
      Value(phone, std::strlen(phone)),
      Markup("</destination><text>"),
      Value(text, textLength),
      Markup("</text><codepage>1250</codepage><senders_UIN>"),
      Markup(ownUin),
      Markup("</senders_UIN><senders_name>"),
      Value(nickname, std::strlen(nickname)),
      Markup("</senders_name><delivery_receipt>Yes</delivery_receipt><time>"),
      Markup(sent),
      Markup("</time></icq_sms_message>"),
  };
  size_t xmlLength = 0;
  for (const XmlPiece &piece : xml) xmlLength += XmlLength(piece);

  const size_t tlv = xmlLength + 37;
  Builder b(kFlapHeaderSize + kSnacHeaderSize + TlvSize(tlv));
  b.Snac(flapSequence, 0x15, 2, 0x00010002, TlvSize(tlv));
  b.TlvHeader(1, tlv);
  b.w().Le16(uint16_t(xmlLength + 35));
  b.w().Le32(UinNumber(ownUin));
  b.w().Le16(kMetaInfoRequest);
  b.w().Le16(metaSequence++);
  b.w().Le16(kMetaSmsSubtype);
  b.w().Be16(1);
  b.w().Be16(0x0016);
  b.w().Zeros(16);
  b.w().Be32(uint32_t(xmlLength + 1));
  for (const XmlPiece &piece : xml) WriteXml(b.w(), piece);
  b.w().Byte(0);
  return b.Finish();
}

Packet BuildUnregister(uint16_t &flapSequence, uint16_t &metaSequence, const char *ownUin,
                       const char *password) {
  if (!ownUin || !password || !Bounded(password)) return Packet(Packet::Fault::badArgument);
  const size_t passwordLength = std::strlen(password);
  const size_t tlv = passwordLength + 19;
  const uint16_t sequence = metaSequence++;
  const uint32_t uin = UinNumber(ownUin);
  Builder b(kFlapHeaderSize + kSnacHeaderSize + TlvSize(tlv));
  b.Snac(flapSequence, 0x15, 2, uint32_t(sequence) << 16 | 2, TlvSize(tlv));
  b.TlvHeader(1, tlv);
  b.w().Le16(uint16_t(passwordLength + 17));
  b.w().Le32(uin);
  b.w().Le16(kMetaInfoRequest);
  b.w().Le16(uint16_t(sequence + 3));
  b.w().Le16(kMetaUnregisterSubtype);
  b.w().Le32(uin);
  b.w().Le16(uint16_t(passwordLength + 1));
  b.w().Bytes(password, passwordLength + 1);  // with its terminator
  return b.Finish();
}

Packet BuildRegistration(uint16_t &flapSequence, const char *password) {
  if (!password || !Bounded(password)) return Packet(Packet::Fault::badArgument);
  const size_t passwordLength = std::strlen(password);
  const size_t data = passwordLength + 55;
  Builder b(kFlapHeaderSize + kSnacHeaderSize + data);
  b.Snac(flapSequence, 0x17, 4, 0, data);
  // The TLV's length field is the fixed value servers expect, whatever
  // the password's length.
  b.w().Be16(1);
  b.w().Be16(0x003A);
  b.w().Be32(0);
  b.w().Be32(0x28000300);
  b.w().Be32(0);
  b.w().Be32(0);
  b.w().Be32(kRegistrationCookie);
  b.w().Be32(kRegistrationCookie);
  b.w().Zeros(16);
  b.w().Le16(uint16_t(passwordLength + 1));
  b.w().Bytes(password, passwordLength + 1);  // with its terminator
  b.w().Be32(kRegistrationCookie);
  b.w().Be32(0x0000CF01);
  return b.Finish();
}

}  // namespace icq
