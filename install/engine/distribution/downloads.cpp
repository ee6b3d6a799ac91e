#include "distribution/downloads.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "core/support.h"
#include "paths/osroutines.h"

namespace install {

namespace {

struct DownloadFile {
  std::string path;
  std::string reserved;
};

std::vector<DownloadFile>& Remembered() {
  static std::vector<DownloadFile> files;
  return files;
}

void Delete(const DownloadFile& file) {
  std::remove(file.path.c_str());
  std::remove(file.reserved.c_str());
}

}  // namespace

std::string NewDownloadFile() {
  std::string reserved = GetTempBatchFileName(true);
  DownloadFile file{ChangeFileExt(reserved, ".1"), reserved};
  Remembered().push_back(file);
  return file.path;
}

void RemoveDownloadFile(const std::string& path) {
  std::vector<DownloadFile>& files = Remembered();
  auto found = std::find_if(files.begin(), files.end(), [&path](const DownloadFile& file) { return file.path == path; });
  if (found == files.end()) return;
  Delete(*found);
  files.erase(found);
}

void RemoveDownloadFiles() {
  for (const DownloadFile& file : Remembered()) Delete(file);
  Remembered().clear();
}

}  // namespace install
