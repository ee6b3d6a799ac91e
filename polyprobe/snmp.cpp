#include "snmp.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char kSnmpName[] = "SNMP GET";
constexpr int kSnmpPort = 161;
constexpr int kMinimumReply = 23;
constexpr int kShortestResponse = 23;

constexpr unsigned char kSequence = 0x30;
constexpr unsigned char kInteger = 0x02;
constexpr unsigned char kOctetString = 0x04;
constexpr unsigned char kNull = 0x05;
constexpr unsigned char kObjectId = 0x06;
constexpr unsigned char kCounter32 = 0x41;
constexpr unsigned char kGauge32 = 0x42;
constexpr unsigned char kTimeTicks = 0x43;
constexpr unsigned char kCounter64 = 0x46;
constexpr unsigned char kGetNextRequest = 0xA1;
constexpr unsigned char kGetResponse = 0xA2;

// Version 0 (SNMPv1) and the community, the same in every request.
const unsigned char kMessagePrefix[] = {kInteger, 1, 0, kOctetString, 6,
                                        'o', 'r', 'c', 'h', 'i', 'd'};
// Error status and error index, both 0, in every request.
const unsigned char kNoError[] = {kInteger, 1, 0, kInteger, 1, 0};
const unsigned char kNullValue[] = {kNull, 0};

// Reply list entries: "<SNMP oid="1.3.6" " and room for the rest.
const char kOidPartStart[] = "<SNMP oid=\"";
constexpr size_t kEntryRoom = 30;
constexpr int kValueMissing = 1;  // a first value that is 0 or no number
constexpr int kOidRejected = 2;   // the agent named the object id in error

// ---- Object ids as text ----------------------------------------------

// The components of one dotted object id in [text, end): 0 for an empty
// text, -1 when it has more components than a message may carry. Each
// component is read as a decimal number; characters other than digits
// and dots are skipped.
int OidFromText(const char *text, const char *end, uint32_t *components) {
  int count = 0;
  const char *at = text;
  while (at < end) {
    if (count == kSnmpMostOidComponents) return -1;
    uint64_t value = 0;
    for (; at < end && *at >= '0' && *at <= '9'; ++at) {
      value = value * 10 + static_cast<uint64_t>(*at - '0');
      if (value > UINT32_MAX) value = UINT32_MAX;
    }
    components[count++] = static_cast<uint32_t>(value);
    while (at < end && *at != '.') ++at;
    if (at < end) ++at;
  }
  return count;
}

// Calls visit(start, end, components, count) for each non-empty object id
// of the parameter, in order, until it returns false; false when an id has
// too many components (visit is not called for it).
template <typename Visit>
bool ForEachOid(const char *param, Visit visit) {
  uint32_t components[kSnmpMostOidComponents];
  const char *start = param;
  while (*start) {
    const char *end = std::strchr(start, ';');
    if (!end) end = start + std::strlen(start);
    int count = OidFromText(start, end, components);
    if (count < 0) return false;
    if (count > 0 && !visit(start, end, components, count)) return true;
    start = *end ? end + 1 : end;
  }
  return true;
}

bool SameOid(const uint32_t *a, int aCount, const uint32_t *b, int bCount) {
  return aCount == bCount &&
         std::memcmp(a, b, static_cast<size_t>(aCount) * sizeof(uint32_t)) == 0;
}

// ---- BER writing -------------------------------------------------------

// The length field: one byte below 128, else 0x80 + n and n bytes.
int LengthFieldSize(size_t length) {
  if (length < 0x80) return 1;
  int size = 1;
  for (; length; length >>= 8) ++size;
  return size;
}

size_t TlvSize(size_t contentLength) {
  return 1 + static_cast<size_t>(LengthFieldSize(contentLength)) + contentLength;
}

// Base-128 digits of one object id subidentifier.
int SubidentifierSize(uint64_t value) {
  int size = 1;
  for (value >>= 7; value; value >>= 7) ++size;
  return size;
}

