#include "protocols.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "filehelp.h"
#include "log.h"
#include "text.h"
#include "xmlparse.h"

namespace {

constexpr unsigned char kDescriptionKey[8] = {0x5c, 0xa3, 0x07, 0xe9, 0x41, 0xb8, 0x2d, 0x76};
// Far above any real description file; a larger file is refused unread.
constexpr int64_t kLargestFile = 16 * 1024 * 1024;

void PatternFree(void *item) {
  auto *pattern = static_cast<ReceivePattern *>(item);
  std::free(pattern->bytes);
  std::free(pattern);
}

int TransportOf(const char *name) {
  static const struct {
    const char *name;
    int transport;
  } kNames[] = {{"TCP", kTcp}, {"UDP", kUdp}, {"IPX", kIpx}, {"ICMP", kIcmp}};
  for (const auto &entry : kNames)
    if (EqualNoCase(name, entry.name)) return entry.transport;
  return kTcp;
}

// A decimal attribute, `fallback` when it is missing.
int NumberAttribute(const XmlNode *node, const char *name, int fallback) {
  char *value = XmlGetAttr(node->attributes, name);
  if (!value) return fallback;
  int number = static_cast<int>(std::strtol(value, nullptr, 10));
  std::free(value);
  return number;
}

// An element's content: the text of its first direct text child, followed
// (text mode) by CR LF for each direct "br" child, or read as hex digits
// (hex mode). The bytes are heap-allocated with a terminating zero; null
// for an empty content.
unsigned char *Content(const XmlNode *element, bool hex, int *length) {
  int breaks = 0;
  const char *text = "";
  bool haveText = false;
  for (int i = 0; i < element->children->Count; ++i) {
    const auto *child = static_cast<const XmlNode *>(_Co_Get(element->children, i));
    if (child->kind == kXmlElement && EqualNoCase(child->name, "br")) ++breaks;
    if (child->kind == kXmlText && !haveText) {
      text = child->text;
      haveText = true;
    }
  }
  int characters = static_cast<int>(std::strlen(text));
  *length = hex ? (characters + 2 * breaks + 1) / 2 : characters + 2 * breaks;
  if (*length == 0) return nullptr;
  auto *bytes = static_cast<unsigned char *>(std::calloc(static_cast<size_t>(*length) + 1, 1));
  if (!bytes) return nullptr;
  if (hex) {
    HexToBytes(bytes, text, *length);
  } else {
    std::memcpy(bytes, text, static_cast<size_t>(characters));
    for (int b = 0; b < breaks; ++b) std::memcpy(bytes + characters + 2 * b, "\r\n", 2);
  }
  return bytes;
}

// Adds one pattern per child element named `kind`; the number added, or -1
// when one could not be made.
int AddPatterns(ProtocolDesc *desc, const XmlNode *receive, const char *kind, bool hex) {
  int added = 0;
  for (int i = XmlFindChild(receive->children, kind, 0); i >= 0;
       i = XmlFindChild(receive->children, kind, i + 1)) {
    const XmlNode *element = XmlGetChild(receive->children, i);
    if (element->kind != kXmlElement) continue;
    auto *pattern = static_cast<ReceivePattern *>(std::calloc(1, sizeof(ReceivePattern)));
    if (!pattern) return -1;
    pattern->start = NumberAttribute(element, "start", 0);
    pattern->end = NumberAttribute(element, "end", 0);
    pattern->compare = NumberAttribute(element, "compare", 0);
    pattern->bytes = Content(element, hex, &pattern->length);
    if (pattern->length > 0 && !pattern->bytes) {
      PatternFree(pattern);
      return -1;
    }
    if (_Co_Add(desc->patterns, pattern) < 0) return -1;  // the collection released it
    ++added;
  }
  return added;
}

bool ReadSend(ProtocolDesc *desc, const XmlNode *service) {
  const XmlNode *send = XmlFirstChild(service, "send");
  if (!send) return true;
  const XmlNode *text = XmlFirstChild(send, "text");
  const XmlNode *hex = text ? nullptr : XmlFirstChild(send, "hexadecimal");
  if (!text && !hex) return true;
  int length = 0;
  desc->sendBytes = Content(text ? text : hex, hex != nullptr, &length);
  if (length > 0 && !desc->sendBytes) return false;
  desc->sendLength = length;
  return true;
}

bool ReadReceive(ProtocolDesc *desc, const XmlNode *service) {
  const XmlNode *receive = XmlFirstChild(service, "receive");
  if (!receive) return true;
  char *check = XmlGetAttr(receive->attributes, "check");
  desc->checkAll = EqualNoCase(check, "all") ? 1 : 0;
  std::free(check);
  desc->patterns = _Co_Create(1, 1, PatternFree);
  if (!desc->patterns) return false;
  int texts = AddPatterns(desc, receive, "text", false);
  if (texts < 0) return false;
  desc->textFlag = texts > 0 ? 1 : 0;
  return AddPatterns(desc, receive, "hexadecimal", true) >= 0;
}

// A description built from a "service" element, or null when the element
// lacks a name or a port, or memory runs out.
ProtocolDesc *BuildDescription(const XmlNode *service) {
  char *name = XmlGetAttr(service->attributes, "name");
  int port = NumberAttribute(service, "port", -1);
  if (!name || port == -1) {
    std::free(name);
    return nullptr;
  }
  ProtocolDesc *desc = ProtocolDescNew(name);
  std::free(name);
  if (!desc) return nullptr;
  desc->port = port;
  char *transport = XmlGetAttr(service->attributes, "protocol");
  desc->transport = TransportOf(transport);
  std::free(transport);
  bool complete = true;
  if (const XmlNode *info = XmlFirstChild(service, "info")) {
    int length = 0;
    desc->info = reinterpret_cast<char *>(Content(info, false, &length));
    complete = length == 0 || desc->info;
  }
  if (!complete || !ReadSend(desc, service) || !ReadReceive(desc, service)) {
    ProtocolDescFree(desc);
    return nullptr;
  }
  return desc;
}

// The file's bytes, terminated, unscrambled when they don't begin with
// '<'; null when the file is missing, empty, too large or unreadable.
char *ReadDescriptionFile(const char *path) {
  int64_t size = path ? XGetFileSize(path) : 0;
  if (size <= 0 || size > kLargestFile) return nullptr;
  FILE *file = _Xfopen(path, "rb");
  if (!file) return nullptr;
  auto *buffer = static_cast<char *>(std::calloc(static_cast<size_t>(size) + 1, 1));
  size_t read = buffer ? std::fread(buffer, 1, static_cast<size_t>(size), file) : 0;
  std::fclose(file);
  if (!buffer || read != static_cast<size_t>(size)) {
    std::free(buffer);
    return nullptr;
  }
  if (buffer[0] != '<') ScrambleData(buffer, static_cast<int>(size));
  return buffer;
}

// Appends the description of each "service" of the document's first
// "pmonitor" element; their number, or -1 when there is no such element.
int AppendServices(Collection *items, const XmlDocument *document) {
  const XmlNode *monitor = XmlFirstChild(document->root, "pmonitor");
  if (!monitor) return -1;
  int loaded = 0;
  for (int i = XmlFindChild(monitor->children, "service", 0); i >= 0;
       i = XmlFindChild(monitor->children, "service", i + 1)) {
    const XmlNode *service = XmlGetChild(monitor->children, i);
    if (service->kind != kXmlElement) continue;
    ProtocolDesc *desc = BuildDescription(service);
    if (desc && _Co_Add(items, desc) >= 0) ++loaded;
  }
  return loaded;
}

bool Compare(const unsigned char *reply, const ReceivePattern *pattern, int offset) {
  int result = 0;
  for (int k = 0; k < pattern->length && result == 0; ++k) {
    auto got = static_cast<signed char>(reply[offset + k]);
    auto wanted = static_cast<signed char>(pattern->bytes[k]);
    if (got != wanted) result = got > wanted ? 1 : -1;
  }
  return result == static_cast<signed char>(pattern->compare);
}

// Whether the pattern is met at one of its offsets; offsets whose bytes
// would run past the received ones are not compared.
bool PatternMet(const ReceivePattern *pattern, const unsigned char *reply, int received) {
  int first = pattern->start, last = pattern->start > pattern->end ? pattern->start : pattern->end;
  if (pattern->start == -1) {
    first = 0;
    last = received - pattern->length;
  }
  if (first < 0) first = 0;
  if (last > received - pattern->length) last = received - pattern->length;
  for (int offset = first; offset <= last; ++offset)
    if (Compare(reply, pattern, offset)) return true;
  return false;
}

}  // namespace

