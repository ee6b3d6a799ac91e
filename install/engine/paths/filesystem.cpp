#include "paths/filesystem.h"

#include <filesystem>

#include "os.h"
#include "sysutils.h"

namespace install {

const std::vector<std::string> kQndrFileAttributeNames = {"qfaArchive", "qfaCompressed", "qfaDirectory",
                                                          "qfaHidden",  "qfaNormal",     "qfaOffline",
                                                          "qfaReadOnly", "qfaSystem",    "qfaTemporary"};

namespace {

struct AttributeValue {
  TQndrFileAttributes element;
  uint32_t windows_value;
  bool written;
  bool read;
};

const AttributeValue kAttributeValues[] = {
    {qfaArchive, 0x20, true, true},    {qfaCompressed, 0x800, false, false}, {qfaDirectory, 0x10, true, false},
    {qfaHidden, 0x2, true, true},      {qfaNormal, 0x80, true, true},        {qfaOffline, 0x1000, true, false},
    {qfaReadOnly, 0x1, true, true},    {qfaSystem, 0x4, true, true},         {qfaTemporary, 0x100, true, true}};

bool DirectoryExists(const std::string& path) {
  os::FileInfo info;
  return os::FileQuery(path.c_str(), &info) && info.isDirectory;
}

}  // namespace

uint32_t WindowsFileAttributes(TQndrFileAttributesSet attributes) {
  uint32_t sum = 0;
  for (const AttributeValue& value : kAttributeValues)
    if (value.written && (attributes & FileAttributeBit(value.element))) sum += value.windows_value;
  return sum;
}

TQndrFileAttributesSet FileAttributesFromWindows(uint32_t windows_attributes) {
  TQndrFileAttributesSet set = 0;
  for (const AttributeValue& value : kAttributeValues)
    if (value.read && (windows_attributes & value.windows_value)) set |= FileAttributeBit(value.element);
  return set;
}

#ifndef _WIN32
bool CopyFileOver(const std::string& source, const std::string& target) {
  std::error_code failed;
  std::filesystem::copy_file(source, target, std::filesystem::copy_options::overwrite_existing, failed);
  return !failed;
}
#endif

std::string NearestExistingDirectory(const std::string& path) {
  if (forms::Trim(path).empty()) return "";
  std::string candidate = path;
  while (!DirectoryExists(candidate)) {
    size_t backslash = candidate.rfind('\\');
    if (backslash == std::string::npos) return "";
    candidate.resize(backslash);
  }
  return candidate;
}

}  // namespace install
