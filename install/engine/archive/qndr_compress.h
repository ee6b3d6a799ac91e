// TQndrCompress: writes and reads the installer's archives. It compresses a
// list of files into an archive (new or appended), lists the members,
// extracts named members into a directory under the overwrite rule, copies
// plain files under the same rule and cuts a plain archive into numbered
// disk files. Progress goes to the events in one TlzhFileStats record.
//
// A cancel (SetAbort(true): the user's, or that of a component sharing the
// flag through ShareAbortWith) stops the running operation at its next
// block, and every later one, until its owner clears it (SetAbort(false))
// when a new installation or build starts. An operation that a cancel
// stops never returns as if done: Compress, Extract and SpanToDisks call
// OnAborted and raise EqcAborted (unless OnAborted raised already);
// CopyFileChecked raises EqcAborted. A handler's EAbort ends Compress and
// Extract the same way, without OnAborted. Other failures raise an
// EQndrCompress (core/exceptions.h); Abort then reads true until this
// component's next operation starts, which it does not stop, nor any
// other component. Everything runs on the GUI thread; after every block
// the application's message pump runs so that a Cancel button can set
// Abort. It is a component: a stored script sets its published properties
// and binds its events to the form's methods.
#ifndef INSTALL_ARCHIVE_QNDR_COMPRESS_H
#define INSTALL_ARCHIVE_QNDR_COMPRESS_H

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <zlib.h>

#include "archive/archive_stream.h"
#include "archive/file_header.h"
#include "archive/version_resource.h"
#include "classes.h"
#include "controls.h"

namespace install {

enum TCompressionLevel { colNone, colFastest, colDefault, colMax };
extern const std::vector<std::string> kCompressionLevelNames;
enum TlzhCommand { lzcOverwrite, lzcOnlyAdd };

class TQndrCompress;
using TlzhFileStatsEvent =
    std::function<void(TQndrCompress *sender, const TlzhFileStats &fileStats)>;
using TlzhNewDiskEvent =
    std::function<void(TQndrCompress *sender, int32_t diskNumber, std::string &path)>;

class TQndrCompress : public forms::TComponent {
  FORMS_CLASS(TQndrCompress)
 public:
  static constexpr int kFileIDs = 2000;

  TQndrCompress();

  // The application's message pump, run after every block of every
  // archive operation of the process.
  static void SetMessagePump(std::function<void()> pump);

  // A cancel, or the failure of this component's last operation.
  bool Abort() const { return *abort_ || failed_; }
  // true: a cancel; false clears both the cancel and a failure.
  void SetAbort(bool value) {
    *abort_ = value;
    if (!value) failed_ = false;
  }
  // From now on this component's Abort is the other's: a cancel of either
  // stops both, as a private component must stop with the shared one.
  void ShareAbortWith(const TQndrCompress &other) { abort_ = other.abort_; }

  std::string CompressedFile() const { return compressedFile_; }
  void SetCompressedFile(const std::string &value);
  TCompressionLevel CompressionLevel() const { return compressionLevel_; }
  void SetCompressionLevel(TCompressionLevel value) { compressionLevel_ = value; }
  std::string ExtractDirectory() const { return extractDirectory_; }
  void SetExtractDirectory(const std::string &value) { extractDirectory_ = value; }
  const std::string &TargetName() const { return targetName_; }
  void SetTargetName(const std::string &value) { targetName_ = value; }
  forms::TStringList &FilesToProcess() { return filesToProcess_; }
  // Takes the list without its blank lines, which are deleted from the
  // caller's list as well.
  void SetFilesToProcess(forms::TStringList &list);
  // The same for a list that stays as it is (a stored script's).
  void SetFilesToProcess(const forms::TStringList &list);
  int32_t Offset() const { return offset_; }
  void SetOffset(int32_t value) { offset_ = value; }
  TOverwriteType Overwrite() const { return overwrite_; }
  void SetOverwrite(TOverwriteType value) { overwrite_ = value; }

