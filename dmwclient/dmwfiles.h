// Remote file store and file transfer: the trend server keeps files in
// remote file-store objects (configuration files, trend store); a DBHandle
// wraps one such object and gives file-level calls over the remote object
// request. On them stand the two transfers: a download when the server's
// copy is newer, resumed through the temporary-file manager, and an upload
// that resumes when the server holds a shorter copy of the same date.
//
// Every reply a call relies on must be whole: a short body, a non-zero
// status or a write count other than the block's length is a failure, and
// nothing that was not received whole is written to either copy. A handle
// must not be used by two threads at once, nor one local target downloaded
// by two at once (they would share its temporary file). Messages start
// with "dmwclnt:".
#ifndef DMWCLIENT_DMWFILES_H
#define DMWCLIENT_DMWFILES_H

#include <string>

#include "export.h"
#include "filehelp.h"

enum { DB_CLASS_CONFIG = 0x80001, DB_CLASS_TRENDS = 0x80002 };
enum { DB_MODE_READ = 1, DB_MODE_WRITE = 2 };

#pragma pack(push, 1)
typedef struct DBHandle {
  int Slot;      // connection slot
  int ObjectId;  // 0 when the server did not create the object
} DBHandle;
#pragma pack(pop)

// Moves the remote file's position (no reply is read).
int DBFileSeek(DBHandle *handle, int offset);

// The path of a module's configuration file: CFGPath\<name>.cfg.
std::string ConfigFilePath(const char *name);

// What a module's event callback (evclnt.h) does about its configuration
// file: on a registration (code 2) a status of 0 with the file present
// keeps the file; any other status, or a missing file, fetches it anew on
// the registration's connection (a non-zero status with the file present
// deletes it first). An event (slot -1) keeps the file; code 0 is ignored.
// A fetch is announced by `fetchNotice` at debug level 9, when given.
enum class ConfigOnRegistration {
  Ignored,
  Kept,
  Fetched,  // or tried to: the module reads what is there
};
ConfigOnRegistration RefreshConfigOnRegistration(const char *name, int code, const void *data,
                                                 int slot, const char *fetchNotice = nullptr);

extern "C" {

NETMON_EXPORT DBHandle *_DBCreate(int slot, int objectClass);
// Status; *remoteDate (a local time value, 0 for no file) and
// *remoteLength are 0 unless the status is 0. remoteLength may be null.
NETMON_EXPORT int _DBFileOpen(DBHandle *handle, const char *name, int mode, xtime_t localDate,
                              xtime_t *remoteDate, int *remoteLength);
// The status when it is not 0, else the bytes the server wrote.
NETMON_EXPORT int _DBFileWrite(DBHandle *handle, const char *bytes, int length);
// The status when it is not 0, else the bytes received (0 at the end).
NETMON_EXPORT int _DBFileRead(DBHandle *handle, char *buffer, int capacity);
NETMON_EXPORT int _DBFileClose(DBHandle *handle);
NETMON_EXPORT int _DBClose(DBHandle *handle);

// 0 when the local file is current or was downloaded whole, else -1.
NETMON_EXPORT int _RetrieveFile(int slot, int objectClass, const char *directory,
                                const char *name, const char *extension);
// Uploads `path` as `remoteName` in blocks of blockSize from `buffer`. The
// final close's result, or -1 when the transfer failed (then *stop is 2)
// or was stopped (another thread set *stop, see StopByte) before the end.
NETMON_EXPORT int __SendFile(DBHandle *handle, int force, char *buffer, int blockSize,
                             const char *path, const char *remoteName, char *stop);
NETMON_EXPORT int _SendFile(int slot, int objectClass, const char *directory, const char *name,
                            const char *extension);
// Downloads CFGPath\<name>.cfg; with slot -1 on a connection of its own.
NETMON_EXPORT int _RetrieveConfig(int slot, const char *name, int deleteFirst);

}  // extern "C"

#endif
