// XML text builder: appends XML text to the host's character buffer.
//
// Tags are opened with an attribute text and closed innermost first from a
// stack of open tag names. Attribute values and character data are escaped
// with the five predefined entities; the escaped form of a value gets room
// for twice its length, that of character data five times its length (each
// plus the terminator), and escaping stops before an entity or character
// that would not fit with its terminator, so a text full of special
// characters is cut there. Attribute texts are heap texts built by
// _xmlParam / _xmlParamInt, joined by _xmlParamList, and handed over to
// _xmlTagOpen, which frees them. The output buffer has no size: the host
// provides room for the whole document. A null writer gives null and
// appends nothing. No locking: a writer belongs to one thread at a time.
#ifndef DMWCLIENT_XMLBUILD_H
#define DMWCLIENT_XMLBUILD_H

#include "collection.h"
#include "export.h"

// The writer as the host sees it (packed, 32-bit pointers in the product).
#pragma pack(push, 1)
typedef struct XmlWriter {
  Collection *Tags;  // owned copies of the open tag names, innermost last
  char *Output;      // the host's buffer, NUL-terminated, not owned
  char Indent;       // non-zero: each tag on its own line, indented by depth
} XmlWriter;
#pragma pack(pop)

extern "C" {

// A writer over `output`, which becomes the empty text; null when memory
// runs out or there is no buffer.
NETMON_EXPORT XmlWriter *_xmlCreate(char *output);
// Frees the writer and its tag stack; the buffer stays the host's.
NETMON_EXPORT void _xmlClose(XmlWriter *writer);
// Copies source into destination (room: `size` bytes, terminator
// included), escaping the special characters; returns destination.
NETMON_EXPORT char *_xmlQuote(char *destination, const char *source, int size);
// A new heap text ` name="escaped value"`; null when memory runs out or
// there is no name. A null value is the empty value.
NETMON_EXPORT char *_xmlParam(const char *name, const char *value);
NETMON_EXPORT char *_xmlParamInt(const char *name, int value);
// Joins the attribute texts up to the terminating null into one new heap
// text and frees every part; null when memory runs out (the parts are
// freed all the same).
NETMON_EXPORT char *_xmlParamList(char *first, ...);
// Appends `<tag attributes>` (or `<tag attributes/>` when `empty` is
// non-zero) and frees `attributes`; an element that isn't empty is pushed
// for _xmlTagClose. Returns the buffer.
NETMON_EXPORT char *_xmlTagOpen(XmlWriter *writer, const char *tag, char *attributes, int empty);
// Appends the closing tag of the innermost open element, when there is
// one. Returns the buffer.
NETMON_EXPORT char *_xmlTagClose(XmlWriter *writer);
// Appends the escaped text. Returns the buffer.
NETMON_EXPORT char *_xmlAddData(XmlWriter *writer, const char *text);

}  // extern "C"

#endif
