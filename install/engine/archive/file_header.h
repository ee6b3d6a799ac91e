// The archive's bytes: the 5-byte head and the 176-byte member headers.
// A plain archive holds header, zlib data, header, data ...; a disk set
// holds the head and every header at the start of disk 1, then the data
// across the numbered disk files. Integers are little-endian; all stored
// positions count from the archive's first byte, which may stand at an
// offset inside a larger file.
#ifndef INSTALL_ARCHIVE_FILE_HEADER_H
#define INSTALL_ARCHIVE_FILE_HEADER_H

#include <array>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "archive/archive_stream.h"

namespace install {

constexpr int kHeadSize = 5;
constexpr int kHeaderSize = 176;
constexpr size_t kMaxSourcePath = 100;
constexpr size_t kMaxVersion = 20;

// The message of an archive whose head or headers don't hold together.
extern const char kCorruptArchive[];

class TFileHeader {
 public:
  using Bytes = std::array<uint8_t, kHeaderSize>;

  TFileHeader() { bytes_.fill(0); }
  explicit TFileHeader(const Bytes &bytes) : bytes_(bytes) {}

  const Bytes &bytes() const { return bytes_; }

  // Read from the archive rather than added by the running compress.
  bool FromArchive = false;

  int32_t FileNumber() const { return Int(0); }
  void SetFileNumber(int32_t v) { SetInt(0, v); }
  double FileDate() const;
  void SetFileDate(double v);
  uint8_t LastDisk() const { return bytes_[16]; }
  void SetLastDisk(uint8_t v) { bytes_[16] = v; }
  int32_t LastDataByte() const { return Int(20); }
  void SetLastDataByte(int32_t v) { SetInt(20, v); }
  std::string SourcePath() const { return Short(24, kMaxSourcePath); }
  void SetSourcePath(const std::string &v) { SetShort(24, kMaxSourcePath, v); }
  int32_t NextHeaderPos() const { return Int(128); }
  void SetNextHeaderPos(int32_t v) { SetInt(128, v); }
  int32_t FileSize() const { return Int(132); }
  void SetFileSize(int32_t v) { SetInt(132, v); }
  int32_t DataStart() const { return Int(136); }
  void SetDataStart(int32_t v) { SetInt(136, v); }
  int32_t CompressedSize() const { return Int(140); }
  void SetCompressedSize(int32_t v) { SetInt(140, v); }
  uint8_t FirstDisk() const { return bytes_[144]; }
  void SetFirstDisk(uint8_t v) { bytes_[144] = v; }
  int32_t FileID() const { return Int(148); }
  void SetFileID(int32_t v) { SetInt(148, v); }
  std::string Version() const { return Short(152, kMaxVersion); }
  void SetVersion(const std::string &v) { SetShort(152, kMaxVersion, v); }

  // Whether the string length bytes fit their fields.
  bool StringsFit() const;

 private:
  int32_t Int(int at) const;
  void SetInt(int at, int32_t v);
  std::string Short(int at, size_t capacity) const;  // cut to the field
  void SetShort(int at, size_t capacity, const std::string &v);  // cut to the field

  Bytes bytes_;
};

// The progress record handed to every event of the archive component.
struct TlzhFileStats {
  uint8_t FilePercent = 0;
  int32_t FileBytesDone = 0;
  std::string FileName;
  int32_t CompressedSize = 0;
  uint8_t CompressionRatio = 0;
  int32_t FileSize = 0;
  TFileHeader::Bytes Header{};
  bool Finished = false;
  uint8_t TotalPercent = 0;
  int32_t TotalBytesDone = 0;
  int32_t TotalCompressedSize = 0;
  uint8_t TotalCompressionRatio = 0;
  int32_t TotalSize = 0;
};

// Writes one header at the stream's position; a short write raises the
// header-write error.
void WriteHeader(ArchiveStream &stream, const TFileHeader &header);

// part * 100 / whole, rounded; 0 when whole is 0; 255 at most, the field's
// limit (a stored file can grow when compressed).
uint8_t Percent(int64_t part, int64_t whole);

// The headers of one archive, owned, with the archive's layout flag.
class TFileHeaders {
 public:
  uint8_t Spanned = 0;

  int Count() const { return static_cast<int>(headers_.size()); }
  TFileHeader &Get(int index);  // raises for an index out of range
  void Add(const TFileHeader &header);  // raises for a blank source path
  void Clear();
  // The first member of that name, ignoring case; -1 when missing.
  int IndexOfName(const std::string &name) const;
  // Headers for the files of `lines` (each a path, optionally followed by
  // ";" and more text), read from the files themselves.
  void AddFromList(const std::vector<std::string> &lines);
  TlzhFileStats Totals() const;
  TlzhFileStats MemberStats(int index);

  // Reads the head and the headers of the archive at `offset`. A head that
  // can't be read raises the header-count error; a short or inconsistent
  // header raises the corrupt-archive error.
  void LoadFromStream(ArchiveStream &stream, int64_t offset);
  // Writes the head at the stream's start, and in a disk set every header
  // after it, chained one after another.
  void SaveToStream(ArchiveStream &stream);

 private:
  std::vector<TFileHeader> headers_;
  // Member index by case-folded name, filled up to nameIndexed_ headers as
  // names are looked up: an install extracts members one by one by name.
  mutable std::unordered_map<std::string, int> byName_;
  mutable int nameIndexed_ = 0;
};

}  // namespace install

#endif