// The first subidentifier joins the first two components; an object id of
// a single component is written as the single byte 0.
uint64_t FirstSubidentifier(const uint32_t *components, int count) {
  return count < 2 ? 0 : uint64_t{40} * components[0] + components[1];
}

size_t OidContentSize(const uint32_t *components, int count) {
  size_t size = static_cast<size_t>(SubidentifierSize(FirstSubidentifier(components, count)));
  for (int i = 2; i < count; ++i) size += static_cast<size_t>(SubidentifierSize(components[i]));
  return size;
}

size_t VarbindContentSize(const uint32_t *components, int count) {
  return TlvSize(OidContentSize(components, count)) + sizeof kNullValue;
}

// Big-endian two's complement bytes of `value`, as few as carry its sign.
int SignedIntegerSize(int64_t value) {
  int size = 1;
  while (size < 8 && !(value >= -(int64_t{1} << (8 * size - 1)) &&
                       value < (int64_t{1} << (8 * size - 1))))
    ++size;
  return size;
}

// Writes into a buffer of fixed size; any write beyond it marks the
// message failed and writes nothing.
struct Writer {
  unsigned char *at;
  unsigned char *end;
  bool failed = false;

  void Bytes(const unsigned char *bytes, size_t length) {
    if (failed || length > static_cast<size_t>(end - at)) {
      failed = true;
      return;
    }
    std::memcpy(at, bytes, length);
    at += length;
  }
  void Byte(unsigned char byte) { Bytes(&byte, 1); }
  void Header(unsigned char tag, size_t length) {
    Byte(tag);
    int size = LengthFieldSize(length);
    if (size > 1) Byte(static_cast<unsigned char>(0x80 + size - 1));
    for (int i = size - 2; i >= 0; --i) Byte(static_cast<unsigned char>(length >> (8 * i)));
    if (size == 1) Byte(static_cast<unsigned char>(length));
  }
  void Subidentifier(uint64_t value) {
    for (int i = SubidentifierSize(value) - 1; i >= 0; --i)
      Byte(static_cast<unsigned char>(((value >> (7 * i)) & 0x7F) | (i ? 0x80 : 0)));
  }
  void SignedInteger(int64_t value) {
    int size = SignedIntegerSize(value);
    Header(kInteger, static_cast<size_t>(size));
    for (int i = size - 1; i >= 0; --i) Byte(static_cast<unsigned char>(value >> (8 * i)));
  }
  void Varbind(const uint32_t *components, int count) {
    Header(kSequence, VarbindContentSize(components, count));
    Header(kObjectId, OidContentSize(components, count));
    Subidentifier(FirstSubidentifier(components, count));
    for (int i = 2; i < count; ++i) Subidentifier(components[i]);
    Bytes(kNullValue, sizeof kNullValue);
  }
};

// The GetNextRequest for `param` with `requestId` into `buffer`: its
// length, 0 when the parameter holds no object id or the whole message
// would not fit.
int BuildGetNext(const char *param, int32_t requestId, unsigned char *buffer, size_t size) {
  size_t varbindsSize = 0;
  int oids = 0;
  bool readable = ForEachOid(param, [&](const char *, const char *, const uint32_t *components,
                                        int count) {
    varbindsSize += TlvSize(VarbindContentSize(components, count));
    ++oids;
    return varbindsSize <= size;
  });
  if (!readable || oids == 0 || varbindsSize > size) return 0;
  size_t pduSize = TlvSize(static_cast<size_t>(SignedIntegerSize(requestId))) + sizeof kNoError +
                   TlvSize(varbindsSize);
  size_t messageSize = sizeof kMessagePrefix + TlvSize(pduSize);
  if (TlvSize(messageSize) > size) return 0;

  Writer out{buffer, buffer + size};
  out.Header(kSequence, messageSize);
  out.Bytes(kMessagePrefix, sizeof kMessagePrefix);
  out.Header(kGetNextRequest, pduSize);
  out.SignedInteger(requestId);
  out.Bytes(kNoError, sizeof kNoError);
  out.Header(kSequence, varbindsSize);
  ForEachOid(param, [&](const char *, const char *, const uint32_t *components, int count) {
    out.Varbind(components, count);
    return !out.failed;
  });
  return out.failed ? 0 : static_cast<int>(out.at - buffer);
}

