#include "archive/file_header.h"

#include <bit>
#include <cmath>
#include <cstring>

#include "archive/day_date.h"
#include "archive/version_resource.h"
#include "core/exceptions.h"
#include "core/support.h"
#include "os.h"

namespace install {

namespace {

const char kCannotWrite[] = "Could not write the file headers for the compressed file";

void PutLE(uint8_t *at, uint64_t value, int width) {
  for (int i = 0; i < width; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint64_t GetLE(const uint8_t *at, int width) {
  uint64_t value = 0;
  for (int i = 0; i < width; ++i) value |= static_cast<uint64_t>(at[i]) << (8 * i);
  return value;
}

// Where the member's data may lie, by the layout: a plain archive holds it
// behind the header inside the archive; a disk set names its disks.
bool DataPlaceFits(const TFileHeader &h, int64_t headerPos, int64_t archiveLength, bool spanned) {
  if (h.DataStart() < 0 || h.LastDataByte() < -1) return false;
  if (!spanned) {
    return h.FirstDisk() == 0 && h.LastDisk() == 0 && h.DataStart() >= headerPos + kHeaderSize &&
           h.LastDataByte() >= h.DataStart() - 1 && h.LastDataByte() < archiveLength;
  }
  if (h.FirstDisk() < 1 || h.LastDisk() < h.FirstDisk()) return false;
  return h.LastDisk() > h.FirstDisk() || h.LastDataByte() >= h.DataStart() - 1;
}

bool HeaderFits(const TFileHeader &h, int64_t headerPos, int64_t archiveLength, bool spanned) {
  return h.StringsFit() && day_date::InRange(h.FileDate()) && h.FileSize() >= 0 &&
         h.CompressedSize() >= 0 &&
         h.NextHeaderPos() >= headerPos + kHeaderSize && h.NextHeaderPos() <= archiveLength &&
         DataPlaceFits(h, headerPos, archiveLength, spanned);
}

}  // namespace

const char kCorruptArchive[] =
    "Could not read the file headers for the compressed file. The Archive file could possible "
    "be corrupt";

int32_t TFileHeader::Int(int at) const {
  return static_cast<int32_t>(static_cast<uint32_t>(GetLE(&bytes_[at], 4)));
}

void TFileHeader::SetInt(int at, int32_t v) { PutLE(&bytes_[at], static_cast<uint32_t>(v), 4); }

double TFileHeader::FileDate() const { return std::bit_cast<double>(GetLE(&bytes_[8], 8)); }

void TFileHeader::SetFileDate(double v) { PutLE(&bytes_[8], std::bit_cast<uint64_t>(v), 8); }

std::string TFileHeader::Short(int at, size_t capacity) const {
  size_t length = bytes_[at] < capacity ? bytes_[at] : capacity;
  return std::string(reinterpret_cast<const char *>(&bytes_[at + 1]), length);
}

void TFileHeader::SetShort(int at, size_t capacity, const std::string &v) {
  size_t length = v.size() < capacity ? v.size() : capacity;
  std::memset(&bytes_[at], 0, capacity + 1);
  bytes_[at] = static_cast<uint8_t>(length);
  std::memcpy(&bytes_[at + 1], v.data(), length);
}

bool TFileHeader::StringsFit() const {
  return bytes_[24] <= kMaxSourcePath && bytes_[152] <= kMaxVersion;
}

void WriteHeader(ArchiveStream &stream, const TFileHeader &header) {
  if (stream.Write(header.bytes().data(), kHeaderSize) != kHeaderSize)
    throw EQndrCompress(kCannotWrite);
}

uint8_t Percent(int64_t part, int64_t whole) {
  if (whole == 0) return 0;
  double percent = std::round(static_cast<double>(part) * 100.0 / static_cast<double>(whole));
  if (percent <= 0) return 0;
  return percent >= 255 ? 255 : static_cast<uint8_t>(percent);
}

TFileHeader &TFileHeaders::Get(int index) {
  if (index < 0 || index >= Count())
    throw EQndrCompress(
        forms::Format("%d is an invalid TFileHeader index in TFileHeaders.GetFileHeaders", {static_cast<int64_t>(index)}));
  return headers_[index];
}

void TFileHeaders::Add(const TFileHeader &header) {
  if (forms::Trim(header.SourcePath()).empty())
    throw EQndrCompress("Tried to add an invalid file header");
  headers_.push_back(header);
}

void TFileHeaders::Clear() {
  headers_.clear();
  byName_.clear();
  nameIndexed_ = 0;
}

int TFileHeaders::IndexOfName(const std::string &name) const {
  for (; nameIndexed_ < Count(); ++nameIndexed_)
    byName_.emplace(forms::UpperCase(headers_[nameIndexed_].SourcePath()), nameIndexed_);
  auto found = byName_.find(forms::UpperCase(name));
  return found == byName_.end() ? -1 : found->second;
}

void TFileHeaders::AddFromList(const std::vector<std::string> &lines) {
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string path = lines[i].substr(0, lines[i].find(';'));
    TFileHeader header;
    header.SetSourcePath(path);
    double date = 0;
    os::FileInfo info;
    if (!day_date::ReadFileDate(path, &date) || !os::FileQuery(path.c_str(), &info))
      throw EQndrCompress(forms::Format("Cannot open the file %s", {path}));
    if (info.size > INT32_MAX)
      throw EQndrCompress(forms::Format("The file %s is too large for the archive", {path}));
    header.SetFileDate(date);
    header.SetFileSize(static_cast<int32_t>(info.size));
    TVersionResource &versions = SharedVersionResource();
    versions.SetFileName(path);
    header.SetVersion(versions.VersionInfo().FileVersion);
    header.SetFileNumber(static_cast<int32_t>(i + 1));
    Add(header);
  }
}

TlzhFileStats TFileHeaders::Totals() const {
  TlzhFileStats stats;
  int64_t size = 0;
  int64_t compressed = 0;
  for (const TFileHeader &h : headers_) {
    size += h.FileSize();
    compressed += h.CompressedSize();
  }
  stats.TotalSize = static_cast<int32_t>(size);
  stats.TotalCompressedSize = static_cast<int32_t>(compressed);
  stats.TotalCompressionRatio = Percent(compressed, size);
  return stats;
}

TlzhFileStats TFileHeaders::MemberStats(int index) {
  const TFileHeader &h = Get(index);
  TlzhFileStats stats;
  stats.FileName = h.SourcePath();
  stats.FileSize = h.FileSize();
  stats.CompressedSize = h.CompressedSize();
  stats.CompressionRatio = Percent(h.CompressedSize(), h.FileSize());
  stats.Header = h.bytes();
  return stats;
}

void TFileHeaders::LoadFromStream(ArchiveStream &stream, int64_t offset) {
  Clear();
  int64_t archiveLength = stream.Size() - offset;
  uint8_t head[kHeadSize];
  if (offset < 0 || archiveLength < kHeadSize || !stream.Seek(offset) ||
      stream.Read(head, kHeadSize) != kHeadSize)
    throw EQndrCompress("Could not read the file header count for the compressed file");
  int64_t count = static_cast<int32_t>(static_cast<uint32_t>(GetLE(head, 4)));
  // Every header takes 176 bytes of the archive in either layout, so a
  // count the archive can't hold is refused before anything is read.
  if (count < 0 || kHeadSize + count * kHeaderSize > archiveLength || head[4] > 1)
    throw EQndrCompress(kCorruptArchive);
  Spanned = head[4];
  headers_.reserve(static_cast<size_t>(count));
  int64_t position = kHeadSize;
  for (int64_t i = 0; i < count; ++i) {
    TFileHeader::Bytes bytes;
    if (!stream.Seek(offset + position) || stream.Read(bytes.data(), kHeaderSize) != kHeaderSize)
      throw EQndrCompress(kCorruptArchive);
    TFileHeader header(bytes);
    if (!HeaderFits(header, position, archiveLength, Spanned == 1))
      throw EQndrCompress(kCorruptArchive);
    header.FromArchive = true;
    Add(header);
    position = header.NextHeaderPos();
  }
}

void TFileHeaders::SaveToStream(ArchiveStream &stream) {
  uint8_t head[kHeadSize];
  PutLE(head, static_cast<uint32_t>(Count()), 4);
  head[4] = Spanned;
  if (!stream.Seek(0) || stream.Write(head, kHeadSize) != kHeadSize)
    throw EQndrCompress(kCannotWrite);
  if (Spanned != 1) return;
  for (TFileHeader &h : headers_) {
    h.SetNextHeaderPos(static_cast<int32_t>(stream.Position() + kHeaderSize));
    WriteHeader(stream, h);
  }
}

}  // namespace install
