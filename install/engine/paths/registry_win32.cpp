// The registry routines over the Windows registry.
#include <memory>
#include <vector>

#include "core/support.h"
#include "paths/registry.h"

namespace install {

using namespace forms;

namespace {

const HKEY kPredefinedKeys[] = {HKEY_CLASSES_ROOT,  HKEY_CURRENT_CONFIG, HKEY_CURRENT_USER,
                                HKEY_DYN_DATA,      HKEY_LOCAL_MACHINE,  HKEY_USERS};

// The path as Windows takes it: without the leading backslash of an
// absolute path.
std::string SystemPath(const std::string& key) { return IsRelativeKey(key) ? key : key.substr(1); }

// Deletes the subkeys of the open key, depth first. From the highest index
// down, so that each deletion leaves the indexes still to visit in place;
// an index whose name cannot be read is skipped.
void DeleteSubkeys(HKEY key) {
  DWORD count = 0;
  DWORD longest = 0;
  if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &count, &longest, nullptr, nullptr, nullptr, nullptr,
                       nullptr, nullptr) != ERROR_SUCCESS)
    return;
  std::vector<char> name(longest + 1);  // room for the terminator
  for (DWORD index = count; index-- > 0;) {
    DWORD length = static_cast<DWORD>(name.size());
    if (RegEnumKeyExA(key, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      continue;
    HKEY subkey;
    if (RegOpenKeyExA(key, name.data(), 0, KEY_ALL_ACCESS, &subkey) == ERROR_SUCCESS) {
      DeleteSubkeys(subkey);
      RegCloseKey(subkey);
    }
    RegDeleteKeyA(key, name.data());
  }
}

// A registry object rooted at root_key, for one call.
std::unique_ptr<TqndrRegistry> RegistryAt(TRootKeys root_key) {
  auto registry = std::make_unique<TqndrRegistry>();
  SetRegistryRootKey(*registry, root_key);
  return registry;
}

// The value read from the key by read, or the default for any registry
// reason.
template <class T, class Read>
T ReadValue(TRootKeys root_key, const std::string& key, const std::string& ident, T default_value, Read read) {
  auto registry = RegistryAt(root_key);
  if (!registry->KeyExists(key) || !registry->OpenKey(key, false) || !registry->ValueExists(ident))
    return default_value;
  try {
    return read(*registry);
  } catch (const ERegistryException&) {
    return default_value;
  }
}

// Writes one value through write; failure raises EIRCannotWriteValue with
// message.
template <class Write>
void WriteValue(TRootKeys root_key, const std::string& key, const std::string& message, Write write) {
  auto registry = RegistryAt(root_key);
  if (!registry->OpenKey(key, true)) throw EIRCannotWriteValue(message);
  try {
    write(*registry);
  } catch (const ERegistryException&) {
    throw EIRCannotWriteValue(message);
  }
}

}  // namespace

HKEY TqndrRegistry::BaseKey(const std::string& key) const {
  return IsRelativeKey(key) && CurrentKey() ? CurrentKey() : RootKey();
}

bool TqndrRegistry::KeyExists(const std::string& key) {
  HKEY opened;
  if (RegOpenKeyExA(BaseKey(key), SystemPath(key).c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
  RegCloseKey(opened);
  return true;
}

bool TqndrRegistry::OpenKey(const std::string& key, bool can_create) {
  std::string path = SystemPath(key);
  HKEY base = BaseKey(key);
  HKEY opened;
  LONG result = !can_create || key.empty() || KeyExists(key)
                    ? RegOpenKeyExA(base, path.c_str(), 0, KEY_READ | KEY_WRITE, &opened)
                    : RegCreateKeyExA(base, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                      nullptr, &opened, nullptr);
  if (result != ERROR_SUCCESS) return false;
  ChangeKey(opened, IsRelativeKey(key) && CurrentKey() ? CurrentPath() + "\\" + path : path);
  return true;
}

bool TqndrRegistry::DeleteKey(const std::string& key) {
  std::string path = SystemPath(key);
  HKEY base = BaseKey(key);
  HKEY opened;
  if (RegOpenKeyExA(base, path.c_str(), 0, KEY_ALL_ACCESS, &opened) == ERROR_SUCCESS) {
    DeleteSubkeys(opened);
    RegCloseKey(opened);
  }
  return RegDeleteKeyA(base, path.c_str()) == ERROR_SUCCESS;
}

TRootKeys HKEYToRootKey(HKEY key, TRootKeys default_key) {
  for (size_t i = 0; i < std::size(kPredefinedKeys); ++i)
    if (kPredefinedKeys[i] == key) return static_cast<TRootKeys>(i);
  return default_key;
}

void SetRegistryRootKey(TRegistry& registry, int root_key) {
  if (root_key >= 0 && root_key < static_cast<int>(std::size(kPredefinedKeys)))
    registry.SetRootKey(kPredefinedKeys[root_key]);
}

void WriteRegistryString(TRootKeys root_key, const std::string& key, const std::string& ident,
                         const std::string& value) {
  WriteValue(root_key, key, CannotWriteStringMessage(key, ident, value),
             [&](TqndrRegistry& registry) { registry.WriteString(ident, value); });
}

void WriteRegistryInteger(TRootKeys root_key, const std::string& key, const std::string& ident, int32_t value) {
  WriteValue(root_key, key, key, [&](TqndrRegistry& registry) { registry.WriteInteger(ident, value); });
}

std::string ReadRegistryString(TRootKeys root_key, const std::string& key, const std::string& ident,
                               const std::string& default_value) {
  return ReadValue(root_key, key, ident, default_value,
                   [&](TqndrRegistry& registry) { return registry.ReadString(ident); });
}

int32_t ReadRegistryInteger(TRootKeys root_key, const std::string& key, const std::string& ident,
                            int32_t default_value) {
  return ReadValue(root_key, key, ident, default_value,
                   [&](TqndrRegistry& registry) { return registry.ReadInteger(ident); });
}

void DeleteRegistryKeyTree(TRootKeys root_key, const std::string& key) {
  try {
    auto registry = RegistryAt(root_key);
    if (!registry->OpenKey(key, false)) return;
    TStringList names;
    registry->GetKeyNames(names);
    registry->CloseKey();
    for (int i = 0; i < names.Count(); ++i) DeleteRegistryKeyTree(root_key, AddTrailingBackslash(key) + names[i]);
    registry->DeleteKey(key);
  } catch (...) {
    // A tree that cannot be deleted is left as it is.
  }
}

bool AddRunOnceEntry(const std::string& name, const std::string& value, bool unique) {
  TqndrRegistry registry;
  registry.SetRootKey(NTFamilyOSSet & OSBit(GetOSVersion()) ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE);
  if (!registry.OpenKey("\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", true)) return false;
  std::string value_name = name;
  for (int counter = 1; unique && registry.ValueExists(value_name); ++counter) value_name = name + IntToStr(counter);
  try {
    registry.WriteString(value_name, value);
    registry.SetLazyWrite(false);
    registry.CloseKey();
  } catch (const ERegistryException&) {
    return false;
  }
  return true;
}

}  // namespace install
