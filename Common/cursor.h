/* Marshalling cursor: packs and unpacks protocol bodies. The cursor is the
 * caller's char pointer, passed by address and advanced past what each call
 * reads or writes. Integers are little-endian and unaligned on every host;
 * a string is its bytes and a NUL (a null string is a single NUL). There is
 * no bounds check: the caller sizes the buffer. */
#ifndef NETMON_COMMON_CURSOR_H
#define NETMON_COMMON_CURSOR_H

#include "export.h"

#ifdef __cplusplus
extern "C" {
#endif

NETMON_EXPORT int _XGetInt(char **cur);
NETMON_EXPORT int _XGetChr(char **cur); /* sign-extended */
NETMON_EXPORT char *_XGetStr(char **cur); /* points into the buffer */
NETMON_EXPORT void *_XGetBuf(char **cur, void *dst, int n);
NETMON_EXPORT void _XPutInt(char **cur, int value);
NETMON_EXPORT void _XPutChr(char **cur, int value);
NETMON_EXPORT const char *_XPutStr(char **cur, const char *text);
NETMON_EXPORT void _XPutBuf(char **cur, const void *src, int n);

unsigned short XGetShort(char **cur);
void XPutShort(char **cur, unsigned short value);

#ifdef __cplusplus
}
#endif

#endif
