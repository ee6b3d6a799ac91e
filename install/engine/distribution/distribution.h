// The distribution files the setup program reads back: the self-extract
// header at the end of setup.exe, the checksum trailer behind it and the
// net file list "filelist.lst".
//
// setup.exe is the loader program, for a self-extracting setup followed by
// setup.1 and files.1, then the 56-byte header (marker "SELFEXTRACTING" or
// "NOTSELFEXTRACT" and the first and last byte offsets of setup.1 and
// files.1, little-endian) and, when the installer uses the loader, 40
// upper-case hexadecimal digits of the SHA-1 of every byte before them. The
// net file list is an int32 count and that many 80-byte records (size, date,
// component name, version) of the files of a net distribution.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace install {

struct TSelfExtractHeader {
  static constexpr size_t kSize = 56;
  std::string marker;  // "SELFEXTRACTING" or "NOTSELFEXTRACT"
  int32_t setup1_first = 0;
  int32_t setup1_last = 0;
  int32_t files1_first = 0;  // 0 when the build had no files.1
  int32_t files1_last = 0;
};

// The header's 56 bytes, and back (the marker is not checked).
std::string EncodeSelfExtractHeader(const TSelfExtractHeader& header);
TSelfExtractHeader DecodeSelfExtractHeader(const std::string& bytes);

// Appends setup1, then files1 when it exists, to setupExe and the header
// that says where they lie.
void WriteSelfExtractHeader(const std::string& setup_exe, const std::string& setup1, const std::string& files1);
// Appends a header without offsets.
void WriteNotSelfExtractHeader(const std::string& setup_exe);
// The header of a file that ends with header and checksum trailer.
TSelfExtractHeader ReadSelfExtractHeader(const std::string& path);
// Started by the self-extracting file ("-e"): the shared archive reads
// files.1 from inside it, at the offset its header gives.
void ApplySelfExtractOffset();

// SHA-1 of the first count bytes of the open file (from its start) as 40
// upper-case hexadecimal digits.
std::string GetStreamCheckSum(std::FILE* stream, int64_t count);
// The checksum of a whole file, or of all but its last 40 bytes.
std::string GetFileCheckSum(const std::string& path, bool without_trailer);
// Appends checksum (computed over the whole file when empty) to the file.
void AppendFileCheckSum(const std::string& path, const std::string& checksum = "");

// One record of the net file list.
struct TNetFileListRecord {
  static constexpr size_t kSize = 80;
  // The longest name and version a record holds, each with its terminator.
  static constexpr size_t kMaxName = 39;
  static constexpr size_t kMaxVersion = 20;
  int32_t size = 0;
  double date = 0;      // days
  std::string name;     // the file component's Name
  std::string version;  // at most 20 characters
};

// The 80 bytes of a record: a longer name is cut to its first 39
// characters, a longer version to its first 20.
std::string EncodeNetFileListRecord(const TNetFileListRecord& record);
// Writes the list; raises IEInstall "Cannot create the file %s" when it
// can't be written whole.
void SaveNetFileList(const std::string& path, const std::vector<TNetFileListRecord>& records);
// The records of a net file list; raises IEInstall "Cannot read the remote
// list of files: %s" for a list shorter than its count says, a negative
// count, and a record whose name or version runs to the end of its field
// without a terminator.
std::vector<TNetFileListRecord> ReadNetFileList(const std::string& path);
// The first install file whose Name is name (ignoring case; a name longer
// than a record holds compared by the part it holds) takes size, date and
// version; a name no file has changes nothing.
void ApplyFileListRecord(const std::string& name, const std::string& version, int32_t size, double date);
// Downloads "filelist.lst" from the installer's net location into a
// temporary file and applies every record; the downloaded copy is deleted
// again, also on failure. A cancelled download raises EAIUserAbort and
// applies nothing.
void FetchNetFileList();

}  // namespace install
