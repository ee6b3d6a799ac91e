#include "oscar_wire.h"

#include <cstdio>

namespace oscar {

namespace {

const std::string kMessageCookie("\x11\x22\x33\x44\x55\x66\x77\x88", 8);

uint8_t At(const std::string &bytes, size_t offset) {
  return offset < bytes.size() ? static_cast<uint8_t>(bytes[offset]) : 0;
}

}  // namespace

std::string Be16(uint16_t value) {
  return {static_cast<char>(value >> 8), static_cast<char>(value & 0xFF)};
}
std::string Be32(uint32_t value) { return Be16(uint16_t(value >> 16)) + Be16(uint16_t(value)); }
std::string Le16(uint16_t value) {
  return {static_cast<char>(value & 0xFF), static_cast<char>(value >> 8)};
}
std::string Le32(uint32_t value) { return Le16(uint16_t(value)) + Le16(uint16_t(value >> 16)); }

uint16_t GetBe16(const std::string &b, size_t o) { return uint16_t(At(b, o) << 8 | At(b, o + 1)); }
uint32_t GetBe32(const std::string &b, size_t o) {
  return uint32_t(GetBe16(b, o)) << 16 | GetBe16(b, o + 2);
}
uint16_t GetLe16(const std::string &b, size_t o) { return uint16_t(At(b, o + 1) << 8 | At(b, o)); }
uint32_t GetLe32(const std::string &b, size_t o) {
  return uint32_t(GetLe16(b, o + 2)) << 16 | GetLe16(b, o);
}

std::string Flap(uint8_t channel, const std::string &data, uint16_t sequence) {
  return std::string{'\x2A', static_cast<char>(channel)} + Be16(sequence) +
         Be16(uint16_t(data.size())) + data;
}

std::string SnacFrame(uint16_t family, uint16_t subtype, const std::string &data,
                      uint32_t requestId) {
  return Flap(2, Be16(family) + Be16(subtype) + Be16(0) + Be32(requestId) + data);
}

std::string Tlv(uint16_t type, const std::string &value) {
  return Be16(type) + Be16(uint16_t(value.size())) + value;
}

std::string Hello() { return Flap(1, Be32(1)); }

std::string LoginAccepted(const std::string &uin, const std::string &bosAddress,
                          const std::string &cookie) {
  return Flap(4, Tlv(1, uin) + Tlv(5, bosAddress) + Tlv(6, cookie));
}

std::string LoginRefused(const std::string &uin, uint16_t error, bool withUrl) {
  std::string url = withUrl ? Tlv(4, "http://www.icq.com/password/") : "";
  return Flap(4, Tlv(1, uin) + url + Tlv(8, Be16(error)));
}

std::string MessageAck(const std::string &targetUin, uint16_t channel) {
  return SnacFrame(4, 0x0C, kMessageCookie + Be16(channel) +
                                static_cast<char>(targetUin.size()) + targetUin);
}

std::string IncomingMessage(uint16_t channel, const std::string &text) {
  return SnacFrame(4, 7, kMessageCookie + Be16(channel) + text);
}

std::string MetaReply(uint32_t uin, uint16_t type, uint16_t sequence, const std::string &body) {
  std::string meta = Le32(uin) + Le16(type) + Le16(sequence) + body;
  return SnacFrame(0x15, 3, Tlv(1, Le16(uint16_t(meta.size())) + meta), 0x00010002);
}

std::string OfflineMessage(uint32_t uin, uint16_t sequence, const std::string &text) {
  std::string body = Le32(99999) + Le16(2026) + "\x0C\x0A\x0A\x1E" + "\x01\x00" +
                     Le16(uint16_t(text.size() + 1)) + text + std::string(1, '\0');
  return MetaReply(uin, 0x41, sequence, body);
}

std::string OfflineEnd(uint32_t uin, uint16_t sequence) {
  return MetaReply(uin, 0x42, sequence, std::string(1, '\0'));
}

std::string SmsReply(uint32_t uin, uint16_t sequence, uint16_t subtype, const std::string &xml) {
  // success byte, then fields up to the XML's length, 15 bytes in all
  std::string preamble = std::string(1, '\x0A') + Be16(0) + Be16(1) + Be16(0x96) +
                         std::string(6, '\0') + Be16(uint16_t(xml.size()));
  return MetaReply(uin, 0x07DA, sequence, Le16(subtype) + preamble + xml);
}

std::string RegistrationReply(uint32_t newUin, uint32_t cookie) {
  std::string body = Be16(1) + Be16(0x42) + std::string(42, '\0');  // 46 bytes before the UIN
  return SnacFrame(0x17, 5, body + Le32(newUin) + Be32(cookie) + std::string(8, '\0'));
}

bool WholeFrame(const std::string &bytes, size_t &length) {
  length = 0;
  if (bytes.empty()) return true;
  if (At(bytes, 0) != 0x2A) return false;
  if (bytes.size() < 6) return true;
  const size_t frame = 6 + GetBe16(bytes, 4);
  if (bytes.size() >= frame) length = frame;
  return true;
}

Frame ParseFrame(const std::string &raw) {
  Frame f;
  f.raw = raw;
  f.channel = At(raw, 1);
  f.sequence = GetBe16(raw, 2);
  f.data = raw.size() > 6 ? raw.substr(6) : "";
  if (f.channel == 2 && f.data.size() >= 10) {
    f.snac = true;
    f.family = GetBe16(f.data, 0);
    f.subtype = GetBe16(f.data, 2);
    f.flags = GetBe16(f.data, 4);
    f.requestId = GetBe32(f.data, 6);
    f.body = f.data.substr(10);
  }
  return f;
}

std::vector<std::pair<uint16_t, std::string>> Tlvs(const std::string &bytes, size_t offset) {
  std::vector<std::pair<uint16_t, std::string>> tlvs;
  while (offset + 4 <= bytes.size()) {
    const uint16_t type = GetBe16(bytes, offset);
    const size_t length = GetBe16(bytes, offset + 2);
    if (offset + 4 + length > bytes.size()) break;
    tlvs.emplace_back(type, bytes.substr(offset + 4, length));
    offset += 4 + length;
  }
  return tlvs;
}

std::string TlvValue(const std::string &bytes, uint16_t type, size_t offset) {
  for (const auto &tlv : Tlvs(bytes, offset))
    if (tlv.first == type) return tlv.second;
  return {};
}

MetaRequest ParseMeta(const Frame &frame) {
  MetaRequest meta;
  meta.tlvLength = GetBe16(frame.body, 2);
  meta.value = frame.body.size() > 4 ? frame.body.substr(4) : "";
  meta.chunkSize = GetLe16(meta.value, 0);
  meta.uin = GetLe32(meta.value, 2);
  meta.type = GetLe16(meta.value, 6);
  meta.sequence = GetLe16(meta.value, 8);
  meta.subtype = GetLe16(meta.value, 10);
  return meta;
}

std::string Hex(const std::string &bytes) {
  std::string text;
  char pair[4];
  for (unsigned char c : bytes) {
    std::snprintf(pair, sizeof pair, "%02X ", c);
    text += pair;
  }
  if (!text.empty()) text.pop_back();
  return text;
}

}  // namespace oscar
