// Test side of the distribution files, written apart from the engine and
// the loader: a SHA-1 of its own (FIPS 180-1), an encoder of the 56-byte
// self-extract header and a reader of a built setup.exe, both by the
// header's layout table (offset 0: length byte and 14-character marker; 15:
// zero; 16, 20, 24, 28: int32 first and last offsets of setup.1 and
// files.1; 32: 24 zero bytes), with the 40 hexadecimal digits of the
// checksum trailer behind the header. And a reader of the net file list
// "filelist.lst" by its layout table: int32 count, then 80-byte records
// (offset 0: int32 size; 4: zero; 8: double date; 16: 40 bytes name; 56: 24
// bytes version; both texts zero-terminated).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fixture {

// The SHA-1 digest of bytes as 40 upper-case hexadecimal digits.
std::string Sha1Hex(const std::string& bytes);

std::string SelfExtractHeaderBytes(const std::string& marker, int32_t setup1_first, int32_t setup1_last,
                                   int32_t files1_first, int32_t files1_last);

// A setup.exe cut into its parts.
struct SetupExe {
  uint8_t marker_length = 0;
  std::string marker;
  bool zeros = false;  // byte 15 and bytes 32 to 55 of the header are zero
  int32_t setup1_first = 0, setup1_last = 0, files1_first = 0, files1_last = 0;
  std::string covered;  // every byte before the trailer
  std::string trailer;  // the last 40 bytes, with a trailer
  // By the offsets of a self-extracting file: the loader before setup.1,
  // setup.1 and files.1 (empty when its offsets are 0); what stands
  // between the parts and the header.
  std::string loader, setup1, files1, between;
};

// Raises for a file too short for its header (and trailer).
SetupExe SplitSetupExe(const std::string& bytes, bool with_trailer);

struct FileListRecord {
  int32_t size = 0;
  bool padding_zero = false;  // bytes 4 to 7
  double date = 0;
  std::string name, version;
  bool terminated = false;  // both texts end inside their fields
};

// The records of a net file list; raises when the bytes are not count
// records long.
std::vector<FileListRecord> ReadFileList(const std::string& bytes);

}  // namespace fixture
