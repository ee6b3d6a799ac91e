// The engine's install record: the registry key that outlives one start of
// the program, with the unfinished list that a run after the reboot works
// through. What needs the registry's key and value listings is in the
// platform files (installrecord_win32.cpp, installrecord_posix.cpp).
#include <ctime>

#include "day_date.h"
#include "exceptions.h"
#include "install.h"
#include "registry.h"

namespace install {

namespace {

std::string g_install_record_key;
double g_run_start_time = 0;

}  // namespace

const std::string& InstallRecordKey() { return g_install_record_key; }
void SetInstallRecordKey(const std::string& key) { g_install_record_key = key; }

double RunStartTime() { return g_run_start_time; }
void StartRunClock() { g_run_start_time = day_date::FromFileTime(std::time(nullptr)); }

std::string TCustomInstall::UnfinishedKey() {
  if (InstallRecordKey().empty())
    throw IEInstall("The TInstall could not either write or read unfinished business from the registry");
  return InstallRecordKey() + "\\Unfinished";
}

void TCustomInstall::AddUnfinished(const std::string& name, int code) {
  std::string key = UnfinishedKey();
  ++in_use_count_;
  WriteRegistryString(hkLocalMachine, key, name, forms::IntToStr(code));
}

void TCustomInstall::ClearUnfinished() { DeleteRegistryKeyTree(hkLocalMachine, UnfinishedKey()); }

}  // namespace install
