#include "dmwfiles.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cursor.h"
#include "dmwclnt.h"
#include "globals.h"
#include "log.h"
#include "oswrap.h"
#include "tmpmgr.h"

static_assert(sizeof(DBHandle) == 8, "the host's handle record is two ints");

namespace {

// Methods of a file-store object.
enum { kOpen = 0x1001, kClose = 0x1002, kWrite = 0x1010, kRead = 0x1011, kSeek = 0x1012 };
constexpr int kBlockSize = 1024;  // what the transfers move per request

std::string LocalPath(const char *directory, const char *name, const char *extension) {
  return std::string(directory) + kPathSeparator + name + TextOrEmpty(extension);
}

// A method whose reply body must be exactly `length` bytes.
int WholeReply(DBHandle *handle, int method, const char *data, int dataLength, char *body,
               int length) {
  int received = length;
  int status =
      _RObjRequest(handle->Slot, handle->ObjectId, method, data, dataLength, body, &received);
  return status == 0 && received != length ? -1 : status;
}

int NoReply(DBHandle *handle, int method, const char *data, int dataLength) {
  return _RObjRequest(handle->Slot, handle->ObjectId, method, data, dataLength, nullptr, nullptr);
}

// The request's status; *received holds the bytes read.
int ReadBlock(DBHandle *handle, char *buffer, int capacity, int *received) {
  *received = capacity;
  int status = _RObjRequest(handle->Slot, handle->ObjectId, kRead, nullptr, 0, buffer, received);
  if (status != 0) *received = 0;
  return status;
}

// The request's status; *written holds the count the server reported.
int WriteBlock(DBHandle *handle, const char *bytes, int length, int *written) {
  *written = 0;
  auto *body = static_cast<char *>(std::malloc(4 + static_cast<size_t>(length)));
  if (!body) {
    _errmsg("dmwclnt: DBFileWrite can't allocate packet buffer\n");
    return -1;
  }
  char *cursor = body;
  _XPutInt(&cursor, length);
  _XPutBuf(&cursor, bytes, length);
  char reply[4];
  int status = WholeReply(handle, kWrite, body, 4 + length, reply, sizeof reply);
  std::free(body);
  if (status == 0) {
    cursor = reply;
    *written = _XGetInt(&cursor);
  }
  return status;
}

std::string DateText(xtime_t time) {
  DmwTime local;
  _DmwDecodeTime(time, &local);
  char text[80];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", local.Year + 1900,
                local.Month + 1, local.DayOfMonth, local.Hours, local.Minutes, local.Seconds);
  return text;
}

// ---- download ---------------------------------------------------------------

// The temporary file opened to go on where an earlier download of the same
// remote copy stopped (the server's position moved there), or from the
// start. A temporary file longer than the remote copy is not resumed.
FILE *OpenTemporary(DBHandle *handle, const char *temporary, xtime_t remoteDate,
                    int remoteLength, int *held) {
  *held = 0;
  int64_t size = XGetFileSize(temporary);
  if (size > 0 && size <= remoteLength && _XGetFileDate(temporary) == remoteDate) {
    if (DBFileSeek(handle, static_cast<int>(size)) != 0) return nullptr;
    *held = static_cast<int>(size);
    return _Xfopen(temporary, "ab+");
  }
  return _Xfopen(temporary, "wb+");
}

// Reads the rest of the remote file into the temporary file; false when a
// read or write failed.
bool Fetch(DBHandle *handle, FILE *file, int held, int remoteLength) {
  char block[kBlockSize];
  while (held < remoteLength) {
    int want = remoteLength - held < kBlockSize ? remoteLength - held : kBlockSize;
    int got = 0;
    if (ReadBlock(handle, block, want, &got) != 0) return false;
    if (got == 0) return true;  // the server's copy ended early: not whole
    if (std::fwrite(block, 1, static_cast<size_t>(got), file) != static_cast<size_t>(got))
      return false;
    held += got;
  }
  return true;
}

// Downloads into the target's temporary file and, once it is whole, moves
// it into place. The temporary file keeps what arrived, stamped with the
// remote date, for a resume.
int FetchIntoPlace(DBHandle *handle, const std::string &local, xtime_t remoteDate,
                   int remoteLength) {
  char *temporary = TmpMgrGetTempName(local.c_str());
  if (!temporary) return -1;
  int held = 0;
  FILE *file = OpenTemporary(handle, temporary, remoteDate, remoteLength, &held);
  int result = -1;
  if (file) {
    bool fetched = Fetch(handle, file, held, remoteLength);
    bool closed = std::fclose(file) == 0;
    _XSetFileTime(temporary, remoteDate);
    if (fetched && closed && XGetFileSize(temporary) == remoteLength)
      result = TmpMgrCommit(temporary);
  }
  std::free(temporary);
  return result;
}

