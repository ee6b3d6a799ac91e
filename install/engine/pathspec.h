// TCustomPathSpecifier: a named place on the machine being installed
// (Program Files, the system folder, a container's destination ...). Install
// objects store a specifier plus a relative tail; the specifier answers the
// path for the object that asks and refuses objects that cannot use it.
#pragma once

#include <functional>
#include <string>

#include "classes.h"

namespace install {

using TGetPathEvent = std::function<void(forms::TComponent* component, std::string& path)>;

class TCustomPathSpecifier : public forms::TComponent {
  FORMS_CLASS(TCustomPathSpecifier)
public:
  // Raises when obj cannot use this specifier. The base accepts everyone.
  virtual void Validate(forms::TComponent* obj);
  // The path for obj: the base asks OnGetPath, empty without a handler.
  virtual void GetPath(forms::TComponent* obj, std::string& path);

  const std::string& SpecifierName() const { return specifier_name_; }
  void Create(forms::TComponent* owner) override;
  void Destroy() override;

  void SetOnGetPath(TGetPathEvent handler) { on_get_path_ = std::move(handler); }

protected:
  void SetSpecifierName(const std::string& name) { specifier_name_ = name; }

private:
  TGetPathEvent on_get_path_;
  std::string specifier_name_;
};

// The first path specifier in existence (in creation order) of the class or
// derived from it; raises IEPathSpecifier when there is none.
TCustomPathSpecifier* FindPathSpecifierByClass(const std::string& class_name);

}  // namespace install
