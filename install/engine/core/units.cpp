#include "core/units.h"

#include "application.h"
#include "archive/qndr_compress.h"
#include "core/container.h"
#include "core/install.h"
#include "core/launcher.h"
#include "core/translator.h"
#include "distribution/netlocation.h"
#include "items/installfile.h"
#include "items/regentries.h"
#include "items/shelllinks.h"
#include "items/uninstall.h"
#include "paths/pathspec.h"
#include "paths/standardpaths.h"

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
  forms::RegisterStreamClass(TInstallRegistry::StaticClass());
  forms::RegisterStreamClass(TMainLinkGroup::StaticClass());
  forms::RegisterStreamClass(TInstallMainLink::StaticClass());
  // Made by the first shortcut on a form; not one of the standard classes.
  forms::RegisterStreamClass(TpsObjectLink::StaticClass());
  // File containers and install files.
  forms::RegisterStreamClass(TInstallGroup::StaticClass());
  forms::RegisterStreamClass(TInstallDirectory::StaticClass());
  forms::RegisterStreamClass(TInstallFile::StaticClass());
  forms::RegisterStreamClass(TpsFileContainer::StaticClass());
  forms::RegisterStreamClass(TUninstallEXE::StaticClass());
  InitializeFileLists();
  // The archive: its components, the shared instances and, on Windows, the
  // message pump that lets the progress window repaint and take a Cancel
  // between blocks.
  forms::RegisterStreamClass(TQndrCompress::StaticClass());
  forms::RegisterStreamClass(TVersionResource::StaticClass());
  InitializeSharedArchive();
  SharedVersionResource();
#ifdef _WIN32
  TQndrCompress::SetMessagePump([] {
    if (forms::Application()) forms::Application()->ProcessMessages();
  });
#endif
  InitializeNetInstallLocations();
  forms::RegisterStreamClass(TNetInstallLocation::StaticClass());
}

void FinalizeInstallUnits() {
  FinalizeNetInstallLocations();
  TQndrCompress::SetMessagePump(nullptr);
  FreeSharedVersionResource();
  FinalizeFileLists();
  FinalizeSharedArchive();
  FinalizeContainerList();
  FinalizePathSpecifierLists();
  forms::UnregisterClasses();
}

}  // namespace install
