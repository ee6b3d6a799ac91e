#include "xmlparse.h"

#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "log.h"
#include "text.h"

namespace {

constexpr int kListCapacity = 5;
constexpr int kListStep = 5;
constexpr int kColumnsPerRow = 256;

}  // namespace

XmlNode *XmlNodeNew(uint8_t kind, const char *name, const char *text) {
  auto *node = new (std::nothrow) XmlNode;
  if (!node) return nullptr;
  node->kind = kind;
  node->name = DupText(name);
  node->text = DupText(text);
  node->attributes = _Co_Create(kListCapacity, kListStep, nullptr);
  node->children = _Co_Create(kListCapacity, kListStep, XmlNodeFree);
  if ((name && !node->name) || (text && !node->text) || !node->attributes || !node->children) {
    XmlNodeFree(node);
    return nullptr;
  }
  return node;
}

void XmlNodeFree(void *item) {
  auto *node = static_cast<XmlNode *>(item);
  if (!node) return;
  std::free(node->name);
  std::free(node->text);
  _Co_Free(node->attributes);
  _Co_Free(node->children);
  delete node;
}

int XmlAppendChild(XmlNode *parent, XmlNode *child) {
  if (!child) return 0;
  if (!parent) {
    XmlNodeFree(child);
    return 0;
  }
  child->parent = parent;
  return _Co_Add(parent->children, child) >= 0 ? 1 : 0;
}

