/* Marks the C functions a library exports. On Windows the module-definition
 * file of each library fixes the exported names; natively, symbols are
 * hidden unless marked here. */
#ifndef NETMON_COMMON_EXPORT_H
#define NETMON_COMMON_EXPORT_H

#if defined(_WIN32)
#define NETMON_EXPORT
#define NETMON_PRINTF(fmt, args) __attribute__((format(gnu_printf, fmt, args)))
#else
#define NETMON_EXPORT __attribute__((visibility("default")))
#define NETMON_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#endif

#ifdef __cplusplus
#define NETMON_EXTERN_C extern "C"
#else
#define NETMON_EXTERN_C
#endif

#endif
