// The installer's registry access: the script's root-key enumeration, a
// registry object with the installer's rules for opening, creating and
// deleting keys (TqndrRegistry), one-shot routines that write or read one
// value, a tree delete, the RunOnce writer, and the well-known folders with
// their fallbacks.
//
// A key path that begins with '\' is absolute from the root key; any other
// is relative to the current key. Readers never raise for registry reasons:
// a missing key or value, a key that cannot be opened for reading and
// writing, or a value of another type gives the default. Writers raise
// EIRCannotWriteValue. Outside Windows there is no registry: every key is
// missing, so readers give their defaults and writers raise.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sysutils.h"

#ifdef _WIN32
#include "regobject.h"
#endif

namespace install {

// A value could not be written into the registry.
class EIRCannotWriteValue : public forms::Exception {
  using forms::Exception::Exception;
};

// The message of a string value that could not be written.
std::string CannotWriteStringMessage(const std::string& key, const std::string& ident, const std::string& value);

// The ordinal is what uninstall records store.
enum TRootKeys : uint8_t { hkClassesRoot, hkCurrentConfig, hkCurrentUser, hkDynData, hkLocalMachine, hkUsers };
extern const std::vector<std::string> kRootKeyNames;

// False exactly when key begins with '\'.
bool IsRelativeKey(const std::string& key);

#ifdef _WIN32
class TqndrRegistry : public forms::TRegistry {
public:
  // Opens the key below its base key for reading and closes it again; the
  // current key stays.
  bool KeyExists(const std::string& key);
  // Makes the key current: opened for reading and writing when it exists
  // (or can_create is false, or the path is empty), else created. On
  // failure nothing changes.
  bool OpenKey(const std::string& key, bool can_create);
  // Deletes the key with everything below it. The caller's current key
  // stays open and current.
  bool DeleteKey(const std::string& key);

private:
  // The current key for a relative path while one is open, else the root.
  HKEY BaseKey(const std::string& key) const;
};

// The predefined key's TRootKeys; any other handle gives default_key.
TRootKeys HKEYToRootKey(HKEY key, TRootKeys default_key);
// A value outside the enumeration leaves the root unchanged.
void SetRegistryRootKey(forms::TRegistry& registry, int root_key);
#endif

void WriteRegistryString(TRootKeys root_key, const std::string& key, const std::string& ident,
                         const std::string& value);
void WriteRegistryInteger(TRootKeys root_key, const std::string& key, const std::string& ident, int32_t value);
std::string ReadRegistryString(TRootKeys root_key, const std::string& key, const std::string& ident,
                               const std::string& default_value);
int32_t ReadRegistryInteger(TRootKeys root_key, const std::string& key, const std::string& ident,
                            int32_t default_value);
// Deletes the key and its subkeys; swallows every failure.
void DeleteRegistryKeyTree(TRootKeys root_key, const std::string& key);
// Writes a RunOnce value (under HKCU on the NT family, else HKLM). With
// unique, an existing name is not overwritten: name1, name2 ... is used.
// False when the key or the value cannot be written.
bool AddRunOnceEntry(const std::string& name, const std::string& value, bool unique);

// The well-known folders, from the registry or their fallbacks; none ends
// in a backslash.
std::string GetStartMenuDir();
std::string GetProgramsMenuDir();
std::string GetDesktopDir();
std::string GetStartupDir();
std::string GetProgramFilesDir();
std::string GetCommonFilesDir();

}  // namespace install
