// The uninstall data of a product: one key per product under HKLM's
// Uninstall key, holding the lists a separate uninstaller reads. Each list
// is a subkey with a decimal counter "Entries" (absent = 0) and entries
// numbered from 1.
//
// The file list takes the installed files and links. When a list can't
// take an entry (its counter is not a number, or a write fails) the entry
// goes to the next numbered list: Files, Files1, Files2 ... up to a bound,
// after which the last failure is raised. The ActiveX list has no fallback.
// Failures raise EIRCannotWriteValue, which ends an installation run.
//
// The uninstall program of the script (TUninstallEXE) writes the values
// Add/Remove Programs shows, from the engine's information and its
// TControlPanelExtensionInformation.
#pragma once
#include <string>

#include "items/installfile.h"

namespace install {

// The product's key: the Uninstall key, a backslash and the product name
// as it stands (trailing blanks kept).
std::string UninstallProductKey(const std::string& product_name);

// How many file lists (Files and Files1 ...) an entry may try.
constexpr int kUninstallFileLists = 10;

// Adds the full path of an installed file or link to the product's file
// list; product_key is UninstallProductKey's.
void AddUninstallFileEntry(const std::string& product_key, const std::string& path);

// Adds an ActiveX file as "path;kind": kind "2" for a type library (.TLB),
// "1" for a program (.EXE), "0" for anything else.
void AddUninstallActiveXEntry(const std::string& product_key, const std::string& path);

// What Add/Remove Programs shows of the product beyond its name and
// version. DisplayIcon and ReadMe name install files of the script; a file
// that goes is cleared here through Forget.
class TControlPanelExtensionInformation : public forms::TPersistent {
  FORMS_CLASS(TControlPanelExtensionInformation)
public:
  // owner hears when a referenced file goes and calls Forget.
  explicit TControlPanelExtensionInformation(forms::TComponent* owner = nullptr) : owner_(owner) {}

  std::string Comments() const { return comments_; }
  void SetComments(const std::string& v) { comments_ = v; }
  std::string Contact() const { return contact_; }
  void SetContact(const std::string& v) { contact_ = v; }
  TCustomInstallFile* DisplayIcon() const { return display_icon_; }
  void SetDisplayIcon(TCustomInstallFile* file);
  std::string HelpLink() const { return help_link_; }
  void SetHelpLink(const std::string& v) { help_link_ = v; }
  std::string HelpTelephone() const { return help_telephone_; }
  void SetHelpTelephone(const std::string& v) { help_telephone_ = v; }
  std::string ProductID() const { return product_id_; }
  void SetProductID(const std::string& v) { product_id_ = v; }
  TCustomInstallFile* ReadMe() const { return read_me_; }
  void SetReadMe(TCustomInstallFile* file);
  std::string URLInfoAbout() const { return url_info_about_; }
  void SetURLInfoAbout(const std::string& v) { url_info_about_ = v; }
  std::string URLUpdateInfo() const { return url_update_info_; }
  void SetURLUpdateInfo(const std::string& v) { url_update_info_ = v; }

  // A component is going: references to it are cleared.
  void Forget(forms::TComponent* component);

private:
  forms::TComponent* owner_;
  std::string comments_;
  std::string contact_;
  TCustomInstallFile* display_icon_ = nullptr;
  std::string help_link_;
  std::string help_telephone_;
  std::string product_id_;
  TCustomInstallFile* read_me_ = nullptr;
  std::string url_info_about_;
  std::string url_update_info_;
};

// The uninstall program as an install file of the script: instead of a
// file-list entry it writes the product's Add/Remove Programs values.
class TUninstallEXE : public TCustomInstallFile {
  FORMS_CLASS(TUninstallEXE)
public:
  void Create(forms::TComponent* owner) override;
  void Destroy() override;
  // Raises IEUninstallEXE without an engine.
  void WriteUninstallInfo(const std::string& key) override;
};

}  // namespace install
