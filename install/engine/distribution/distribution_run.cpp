// What the installation run reads of its distribution: the offset of
// files.1 inside the self-extracting file, and the net file list applied
// to the script's files. Kept apart from the file formats, which the
// loader program uses without the engine.
#include <cstdio>

#include "archive/qndr_compress.h"
#include "core/exceptions.h"
#include "core/install.h"
#include "distribution/distribution.h"
#include "distribution/netlocation.h"
#include "items/installfile.h"
#include "paths/osroutines.h"

namespace install {

void ApplySelfExtractOffset() {
  TCustomInstall* engine = TCustomInstall::Instance();
  if (!engine || !SharedArchive()) return;
  SharedArchive()->SetOffset(ReadSelfExtractHeader(engine->GetArchivePath()).files1_first);
}

void ApplyFileListRecord(const std::string& name, const std::string& version, int32_t size, double date) {
  if (!FileList()) return;
  for (TCustomInstallFile* file : FileList()->Items()) {
    // The build cut a name longer than the record holds.
    if (!forms::SameText(file->Name().substr(0, TNetFileListRecord::kMaxName), name)) continue;
    file->SetFileListInfo(size, date, version.substr(0, TCustomInstallFile::kMaxVersion));
    return;
  }
}

void FetchNetFileList() {
  TCustomNetInstallLocation* location = DefaultLocation();
  if (!location) {
    TCustomInstall* engine = TCustomInstall::Instance();
    throw IEFileRel_NoNetLocation("Could not find a net install location for %s",
                                  {engine ? engine->Name() : std::string()});
  }
  std::string list = GetTempBatchFileName(false);
  struct Remove {
    std::string path;
    ~Remove() { std::remove(path.c_str()); }
  } remove{list};
  location->Download("filelist.lst", list);
  // Part of a list is no list.
  if (DownloadAborted()) throw EAIUserAbort();
  for (const TNetFileListRecord& record : ReadNetFileList(list))
    ApplyFileListRecord(record.name, record.version, record.size, record.date);
}

}  // namespace install