// ---- BER reading -------------------------------------------------------

struct Reader {
  const unsigned char *at;
  const unsigned char *end;

  size_t Left() const { return static_cast<size_t>(end - at); }

  // A tag and its definite length (at most 4 length bytes), the content
  // lying within the data; false otherwise.
  bool Header(unsigned char *tag, size_t *length) {
    if (Left() < 2) return false;
    *tag = *at++;
    unsigned char first = *at++;
    size_t value = first;
    if (first & 0x80) {
      size_t bytes = first & 0x7F;
      if (bytes == 0 || bytes > 4 || bytes > Left()) return false;
      value = 0;
      for (size_t i = 0; i < bytes; ++i) value = value << 8 | *at++;
    }
    if (value > Left()) return false;
    *length = value;
    return true;
  }
  // The content of an element with this tag: a reader over it, and this
  // one moved past it.
  bool Enter(unsigned char expected, Reader *content) {
    unsigned char tag;
    size_t length;
    if (!Header(&tag, &length) || tag != expected) return false;
    *content = {at, at + length};
    at += length;
    return true;
  }
  bool Integer(int64_t *value) {
    Reader content{};
    if (!Enter(kInteger, &content) || content.Left() > 8) return false;
    *value = content.Signed();
    return true;
  }
  // The whole content as a big-endian two's complement number.
  int64_t Signed() const {
    uint64_t value = (at < end && (*at & 0x80)) ? UINT64_MAX : 0;
    for (const unsigned char *b = at; b < end; ++b) value = value << 8 | *b;
    return static_cast<int64_t>(value);
  }
  // The whole content as an unsigned number (the low 64 bits).
  uint64_t Unsigned() const {
    uint64_t value = 0;
    for (const unsigned char *b = at; b < end; ++b) value = value << 8 | *b;
    return value;
  }
};

// An object id's content into its components; false when a component
// exceeds 32 bits or there are too many.
bool ReadOid(Reader content, SnmpVarbind *varbind) {
  varbind->count = 0;
  bool first = true;
  while (content.at < content.end) {
    uint64_t value = 0;
    unsigned char byte;
    do {
      if (content.at == content.end) return false;
      byte = *content.at++;
      value = value << 7 | (byte & 0x7F);
      if (value > (first ? uint64_t{UINT32_MAX} + 80 : uint64_t{UINT32_MAX})) return false;
    } while (byte & 0x80);
    int needed = first ? 2 : 1;
    if (varbind->count + needed > kSnmpMostOidComponents) return false;
    if (first) {
      uint32_t top = value < 40 ? 0 : value < 80 ? 1 : 2;
      varbind->components[varbind->count++] = top;
      varbind->components[varbind->count++] = static_cast<uint32_t>(value - 40 * top);
      first = false;
    } else {
      varbind->components[varbind->count++] = static_cast<uint32_t>(value);
    }
  }
  return true;
}

void ReadValue(unsigned char tag, const Reader &content, SnmpVarbind *varbind) {
  varbind->isSigned = tag == kInteger;
  switch (tag) {
    case kInteger:
      varbind->value = static_cast<uint64_t>(content.Signed());
      break;
    case kCounter32:
    case kGauge32:
    case kTimeTicks:
    case kCounter64:
      varbind->value = content.Unsigned();
      break;
    default:
      varbind->value = 0;
  }
}

// One varbind (object id and value); false when it is malformed.
bool ReadVarbind(Reader *list, SnmpVarbind *varbind) {
  Reader pair{}, oid{};
  if (!list->Enter(kSequence, &pair)) return false;
  unsigned char tag;
  size_t length;
  if (!pair.Header(&tag, &length) || tag != kObjectId || length < 2) return false;
  oid = {pair.at, pair.at + length};
  pair.at += length;
  if (!ReadOid(oid, varbind) || !pair.Header(&tag, &length)) return false;
  ReadValue(tag, Reader{pair.at, pair.at + length}, varbind);
  return true;
}

