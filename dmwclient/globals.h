// The library's process-wide settings and the record the host reads them
// through.
//
// Agent mode (LoadGlobals) reads section AGENT of dmwagent.cfg in the base
// directory and writes it back with every default filled in; client mode
// (InitClientGlobals) derives everything from the base directory. The
// settings are set before any thread starts and only read afterwards; the
// event listener port and the probes-loaded counter alone change while the
// library runs. Messages start with "globals:".
#ifndef DMWCLIENT_GLOBALS_H
#define DMWCLIENT_GLOBALS_H

#include <atomic>
#include <cstddef>

#include "collection.h"
#include "export.h"

#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';  // the native build's test paths
#endif

constexpr int kMaxConnections = 50;
constexpr int kMaxNotifications = 10;
constexpr int kNotificationTimeOut = 15;

struct Settings {
  char *baseDir = nullptr;     // no trailing separator
  char *configFile = nullptr;  // agent mode only
  char *dbPath = nullptr;
  char *cfgPath = nullptr;
  char *server = nullptr;
  char *computerName = nullptr;
  char *agentTypeName = nullptr;  // null: "server agent"
  int serverSocket = 2001;
  int retryDelay = 15;       // seconds
  int rcvTimeOutMs = 60000;  // reply time-out of every request
  signed char debugLevel = 0;
  std::atomic<int> probesLoaded{0};
  std::atomic<int> eventListenerPort{0};
};

Settings &Globals();
const char *AgentTypeName();  // the set name or "server agent"

void LoadGlobals(const char *baseDir, const char *computerName, const char *agentTypeName);
void InitClientGlobals(const char *baseDir, const char *name);
void FreeGlobals();

const char *OsTypeName(int code);

// Helpers every module of the library shares.
// A setting's text for a message: "" when it is unset.
inline const char *TextOrEmpty(const char *text) { return text ? text : ""; }
bool FileExists(const char *path);
// Host, event and component names compare without regard to case.
bool SameName(const char *a, const char *b);
// Puts the item into the first null slot below Count, or appends it;
// returns the slot, or -1 when the list refused it (and released the item).
int PutInFreeSlot(Collection *list, void *item);

// What _GetGlobalData gives the host: packed, with the library's own
// strings, which the host must neither free nor change.
#pragma pack(push, 1)
typedef struct GlobalData {
  const char *DBPath;
  const char *CFGPath;
  const char *Server;
  const char *BaseDir;
  const char *ConfigFile;
  const char *ComputerName;
  const char *ConfigExtension;  // ".cfg"
  int Reserved;                 // always 0
  int EventListenerPort;
  int ServerSocket;
  int RetryDelay;
  int MaxConnections;
  int ProbesLoaded;
  signed char DebugLevel;
  int MaxNotifications;
  int NotificationTimeOut;
  const char *AgentTypeName;
} GlobalData;
#pragma pack(pop)

extern "C" NETMON_EXPORT void _GetGlobalData(GlobalData *record);

#endif