int Download(DBHandle *handle, const char *name, const std::string &local) {
  xtime_t localDate = _XGetFileDate(local.c_str());
  xtime_t remoteDate = 0;
  int remoteLength = 0;
  if (_DBFileOpen(handle, name, DB_MODE_READ, localDate, &remoteDate, &remoteLength) != 0) {
    _errmsg("dmwclnt: can't open DB file\n");
    return -1;
  }
  // The local copy is compared with, and stamped with, the server's date
  // plus the zone offset once more: the same value on every run.
  if (remoteDate != 0) remoteDate += TimeZoneOffset();
  int result = 0;
  if (remoteDate == 0 || remoteLength == 0 || remoteDate < localDate) {
    _DebugOut(2, "dmwclnt: RetrieveFile - File doesn't need update %s\n", name);
    _DebugOut(2, "dmwclnt: RetrieveFile - Remote (%x, %d) Local( %x, %d )\n",
              static_cast<unsigned>(remoteDate), remoteLength, static_cast<unsigned>(localDate), 0);
  } else {
    result = FetchIntoPlace(handle, local, remoteDate, remoteLength);
  }
  _DBFileClose(handle);
  return result;
}

// ---- upload -------------------------------------------------------------------

bool NeedsSending(xtime_t fileDate, int64_t fileLength, xtime_t remoteDate, int remoteLength) {
  if (fileLength == remoteLength && fileDate == remoteDate) return false;
  return remoteDate < fileDate || (remoteDate == fileDate && fileLength >= remoteLength);
}

struct Upload {
  DBHandle *handle;
  char *buffer;
  int blockSize;
  const char *path;
  char *stop;
  bool failed = false;
  int64_t sent = 0;  // the file's bytes the server holds

  void Fail() {
    SetStopByte(stop, 2);
    failed = true;
  }

  // Sends the file, from the server's length when `resumeFrom` is above 0.
  void Run(int64_t resumeFrom) {
    FILE *file = _Xfopen(path, "rb");
    if (!file) {
      _DebugOut(2, "dmwclnt: _SendFile - can't open file %s\n", path);
      Fail();
      return;
    }
    if (resumeFrom > 0) {
      _DebugOut(2, "dmwclnt: _SendFile - Resuming transmition from %d\n",
                static_cast<int>(resumeFrom));
      if (DBFileSeek(handle, static_cast<int>(resumeFrom)) != 0 ||
          std::fseek(file, static_cast<long>(resumeFrom), SEEK_SET) != 0)
        Fail();
      else
        sent = resumeFrom;
    } else {
      _DebugOut(9, "dmwclnt: _SendFile sending %s\n", path);
    }
    SendBlocks(file);
    _DebugOut(9, "dmwclnt: _SendFile - closing local file (%d)\n", StopByte(stop));
    std::fclose(file);
  }

  void SendBlocks(FILE *file) {
    for (;;) {
      if (StopByte(stop)) {  // stopped before the end: not sent whole
        failed = true;
        return;
      }
      size_t length = std::fread(buffer, 1, static_cast<size_t>(blockSize), file);
      if (std::ferror(file)) return Fail();
      if (length == 0) return;
      int written = 0;
      if (WriteBlock(handle, buffer, static_cast<int>(length), &written) != 0 ||
          written != static_cast<int>(length))
        return Fail();
      sent += static_cast<int64_t>(length);
    }
  }
};

}  // namespace

std::string ConfigFilePath(const char *name) {
  return LocalPath(TextOrEmpty(Globals().cfgPath), name, ".cfg");
}

ConfigOnRegistration RefreshConfigOnRegistration(const char *name, int code, const void *data,
                                                 int slot, const char *fetchNotice) {
  if (code == 0) return ConfigOnRegistration::Ignored;
  if (slot == -1 || !data) return ConfigOnRegistration::Kept;
  int status;
  std::memcpy(&status, data, sizeof status);
  bool exists = FileExists(ConfigFilePath(name).c_str());
  if (status == 0 && exists) return ConfigOnRegistration::Kept;
  if (fetchNotice) _DebugOut(9, "%s", fetchNotice);
  _RetrieveConfig(slot, name, status != 0 && exists);
  return ConfigOnRegistration::Fetched;
}

int DBFileSeek(DBHandle *handle, int offset) {
  if (!handle) return -1;
  char body[4];
  char *cursor = body;
  _XPutInt(&cursor, offset);
  return NoReply(handle, kSeek, body, sizeof body);
}

