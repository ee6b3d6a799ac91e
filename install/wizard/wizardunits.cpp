#include "wizardunits.h"

#include "dialogs.h"
#include "pageregistry.h"
#include "pages.h"
#include "progresswindows.h"
#include "rotatelabel.h"

namespace install {

void InitializeWizardUnits() {
  InitializeFormRegistries();
  for (const forms::ClassInfo* script_class :
       {&TRotate3DLabel::StaticClass(), &TDialogManager::StaticClass(), &TSelectDestinationDlg::StaticClass(),
        &TSelectFolderDlg::StaticClass(), &TGoodInstallationDlg::StaticClass(), &TBadInstallationDlg::StaticClass(),
        &TRebootDlg::StaticClass(), &TInstallStatusDlg::StaticClass(), &TCopyFileDlg::StaticClass()})
    forms::RegisterStreamClass(*script_class);
  // The welcome page is the one page without a dialog: it stays registered
  // for whichever before-install manager collects pages.
  RegisterPageForm(TWelcomeForm::StaticClass(), nullptr, 0);
}

void FinalizeWizardUnits() { FinalizeFormRegistries(); }

}  // namespace install
