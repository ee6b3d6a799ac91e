#include "core/container.h"

#include <algorithm>

#include "core/exceptions.h"
#include "core/install.h"

namespace install {

using namespace forms;

const std::vector<std::string> kInstallTypeNames = {"itFull", "itDefault", "itCompact", "itCustom"};

namespace {

TInstallContainerList* g_container_list = nullptr;

constexpr OSSet kWindowsOSSet = OSBit(oswin95) | OSBit(oswinNT) | OSBit(oswin2K) | OSBit(oswin98) |
                                OSBit(oswinME) | OSBit(oswinXP);
constexpr TInstallTypeSet kAllInstallTypes = 0x0F;

}  // namespace

void TInstallContainerList::Add(TInstallContainer* container) {
  if (!container) throw IEContainerList("Cannot add a blank entry to the TInstallContainerList object");
  items_.push_back(container);
}

void TInstallContainerList::Remove(TInstallContainer* container) {
  auto it = std::find(items_.begin(), items_.end(), container);
  if (it == items_.end()) return;
  items_.erase(it);
  ++removals_;
}

bool TInstallContainerList::Contains(const TInstallContainer* container) const {
  return std::find(items_.begin(), items_.end(), container) != items_.end();
}

TInstallContainerList* ContainerList() { return g_container_list; }

void InitializeContainerList() {
  if (!g_container_list) g_container_list = new TInstallContainerList;
}

void FinalizeContainerList() {
  delete g_container_list;
  g_container_list = nullptr;
}

const ClassInfo& TInstallContainer::StaticClass() {
  using C = TInstallContainer;
  static const ClassInfo info{
      "TInstallContainer",
      &TComponent::StaticClass(),
      nullptr,
      {BoolProp<C>("Include", &C::Include, &C::SetInclude, true),
       SetOfProp<C, OSSet>("OS", kOSVerTypeNames, &C::OS, &C::SetOS),
       EventProp<C, void(TInstallContainer*)>("OnAfterProcess", &C::SetOnAfterProcess),
       EventProp<C, void(TInstallContainer*)>("OnBeforeProcess", &C::SetOnBeforeProcess),
       StringProp<C>("DestDir", &C::DestDir, &C::SetDestDir),
       ComponentProp<C, TCustomPathSpecifier>("DestDirType", &C::DestDirType, &C::SetDestDirType),
       SetOfProp<C, TInstallTypeSet>("InstallTypes", kInstallTypeNames, &C::InstallTypes,
                                   &C::SetInstallTypes, kAllInstallTypes)}};
  return info;
}

void TInstallContainer::Create(TComponent* owner) {
  if (owner && (owner->InheritsFrom("TForm") || owner->InheritsFrom("TDataModule")))
    CreateStandardPathSpecifiers(owner, true);
  TComponent::Create(owner);
  os_ = GetOSVersion() == osLinux ? OSBit(osLinux) : kWindowsOSSet;
  if (!ContainerList())
    throw IEContainerList("The container list does not exist: install objects need the installer's start-up");
  ContainerList()->Add(this);
}

void TInstallContainer::Destroy() {
  if (TInstallContainerList* list = ContainerList()) {
    // A copy: a container may leave the list while it is told, and may free
    // others (a shortcut goes with its folder): after a removal only those
    // still in the list are told.
    std::vector<TInstallContainer*> others = list->Items();
    size_t removals = list->Removals();
    for (auto it = others.rbegin(); it != others.rend(); ++it) {
      if (*it == this || (list->Removals() != removals && !list->Contains(*it))) continue;
      (*it)->ContainerRemoved(this);
    }
    list->Remove(this);
  }
  helpers_.clear();
  TComponent::Destroy();
}

void TInstallContainer::Loaded() {
  if (default_dest_dir_type_pending_ && !dest_dir_type_assigned_) StoreDestDirType(nullptr);
  default_dest_dir_type_pending_ = false;
  TComponent::Loaded();
}

void TInstallContainer::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == TOperation::opRemove && component == dest_dir_type_) dest_dir_type_ = nullptr;
}

