// Test side of the archive format, written apart from the component: an
// encoder that lays out plain archives and disk sets byte by byte from the
// format's tables, a decoder that reads the headers back the same way, and
// a temporary directory for the files a test makes.
#ifndef INSTALL_ARCHIVE_TESTS_ARCHIVE_FIXTURE_H
#define INSTALL_ARCHIVE_TESTS_ARCHIVE_FIXTURE_H

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace fixture {

struct Member {
  std::string name;  // the stored source path
  std::string data;
  double date = 40000.5;
  std::string version;
  int32_t fileID = 0;
  int32_t fileNumber = 1;
};

// What one 176-byte header says, read field by field.
struct Header {
  int32_t fileNumber, lastDataByte, nextHeaderPos, fileSize, dataStart, compressedSize, fileID;
  double fileDate;
  uint8_t lastDisk, firstDisk;
  std::string sourcePath, version;
};

std::string ZlibStream(const std::string &data, int level = 6);
std::string Inflate(const std::string &stream);

// A plain archive of the members, one header and stream after another.
std::string PlainArchive(const std::vector<Member> &members);
// A disk set of the members on disks of `capacity` bytes; element 0 is disk 1.
std::vector<std::string> DiskSet(const std::vector<Member> &members, size_t capacity);

// The headers of a plain archive (or of disk 1 of a disk set), read from
// position 5 along NextHeaderPos. Raises for a header past the end.
std::vector<Header> Headers(const std::string &archive);
// The members of a plain archive (or of a disk set on one disk), read
// header by header as Headers reads them, each one's data
// inflated from DataStart to LastDataByte. Raises for an archive that
// doesn't hold together.
std::vector<Member> ReadMembers(const std::string &archive);
// The members of the archive file at path by name.
std::map<std::string, Member> MembersByName(const std::filesystem::path &path);

int32_t HeadCount(const std::string &archive);
uint8_t HeadSpanned(const std::string &archive);
Header HeaderAt(const std::string &bytes, size_t position);

// Byte patches for damaged archives.
void PutInt(std::string &bytes, size_t position, int32_t value);

std::string ReadFile(const std::filesystem::path &path);
void WriteFile(const std::filesystem::path &path, const std::string &bytes);
// Text-like data of the given size, the same for the same seed.
std::string TextData(size_t size, unsigned seed = 1);
// Data that does not compress.
std::string NoiseData(size_t size, unsigned seed = 1);

class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::filesystem::path &path() const { return path_; }
  std::string operator/(const std::string &name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

}  // namespace fixture

#endif
