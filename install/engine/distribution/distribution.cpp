#include "distribution/distribution.h"

#include <cstring>
#include <memory>

#include "core/exceptions.h"
#include "core/support.h"
#include "distribution/sha1.h"

namespace install {

using forms::Format;

namespace {

constexpr size_t kChecksumLength = 40;
// The header starts this far before the end of a file with the trailer.
constexpr long kHeaderFromEnd = TSelfExtractHeader::kSize + kChecksumLength;
constexpr size_t kChecksumChunk = 4096;
constexpr size_t kCopyBlock = 8192;

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

File Open(const std::string& path, const char* mode) { return File(std::fopen(path.c_str(), mode)); }

// The size of an open file; its position is left at the end.
int64_t SizeOf(std::FILE* file) {
  if (std::fseek(file, 0, SEEK_END) != 0) return -1;
  return std::ftell(file);
}

void PutInt32(std::string& bytes, size_t offset, int32_t value) {
  auto v = static_cast<uint32_t>(value);
  for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

int32_t GetInt32(const std::string& bytes, size_t offset) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[offset + i])) << (8 * i);
  return static_cast<int32_t>(v);
}

// A zero-terminated text inside a fixed field.
std::string FieldText(const std::string& bytes, size_t offset, size_t length) {
  return std::string(bytes.data() + offset, strnlen(bytes.data() + offset, length));
}

bool TerminatedField(const std::string& bytes, size_t offset, size_t length) {
  return strnlen(bytes.data() + offset, length) < length;
}

// The fields of a net file list record.
constexpr size_t kRecordSize = 0;
constexpr size_t kRecordDate = 8;
constexpr size_t kRecordName = 16;
constexpr size_t kRecordVersion = 56;

// Appends the whole file at source to target; the bytes copied.
int64_t AppendFile(std::FILE* target, const std::string& source) {
  File in = Open(source, "rb");
  if (!in) return 0;
  char block[kCopyBlock];
  int64_t copied = 0;
  size_t got;
  while ((got = std::fread(block, 1, sizeof block, in.get())) > 0) {
    size_t put = std::fwrite(block, 1, got, target);
    copied += static_cast<int64_t>(put);
    if (put != got) break;
  }
  return copied;
}

int64_t FileSizeOf(const std::string& path) {
  File file = Open(path, "rb");
  return file ? SizeOf(file.get()) : -1;
}

// setup_exe's end as it is now, then part appended behind it; first and
// last become the offsets of its first and last byte.
void AppendPart(std::FILE* exe, const std::string& setup_exe, const std::string& part, int32_t& first,
                int32_t& last) {
  first = static_cast<int32_t>(SizeOf(exe));
  int64_t copied = AppendFile(exe, part);
  if (copied != FileSizeOf(part) || std::fflush(exe) != 0)
    throw IEInstall("Cannot create the self-extracting exe because %s could not be loaded onto %s",
                    {part, setup_exe});
  last = static_cast<int32_t>(SizeOf(exe)) - 1;
}

void AppendHeader(const std::string& setup_exe, std::FILE* exe, const TSelfExtractHeader& header) {
  std::string bytes = EncodeSelfExtractHeader(header);
  if (std::fseek(exe, 0, SEEK_END) != 0 || std::fwrite(bytes.data(), 1, bytes.size(), exe) != bytes.size() ||
      std::fflush(exe) != 0)
    throw IEInstall("Cannot add the self-extract info header to %s", {setup_exe});
}

File OpenForAppending(const std::string& setup_exe) {
  File exe = Open(setup_exe, "r+b");
  if (!exe) throw IEInstall("Cannot add the self-extract info header to %s", {setup_exe});
  return exe;
}

[[noreturn]] void MissingFile(const std::string& path) {
  throw forms::Exception(Format("Can't find file \"%s\"!", {path}));
}

}  // namespace

std::string EncodeSelfExtractHeader(const TSelfExtractHeader& header) {
  std::string bytes(TSelfExtractHeader::kSize, '\0');
  std::string marker = header.marker.substr(0, 14);
  bytes[0] = static_cast<char>(marker.size());
  marker.copy(&bytes[1], marker.size());
  PutInt32(bytes, 16, header.setup1_first);
  PutInt32(bytes, 20, header.setup1_last);
  PutInt32(bytes, 24, header.files1_first);
  PutInt32(bytes, 28, header.files1_last);
  return bytes;
}

TSelfExtractHeader DecodeSelfExtractHeader(const std::string& bytes) {
  TSelfExtractHeader header;
  size_t marker_length = static_cast<uint8_t>(bytes[0]);
  header.marker = bytes.substr(1, marker_length < 14 ? marker_length : 14);
  header.setup1_first = GetInt32(bytes, 16);
  header.setup1_last = GetInt32(bytes, 20);
  header.files1_first = GetInt32(bytes, 24);
  header.files1_last = GetInt32(bytes, 28);
  return header;
}

void WriteSelfExtractHeader(const std::string& setup_exe, const std::string& setup1, const std::string& files1) {
  TSelfExtractHeader header;
  header.marker = "SELFEXTRACTING";
  File exe = OpenForAppending(setup_exe);
  AppendPart(exe.get(), setup_exe, setup1, header.setup1_first, header.setup1_last);
  if (FileExists(files1)) AppendPart(exe.get(), setup_exe, files1, header.files1_first, header.files1_last);
  AppendHeader(setup_exe, exe.get(), header);
}

