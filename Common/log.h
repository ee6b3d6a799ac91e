/* Log functions: every message of a library goes through these.
 *
 * With a display hook installed (one per library, process-wide), the text is
 * formatted into a 256-byte buffer (longer text is cut to fit) and handed to
 * the hook on the logging thread with a level: 0 for _msg, the line's level
 * plus one for _DebugOut, -1 for _errmsg. Without a hook, _msg and _DebugOut
 * print to standard output and _errmsg to standard error. _DebugOut shows a
 * line only when its level is not above the library's debug level.
 * Callers start each line with their module's name and a colon. */
#ifndef NETMON_COMMON_LOG_H
#define NETMON_COMMON_LOG_H

#include "export.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef void (*DisplayHook)(int level, const char *text);

enum { LOG_BUFFER_SIZE = 256 };

NETMON_EXPORT void _msg(const char *format, ...) NETMON_PRINTF(1, 2);
NETMON_EXPORT void _DebugOut(int level, const char *format, ...) NETMON_PRINTF(2, 3);
NETMON_EXPORT void _errmsg(const char *format, ...) NETMON_PRINTF(1, 2);

#ifdef __cplusplus
}

// The library's hook and debug level (not exported; the library's entry
// points set them).
void LogSetHook(DisplayHook hook);
DisplayHook LogHook();
void LogSetDebugLevel(signed char level);
signed char LogDebugLevel();
#endif

#endif
