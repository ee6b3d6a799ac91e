// Install records where there is no registry: no record can be found or
// made, and an unfinished list holds nothing.
#include "core/install.h"

namespace install {

std::string TCustomInstall::FindInstallRecordKey(bool) { return ""; }

void TCustomInstall::ReadUnfinishedList(forms::TStringList& list) {
  UnfinishedKey();
  list.Clear();
}

void TCustomInstall::CleanupInstallRecord() { SetInstallRecordKey(""); }

}  // namespace install
