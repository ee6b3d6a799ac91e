// TInstallContainer and TInstallObject: the base of every install-script
// element. A container keeps its helpers (children) sorted by registered
// type number; an object links itself to its parent through Container.
// Process runs an object through its filters (OS, Include, install types)
// and its notifications; DoInstall processes the helpers that go with their
// container. Every container in existence is in the container list.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "classes.h"
#include "core/events.h"
#include "core/support.h"
#include "paths/pathspec.h"

namespace install {

enum TInstallType : uint8_t { itFull, itDefault, itCompact, itCustom };
using TInstallTypeSet = uint8_t;
constexpr TInstallTypeSet InstallTypeBit(TInstallType t) { return static_cast<TInstallTypeSet>(1u << t); }
extern const std::vector<std::string> kInstallTypeNames;

class TInstallContainer;
using TInstallContainerNotifyEvent = std::function<void(TInstallContainer* container)>;

class TInstallContainer : public forms::TComponent {
  FORMS_CLASS(TInstallContainer)
public:
  void Create(forms::TComponent* owner) override;
  void Destroy() override;
  void Loaded() override;
  void Notification(forms::TComponent* component, forms::TOperation operation) override;

  // Helpers (children), sorted by registered type.
  int HelperCount() const { return static_cast<int>(helpers_.size()); }
  TInstallContainer* Helpers(int index) const;
  virtual void AddHelper(TInstallContainer* helper);
  virtual void RemoveHelper(TInstallContainer* helper);
  // Helpers of the class (by name) or derived from it.
  int CountOf(const std::string& class_name) const;
  TInstallContainer* Comp(int index, const std::string& class_name) const;
  void FreeHelpersOf(const std::string& class_name);
  // The helpers that are file containers.
  int FileContainerCount() const { return CountOf("TFileContainer"); }
  TInstallContainer* FileContainers(int index) const { return Comp(index, "TFileContainer"); }
  // Another container goes: it leaves this one's helpers.
  virtual void ContainerRemoved(TInstallContainer* container);

  // Raises in the base: every concrete class declares its number.
  virtual int RegisteredType() const;
  virtual void Process();
  virtual void DoInstall();
  virtual void ProcessUninstall() {}
  virtual void DoUninstall() {}
  virtual bool IsIncluded() const;
  virtual void ResumeUnfinished() {}
  virtual void LanguageChanged() {}
  virtual void WriteUninstallInfo(const std::string& /*key*/) {}
  // The chosen install type, on every helper depth first, then here.
  void SetInstallType(TInstallType type);

  // Events (install events, see events.h).
  void BroadcastInformationEvent(forms::TComponent* sender, int code, forms::TPersistent* param);
  virtual void DoInformationEvent(forms::TComponent* /*sender*/, int /*code*/,
                                  forms::TPersistent* /*param*/) {}
  virtual void DoInformationEventControl(forms::TComponent* /*sender*/, int /*code*/,
                                         forms::TPersistent* /*param*/) {}
  virtual void ShowStatusMessage(const std::string& text);
  void HideStatusMessage();

  std::string DestDir() const { return dest_dir_; }
  virtual void SetDestDir(const std::string& value) { dest_dir_ = value; }
  TCustomPathSpecifier* DestDirType() const { return dest_dir_type_; }
  virtual void SetDestDirType(TCustomPathSpecifier* value);
  // The specifier's path followed by DestDir, without trailing backslash.
  virtual std::string GetFullDestDir();

