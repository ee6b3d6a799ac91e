#include "archive/archive_stream.h"

#include <fcntl.h>

#include <climits>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace install {

namespace {

#ifndef O_BINARY
constexpr int O_BINARY = 0;
#endif

// The C runtime's fopen has no exclusive creation on every platform: the
// file is made through its descriptor.
std::FILE *CreateNew(const std::string &path) {
  int descriptor = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_BINARY, 0666);
  if (descriptor < 0) return nullptr;
  std::FILE *file = fdopen(descriptor, "w+b");
  if (!file) close(descriptor);
  return file;
}

}  // namespace

bool ArchiveStream::Open(const std::string &path, Mode mode) {
  Close();
  if (mode == Mode::kCreateNew) {
    file_ = CreateNew(path);
  } else {
    const char *how = mode == Mode::kRead ? "rb" : mode == Mode::kReadWrite ? "r+b" : "w+b";
    file_ = std::fopen(path.c_str(), how);
  }
  if (!file_) return false;
  std::setvbuf(file_, nullptr, _IONBF, 0);
  position_ = 0;
  return true;
}

void ArchiveStream::Close() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
  position_ = 0;
}

size_t ArchiveStream::Read(void *buffer, size_t count) {
  size_t done = std::fread(buffer, 1, count, file_);
  position_ += static_cast<int64_t>(done);
  return done;
}

size_t ArchiveStream::Write(const void *buffer, size_t count) {
  size_t done = std::fwrite(buffer, 1, count, file_);
  if (done < count) {
    // A full disk may take part of the bytes while the C runtime reports
    // none of them (Windows' runtime fails the whole call): the file's
    // position tells what was written.
    std::clearerr(file_);
    long now = std::ftell(file_);
    if (now > position_ && now - position_ <= static_cast<int64_t>(count))
      done = static_cast<size_t>(now - position_);
  }
  position_ += static_cast<int64_t>(done);
  return done;
}

bool ArchiveStream::Seek(int64_t position) {
  // Archives count their positions in 32 bits; nothing beyond is reached.
  if (position < 0 || position > LONG_MAX) return false;
  if (std::fseek(file_, static_cast<long>(position), SEEK_SET) != 0) return false;
  position_ = position;
  return true;
}

bool ArchiveStream::SeekEnd() {
  int64_t size = Size();
  return size >= 0 && Seek(size);
}

int64_t ArchiveStream::Size() {
  if (std::fseek(file_, 0, SEEK_END) != 0) return -1;
  long size = std::ftell(file_);
  std::fseek(file_, static_cast<long>(position_), SEEK_SET);
  return size;
}

}  // namespace install
