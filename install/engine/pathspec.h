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
  // The path for obj: the base asks OnGetPath, empty without a handler.
  virtual void GetPath(forms::TComponent* obj, std::string& path);

  // The name an automatically made instance receives.
  const std::string& SpecifierName() const { return specifier_name_; }
  void SetOnGetPath(TGetPathEvent handler) { on_get_path_ = std::move(handler); }

protected:
  void SetSpecifierName(const std::string& name) { specifier_name_ = name; }

private:
  TGetPathEvent on_get_path_;
  std::string specifier_name_;
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
