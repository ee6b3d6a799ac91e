// Install events: numbered notifications between script objects. Negative
// codes go down from an object to its own helpers of registered type 2000 or
// more; positive codes go up the Container chain. Each may carry one
// parameter object that the sender makes, passes and frees.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/file_header.h"
#include "classes.h"

namespace install {

// Downward.
constexpr int ieProcessing = -999;
constexpr int ieFileStatus = -998;
constexpr int ieReplacingFile = -997;
constexpr int ieCopyFinished = -996;
constexpr int ieGoodInstall = -995;
constexpr int ieBadInstall = -994;
constexpr int ieNewDisk = -993;
constexpr int ieInstallStarting = -992;
constexpr int ieSelectFolder = -991;
constexpr int ieBeforeProcess = -990;
constexpr int ieAfterProcess = -989;
constexpr int ieDownloadStatus = -988;
constexpr int ieReboot = -987;
constexpr int ieAfterInitialized = -986;
constexpr int ieBeforeReadArchiveInfo = -984;
constexpr int ieAfterReadArchiveInfo = -983;
constexpr int ieBeforeInstallDialogs = -980;
constexpr int ieGoodInstallDialogs = -979;
constexpr int ieBadInstallDialogs = -978;
constexpr int ieShowStatus = -974;
constexpr int ieHideStatus = -973;
constexpr int ieProcessShellLink = -970;
constexpr int ieProcessLinkGroup = -969;
constexpr int ieProcessRegistry = -968;
constexpr int ieSelectDestination = -966;
constexpr int ieRegistrationDialogs = -962;

// Upward.
constexpr int ieFileDone = 1001;
constexpr int ieFileStarting = 1002;
constexpr int ieFileReplacing = 1003;
constexpr int ieBeforeCompressFile = 1004;
constexpr int ieAfterCompressFile = 1005;
constexpr int ieBeforeCopyFile = 1006;
constexpr int ieAfterCopyFile = 1007;
constexpr int ieInstallStatus = 1008;
constexpr int ieCompressStatus = 1009;
constexpr int ieCopyStatus = 1010;
constexpr int ieNewDiskNeeded = 1011;
constexpr int ieContainerStarting = 1012;
constexpr int ieContainerDone = 1013;
constexpr int ieDownloadProgress = 1014;
constexpr int ieFileAborted = 1015;
constexpr int ieFileSkipped = 1016;

// Helpers of this registered type or more receive broadcasts.
constexpr int kBroadcastMinimumType = 2000;

class TMessageParameter : public forms::TPersistent {
public:
  std::string Message;
};

class TDiskParameter : public forms::TPersistent {
public:
  int32_t DiskNumber = 0;  // the disk asked for, from 1
  std::string Path;        // where the disk is expected; a handler may change it
};

class TFileStatusParameter : public forms::TPersistent {
public:
  int32_t FileBytesDone = 0;
  int32_t FilePercent = 0;
  std::string FileName;
  TlzhFileStats FileStats;  // the archive's progress record
  int32_t TotalBytesDone = 0;
  int32_t TotalPercent = 0;
};

class TDownloadStatusParameter : public forms::TPersistent {
public:
  int32_t Bytes = 0;       // this chunk
  std::string FileName;
  int32_t FileSize = 0;    // the whole download
  int32_t TotalBytes = 0;  // received so far
  int32_t Percent = 0;
};

// The parameter of events about one file with a second object: item 0 the
// file, item 1 the parameter object. The list does not own its items.
class TList : public forms::TPersistent {
public:
  std::vector<forms::TPersistent*> Items;
};

// round(part / whole x 100), halves to even; 0 for an empty whole.
int32_t PercentOf(int64_t part, int64_t whole);

}  // namespace install
