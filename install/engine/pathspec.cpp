#include "pathspec.h"

#include <algorithm>
#include <vector>

#include "exceptions.h"

namespace install {

namespace {

std::vector<TCustomPathSpecifier*>& Instances() {
  static std::vector<TCustomPathSpecifier*> instances;
  return instances;
}

}  // namespace

void TCustomPathSpecifier::Create(forms::TComponent* owner) {
  TComponent::Create(owner);
  Instances().push_back(this);
}

void TCustomPathSpecifier::Destroy() {
  auto& instances = Instances();
  instances.erase(std::remove(instances.begin(), instances.end(), this), instances.end());
  TComponent::Destroy();
}

TCustomPathSpecifier* FindPathSpecifierByClass(const std::string& class_name) {
  for (TCustomPathSpecifier* specifier : Instances())
    if (specifier->InheritsFrom(class_name)) return specifier;
  throw IEPathSpecifier("Could not find the path specifier");
}

const forms::ClassInfo& TCustomPathSpecifier::StaticClass() {
  static const forms::ClassInfo info{"TCustomPathSpecifier", &TComponent::StaticClass()};
  return info;
}

void TCustomPathSpecifier::Validate(forms::TComponent*) {}

void TCustomPathSpecifier::GetPath(forms::TComponent* obj, std::string& path) {
  path.clear();
  if (on_get_path_) on_get_path_(obj, path);
}

}  // namespace install