bool AppendVarbind(SnmpResponse *response, const SnmpVarbind &varbind) {
  size_t count = static_cast<size_t>(response->varbindCount) + 1;
  auto *grown = static_cast<SnmpVarbind *>(std::realloc(response->varbinds, count * sizeof varbind));
  if (!grown) return false;
  response->varbinds = grown;
  response->varbinds[response->varbindCount++] = varbind;
  return true;
}

// ---- Reply list entries -------------------------------------------------

// The entry's start for an object id: "<SNMP oid="1.3.6" ". Its length;
// the text is cut to `size`.
size_t OidPart(const SnmpVarbind &varbind, char *out, size_t size) {
  size_t length = static_cast<size_t>(std::snprintf(out, size, "%s", kOidPartStart));
  for (int i = 0; i < varbind.count && length < size; ++i)
    length += static_cast<size_t>(std::snprintf(out + length, size - length, i ? ".%u" : "%u",
                                                static_cast<unsigned>(varbind.components[i])));
  if (length < size) length += static_cast<size_t>(std::snprintf(out + length, size - length, "\" "));
  return length < size ? length : size - 1;
}

void WriteValue(char *out, const SnmpVarbind &varbind) {
  bool negative = varbind.isSigned && static_cast<int64_t>(varbind.value) < 0;
  uint64_t magnitude = negative ? 0 - varbind.value : varbind.value;
  std::snprintf(out, kEntryRoom + 1, "val=\"%s%" PRIX64 "\">", negative ? "-" : "", magnitude);
}

void WriteError(char *out, int code) { std::snprintf(out, kEntryRoom + 1, "error=\"%d\">", code); }

// Rewrites the varbind's entry (in the error form with `errorCode` when
// `asError`, else in the value form), or appends a new one: in the error
// form with `errorCode` when its value is 0, else in the value form. The
// caller holds the reply list's lock.
void StoreEntry(Collection *entries, const SnmpVarbind &varbind, int errorCode, bool asError) {
  // 11 characters each component and the quotes: the longest object id.
  char part[sizeof kOidPartStart + kSnmpMostOidComponents * 11 + 4];
  size_t length = OidPart(varbind, part, sizeof part);
  char *entry = nullptr;
  for (int i = 0; i < entries->Count && !entry; ++i) {
    auto *text = static_cast<char *>(_Co_Get(entries, i));
    if (text && std::strncmp(text, part, length) == 0) entry = text;
  }
  bool fresh = !entry;
  if (fresh) {
    entry = static_cast<char *>(std::malloc(length + kEntryRoom + 1));
    if (!entry) return;
    std::memcpy(entry, part, length);
    asError = varbind.value == 0;
  }
  if (asError)
    WriteError(entry + length, errorCode);
  else
    WriteValue(entry + length, varbind);
  if (fresh) _Co_Add(entries, entry);  // a refused add has freed the entry
}

// The object id a response with an error names, or null.
const SnmpVarbind *RejectedVarbind(const SnmpResponse &response) {
  if (response.errorIndex < 1 || response.errorIndex > response.varbindCount) return nullptr;
  return &response.varbinds[response.errorIndex - 1];
}

// The check's reply writer (checks.h): every value of a response without
// error, or the entry of the object id an agent rejected.
void WriteResponseEntries(CheckItem *, Collection *replies, const unsigned char *reply,
                          int received) {
  SnmpResponse response;
  if (!SnmpParseResponse(reply, received, &response)) return;
  if (response.errorStatus == 0) {
    for (int i = 0; i < response.varbindCount; ++i)
      StoreEntry(replies, response.varbinds[i], kValueMissing, false);
  } else if (const SnmpVarbind *named = RejectedVarbind(response)) {
    StoreEntry(replies, *named, kOidRejected, true);
  }
  SnmpResponseFree(&response);
}

