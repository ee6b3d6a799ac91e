#include "scandir.h"

#include <dirent.h>

#include <cstring>

#include "globals.h"
#include "log.h"
#include "os.h"
#include "oswrap.h"

void _ScanDir(char *path, size_t size, ScanCallback callback, char *stop, void *userData,
              int flags) {
  if (!path || !callback || !stop) return;
  DIR *directory = opendir(path);
  if (!directory) return;
  size_t length = std::strlen(path);
  while (!StopByte(stop)) {
    dirent *entry = readdir(directory);
    if (!entry) break;
    const char *name = entry->d_name;
    if (name[0] == '.') continue;
    size_t nameLength = std::strlen(name);
    if (length + 1 + nameLength >= size) {
      _DebugOut(2, "scandir: path too long, skipped %s\n", name);
      continue;
    }
    path[length] = kPathSeparator;
    std::memcpy(path + length + 1, name, nameLength + 1);
    os::FileInfo info;
    if (os::FileQuery(path, &info)) {
      bool wanted = info.isDirectory ? (flags & SCAN_DIRECTORIES) : (flags & SCAN_FILES);
      if (wanted) callback(path, name, stop, info.isDirectory ? 1 : 0, userData);
      if (info.isDirectory && (flags & SCAN_RECURSE) && !StopByte(stop))
        _ScanDir(path, size, callback, stop, userData, flags);
    }
    path[length] = '\0';
    os::SleepMs(0);
  }
  closedir(directory);
  path[length] = '\0';
}
