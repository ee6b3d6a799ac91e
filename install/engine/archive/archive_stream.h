// An open file of the archive code: the archive, a disk file, a source or
// a target. Writes go straight to the system (no stdio buffer), so that a
// short write is seen at the block that caused it, as a full disk needs.
// Other programs may read and write the file while it is open.
#ifndef INSTALL_ARCHIVE_STREAM_H
#define INSTALL_ARCHIVE_STREAM_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace install {

class ArchiveStream {
 public:
  // kCreateNew makes a file that must not exist yet (errno EEXIST when it
  // does), opened for reading and writing.
  enum class Mode { kRead, kReadWrite, kCreate, kCreateNew };

  ArchiveStream() = default;
  ArchiveStream(const ArchiveStream &) = delete;
  ArchiveStream &operator=(const ArchiveStream &) = delete;
  ~ArchiveStream() { Close(); }

  bool Open(const std::string &path, Mode mode);  // false when it fails
  void Close();
  bool IsOpen() const { return file_ != nullptr; }

  size_t Read(void *buffer, size_t count);         // bytes read, 0 at the end
  size_t Write(const void *buffer, size_t count);  // bytes written
  bool Seek(int64_t position);
  bool SeekEnd();
  int64_t Position() const { return position_; }
  int64_t Size();  // position kept

 private:
  std::FILE *file_ = nullptr;
  int64_t position_ = 0;
};

}  // namespace install

#endif