// Cuts from the parameter the first object id the agent named: the same
// id (as agents echo the request on error) or, for the id of an instance,
// the id it was asked under. The id goes with its following ';'.
void CutOid(CheckItem *check, const SnmpVarbind &named) {
  if (!check->param) return;
  ForEachOid(check->param, [&](const char *start, const char *end, const uint32_t *components,
                               int count) {
    bool same = SameOid(components, count, named.components, named.count) ||
                SameOid(components, count - 1, named.components, named.count);
    if (!same) return true;
    char *from = check->param + (start - check->param);
    const char *rest = *end ? end + 1 : end;
    std::memmove(from, rest, std::strlen(rest) + 1);
    return false;
  });
}


}  // namespace

bool SnmpParseResponse(const unsigned char *bytes, int length, SnmpResponse *response) {
  std::memset(response, 0, sizeof *response);
  if (!bytes || length < kShortestResponse) return false;
  Reader data{bytes, bytes + length}, message{}, community{}, pdu{};
  if (!data.Enter(kSequence, &message) || !message.Integer(&response->version) ||
      !message.Enter(kOctetString, &community))
    return false;
  size_t copied = community.Left() < sizeof response->community - 1 ? community.Left()
                                                                    : sizeof response->community - 1;
  std::memcpy(response->community, community.at, copied);
  size_t pduLength;
  if (!message.Header(&response->pduTag, &pduLength)) return false;
  pdu = {message.at, message.at + pduLength};
  if (!pdu.Integer(&response->requestId) || !pdu.Integer(&response->errorStatus) ||
      !pdu.Integer(&response->errorIndex))
    return false;
  Reader list{};
  if (!pdu.Enter(kSequence, &list)) return true;
  // The varbinds read before any malformed one count.
  SnmpVarbind varbind;
  while (list.Left() > 0 && ReadVarbind(&list, &varbind) && AppendVarbind(response, varbind)) {
  }
  return true;
}

void SnmpResponseFree(SnmpResponse *response) {
  std::free(response->varbinds);
  response->varbinds = nullptr;
  response->varbindCount = 0;
}

const unsigned char *SnmpBuildRequest(CheckItem *check, ProtocolDesc *desc, int *sendLength,
                                      int *minimumReply, int *bufferSize) {
  int length = check->param ? BuildGetNext(check->param, check->id, desc->sendBytes,
                                           kSnmpSendBufferSize)
                            : 0;
  *sendLength = length;
  *minimumReply = length ? kMinimumReply : 0;
  *bufferSize = length ? kSnmpSendBufferSize : 0;
  return desc->sendBytes;
}

int SnmpMatchReply(CheckItem *check, PendingRequest *, const unsigned char *reply, int received) {
  if (!check->replies) return 0;
  SnmpResponse response;
  if (!SnmpParseResponse(reply, received, &response)) return 0;
  bool ours = response.pduTag == kGetResponse && response.requestId == check->id &&
              response.varbindCount > 0;
  // Only a response without error is good; one with an error names the
  // object id the agent rejected.
  bool accepted = ours && response.errorStatus == 0;
  const SnmpVarbind *rejected = ours && !accepted ? RejectedVarbind(response) : nullptr;
  if (rejected) CutOid(check, *rejected);
  if (accepted || rejected) CheckWriteReplies(check, WriteResponseEntries, reply, received);
  SnmpResponseFree(&response);
  return accepted ? 1 : 0;
}

void SnmpRegister(Collection *registry, LockedList *protocols) {
  BuiltinRegister(registry, protocols,
                  {kSnmpName, nullptr, kUdp, kSnmpPort, kSnmpSendBufferSize, SnmpBuildRequest,
                   SnmpMatchReply, true});
}

void SnmpUnregister(Collection *registry, LockedList *protocols) {
  BuiltinUnregister(registry, protocols, kSnmpName);
}
