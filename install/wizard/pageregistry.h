// The registries that connect page forms to the dialog components that run
// them. The wizard's units register the welcome page, which has no dialog;
// every page dialog registers its form with itself while it exists. The
// copy-form registry does the same for the forms shown while files are
// copied. A dialog manager collects its pages from these lists (see
// dialogs.h); while it does, it is the current manager.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "classes.h"

namespace install {

class TCustomBaseInstallDlg;
class TDialogManager;

// One registered form: its class, the dialog that runs it (or none) and a
// value that is always 0.
struct TFormEntry {
  const forms::ClassInfo* form_class;
  TCustomBaseInstallDlg* dialog;
  int32_t value;
};

// A registry: entries in registration order, owned by the list.
class TFormEntryList {
public:
  TFormEntry* Add(const forms::ClassInfo& form_class, TCustomBaseInstallDlg* dialog, int32_t value);
  // Takes the entry out and frees it; an entry not listed is ignored.
  void Remove(TFormEntry* entry);
  int Count() const { return static_cast<int>(entries_.size()); }
  // Raises a translated exception naming the list for an invalid index.
  TFormEntry& Entry(int index) const;
  // The entries as they are now: a caller may register while it walks them.
  std::vector<TFormEntry*> Snapshot() const;

private:
  friend class TFormRegistries;
  explicit TFormEntryList(const char* name) : name_(name) {}
  const char* name_;
  std::vector<std::unique_ptr<TFormEntry>> entries_;
};

using TBIFEntry = TFormEntry;
using TDCFEntry = TFormEntry;

// The page registry, the copy-form registry and the two registries nobody
// registers in (the change-disk forms and TUIFList). Missing before the
// wizard's units start and after they end.
TFormEntryList* PageRegistry();
TFormEntryList* CopyFormRegistry();
TFormEntryList* ChangeDiskRegistry();
TFormEntryList* UIFRegistry();
void InitializeFormRegistries();
void FinalizeFormRegistries();

// Append an entry, making the registry when it is missing.
TBIFEntry* RegisterPageForm(const forms::ClassInfo& form_class, TCustomBaseInstallDlg* dialog, int32_t value);
TDCFEntry* RegisterCopyForm(const forms::ClassInfo& form_class, TCustomBaseInstallDlg* dialog, int32_t value);
// Take an entry out again (nothing once the registries are gone).
void UnregisterPageForm(TBIFEntry* entry);
void UnregisterCopyForm(TDCFEntry* entry);

// The manager whose pages are being collected or whose change-disk form is
// shown; none otherwise.
TDialogManager* CurrentManager();
void SetCurrentManager(TDialogManager* manager);

}  // namespace install
