#include "resolver.h"

#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "jobserver.h"
#include "log.h"
#include "netsys.h"
#include "text.h"
#include "threads.h"

namespace {

constexpr uint32_t kExpiryMs = 3600000;
constexpr uint32_t kPollMs = 100;
enum Kind { kByAddress = 1, kByName = 2 };

struct ResolverEntry {
  std::atomic<uint32_t> completion{0};  // tick of completion, 0 while running
  int waiting = 0;                      // callers polling; under the cache lock
  HostEntry *host = nullptr;            // written before the completion tick
  int kind = 0;
  unsigned char address[4] = {};
  char *name = nullptr;
};

void EntryFree(void *item) {
  auto *entry = static_cast<ResolverEntry *>(item);
  HostEntryFree(entry->host);
  std::free(entry->name);
  delete entry;
}

char **CopyList(char *const *list, size_t itemLength) {
  size_t count = 0;
  while (list && list[count]) ++count;
  auto **copy = static_cast<char **>(std::calloc(count + 1, sizeof(char *)));
  if (!copy) return nullptr;
  for (size_t i = 0; i < count; ++i) {
    size_t length = itemLength ? itemLength : std::strlen(list[i]) + 1;
    copy[i] = static_cast<char *>(std::malloc(length));
    if (!copy[i]) return copy;  // the caller sees the shorter list
    std::memcpy(copy[i], list[i], length);
  }
  return copy;
}

void FreeList(char **list) {
  for (size_t i = 0; list && list[i]; ++i) std::free(list[i]);
  std::free(list);
}

HostEntry *CopyHostEntry(const hostent *system) {
  if (!system || system->h_length < 0) return nullptr;
  auto *copy = static_cast<HostEntry *>(std::calloc(1, sizeof(HostEntry)));
  if (!copy) return nullptr;
  copy->name = DupText(system->h_name);
  copy->aliases = CopyList(system->h_aliases, 0);
  copy->addressType = static_cast<int16_t>(system->h_addrtype);
  copy->addressLength = static_cast<int16_t>(system->h_length);
  copy->addresses = CopyList(system->h_addr_list, static_cast<size_t>(system->h_length));
  if (!copy->aliases || !copy->addresses) {
    HostEntryFree(copy);
    return nullptr;
  }
  return copy;
}

HostEntry *CopyOfCompleted(ResolverEntry *entry) {
  if (!entry->completion.load(std::memory_order_acquire) || !entry->host) return nullptr;
  const HostEntry *host = entry->host;
  hostent view{};
  view.h_name = host->name;
  view.h_aliases = host->aliases;
  view.h_addrtype = host->addressType;
  view.h_length = host->addressLength;
  view.h_addr_list = host->addresses;
  return CopyHostEntry(&view);
}

// The system's lookup, copied at once. Winsock keeps its answer per
// thread; the POSIX calls need the reentrant forms, since three lookups may
// run together.
HostEntry *SystemLookup(const ResolverEntry *entry) {
#if defined(_WIN32)
  const hostent *answer =
      entry->kind == kByAddress
          ? gethostbyaddr(reinterpret_cast<const char *>(entry->address), 4, AF_INET)
          : gethostbyname(entry->name);
  return CopyHostEntry(answer);
#else
  hostent result{};
  hostent *answer = nullptr;
  char scratch[8192];
  int error = 0;
  if (entry->kind == kByAddress)
    gethostbyaddr_r(entry->address, 4, AF_INET, &result, scratch, sizeof scratch, &answer, &error);
  else
    gethostbyname_r(entry->name, &result, scratch, sizeof scratch, &answer, &error);
  return CopyHostEntry(answer);
#endif
}

void LookupJob(void *argument) {
  auto *entry = static_cast<ResolverEntry *>(argument);
  bool sockets = os::SocketsStart();
  entry->host = SystemLookup(entry);
  if (sockets) os::SocketsStop();
  uint32_t now = os::TickCount();
  entry->completion.store(now ? now : 1, std::memory_order_release);
}

bool Completed(const ResolverEntry *entry) { return entry->completion.load(std::memory_order_acquire) != 0; }

bool Expired(const ResolverEntry *entry, uint32_t now) {
  return Completed(entry) && entry->waiting == 0 &&
         static_cast<uint32_t>(now - entry->completion.load()) > kExpiryMs;
}

bool SameKey(const ResolverEntry *entry, int kind, const void *key) {
  if (entry->kind != kind) return false;
  if (kind == kByAddress) return std::memcmp(entry->address, key, 4) == 0;
  return EqualNoCase(entry->name, static_cast<const char *>(key));
}

// Appends, making room by dropping the oldest completed entry no caller
// waits on while the append fails.
bool Append(Collection *cache, ResolverEntry *entry) {
  for (;;) {
    if (_Co_Insert(cache, cache->Count, entry) >= 0) return true;
    int oldest = -1;
    for (int i = 0; i < cache->Count && oldest < 0; ++i) {
      auto *candidate = static_cast<ResolverEntry *>(_Co_Get(cache, i));
      if (Completed(candidate) && candidate->waiting == 0) oldest = i;
    }
    if (oldest < 0) return false;
    _Co_Delete(cache, oldest);
  }
}

}  // namespace

