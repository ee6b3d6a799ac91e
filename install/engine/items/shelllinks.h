// Start-menu entries of the install script: the link folder (the product's
// folder under the Start menu's Programs folder) and its shortcuts. The
// engine processes every link folder in the pass of registered type 7000
// (the select-folder page may rename it first, then the folder is made),
// then every shortcut in the pass of type 8000.
//
// A shortcut points at another script object (an installed file, a
// directory, a folder; its path comes through the psObjectLink specifier)
// or at a free location. A name ending in ".URL" makes an Internet shortcut
// (an INI file with the key URL of [InternetShortcut]); any other name a
// shell link file written through the shell's link object. Each shortcut
// records its file in the product's uninstall file list. A folder or a
// shortcut frees itself when the object it stands in or points at goes.
// Every failure raises and ends the run.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/container.h"
#include "core/support.h"
#include "paths/pathspec.h"
#include "paths/standardpaths.h"
#include "sysutils.h"

namespace install {

enum TMethodType : uint8_t { mtAutoDetect, mtShellLinkInterface };
extern const std::vector<std::string> kMethodTypeNames;

// Whether a shell link file is written on the system: always with
// mtShellLinkInterface, on the Windows systems the shell link object is
// known on with mtAutoDetect.
bool WritesShellLinkFile(TMethodType method, TOSVerType os);

// A call of the shell's link object failed with the result code.
class ECOMError : public forms::Exception {
public:
  ECOMError(const std::string& message, int32_t code) : Exception(message), code_(code) {}
  int32_t ErrorCode() const { return code_; }

private:
  int32_t code_;
};

// The text a shortcut's failure reports for a COM result: the translated
// text of the well-known results, empty for 0, else the error's own message.
std::string ShellLinkErrorText(const ECOMError& error);

// A shell link file as the shell's link object saves it.
struct ShellLinkFile {
  std::string target;
  std::string arguments;
  std::string working_directory;
  uint16_t hot_key = 0;
  std::string file_name;  // where the link is saved
};
// Raises ECOMError with the result of the call that failed; a file name
// that does not fit the shell's path buffer raises forms::Exception.
void SaveShellLinkFile(const ShellLinkFile& link);
// Sets the key URL of the section [InternetShortcut] in the INI file (made
// when missing, other content kept); false when the write fails.
bool WriteInternetShortcutFile(const std::string& file_name, const std::string& url);

// The path of the object a shortcut points at (its ObjectLink): an install
// file's destination file, any other object's destination folder.
class TpsObjectLink : public TStandardPathSpecifier {
  FORMS_CLASS(TpsObjectLink)
public:
  void Create(forms::TComponent* owner) override;
  // Only shortcuts with an ObjectLink may use it.
  void Validate(forms::TComponent* obj) override;
  void GetDescription(std::string& text) override { text = "Path of the file or file group in the ObjectLink property"; }
  void GetPath(forms::TComponent* obj, std::string& path) override;
};

class TCustomShellLinkGroup : public TInstallObject {
  FORMS_CLASS(TCustomShellLinkGroup)
public:
  int RegisteredType() const override { return 7000; }
  // The folder goes with its container.
  void ContainerRemoved(TInstallContainer* container) override;
  void DoInformationEvent(forms::TComponent* sender, int code, forms::TPersistent* param) override;
  // Lets the select-folder page rename the folder, makes it (with every
  // missing parent), then the inherited work.
  void DoInstall() override;
};

// The product's folder under Programs: DestDir is "\" and the folder name,
// always below the psProgramMenu specifier. At most one exists.
class TMainLinkGroup : public TCustomShellLinkGroup {
  FORMS_CLASS(TMainLinkGroup)
public:
  void Create(forms::TComponent* owner) override;
  void Destroy() override;
  void SetDestDirType(TCustomPathSpecifier* value) override;
};

// The main link folder, or nil.
TMainLinkGroup* MainLinkGroup();

class TCustomInstallShellLink : public TInstallObject {
  FORMS_CLASS(TCustomInstallShellLink)
public:
  void Create(forms::TComponent* owner) override;
  void Notification(forms::TComponent* component, forms::TOperation operation) override;
  int RegisteredType() const override { return 8000; }
  // The shortcut goes with its folder and with the object it points at.
  void ContainerRemoved(TInstallContainer* container) override;
  void DoInformationEvent(forms::TComponent* sender, int code, forms::TPersistent* param) override;
  // Writes the shortcut unless its object was not installed in this run.
  void DoInstall() override;
  // Adds the shortcut file to the product's uninstall file list.
  void WriteUninstallInfo(const std::string& key) override;

  virtual void CreateShellLinkFile();
  virtual void WriteInternetShortcut();
  // The target: the specifier's path followed by ObjectLocation, or
  // ObjectLocation alone without a trailing backslash.
  virtual std::string GetObjectPath();
  // The shortcut's folder, a backslash and LinkName.
  std::string GetLinkFileName();
  bool IsInternetShortcut() const;

  TMethodType Method() const { return method_; }
  void SetMethod(TMethodType value) { method_ = value; }
  uint16_t HotKey() const { return hot_key_; }
  void SetHotKey(uint16_t value) { hot_key_ = value; }
  std::string LinkName() const { return link_name_; }
  // Characters a file name can't hold become '_'. Outside loading: a
  // ".URL" name drops ObjectLink; a name with another extension than
  // ".LNK" takes the previous name's extension (".LNK" when it had none).
  virtual void SetLinkName(const std::string& value);
  TInstallContainer* ObjectLink() const { return object_link_; }
  // Points the shortcut at an object: psObjectLink gives the path, the
  // name comes from the object; nil clears the link and its specifier.
  virtual void SetObjectLink(TInstallContainer* value);
  std::string ObjectLocation() const { return object_location_; }
  // Outside loading a shortcut without a name takes one from the location.
  virtual void SetObjectLocation(const std::string& value);
  TCustomPathSpecifier* ObjectLocationType() const { return object_location_type_; }
  // A specifier that refuses the shortcut raises and changes nothing.
  virtual void SetObjectLocationType(TCustomPathSpecifier* value);
  std::string Parameters() const { return parameters_; }
  void SetParameters(const std::string& value) { parameters_ = value; }

private:
  bool ObjectLocationIsObjectLink() const;

  TMethodType method_ = mtAutoDetect;
  uint16_t hot_key_ = 0;
  std::string link_name_;
  TInstallContainer* object_link_ = nullptr;
  std::string object_location_;
  TCustomPathSpecifier* object_location_type_ = nullptr;
  std::string parameters_;
};

// A shortcut in the main link folder, which must exist first: its
// Container is always that folder and its DestDirType psContainerDestDir.
class TInstallMainLink : public TCustomInstallShellLink {
  FORMS_CLASS(TInstallMainLink)
public:
  void Create(forms::TComponent* owner) override;
  void SetContainer(TInstallContainer* value) override;
  void SetDestDirType(TCustomPathSpecifier* value) override;
};

}  // namespace install
