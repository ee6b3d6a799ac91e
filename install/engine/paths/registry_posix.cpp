// The registry routines where there is no registry: every key is missing.
#include "paths/registry.h"

namespace install {

void WriteRegistryString(TRootKeys, const std::string& key, const std::string& ident, const std::string& value) {
  throw EIRCannotWriteValue(CannotWriteStringMessage(key, ident, value));
}

void WriteRegistryInteger(TRootKeys, const std::string& key, const std::string&, int32_t) {
  throw EIRCannotWriteValue(key);
}

std::string ReadRegistryString(TRootKeys, const std::string&, const std::string&, const std::string& default_value) {
  return default_value;
}

int32_t ReadRegistryInteger(TRootKeys, const std::string&, const std::string&, int32_t default_value) {
  return default_value;
}

void DeleteRegistryKeyTree(TRootKeys, const std::string&) {}

bool AddRunOnceEntry(const std::string&, const std::string&, bool) { return false; }

}  // namespace install
