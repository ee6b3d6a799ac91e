#include "globals.h"

#include <cctype>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>

#include "cini.h"
#include "filehelp.h"
#include "log.h"

#if defined(_WIN32) && !defined(_WIN64)
// The host is a 32-bit program: the record's layout is its interface.
static_assert(sizeof(GlobalData) == 65);
static_assert(offsetof(GlobalData, Reserved) == 28);
static_assert(offsetof(GlobalData, EventListenerPort) == 32);
static_assert(offsetof(GlobalData, ProbesLoaded) == 48);
static_assert(offsetof(GlobalData, DebugLevel) == 52);
static_assert(offsetof(GlobalData, MaxNotifications) == 53);
static_assert(offsetof(GlobalData, AgentTypeName) == 61);
#endif

namespace {

const char kSection[] = "AGENT";
const char kDefaultServer[] = "127.0.0.1";
const char kDefaultAgentType[] = "server agent";

Settings g_settings;

// Replaces an owned copy; a copy that can't be made leaves the text unset.
void Assign(char *&slot, const char *value) {
  std::free(slot);
  slot = nullptr;
  if (!value) return;
  size_t length = std::strlen(value) + 1;
  slot = static_cast<char *>(std::malloc(length));
  if (slot) std::memcpy(slot, value, length);
}

std::string StripBackslash(std::string text) {
  if (!text.empty() && text.back() == kPathSeparator) text.pop_back();
  return text;
}

std::string AppendBackslash(std::string text) {
  if (text.empty() || text.back() != kPathSeparator) text += kPathSeparator;
  return text;
}

void ResetToDefaults(const char *baseDir, const char *computerName) {
  FreeGlobals();
  Assign(g_settings.baseDir, StripBackslash(baseDir ? baseDir : "").c_str());
  Assign(g_settings.server, kDefaultServer);
  Assign(g_settings.computerName, computerName);
  g_settings.serverSocket = 2001;
  g_settings.retryDelay = 15;
  g_settings.rcvTimeOutMs = 60000;
  g_settings.debugLevel = 0;
  LogSetDebugLevel(0);
  // A new start begins with no probes loaded and no listener bound.
  g_settings.probesLoaded = 0;
  g_settings.eventListenerPort = 0;
}

// DBPath and CFGPath: the value (default: the base directory's "local"),
// written back as read, its directories created, kept without a trailing
// separator.
void LoadPath(IniFile *ini, const char *key, char *&slot) {
  char path[XPATH_MAX];
  std::snprintf(path, sizeof path, "%slocal",
                AppendBackslash(TextOrEmpty(g_settings.baseDir)).c_str());
  IniReadStrN(ini, kSection, key, path, sizeof path);
  _IniWriteStr(ini, kSection, key, path);
  _XMakePath(path, 0);
  Assign(slot, StripBackslash(path).c_str());
}

int LoadInt(IniFile *ini, const char *key, int def, bool writeBack) {
  int value = _IniReadInt(ini, kSection, key, def);
  if (writeBack) _IniWriteInt(ini, kSection, key, value);
  return value;
}

void LoadFromFile(IniFile *ini) {
  LoadPath(ini, "DBPath", g_settings.dbPath);
  LoadPath(ini, "CFGPath", g_settings.cfgPath);

  char server[256];
  std::snprintf(server, sizeof server, "%s", kDefaultServer);
  IniReadStrN(ini, kSection, "Server", server, sizeof server);
  Assign(g_settings.server, server);
  _IniWriteStr(ini, kSection, "Server", server);

  g_settings.retryDelay = LoadInt(ini, "RetryDelay", 15, true);
  g_settings.rcvTimeOutMs = LoadInt(ini, "RcvTimeOut", 60, false) * 1000;
  g_settings.serverSocket = LoadInt(ini, "ServerSocket", 2001, true);
  // Held as a signed 8-bit value: its low byte, in memory and in the file.
  g_settings.debugLevel = static_cast<signed char>(_IniReadInt(ini, kSection, "DebugLevel", 0));
  _IniWriteInt(ini, kSection, "DebugLevel", g_settings.debugLevel);
  LogSetDebugLevel(g_settings.debugLevel);

  char name[256];
  std::snprintf(name, sizeof name, "%s", TextOrEmpty(g_settings.computerName));
  IniReadStrN(ini, kSection, "ComputerName", name, sizeof name);
  Assign(g_settings.computerName, name);
}

}  // namespace

