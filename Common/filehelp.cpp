#include "filehelp.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "log.h"
#include "os.h"

extern "C" {

int XFileStat(const char *path, XStat *record) {
  os::FileInfo info;
  if (!os::FileQuery(path, &info)) return -1;
  record->modified = info.modified;
  record->size = info.size;
  record->isDirectory = info.isDirectory;
  return 0;
}

xtime_t _XGetFileDate(const char *path) {
  XStat st;
  return XFileStat(path, &st) == 0 ? static_cast<xtime_t>(st.modified) : 0;
}

int64_t XGetFileSize(const char *path) {
  XStat st;
  return XFileStat(path, &st) == 0 ? st.size : 0;
}

FILE *_Xfopen(const char *path, const char *mode) { return std::fopen(path, mode); }

void _XSetFileTime(const char *path, xtime_t time) { os::FileSetWriteTime(path, time); }

static bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Creates the directory `path` names unless something of that name exists.
static void MakeDirectory(const char *path) {
  XStat st;
  if (*path == '\0' || XFileStat(path, &st) == 0) return;
  if (!os::DirectoryCreate(path))
    _DebugOut(2, "XMakePath: error (%x) making directory %s \n",
              static_cast<unsigned>(os::LastError()), path);
}

void _XMakePath(char *path, int lastIsFile) {
  size_t length = std::strlen(path);
  if (length >= XPATH_MAX) {
    _DebugOut(2, "XMakePath: path of %u characters is too long: %.64s...\n",
              static_cast<unsigned>(length), path);
    return;
  }
  if (os::PathsIgnoreCase())
    for (char *p = path; *p; p++) *p = static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
  for (size_t cut = 0; cut < length; cut++) {
    char separator = path[cut];
    if (!IsSeparator(separator)) continue;
    path[cut] = '\0';
    MakeDirectory(path);
    path[cut] = separator;
  }
  if (!lastIsFile) MakeDirectory(path);
}

long XStreamSize(FILE *stream) {
  long position = std::ftell(stream);
  if (position < 0 || std::fseek(stream, 0, SEEK_END) != 0) return -1;
  long size = std::ftell(stream);
  std::fseek(stream, position, SEEK_SET);
  return size;
}

int XTruncateFile(const char *path, long length) {
  return os::FileTruncate(path, length) ? 0 : -1;
}

int XCopyFile(const char *destination, const char *source) {
  FILE *in = std::fopen(source, "rb");
  if (!in) return -1;
  FILE *out = std::fopen(destination, "wb+");
  if (!out) {
    std::fclose(in);
    return -1;
  }
  char block[16 * 1024];
  size_t got;
  int result = 0;
  do {
    got = std::fread(block, 1, sizeof block, in);
    if (got && std::fwrite(block, 1, got, out) != got) result = -1;
  } while (got == sizeof block && result == 0);
  if (std::ferror(in)) result = -1;
  std::fclose(in);
  if (std::fclose(out) != 0) result = -1;
  return result;
}

}  // extern "C"