extern "C" {

DBHandle *_DBCreate(int slot, int objectClass) {
  auto *handle = static_cast<DBHandle *>(std::malloc(sizeof(DBHandle)));
  if (!handle) return nullptr;
  handle->Slot = slot;
  handle->ObjectId = 0;
  _RObjCreate(slot, objectClass, nullptr, 0, &handle->ObjectId);
  return handle;
}

int _DBFileOpen(DBHandle *handle, const char *name, int mode, xtime_t localDate,
                xtime_t *remoteDate, int *remoteLength) {
  if (remoteDate) *remoteDate = 0;
  if (remoteLength) *remoteLength = 0;
  if (!handle || !name) return -1;
  std::vector<char> body(9 + std::strlen(name) + 1);
  char *cursor = body.data();
  _XPutInt(&cursor, ToWireTime(localDate));
  _XPutChr(&cursor, mode);
  _XPutStr(&cursor, name);
  char reply[8];
  int status = WholeReply(handle, kOpen, body.data(), static_cast<int>(cursor - body.data()),
                          reply, sizeof reply);
  if (status != 0) return status;
  cursor = reply;
  int date = _XGetInt(&cursor);
  int length = _XGetInt(&cursor);
  if (length < 0) return -1;  // no file has a negative length
  if (remoteDate) *remoteDate = FromWireTime(date);
  if (remoteLength) *remoteLength = length;
  return 0;
}

int _DBFileWrite(DBHandle *handle, const char *bytes, int length) {
  if (!handle || length < 0 || (length > 0 && !bytes)) return -1;
  int written = 0;
  int status = WriteBlock(handle, bytes, length, &written);
  return status != 0 ? status : written;
}

int _DBFileRead(DBHandle *handle, char *buffer, int capacity) {
  if (!handle || !buffer || capacity <= 0) return -1;
  int received = 0;
  int status = ReadBlock(handle, buffer, capacity, &received);
  return status != 0 ? status : received;
}

int _DBFileClose(DBHandle *handle) {
  if (!handle) return -1;
  return NoReply(handle, kClose, nullptr, 0);
}

int _DBClose(DBHandle *handle) {
  if (!handle) return -1;
  int result = _RObjClose(handle->Slot, handle->ObjectId);
  std::free(handle);
  return result;
}

int _RetrieveFile(int slot, int objectClass, const char *directory, const char *name,
                  const char *extension) {
  if (!directory || !name) return -1;
  DBHandle *handle = _DBCreate(slot, objectClass);
  if (!handle) {
    _errmsg("dmwclnt: can't open DB object\n");
    return -1;
  }
  int result = Download(handle, name, LocalPath(directory, name, extension));
  _DBClose(handle);
  return result;
}

int __SendFile(DBHandle *handle, int force, char *buffer, int blockSize, const char *path,
               const char *remoteName, char *stop) {
  if (!handle) {
    _errmsg("dmwclnt: _SendFile - invalid dbf pointer passed.\n");
    return -1;
  }
  if (!buffer || blockSize <= 0 || !path || !remoteName || !stop) return -1;
  xtime_t fileDate = _XGetFileDate(path);
  int64_t fileLength = XGetFileSize(path);
  xtime_t remoteDate = 0;
  int remoteLength = 0;
  int status =
      _DBFileOpen(handle, remoteName, DB_MODE_WRITE, fileDate, &remoteDate, &remoteLength);
  if (status != 0) {
    _errmsg("dmwclnt: _SendFile - can't open remote file code=%x (%s)\n", status, path);
    return -1;
  }
  Upload upload{handle, buffer, blockSize, path, stop};
  if (force) {
    upload.Run(0);
  } else if (NeedsSending(fileDate, fileLength, remoteDate, remoteLength)) {
    bool resume = fileDate == remoteDate && remoteLength > 0 && remoteLength < fileLength;
    upload.Run(resume ? remoteLength : 0);
  } else {
    upload.sent = fileLength;
  }
  if (fileDate < remoteDate) {
    _errmsg("dmwclnt: _SendFile - remote file is newer then local %s\n", path);
    _DebugOut(9, "dmwclnt: _SendFile - remote = %s (%x)\n", DateText(remoteDate).c_str(),
              static_cast<unsigned>(remoteDate));
    _DebugOut(9, "dmwclnt: _SendFile - %s (%x)\n", DateText(fileDate).c_str(),
              static_cast<unsigned>(fileDate));
  } else {
    _DebugOut(9, "dmwclnt: _SendFile - Rlen =%d FLen=%d\n", remoteLength,
              static_cast<int>(fileLength - upload.sent));
  }
  int closed = _DBFileClose(handle);
  return upload.failed ? -1 : closed;
}

int _SendFile(int slot, int objectClass, const char *directory, const char *name,
              const char *extension) {
  if (!directory || !name) return -1;
  DBHandle *handle = _DBCreate(slot, objectClass);
  if (!handle) return -1;
  char buffer[kBlockSize];
  char stop = 0;
  std::string path = LocalPath(directory, name, extension);
  int result = __SendFile(handle, 0, buffer, kBlockSize, path.c_str(), name, &stop);
  _DBClose(handle);
  return result;
}

int _RetrieveConfig(int slot, const char *name, int deleteFirst) {
  if (!name) return -1;
  _DebugOut(9, "dmwclnt: reading configuration for %s\n", name);
  const Settings &settings = Globals();
  const char *directory = TextOrEmpty(settings.cfgPath);
  if (deleteFirst) std::remove(ConfigFilePath(name).c_str());
  int own = -1;
  if (slot == -1) {
    if (!settings.server) return -1;
    own = slot = _DMWOpen(settings.server, settings.serverSocket);
    if (own < 0) return -1;
    if (_DMWConnectAgent(own, AgentTypeName()) != 0) {
      _DMWClose(own);
      return -1;
    }
  }
  int result = _RetrieveFile(slot, DB_CLASS_CONFIG, directory, name, ".cfg");
  if (own >= 0) _DMWClose(own);
  return result;
}

}  // extern "C"