TInstallContainer* TInstallContainer::Helpers(int index) const {
  if (index < 0 || index >= HelperCount())
    throw IEInstallContainer(
        "Tried to reference a helper component in the following component: %s. The following index "
        "was used: %d",
        {Name(), int64_t{index}});
  return helpers_[static_cast<size_t>(index)];
}

void TInstallContainer::AddHelper(TInstallContainer* helper) {
  if (!helper) throw IEInstallContainer("Cannot add a blank base helper component to %s", {Name()});
  if (helper == this) throw IEInstallContainer("Circular reference");
  if (auto* self = dynamic_cast<TInstallObject*>(this)) {
    for (TInstallContainer* ancestor = self->Container(); ancestor;) {
      if (ancestor == helper) throw IEInstallContainer("Circular reference");
      auto* object = dynamic_cast<TInstallObject*>(ancestor);
      ancestor = object ? object->Container() : nullptr;
    }
  }
  int type = helper->RegisteredType();
  size_t position = helpers_.size();
  for (size_t i = 0; i < helpers_.size(); ++i) {
    if (helpers_[i]->RegisteredType() >= type) {
      position = i;
      break;
    }
  }
  if (SameText(helper->ClassName(), "TINSTALLBDE")) position = 0;
  helpers_.insert(helpers_.begin() + static_cast<std::ptrdiff_t>(position), helper);
}

void TInstallContainer::RemoveHelper(TInstallContainer* helper) {
  auto it = std::find(helpers_.begin(), helpers_.end(), helper);
  if (helper && it != helpers_.end()) helpers_.erase(it);
}

int TInstallContainer::CountOf(const std::string& class_name) const {
  return static_cast<int>(std::count_if(helpers_.begin(), helpers_.end(), [&](TInstallContainer* h) {
    return h->InheritsFrom(class_name);
  }));
}

TInstallContainer* TInstallContainer::Comp(int index, const std::string& class_name) const {
  int seen = 0;
  for (TInstallContainer* helper : helpers_)
    if (helper->InheritsFrom(class_name) && seen++ == index) return helper;
  throw IEInstallContainer(
      "Bad call to the Comp procedure which returns a TInstallObject for a TInstallContainer component. "
      "The parameters are probably reversed. Index: %d, ComponentType: %s",
      {int64_t{index}, class_name});
}

void TInstallContainer::FreeHelpersOf(const std::string& class_name) {
  for (int i = HelperCount() - 1; i >= 0; --i)
    if (i < HelperCount() && helpers_[static_cast<size_t>(i)]->InheritsFrom(class_name))
      Free(helpers_[static_cast<size_t>(i)]);
}

void TInstallContainer::ContainerRemoved(TInstallContainer* container) {
  if (dynamic_cast<TInstallObject*>(container)) RemoveHelper(container);
  if (container == event_target_) event_target_ = nullptr;
}

int TInstallContainer::RegisteredType() const {
  throw IEInstallContainer("Class must declare a registered type");
}

bool TInstallContainer::IsIncluded() const {
  return include_ && (install_type_ == itCustom || (install_types_ & InstallTypeBit(install_type_)));
}

void TInstallContainer::SetInstallType(TInstallType type) {
  for (TInstallContainer* helper : helpers_) helper->SetInstallType(type);
  install_type_ = type;
}

void TInstallContainer::SetInstallTypes(TInstallTypeSet v) {
  install_types_ = (v & kAllInstallTypes) ? (v & kAllInstallTypes) : InstallTypeBit(itFull);
}

void TInstallContainer::StoreDestDirType(TCustomPathSpecifier* value) {
  dest_dir_type_ = value;
  if (value) value->FreeNotification(this);
}

void TInstallContainer::SetDestDirType(TCustomPathSpecifier* value) {
  dest_dir_type_assigned_ = true;
  if (!Loading() && value) value->Validate(this);
  StoreDestDirType(value);
}

