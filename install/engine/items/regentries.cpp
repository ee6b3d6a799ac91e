#include "items/regentries.h"

#include <limits>

#include "core/exceptions.h"
#include "core/install.h"
#include "core/support.h"

namespace install {

using namespace forms;

const std::vector<std::string> kRegistryEntryTypeNames = {"retText", "retInteger", "retBoolean"};
const std::vector<std::string> kKeySpecifierNames = {"ksAbsolute", "ksCompanyName", "ksProductName", "ksVersion"};

namespace {

const char kNoEngineMessage[] = "There is no TInstall component in your project";

TInstallInformation& EngineInformation() {
  TCustomInstall* install = TCustomInstall::Instance();
  if (!install) throw IEInstallRegistry(kNoEngineMessage);
  return install->Information();
}

// A counter of the uninstall data as a number; anything else raises.
int32_t CounterValue(const std::string& text) {
  int32_t value = 0;
  if (!TryStrToInt(text, value) || value == std::numeric_limits<int32_t>::max()) throw EConvertError(Format("'%s' is not a valid integer value", {text}));
  return value;
}

// Opens (or creates) the key below the root and writes one entry's value.
void WriteEntry(const TCustomInstallRegistry& registry, const TRegistryEntry& entry, TRootKeys root_key,
                const std::string& key_path) {
#ifdef _WIN32
  TqndrRegistry key;
  SetRegistryRootKey(key, root_key);
  if (!key.OpenKey(key_path, true))
    throw IERegistryEntry("%s cannot create the key %s in the registry", {registry.Name(), key_path});
  switch (entry.EntryType()) {
    case retText: key.WriteString(entry.Ident(), entry.GetValueText()); break;
    case retInteger: key.WriteInteger(entry.Ident(), entry.Integer()); break;
    case retBoolean: key.WriteInteger(entry.Ident(), entry.Boolean() ? 1 : 0); break;
  }
#else
  // Without a registry there is no key to open or create.
  (void)entry;
  (void)root_key;
  throw IERegistryEntry("%s cannot create the key %s in the registry", {registry.Name(), key_path});
#endif
}

}  // namespace

// TRegistryEntry

const ClassInfo& TRegistryEntry::StaticClass() {
  using C = TRegistryEntry;
  static const ClassInfo info{
      "TRegistryEntry", &TCollectionItem::StaticClass(), nullptr,
      {BoolProp<C>("Boolean", &C::Boolean, &C::SetBoolean, false),
       EnumProp<C, TRegistryEntryType>("EntryType", kRegistryEntryTypeNames, &C::EntryType, &C::SetEntryType,
                                       retText),
       StringProp<C>("Ident", &C::Ident, &C::SetIdent), IntProp<C>("Integer", &C::Integer, &C::SetInteger, 0),
       ComponentProp<C, TCustomPathSpecifier>("PathSpecifier", &C::PathSpecifier, &C::SetPathSpecifier),
       StringProp<C>("Text", &C::Text, &C::SetText)}};
  return info;
}

TCustomInstallRegistry* TRegistryEntry::Owner() const {
  return Collection() ? static_cast<TCustomInstallRegistry*>(Collection()->Owner()) : nullptr;
}

TCustomInstallRegistry* TRegistryEntry::LoadedOwner() const {
  TCustomInstallRegistry* owner = Owner();
  return owner && !owner->Loading() ? owner : nullptr;
}

void TRegistryEntry::Assign(const TPersistent& source) {
  const auto* entry = dynamic_cast<const TRegistryEntry*>(&source);
  if (!entry) return TCollectionItem::Assign(source);
  boolean_ = entry->boolean_;
  entry_type_ = entry->entry_type_;
  ident_ = entry->ident_;
  integer_ = entry->integer_;
  path_specifier_ = entry->path_specifier_;
  text_ = entry->text_;
  if (path_specifier_ && Owner()) path_specifier_->FreeNotification(Owner());
}

void TRegistryEntry::SetBoolean(bool value) {
  if (LoadedOwner()) entry_type_ = retBoolean;
  boolean_ = value;
}

void TRegistryEntry::SetInteger(int32_t value) {
  if (LoadedOwner()) entry_type_ = retInteger;
  integer_ = value;
}

void TRegistryEntry::SetText(const std::string& value) {
  if (LoadedOwner()) entry_type_ = retText;
  text_ = value;
}

void TRegistryEntry::SetPathSpecifier(TCustomPathSpecifier* value) {
  if (TCustomInstallRegistry* owner = LoadedOwner()) {
    if (value) {
      value->Validate(owner);
      text_ = "%p";
    }
    entry_type_ = retText;
  }
  path_specifier_ = value;
  // The registry key object clears the reference when the specifier goes.
  if (value && Owner()) value->FreeNotification(Owner());
}

std::string TRegistryEntry::GetValueText() const {
  if (!path_specifier_) return text_;
  std::string path;
  path_specifier_->GetPath(Owner(), path);
  return TCustomPathSpecifier::ExpandPathMacro(text_, path);
}

// TRegistryEntries

TRegistryEntries::TRegistryEntries(TCustomInstallRegistry* owner)
    : TCollection(owner, [] { return std::make_unique<TRegistryEntry>(); }) {
  if (!owner) throw IERegistryEntries("Cannot create a TRegistryEntries component with a Nil Owner");
}

// TCustomInstallRegistry

const ClassInfo& TCustomInstallRegistry::StaticClass() {
  static const ClassInfo info{"TCustomInstallRegistry", &TInstallObject::StaticClass()};
  return info;
}

const ClassInfo& TInstallRegistry::StaticClass() {
  using C = TCustomInstallRegistry;
  static const ClassInfo info{
      "TInstallRegistry",
      &TCustomInstallRegistry::StaticClass(),
      [](TComponent* owner) -> TComponent* { return New<TInstallRegistry>(owner); },
      {ContainerProperty(), CollectionProp<C, TRegistryEntries>("Entries", &C::Entries),
       StringProp<C>("Key", &C::Key, &C::SetKey),
       EnumProp<C, TKeySpecifier>("KeySpecifierType", kKeySpecifierNames, &C::KeySpecifierType,
                                  &C::SetKeySpecifierType, ksAbsolute),
       EnumProp<C, TRootKeys>("RootKey", kRootKeyNames, &C::RootKey, &C::SetRootKey, hkLocalMachine),
       BoolProp<TInstallContainer>("Uninstall", &C::Uninstall, &C::SetUninstall, true),
       EventProp<C, void(TCustomInstallRegistry*, TRegistryEntry*, bool&)>("OnBeforeWriteEntry",
                                                                         &C::SetOnBeforeWriteEntry)}};
  return info;
}

void TCustomInstallRegistry::Notification(TComponent* component, TOperation operation) {
  TInstallObject::Notification(component, operation);
  if (operation != TOperation::opRemove) return;
  for (int i = 0; i < entries_.Count(); ++i) {
    TRegistryEntry* entry = entries_.Items(i);
    if (entry->PathSpecifier() != component) continue;
    TRegistryEntryType type = entry->EntryType();
    entry->SetPathSpecifier(nullptr);
    entry->SetEntryType(type);
  }
  // The engine has already left its single-instance slot when its owner tells.
  if (component->InheritsFrom("TCustomInstall")) key_specifier_type_ = ksAbsolute;
}

void TCustomInstallRegistry::DoInformationEvent(TComponent* sender, int code, TPersistent* param) {
  TInstallObject::DoInformationEvent(sender, code, param);
  if (code == ieProcessRegistry) Process();
}

void TCustomInstallRegistry::SetKey(const std::string& value) {
  key_ = key_specifier_type_ == ksAbsolute ? value : std::string();
}

void TCustomInstallRegistry::SetKeySpecifierType(TKeySpecifier value) {
  if (value != ksAbsolute) {
    if (!Loading() && !TCustomInstall::Instance()) throw IEInstallRegistry(kNoEngineMessage);
    key_.clear();
    root_key_ = hkLocalMachine;
  }
  key_specifier_type_ = value;
}

std::string TCustomInstallRegistry::GetKeyPath() const {
  if (key_specifier_type_ == ksAbsolute) return RemoveTrailingBackslash(key_);
  TInstallInformation& information = EngineInformation();
  std::string path = "\\SOFTWARE\\" + information.CompanyName();
  if (key_specifier_type_ >= ksProductName) path += "\\" + information.ProductName();
  if (key_specifier_type_ == ksVersion) path += "\\" + information.Version();
  return path;
}

void TCustomInstallRegistry::DoInstall() {
  for (int i = 0; i < entries_.Count(); ++i) {
    TRegistryEntry* entry = entries_.Items(i);
    bool continue_writing = true;
    Fire(on_before_write_entry_, this, entry, continue_writing);
    if (continue_writing) WriteEntry(*this, *entry, root_key_, GetKeyPath());
  }
  TInstallObject::DoInstall();
}

void TCustomInstallRegistry::WriteUninstallInfo(const std::string& key) {
  const std::string list_key = AddTrailingBackslash(key) + "RegistryKeys";
  int32_t number = CounterValue(ReadRegistryString(hkLocalMachine, list_key, "Entries", "0")) + 1;
  WriteRegistryString(hkLocalMachine, list_key, "Entries", IntToStr(number));
  const std::string entry_key = list_key + "\\RegistryKey" + IntToStr(number);
  WriteRegistryString(hkLocalMachine, entry_key, "Key", GetKeyPath());
  WriteRegistryInteger(hkLocalMachine, entry_key, "Root", root_key_);
  for (int i = 0; i < entries_.Count(); ++i) {
    const TRegistryEntry* entry = entries_.Items(i);
    WriteRegistryString(hkLocalMachine, entry_key + "\\Entries", entry->Ident(), entry->GetValueText());
  }
}

}  // namespace install