  bool ProcessWithContainer() const { return process_with_container_; }
  bool Include() const { return include_; }
  void SetInclude(bool v) { include_ = v; }
  bool Installed() const { return installed_; }
  TInstallType InstallType() const { return install_type_; }
  TInstallContainer* EventTarget() const { return event_target_; }
  void SetEventTarget(TInstallContainer* target) { event_target_ = target; }
  bool Uninstall() const { return uninstall_; }
  void SetUninstall(bool v) { uninstall_ = v; }
  OSSet OS() const { return os_; }
  void SetOS(OSSet v) { os_ = v; }
  TInstallTypeSet InstallTypes() const { return install_types_; }
  // The empty set stores {itFull}.
  void SetInstallTypes(TInstallTypeSet v);
  int32_t Order() const { return order_; }
  void SetOrder(int32_t v) { order_ = v; }
  void SetOnBeforeProcess(TInstallContainerNotifyEvent h) { on_before_process_ = std::move(h); }
  void SetOnAfterProcess(TInstallContainerNotifyEvent h) { on_after_process_ = std::move(h); }

protected:
  // OnBeforeProcess and OnAfterProcess with this object, for operations
  // other than Process that are framed by them (the build's copy and
  // compression).
  void FireBeforeProcess() { forms::Fire(on_before_process_, this); }
  void FireAfterProcess() { forms::Fire(on_after_process_, this); }
  void SetProcessWithContainer(bool v) { process_with_container_ = v; }
  // A constructor that supplies a default specifier marks it pending: it
  // stays only if the stream assigns none.
  void SetDefaultDestDirTypePending() { default_dest_dir_type_pending_ = true; }
  void StoreDestDirType(TCustomPathSpecifier* value);
  void SetInstalled(bool v) { installed_ = v; }

private:
  void ProcessSteps();

  bool process_with_container_ = false;
  std::vector<TInstallContainer*> helpers_;
  bool include_ = true;
  bool installed_ = false;
  TInstallType install_type_ = itFull;
  TInstallContainer* event_target_ = nullptr;
  bool uninstall_ = true;
  OSSet os_ = 0;
  TInstallContainerNotifyEvent on_after_process_;
  TInstallContainerNotifyEvent on_before_process_;
  std::string dest_dir_;
  TCustomPathSpecifier* dest_dir_type_ = nullptr;
  TInstallTypeSet install_types_ = InstallTypeBit(itFull) | InstallTypeBit(itDefault) | InstallTypeBit(itCompact);
  int32_t order_ = -1;
  bool dest_dir_type_assigned_ = false;
  bool default_dest_dir_type_pending_ = false;
};

// An install object's operations for code that holds it by interface:
// each is the object's virtual operation of the same name. The interface
// does not own the object.
class IInstallObject {
public:
  virtual void RemoveHelper(TInstallContainer* helper) = 0;
  virtual void SetContainer(TInstallContainer* value) = 0;
  virtual void Process() = 0;
  virtual void ContainerRemoved(TInstallContainer* container) = 0;
  virtual int RegisteredType() const = 0;
  virtual void WriteUninstallInfo(const std::string& key) = 0;
  virtual std::string GetFullDestDir() = 0;

protected:
  ~IInstallObject() = default;
};

class TInstallObject : public TInstallContainer, public IInstallObject {
  FORMS_CLASS(TInstallObject)
public:
  void Loaded() override;
  void Process() override;
  void ContainerRemoved(TInstallContainer* container) override;
  void SetContainer(TInstallContainer* value) override;
  // The interface's operations that the container declares.
  void RemoveHelper(TInstallContainer* helper) override { TInstallContainer::RemoveHelper(helper); }
  int RegisteredType() const override { return TInstallContainer::RegisteredType(); }
  void WriteUninstallInfo(const std::string& key) override { TInstallContainer::WriteUninstallInfo(key); }
  std::string GetFullDestDir() override { return TInstallContainer::GetFullDestDir(); }
  TInstallContainer* Container() const { return container_; }

protected:
  // Drops the link to a container that is going away, without the checks
  // and defaults of SetContainer.
  void ForgetContainer();

private:
  bool container_assigned_ = false;
  bool default_container_pending_ = false;
  TInstallContainer* container_ = nullptr;
};

// The published property Container of a concrete install-object class.
forms::PropInfo ContainerProperty();

// Every TInstallContainer in existence, in creation order. Made by
// InitializeContainerList and freed by FinalizeContainerList once the
// script is gone.
class TInstallContainerList {
public:
  void Add(TInstallContainer* container);
  void Remove(TInstallContainer* container);
  bool Contains(const TInstallContainer* container) const;
  const std::vector<TInstallContainer*>& Items() const { return items_; }
  // How many containers have left the list so far.
  size_t Removals() const { return removals_; }

private:
  std::vector<TInstallContainer*> items_;
  size_t removals_ = 0;
};

TInstallContainerList* ContainerList();
void InitializeContainerList();
void FinalizeContainerList();

}  // namespace install