void ScrambleData(char *buffer, int length) {
  for (int i = 0; i < length; ++i)
    buffer[i] = static_cast<char>(buffer[i] ^ kDescriptionKey[(length - 1 - i) % 8]);
}

void HexToBytes(unsigned char *out, const char *text, int n) {
  for (int i = 0; i < 2 * n && text[i]; ++i) {
    int c = std::toupper(static_cast<unsigned char>(text[i]));
    int digit = (c >= '0' && c <= '9') ? c - '0' : (c >= 'A' && c <= 'F') ? c - 'A' + 10 : 0;
    if (i % 2 == 0)
      out[i / 2] = static_cast<unsigned char>(digit * 16);
    else
      out[i / 2] = static_cast<unsigned char>(out[i / 2] + digit);
  }
}

ProtocolDesc *ProtocolDescNew(const char *name) {
  auto *desc = static_cast<ProtocolDesc *>(std::calloc(1, sizeof(ProtocolDesc)));
  if (!desc) return nullptr;
  if (name && !(desc->name = DupText(name))) {
    std::free(desc);
    return nullptr;
  }
  return desc;
}

void ProtocolDescFree(void *item) {
  auto *desc = static_cast<ProtocolDesc *>(item);
  if (!desc) return;
  std::free(desc->name);
  std::free(desc->info);
  std::free(desc->sendBytes);
  _Co_Free(desc->patterns);
  std::free(desc);
}

