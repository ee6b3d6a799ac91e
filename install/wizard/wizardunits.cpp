#include "wizardunits.h"

#include "dialogs.h"
#include "pageregistry.h"
#include "rotatelabel.h"

namespace install {

void InitializeWizardUnits() {
  InitializeFormRegistries();
  forms::RegisterStreamClass(TRotate3DLabel::StaticClass());
  forms::RegisterStreamClass(TDialogManager::StaticClass());
}

void FinalizeWizardUnits() { FinalizeFormRegistries(); }

}  // namespace install
