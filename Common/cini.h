/* Ini-style configuration files: sections in brackets, "key=value" lines.
 *
 * _IniCreate loads the whole file as a list of lines; reads answer from the
 * list, writes edit it in place (comments, blank lines, order and the
 * file's line end survive), and _IniUpdate / _IniClose write the file back
 * when anything changed. Section and key names compare without regard to
 * case; a null or empty section name is the part before the first header.
 * Only the blank 0x20 counts as white space around names and values. Each
 * handle carries its own lock, so one handle may be shared between
 * threads; two handles on one file are not coordinated (the last write
 * wins). Every call accepts a null handle and then does nothing (reads give
 * the caller's default). Messages start with "cini:". */
#ifndef NETMON_COMMON_CINI_H
#define NETMON_COMMON_CINI_H

#include <stddef.h>

#include "collection.h"
#include "export.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct IniFile IniFile;

enum { INI_LINE_MAX = 4095 }; /* longer lines are read as several lines */

/* A missing file gives an empty handle; null only when memory runs out. */
NETMON_EXPORT IniFile *_IniCreate(const char *path);
/* Copies the value into buffer when the key exists (buffer unchanged
 * otherwise: put the default there first). The buffer must hold the value:
 * up to INI_LINE_MAX bytes and the terminator. Returns buffer. */
NETMON_EXPORT char *_IniReadStr(IniFile *ini, const char *section, const char *key, char *buffer);
NETMON_EXPORT void _IniWriteStr(IniFile *ini, const char *section, const char *key,
                                const char *value);
/* The value as atol reads it (0 for text), or def when the key is missing. */
NETMON_EXPORT int _IniReadInt(IniFile *ini, const char *section, const char *key, int def);
NETMON_EXPORT void _IniWriteInt(IniFile *ini, const char *section, const char *key, int value);
NETMON_EXPORT void _IniDeleteKey(IniFile *ini, const char *section, const char *key);
/* Removes the lines after the section's header up to the first blank line
 * or header; the header stays. */
NETMON_EXPORT void _IniEraseSection(IniFile *ini, const char *section);
/* Clears lines, then adds a heap copy of every line of the section that is
 * neither blank nor a comment. */
NETMON_EXPORT void _IniReadSection(IniFile *ini, const char *section, Collection *lines);
/* Writes the file when the handle was ever changed; a file that can't be
 * opened is left as it is. */
NETMON_EXPORT void _IniUpdate(IniFile *ini);
/* _IniUpdate, then releases the handle. */
NETMON_EXPORT void _IniClose(IniFile *ini);

/* The library's own reads: as _IniReadStr, but a value longer than the
 * buffer is cut to size - 1 characters. */
char *IniReadStrN(IniFile *ini, const char *section, const char *key, char *buffer, size_t size);
int IniKeyExists(IniFile *ini, const char *section, const char *key);
/* Cuts every key line of the section after its "=" (up to the first blank
 * line or header), so the keys stay with empty values. */
void IniClearSectionValues(IniFile *ini, const char *section);
/* Clears names, then adds a heap copy of every section's name. */
void IniReadSectionNames(IniFile *ini, Collection *names);

#ifdef __cplusplus
}
#endif

#endif
