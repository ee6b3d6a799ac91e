#include "archive/qndr_compress.h"

#include <cerrno>
#include <cstdio>
#include <stdexcept>

#include "archive/day_date.h"
#include "core/exceptions.h"
#include "core/support.h"
#include "os.h"

namespace install {


namespace {

constexpr size_t kStreamBuffer = 65536;  // deflate output, inflate input
constexpr size_t kInflateBlock = 4096;   // inflate output per block
constexpr size_t kCopyChunk = 8192;      // copy and span chunks
constexpr int kMaxDisk = 255;            // disk numbers are stored in one byte
constexpr int kPartNames = 1000;         // names tried for a member's part file

std::function<void()> &MessagePump() {
  static std::function<void()> pump;
  return pump;
}

void ProcessMessages() {
  if (MessagePump()) MessagePump()();
}

// A negative answer of the zlib library.
[[noreturn]] void ZlibFailed() { throw Exception("error"); }

int DeflateLevel(TCompressionLevel level) {
  switch (level) {
    case colNone: return 0;
    case colFastest: return 1;
    case colDefault: return Z_DEFAULT_COMPRESSION;
    case colMax: break;
  }
  return 9;
}

// Paths are stored in a 100-character field: a longer one could never be
// found or extracted again, so it is refused before anything is written.
void CheckSourcePaths(const forms::TStringList &lines) {
  for (const std::string &line : lines.Lines()) {
    std::string path = line.substr(0, line.find(';'));
    if (path.size() > kMaxSourcePath)
      throw EQndrCompress(forms::Format(
          "The path %s is longer than the %d characters an archive keeps for a file name", {path, static_cast<int64_t>(kMaxSourcePath)}));
  }
}

// From the end to the start, as the lines after a deleted one move up.
void DeleteBlankLines(forms::TStringList &list) {
  for (int i = list.Count(); i-- > 0;)
    if (forms::Trim(list[i]).empty()) list.Delete(i);
}

// The extension of disk file n of a set: ".n".
std::string DiskExtension(int diskNumber) { return "." + forms::IntToStr(diskNumber); }

// One zlib stream serves every member of an operation and is reset between
// them, so its state (some hundred KB for deflate) is taken once.
struct DeflateStream {
  z_stream z{};
  explicit DeflateStream(int level) {
    if (deflateInit(&z, level) != Z_OK) ZlibFailed();
  }
  ~DeflateStream() { deflateEnd(&z); }
};

struct InflateStream {
  z_stream z{};
  InflateStream() {
    if (inflateInit(&z) != Z_OK) ZlibFailed();
  }
  ~InflateStream() { inflateEnd(&z); }
};

EQndrCompress SizeMismatch(const TFileHeader &header) {
  return EQndrCompress(forms::Format(
      "The decompressed file's size does not match with the actual size of the file.  The file "
      "is %s", {header.SourcePath()}));
}

EQndrCompress CannotCreate(const std::string &path) {
  return EQndrCompress(forms::Format("Cannot create the file %s", {path}));
}

// A member on its way to its target: a new file beside the target, under a
// name that no file has (it is created only where none exists), that takes
// the target's place once the member came out whole. Until then the target
// stays as it was; a part file that is not put in place is removed.
class PartFile {
 public:
  explicit PartFile(const std::string &target) : target_(target) {
    for (int n = 1; n <= kPartNames; ++n) {
      path_ = target + ".~" + forms::IntToStr(n);
      if (stream.Open(path_, ArchiveStream::Mode::kCreateNew)) return;
      if (errno != EEXIST) break;
    }
    throw CannotCreate(target);
  }
  PartFile(const PartFile &) = delete;
  PartFile &operator=(const PartFile &) = delete;
  ~PartFile() {
    if (placed_) return;
    stream.Close();
    std::remove(path_.c_str());
  }