struct Resolver {
  JobServer *jobs = nullptr;
  LockedList *cache = nullptr;
};

static std::atomic<Resolver *> g_processResolver{nullptr};

Resolver *ProcessResolver() { return g_processResolver.load(); }
void SetProcessResolver(Resolver *resolver) { g_processResolver.store(resolver); }

void HostEntryFree(HostEntry *entry) {
  if (!entry) return;
  std::free(entry->name);
  FreeList(entry->aliases);
  FreeList(entry->addresses);
  std::free(entry);
}

Resolver *ResolverCreate(int cacheSize, int workers) {
  auto *resolver = new (std::nothrow) Resolver;
  if (!resolver) return nullptr;
  resolver->jobs = JobServerCreate(workers, 100);
  resolver->cache = LockedListCreate(cacheSize, 1, EntryFree);
  if (!resolver->jobs || !resolver->cache) {
    ResolverFree(resolver);
    return nullptr;
  }
  return resolver;
}

void ResolverFree(Resolver *resolver) {
  if (!resolver) return;
  JobServerFree(resolver->jobs);
  LockedListFree(resolver->cache);
  delete resolver;
}

static ResolverEntry *NewEntry(int kind, const void *key) {
  auto *entry = new (std::nothrow) ResolverEntry;
  if (!entry) return nullptr;
  entry->kind = kind;
  if (kind == kByAddress) {
    std::memcpy(entry->address, key, 4);
  } else if (!(entry->name = DupText(static_cast<const char *>(key)))) {
    delete entry;
    return nullptr;
  }
  return entry;
}

static HostEntry *Lookup(Resolver *resolver, int kind, const void *key, int seconds) {
  if (!resolver) return nullptr;
  uint32_t start = os::TickCount();
  ResolverEntry *entry = nullptr;
  HostEntry *result = nullptr;
  {
    ListGuard guard(resolver->cache);
    Collection *cache = guard.items;
    if (!cache) return nullptr;
    for (int i = 0; i < cache->Count;) {
      if (Expired(static_cast<ResolverEntry *>(_Co_Get(cache, i)), start))
        _Co_Delete(cache, i);
      else
        ++i;
    }
    for (int i = 0; i < cache->Count && !entry; ++i) {
      auto *candidate = static_cast<ResolverEntry *>(_Co_Get(cache, i));
      if (SameKey(candidate, kind, key)) entry = candidate;
    }
    if (entry && Completed(entry)) {
      result = CopyOfCompleted(entry);
      // A cached failure makes the caller wait out its limit, as a lookup
      // that gives nothing does.
      if (result) return result;
    }
    if (!entry) {
      entry = NewEntry(kind, key);
      if (!entry || !Append(cache, entry)) {
        if (entry) EntryFree(entry);
        return nullptr;
      }
      if (!JobServerSubmit(resolver->jobs, LookupJob, entry)) {
        _Co_DelItem(cache, entry);
        return nullptr;
      }
    }
    ++entry->waiting;
  }
  uint32_t limit = static_cast<uint32_t>(seconds) * 1000;
  while (!result) {
    os::SleepMs(kPollMs);
    result = CopyOfCompleted(entry);
    if (static_cast<uint32_t>(os::TickCount() - start) >= limit) break;
  }
  {
    ListGuard guard(resolver->cache);
    --entry->waiting;
  }
  return result;
}

HostEntry *ResolverLookupName(Resolver *resolver, const char *name, int seconds) {
  if (!name) return nullptr;
  return Lookup(resolver, kByName, name, seconds);
}

HostEntry *ResolverLookupAddress(Resolver *resolver, const unsigned char address[4], int family,
                                 int seconds) {
  if (family != AF_INET) return nullptr;
  return Lookup(resolver, kByAddress, address, seconds);
}

// Four decimal parts of 0 to 255 joined by dots, nothing else.
static bool IsDottedAddress(const char *host) {
  int parts = 0;
  const char *p = host;
  for (;;) {
    if (!std::isdigit(static_cast<unsigned char>(*p))) return false;
    int value = 0, digits = 0;
    while (std::isdigit(static_cast<unsigned char>(*p)) && digits < 4) {
      value = value * 10 + (*p++ - '0');
      ++digits;
    }
    if (digits > 3 || value > 255) return false;
    ++parts;
    if (*p == '\0') return parts == 4;
    if (*p++ != '.' || parts == 4) return false;
  }
}

char *ResolveHostText(Resolver *resolver, char *out, const char *host, size_t size) {
  if (!out || !host || size == 0) return nullptr;
  if (IsDottedAddress(host)) {
    std::snprintf(out, size, "%s", host);
    return out;
  }
  HostEntry *entry = ResolverLookupName(resolver, host, 1);
  if (!entry) return nullptr;
  char *written = nullptr;
  if (entry->addressType == AF_INET && entry->addressLength == 4 && entry->addresses[0]) {
    const auto *a = reinterpret_cast<const unsigned char *>(entry->addresses[0]);
    std::snprintf(out, size, "%u.%u.%u.%u", a[0], a[1], a[2], a[3]);
    written = out;
  }
  HostEntryFree(entry);
  return written;
}
