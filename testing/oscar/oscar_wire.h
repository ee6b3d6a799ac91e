// The fake OSCAR service's own encoder and decoder, written from the packet
// layouts and kept apart from the library under test: FLAP frames, SNAC
// commands, TLV fields, the service's replies and the fields of the ICQ
// meta requests the client sends.
#ifndef NETMON_TESTING_OSCAR_WIRE_H
#define NETMON_TESTING_OSCAR_WIRE_H

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace oscar {

std::string Be16(uint16_t value);
std::string Be32(uint32_t value);
std::string Le16(uint16_t value);
std::string Le32(uint32_t value);
// Reads at `offset`; 0 past the end.
uint16_t GetBe16(const std::string &bytes, size_t offset);
uint32_t GetBe32(const std::string &bytes, size_t offset);
uint16_t GetLe16(const std::string &bytes, size_t offset);
uint32_t GetLe32(const std::string &bytes, size_t offset);

std::string Flap(uint8_t channel, const std::string &data, uint16_t sequence = 0x4A4A);
// A FLAP frame on channel 2 carrying one SNAC command.
std::string SnacFrame(uint16_t family, uint16_t subtype, const std::string &data,
                      uint32_t requestId = 0);
std::string Tlv(uint16_t type, const std::string &value);

// Replies of the service.
std::string Hello();
std::string LoginAccepted(const std::string &uin, const std::string &bosAddress,
                          const std::string &cookie);
// A refusal; withUrl puts the TLV 4 web address ahead of the error.
std::string LoginRefused(const std::string &uin, uint16_t error, bool withUrl);
std::string MessageAck(const std::string &targetUin, uint16_t channel = 1);
// An incoming message on message channel `channel` (1 text, 4 ICQ-specific).
std::string IncomingMessage(uint16_t channel, const std::string &text);
// A meta reply (SNAC 0x15, 3) of `type` with `body` after the sequence.
std::string MetaReply(uint32_t uin, uint16_t type, uint16_t sequence, const std::string &body);
std::string OfflineMessage(uint32_t uin, uint16_t sequence, const std::string &text);
std::string OfflineEnd(uint32_t uin, uint16_t sequence);
// An SMS reply of `subtype` (0x96 carries the XML answer).
std::string SmsReply(uint32_t uin, uint16_t sequence, uint16_t subtype, const std::string &xml);
std::string RegistrationReply(uint32_t newUin, uint32_t cookie);

// A frame as the client sent it.
struct Frame {
  std::string raw;
  uint8_t channel = 0;
  uint16_t sequence = 0;
  std::string data;  // after the FLAP header
  // SNAC fields when the channel is 2 and the data holds a SNAC header.
  bool snac = false;
  uint16_t family = 0, subtype = 0, flags = 0;
  uint32_t requestId = 0;
  std::string body;  // after the SNAC header
};
// The length of the whole frame at the start of `bytes`, 0 while it is
// incomplete; false when `bytes` does not start with a FLAP frame.
bool WholeFrame(const std::string &bytes, size_t &length);
Frame ParseFrame(const std::string &raw);

// The TLVs of `bytes` from `offset` on, in order; stops at a short one.
std::vector<std::pair<uint16_t, std::string>> Tlvs(const std::string &bytes, size_t offset = 0);
std::string TlvValue(const std::string &bytes, uint16_t type, size_t offset = 0);

// The ICQ meta request inside a SNAC (0x15, 2) body.
struct MetaRequest {
  uint16_t tlvLength = 0, chunkSize = 0;
  uint32_t uin = 0;
  uint16_t type = 0, sequence = 0, subtype = 0;  // subtype for type 2000
  std::string value;  // the whole TLV 1 value
};
MetaRequest ParseMeta(const Frame &frame);

// Writes `bytes` as spaced hex pairs, for test messages.
std::string Hex(const std::string &bytes);

}  // namespace oscar

#endif
