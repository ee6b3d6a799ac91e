#include "regobject.h"

#include <cstring>
#include <vector>

namespace forms {

TRegistry::~TRegistry() { CloseKey(); }

void TRegistry::SetRootKey(HKEY root) {
  CloseKey();
  root_key_ = root;
}

void TRegistry::CloseKey() {
  if (!current_key_) return;
  if (!lazy_write_) RegFlushKey(current_key_);
  RegCloseKey(current_key_);
  current_key_ = nullptr;
  current_path_.clear();
}

void TRegistry::ChangeKey(HKEY key, const std::string& path) {
  CloseKey();
  current_key_ = key;
  current_path_ = path;
}

void TRegistry::WriteData(const std::string& name, DWORD type, const void* data, DWORD size) {
  if (!current_key_ ||
      RegSetValueExA(current_key_, name.c_str(), 0, type, static_cast<const BYTE*>(data), size) != ERROR_SUCCESS)
    throw ERegistryException(Format("Failed to set data for '%s'", {name}));
}

std::string TRegistry::ReadData(const std::string& name, DWORD type, DWORD other_type) {
  DWORD actual = REG_NONE;
  DWORD size = 0;
  if (!current_key_ || RegQueryValueExA(current_key_, name.c_str(), nullptr, &actual, nullptr, &size) != ERROR_SUCCESS)
    throw ERegistryException(Format("Failed to get data for '%s'", {name}));
  if (actual != type && actual != other_type)
    throw ERegistryException(Format("Invalid data type for '%s'", {name}));
  std::string data(size, '\0');
  if (RegQueryValueExA(current_key_, name.c_str(), nullptr, &actual, reinterpret_cast<BYTE*>(data.data()), &size) !=
      ERROR_SUCCESS)
    throw ERegistryException(Format("Failed to get data for '%s'", {name}));
  data.resize(size);
  return data;
}

void TRegistry::WriteString(const std::string& name, const std::string& value) {
  WriteData(name, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
}

std::string TRegistry::ReadString(const std::string& name) {
  std::string data = ReadData(name, REG_SZ, REG_EXPAND_SZ);
  // The stored text may or may not carry its terminator.
  size_t end = data.find('\0');
  return end == std::string::npos ? data : data.substr(0, end);
}

void TRegistry::WriteInteger(const std::string& name, int32_t value) {
  WriteData(name, REG_DWORD, &value, sizeof value);
}

int32_t TRegistry::ReadInteger(const std::string& name) {
  std::string data = ReadData(name, REG_DWORD, REG_DWORD);
  if (data.size() != sizeof(int32_t)) throw ERegistryException(Format("Invalid data type for '%s'", {name}));
  int32_t value;
  memcpy(&value, data.data(), sizeof value);
  return value;
}

void TRegistry::WriteFloat(const std::string& name, double value) {
  WriteData(name, REG_BINARY, &value, sizeof value);
}

double TRegistry::ReadFloat(const std::string& name) {
  std::string data = ReadData(name, REG_BINARY, REG_BINARY);
  if (data.size() != sizeof(double)) throw ERegistryException(Format("Invalid data type for '%s'", {name}));
  double value;
  memcpy(&value, data.data(), sizeof value);
  return value;
}

void TRegistry::WriteBool(const std::string& name, bool value) { WriteInteger(name, value ? 1 : 0); }

bool TRegistry::ReadBool(const std::string& name) { return ReadInteger(name) != 0; }

bool TRegistry::ValueExists(const std::string& name) {
  return current_key_ && RegQueryValueExA(current_key_, name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool TRegistry::GetKeyInfo(TRegKeyInfo& info) {
  info = TRegKeyInfo{};
  DWORD subkeys = 0, max_subkey = 0, values = 0;
  if (!current_key_ || RegQueryInfoKeyA(current_key_, nullptr, nullptr, nullptr, &subkeys, &max_subkey, nullptr,
                                        &values, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
    return false;
  info.NumSubKeys = subkeys;
  info.MaxSubKeyLen = max_subkey;
  info.NumValues = values;
  return true;
}

void TRegistry::GetKeyNames(TStringList& names) {
  names.Clear();
  TRegKeyInfo info;
  if (!GetKeyInfo(info)) return;
  std::vector<char> name(info.MaxSubKeyLen + 1);
  for (DWORD i = 0; i < info.NumSubKeys; ++i) {
    DWORD length = static_cast<DWORD>(name.size());
    if (RegEnumKeyExA(current_key_, i, name.data(), &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
      names.Add(std::string(name.data(), length));
  }
}

void TRegistry::GetValueNames(TStringList& names) {
  names.Clear();
  DWORD count = 0, longest = 0;
  if (!current_key_ || RegQueryInfoKeyA(current_key_, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                                        &longest, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
    return;
  std::vector<char> name(longest + 1);
  for (DWORD i = 0; i < count; ++i) {
    DWORD length = static_cast<DWORD>(name.size());
    if (RegEnumValueA(current_key_, i, name.data(), &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
      names.Add(std::string(name.data(), length));
  }
}

}  // namespace forms
