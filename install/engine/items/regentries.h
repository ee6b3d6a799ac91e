// Registry keys of the install script. A TInstallRegistry names one key
// (given absolutely, or made from the engine's company, product and version)
// and carries a collection of typed values to write into it; a text value
// may hold "%P", replaced by the path of the entry's path specifier.
//
// The engine writes every registry key object in the pass of its registered
// type (8500). Each one then records itself in the product's uninstall data:
// the counter "Entries" of <product key>\RegistryKeys goes up by one and the
// subkey RegistryKeys\RegistryKey<n> takes "Key" (the key path), "Root" (the
// TRootKeys ordinal) and, under its subkey Entries, each entry's Ident with
// the entry's value as text. Every failure raises and ends the run.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "collection.h"
#include "core/container.h"
#include "paths/registry.h"

namespace install {

enum TRegistryEntryType : uint8_t { retText, retInteger, retBoolean };
enum TKeySpecifier : uint8_t { ksAbsolute, ksCompanyName, ksProductName, ksVersion };
extern const std::vector<std::string> kRegistryEntryTypeNames;
extern const std::vector<std::string> kKeySpecifierNames;

class TCustomInstallRegistry;

// One value of a registry key object. Once its registry key object has been
// loaded, setting Boolean, Integer or Text (or PathSpecifier, which makes
// the text "%p") also sets EntryType to match; while the script is read
// only the values are stored, so the stored EntryType stands.
class TRegistryEntry : public forms::TCollectionItem {
  FORMS_CLASS(TRegistryEntry)
public:
  // From another entry: its values (not its owner). Other sources raise.
  void Assign(const forms::TPersistent& source) override;

  bool Boolean() const { return boolean_; }
  void SetBoolean(bool value);
  TRegistryEntryType EntryType() const { return entry_type_; }
  void SetEntryType(TRegistryEntryType value) { entry_type_ = value; }
  std::string Ident() const { return ident_; }
  void SetIdent(const std::string& value) { ident_ = value; }
  int32_t Integer() const { return integer_; }
  void SetInteger(int32_t value);
  TCustomPathSpecifier* PathSpecifier() const { return path_specifier_; }
  // A specifier that refuses the owner raises and changes nothing.
  void SetPathSpecifier(TCustomPathSpecifier* value);
  std::string Text() const { return text_; }
  void SetText(const std::string& value);

  // The registry key object the entry belongs to, or nil.
  TCustomInstallRegistry* Owner() const;
  // Text, with "%P" replaced by the specifier's path for the owner when
  // there is a specifier.
  std::string GetValueText() const;

private:
  // The owner once it is loaded: only then do the setters switch the type.
  TCustomInstallRegistry* LoadedOwner() const;

  bool boolean_ = false;
  TRegistryEntryType entry_type_ = retText;
  std::string ident_;
  int32_t integer_ = 0;
  TCustomPathSpecifier* path_specifier_ = nullptr;
  std::string text_;
};

// The entries of one registry key object.
class TRegistryEntries : public forms::TCollection {
public:
  // Raises IERegistryEntries for a nil owner.
  explicit TRegistryEntries(TCustomInstallRegistry* owner);
  TRegistryEntry* Items(int index) const { return static_cast<TRegistryEntry*>(TCollection::Items(index)); }
  TRegistryEntry* Add() { return static_cast<TRegistryEntry*>(TCollection::Add()); }
};

// Called before each entry is written; clearing continue_writing skips it.
using TBeforeWriteEntry =
    std::function<void(TCustomInstallRegistry* registry, TRegistryEntry* entry, bool& continue_writing)>;

class TCustomInstallRegistry : public TInstallObject {
  FORMS_CLASS(TCustomInstallRegistry)
public:
  void Notification(forms::TComponent* component, forms::TOperation operation) override;
  int RegisteredType() const override { return 8500; }
  void DoInformationEvent(forms::TComponent* sender, int code, forms::TPersistent* param) override;
  // Writes each entry (unless OnBeforeWriteEntry skips it), then the
  // inherited work.
  void DoInstall() override;
  void WriteUninstallInfo(const std::string& key) override;

  TRegistryEntries& Entries() { return entries_; }
  const TRegistryEntries& Entries() const { return entries_; }
  // Copies the items.
  virtual void SetEntries(const TRegistryEntries& value) { entries_.Assign(value); }
  std::string Key() const { return key_; }
  // Stores the empty text while the key is made from the product names.
  virtual void SetKey(const std::string& value);
  TKeySpecifier KeySpecifierType() const { return key_specifier_type_; }
  // A key made from the product names needs the engine (except while
  // loading); it empties Key and roots it at HKEY_LOCAL_MACHINE.
  virtual void SetKeySpecifierType(TKeySpecifier value);
  TRootKeys RootKey() const { return root_key_; }
  void SetRootKey(TRootKeys value) { root_key_ = value; }
  void SetOnBeforeWriteEntry(TBeforeWriteEntry handler) { on_before_write_entry_ = std::move(handler); }

  // The key path: Key without trailing backslash, or "\SOFTWARE\" and the
  // engine's company (then product, then version) for the other types.
  virtual std::string GetKeyPath() const;

private:
  TRegistryEntries entries_{this};
  std::string key_ = "\\SOFTWARE\\MyStuff";
  TKeySpecifier key_specifier_type_ = ksAbsolute;
  TRootKeys root_key_ = hkLocalMachine;
  TBeforeWriteEntry on_before_write_entry_;
};

class TInstallRegistry : public TCustomInstallRegistry {
  FORMS_CLASS(TInstallRegistry)
};

}  // namespace install
