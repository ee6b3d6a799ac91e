#include "core/support.h"

#include <cctype>

#include "core/exceptions.h"
#include "os.h"

namespace install {

using namespace forms;

std::string AddTrailingBackslash(const std::string& s) {
  return s.empty() || s.back() == '\\' ? s : s + '\\';
}

std::string RemoveTrailingBackslash(const std::string& s) {
  return !s.empty() && s.back() == '\\' ? s.substr(0, s.size() - 1) : s;
}

int GetFieldCount(const std::string& s, char delimiter) {
  int count = 0;
  for (char c : s)
    if (c == delimiter) ++count;
  if (!s.empty() && s.back() != delimiter) ++count;
  return count;
}

std::string GetDelimitedField(const std::string& s, int n, char delimiter) {
  size_t start = 0;
  for (int i = 1; i < n; ++i) {
    size_t next = s.find(delimiter, start);
    if (next == std::string::npos) return "";
    start = next + 1;
  }
  size_t end = s.find(delimiter, start);
  return s.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

void SplitToStrings(const std::string& s, char delimiter, TStringList& list) {
  list.Clear();
  int count = GetFieldCount(s, delimiter);
  for (int i = 1; i <= count; ++i) list.Add(GetDelimitedField(s, i, delimiter));
}

std::string TextAfterColon(const std::string& s) {
  size_t colon = s.find(':');
  return colon == std::string::npos ? s : s.substr(colon + 1);
}

std::string MakeFileNameSafe(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '/')
      out += '-';
    else if (std::string("\"*:;<>?\\|").find(c) == std::string::npos)
      out += c;
  }
  return out;
}

namespace {

bool IsPathDelimiter(char c) { return c == '\\' || c == '/'; }

size_t LastPathDelimiter(const std::string& path) { return path.find_last_of("\\/"); }

// Where the file name's extension begins, or npos when it has none.
size_t ExtensionStart(const std::string& path) {
  size_t dot = path.find_last_of('.');
  size_t sep = LastPathDelimiter(path);
  return dot == std::string::npos || (sep != std::string::npos && dot < sep) ? std::string::npos : dot;
}

}  // namespace

std::string ExtractFileDir(const std::string& path) {
  size_t sep = LastPathDelimiter(path);
  if (sep == std::string::npos) return "";
  if (sep == 0 || (sep == 2 && path[1] == ':')) return path.substr(0, sep + 1);
  return path.substr(0, sep);
}

std::string ExtractFileName(const std::string& path) {
  size_t sep = LastPathDelimiter(path);
  return sep == std::string::npos ? path : path.substr(sep + 1);
}

std::string ExtractFileExt(const std::string& path) {
  size_t dot = ExtensionStart(path);
  return dot == std::string::npos ? std::string() : path.substr(dot);
}

std::string ChangeFileExt(const std::string& path, const std::string& extension) {
  size_t dot = ExtensionStart(path);
  return dot == std::string::npos ? path + extension : path.substr(0, dot) + extension;
}

std::string AddTrailingPathDelimiter(const std::string& path) {
  return path.empty() || IsPathDelimiter(path.back()) ? path : path + kPathDelimiter;
}

bool FileExists(const std::string& path) {
  os::FileInfo info;
  return !path.empty() && os::FileQuery(path.c_str(), &info) && !info.isDirectory;
}

bool ForceDirectories(const std::string& dir) {
  std::string trimmed = dir;
  while (trimmed.size() > 1 && IsPathDelimiter(trimmed.back())) trimmed.pop_back();
  if (trimmed.empty()) return true;
  os::FileInfo info;
  if (os::FileQuery(trimmed.c_str(), &info)) return info.isDirectory;
  std::string parent = ExtractFileDir(trimmed);
  if (!parent.empty() && parent != trimmed && !ForceDirectories(parent)) return false;
  return os::DirectoryCreate(trimmed.c_str()) || (os::FileQuery(trimmed.c_str(), &info) && info.isDirectory);
}

const std::vector<std::string> kOSVerTypeNames = {
    "os31win32", "oswin95", "oswinNT", "oswinNT351", "osUnidentified",
    "osLinux",   "oswin2K", "oswin98", "oswinME",    "oswinXP"};

TOSVerType ClassifyOSVersion(uint32_t platform, uint32_t major, uint32_t minor) {
  switch (platform) {
    case 0:
      return os31win32;
    case 1:
      return minor == 90 ? oswinME : oswin98;
    case 2:
      if (major > 5 || (major == 5 && minor > 0)) return oswinXP;
      if (major == 5) return oswin2K;
      if (major == 4) return oswinNT;
      return oswinNT351;
    default:
      return osUnidentified;
  }
}

namespace {

std::string IdentifierCharacters(const std::string& s) {
  std::string out;
  for (char c : s)
    if (std::isalnum(static_cast<unsigned char>(c)) || c == '_') out += c;
  return out;
}

std::string NameStem(const TComponent& component, const std::string& base) {
  if (!component.InheritsFrom("TCustomInstallFile")) return base;
  size_t dot = base.rfind('.');
  std::string name = dot == std::string::npos ? base : base.substr(0, dot);
  std::string extension = dot == std::string::npos ? "" : base.substr(dot + 1);
  return "IF" + IdentifierCharacters(name) + "_" + IdentifierCharacters(extension);
}

}  // namespace

void MakeUniqueComponentName(TComponent& component, const std::string& base) {
  std::string stem = NameStem(component, base);
  for (int counter = 0; counter < kMaxUniqueNameTries; ++counter) {
    try {
      component.SetName(counter == 0 ? stem : stem + IntToStr(counter));
      return;
    } catch (const EComponentError&) {
    }
  }
  throw EQuendricAbnormal(Format("Could not find a free component name for %s", {stem}));
}

const ClassInfo& TInstallInformation::StaticClass() {
  using C = TInstallInformation;
  static const ClassInfo info{
      "TInstallInformation", &TPersistent::StaticClass(), nullptr,
      {StringProp<C>("CompanyName", &C::CompanyName, &C::SetCompanyName),
       StringProp<C>("ProductName", &C::ProductName, &C::SetProductName),
       StringProp<C>("Version", &C::Version, &C::SetVersion)}};
  return info;
}

const ClassInfo& TRegistrationInformation::StaticClass() {
  using C = TRegistrationInformation;
  static const ClassInfo info{"TRegistrationInformation", &TPersistent::StaticClass(), nullptr,
                              {StringProp<C>("RegCompany", &C::RegCompany, &C::SetRegCompany),
                               StringProp<C>("RegOwner", &C::RegOwner, &C::SetRegOwner)}};
  return info;
}

}  // namespace install
