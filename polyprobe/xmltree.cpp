// The tree side of xmlparse: attributes, node lists, searches, edits, the
// serializer and entities.
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "text.h"
#include "xmlparse.h"

namespace {

void KeepNode(void *) {}

char *HeapText(const std::string &text) { return DupText(text.c_str()); }

const char *AttributeAt(Collection *attributes, int index) {
  return static_cast<const char *>(_Co_Get(attributes, index));
}

// The length of the name part of "name=value" (all of it without '=').
size_t NameLength(const char *attribute) {
  const char *equals = std::strchr(attribute, '=');
  return equals ? static_cast<size_t>(equals - attribute) : std::strlen(attribute);
}

const struct {
  const char *name;
  unsigned char code;
} kEntities[] = {
    {"lt", 60},      {"gt", 62},      {"nbsp", 32},    {"amp", 38},     {"quot", 34},
    {"tilde", 126},  {"iexcl", 0xA1}, {"cent", 0xA2},  {"pound", 0xA3}, {"curren", 0xA4},
    {"yen", 0xA5},   {"brvbar", 0xA6}, {"sect", 0xA7}, {"uml", 0xA8},   {"copy", 0xA9},
    {"ordf", 0xAA},  {"laquo", 0xAB}, {"not", 0xAC},   {"shy", 0xAD},   {"reg", 0xAE},
    {"macr", 0xAF},  {"deg", 0xB0},   {"plusmn", 0xB1}, {"sup2", 0xB2}, {"sup3", 0xB3},
    {"acute", 0xB4}, {"micro", 0xB5}, {"para", 0xB6},  {"middot", 0xB7}, {"ccedil", 0xB8},
    {"sup1", 0xB9},  {"ordm", 0xBA},  {"raquo", 0xBB}, {"frac14", 0xBC}, {"frac12", 0xBD},
    {"frac34", 0xBE}, {"times", 0xD7},
};

// The character an entity name stands for; -1 when it names none.
int EntityCode(const std::string &name) {
  if (name.size() > 1 && name[0] == '#') {
    for (size_t i = 1; i < name.size(); ++i)
      if (!std::isdigit(static_cast<unsigned char>(name[i]))) return -1;
    long code = std::strtol(name.c_str() + 1, nullptr, 10);
    return code >= 0 && code <= 255 ? static_cast<int>(code) : -1;
  }
  for (const auto &entity : kEntities)
    if (name == entity.name) return entity.code;
  return -1;
}

template <typename Matches>
int Collect(Collection *list, Collection *out, int depth, Matches matches) {
  for (int i = 0; list && i < list->Count; ++i) {
    XmlNode *node = NodeListGet(list, i);
    if (matches(node) && !NodeListAppend(out, node)) return -1;
    if (depth != 0 && Collect(node->children, out, depth - 1, matches) < 0) return -1;
  }
  return 1;
}

void Serialize(XmlNode *node, int level, std::string &out) {
  out += "\n";
  out.append(static_cast<size_t>(2 * level), ' ');
  switch (node->kind) {
    case kXmlElement: {
      for (char *c = node->name; c && *c; ++c) *c = static_cast<char>(std::toupper(static_cast<unsigned char>(*c)));
      const char *name = node->name ? node->name : "";
      char *attributes = XmlAttrText(node);
      out += std::string("<") + name + (attributes ? attributes : "");
      std::free(attributes);
      if (node->children->Count == 0) {
        out += "/>";
        break;
      }
      out += ">";
      for (int i = 0; i < node->children->Count; ++i)
        Serialize(XmlGetChild(node->children, i), level + 1, out);
      out += "\n";
      out.append(static_cast<size_t>(2 * level), ' ');
      out += std::string("</") + name + ">";
      break;
    }
    case kXmlComment:
      out += std::string("<!-- ") + (node->text ? node->text : "") + " -->";
      break;
    case kXmlDeclaration:
      out += std::string("<") + (node->name ? node->name : "") + " " + (node->text ? node->text : "") + ">";
      break;
    default:
      out += node->text ? node->text : "";
  }
}

}  // namespace

int XmlAttrIndex(Collection *attributes, const char *name, int from) {
  if (!attributes || !name) return -1;
  size_t length = std::strlen(name);
  for (int i = from < 0 ? 0 : from; i < attributes->Count; ++i) {
    const char *attribute = AttributeAt(attributes, i);
    if (attribute && NameLength(attribute) == length &&
        EqualNoCase(std::string(attribute, length).c_str(), name))
      return i;
  }
  return -1;
}

char *XmlAttrName(Collection *attributes, int index) {
  const char *attribute = AttributeAt(attributes, index);
  return attribute ? HeapText(std::string(attribute, NameLength(attribute))) : nullptr;
}

char *XmlAttrValue(Collection *attributes, int index) {
  const char *attribute = AttributeAt(attributes, index);
  const char *equals = attribute ? std::strchr(attribute, '=') : nullptr;
  return equals ? DupText(equals + 1) : nullptr;
}

int XmlAddAttr(Collection *attributes, const char *name, const char *value) {
  if (!attributes || !name || !value || !*name || !*value) return 0;
  char *attribute = HeapText(std::string(name) + "=" + value);
  return attribute && _Co_Add(attributes, attribute) >= 0 ? 1 : 0;
}

int XmlReplaceAttr(Collection *attributes, const char *name, const char *value) {
  int index = XmlAttrIndex(attributes, name);
  if (index < 0) return XmlAddAttr(attributes, name, value);
  if (!value || !*value) return 0;
  char *attribute = HeapText(std::string(name) + "=" + value);
  if (!attribute) return 0;
  _Co_Put(attributes, index, attribute);
  return 1;
}