namespace {

// Leading and trailing spaces dropped, each inner run of spaces made one.
std::string Normalize(const std::string &segment) {
  std::string out;
  bool pendingSpace = false;
  for (char c : segment) {
    if (c == ' ') {
      pendingSpace = !out.empty();
      continue;
    }
    if (pendingSpace) out += ' ';
    pendingSpace = false;
    out += c;
  }
  return out;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

struct Attribute {
  std::string name, value;
};

struct Tag {
  std::string name;
  std::vector<Attribute> attributes;
};

// Splits a tag's text into its name and its double-quoted attributes.
// Single-quoted text stays in one token but makes no attribute.
bool SplitTag(std::string text, Tag &tag) {
  if (!text.empty() && text.front() == '<') text.erase(0, 1);
  if (!text.empty() && text.back() == '>') text.pop_back();
  std::string token, lastToken, attributeName, value;
  bool haveName = false, inDouble = false, inSingle = false;
  for (char c : text) {
    if (inDouble) {
      if (c != '"') {
        value += c;
        continue;
      }
      if (attributeName.empty() || value.empty()) return false;
      tag.attributes.push_back({attributeName, value});
      inDouble = false;
      lastToken.clear();
    } else if (inSingle) {
      if (c == '\'')
        inSingle = false;
      else
        token += c;
    } else if (c == '\'') {
      inSingle = true;
    } else if (c == '"') {
      attributeName = token.empty() ? lastToken : token;
      token.clear();
      lastToken.clear();
      value.clear();
      inDouble = true;
    } else if (IsBlank(c) || c == '=') {
      if (token.empty()) continue;
      if (!haveName && c != '=' && c != '\n') {
        tag.name = token;
        haveName = true;
      }
      lastToken = token;
      token.clear();
    } else {
      token += c;
    }
  }
  if (!token.empty()) lastToken = token;
  if (!haveName) tag.name = lastToken;
  return true;
}

class Parser {
 public:
  explicit Parser(XmlDocument *document)
      : document_(document), open_(NodeListCreate(kListCapacity, kListStep)) {}
  ~Parser() { NodeListFree(open_); }
  Parser(const Parser &) = delete;
  Parser &operator=(const Parser &) = delete;
  bool Run(const char *text);

 private:
  XmlNode *Current() const {
    int open = NodeListCount(open_);
    return open > 0 ? NodeListGet(open_, open - 1) : document_->root;
  }
  // `format` takes the row and the column.
  void Report(const char *format) { _msg(format, row_, column_); }
  bool FlushText();
  bool OpenElement(bool selfClosing);
  void CloseElement();
  bool EndComment();  // false on failure; segment and state updated
  bool Step(const char *p);

  XmlDocument *document_;
  Collection *open_;  // the elements still open, innermost last
  std::string segment_;
  int state_ = 0;
  int row_ = 1;
  int column_ = 0;
  char previous_ = '\0';
};

bool Parser::FlushText() {
  std::string text = Normalize(segment_);
  if (text.empty()) return true;
  return XmlAppendChild(Current(), XmlNodeNew(kXmlText, "PCDATA", text.c_str()));
}

bool Parser::OpenElement(bool selfClosing) {
  Tag tag;
  if (!SplitTag(Normalize(segment_), tag)) return false;
  XmlNode *element = XmlNodeNew(kXmlElement, tag.name.c_str(), nullptr);
  if (!element) return false;
  for (const Attribute &attribute : tag.attributes) {
    if (!XmlAddAttr(element->attributes, attribute.name.c_str(), attribute.value.c_str())) {
      XmlNodeFree(element);
      return false;
    }
  }
  if (!XmlAppendChild(Current(), element)) return false;
  return selfClosing || NodeListAppend(open_, element);
}

void Parser::CloseElement() {
  std::string name = Normalize(segment_);
  if (NodeListHasName(open_, name.c_str())) {
    bool closed = false;
    while (!closed && NodeListCount(open_) > 0) {
      closed = EqualNoCase(NodeListLastName(open_), name.c_str());
      NodeListRemoveLast(open_);
    }
    return;
  }
  Report("xmlparse: End tag found without matching start tag: [Row: %d, Col: %d]\n");
}

bool Parser::EndComment() {
  std::string body = segment_;
  while (!body.empty() && body.back() == ' ') body.pop_back();
  bool closed = body.size() >= 2 && body.compare(body.size() - 2, 2, "--") == 0 &&
                body.find_first_not_of('-') != std::string::npos;
  state_ = 0;
  if (!closed) {
    segment_ += '>';
    return true;
  }
  // The text between the first and the last "--", spaces at both ends
  // removed; its inner spacing is kept.
  size_t first = body.find("--") + 2;
  size_t last = body.rfind("--");
  std::string text = last > first ? body.substr(first, last - first) : std::string();
  size_t begin = text.find_first_not_of(' ');
  text = begin == std::string::npos ? std::string() : text.substr(begin, text.find_last_not_of(' ') - begin + 1);
  segment_.clear();
  if (text.empty()) return false;
  return XmlAppendChild(Current(), XmlNodeNew(kXmlComment, nullptr, text.c_str()));
}

bool Parser::Step(const char *p) {
  char c = *p, next = p[1];
  bool afterOpen = state_ == 1 && previous_ == '<';
  switch (c) {
    case '\r':
    case '\n':
      segment_ += ' ';
      break;
    case '!':
      if (afterOpen) {
        state_ = (next == '-' && p[2] == '-') ? 4 : 5;
        segment_.clear();
      } else {
        segment_ += c;
      }
      break;
    case '?':
      if (afterOpen) {
        state_ = 5;
        segment_.clear();
      } else {
        segment_ += c;
      }
      break;
    case '-':
      if (state_ == 5 && IsBlank(previous_) && next == '-')
        state_ = 6;
      else if (state_ == 6 && next == '-')
        state_ = 5;
      segment_ += c;
      break;
    case '/':
      if (afterOpen) {
        state_ = 3;
        segment_.clear();
      } else if (!(state_ == 1 && next == '>')) {
        segment_ += c;
      }
      break;
    case '<':
      if (state_ == 1) {
        Report("xmlparse: Unexpected '<' encountered [Row:%d Col:%d]\n");
      } else if (state_ == 4 || state_ == 6 || state_ == 7) {
        segment_ += c;
      } else {
        if (!FlushText()) return false;
        segment_.clear();
        state_ = 1;
      }
      break;
    case '>':
      switch (state_) {
        case 1:
          if (!OpenElement(previous_ == '/')) return false;
          segment_.clear();
          state_ = 0;
          break;
        case 3:
          CloseElement();
          segment_.clear();
          state_ = 0;
          break;
        case 4:
          return EndComment();
        case 5:
          break;
        case 7:
          segment_ += c;
          break;
        default:
          Report("xmlparse: Unexpected '>' encountered [Row: %d, Col: %d]\n");
      }
      break;
    case '[':
      if (state_ == 5) state_ = 7;
      segment_ += c;
      break;
    case ']':
      if (state_ == 7 && next == '>') state_ = 5;
      segment_ += c;
      break;
    default:
      segment_ += c;
  }
  return true;
}

bool Parser::Run(const char *text) {
  if (!open_) return false;
  for (const char *p = text; *p; ++p) {
    if (!Step(p)) return false;
    previous_ = *p;
    ++column_;
    if (*p == '\n' || column_ > kColumnsPerRow) {
      ++row_;
      column_ = 0;
    }
  }
  return true;
}

void Empty(XmlNode *root) {
  std::free(root->name);
  std::free(root->text);
  root->name = root->text = nullptr;
  root->kind = kXmlElement;
  _Co_Clear(root->attributes);
  _Co_Clear(root->children);
}

}  // namespace

XmlDocument *XmlDocCreate() {
  auto *document = new (std::nothrow) XmlDocument{XmlNodeNew(kXmlElement, nullptr, nullptr)};
  if (document && !document->root) {
    delete document;
    return nullptr;
  }
  return document;
}

void XmlDocFree(XmlDocument *document) {
  if (!document) return;
  XmlNodeFree(document->root);
  delete document;
}

int XmlParse(XmlDocument *document, const char *text) {
  if (!document || !text) return 0;
  Empty(document->root);
  try {
    Parser parser(document);
    return parser.Run(text) ? 1 : 0;
  } catch (const std::bad_alloc &) {
    return 0;
  }
}

int XmlFindChild(Collection *children, const char *name, int from) {
  if (!children || !name) return -1;
  for (int i = from < 0 ? 0 : from; i < children->Count; ++i) {
    auto *child = static_cast<XmlNode *>(_Co_Get(children, i));
    if (child && EqualNoCase(child->name, name)) return i;
  }
  return -1;
}

XmlNode *XmlGetChild(Collection *children, int index) {
  return static_cast<XmlNode *>(_Co_Get(children, index));
}

XmlNode *XmlFirstChild(const XmlNode *node, const char *name) {
  if (!node) return nullptr;
  for (int i = XmlFindChild(node->children, name, 0); i >= 0;
       i = XmlFindChild(node->children, name, i + 1)) {
    XmlNode *child = XmlGetChild(node->children, i);
    if (child->kind == kXmlElement) return child;
  }
  return nullptr;
}

char *XmlGetAttr(Collection *attributes, const char *name) {
  int found = -1;
  for (int i = XmlAttrIndex(attributes, name, 0); i >= 0; i = XmlAttrIndex(attributes, name, i + 1))
    found = i;
  return found < 0 ? nullptr : XmlAttrValue(attributes, found);
}
