#include "pageregistry.h"

#include <algorithm>

#include "core/translator.h"

namespace install {

using namespace forms;

namespace {

struct Registries {
  std::unique_ptr<TFormEntryList> pages, copy_forms, change_disk, uif;
};
Registries g_registries;
TDialogManager* g_current_manager = nullptr;

}  // namespace

class TFormRegistries {
public:
  static std::unique_ptr<TFormEntryList> Make(const char* name) {
    return std::unique_ptr<TFormEntryList>(new TFormEntryList(name));
  }
};

TFormEntry* TFormEntryList::Add(const ClassInfo& form_class, TCustomBaseInstallDlg* dialog, int32_t value) {
  entries_.push_back(std::make_unique<TFormEntry>(TFormEntry{&form_class, dialog, value}));
  return entries_.back().get();
}

void TFormEntryList::Remove(TFormEntry* entry) {
  auto it = std::find_if(entries_.begin(), entries_.end(), [entry](const auto& e) { return e.get() == entry; });
  if (it != entries_.end()) entries_.erase(it);
}

TFormEntry& TFormEntryList::Entry(int index) const {
  if (index < 0 || index >= Count())
    throw Exception(Format(TranslateString(std::string("%d is an invalid index in the ") + name_), {int64_t{index}}));
  return *entries_[static_cast<size_t>(index)];
}

std::vector<TFormEntry*> TFormEntryList::Snapshot() const {
  std::vector<TFormEntry*> entries;
  for (const auto& entry : entries_) entries.push_back(entry.get());
  return entries;
}

TFormEntryList* PageRegistry() { return g_registries.pages.get(); }
TFormEntryList* CopyFormRegistry() { return g_registries.copy_forms.get(); }
TFormEntryList* ChangeDiskRegistry() { return g_registries.change_disk.get(); }
TFormEntryList* UIFRegistry() { return g_registries.uif.get(); }

void InitializeFormRegistries() {
  if (!g_registries.pages) g_registries.pages = TFormRegistries::Make("BIFList");
  if (!g_registries.copy_forms) g_registries.copy_forms = TFormRegistries::Make("DCFList");
  if (!g_registries.change_disk) g_registries.change_disk = TFormRegistries::Make("ChangeDiskList");
  if (!g_registries.uif) g_registries.uif = TFormRegistries::Make("UIFList");
}

void FinalizeFormRegistries() {
  g_registries = Registries{};
  g_current_manager = nullptr;
}

TBIFEntry* RegisterPageForm(const ClassInfo& form_class, TCustomBaseInstallDlg* dialog, int32_t value) {
  InitializeFormRegistries();
  return g_registries.pages->Add(form_class, dialog, value);
}

TDCFEntry* RegisterCopyForm(const ClassInfo& form_class, TCustomBaseInstallDlg* dialog, int32_t value) {
  InitializeFormRegistries();
  return g_registries.copy_forms->Add(form_class, dialog, value);
}

void UnregisterPageForm(TBIFEntry* entry) {
  if (g_registries.pages) g_registries.pages->Remove(entry);
}

void UnregisterCopyForm(TDCFEntry* entry) {
  if (g_registries.copy_forms) g_registries.copy_forms->Remove(entry);
}

TDialogManager* CurrentManager() { return g_current_manager; }
void SetCurrentManager(TDialogManager* manager) { g_current_manager = manager; }

}  // namespace install
