#include "items/shelllinks.h"

#include "core/exceptions.h"
#include "core/install.h"
#include "core/translator.h"
#include "items/filecontainer.h"
#include "items/installfile.h"
#include "items/uninstall.h"
#include "paths/metavars.h"

namespace install {

using namespace forms;

const std::vector<std::string> kMethodTypeNames = {"mtAutoDetect", "mtShellLinkInterface"};

namespace {

TMainLinkGroup* g_main_link_group = nullptr;

// Makes the folder and every missing parent; raises E when it can't.
template <class E>
void MakeFolder(const std::string& folder) {
  if (!ForceDirectories(folder)) throw E("Could not create the folder %s", {folder});
}

// A link name with the characters a file name can't hold replaced by '_'.
std::string CleanLinkName(std::string name) {
  for (char& c : name)
    if (std::string("\"*/<>?|").find(c) != std::string::npos) c = '_';
  return name;
}

std::string UpperExtension(const std::string& name) { return UpperCase(ExtractFileExt(name)); }

// The shortcut name an object gives: an install file's destination name,
// a directory's description, else the object's name; always ".lnk".
std::string LinkNameFor(TInstallContainer& object) {
  if (auto* file = dynamic_cast<TCustomInstallFile*>(&object)) return ChangeFileExt(file->DestName(), ".lnk");
  if (auto* directory = dynamic_cast<TInstallDirectory*>(&object)) return directory->Description() + ".lnk";
  return object.Name() + ".lnk";
}

}  // namespace

bool WritesShellLinkFile(TMethodType method, TOSVerType os) {
  constexpr OSSet kShellLinkSystems = OSBit(oswin95) | OSBit(oswinNT) | OSBit(oswin98) | OSBit(oswinME) |
                                      OSBit(oswin2K) | OSBit(oswinXP);
  return method == mtShellLinkInterface || (OSBit(os) & kShellLinkSystems) != 0;
}

std::string ShellLinkErrorText(const ECOMError& error) {
  switch (static_cast<uint32_t>(error.ErrorCode())) {
    case 0x8000FFFF: return TranslateString("Indicates an unexpected error occurred");
    case 0x80040110: return TranslateString("Indicates this class cannot be created as part of an aggregate");
    case 0x80040154:
      return TranslateString("Indicates that a specified class is not registered in the registration database");
    case 0x8007000E: return TranslateString("Out of memory");
    case 0x80070057: return TranslateString("Indicates one or more arguments are invalid");
    case 0: return "";
    default: return error.Message();
  }
}

// TpsObjectLink

const ClassInfo& TpsObjectLink::StaticClass() {
  static const ClassInfo info{"TpsObjectLink", &TStandardPathSpecifier::StaticClass(),
                              [](TComponent* owner) -> TComponent* { return New<TpsObjectLink>(owner); }};
  return info;
}

void TpsObjectLink::Create(TComponent* owner) {
  TStandardPathSpecifier::Create(owner);
  SetSpecifierName("psObjectLink");
}

void TpsObjectLink::Validate(TComponent* obj) {
  auto* link = dynamic_cast<TCustomInstallShellLink*>(obj);
  if (!link)
    throw IEPathSpecifier("%s must be a %s to use the %s path specifier",
                          {obj ? obj->Name() : "", std::string("TCustomInstallShellLink"), SpecifierName()});
  if (!link->ObjectLink())
    throw IEPathSpecifier("Cannot use ddObjectLink for %s unless you assign a value to ObjectLink", {link->Name()});
}

void TpsObjectLink::GetPath(TComponent* obj, std::string& path) {
  Validate(obj);
  TInstallContainer* target = dynamic_cast<TCustomInstallShellLink*>(obj)->ObjectLink();
  path = target->GetFullDestDir();
  if (auto* file = dynamic_cast<TCustomInstallFile*>(target))
    path = RemoveTrailingBackslash(AddTrailingBackslash(path) + file->DestName());
}

// TCustomShellLinkGroup

const ClassInfo& TCustomShellLinkGroup::StaticClass() {
  static const ClassInfo info{"TCustomShellLinkGroup", &TInstallObject::StaticClass()};
  return info;
}

void TCustomShellLinkGroup::ContainerRemoved(TInstallContainer* container) {
  if (container != Container()) return TInstallObject::ContainerRemoved(container);
  ForgetContainer();
  // While the owner frees everything it frees this folder too.
  if (!Destroying()) Free(this);
}

void TCustomShellLinkGroup::DoInformationEvent(TComponent* sender, int code, TPersistent* param) {
  TInstallObject::DoInformationEvent(sender, code, param);
  if (code == ieProcessLinkGroup) Process();
}

void TCustomShellLinkGroup::DoInstall() {
  BroadcastInformationEvent(this, ieSelectFolder, nullptr);
  MakeFolder<IEShellLinkGroup>(GetFullDestDir());
  TInstallObject::DoInstall();
}

// TMainLinkGroup

TMainLinkGroup* MainLinkGroup() { return g_main_link_group; }

const ClassInfo& TMainLinkGroup::StaticClass() {
  static const ClassInfo info{"TMainLinkGroup", &TCustomShellLinkGroup::StaticClass(),
                              [](TComponent* owner) -> TComponent* { return New<TMainLinkGroup>(owner); },
                              {ContainerProperty()}};
  return info;
}

void TMainLinkGroup::Create(TComponent* owner) {
  if (g_main_link_group) throw IEShellLinkGroup("You can only have one TMainLinkGroup component in your project");
  TCustomShellLinkGroup::Create(owner);
  SetDestDirType(nullptr);
  TCustomInstall* install = TCustomInstall::Instance();
  SetDestDir(install ? "\\" + install->Information().ProductName() : "\\MainFolderName");
  g_main_link_group = this;
}

void TMainLinkGroup::Destroy() {
  if (g_main_link_group == this) g_main_link_group = nullptr;
  TCustomShellLinkGroup::Destroy();
}

void TMainLinkGroup::SetDestDirType(TCustomPathSpecifier*) {
  TCustomShellLinkGroup::SetDestDirType(FindPathSpecifierByClass("TpsProgramMenu"));
}

// TCustomInstallShellLink

const ClassInfo& TCustomInstallShellLink::StaticClass() {
  static const ClassInfo info{"TCustomInstallShellLink", &TInstallObject::StaticClass()};
  return info;
}

void TCustomInstallShellLink::Create(TComponent* owner) {
  if (owner && (owner->InheritsFrom("TForm") || owner->InheritsFrom("TDataModule")))
    EnsurePathSpecifier(TpsObjectLink::StaticClass(), owner, true);
  TInstallObject::Create(owner);
}

void TCustomInstallShellLink::Notification(TComponent* component, TOperation operation) {
  TInstallObject::Notification(component, operation);
  if (operation == TOperation::opRemove && component == object_location_type_) object_location_type_ = nullptr;
}

void TCustomInstallShellLink::ContainerRemoved(TInstallContainer* container) {
  if (container == object_link_) {
    SetObjectLink(nullptr);
  } else if (container == Container()) {
    ForgetContainer();
  } else {
    return TInstallObject::ContainerRemoved(container);
  }
  // While the owner frees everything it frees this shortcut too.
  if (!Destroying()) Free(this);
}

void TCustomInstallShellLink::DoInformationEvent(TComponent* sender, int code, TPersistent* param) {
  TInstallObject::DoInformationEvent(sender, code, param);
  if (code == ieProcessShellLink) Process();
}

bool TCustomInstallShellLink::ObjectLocationIsObjectLink() const {
  return object_location_type_ && object_location_type_->InheritsFrom("TpsObjectLink");
}

std::string TCustomInstallShellLink::GetObjectPath() {
  if (!object_location_type_) return RemoveTrailingBackslash(object_location_);
  std::string path;
  object_location_type_->GetPath(this, path);
  return path + object_location_;
}

std::string TCustomInstallShellLink::GetLinkFileName() { return AddTrailingBackslash(GetFullDestDir()) + link_name_; }

bool TCustomInstallShellLink::IsInternetShortcut() const { return UpperExtension(link_name_) == ".URL"; }

void TCustomInstallShellLink::SetLinkName(const std::string& value) {
  std::string previous_extension = UpperExtension(link_name_);
  link_name_ = CleanLinkName(value);
  if (Loading() || Trim(link_name_).empty()) return;
  std::string extension = UpperExtension(value);
  if (extension == ".URL")
    object_link_ = nullptr;
  else if (extension != ".LNK")
    link_name_ = ChangeFileExt(link_name_, previous_extension.empty() ? ".LNK" : previous_extension);
}

void TCustomInstallShellLink::SetObjectLocation(const std::string& value) {
  object_location_ = ObjectLocationIsObjectLink() ? "" : value;
  if (Loading()) return;
  std::string name = UpperCase(Trim(link_name_));
  if (!name.empty() && name != ".LNK") return;
  std::string location = UpperCase(object_location_);
  for (const std::string prefix : {"HTTP://", "FTP://"}) {
    size_t at = location.find(prefix);
    if (at != std::string::npos) {
      link_name_ = object_location_.substr(at + prefix.size()) + ".URL";
      return;
    }
  }
  SetLinkName(ChangeFileExt(ExtractFileName(value), ""));
}

void TCustomInstallShellLink::SetObjectLocationType(TCustomPathSpecifier* value) {
  if (!Loading() && value) {
    value->Validate(this);
    if (value->InheritsFrom("TpsObjectLink")) object_location_.clear();
  }
  object_location_type_ = value;
  if (value) value->FreeNotification(this);
}

void TCustomInstallShellLink::SetObjectLink(TInstallContainer* value) {
  if (Loading()) {
    object_link_ = value;
    return;
  }
  if (!value) {
    object_link_ = nullptr;
    object_location_type_ = nullptr;
    return;
  }
  object_location_type_ = FindPathSpecifierByClass("TpsObjectLink");
  object_location_type_->FreeNotification(this);
  object_location_.clear();
  link_name_ = LinkNameFor(*value);
  if (!Container()) SetContainer(value);
  object_link_ = value;
}

void TCustomInstallShellLink::DoInstall() {
  if (Trim(link_name_).empty())
    throw IEInstallShellLink("The LinkName is blank for %s and therefore could not be installed", {Name()});
  if (object_link_) {
    if (!object_link_->Installed()) return;
    if (dynamic_cast<TUninstallEXE*>(object_link_)) {
      TCustomInstall* install = TCustomInstall::Instance();
      if (!install)
        throw IEInstallShellLink("%s cannot perform operation because there is no TInstall component", {Name()});
      parameters_ = install->Information().ProductName();
    }
    if (dynamic_cast<TCustomShellLinkGroup*>(object_link_))
      MakeFolder<IEInstallShellLink>(object_link_->GetFullDestDir());
  }
  if (IsInternetShortcut())
    WriteInternetShortcut();
  else if (WritesShellLinkFile(method_, GetOSVersion()))
    CreateShellLinkFile();
  TInstallObject::DoInstall();
}

void TCustomInstallShellLink::CreateShellLinkFile() {
  try {
    MakeFolder<IEInstallShellLink>(GetFullDestDir());
    ShellLinkFile link;
    link.arguments = ExpandMetaVariables(parameters_, this);
    link.target = GetObjectPath();
    link.working_directory = RemoveTrailingBackslash(ExtractFileDir(link.target));
    link.hot_key = hot_key_;
    link.file_name = GetLinkFileName();
    SaveShellLinkFile(link);
  } catch (const ECOMError& error) {
    throw IEInstallShellLink(
        "The TCustomInstallShellLink %s name could not be installed. The following error was reported %s. Error "
        "code %d",
        {Name(), ShellLinkErrorText(error), int64_t{error.ErrorCode()}});
  } catch (const Exception& error) {
    throw IEInstallShellLink(
        "The TCustomInstallShellLink %s name could not be installed. The following error was reported %s",
        {Name(), error.Message()});
  }
}

void TCustomInstallShellLink::WriteInternetShortcut() {
  MakeFolder<IEInstallShellLink>(GetFullDestDir());
  std::string file_name = GetLinkFileName();
  if (!WriteInternetShortcutFile(file_name, object_location_))
    throw IEInstallShellLink("Unable to write to %s", {file_name});
}

void TCustomInstallShellLink::WriteUninstallInfo(const std::string& key) {
  AddUninstallFileEntry(key, GetLinkFileName());
}

// TInstallMainLink

const ClassInfo& TInstallMainLink::StaticClass() {
  using C = TCustomInstallShellLink;
  static const ClassInfo info{
      "TInstallMainLink",
      &TCustomInstallShellLink::StaticClass(),
      [](TComponent* owner) -> TComponent* { return New<TInstallMainLink>(owner); },
      {OrdinalProp<C, uint16_t>("HotKey", PropKind::Int, {}, &C::HotKey, &C::SetHotKey, uint16_t{0}),
       StringProp<C>("LinkName", &C::LinkName, &C::SetLinkName),
       EnumProp<C, TMethodType>("Method", kMethodTypeNames, &C::Method, &C::SetMethod, mtAutoDetect),
       ComponentProp<C, TInstallContainer>("ObjectLink", &C::ObjectLink, &C::SetObjectLink),
       StringProp<C>("ObjectLocation", &C::ObjectLocation, &C::SetObjectLocation),
       ComponentProp<C, TCustomPathSpecifier>("ObjectLocationType", &C::ObjectLocationType,
                                              &C::SetObjectLocationType),
       StringProp<C>("Parameters", &C::Parameters, &C::SetParameters),
       BoolProp<TInstallContainer>("Uninstall", &C::Uninstall, &C::SetUninstall, true)}};
  return info;
}

void TInstallMainLink::Create(TComponent* owner) {
  TCustomInstallShellLink::Create(owner);
  if (!MainLinkGroup())
    throw IEInstallShellLink(
        "To create a TInstallMainLink you must first have a TMainLinkGroup component in your project");
  SetContainer(MainLinkGroup());
  SetDestDirType(nullptr);
}

void TInstallMainLink::SetContainer(TInstallContainer* value) {
  if (value != MainLinkGroup())
    throw IEInstallShellLink(
        "The TMainLinkGroup component must be the Container for TInstallMainLink and TSubLinkGroup components");
  TCustomInstallShellLink::SetContainer(value);
}

void TInstallMainLink::SetDestDirType(TCustomPathSpecifier*) {
  TCustomInstallShellLink::SetDestDirType(FindPathSpecifierByClass("TpsContainerDestDir"));
}

}  // namespace install
