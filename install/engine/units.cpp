#include "units.h"

#include "container.h"
#include "install.h"
#include "launcher.h"
#include "pathspec.h"
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
  InitializeContainerList();
}

void FinalizeInstallUnits() {
  FinalizeContainerList();
  FinalizePathSpecifierLists();
  forms::UnregisterClasses();
}

}  // namespace install
