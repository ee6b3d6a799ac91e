#include "snmp_wire.h"

#include <cstdlib>

namespace snmpwire {

namespace {

std::string Length(size_t length) {
  if (length < 0x80) return std::string(1, static_cast<char>(length));
  std::string bytes;
  for (; length; length >>= 8) bytes.insert(bytes.begin(), static_cast<char>(length & 0xFF));
  return static_cast<char>(0x80 | bytes.size()) + bytes;
}

std::string Base128(uint64_t value) {
  std::string bytes(1, static_cast<char>(value & 0x7F));
  for (value >>= 7; value; value >>= 7) bytes.insert(bytes.begin(), static_cast<char>(0x80 | (value & 0x7F)));
  return bytes;
}

std::vector<uint64_t> Components(const std::string &dotted) {
  std::vector<uint64_t> components;
  size_t at = 0;
  while (at <= dotted.size()) {
    size_t dot = dotted.find('.', at);
    if (dot == std::string::npos) dot = dotted.size();
    components.push_back(std::strtoull(dotted.substr(at, dot - at).c_str(), nullptr, 10));
    at = dot + 1;
  }
  return components;
}

// A reader over one message's bytes; every step fails past its end.
struct Cursor {
  const std::string &bytes;
  size_t at;
  size_t end;

  bool Next(unsigned char tag, size_t *start, size_t *length) {
    if (end - at < 2 || static_cast<unsigned char>(bytes[at]) != tag) return false;
    size_t value = static_cast<unsigned char>(bytes[at + 1]);
    at += 2;
    if (value & 0x80) {
      size_t count = value & 0x7F;
      if (count > 4 || end - at < count) return false;
      value = 0;
      for (size_t i = 0; i < count; ++i) value = value << 8 | static_cast<unsigned char>(bytes[at++]);
    }
    if (end - at < value) return false;
    *start = at;
    *length = value;
    at += value;
    return true;
  }
  Cursor Inside(size_t start, size_t length) const { return {bytes, start, start + length}; }
};

int64_t SignedValue(const std::string &bytes, size_t start, size_t length) {
  int64_t value = length && (bytes[start] & 0x80) ? -1 : 0;
  for (size_t i = 0; i < length; ++i)
    value = static_cast<int64_t>(static_cast<uint64_t>(value) << 8 | static_cast<unsigned char>(bytes[start + i]));
  return value;
}

std::string Dotted(const std::string &bytes, size_t start, size_t length) {
  std::string text;
  uint64_t value = 0;
  bool first = true;
  for (size_t i = start; i < start + length; ++i) {
    unsigned char b = static_cast<unsigned char>(bytes[i]);
    value = value << 7 | (b & 0x7F);
    if (b & 0x80) continue;
    if (first) {
      uint64_t top = value < 80 ? value / 40 : 2;
      text = std::to_string(top) + "." + std::to_string(value - 40 * top);
      first = false;
    } else {
      text += "." + std::to_string(value);
    }
    value = 0;
  }
  return text;
}

}  // namespace

std::string Element(unsigned char tag, const std::string &content) {
  return static_cast<char>(tag) + Length(content.size()) + content;
}

std::string Integer(int64_t value) {
  std::string bytes;
  do {
    bytes.insert(bytes.begin(), static_cast<char>(value & 0xFF));
    value >>= 8;  // arithmetic: the sign stays
  } while (!((value == 0 && !(bytes[0] & 0x80)) || (value == -1 && (bytes[0] & 0x80))));
  return Element(0x02, bytes);
}

std::string Unsigned(unsigned char tag, uint64_t value) {
  std::string bytes;
  do {
    bytes.insert(bytes.begin(), static_cast<char>(value & 0xFF));
    value >>= 8;
  } while (value);
  if (bytes[0] & 0x80) bytes.insert(bytes.begin(), '\0');
  return Element(tag, bytes);
}

std::string OctetString(const std::string &text) { return Element(0x04, text); }

std::string Null() { return Element(0x05, ""); }

std::string Oid(const std::string &dotted) {
  std::vector<uint64_t> components = Components(dotted);
  std::string bytes = Base128(40 * components[0] + (components.size() > 1 ? components[1] : 0));
  for (size_t i = 2; i < components.size(); ++i) bytes += Base128(components[i]);
  return Element(0x06, bytes);
}

std::string Message(unsigned char pduTag, int64_t requestId, int errorStatus, int errorIndex,
                    const std::vector<Varbind> &varbinds, const std::string &community) {
  std::string list;
  for (const Varbind &v : varbinds) list += Element(0x30, Oid(v.oid) + v.value);
  std::string pdu = Integer(requestId) + Integer(errorStatus) + Integer(errorIndex) + Element(0x30, list);
  return Element(0x30, Integer(0) + OctetString(community) + Element(pduTag, pdu));
}

bool ReadRequest(const std::string &bytes, Request *request) {
  Cursor whole{bytes, 0, bytes.size()};
  size_t start, length;
  if (!whole.Next(0x30, &start, &length)) return false;
  Cursor message = whole.Inside(start, length);
  if (!message.Next(0x02, &start, &length) || !message.Next(0x04, &start, &length)) return false;
  request->community = bytes.substr(start, length);
  if (message.end - message.at < 2) return false;
  request->pduTag = static_cast<unsigned char>(bytes[message.at]);
  if (!message.Next(request->pduTag, &start, &length)) return false;
  Cursor pdu = message.Inside(start, length);
  if (!pdu.Next(0x02, &start, &length)) return false;
  request->requestId = SignedValue(bytes, start, length);
  if (!pdu.Next(0x02, &start, &length) || !pdu.Next(0x02, &start, &length) ||
      !pdu.Next(0x30, &start, &length))
    return false;
  Cursor list = pdu.Inside(start, length);
  request->oids.clear();
  while (list.at < list.end) {
    if (!list.Next(0x30, &start, &length)) return false;
    Cursor varbind = list.Inside(start, length);
    if (!varbind.Next(0x06, &start, &length)) return false;
    request->oids.push_back(Dotted(bytes, start, length));
  }
  return true;
}

}  // namespace snmpwire