LockedList *ProtocolListCreate(const char *path) {
  LockedList *list = LockedListCreate(1, 1, ProtocolDescFree);
  if (list && path) ProtocolListLoad(list, path);
  return list;
}

int ProtocolListLoad(LockedList *list, const char *path) {
  ListGuard guard(list);
  if (!guard.items) return -1;
  _Co_Clear(guard.items);
  char *buffer = ReadDescriptionFile(path);
  if (!buffer) {
    _errmsg("protocols: can't read the description file %s\n", path ? path : "(none)");
    return -1;
  }
  XmlDocument *document = XmlDocCreate();
  int loaded = -1;
  if (document) {
    if (!XmlParse(document, buffer))
      _errmsg("protocols: the description file %s is not well formed\n", path);
    loaded = AppendServices(guard.items, document);
  }
  if (loaded < 0) _errmsg("protocols: no description list in %s\n", path);
  XmlDocFree(document);
  std::free(buffer);
  return loaded;
}

void ProtocolListFree(LockedList *list) { LockedListFree(list); }

ProtocolDesc *ProtocolFind(LockedList *list, const char *name) {
  ListGuard guard(list);
  if (!guard.items) return nullptr;
  for (int i = 0; i < guard.items->Count; ++i) {
    auto *desc = static_cast<ProtocolDesc *>(_Co_Get(guard.items, i));
    if (desc && EqualNoCase(desc->name, name)) return desc;
  }
  return nullptr;
}

void ProtocolRemove(LockedList *list, const char *name) {
  ListGuard guard(list);
  ProtocolDesc *desc = ProtocolFind(list, name);
  if (desc) _Co_DelItem(guard.items, desc);
}

const unsigned char *ProtocolDescRequest(const ProtocolDesc *desc, int *sendLength,
                                         int *minimumReply, int *bufferSize) {
  int largest = 0, smallest = 0;
  bool any = false;
  int count = desc->patterns ? desc->patterns->Count : 0;
  for (int i = 0; i < count; ++i) {
    const auto *pattern = static_cast<const ReceivePattern *>(_Co_Get(desc->patterns, i));
    int extent = pattern->length + (pattern->end ? pattern->end : pattern->start);
    if (extent > largest) largest = extent;
    int from = pattern->length + pattern->start;
    if (!any || from < smallest) smallest = from;
    any = true;
  }
  int minimum = smallest == 0 ? 1 : smallest;
  if (!any || minimum < 0) minimum = largest;
  *sendLength = desc->sendLength;
  *minimumReply = minimum;
  *bufferSize = largest;
  return desc->sendBytes;
}

int ProtocolDescMatch(const ProtocolDesc *desc, const unsigned char *reply, int received) {
  if (!desc || !desc->patterns || desc->patterns->Count == 0 || !reply) return 0;
  for (int i = 0; i < desc->patterns->Count; ++i) {
    const auto *pattern = static_cast<const ReceivePattern *>(_Co_Get(desc->patterns, i));
    bool fits = pattern->length <= received;
    bool met = fits && PatternMet(pattern, reply, received);
    // "all": every pattern must be met, and one longer than the reply ends
    // the scan; otherwise the first pattern met decides.
    if (desc->checkAll && !met) return 0;
    if (!desc->checkAll && met) return 1;
  }
  return desc->checkAll ? 1 : 0;
}