  void SetOnAborted(forms::TNotifyEvent handler) { onAborted_ = std::move(handler); }
  void SetOnAfterAdding(TlzhFileStatsEvent handler) { onAfterAdding_ = std::move(handler); }
  void SetOnBeforeAdding(TlzhFileStatsEvent handler) { onBeforeAdding_ = std::move(handler); }
  // Kept for stored scripts that set it; it is never fired.
  void SetOnAfterExtracting(TlzhFileStatsEvent handler) { onAfterExtracting_ = std::move(handler); }
  void SetOnBeforeExtracting(TlzhFileStatsEvent handler) { onBeforeExtracting_ = std::move(handler); }
  void SetOnFullDisk(forms::TNotifyEvent handler) { onFullDisk_ = std::move(handler); }
  void SetOnListing(TlzhFileStatsEvent handler) { onListing_ = std::move(handler); }
  void SetOnNewDisk(TlzhNewDiskEvent handler) { onNewDisk_ = std::move(handler); }
  void SetOnReplace(TlzhFileStatsEvent handler) { onReplace_ = std::move(handler); }
  void SetOnStatus(TlzhFileStatsEvent handler) { onStatus_ = std::move(handler); }

  int Count();  // members of CompressedFile
  TlzhFileStats GetFileStats(int index);
  // The member with this file identifier (0..1999), or -1 when none has it.
  int IndexOfFileID(int id);

  void ReadHeaders();
  void Compress(TlzhCommand command, int32_t fileID);
  void List();
  void Extract();
  void SpanToDisks(const std::string &destDir, const std::string &fileName);
  void CopyFileChecked(const std::string &source, const std::string &dest);

 protected:
  // A target disk took fewer bytes than given: OnFullDisk, or EqcDiskFull.
  virtual void DoFullDisk();

 private:
  enum class Operation { kNone, kCompress, kExtract, kSpan };
  struct SpanTarget;

  template <typename Body>
  void RunOperation(Operation operation, Body body);
  void LoadHeadersIfNeeded();
  void BeginMember(int index);
  // The start of an operation: the last one's failure is forgotten, and a
  // cancel that came before stops this one at once.
  void BeginOperation();
  void CheckAbort() const;
  void FireStats(const TlzhFileStatsEvent &event) { forms::Fire(event, this, stats_); }

  void CompressFiles(TlzhCommand command, int32_t fileID);
  void AddMember(ArchiveStream &archive, z_stream &deflater, int index, int32_t fileID);
  void DeflateMember(ArchiveStream &source, ArchiveStream &archive, z_stream &deflater,
                     int32_t fileSize);
  void CompressProgress(int64_t bytesRead, int64_t bytesWritten);

  void ExtractFiles();
  void ExtractMember(ArchiveStream &source, z_stream &inflater, const TFileHeader &header,
                     const std::string &target);
  int64_t InflateMember(ArchiveStream &source, ArchiveStream &target, z_stream &inflater,
                        const TFileHeader &header);
  size_t InflateBlock(z_stream &inflater, ArchiveStream &source, const TFileHeader &header,
                      uint8_t *block, bool *streamEnded);
  void OpenDisk(ArchiveStream &stream, int diskNumber, ArchiveStream::Mode mode,
                std::string &path);

  void SpanFiles(const std::string &destDir, const std::string &fileName);
  size_t CopySpanChunk(ArchiveStream &archive, SpanTarget &span, int32_t lastDataByte);

  Operation operation_ = Operation::kNone;
  int currentDisk_ = 0;
  TlzhFileStats stats_;
  bool headersLoaded_ = false;
  std::array<int, kFileIDs> fileIDTable_;
  std::shared_ptr<bool> abort_ = std::make_shared<bool>(false);  // the cancel
  bool failed_ = false;  // the last operation failed
  std::string compressedFile_;
  TCompressionLevel compressionLevel_ = colMax;
  std::string extractDirectory_;
  std::string targetName_;
  TFileHeaders headers_;
  forms::TStringList filesToProcess_;
  int32_t offset_ = 0;
  TOverwriteType overwrite_ = owAlways;
  forms::TNotifyEvent onAborted_;
  TlzhFileStatsEvent onAfterAdding_;
  TlzhFileStatsEvent onBeforeAdding_;
  TlzhFileStatsEvent onAfterExtracting_;
  TlzhFileStatsEvent onBeforeExtracting_;
  forms::TNotifyEvent onFullDisk_;
  TlzhFileStatsEvent onListing_;
  TlzhNewDiskEvent onNewDisk_;
  TlzhFileStatsEvent onReplace_;
  TlzhFileStatsEvent onStatus_;
  // Fixed block buffers, taken once: no allocation per block.
  std::vector<uint8_t> inBuffer_;
  std::vector<uint8_t> outBuffer_;
};

// The installer's one archive component for its main archive, made when
// the units start and freed when they end; nil outside. Install files use
// it for the install's own archive and private components for others.
TQndrCompress *SharedArchive();
void InitializeSharedArchive();
void FinalizeSharedArchive();

}  // namespace install

#endif