Settings &Globals() { return g_settings; }

const char *AgentTypeName() {
  return g_settings.agentTypeName ? g_settings.agentTypeName : kDefaultAgentType;
}

void LoadGlobals(const char *baseDir, const char *computerName, const char *agentTypeName) {
  ResetToDefaults(baseDir, computerName && *computerName ? computerName : "UNKNOWN");
  Assign(g_settings.agentTypeName, agentTypeName);
  std::string configFile = AppendBackslash(TextOrEmpty(g_settings.baseDir)) + "dmwagent.cfg";
  Assign(g_settings.configFile, configFile.c_str());

  IniFile *ini = _IniCreate(configFile.c_str());
  if (!ini) return;  // the defaults stand; the paths stay unset
  LoadFromFile(ini);
  _DebugOut(9, "globals: DBPath =%s\n", g_settings.dbPath);
  _DebugOut(9, "globals: CFGPath=%s\n", g_settings.cfgPath);
  _DebugOut(9, "globals: CFG    =%s\n", g_settings.configFile);
  _IniUpdate(ini);
  _IniClose(ini);
}

void InitClientGlobals(const char *baseDir, const char *name) {
  ResetToDefaults(baseDir, name);
  Assign(g_settings.dbPath, g_settings.baseDir);
  Assign(g_settings.cfgPath, g_settings.baseDir);
}

void FreeGlobals() {
  for (char **text :
       {&g_settings.server, &g_settings.configFile, &g_settings.dbPath, &g_settings.cfgPath,
        &g_settings.baseDir, &g_settings.computerName, &g_settings.agentTypeName})
    Assign(*text, nullptr);
}

bool SameName(const char *a, const char *b) {
  for (; *a && *b; a++, b++)
    if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b)))
      return false;
  return *a == *b;
}

int PutInFreeSlot(Collection *list, void *item) {
  for (int slot = 0; slot < list->Count; slot++)
    if (!_Co_Get(list, slot)) {
      _Co_Put(list, slot, item);
      return slot;
    }
  return _Co_Add(list, item);
}

const char *OsTypeName(int code) {
  switch (code) {
    case 1:
      return "NetWare";
    case 2:
      return "WindowsNT";
    case 3:
      return "Linux";
    default:
      return "UNKNOWN";
  }
}

namespace {

// Client mode keeps its settings after _StopClient: they go when the
// library unloads.
struct ReleaseAtUnload {
  ~ReleaseAtUnload() { FreeGlobals(); }
} g_releaseAtUnload;

}  // namespace

extern "C" void _GetGlobalData(GlobalData *record) {
  if (!record) return;
  const Settings &s = g_settings;
  record->DBPath = s.dbPath;
  record->CFGPath = s.cfgPath;
  record->Server = s.server;
  record->BaseDir = s.baseDir;
  record->ConfigFile = s.configFile;
  record->ComputerName = s.computerName;
  record->ConfigExtension = ".cfg";
  record->Reserved = 0;
  record->EventListenerPort = s.eventListenerPort.load();
  record->ServerSocket = s.serverSocket;
  record->RetryDelay = s.retryDelay;
  record->MaxConnections = kMaxConnections;
  record->ProbesLoaded = s.probesLoaded.load();
  record->DebugLevel = s.debugLevel;
  record->MaxNotifications = kMaxNotifications;
  record->NotificationTimeOut = kNotificationTimeOut;
  record->AgentTypeName = AgentTypeName();
}

bool FileExists(const char *path) {
  XStat record;
  return XFileStat(path, &record) == 0;
}
