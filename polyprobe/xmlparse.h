// xmlparse: the library's small, tolerant XML reader. It turns a text into
// a tree of nodes (elements with "name=value" attribute texts, text nodes
// named "PCDATA", comments) and offers lookups of children and attributes,
// node lists for searches, tree edits, a serializer and entity escaping.
// Stray '<' or '>' and unmatched end tags are logged with row and column and
// skipped; out of memory, an attribute with an empty value and an empty
// comment fail the parse. Parses are independent: any number may run at
// once on separate documents.
#ifndef POLYPROBE_XMLPARSE_H
#define POLYPROBE_XMLPARSE_H

#include <cstdint>

#include "collection.h"

enum XmlKind : uint8_t { kXmlElement = 1, kXmlText = 2, kXmlComment = 3, kXmlDeclaration = 4 };

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

// A node with copies of name and text and empty lists; null when out of
// memory. XmlNodeFree frees it with its subtree.
XmlNode *XmlNodeNew(uint8_t kind, const char *name, const char *text);
void XmlNodeFree(void *node);

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
// Index of the first attribute named `name` at or after `from`, or -1.
int XmlAttrIndex(Collection *attributes, const char *name, int from = 0);
// Heap copies of the name and the value of the attribute at `index`.
char *XmlAttrName(Collection *attributes, int index);
char *XmlAttrValue(Collection *attributes, int index);
// Adds "name=value"; refused (0) when either is empty.
int XmlAddAttr(Collection *attributes, const char *name, const char *value);
// Gives the first attribute of that name the value, or adds it.
int XmlReplaceAttr(Collection *attributes, const char *name, const char *value);
// The attributes as they stand in a tag: ` name="value"` each.
char *XmlAttrText(const XmlNode *element);

// Node lists hold nodes without owning them (searches, the parser's stack
// of open elements). NodeListCount gives -1 for a null list.
Collection *NodeListCreate(int capacity, int step);
void NodeListFree(Collection *list);
void NodeListClear(Collection *list);
XmlNode *NodeListGet(Collection *list, int index);
int NodeListCount(Collection *list);
int NodeListAppend(Collection *list, XmlNode *node);  // 1, or 0 when refused
void NodeListRemoveLast(Collection *list);
const char *NodeListLastName(Collection *list);
bool NodeListHasName(Collection *list, const char *name);

// Empty `out`, then walk `list` in order and append each matching node
// before its children: depth 0 looks at the list only, a positive depth
// descends that many levels, a negative one without limit. 1, or -1 when
// an append failed.
int XmlCollectByKind(Collection *list, Collection *out, uint8_t kind, int depth);
int XmlCollectByName(Collection *list, Collection *out, const char *name, int depth);
// Nodes with the attribute `name` whose value equals `value` (letter case
// ignored); a null, empty or "*" value matches every value.
int XmlCollectByAttr(Collection *list, Collection *out, const char *name, const char *value,
                     int depth);

// Tree edits. Inserted children belong to the tree; deleted ones are freed.
XmlNode *XmlNodeCopy(const XmlNode *node);  // with its subtree, no parent
int XmlAppendChild(XmlNode *parent, XmlNode *child);  // 1, or 0 (the child is freed)
int XmlInsertChild(XmlNode *parent, int index, XmlNode *child);  // the same
void XmlDeleteChildAt(XmlNode *parent, int index);
void XmlDeleteChild(XmlNode *parent, XmlNode *child);
const char *XmlLastText(const XmlNode *element);  // of its last text child, or null
int XmlNodeDepth(const XmlNode *node);  // 0 for the document root
int XmlNodeIndex(const XmlNode *node);  // in its parent's children, -1 without one

// The nodes of `list` as text, one node a line, two spaces of indent a
// level; element names are upper-cased in place. A heap text.
char *XmlSerialize(Collection *list);
// "&amp;", "&lt;" and "&gt;" for '&', '<' and '>'; "&name;" and "&#code;"
// back to their characters (unknown names stay as they are). Heap texts.
char *XmlEscape(const char *text);
char *XmlDecode(const char *text);

#endif
