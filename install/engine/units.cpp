#include "units.h"

#include "container.h"
#include "install.h"
#include "launcher.h"
#include "translator.h"

namespace install {

void InitializeInstallUnits() {
  forms::RegisterStreamClass(TInstall::StaticClass());
  forms::RegisterStreamClass(TInstallMainForm::StaticClass());
  forms::RegisterStreamClass(TTranslator::StaticClass());
  forms::RegisterStreamClass(TProgramLauncher::StaticClass());
  InitializeContainerList();
}

void FinalizeInstallUnits() {
  FinalizeContainerList();
  forms::UnregisterClasses();
}

}  // namespace install
