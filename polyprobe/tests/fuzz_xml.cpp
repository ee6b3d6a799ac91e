// Fuzz target: the XML reader on any text, and the lookups on what it built.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "xmlparse.h"

static void Walk(const XmlNode *node) {
  char *name = XmlGetAttr(node->attributes, "name");
  std::free(name);
  XmlFindChild(node->children, "service", 0);
  for (int i = 0; i < node->children->Count; ++i) Walk(XmlGetChild(node->children, i));
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string text(reinterpret_cast<const char *>(data), size);
  XmlDocument *document = XmlDocCreate();
  XmlParse(document, text.c_str());
  Walk(document->root);
  XmlDocFree(document);
  return 0;
}
