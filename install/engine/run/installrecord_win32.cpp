// Install records in the Windows registry: the search by the setup file's
// size and date, and the listing of the unfinished list.
#include <cmath>

#include "core/install.h"
#include "items/installfile.h"
#include "paths/registry.h"

namespace install {

using namespace forms;

namespace {

const char* const kInstallRecordsKey = "\\SOFTWARE\\ZUV\\Install";

// What identifies a setup file: its size and its modification date.
struct SetupFileIdentity {
  std::string path;
  double date = 0;
  int32_t size = 0;
};

// The record's values, flushed to disk at once: the record must be there
// after a reboot that follows soon.
void WriteRecordValues(TqndrRegistry& registry, const SetupFileIdentity& setup, bool full) {
  registry.WriteFloat("LastRunDate", RunStartTime());
  registry.WriteString("Path", setup.path);
  if (full) {
    registry.WriteFloat("CreationDate", setup.date);
    registry.WriteInteger("Size", setup.size);
  }
}

// Whether the record at key names this setup file.
bool RecordMatches(const std::string& key, const SetupFileIdentity& setup) {
  TqndrRegistry registry;
  registry.SetRootKey(HKEY_LOCAL_MACHINE);
  if (!registry.OpenKey(key, false)) return false;
  try {
    registry.ReadString("Path");
    double date = registry.ReadFloat("CreationDate");
    int32_t size = registry.ReadInteger("Size");
    return std::fabs(date - setup.date) < 1e-7 && size == setup.size;
  } catch (const ERegistryException&) {
    return false;
  }
}

}  // namespace

std::string TCustomInstall::FindInstallRecordKey(bool create) {
  SetupFileIdentity setup;
  setup.path = ProgramFileName();
  if (!ReadFileDateAndSize(setup.path, setup.date, setup.size)) return "";
  TqndrRegistry registry;
  registry.SetRootKey(HKEY_LOCAL_MACHINE);
  if (!registry.OpenKey(kInstallRecordsKey, true)) return "";
  TStringList names;
  registry.GetKeyNames(names);
  registry.CloseKey();
  try {
    for (const std::string& name : names.Lines()) {
      std::string key = std::string(kInstallRecordsKey) + "\\" + name;
      if (!RecordMatches(key, setup) || !registry.OpenKey(key, false)) continue;
      WriteRecordValues(registry, setup, false);
      registry.SetLazyWrite(false);
      registry.CloseKey();
      return key;
    }
    if (!create) return "";
    std::string name;
    for (int n = 0;; ++n) {
      name = Format("Install%d", {int64_t{n}});
      if (names.IndexOf(name) < 0) break;
    }
    std::string key = std::string(kInstallRecordsKey) + "\\" + name;
    if (!registry.OpenKey(key, true)) return "";
    WriteRecordValues(registry, setup, true);
    if (Flags().Has(clSelfExtract))
      registry.WriteString("SelfExtract", AddTrailingBackslash(LoaderDirectory()) + Flags().Value(clSelfExtract));
    registry.SetLazyWrite(false);
    registry.CloseKey();
    return key;
  } catch (const ERegistryException&) {
    return "";
  }
}

void TCustomInstall::ReadUnfinishedList(TStringList& list) {
  std::string key = UnfinishedKey();
  list.Clear();
  TqndrRegistry registry;
  registry.SetRootKey(HKEY_LOCAL_MACHINE);
  if (!registry.KeyExists(key) || !registry.OpenKey(key, false)) return;
  TStringList names;
  registry.GetValueNames(names);
  for (const std::string& name : names.Lines()) {
    std::string data;
    try {
      data = registry.ReadString(name);
    } catch (const ERegistryException&) {
      // An entry of another type has no code: the resumption refuses it.
    }
    list.Add(name + ";" + data);
  }
}

void TCustomInstall::CleanupInstallRecord() {
  const std::string record = InstallRecordKey();
  if (record.empty()) return;
  TqndrRegistry registry;
  registry.SetRootKey(HKEY_LOCAL_MACHINE);
  TStringList names;
  if (registry.OpenKey(record, false)) registry.GetKeyNames(names);
  registry.CloseKey();
  for (const std::string& name : names.Lines()) {
    std::string key = record + "\\" + name;
    std::string local_file = ReadRegistryString(hkLocalMachine, key, "LocalFile", "");
    if (!Trim(local_file).empty()) DeleteFileNamed(local_file);
    DeleteRegistryKeyTree(hkLocalMachine, key);
  }
  DeleteRegistryKeyTree(hkLocalMachine, record);
  SetInstallRecordKey("");
  // The keys above the records go when nothing else is left in them.
  for (const char* parent : {kInstallRecordsKey, "\\Software\\Quendric"}) {
    TRegKeyInfo info;
    if (!registry.OpenKey(parent, false) || !registry.GetKeyInfo(info) || info.NumSubKeys > 0) return;
    registry.CloseKey();
    registry.DeleteKey(parent);
  }
}

}  // namespace install
