#include "xmlbuild.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(XmlWriter) == 9, "the host's writer record is packed");
#endif

namespace {

constexpr int kTagStackCapacity = 4;
constexpr int kTagStackStep = 2;
// Room of an escaped text per source character: an attribute value is cut
// where its escaped form passes twice its length, character data where it
// passes five times.
constexpr size_t kParamRoomPerChar = 2;
constexpr size_t kDataRoomPerChar = 5;

struct Entity {
  char character;
  const char *text;
};
constexpr Entity kEntities[] = {
    {'<', "&lt;"}, {'&', "&amp;"}, {'>', "&gt;"}, {'"', "&quot;"}, {'\'', "&apos;"}};

const char *EntityOf(char c) {
  for (const Entity &entity : kEntities)
    if (entity.character == c) return entity.text;
  return nullptr;
}

char *CopyText(const char *text) {
  size_t length = std::strlen(text) + 1;
  char *copy = static_cast<char *>(std::malloc(length));
  if (copy) std::memcpy(copy, text, length);
  return copy;
}

char *End(XmlWriter *writer) { return writer->Output + std::strlen(writer->Output); }

// Starts a tag on its own line, two blanks per open element, when the
// writer indents.
void AppendIndent(XmlWriter *writer, int depth) {
  if (!writer->Indent) return;
  char *end = End(writer);
  for (int i = 0; i < 2 * depth; i++) *end++ = ' ';
  *end = '\0';
}

void AppendLineEnd(XmlWriter *writer) {
  if (writer->Indent) std::strcat(writer->Output, "\n");
}

// Pushes an element that will be closed, then appends its tag; when the
// stack can't take the name, nothing is appended.
void AppendTag(XmlWriter *writer, const char *tag, const char *attributes, bool empty) {
  int depth = writer->Tags->Count;
  if (!empty) {
    char *name = CopyText(tag);
    if (!name || _Co_Add(writer->Tags, name) < 0) return;
  }
  AppendIndent(writer, depth);
  std::sprintf(End(writer), "<%s%s%s", tag, attributes ? attributes : "", empty ? "/>" : ">");
  AppendLineEnd(writer);
}

// Escapes source into `room` bytes at destination, terminator included.
void QuoteInto(char *destination, const char *source, size_t room) {
  size_t used = 0;
  for (const char *p = source ? source : ""; *p; p++) {
    const char *entity = EntityOf(*p);
    size_t length = entity ? std::strlen(entity) : 1;
    if (used + length + 1 > room) break;  // it and the terminator must fit
    if (entity)
      std::memcpy(destination + used, entity, length);
    else
      destination[used] = *p;
    used += length;
  }
  destination[used] = '\0';
}

}  // namespace

extern "C" {

char *_xmlQuote(char *destination, const char *source, int size) {
  if (destination && size > 0) QuoteInto(destination, source, static_cast<size_t>(size));
  return destination;
}

XmlWriter *_xmlCreate(char *output) {
  if (!output) return nullptr;
  XmlWriter *writer = static_cast<XmlWriter *>(std::calloc(1, sizeof(XmlWriter)));
  if (!writer) return nullptr;
  writer->Tags = _Co_Create(kTagStackCapacity, kTagStackStep, nullptr);
  if (!writer->Tags) {
    std::free(writer);
    return nullptr;
  }
  writer->Output = output;
  output[0] = '\0';
  return writer;
}

void _xmlClose(XmlWriter *writer) {
  if (!writer) return;
  _Co_Free(writer->Tags);
  std::free(writer);
}

char *_xmlParam(const char *name, const char *value) {
  if (!name) return nullptr;
  if (!value) value = "";
  size_t room = kParamRoomPerChar * std::strlen(value) + 1;
  char *escaped = static_cast<char *>(std::malloc(room));
  if (!escaped) return nullptr;
  QuoteInto(escaped, value, room);
  static const char kFormat[] = " %s=\"%s\"";
  int length = std::snprintf(nullptr, 0, kFormat, name, escaped);
  char *text = length < 0 ? nullptr : static_cast<char *>(std::malloc(length + 1));
  if (text) std::snprintf(text, length + 1, kFormat, name, escaped);
  std::free(escaped);
  return text;
}

char *_xmlParamInt(const char *name, int value) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%d", value);
  return _xmlParam(name, digits);
}

char *_xmlParamList(char *first, ...) {
  size_t length = 0;
  va_list parts;
  va_start(parts, first);
  for (char *part = first; part; part = va_arg(parts, char *)) length += std::strlen(part);
  va_end(parts);

  char *joined = static_cast<char *>(std::malloc(length + 1));
  if (joined) joined[0] = '\0';
  va_start(parts, first);
  for (char *part = first; part; part = va_arg(parts, char *)) {
    if (joined) std::strcat(joined, part);
    std::free(part);
  }
  va_end(parts);
  return joined;
}

char *_xmlTagOpen(XmlWriter *writer, const char *tag, char *attributes, int empty) {
  if (writer && tag) AppendTag(writer, tag, attributes, empty != 0);
  std::free(attributes);
  return writer ? writer->Output : nullptr;
}

char *_xmlTagClose(XmlWriter *writer) {
  if (!writer) return nullptr;
  int innermost = writer->Tags->Count - 1;
  const char *tag = static_cast<const char *>(_Co_Get(writer->Tags, innermost));
  if (!tag) return writer->Output;
  AppendIndent(writer, innermost);
  std::sprintf(End(writer), "</%s>", tag);
  AppendLineEnd(writer);
  _Co_Delete(writer->Tags, innermost);
  return writer->Output;
}

char *_xmlAddData(XmlWriter *writer, const char *text) {
  if (!writer) return nullptr;
  if (!text) return writer->Output;
  size_t room = kDataRoomPerChar * std::strlen(text) + 1;
  QuoteInto(End(writer), text, room);
  return writer->Output;
}

}  // extern "C"
