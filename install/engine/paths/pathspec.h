// Path specifiers: named places on the machine being installed (Program
// Files, the system folder, a container's destination ...). Install objects
// store a specifier plus a relative tail; the specifier answers the path for
// the object that asks and refuses objects that cannot use it.
//
// Three global lists, made at start-up and freed at exit: every specifier in
// existence, every standard (built-in) one, and the registered specifier
// classes. The first install object made on a form puts one instance of
// every registered class on that form.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "classes.h"

namespace install {

using TGetPathEvent = std::function<void(forms::TComponent* component, std::string& path)>;

class TCustomPathSpecifier : public forms::TComponent {
  FORMS_CLASS(TCustomPathSpecifier)
public:
  void Create(forms::TComponent* owner) override;
  void Destroy() override;

  // Raises when obj cannot use this specifier. The base accepts everyone.
  virtual void Validate(forms::TComponent* obj);
  // A sentence describing the place; the base says "Unspecified".
  virtual void GetDescription(std::string& text);
  // The description as seen from obj; the base gives GetDescription.
  virtual void GetDescriptionFor(forms::TComponent* obj, std::string& text);
  // The path for obj: the base asks OnGetPath, empty without a handler.
  virtual void GetPath(forms::TComponent* obj, std::string& path);
  // A short label; the base gives GetDescription.
  virtual void GetDisplayName(std::string& text);
  // The short label as seen from obj; the base gives GetDescriptionFor.
  virtual void GetDisplayNameFor(forms::TComponent* obj, std::string& text);

  // text with "%P" and "%p" replaced by path and "%%" by '%'; any other
  // character after a '%' stands for itself, a final '%' is dropped.
  static std::string ExpandPathMacro(const std::string& text, const std::string& path);

  // The name an automatically made instance receives.
  const std::string& SpecifierName() const { return specifier_name_; }
  void SetOnGetPath(TGetPathEvent handler) { on_get_path_ = std::move(handler); }
  const TGetPathEvent& OnGetPath() const { return on_get_path_; }

protected:
  void SetSpecifierName(const std::string& name) { specifier_name_ = name; }

private:
  TGetPathEvent on_get_path_;
  std::string specifier_name_;
};

// A specifier of the script's own: its path comes from its OnGetPath
// handler, its description from Description.
class TPathSpecifier : public TCustomPathSpecifier {
  FORMS_CLASS(TPathSpecifier)
public:
  void GetDescription(std::string& text) override { text = description_; }
  std::string Description() const { return description_; }
  void SetDescription(const std::string& v) { description_ = v; }

private:
  std::string description_ = "My cool new path specifier";
};

// The base of the built-in specifiers; its instances are also in the
// standard list.
class TStandardPathSpecifier : public TCustomPathSpecifier {
  FORMS_CLASS(TStandardPathSpecifier)
public:
  void Create(forms::TComponent* owner) override;
  void Destroy() override;
};

class TPathSpecifierList {
public:
  virtual ~TPathSpecifierList() = default;
  // Raises IEPathSpecifierList for nil.
  void Add(TCustomPathSpecifier* specifier);
  void Remove(TCustomPathSpecifier* specifier);
  // The first in list order of the class or derived from it; raises
  // IEPathSpecifier "Could not find the path specifier" when there is none.
  virtual TCustomPathSpecifier* FindByClass(const std::string& class_name) const;
  const std::vector<TCustomPathSpecifier*>& Items() const { return items_; }

private:
  std::vector<TCustomPathSpecifier*> items_;
};

class TStandardPathSpecList : public TPathSpecifierList {};

class TPathSpecifierClassList {
public:
  // Raises IEPathSpecifierClassList for nil.
  void Add(const forms::ClassInfo* specifier_class);
  const std::vector<const forms::ClassInfo*>& Items() const { return items_; }

private:
  std::vector<const forms::ClassInfo*> items_;
};

TPathSpecifierList& PathSpecifiers();
TStandardPathSpecList& StandardPathSpecifiers();
TPathSpecifierClassList& PathSpecifierClasses();
void InitializePathSpecifierLists();
void FinalizePathSpecifierLists();

// The first specifier in existence of the class (see FindByClass).
TCustomPathSpecifier* FindPathSpecifierByClass(const std::string& class_name);
// Makes an instance of the class on owner named by its SpecifierName;
// with only_if_missing, not when one of the class already exists.
void EnsurePathSpecifier(const forms::ClassInfo& specifier_class, forms::TComponent* owner, bool only_if_missing);
// EnsurePathSpecifier for every registered class, in registration order;
// nothing for a nil owner.
void CreateStandardPathSpecifiers(forms::TComponent* owner, bool only_if_missing);

}  // namespace install
