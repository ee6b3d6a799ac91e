// xmlparse: the library's small, tolerant XML reader. It turns a text into
// a tree of nodes (elements with "name=value" attribute texts, text nodes
// named "PCDATA", comments) and offers lookups of children and attributes.
// Stray '<' or '>' and unmatched end tags are logged with row and column and
// skipped; out of memory, an attribute with an empty value and an empty
// comment fail the parse. Parses are independent: any number may run at
// once on separate documents.
#ifndef POLYPROBE_XMLPARSE_H
#define POLYPROBE_XMLPARSE_H

#include <cstdint>

#include "collection.h"

enum XmlKind : uint8_t { kXmlElement = 1, kXmlText = 2, kXmlComment = 3 };

struct XmlNode {
  uint8_t kind = kXmlElement;
  char *name = nullptr;        // "PCDATA" for text nodes, null for comments
  char *text = nullptr;        // content of text and comment nodes
  Collection *attributes = nullptr;  // owned "name=value" texts
  XmlNode *parent = nullptr;
  Collection *children = nullptr;    // owned nodes, in document order
};

struct XmlDocument {
  XmlNode *root;  // an element without a name; top-level nodes hang under it
};

XmlDocument *XmlDocCreate();
void XmlDocFree(XmlDocument *document);
// Empties the document, then parses `text` into it: 1, or 0 on failure
// (the tree keeps what was built).
int XmlParse(XmlDocument *document, const char *text);

// Index of the first child at or after `from` that is named `name` (letter
// case ignored), or -1.
int XmlFindChild(Collection *children, const char *name, int from);
XmlNode *XmlGetChild(Collection *children, int index);
// The first child element named `name`, or null.
XmlNode *XmlFirstChild(const XmlNode *node, const char *name);
// A heap copy of the value of the attribute `name` (the last of that name),
// or null.
char *XmlGetAttr(Collection *attributes, const char *name);

#endif
