#include "ping.h"

#include <cstdint>
#include <cstring>

namespace {

const char kPingName[] = "PING";
constexpr int kEchoReplyType = 0;
constexpr int kEchoRequestType = 8;
constexpr int kIcmpHeaderLength = 8;
constexpr int kFillStart = 20, kFillLength = 32;
constexpr unsigned char kFill = 0xAA;
// An IP header (20 bytes) and the ICMP header must arrive before a reply
// is judged.
constexpr int kMinimumReply = 28;

void PutMemoryOrder16(unsigned char *at, uint16_t value) {
  at[0] = static_cast<unsigned char>(value);
  at[1] = static_cast<unsigned char>(value >> 8);
}

uint16_t GetMemoryOrder16(const unsigned char *at) {
  return static_cast<uint16_t>(at[0] | at[1] << 8);
}

// The Internet checksum, words taken and the result stored in memory order
// (the sum is the same in either byte order).
uint16_t InternetChecksum(const unsigned char *bytes, int length) {
  uint32_t sum = 0;
  int i = 0;
  for (; i + 1 < length; i += 2) sum += GetMemoryOrder16(bytes + i);
  if (i < length) sum += bytes[i];
  sum = (sum & 0xFFFF) + (sum >> 16);
  sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint16_t>(~sum);
}

}  // namespace

const unsigned char *PingBuildRequest(CheckItem *check, ProtocolDesc *desc, int *sendLength,
                                      int *minimumReply, int *bufferSize) {
  unsigned char *message = desc->sendBytes;
  // Every byte is written, the zero bytes after the identifier and the
  // tail included: the buffer is shared by the handle's checks.
  std::memset(message, 0, kEchoRequestLength);
  message[0] = kEchoRequestType;
  PutMemoryOrder16(message + 4, static_cast<uint16_t>(check->id));
  PutMemoryOrder16(message + 6, static_cast<uint16_t>(check->sampleIndex));
  std::memset(message + kFillStart, kFill, kFillLength);
  PutMemoryOrder16(message + 2, InternetChecksum(message, kEchoRequestLength));
  *sendLength = kEchoRequestLength;
  *minimumReply = kMinimumReply;
  *bufferSize = kEchoRequestLength + kMinimumReply;
  return message;
}

int PingMatchReply(CheckItem *check, PendingRequest *, const unsigned char *reply, int received) {
  if (received < 1) return 0;
  int headerLength = (reply[0] & 0x0F) * 4;
  if (received < headerLength + kIcmpHeaderLength) return 0;
  const unsigned char *icmp = reply + headerLength;
  bool echo = icmp[0] == kEchoReplyType || icmp[0] == kEchoRequestType;
  return echo && GetMemoryOrder16(icmp + 4) == static_cast<uint16_t>(check->id) &&
         GetMemoryOrder16(icmp + 6) == static_cast<uint16_t>(check->sampleIndex);
}

void PingRegister(Collection *registry, LockedList *protocols) {
  BuiltinRegister(registry, protocols,
                  {kPingName, "Ping over Internet Message Control Protocol", kIcmp, 0,
                   kEchoRequestLength, PingBuildRequest, PingMatchReply, false});
}

void PingUnregister(Collection *registry, LockedList *protocols) {
  BuiltinUnregister(registry, protocols, kPingName);
}
