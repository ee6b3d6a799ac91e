#include "items/uninstall.h"

#include <cstdint>
#include <limits>

#include "core/exceptions.h"
#include "core/install.h"
#include "core/support.h"
#include "paths/registry.h"
#include "sysutils.h"

namespace install {
namespace {

const char kEntries[] = "Entries";

// The number the next entry of the list gets. A counter that is not a
// number (or can't grow) makes the list unusable: it raises.
int32_t NextEntryNumber(const std::string& list_key) {
  std::string counter = ReadRegistryString(hkLocalMachine, list_key, kEntries, "0");
  int32_t count = 0;
  if (!forms::TryStrToInt(counter, count) || count < 0 || count == std::numeric_limits<int32_t>::max())
    throw EIRCannotWriteValue(CannotWriteStringMessage(list_key, kEntries, counter));
  return count + 1;
}

// Writes "File<n>" into the list and answers n; the counter is left to the
// caller, which writes it once the entry is in.
int32_t WriteFileValue(const std::string& list_key, const std::string& data) {
  int32_t number = NextEntryNumber(list_key);
  WriteRegistryString(hkLocalMachine, list_key, "File" + forms::IntToStr(number), data);
  return number;
}

std::string ActiveXKind(const std::string& path) {
  std::string extension = forms::UpperCase(ExtractFileExt(path));
  if (extension == ".TLB") return "2";
  if (extension == ".EXE") return "1";
  return "0";
}

}  // namespace

std::string UninstallProductKey(const std::string& product_name) {
  return "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + product_name;
}

void AddUninstallFileEntry(const std::string& product_key, const std::string& path) {
  for (int list = 0;; ++list) {
    std::string list_key = product_key + "\\Files" + (list == 0 ? std::string() : forms::IntToStr(list));
    int32_t number = 0;
    try {
      number = WriteFileValue(list_key, path);
    } catch (const EIRCannotWriteValue&) {
      if (list + 1 == kUninstallFileLists) throw;
      continue;
    }
    WriteRegistryString(hkLocalMachine, list_key, kEntries, forms::IntToStr(number));
    return;
  }
}

void AddUninstallActiveXEntry(const std::string& product_key, const std::string& path) {
  std::string list_key = product_key + "\\ActiveX";
  int32_t number = WriteFileValue(list_key, path + ";" + ActiveXKind(path));
  WriteRegistryString(hkLocalMachine, list_key, kEntries, forms::IntToStr(number));
}

// TControlPanelExtensionInformation

const forms::ClassInfo& TControlPanelExtensionInformation::StaticClass() {
  using namespace forms;
  using C = TControlPanelExtensionInformation;
  static const ClassInfo info{
      "TControlPanelExtensionInformation", &TPersistent::StaticClass(), nullptr,
      {StringProp<C>("Comments", &C::Comments, &C::SetComments), StringProp<C>("Contact", &C::Contact, &C::SetContact),
       ComponentProp<C, TCustomInstallFile>("DisplayIcon", &C::DisplayIcon, &C::SetDisplayIcon),
       StringProp<C>("HelpLink", &C::HelpLink, &C::SetHelpLink),
       StringProp<C>("HelpTelephone", &C::HelpTelephone, &C::SetHelpTelephone),
       StringProp<C>("ProductID", &C::ProductID, &C::SetProductID),
       ComponentProp<C, TCustomInstallFile>("ReadMe", &C::ReadMe, &C::SetReadMe),
       StringProp<C>("URLInfoAbout", &C::URLInfoAbout, &C::SetURLInfoAbout),
       StringProp<C>("URLUpdateInfo", &C::URLUpdateInfo, &C::SetURLUpdateInfo)}};
  return info;
}

void TControlPanelExtensionInformation::SetDisplayIcon(TCustomInstallFile* file) {
  display_icon_ = file;
  if (file && owner_) file->FreeNotification(owner_);
}

void TControlPanelExtensionInformation::SetReadMe(TCustomInstallFile* file) {
  read_me_ = file;
  if (file && owner_) file->FreeNotification(owner_);
}

void TControlPanelExtensionInformation::Forget(forms::TComponent* component) {
  if (component == display_icon_) display_icon_ = nullptr;
  if (component == read_me_) read_me_ = nullptr;
}

// TUninstallEXE

const forms::ClassInfo& TUninstallEXE::StaticClass() {
  using namespace forms;
  static const ClassInfo info = [] {
    using C = TUninstallEXE;
    std::vector<PropInfo> properties = InstallFileProperties();
    properties.push_back(IntProp<C>("Order", &C::Order, &C::SetOrder));
    return ClassInfo{"TUninstallEXE", &TCustomInstallFile::StaticClass(),
                     [](TComponent* owner) -> TComponent* { return New<TUninstallEXE>(owner); },
                     std::move(properties)};
  }();
  return info;
}

void TUninstallEXE::Create(forms::TComponent* owner) {
  TCustomInstallFile::Create(owner);
  SetNet(true);
}

void TUninstallEXE::Destroy() {
  if (TCustomInstall* install = TCustomInstall::Instance()) install->BuildInfo().AddUninstallOnCreate = false;
  TCustomInstallFile::Destroy();
}

namespace {

// The installed path of a file the information names, when it was installed.
std::string InstalledFilePath(TCustomInstallFile* file) {
  return file && file->Installed() ? file->InstalledPath() : "";
}

}  // namespace

void TUninstallEXE::WriteUninstallInfo(const std::string& key) {
  TCustomInstall* install = TCustomInstall::Instance();
  if (!install)
    throw IEUninstallEXE(
        "%s could not write information about the uninstall to the registry because there was no TInstall "
        "component",
        {Name()});
  const TControlPanelExtensionInformation& extension = install->Win2KExtendedInformation();
  std::string product = forms::Trim(install->Information().ProductName());
  WriteRegistryString(hkLocalMachine, key, "DisplayName", product);
  WriteRegistryString(hkLocalMachine, key, "UninstallString", InstalledPath() + " " + product);
  const std::pair<const char*, std::string> values[] = {
      {"Comments", extension.Comments()},
      {"Contact", extension.Contact()},
      {"DisplayIcon", InstalledFilePath(extension.DisplayIcon())},
      {"DisplayVersion", install->Information().Version()},
      {"HelpLink", extension.HelpLink()},
      {"HelpTelephone", extension.HelpTelephone()},
      {"Publisher", install->Information().CompanyName()},
      {"ProductID", extension.ProductID()},
      {"Readme", InstalledFilePath(extension.ReadMe())},
      {"URLInfoAbout", extension.URLInfoAbout()},
      {"URLUpdateInfo", extension.URLUpdateInfo()},
      {"RegCompany", install->RegistrationInformation().RegCompany()},
      {"RegOwner", install->RegistrationInformation().RegOwner()}};
  for (const auto& [name, text] : values)
    if (!text.empty()) WriteRegistryString(hkLocalMachine, key, name, text);
}

}  // namespace install
