// Server connection and wire protocol: every conversation with the trend
// server goes through here.
//
// Connections live in one table, shared by host (without regard to case)
// and port with reference counts; a connection's slot is its handle. Each
// connection carries a lock that lets one request at a time use its socket.
// Right after connecting the library sends the handshake line and then the
// identify request. A request is a u16 total length, u16 code, u16 reply
// capacity (0xFFFF: no reply is read) and a body; a reply is a u16 total
// length, i16 status and at most `capacity` body bytes. Packets of more
// than 65535 bytes are refused.
//
// Locking: the table's lock (CnAccess) is taken before a connection's lock.
// Finding a connection and counting it busy happen under the table's lock,
// so a connection is destroyed only after every request on it has left;
// once the table is torn down every call fails with -1. Messages start
// with "dmwclnt:".
#ifndef DMWCLIENT_DMWCLNT_H
#define DMWCLIENT_DMWCLNT_H

#include <atomic>

#include "export.h"
#include "filehelp.h"
#include "os.h"
#include "oswrap.h"

struct ServerConn {
  int refCount;                    // _DMWOpen calls sharing the connection
  std::atomic<int> busy;           // requests that found it and have not left
  int port;
  std::atomic<os::Socket> socket;  // 0 once closed, -1 after a failed reconnect
  Sem *lock;                       // one request at a time
  char *host;                      // as given to _DMWOpen
  std::atomic<bool> closing;       // being closed or torn down: no new requests
  std::atomic<bool> shut;          // its socket was shut by a stop (until a reconnect)
};

enum { DMW_NO_REPLY = 0xFFFF, DMW_MAX_PACKET = 0xFFFF, DMW_REQUEST_HEADER = 6 };

int ConnTableInit();  // 0, or -1 when the table can't be made
void ConnTableDone(); // closes every connection, waiting for requests on it
// The start of a tear-down: shuts every connection's socket at once, without
// waiting for the table's lock, and lets no new socket open until the next
// ConnTableInit; requests waiting on the server fail.
void ShutAllConnections();

int SendAlertRequest(int slot, xtime_t time, int type, const void *data, int length);
// The most data one alert request carries.
enum { DMW_MAX_ALERT_DATA = DMW_MAX_PACKET - DMW_REQUEST_HEADER - 12 };

// Shuts the slot's socket both ways, so that a request waiting on it fails
// at once (a thread's stop uses it); the slot stays, and its next
// _DMWOpen reconnects.
void ShutConnection(int slot);

extern "C" {

NETMON_EXPORT int _DMWOpen(const char *host, int port);
NETMON_EXPORT void _DMWClose(int slot);
NETMON_EXPORT ServerConn *__DMWLockConn(int slot);
NETMON_EXPORT void __DMWReleaseConn(ServerConn *conn);
NETMON_EXPORT int __DMWCheckConn(int slot);
NETMON_EXPORT int __DMWConnSocket(int slot);
// Sends the packet (its length and code filled in by the caller, the
// capacity field by this call) and reads the reply into `reply` when
// capacity is given and is neither negative nor 0xFFFF; a capacity above
// 0xFFFF is taken as 0xFFFE. Returns the reply's status, 0 when no reply
// is read, -1 on failure; *capacity becomes the body bytes received (0
// unless the status is 0).
NETMON_EXPORT int _DMWRequest(int slot, char *packet, int length, char *reply, int *capacity);

NETMON_EXPORT int _DMWRegisterAgent(int slot, const char *name);
NETMON_EXPORT int _DMWUnregisterAgent(int slot, const char *name);
NETMON_EXPORT int _DMWConnectAgent(int slot, const char *name);
NETMON_EXPORT int _DMWConnectClient(int slot);
NETMON_EXPORT int _DMWConnectConsole(int slot, const char *name);
NETMON_EXPORT int _DMWSetPassword(int slot, const char *name, const char *password);
NETMON_EXPORT int _DMWGetStatus(int slot, int *a, int *b, int *c, int *d, int *e);

NETMON_EXPORT int _RObjCreate(int slot, int objectClass, const void *data, int length,
                              int *objectId);
NETMON_EXPORT int _RObjRequest(int slot, int object, int method, const void *data, int length,
                               char *reply, int *replyLength);
NETMON_EXPORT int _RObjClose(int slot, int object);

NETMON_EXPORT int _cfgman_GetProfiles(int slot, char *reply, int *replyLength);
NETMON_EXPORT int _cfgman_GetNodes(int slot, char *reply, int *replyLength);
NETMON_EXPORT int _cfgman_GetAlerts(int slot, char *reply, int *replyLength);
NETMON_EXPORT int _cfgman_Mgr(int slot, int manager, int operation, const char *name, char *data,
                              int *dataLength);
NETMON_EXPORT int _cfgman_ProfileMgr(int slot, int operation, const char *name, char *data,
                                     int *dataLength);
NETMON_EXPORT int _cfgman_NodeMgr(int slot, int operation, const char *name, char *data,
                                  int *dataLength);

}  // extern "C"

#endif
