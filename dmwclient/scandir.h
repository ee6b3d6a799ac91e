// Directory walk: reports the entries of a directory, and with SCAN_RECURSE
// those of every directory below it, to a callback, until the callback (or
// another thread) sets the stop byte.
//
// The path is extended in place in the caller's buffer (`size` bytes) and
// restored before the call returns; an entry whose path would not fit is
// skipped. Names that begin with "." are never reported nor entered.
#ifndef DMWCLIENT_SCANDIR_H
#define DMWCLIENT_SCANDIR_H

#include <cstddef>

enum { SCAN_RECURSE = 1, SCAN_FILES = 2, SCAN_DIRECTORIES = 4 };

// Gets the entry's full path, its name, the stop byte (read and set with
// StopByte/SetStopByte), 1 for a directory or 0 for a file, and the
// caller's data.
typedef void (*ScanCallback)(const char *path, const char *name, char *stop, int isDirectory,
                             void *userData);

void _ScanDir(char *path, size_t size, ScanCallback callback, char *stop, void *userData,
              int flags);

#endif