  const std::string &Path() const { return path_; }
  void PutInPlace() {
    stream.Close();
    if (!os::FileReplace(path_.c_str(), target_.c_str())) throw CannotCreate(target_);
    placed_ = true;
  }

  ArchiveStream stream;

 private:
  std::string target_;
  std::string path_;
  bool placed_ = false;
};

}  // namespace

struct TQndrCompress::SpanTarget {
  ArchiveStream disk;
  std::string dir;   // where the disks go; OnNewDisk may change it
  std::string name;  // file name of disk 1
  std::string path;  // the disk being written
};

TQndrCompress::TQndrCompress() : inBuffer_(kStreamBuffer), outBuffer_(kStreamBuffer) {
  fileIDTable_.fill(-1);
}

const std::vector<std::string> kCompressionLevelNames = {"colNone", "colFastest", "colDefault",
                                                          "colMax"};

const forms::ClassInfo &TQndrCompress::StaticClass() {
  using namespace forms;
  using C = TQndrCompress;
  using StatsSignature = void(TQndrCompress *, const TlzhFileStats &);
  static const ClassInfo info{
      "TQndrCompress",
      &TComponent::StaticClass(),
      [](TComponent *owner) -> TComponent * { return New<TQndrCompress>(owner); },
      {BoolProp<C>("Abort", &C::Abort, &C::SetAbort),
       StringProp<C>("CompressedFile", &C::CompressedFile, &C::SetCompressedFile),
       EnumProp<C, TCompressionLevel>("CompressionLevel", kCompressionLevelNames,
                                      &C::CompressionLevel, &C::SetCompressionLevel, colMax),
       StringProp<C>("ExtractDirectory", &C::ExtractDirectory, &C::SetExtractDirectory),
       StringsProp<C, TStringList>("FilesToProcess", &C::FilesToProcess, &C::SetFilesToProcess),
       IntProp<C>("Offset", &C::Offset, &C::SetOffset, 0),
       EnumProp<C, TOverwriteType>("Overwrite", kOverwriteTypeNames, &C::Overwrite,
                                   &C::SetOverwrite, owAlways),
       EventProp<C, void(TComponent *)>("OnAborted", &C::SetOnAborted),
       EventProp<C, StatsSignature>("OnAfterAdding", &C::SetOnAfterAdding),
       EventProp<C, StatsSignature>("OnBeforeAdding", &C::SetOnBeforeAdding),
       EventProp<C, StatsSignature>("OnAfterExtracting", &C::SetOnAfterExtracting),
       EventProp<C, StatsSignature>("OnBeforeExtracting", &C::SetOnBeforeExtracting),
       EventProp<C, void(TComponent *)>("OnFullDisk", &C::SetOnFullDisk),
       EventProp<C, StatsSignature>("OnListing", &C::SetOnListing),
       EventProp<C, void(TQndrCompress *, int32_t, std::string &)>("OnNewDisk", &C::SetOnNewDisk),
       EventProp<C, StatsSignature>("OnReplace", &C::SetOnReplace),
       EventProp<C, StatsSignature>("OnStatus", &C::SetOnStatus)}};
  return info;
}

void TQndrCompress::SetMessagePump(std::function<void()> pump) { MessagePump() = std::move(pump); }

namespace {
TQndrCompress *g_sharedArchive = nullptr;
}  // namespace

TQndrCompress *SharedArchive() { return g_sharedArchive; }

void InitializeSharedArchive() {
  if (!g_sharedArchive) g_sharedArchive = forms::New<TQndrCompress>(nullptr);
}

void FinalizeSharedArchive() {
  forms::Free(g_sharedArchive);
  g_sharedArchive = nullptr;
}

void TQndrCompress::SetCompressedFile(const std::string &value) {
  if (forms::SameText(value, compressedFile_)) return;
  // Another disk of the same set keeps the headers read from disk 1.
  if (headersLoaded_)
    headersLoaded_ = forms::SameText(ChangeFileExt(value, ".1"),
                                             ChangeFileExt(compressedFile_, ".1"));
  compressedFile_ = value;
}

void TQndrCompress::SetFilesToProcess(forms::TStringList &list) {
  DeleteBlankLines(list);
  filesToProcess_ = list;
}

void TQndrCompress::SetFilesToProcess(const forms::TStringList &list) {
  filesToProcess_ = list;
  DeleteBlankLines(filesToProcess_);
}

void TQndrCompress::DoFullDisk() {
  if (!onFullDisk_) throw EqcDiskFull();
  forms::Fire(onFullDisk_, this);
}

void TQndrCompress::CheckAbort() const {
  if (Abort()) throw EqcAborted();
}

void TQndrCompress::BeginOperation() {
  failed_ = false;
  CheckAbort();
}

void TQndrCompress::LoadHeadersIfNeeded() {
  if (!headersLoaded_ && operation_ != Operation::kCompress) ReadHeaders();
}

int TQndrCompress::Count() {
  LoadHeadersIfNeeded();
  return headers_.Count();
}

TlzhFileStats TQndrCompress::GetFileStats(int index) {
  if (index < 0 || index >= Count())
    throw EQndrCompress(
        forms::Format("Tried to access the %dth file. This file is not defined", {static_cast<int64_t>(index)}));
  TlzhFileStats stats = headers_.MemberStats(index);
  TlzhFileStats totals = headers_.Totals();
  stats.TotalSize = totals.TotalSize;
  stats.TotalCompressedSize = totals.TotalCompressedSize;
  stats.TotalCompressionRatio = totals.TotalCompressionRatio;
  return stats;
}

int TQndrCompress::IndexOfFileID(int id) {
  LoadHeadersIfNeeded();
  return id >= 0 && id < kFileIDs ? fileIDTable_[id] : -1;
}

void TQndrCompress::ReadHeaders() {
  headersLoaded_ = false;
  fileIDTable_.fill(-1);
  ArchiveStream archive;
  if (!FileExists(compressedFile_) || !archive.Open(compressedFile_, ArchiveStream::Mode::kRead))
    throw EQndrCompress(forms::Format("Cannot open the compressed file %s", {compressedFile_}));
  try {
    headers_.LoadFromStream(archive, offset_);
  } catch (...) {
    headers_.Clear();
    throw EQndrCompress(kCorruptArchive);
  }
  for (int i = 0; i < headers_.Count(); ++i) {
    int32_t id = headers_.Get(i).FileID();
    if (id >= 0 && id < kFileIDs) fileIDTable_[id] = i;
  }
  headersLoaded_ = true;
}

// The member's statistics replace the previous member's; totals stay.
void TQndrCompress::BeginMember(int index) {
  TlzhFileStats member = headers_.MemberStats(index);
  stats_.FileName = member.FileName;
  stats_.FileSize = member.FileSize;
  stats_.CompressedSize = member.CompressedSize;
  stats_.CompressionRatio = member.CompressionRatio;
  stats_.Header = member.Header;
  stats_.FileBytesDone = 0;
  stats_.FilePercent = 0;
  stats_.Finished = false;
}

// Shared ending of Compress, Extract and SpanToDisks: a cancel ends the
// operation after OnAborted, and goes on to the caller as EqcAborted; an
// EAbort goes on to it as it is (and counts as a failure while spanning);
// any other failure marks the component failed and goes on to the caller.
template <typename Body>
void TQndrCompress::RunOperation(Operation operation, Body body) {
  struct Ending {
    TQndrCompress &self;
    Operation operation;
    ~Ending() {
      self.operation_ = Operation::kNone;
      if (operation == Operation::kSpan) return;
      self.filesToProcess_.Clear();
      if (operation == Operation::kExtract) self.targetName_.clear();
    }
  } ending{*this, operation};
  operation_ = operation;
  try {
    BeginOperation();  // a cancel that came before the operation: nothing is touched
    body();
  } catch (const EqcAborted &) {
    forms::Fire(onAborted_, this);
    throw;
  } catch (const EAbort &) {
    if (operation == Operation::kSpan) failed_ = true;
    throw;
  } catch (...) {
    failed_ = true;
    throw;
  }
}

// ---- Compress ----

void TQndrCompress::Compress(TlzhCommand command, int32_t fileID) {
  RunOperation(Operation::kCompress, [&] { CompressFiles(command, fileID); });
}

void TQndrCompress::CompressFiles(TlzhCommand command, int32_t fileID) {
  headersLoaded_ = false;
  headers_.Spanned = 0;
  offset_ = 0;
  CheckSourcePaths(filesToProcess_);
  ForceDirectories(ExtractFileDir(compressedFile_));
  std::string cannotCreate = forms::Format("Cannot create the file %s", {compressedFile_});
  ArchiveStream archive;
  bool append = command == lzcOnlyAdd && FileExists(compressedFile_);
  if (append) {
    if (!archive.Open(compressedFile_, ArchiveStream::Mode::kReadWrite))
      throw EQndrCompress(cannotCreate);
    headers_.LoadFromStream(archive, 0);
  } else {
    headers_.Clear();
  }
  // Every source is looked at before an existing archive is replaced.
  headers_.AddFromList(filesToProcess_.Lines());
  if (!append && !archive.Open(compressedFile_, ArchiveStream::Mode::kCreate))
    throw EQndrCompress(cannotCreate);
  headers_.SaveToStream(archive);
  archive.SeekEnd();
  stats_ = headers_.Totals();
  stats_.TotalCompressedSize = 0;
  DeflateStream deflater(DeflateLevel(compressionLevel_));
  for (int i = 0; i < headers_.Count(); ++i)
    if (!headers_.Get(i).FromArchive) AddMember(archive, deflater.z, i, fileID);
}

void TQndrCompress::AddMember(ArchiveStream &archive, z_stream &deflater, int index,
                              int32_t fileID) {
  CheckAbort();
  TFileHeader &header = headers_.Get(index);
  std::string path = header.SourcePath();
  ArchiveStream source;
  if (!source.Open(path, ArchiveStream::Mode::kRead))
    throw EQndrCompress(forms::Format("Cannot open the file %s", {path}));
  int64_t headerPos = archive.Position();
  WriteHeader(archive, header);
  header.SetDataStart(static_cast<int32_t>(archive.Position()));
  BeginMember(index);
  stats_.CompressedSize = 0;
  FireStats(onBeforeAdding_);
  DeflateMember(source, archive, deflater, header.FileSize());
  int64_t end = archive.Position();
  if (end > INT32_MAX)
    throw EQndrCompress(
        forms::Format("The compressed file %s would grow past the 2 GB an archive can hold", {compressedFile_}));
  stats_.TotalCompressedSize += static_cast<int32_t>(end - headerPos);
  header.SetLastDataByte(static_cast<int32_t>(end - 1));
  header.SetNextHeaderPos(static_cast<int32_t>(end));
  header.SetCompressedSize(static_cast<int32_t>(end - header.DataStart()));
  header.SetFileID(fileID);
  if (fileID >= 0 && fileID < kFileIDs) fileIDTable_[fileID] = index;
  archive.Seek(headerPos);
  WriteHeader(archive, header);
  archive.Seek(end);
  stats_.Header = header.bytes();
  FireStats(onAfterAdding_);
}

void TQndrCompress::DeflateMember(ArchiveStream &source, ArchiveStream &archive,
                                  z_stream &deflater, int32_t fileSize) {
  if (deflateReset(&deflater) != Z_OK) ZlibFailed();
  deflater.avail_in = 0;
  int64_t bytesRead = 0, bytesWritten = 0;
  int flush = Z_NO_FLUSH;
  int result;
  do {
    if (deflater.avail_in == 0 && flush == Z_NO_FLUSH) {
      size_t got = source.Read(inBuffer_.data(), kStreamBuffer);
      bytesRead += static_cast<int64_t>(got);
      deflater.next_in = inBuffer_.data();
      deflater.avail_in = static_cast<uInt>(got);
      if (got < kStreamBuffer) flush = Z_FINISH;
    }
    deflater.next_out = outBuffer_.data();
    deflater.avail_out = kStreamBuffer;
    result = deflate(&deflater, flush);
    if (result < 0 && result != Z_BUF_ERROR) ZlibFailed();
    size_t produced = kStreamBuffer - deflater.avail_out;
    if (archive.Write(outBuffer_.data(), produced) != produced) throw EqcDiskFull();
    bytesWritten += static_cast<int64_t>(produced);
    if (deflater.avail_out == 0) CompressProgress(bytesRead, bytesWritten);
  } while (result != Z_STREAM_END);
  stats_.CompressionRatio = Percent(bytesWritten, fileSize);
  stats_.Finished = true;
  CompressProgress(bytesRead, bytesWritten);
  stats_.Finished = false;
}

void TQndrCompress::CompressProgress(int64_t bytesRead, int64_t bytesWritten) {
  CheckAbort();
  ProcessMessages();
  stats_.TotalBytesDone += static_cast<int32_t>(bytesRead - stats_.FileBytesDone);
  stats_.FileBytesDone = static_cast<int32_t>(bytesRead);
  stats_.CompressedSize = static_cast<int32_t>(bytesWritten);
  stats_.FilePercent = Percent(stats_.FileBytesDone, stats_.FileSize);
  stats_.TotalPercent = Percent(stats_.TotalBytesDone, stats_.TotalSize);
  FireStats(onStatus_);
}

// ---- List and Extract ----

void TQndrCompress::List() {
  LoadHeadersIfNeeded();
  stats_ = headers_.Totals();
  for (int i = 0; i < headers_.Count(); ++i) {
    BeginMember(i);
    FireStats(onListing_);
  }
}

void TQndrCompress::Extract() {
  RunOperation(Operation::kExtract, [&] { ExtractFiles(); });
}

void TQndrCompress::ExtractFiles() {
  LoadHeadersIfNeeded();
  currentDisk_ = 0;
  stats_ = headers_.Totals();
  ArchiveStream source;  // the archive or disk file read last
  InflateStream inflater;
  for (const std::string &line : filesToProcess_.Lines()) {
    int index = headers_.IndexOfName(line.substr(0, line.find(';')));
    if (index < 0)
      throw EQndrCompress(forms::Format("The file <%s> was not found in the archive <%s>", {line, compressedFile_}));
    CheckAbort();
    const TFileHeader header = headers_.Get(index);
    BeginMember(index);
    if (forms::Trim(targetName_).empty()) targetName_ = ExtractFileName(header.SourcePath());
    FireStats(onBeforeExtracting_);
    targetName_ = ExtractFileName(targetName_);
    std::string target = AddTrailingPathDelimiter(extractDirectory_) + targetName_;
    bool write = true;
    if (FileExists(target)) {
      TDecision decision =
          IsFileNewerByVersionAndDate(header.Version(), target, overwrite_, header.FileDate());
      if (decision == TDecision::Error)
        throw EQndrCompress("Error comparing file versions in TQndrCompress");
      write = decision != TDecision::Same && decision != TDecision::Keep;
      if (write && onReplace_) {
        FireStats(onReplace_);
        target = AddTrailingPathDelimiter(extractDirectory_) + ExtractFileName(targetName_);
      }
    }
    if (write) {
      ExtractMember(source, inflater.z, header, target);
    } else {
      stats_.Finished = true;
      FireStats(onStatus_);
    }
    targetName_.clear();
  }
}

void TQndrCompress::ExtractMember(ArchiveStream &source, z_stream &inflater,
                                  const TFileHeader &header, const std::string &target) {
  // A plain archive counts as disk 1. The file still open from the member
  // before serves again when it is the disk this member starts on.
  int firstDisk = header.FirstDisk() ? header.FirstDisk() : 1;
  if (!source.IsOpen() || (currentDisk_ ? currentDisk_ : 1) != firstDisk)
    OpenDisk(source, firstDisk, ArchiveStream::Mode::kRead, compressedFile_);
  currentDisk_ = header.FirstDisk();
  ForceDirectories(ExtractFileDir(target));
  // A damaged member, a full disk or a cancel must not cost the file that
  // is there already, nor leave part of the member behind.
  PartFile part(target);
  source.Seek(offset_ + header.DataStart());
  int64_t written = InflateMember(source, part.stream, inflater, header);
  stats_.Finished = true;
  FireStats(onStatus_);
  if (written != header.FileSize()) throw SizeMismatch(header);
  part.stream.Close();
  if (!day_date::WriteFileDate(part.Path(), header.FileDate()))
    throw EQndrCompress("Cannot set the date of the file just extracted.");
  part.PutInPlace();
}

// The member is inflated in 4 KB blocks: after each one a cancel is seen,
// the message pump runs and progress is reported. The blocks gather in the
// 64 KB output buffer and go to the target together, in few system writes.
int64_t TQndrCompress::InflateMember(ArchiveStream &source, ArchiveStream &target,
                                     z_stream &inflater, const TFileHeader &header) {
  if (inflateReset(&inflater) != Z_OK) ZlibFailed();
  inflater.avail_in = 0;  // what the member before left unread is not this one's
  int64_t written = 0, inflated = 0;
  size_t pending = 0;
  auto writePending = [&] {
    size_t taken = target.Write(outBuffer_.data(), pending);
    // The bytes a full disk did not take are not written again: the size
    // check of the member then fails.
    if (taken < pending) DoFullDisk();
    written += static_cast<int64_t>(taken);
    pending = 0;
  };
  bool streamEnded = false;
  for (;;) {
    if (pending + kInflateBlock > kStreamBuffer) writePending();
    size_t block =
        InflateBlock(inflater, source, header, outBuffer_.data() + pending, &streamEnded);
    CheckAbort();
    ProcessMessages();
    if (block > 0) {
      // A member never grows past its recorded size: a damaged stream
      // stops here instead of filling the disk.
      inflated += static_cast<int64_t>(block);
      if (inflated > header.FileSize()) throw SizeMismatch(header);
      pending += block;
      stats_.FileBytesDone += static_cast<int32_t>(block);
      stats_.TotalBytesDone += static_cast<int32_t>(block);
      stats_.FilePercent = Percent(stats_.FileBytesDone, stats_.FileSize);
      stats_.TotalPercent = Percent(stats_.TotalBytesDone, stats_.TotalSize);
    }
    FireStats(onStatus_);
    if (streamEnded) break;
    if (block > 0) continue;
    // An empty block: this disk holds no more of the member.
    if (currentDisk_ >= header.LastDisk()) break;
    ++currentDisk_;
    OpenDisk(source, currentDisk_, ArchiveStream::Mode::kRead, compressedFile_);
  }
  writePending();
  return written;
}

size_t TQndrCompress::InflateBlock(z_stream &inflater, ArchiveStream &source,
                                   const TFileHeader &header, uint8_t *block, bool *streamEnded) {
  inflater.next_out = block;
  inflater.avail_out = kInflateBlock;
  while (inflater.avail_out > 0) {
    if (inflater.avail_in == 0) {
      int64_t want = kStreamBuffer;
      if (currentDisk_ == header.LastDisk()) {
        int64_t left = offset_ + int64_t{header.LastDataByte()} + 1 - source.Position();
        if (left < want) want = left > 0 ? left : 0;
      }
      size_t got = want > 0 ? source.Read(inBuffer_.data(), static_cast<size_t>(want)) : 0;
      if (got == 0) break;
      inflater.next_in = inBuffer_.data();
      inflater.avail_in = static_cast<uInt>(got);
    }
    int result = inflate(&inflater, Z_NO_FLUSH);
    if (result == Z_STREAM_END) {
      *streamEnded = true;
      break;
    }
    // Z_NEED_DICT too: no stream of ours has a preset dictionary.
    if (result != Z_OK) ZlibFailed();
  }
  return kInflateBlock - inflater.avail_out;
}

void TQndrCompress::OpenDisk(ArchiveStream &stream, int diskNumber, ArchiveStream::Mode mode,
                             std::string &path) {
  for (int attempt = 0; attempt < 4; ++attempt) {
    stream.Close();
    if (headers_.Spanned == 1) path = ChangeFileExt(path, DiskExtension(diskNumber));
    if (!FileExists(path)) {
      if (!onNewDisk_)
        throw EQndrCompress(forms::Format("Could not open the correct disk file %d", {static_cast<int64_t>(diskNumber)}));
      std::string dir = ExtractFileDir(path);
      forms::Fire(onNewDisk_, this, diskNumber, dir);
      path = AddTrailingPathDelimiter(dir) + ExtractFileName(path);
    }
    if (FileExists(path)) {
      if (!stream.Open(path, mode))
        throw EQndrCompress(forms::Format("Cannot open the compressed file %s", {path}));
      return;
    }
  }
  throw EQndrCompress(forms::Format("Cannot open the compressed file %s", {path}));
}

// ---- SpanToDisks ----

void TQndrCompress::SpanToDisks(const std::string &destDir, const std::string &fileName) {
  RunOperation(Operation::kSpan, [&] { SpanFiles(destDir, fileName); });
}

void TQndrCompress::SpanFiles(const std::string &destDir, const std::string &fileName) {
  LoadHeadersIfNeeded();
  // From here on the header list describes the disk set, not CompressedFile.
  headersLoaded_ = false;
  currentDisk_ = 1;
  headers_.Spanned = 1;
  stats_ = headers_.Totals();
  ArchiveStream archive;
  if (!archive.Open(compressedFile_, ArchiveStream::Mode::kRead))
    throw EQndrCompress(forms::Format("Cannot open the compressed file %s", {compressedFile_}));
  SpanTarget span;
  span.dir = destDir;
  span.name = ExtractFileName(fileName);
  span.path = AddTrailingPathDelimiter(destDir) + span.name;
  if (!span.disk.Open(span.path, ArchiveStream::Mode::kCreate))
    throw EQndrCompress(forms::Format("Cannot create the file %s", {span.path}));
  headers_.SaveToStream(span.disk);
  for (int i = 0; i < headers_.Count(); ++i) {
    TFileHeader &header = headers_.Get(i);
    BeginMember(i);
    int32_t plainLastByte = header.LastDataByte();
    archive.Seek(offset_ + header.DataStart());
    header.SetDataStart(static_cast<int32_t>(span.disk.Position()));
    header.SetFirstDisk(static_cast<uint8_t>(currentDisk_));
    while (CopySpanChunk(archive, span, plainLastByte) > 0) {
    }
    header.SetLastDataByte(static_cast<int32_t>(span.disk.Position() - 1));
    header.SetLastDisk(static_cast<uint8_t>(currentDisk_));
  }
  std::string firstDisk = span.path;
  OpenDisk(span.disk, 1, ArchiveStream::Mode::kReadWrite, firstDisk);
  headers_.SaveToStream(span.disk);
}

size_t TQndrCompress::CopySpanChunk(ArchiveStream &archive, SpanTarget &span,
                                    int32_t lastDataByte) {
  CheckAbort();
  int64_t end = offset_ + int64_t{lastDataByte};
  if (archive.Position() > end) return 0;
  int64_t left = end - archive.Position() + 1;
  size_t wanted = left < static_cast<int64_t>(kCopyChunk) ? static_cast<size_t>(left) : kCopyChunk;
  size_t n = archive.Read(inBuffer_.data(), wanted);
  if (n == 0) return 0;
  ProcessMessages();
  size_t taken = span.disk.Write(inBuffer_.data(), n);
  if (taken < n) {
    span.disk.Close();
    if (++currentDisk_ > kMaxDisk)
      throw EQndrCompress(forms::Format("A disk set can't span more than %d disks", {static_cast<int64_t>(kMaxDisk)}));
    if (!onNewDisk_)
      throw EQndrCompress(
          "There was no event handler for the OnNewDisk event, therefore no new disk could be "
          "inserted");
    forms::Fire(onNewDisk_, this, currentDisk_, span.dir);
    span.path = AddTrailingPathDelimiter(span.dir) +
                ChangeFileExt(span.name, DiskExtension(currentDisk_));
    if (!span.disk.Open(span.path, ArchiveStream::Mode::kCreate))
      throw EQndrCompress(forms::Format("Cannot create the file %s", {span.path}));
    if (span.disk.Write(inBuffer_.data() + taken, n - taken) != n - taken)
      throw EQndrCompress("There is too little space on this disk to operate");
  }
  stats_.FileBytesDone += static_cast<int32_t>(n);
  stats_.TotalBytesDone += static_cast<int32_t>(n);
  stats_.FilePercent = Percent(stats_.FileBytesDone, stats_.CompressedSize);
  stats_.TotalPercent = Percent(stats_.TotalBytesDone, stats_.TotalCompressedSize);
  FireStats(onStatus_);
  return n;
}

// ---- CopyFileChecked ----

void TQndrCompress::CopyFileChecked(const std::string &source, const std::string &dest) {
  failed_ = false;
  offset_ = 0;
  extractDirectory_ = ExtractFileDir(dest);
  targetName_ = ExtractFileName(dest);
  TlzhFileStats copy;
  std::string target = dest;
  if (FileExists(dest)) {
    TDecision decision = TVersionResource::IsFileNewerByName(source, dest, overwrite_);
    if (decision == TDecision::Error)
      throw EQndrCompress("Error comparing file versions in TQndrCompress");
    if (decision == TDecision::Same || decision == TDecision::Keep) return;
    if (onReplace_) {
      forms::Fire(onReplace_, this, copy);
      target = AddTrailingPathDelimiter(extractDirectory_) + ExtractFileName(targetName_);
    }
  }
  CheckAbort();
  os::FileInfo sourceInfo{};
  ArchiveStream in, out;
  if (!os::FileQuery(source.c_str(), &sourceInfo) || !in.Open(source, ArchiveStream::Mode::kRead))
    throw EQndrCompress(forms::Format("Cannot open the file %s", {source}));
  if (!out.Open(target, ArchiveStream::Mode::kCreate))
    throw EQndrCompress(forms::Format("Cannot create the file %s", {target}));
  copy.FileName = source;
  copy.FileSize = static_cast<int32_t>(sourceInfo.size);
  for (;;) {
    if (Abort()) {
      // A cut copy must not pass for the file: it goes, and the caller
      // learns that the copy was cancelled.
      out.Close();
      std::remove(target.c_str());
      throw EqcAborted();
    }
    size_t n = in.Read(inBuffer_.data(), kCopyChunk);
    if (out.Write(inBuffer_.data(), n) < n) DoFullDisk();
    copy.FileBytesDone += static_cast<int32_t>(n);
    copy.TotalBytesDone += static_cast<int32_t>(n);
    copy.FilePercent = copy.TotalPercent = Percent(copy.FileBytesDone, copy.FileSize);
    forms::Fire(onStatus_, this, copy);
    ProcessMessages();
    if (n < kCopyChunk) break;
  }
  out.Close();
  os::FileSetWriteTime(target.c_str(), sourceInfo.modified);
  copy.Finished = true;
  forms::Fire(onStatus_, this, copy);
}

}  // namespace install
