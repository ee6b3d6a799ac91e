#include "paths/pathspec.h"

#include <algorithm>
#include <memory>

#include "core/exceptions.h"

namespace install {

using namespace forms;

namespace {

struct PathSpecifierLists {
  TPathSpecifierList instances;
  TStandardPathSpecList standard;
  TPathSpecifierClassList classes;
};

PathSpecifierLists* g_lists = nullptr;

PathSpecifierLists& Lists() {
  if (!g_lists) throw IEPathSpecifierList("The path specifier lists do not exist: they need the installer's start-up");
  return *g_lists;
}

}  // namespace

void InitializePathSpecifierLists() {
  if (!g_lists) g_lists = new PathSpecifierLists;
}

void FinalizePathSpecifierLists() {
  delete g_lists;
  g_lists = nullptr;
}

TPathSpecifierList& PathSpecifiers() { return Lists().instances; }
TStandardPathSpecList& StandardPathSpecifiers() { return Lists().standard; }
TPathSpecifierClassList& PathSpecifierClasses() { return Lists().classes; }

void TPathSpecifierList::Add(TCustomPathSpecifier* specifier) {
  if (!specifier) throw IEPathSpecifierList("Tried to add a nil object to the path specifier list");
  items_.push_back(specifier);
}

void TPathSpecifierList::Remove(TCustomPathSpecifier* specifier) {
  items_.erase(std::remove(items_.begin(), items_.end(), specifier), items_.end());
}

TCustomPathSpecifier* TPathSpecifierList::FindByClass(const std::string& class_name) const {
  for (TCustomPathSpecifier* specifier : items_)
    if (specifier->InheritsFrom(class_name)) return specifier;
  throw IEPathSpecifier("Could not find the path specifier");
}

void TPathSpecifierClassList::Add(const ClassInfo* specifier_class) {
  if (!specifier_class) throw IEPathSpecifierClassList("Tried to add a nil object to the path specifier list");
  if (!specifier_class->create || !specifier_class->InheritsFrom("TCustomPathSpecifier"))
    throw IEPathSpecifierClassList(
        forms::Format("%s is not a path specifier class that can be made", {specifier_class->name}));
  items_.push_back(specifier_class);
}

const ClassInfo& TCustomPathSpecifier::StaticClass() {
  static const ClassInfo info{"TCustomPathSpecifier", &TComponent::StaticClass()};
  return info;
}

void TCustomPathSpecifier::Create(TComponent* owner) {
  TComponent::Create(owner);
  PathSpecifiers().Add(this);
}

void TCustomPathSpecifier::Destroy() {
  if (g_lists) g_lists->instances.Remove(this);
  TComponent::Destroy();
}

void TCustomPathSpecifier::Validate(TComponent*) {}

void TCustomPathSpecifier::GetDescription(std::string& text) { text = "Unspecified"; }

void TCustomPathSpecifier::GetDescriptionFor(TComponent*, std::string& text) { GetDescription(text); }

void TCustomPathSpecifier::GetPath(TComponent* obj, std::string& path) {
  path.clear();
  Fire(on_get_path_, obj, path);
}

void TCustomPathSpecifier::GetDisplayName(std::string& text) { GetDescription(text); }

void TCustomPathSpecifier::GetDisplayNameFor(TComponent* obj, std::string& text) { GetDescriptionFor(obj, text); }

std::string TCustomPathSpecifier::ExpandPathMacro(const std::string& text, const std::string& path) {
  std::string out;
  bool percent_pending = false;
  for (char c : text) {
    if (c == '%') {
      if (percent_pending) out += '%';
      percent_pending = !percent_pending;
    } else if (percent_pending) {
      out += c == 'P' || c == 'p' ? path : std::string(1, c);
      percent_pending = false;
    } else {
      out += c;
    }
  }
  return out;
}

const ClassInfo& TPathSpecifier::StaticClass() {
  using C = TPathSpecifier;
  static const ClassInfo info{"TPathSpecifier", &TCustomPathSpecifier::StaticClass(),
                              [](TComponent* owner) -> TComponent* { return New<TPathSpecifier>(owner); },
                              {StringProp<C>("Description", &C::Description, &C::SetDescription),
                               EventProp<C, void(TComponent*, std::string&)>("OnGetPath", &C::SetOnGetPath)}};
  return info;
}

const ClassInfo& TStandardPathSpecifier::StaticClass() {
  static const ClassInfo info{"TStandardPathSpecifier", &TCustomPathSpecifier::StaticClass()};
  return info;
}

void TStandardPathSpecifier::Create(TComponent* owner) {
  TCustomPathSpecifier::Create(owner);
  StandardPathSpecifiers().Add(this);
}

void TStandardPathSpecifier::Destroy() {
  if (g_lists) g_lists->standard.Remove(this);
  TCustomPathSpecifier::Destroy();
}

TCustomPathSpecifier* FindPathSpecifierByClass(const std::string& class_name) {
  return PathSpecifiers().FindByClass(class_name);
}

void EnsurePathSpecifier(const ClassInfo& specifier_class, TComponent* owner, bool only_if_missing) {
  if (only_if_missing) {
    const auto& existing = PathSpecifiers().Items();
    if (std::any_of(existing.begin(), existing.end(),
                    [&](TCustomPathSpecifier* s) { return s->InheritsFrom(specifier_class.name); }))
      return;
  }
  auto* specifier = dynamic_cast<TCustomPathSpecifier*>(specifier_class.create(owner));
  specifier->SetName(specifier->SpecifierName());
}

void CreateStandardPathSpecifiers(TComponent* owner, bool only_if_missing) {
  if (!owner) return;
  for (const ClassInfo* specifier_class : PathSpecifierClasses().Items())
    EnsurePathSpecifier(*specifier_class, owner, only_if_missing);
}

}  // namespace install
