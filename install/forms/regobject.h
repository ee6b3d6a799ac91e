// The class library's registry object: a root key, one current key with its
// path, and the value operations on the current key by name. Opening a new
// current key closes the previous one; with lazy write off, closing a key
// flushes it to disk first. Windows only: it stands on the system registry.
#pragma once

#ifdef _WIN32
#include <windows.h>

#include <cstdint>
#include <string>

#include "stringlist.h"
#include "sysutils.h"

namespace forms {

// A value that cannot be read or written as asked.
class ERegistryException : public Exception {
  using Exception::Exception;
};

struct TRegKeyInfo {
  uint32_t NumSubKeys = 0;
  uint32_t MaxSubKeyLen = 0;  // characters, without the terminator
  uint32_t NumValues = 0;
};

class TRegistry {
public:
  TRegistry() = default;
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;
  virtual ~TRegistry();

  HKEY RootKey() const { return root_key_; }
  // Closes the current key, then takes the new root.
  void SetRootKey(HKEY root);
  HKEY CurrentKey() const { return current_key_; }
  const std::string& CurrentPath() const { return current_path_; }
  bool LazyWrite() const { return lazy_write_; }
  void SetLazyWrite(bool v) { lazy_write_ = v; }
  void CloseKey();

  // Strings are REG_SZ; a REG_EXPAND_SZ value reads as its text, unexpanded.
  void WriteString(const std::string& name, const std::string& value);
  std::string ReadString(const std::string& name);
  void WriteInteger(const std::string& name, int32_t value);
  int32_t ReadInteger(const std::string& name);
  // Stored as the 8 bytes of a double (REG_BINARY).
  void WriteFloat(const std::string& name, double value);
  double ReadFloat(const std::string& name);
  // Stored as the integer 0 or 1.
  void WriteBool(const std::string& name, bool value);
  bool ReadBool(const std::string& name);
  bool ValueExists(const std::string& name);
  // The names of the current key's subkeys, in the system's order.
  void GetKeyNames(TStringList& names);
  bool GetKeyInfo(TRegKeyInfo& info);
  // The names of the current key's values, in the system's order.
  void GetValueNames(TStringList& names);

protected:
  // Makes key the current key (the previous one is closed).
  void ChangeKey(HKEY key, const std::string& path);

private:
  void WriteData(const std::string& name, DWORD type, const void* data, DWORD size);
  // The value's bytes; raises when it is missing or of none of the types.
  std::string ReadData(const std::string& name, DWORD type, DWORD other_type);

  HKEY root_key_ = HKEY_CURRENT_USER;
  HKEY current_key_ = nullptr;
  std::string current_path_;
  bool lazy_write_ = true;
};

}  // namespace forms
#endif
