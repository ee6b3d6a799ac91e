#include "tmpmgr.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "cini.h"
#include "collection.h"
#include "filehelp.h"
#include "globals.h"
#include "log.h"
#include "os.h"
#include "oswrap.h"

namespace {

constexpr int kRemoveTries = 6;
constexpr uint32_t kRemovePauseMs = 3000;

// Guards the map; it lives as long as the library, so a call racing with
// the tear-down finds the map gone.
Sem *MapLock() {
  static LifetimeLock lock;
  return lock.get();
}

IniFile *g_map = nullptr;  // under MapLock; null while not set up
std::string g_tempDir;     // DBPath's "temp" directory

std::string TempPath(const std::string &name) { return g_tempDir + kPathSeparator + name; }

char *HeapCopy(const std::string &text) {
  auto *copy = static_cast<char *>(std::malloc(text.size() + 1));
  if (copy) std::memcpy(copy, text.c_str(), text.size() + 1);
  return copy;
}

struct Entry {
  std::string target;
  std::string name;
};

// The map's entries, as its "target=name" lines give them.
template <typename Visit>
void ForEachEntry(Visit visit) {
  Collection *lines = _Co_Create(10, 10, nullptr);
  _IniReadSection(g_map, nullptr, lines);
  for (int i = 0; lines && i < lines->Count; i++) {
    std::string line = static_cast<const char *>(_Co_Get(lines, i));
    size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    std::string target = line.substr(0, equals), name = line.substr(equals + 1);
    target.erase(0, target.find_first_not_of(' '));
    target.erase(target.find_last_not_of(' ') + 1);
    name.erase(name.find_last_not_of(' ') + 1);
    visit(Entry{target, name});
  }
  _Co_Free(lines);
}

// Drops the entries whose temporary file is gone.
void Purge() {
  ForEachEntry([](const Entry &entry) {
    if (FileExists(TempPath(entry.name).c_str())) return;
    _DebugOut(2, "tmpmgr: removed file entry %s\n", entry.target.c_str());
    _IniDeleteKey(g_map, nullptr, entry.target.c_str());
  });
  _IniUpdate(g_map);
}

// A name in the temp directory that no file has yet.
std::string UniqueName() {
  static std::atomic<uint32_t> next{static_cast<uint32_t>(std::time(nullptr)) * 2654435761u};
  for (;;) {
    char name[16];
    std::snprintf(name, sizeof name, "dmw%08x.tmp", static_cast<unsigned>(next++));
    if (!FileExists(TempPath(name).c_str())) return name;
    _DebugOut(2, "tmpmgr: temp file exist %s\n", TempPath(name).c_str());
  }
}

bool RemoveWithRetries(const std::string &path) {
  for (int attempt = 1; attempt <= kRemoveTries; attempt++) {
    if (std::remove(path.c_str()) == 0 || !FileExists(path.c_str())) return true;
    if (attempt < kRemoveTries) os::SleepMs(kRemovePauseMs);
  }
  return false;
}

// Renames, or where a rename can't (another volume) copies and deletes.
bool MoveIntoPlace(const std::string &from, const std::string &to) {
  if (std::rename(from.c_str(), to.c_str()) == 0) return true;
  if (XCopyFile(to.c_str(), from.c_str()) != 0 ||
      XGetFileSize(to.c_str()) != XGetFileSize(from.c_str())) {
    std::remove(to.c_str());
    return false;
  }
  std::remove(from.c_str());
  return true;
}

// The target whose entry names this temporary file (by its file-name
// part); empty when none does. The caller holds MapLock.
std::string TargetOf(const char *temporaryPath) {
  const char *slash = std::strrchr(temporaryPath, kPathSeparator);
  std::string name = slash ? slash + 1 : temporaryPath;
  std::string target;
  ForEachEntry([&](const Entry &entry) {
    if (target.empty() && SameName(entry.name.c_str(), name.c_str())) target = entry.target;
  });
  return target;
}

void DropEntry(const std::string &target) {
  _IniDeleteKey(g_map, nullptr, target.c_str());
  _IniUpdate(g_map);
}

}  // namespace

int TmpMgrInit() {
  SemLocked locked(MapLock());
  if (!locked.held()) {
    _errmsg("tmpmgr: can't create semaphore\n");
    return -1;
  }
  if (g_map) return 0;
  std::string dbPath = TextOrEmpty(Globals().dbPath);
  g_tempDir = dbPath + kPathSeparator + "temp";
  std::string made = g_tempDir;  // _XMakePath may change the text's case
  _XMakePath(&made[0], 0);
  std::string mapPath = dbPath + kPathSeparator + "tmpmgr.cfg";
  g_map = _IniCreate(mapPath.c_str());
  if (!g_map) {
    _errmsg("tmpmgr: can't create tmpmgr.cfg file\n");
    return -1;
  }
  Purge();
  return 0;
}

void TmpMgrDone() {
  SemLocked locked(MapLock());
  _IniClose(g_map);
  g_map = nullptr;
}

char *TmpMgrGetTempName(const char *target) {
  if (!target) return nullptr;
  SemLocked locked(MapLock());
  if (!g_map) return nullptr;
  char name[XPATH_MAX] = "";
  IniReadStrN(g_map, nullptr, target, name, sizeof name);
  if (name[0]) return HeapCopy(TempPath(name));
  std::string fresh = UniqueName();
  _IniWriteStr(g_map, nullptr, target, fresh.c_str());
  _IniUpdate(g_map);
  return HeapCopy(TempPath(fresh));
}

int TmpMgrCommit(const char *temporaryPath) {
  if (!temporaryPath) return -1;
  SemLocked locked(MapLock());
  if (!g_map) return -1;
  if (!FileExists(temporaryPath)) {
    _DebugOut(2, "tmpmgr: temp file doesn't exist\n");
    return -1;
  }
  std::string target = TargetOf(temporaryPath);
  if (target.empty()) return -1;
  if (FileExists(target.c_str()) && !RemoveWithRetries(target)) {
    _DebugOut(2, "tmpmgr: can't remove %s\n", target.c_str());
    return -1;
  }
  std::string made = target;  // _XMakePath may change the text's case
  _XMakePath(&made[0], 1);
  if (!MoveIntoPlace(temporaryPath, target)) {
    _DebugOut(2, "tmpmgr: can't rename temp file %s -> %s\n", temporaryPath, target.c_str());
    return -1;
  }
  DropEntry(target);
  return 0;
}

void TmpMgrForget(const char *temporaryPath) {
  if (!temporaryPath) return;
  SemLocked locked(MapLock());
  if (!g_map) return;
  std::string target = TargetOf(temporaryPath);
  if (!target.empty()) DropEntry(target);
}
