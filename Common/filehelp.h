/* File helpers over the C runtime and the system's file functions. Paths
 * are NUL-terminated ANSI text; times are the host's 32-bit time values
 * (seconds since 1 January 1970, UTC). */
#ifndef NETMON_COMMON_FILEHELP_H
#define NETMON_COMMON_FILEHELP_H

#include <stdint.h>
#include <stdio.h>

#include "export.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef int32_t xtime_t; /* the host's time_t */

enum { XPATH_MAX = 260 }; /* the system's path limit, terminator included */

/* Modification time, 0 when the path does not exist. */
NETMON_EXPORT xtime_t _XGetFileDate(const char *path);
NETMON_EXPORT FILE *_Xfopen(const char *path, const char *mode);
/* Stamps the file's last-write time with exactly `time`; creation and
 * access times are kept. A file that can't be opened is left alone. */
NETMON_EXPORT void _XSetFileTime(const char *path, xtime_t time);
/* Creates every missing directory of `path`; with lastIsFile 0 the last
 * element is a directory too. Where the file system ignores case, the
 * caller's text is turned into lower case. Failures are logged at debug
 * level 2; a path of XPATH_MAX characters or more is refused and logged. */
NETMON_EXPORT void _XMakePath(char *path, int lastIsFile);

typedef struct XStat {
  int64_t modified;
  int64_t size;
  int isDirectory;
} XStat;

int XFileStat(const char *path, XStat *record); /* 0 on success */
int64_t XGetFileSize(const char *path);         /* 0 when missing */
long XStreamSize(FILE *stream);                 /* position kept; -1 on error */
int XTruncateFile(const char *path, long length); /* 0, or -1 when it fails */
int XCopyFile(const char *destination, const char *source); /* 0, or -1 */

#ifdef __cplusplus
}
#endif

#endif