char *XmlAttrText(const XmlNode *element) {
  std::string text;
  for (int i = 0; element && i < element->attributes->Count; ++i) {
    const char *attribute = AttributeAt(element->attributes, i);
    size_t length = NameLength(attribute);
    const char *value = attribute[length] ? attribute + length + 1 : "";
    text += " " + std::string(attribute, length) + "=\"" + value + "\"";
  }
  return HeapText(text);
}

Collection *NodeListCreate(int capacity, int step) { return _Co_Create(capacity, step, KeepNode); }
void NodeListFree(Collection *list) { _Co_Free(list); }
void NodeListClear(Collection *list) { _Co_Clear(list); }
XmlNode *NodeListGet(Collection *list, int index) { return static_cast<XmlNode *>(_Co_Get(list, index)); }
int NodeListCount(Collection *list) { return list ? list->Count : -1; }
int NodeListAppend(Collection *list, XmlNode *node) { return _Co_Add(list, node) >= 0 ? 1 : 0; }

void NodeListRemoveLast(Collection *list) {
  if (list && list->Count > 0) _Co_RemoveItem(list, list->Count - 1);
}

const char *NodeListLastName(Collection *list) {
  XmlNode *last = list && list->Count > 0 ? NodeListGet(list, list->Count - 1) : nullptr;
  return last ? last->name : nullptr;
}

bool NodeListHasName(Collection *list, const char *name) {
  for (int i = 0; list && i < list->Count; ++i)
    if (EqualNoCase(NodeListGet(list, i)->name, name)) return true;
  return false;
}

int XmlCollectByKind(Collection *list, Collection *out, uint8_t kind, int depth) {
  NodeListClear(out);
  return Collect(list, out, depth, [kind](const XmlNode *node) { return node->kind == kind; });
}

int XmlCollectByName(Collection *list, Collection *out, const char *name, int depth) {
  NodeListClear(out);
  return Collect(list, out, depth, [name](const XmlNode *node) {
    return node->kind == kXmlElement && EqualNoCase(node->name, name);
  });
}

int XmlCollectByAttr(Collection *list, Collection *out, const char *name, const char *value,
                     int depth) {
  NodeListClear(out);
  bool anyValue = !value || !*value || std::strcmp(value, "*") == 0;
  return Collect(list, out, depth, [&](const XmlNode *node) {
    int index = XmlAttrIndex(node->attributes, name);
    if (index < 0) return false;
    if (anyValue) return true;
    char *actual = XmlAttrValue(node->attributes, index);
    bool equal = EqualNoCase(actual, value);
    std::free(actual);
    return equal;
  });
}

XmlNode *XmlNodeCopy(const XmlNode *node) {
  if (!node) return nullptr;
  XmlNode *copy = XmlNodeNew(node->kind, node->name, node->text);
  if (!copy) return nullptr;
  for (int i = 0; i < node->attributes->Count; ++i) {
    char *attribute = DupText(AttributeAt(node->attributes, i));
    if (!attribute || _Co_Add(copy->attributes, attribute) < 0) {
      XmlNodeFree(copy);
      return nullptr;
    }
  }
  for (int i = 0; i < node->children->Count; ++i) {
    if (!XmlAppendChild(copy, XmlNodeCopy(XmlGetChild(node->children, i)))) {
      XmlNodeFree(copy);
      return nullptr;
    }
  }
  return copy;
}

int XmlInsertChild(XmlNode *parent, int index, XmlNode *child) {
  if (!parent || !child || index < 0 || index > parent->children->Count) {
    XmlNodeFree(child);
    return 0;
  }
  child->parent = parent;
  return _Co_Insert(parent->children, index, child) >= 0 ? 1 : 0;  // a refused child is freed
}

void XmlDeleteChildAt(XmlNode *parent, int index) {
  if (parent) _Co_Delete(parent->children, index);
}

void XmlDeleteChild(XmlNode *parent, XmlNode *child) {
  if (parent) _Co_DelItem(parent->children, child);
}

const char *XmlLastText(const XmlNode *element) {
  for (int i = element ? element->children->Count - 1 : -1; i >= 0; --i) {
    const XmlNode *child = XmlGetChild(element->children, i);
    if (child->kind == kXmlText) return child->text;
  }
  return nullptr;
}

int XmlNodeDepth(const XmlNode *node) {
  int depth = 0;
  for (const XmlNode *up = node ? node->parent : nullptr; up; up = up->parent) ++depth;
  return depth;
}

int XmlNodeIndex(const XmlNode *node) {
  if (!node || !node->parent) return -1;
  return _Co_FindItem(node->parent->children, const_cast<XmlNode *>(node));
}

char *XmlSerialize(Collection *list) {
  std::string out;
  for (int i = 0; list && i < list->Count; ++i) Serialize(XmlGetChild(list, i), 0, out);
  return HeapText(out);
}

char *XmlEscape(const char *text) {
  if (!text) return nullptr;
  std::string out;
  for (const char *c = text; *c; ++c) {
    if (*c == '&')
      out += "&amp;";
    else if (*c == '<')
      out += "&lt;";
    else if (*c == '>')
      out += "&gt;";
    else
      out += *c;
  }
  return HeapText(out);
}

char *XmlDecode(const char *text) {
  if (!text) return nullptr;
  std::string out;
  for (const char *c = text; *c; ++c) {
    const char *end = *c == '&' ? std::strchr(c + 1, ';') : nullptr;
    int code = end ? EntityCode(std::string(c + 1, end)) : -1;
    if (code < 0) {
      out += *c;
      continue;
    }
    out += static_cast<char>(code);
    c = end;
  }
  return HeapText(out);
}
