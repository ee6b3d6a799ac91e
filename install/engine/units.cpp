#include "units.h"

#include "container.h"
#include "install.h"
#include "launcher.h"
#include "pathspec.h"
#include "standardpaths.h"
#include "translator.h"

namespace install {

void InitializeInstallUnits() {
  forms::RegisterStreamClass(TInstall::StaticClass());
  forms::RegisterStreamClass(TInstallMainForm::StaticClass());
  forms::RegisterStreamClass(TTranslator::StaticClass());
  forms::RegisterStreamClass(TProgramLauncher::StaticClass());
  forms::RegisterStreamClass(forms::TLabel::StaticClass());
  forms::RegisterStreamClass(forms::TBitBtn::StaticClass());
  forms::RegisterStreamClass(TTranslateLabel::StaticClass());
  forms::RegisterStreamClass(TTranslateBitBtn::StaticClass());
  InitializePathSpecifierLists();
  // Path specifiers: the script's own kind, and the standard ones that every
  // install form carries, in registration order.
  forms::RegisterStreamClass(TPathSpecifier::StaticClass());
  for (const forms::ClassInfo* specifier_class : StandardPathSpecifierClasses()) {
    forms::RegisterStreamClass(*specifier_class);
    PathSpecifierClasses().Add(specifier_class);
  }
  InitializeContainerList();
}

void FinalizeInstallUnits() {
  FinalizeContainerList();
  FinalizePathSpecifierLists();
  forms::UnregisterClasses();
}

}  // namespace install
