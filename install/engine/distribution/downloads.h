// The temporary files of the run's downloads: every archive a download
// fetches lands in a file of the temporary folder whose name the system
// reserved ("bat....tmp", kept while the download file lives, so that no
// later download is given the same name) with the extension ".1". The run
// removes them all at its end, whether it ends well, by the user's cancel
// or by a failure.
#pragma once

#include <string>

namespace install {

// A new download file (nothing in it yet), remembered with the name it
// reserved.
std::string NewDownloadFile();
// Deletes a download file and its reserved name at once.
void RemoveDownloadFile(const std::string& path);
// Deletes every download file still remembered; failures are ignored.
void RemoveDownloadFiles();

}  // namespace install