std::string TInstallContainer::GetFullDestDir() {
  std::string path;
  if (dest_dir_type_) dest_dir_type_->GetPath(this, path);
  return RemoveTrailingBackslash(path + dest_dir_);
}

void TInstallContainer::Process() {
  if (!(OSBit(GetOSVersion()) & os_)) include_ = false;
  try {
    ProcessSteps();
  } catch (const EAbort&) {
    // A handler or a dialog skipped this object.
  }
}

void TInstallContainer::ProcessSteps() {
  Fire(on_before_process_, this);
  BroadcastInformationEvent(this, ieBeforeProcess, nullptr);
  if (!include_) return;
  BroadcastInformationEvent(this, ieProcessing, nullptr);
  if (install_type_ != itCustom && !(install_types_ & InstallTypeBit(install_type_))) return;
  DoInstall();
  installed_ = true;
  if (TCustomInstall* install = TCustomInstall::Instance(); install && uninstall_)
    WriteUninstallInfo("\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" +
                       install->Information().ProductName());
  Fire(on_after_process_, this);
  BroadcastInformationEvent(this, ieAfterProcess, nullptr);
}

void TInstallContainer::DoInstall() {
  installed_ = true;
  size_t count = helpers_.size();
  for (size_t i = 0; i < count && i < helpers_.size(); ++i)
    if (helpers_[i]->process_with_container_) helpers_[i]->Process();
}

void TInstallContainer::BroadcastInformationEvent(TComponent* sender, int code, TPersistent* param) {
  size_t count = helpers_.size();
  for (size_t i = 0; i < count && i < helpers_.size(); ++i) {
    TInstallContainer* helper = helpers_[i];
    bool receives = event_target_ ? helper == event_target_ : helper->RegisteredType() >= kBroadcastMinimumType;
    if (receives) helper->DoInformationEvent(sender, code, param);
  }
}

void TInstallContainer::ShowStatusMessage(const std::string& text) {
  TMessageParameter param;
  param.Message = text;
  BroadcastInformationEvent(this, ieShowStatus, &param);
}

void TInstallContainer::HideStatusMessage() { BroadcastInformationEvent(this, ieHideStatus, nullptr); }

// TInstallObject

const ClassInfo& TInstallObject::StaticClass() {
  static const ClassInfo info{"TInstallObject", &TInstallContainer::StaticClass()};
  return info;
}

PropInfo ContainerProperty() {
  return ComponentProp<TInstallObject, TInstallContainer>("Container", &TInstallObject::Container,
                                                          &TInstallObject::SetContainer);
}

void TInstallObject::Loaded() {
  if (default_container_pending_ && !container_assigned_) SetContainer(nullptr);
  default_container_pending_ = false;
  TInstallContainer::Loaded();
}

void TInstallObject::Process() {
  TCustomInstall* install = TCustomInstall::Instance();
  if (install && install->Running() && container_ && !container_->Installed()) return;
  TInstallContainer::Process();
}

void TInstallObject::ContainerRemoved(TInstallContainer* container) {
  TInstallContainer::ContainerRemoved(container);
  if (container == container_) SetContainer(nullptr);
}

void TInstallObject::ForgetContainer() {
  if (container_) container_->RemoveHelper(this);
  container_ = nullptr;
}

void TInstallObject::SetContainer(TInstallContainer* value) {
  container_assigned_ = true;
  if (value == container_) return;
  if (value) value->AddHelper(this);
  if (container_) container_->RemoveHelper(this);
  container_ = value;
  if (Loading()) return;
  if (value) {
    SetDestDirType(FindPathSpecifierByClass("TpsContainerDestDir"));
    SetDestDir("");
  } else if (DestDirType() && DestDirType()->InheritsFrom("TpsContainerDestDir")) {
    SetDestDirType(nullptr);
  }
}

}  // namespace install
