#include "wizardunits.h"

#include "rotatelabel.h"

namespace install {

void InitializeWizardUnits() { forms::RegisterStreamClass(TRotate3DLabel::StaticClass()); }

void FinalizeWizardUnits() {}

}  // namespace install
