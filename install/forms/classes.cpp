#include "classes.h"

#include <algorithm>
#include <cctype>

namespace forms {

bool ClassInfo::InheritsFrom(const std::string& class_name) const {
  for (const ClassInfo* info = this; info; info = info->parent)
    if (SameText(info->name, class_name)) return true;
  return false;
}

const PropInfo* ClassInfo::FindProperty(const std::string& property) const {
  for (const ClassInfo* info = this; info; info = info->parent)
    for (const auto& p : info->properties)
      if (SameText(p.name, property)) return &p;
  return nullptr;
}

const std::function<std::any(TPersistent&)>* ClassInfo::FindMethod(
    const std::string& method) const {
  for (const ClassInfo* info = this; info; info = info->parent)
    for (const auto& [name, bind] : info->methods)
      if (SameText(name, method)) return &bind;
  return nullptr;
}

const ClassInfo& TPersistent::StaticClass() {
  static const ClassInfo info{"TPersistent"};
  return info;
}

namespace {

std::vector<const ClassInfo*>& RegisteredClasses() {
  static std::vector<const ClassInfo*> classes;
  return classes;
}

bool IsIdentifier(const std::string& name) {
  if (name.empty() || std::isdigit(static_cast<unsigned char>(name[0]))) return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
  });
}

}  // namespace

void RegisterStreamClass(const ClassInfo& info) {
  if (!FindClass(info.name)) RegisteredClasses().push_back(&info);
}

void UnregisterClasses() { RegisteredClasses().clear(); }

const ClassInfo* FindClass(const std::string& name) {
  for (const ClassInfo* info : RegisteredClasses())
    if (SameText(info->name, name)) return info;
  return nullptr;
}

const ClassInfo& TComponent::StaticClass() {
  static const ClassInfo info{"TComponent", &TPersistent::StaticClass(), nullptr,
                              {IntProp<TComponent>("Tag", &TComponent::Tag, &TComponent::SetTag, 0)}};
  return info;
}

TComponent::~TComponent() {
  // Free runs Destroy; this covers a component that was never made by New.
  if (!destroyed_) Destroy();
}

void TComponent::Create(TComponent* owner) {
  if (owner) owner->InsertComponent(this);
}

void TComponent::Destroy() {
  destroyed_ = true;
  MarkDestroying();
  // Everyone who asked to be told about this component's end hears it first,
  // while the component is still whole.
  while (!free_notifies_.empty()) {
    TComponent* client = free_notifies_.back();
    free_notifies_.pop_back();
    client->RemoveFreeNotification(this);
    client->Notification(this, TOperation::opRemove);
  }
  while (!components_.empty()) {
    TComponent* last = components_.back();
    RemoveComponent(last);
    Free(last);
  }
  if (owner_) owner_->RemoveComponent(this);
}

void TComponent::Loaded() { state_ &= ~csLoading; }

void TComponent::Notification(TComponent* component, TOperation operation) {
  if (operation == TOperation::opRemove) RemoveFreeNotification(component);
  // A copy: a receiver may free components while it is told.
  std::vector<TComponent*> receivers = components_;
  for (TComponent* receiver : receivers)
    if (std::find(components_.begin(), components_.end(), receiver) != components_.end())
      receiver->Notification(component, operation);
}

void TComponent::SetName(const std::string& name) {
  if (name == name_) return;
  if (!name.empty() && !IsIdentifier(name))
    throw EComponentError(Format("''%s'' is not a valid component name", {name}));
  if (!name.empty() && owner_) {
    TComponent* other = owner_->FindComponent(name);
    if (other && other != this)
      throw EComponentError(Format("A component named %s already exists", {name}));
  }
  name_ = name;
}

void TComponent::RecordEventBinding(const std::string& event, const std::string& method) {
  if (method.empty())
    event_bindings_.erase(event);
  else
    event_bindings_[event] = method;
}

void TComponent::SetLoading(bool loading) {
  if (loading)
    state_ |= csLoading;
  else
    state_ &= ~csLoading;
}

TComponent* TComponent::Components(int index) const {
  if (index < 0 || index >= ComponentCount())
    throw EComponentError(Format("List index out of bounds (%d)", {int64_t{index}}));
  return components_[static_cast<size_t>(index)];
}

TComponent* TComponent::FindComponent(const std::string& name) const {
  if (name.empty()) return nullptr;
  for (TComponent* component : components_)
    if (SameText(component->name_, name)) return component;
  return nullptr;
}

void TComponent::FreeNotification(TComponent* component) {
  if (!component || component == this) return;
  if (std::find(free_notifies_.begin(), free_notifies_.end(), component) == free_notifies_.end()) {
    free_notifies_.push_back(component);
    component->FreeNotification(this);
  }
}

void TComponent::RemoveFreeNotification(TComponent* component) {
  auto it = std::find(free_notifies_.begin(), free_notifies_.end(), component);
  if (it == free_notifies_.end()) return;
  free_notifies_.erase(it);
  component->RemoveFreeNotification(this);
}

void TComponent::MarkDestroying() {
  if (Destroying()) return;
  state_ |= csDestroying;
  for (TComponent* component : components_) component->MarkDestroying();
}

void TComponent::InsertComponent(TComponent* component) {
  if (!component->name_.empty() && FindComponent(component->name_))
    throw EComponentError(Format("A component named %s already exists", {component->name_}));
  component->owner_ = this;
  components_.push_back(component);
  Notification(component, TOperation::opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
  auto it = std::find(components_.begin(), components_.end(), component);
  if (it == components_.end()) return;
  Notification(component, TOperation::opRemove);
  it = std::find(components_.begin(), components_.end(), component);
  if (it != components_.end()) components_.erase(it);
  component->owner_ = nullptr;
}

namespace {

const PropInfo& PropertyOfKind(TPersistent& object, const std::string& property, PropKind kind) {
  const PropInfo* info = object.ClassType().FindProperty(property);
  if (!info || info->kind != kind)
    throw EComponentError(Format("Property %s does not exist in %s", {property, object.ClassName()}));
  return *info;
}

}  // namespace

void SetBoolProperty(TPersistent& object, const std::string& property, bool value) {
  PropertyOfKind(object, property, PropKind::Bool).set_ordinal(object, value ? 1 : 0);
}

void SetStringProperty(TPersistent& object, const std::string& property, const std::string& value) {
  PropertyOfKind(object, property, PropKind::String).set_string(object, value);
}

void Free(TPersistent* object) {
  if (!object) return;
  if (auto* component = dynamic_cast<TComponent*>(object)) {
    if (component->destroyed_) return;
    component->Destroy();
  }
  delete object;
}

}  // namespace forms
