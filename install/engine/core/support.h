// Small shared routines of the installer: path and delimited-field texts,
// the kind of Windows the program runs on, the script's information objects
// and the naming of new components.
#pragma once

#include <cstdint>
#include <string>

#include "classes.h"

namespace install {

std::string AddTrailingBackslash(const std::string& s);
std::string RemoveTrailingBackslash(const std::string& s);
// Characters of s equal to delimiter, plus one for a text that is not empty
// and does not end with the delimiter.
int GetFieldCount(const std::string& s, char delimiter);
// Field n (from 1); empty when the text has fewer fields.
std::string GetDelimitedField(const std::string& s, int n, char delimiter);
void SplitToStrings(const std::string& s, char delimiter, forms::TStringList& list);
// The part after the first ':'; a text without ':' is returned unchanged.
std::string TextAfterColon(const std::string& s);
// '/' becomes '-'; '"' '*' ':' ';' '<' '>' '?' '\' '|' are dropped.
std::string MakeFileNameSafe(const std::string& s);

// Path parts. Both '\' and '/' end a directory part (paths come from
// scripts written for Windows, and the native build uses '/'); a separator
// these routines add is the platform's own.
#ifdef _WIN32
constexpr char kPathDelimiter = '\\';
#else
constexpr char kPathDelimiter = '/';
#endif
// The directory part without its trailing separator, but a root ("C:\",
// "/") keeps it: it is the whole directory.
std::string ExtractFileDir(const std::string& path);
std::string ExtractFileName(const std::string& path);  // the part after the last separator
// The extension of the file name, from its last '.' on; empty without one.
std::string ExtractFileExt(const std::string& path);
// The path with the extension of its file name (from its last '.') replaced.
std::string ChangeFileExt(const std::string& path, const std::string& extension);
// A separator is added unless the text is empty or already ends in one.
std::string AddTrailingPathDelimiter(const std::string& path);
bool FileExists(const std::string& path);  // an existing file, not a directory
// Creates the directory and every missing parent; false when one fails.
bool ForceDirectories(const std::string& dir);

enum TOSVerType : uint8_t {
  os31win32, oswin95, oswinNT, oswinNT351, osUnidentified, osLinux, oswin2K, oswin98, oswinME, oswinXP
};
// A set of TOSVerType: bit n stands for the value n.
using OSSet = uint16_t;
constexpr OSSet OSBit(TOSVerType os) { return static_cast<OSSet>(1u << os); }
constexpr OSSet NTFamilyOSSet = OSBit(oswinNT) | OSBit(oswin2K) | OSBit(oswinXP);
extern const std::vector<std::string> kOSVerTypeNames;

// The system a version report stands for (platform 0 Win32s, 1 Windows,
// 2 NT). Every NT system from XP on, whatever its major version, is oswinXP:
// the newest system a script knows, so that scripts keep installing there.
TOSVerType ClassifyOSVersion(uint32_t platform, uint32_t major, uint32_t minor);
// The running system: by the system's version report on Windows, osLinux
// elsewhere. Raises EAPIRoutines when the report fails.
TOSVerType GetOSVersion();

// Gives component a Name its owner accepts: base (for an install file "IF",
// the name part, "_" and the extension part, letters, digits and '_' only),
// then no counter, 1, 2, 3 ... Gives up with EQuendricAbnormal after
// kMaxUniqueNameTries refused names.
constexpr int kMaxUniqueNameTries = 10000;
void MakeUniqueComponentName(forms::TComponent& component, const std::string& base);

class TInstallInformation : public forms::TPersistent {
  FORMS_CLASS(TInstallInformation)
public:
  std::string CompanyName() const { return company_name_; }
  void SetCompanyName(const std::string& v) { company_name_ = v; }
  std::string ProductName() const { return product_name_; }
  void SetProductName(const std::string& v) { product_name_ = v; }
  std::string Version() const { return version_; }
  void SetVersion(const std::string& v) { version_ = v; }

private:
  std::string company_name_ = "My Company";
  std::string product_name_ = "My product";
  std::string version_ = "1.0";
};

class TRegistrationInformation : public forms::TPersistent {
  FORMS_CLASS(TRegistrationInformation)
public:
  std::string RegCompany() const { return reg_company_; }
  void SetRegCompany(const std::string& v) { reg_company_ = v; }
  std::string RegOwner() const { return reg_owner_; }
  void SetRegOwner(const std::string& v) { reg_owner_ = v; }

private:
  std::string reg_company_;
  std::string reg_owner_;
};

}  // namespace install
