// SNMPv1 messages as the tests write and read them, with an encoder of
// their own: responses (any tag, ids, errors and value types, malformed on
// purpose when a test wants it), and the requests an agent receives.
#ifndef POLYPROBE_TESTS_SNMP_WIRE_H
#define POLYPROBE_TESTS_SNMP_WIRE_H

#include <cstdint>
#include <string>
#include <vector>

namespace snmpwire {

// Tag, definite length and content.
std::string Element(unsigned char tag, const std::string &content);
std::string Integer(int64_t value);                       // tag 02, two's complement
std::string Unsigned(unsigned char tag, uint64_t value);  // Counter32, Gauge32, TimeTicks, Counter64
std::string OctetString(const std::string &text);
std::string Null();
std::string Oid(const std::string &dotted);  // tag 06

constexpr unsigned char kTimeTicks = 0x43, kGauge32 = 0x42, kCounter32 = 0x41, kCounter64 = 0x46;
constexpr unsigned char kGetNextRequest = 0xA1, kGetResponse = 0xA2;

struct Varbind {
  std::string oid;    // dotted
  std::string value;  // an encoded element
};
std::string Message(unsigned char pduTag, int64_t requestId, int errorStatus, int errorIndex,
                    const std::vector<Varbind> &varbinds, const std::string &community = "orchid");

// A request as an agent reads it; false when the bytes are no SNMPv1
// message.
struct Request {
  std::string community;
  unsigned char pduTag = 0;
  int64_t requestId = 0;
  std::vector<std::string> oids;  // dotted
};
bool ReadRequest(const std::string &bytes, Request *request);

}  // namespace snmpwire

#endif