void WriteNotSelfExtractHeader(const std::string& setup_exe) {
  TSelfExtractHeader header;
  header.marker = "NOTSELFEXTRACT";
  File exe = OpenForAppending(setup_exe);
  AppendHeader(setup_exe, exe.get(), header);
}

TSelfExtractHeader ReadSelfExtractHeader(const std::string& path) {
  const char* message =
      "Could not read the extraction info from the archive file %s when trying to find the correct offset into "
      "the self extracting file";
  File file = Open(path, "rb");
  if (!file) throw IEInstall(message, {path});
  int64_t size = SizeOf(file.get());
  std::string bytes(TSelfExtractHeader::kSize, '\0');
  if (size < kHeaderFromEnd || std::fseek(file.get(), static_cast<long>(size - kHeaderFromEnd), SEEK_SET) != 0 ||
      std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size())
    throw IEInstall(message, {path});
  return DecodeSelfExtractHeader(bytes);
}

std::string GetStreamCheckSum(std::FILE* stream, int64_t count) {
  Sha1 sha1;
  std::fseek(stream, 0, SEEK_SET);
  char chunk[kChecksumChunk];
  int64_t left = count;
  while (left > 0) {
    size_t want = left < static_cast<int64_t>(sizeof chunk) ? static_cast<size_t>(left) : sizeof chunk;
    size_t got = std::fread(chunk, 1, want, stream);
    if (got == 0) break;
    sha1.Update(chunk, got);
    left -= static_cast<int64_t>(got);
  }
  static const char kHex[] = "0123456789ABCDEF";
  std::string text;
  for (uint8_t byte : sha1.Digest()) {
    text += kHex[byte >> 4];
    text += kHex[byte & 0x0F];
  }
  return text;
}

std::string GetFileCheckSum(const std::string& path, bool without_trailer) {
  File file = Open(path, "rb");
  if (!FileExists(path) || !file) MissingFile(path);
  int64_t count = SizeOf(file.get());
  if (without_trailer) count = count > static_cast<int64_t>(kChecksumLength) ? count - kChecksumLength : 0;
  return GetStreamCheckSum(file.get(), count);
}

void AppendFileCheckSum(const std::string& path, const std::string& checksum) {
  if (!FileExists(path)) MissingFile(path);
  std::string digits = checksum.empty() ? GetFileCheckSum(path, false) : checksum;
  if (digits.size() != kChecksumLength) throw forms::Exception("Can't calculete CheckSum");
  File file = Open(path, "ab");
  if (!file || std::fwrite(digits.data(), 1, digits.size(), file.get()) != digits.size() ||
      std::fflush(file.get()) != 0)
    throw forms::Exception(Format("Can't find file \"%s\"!", {path}));
}

std::string EncodeNetFileListRecord(const TNetFileListRecord& record) {
  std::string bytes(TNetFileListRecord::kSize, '\0');
  PutInt32(bytes, kRecordSize, record.size);
  std::memcpy(&bytes[kRecordDate], &record.date, sizeof record.date);
  std::string name = record.name.substr(0, TNetFileListRecord::kMaxName);
  name.copy(&bytes[kRecordName], name.size());
  std::string version = record.version.substr(0, TNetFileListRecord::kMaxVersion);
  version.copy(&bytes[kRecordVersion], version.size());
  return bytes;
}

void SaveNetFileList(const std::string& path, const std::vector<TNetFileListRecord>& records) {
  std::string bytes(4, '\0');
  PutInt32(bytes, 0, static_cast<int32_t>(records.size()));
  for (const TNetFileListRecord& record : records) bytes += EncodeNetFileListRecord(record);
  File file = Open(path, "wb");
  if (!file || std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size() ||
      std::fclose(file.release()) != 0) {
    std::remove(path.c_str());
    throw IEInstall("Cannot create the file %s", {path});
  }
}

std::vector<TNetFileListRecord> ReadNetFileList(const std::string& path) {
  File file = Open(path, "rb");
  auto fail = [&path]() { return IEInstall("Cannot read the remote list of files: %s", {path}); };
  std::string count_bytes(4, '\0');
  if (!file || std::fread(count_bytes.data(), 1, 4, file.get()) != 4) throw fail();
  int32_t count = GetInt32(count_bytes, 0);
  if (count < 0) throw fail();
  std::vector<TNetFileListRecord> records;
  std::string bytes(TNetFileListRecord::kSize, '\0');
  for (int32_t i = 0; i < count; ++i) {
    if (std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) throw fail();
    TNetFileListRecord record;
    record.size = GetInt32(bytes, kRecordSize);
    std::memcpy(&record.date, bytes.data() + kRecordDate, sizeof record.date);
    // A text without its terminator would go on past its field.
    if (!TerminatedField(bytes, kRecordName, kRecordVersion - kRecordName) ||
        !TerminatedField(bytes, kRecordVersion, TNetFileListRecord::kSize - kRecordVersion))
      throw fail();
    record.name = FieldText(bytes, kRecordName, kRecordVersion - kRecordName);
    record.version = FieldText(bytes, kRecordVersion, TNetFileListRecord::kSize - kRecordVersion);
    records.push_back(std::move(record));
  }
  return records;
}

}  // namespace install
