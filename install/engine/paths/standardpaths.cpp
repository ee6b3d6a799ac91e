#include "paths/standardpaths.h"

#include <memory>

#include "core/container.h"
#include "core/exceptions.h"
#include "core/install.h"
#include "core/support.h"
#include "items/filecontainer.h"
#include "paths/osroutines.h"
#include "paths/registry.h"
#include "paths/shellpaths.h"

namespace install {

using namespace forms;

namespace {

std::string NameOf(TComponent* obj) { return obj ? obj->Name() : ""; }

// The install object whose container obj's path comes from; raises for
// any other object.
TInstallObject* ObjectWithContainer(TComponent* obj, const std::string& specifier_name,
                                    const std::string& missing_container) {
  auto* object = dynamic_cast<TInstallObject*>(obj);
  if (!object)
    throw IEPathSpecifier("%s must be a %s to use the %s path specifier",
                          {NameOf(obj), std::string("TInstallObject"), specifier_name});
  if (!object->Container()) throw IEPathSpecifier(missing_container, {NameOf(obj)});
  return object;
}

TCustomInstall& Engine() { return *TCustomInstall::Instance(); }

// The core rows: folders of the system and of the user.
void BDEDLLPath(std::string& path) {
  std::string text = ReadRegistryString(hkLocalMachine, "\\Software\\Borland\\Database Engine", "DLLPath", "");
  if (text.empty()) text = AddTrailingBackslash(GetProgramFilesDir()) + "Borland\\Common Files\\BDE";
  path = GetDelimitedField(text, 1, ';');
}
void CommonFilesPath(std::string& path) { path = RemoveTrailingBackslash(GetCommonFilesDir()); }
void DesktopPath(std::string& path) { path = RemoveTrailingBackslash(GetDesktopDir()); }
void ProgramFilesPath(std::string& path) { path = RemoveTrailingBackslash(GetProgramFilesDir()); }
void ProgramMenuPath(std::string& path) { path = RemoveTrailingBackslash(GetProgramsMenuDir()); }
void StartMenuPath(std::string& path) { path = RemoveTrailingBackslash(GetStartMenuDir()); }
void StartupMenuPath(std::string& path) { path = RemoveTrailingBackslash(GetStartupDir()); }
void SystemPath(std::string& path) { path = RemoveTrailingBackslash(GetSystemDir()); }
void WindowsPath(std::string& path) { path = RemoveTrailingBackslash(GetWindowsDir()); }

const StandardSpecifierRow kBDEDLL{"TpsBDEDLL", "psBDEDLL", "Borland Database Engine DLL Path", "BDE DLL",
                                   BDEDLLPath};
const StandardSpecifierRow kCommonFiles{
    "TpsCommonFiles", "psCommonFiles", "Path of the common files directory under the program files directory",
    "Common files", CommonFilesPath};
const StandardSpecifierRow kDesktopMenu{"TpsDesktopMenu", "psDesktopMenu", "Path of the Desktop", "Desktop",
                                        DesktopPath};
const StandardSpecifierRow kProgramFiles{"TpsProgramFiles", "psProgramFiles", "Path of the program files directory",
                                         "Program files", ProgramFilesPath};
const StandardSpecifierRow kProgramMenu{"TpsProgramMenu", "psProgramMenu",
                                        "Path of the Programs folder under the Start Menu", "Program menu",
                                        ProgramMenuPath};
const StandardSpecifierRow kStartMenu{"TpsStartMenu", "psStartMenu", "Path of Start Menu", "Start menu",
                                      StartMenuPath};
const StandardSpecifierRow kStartupMenu{
    "TpsStartupMenu", "psStartupMenu", "Path of the Startup folder in the Programs folder under the Start Menu",
    "Startup menu", StartupMenuPath};
const StandardSpecifierRow kSystem{"TpsSystem", "psSystem", "Path of system directory", "System dir", SystemPath};
const StandardSpecifierRow kWindow{"TpsWindow", "psWindow", "Path of the Windows directory", "Windows dir",
                                   WindowsPath};

// A class of its own: its factory makes an instance that knows it.
template <class T>
ClassInfo OwnClass(const char* name, const ClassInfo& parent, std::vector<PropInfo> properties = {}) {
  return ClassInfo{name, &parent, [](TComponent* owner) -> TComponent* { return New<T>(owner); },
                   std::move(properties)};
}

}  // namespace

// Table rows

const ClassInfo& TTablePathSpecifier::StaticClass() {
  static const ClassInfo info{"TTablePathSpecifier", &TStandardPathSpecifier::StaticClass()};
  return info;
}

void TTablePathSpecifier::Create(TComponent* owner) {
  TStandardPathSpecifier::Create(owner);
  SetSpecifierName(row_.specifier_name);
}

void TTablePathSpecifier::GetPath(TComponent*, std::string& path) { row_.get_path(path); }

const ClassInfo& TableSpecifierClass(const StandardSpecifierRow& row) {
  // Rows are constants that live as long as the program: their classes too.
  static std::vector<std::unique_ptr<ClassInfo>> classes;
  for (const auto& known : classes)
    if (known->name == row.class_name) return *known;
  auto* info = new ClassInfo{row.class_name, &TTablePathSpecifier::StaticClass()};
  classes.emplace_back(info);
  info->create = [&row, info](TComponent* owner) -> TComponent* {
    return New<TTablePathSpecifier>(owner, row, *info);
  };
  return *info;
}

// TpsContainerDestDir

const ClassInfo& TpsContainerDestDir::StaticClass() {
  static const ClassInfo info = OwnClass<TpsContainerDestDir>("TpsContainerDestDir", TStandardPathSpecifier::StaticClass());
  return info;
}

void TpsContainerDestDir::Create(TComponent* owner) {
  TStandardPathSpecifier::Create(owner);
  SetSpecifierName("psContainerDestDir");
}

void TpsContainerDestDir::Validate(TComponent* obj) {
  ObjectWithContainer(obj, SpecifierName(), "Cannot use ddContainerDestDir for %s unless you assign a Container");
}

void TpsContainerDestDir::GetPath(TComponent* obj, std::string& path) {
  Validate(obj);
  path = RemoveTrailingBackslash(dynamic_cast<TInstallObject*>(obj)->Container()->GetFullDestDir());
}

namespace {

// How the description names the container: by its kind, with its
// Description (or, for any other container, its Name) in the pattern.
std::string ContainerText(TInstallContainer* container, const char* group_pattern, const char* directory_pattern,
                          const char* other_pattern) {
  if (dynamic_cast<TCustomInstall*>(container)) return "Main installation directory";
  if (auto* group = dynamic_cast<TCustomInstallGroup*>(container))
    return Format(group_pattern, {group->Description()});
  if (auto* directory = dynamic_cast<TFileContainer*>(container))
    return Format(directory_pattern, {directory->Description()});
  return Format(other_pattern, {container->Name()});
}

}  // namespace

void TpsContainerDestDir::GetDescriptionFor(TComponent* obj, std::string& text) {
  try {
    Validate(obj);
    text = ContainerText(dynamic_cast<TInstallObject*>(obj)->Container(), "Path of the <%s> group",
                         "Path of the <%s> directory", "Path of the <%s> group");
  } catch (const Exception&) {
    GetDescription(text);
  }
}

void TpsContainerDestDir::GetDisplayNameFor(TComponent* obj, std::string& text) {
  try {
    Validate(obj);
    text = ContainerText(dynamic_cast<TInstallObject*>(obj)->Container(), "<%s>", "<%s>", "<%s>");
  } catch (const Exception&) {
    GetDescription(text);
  }
}

// TpsContainerArchiveFile

const ClassInfo& TpsContainerArchiveFile::StaticClass() {
  static const ClassInfo info =
      OwnClass<TpsContainerArchiveFile>("TpsContainerArchiveFile", TStandardPathSpecifier::StaticClass());
  return info;
}

void TpsContainerArchiveFile::Create(TComponent* owner) {
  TStandardPathSpecifier::Create(owner);
  SetSpecifierName("psContainerArchiveFile");
}

void TpsContainerArchiveFile::Validate(TComponent* obj) {
  TInstallObject* object = ObjectWithContainer(
      obj, SpecifierName(), "Cannot use ddContainerArchiveFile for %s unless you assign a Container");
  if (!object->Container()->InheritsFrom("TFileRelated") || !dynamic_cast<IArchivePathSource*>(object->Container()))
    throw IEPathSpecifier(
        "Cannot use the ddContainerArchiveFile path specifier for %s because the Container is not a TFileRelated "
        "descendant",
        {NameOf(obj)});
}

void TpsContainerArchiveFile::GetPath(TComponent* obj, std::string& path) {
  Validate(obj);
  auto* source = dynamic_cast<IArchivePathSource*>(dynamic_cast<TInstallObject*>(obj)->Container());
  path = RemoveTrailingBackslash(source->GetArchivePath());
}

// The engine's specifiers

void TEngineSpecifier::Validate(TComponent* obj) {
  if (!TCustomInstall::Instance())
    throw IEPathSpecifier("There is no TInstall component so the path specifier could not be expanded for %s",
                          {NameOf(obj)});
}

const ClassInfo& TpsInstallSource::StaticClass() {
  static const ClassInfo info = OwnClass<TpsInstallSource>("TpsInstallSource", TStandardPathSpecifier::StaticClass());
  return info;
}

void TpsInstallSource::Create(TComponent* owner) {
  TEngineSpecifier::Create(owner);
  SetSpecifierName("psInstallSource");
}

void TpsInstallSource::GetPath(TComponent* obj, std::string& path) {
  Validate(obj);
  path = RemoveTrailingBackslash(Engine().LoaderDirectory());
}

const ClassInfo& TpsMainInstall::StaticClass() {
  static const ClassInfo info = OwnClass<TpsMainInstall>("TpsMainInstall", TStandardPathSpecifier::StaticClass());
  return info;
}

void TpsMainInstall::Create(TComponent* owner) {
  TEngineSpecifier::Create(owner);
  SetSpecifierName("psMainInstall");
}

void TpsMainInstall::Validate(TComponent* obj) {
  TEngineSpecifier::Validate(obj);
  if (obj == TCustomInstall::Instance())
    throw IEPathSpecifier("Cannot use the ddMainInstallDir path specifier for a TInstall component");
}

void TpsMainInstall::GetPath(TComponent* obj, std::string& path) {
  Validate(obj);
  path = RemoveTrailingBackslash(Engine().GetFullDestDir());
}

const ClassInfo& TpsMainArchiveFile::StaticClass() {
  static const ClassInfo info =
      OwnClass<TpsMainArchiveFile>("TpsMainArchiveFile", TStandardPathSpecifier::StaticClass());
  return info;
}

void TpsMainArchiveFile::Create(TComponent* owner) {
  TEngineSpecifier::Create(owner);
  SetSpecifierName("psMainArchiveFile");
}

void TpsMainArchiveFile::GetPath(TComponent* obj, std::string& path) {
  Validate(obj);
  const CommandLineFlags& flags = Engine().Flags();
  if (flags.Has(clSelfExtract)) {
    if (Trim(flags.Value(clSelfExtract)).empty())
      throw IEInstall(
          "You forgot to pass in the name of the self-extracting executable. Usage example: \"-eSetup.exe\"");
    path = AddTrailingBackslash(Engine().LoaderDirectory()) + flags.Value(clSelfExtract);
  } else if (!Trim(disk_path_).empty()) {
    path = AddTrailingBackslash(disk_path_) + "files.1";
  } else {
    path = AddTrailingBackslash(Engine().LoaderDirectory()) + "files.1";
  }
}

std::vector<const ClassInfo*> StandardPathSpecifierClasses() {
  std::vector<const ClassInfo*> classes = {
      &TableSpecifierClass(kBDEDLL),        &TableSpecifierClass(kCommonFiles),
      &TpsContainerArchiveFile::StaticClass(), &TpsContainerDestDir::StaticClass(),
      &TableSpecifierClass(kDesktopMenu),   &TpsInstallSource::StaticClass(),
      &TpsMainInstall::StaticClass(),       &TableSpecifierClass(kProgramFiles),
      &TableSpecifierClass(kProgramMenu),   &TableSpecifierClass(kStartMenu),
      &TableSpecifierClass(kStartupMenu),   &TableSpecifierClass(kSystem),
      &TpsMainArchiveFile::StaticClass(),   &TableSpecifierClass(kWindow)};
  for (const StandardSpecifierRow* row : ShellFolderSpecifierRows()) classes.push_back(&TableSpecifierClass(*row));
  return classes;
}

}  // namespace install
