// The process-wide host-name resolver: a cache of host entries keyed by
// name or IPv4 address, whose lookups run as jobs of a job server so that
// callers never block on the system's resolver, only on their own polling
// (100 ms steps, up to a time limit). Answers, failures included, are kept
// for an hour.
#ifndef POLYPROBE_RESOLVER_H
#define POLYPROBE_RESOLVER_H

#include <cstddef>
#include <cstdint>

// A deep copy of a system host entry; null-terminated lists.
struct HostEntry {
  char *name;
  char **aliases;
  int16_t addressType;
  int16_t addressLength;
  char **addresses;
};
void HostEntryFree(HostEntry *entry);

struct Resolver;
Resolver *ResolverCreate(int cacheSize, int workers);
void ResolverFree(Resolver *resolver);  // waits for running lookups

// A copy of the host entry (the caller's), or null when there is none
// within `seconds`.
HostEntry *ResolverLookupName(Resolver *resolver, const char *name, int seconds);
HostEntry *ResolverLookupAddress(Resolver *resolver, const unsigned char address[4], int family,
                                 int seconds);

// Writes `host` as dotted IPv4 text into out (size bytes, always
// terminated): copied when it already is a dotted address, else looked up
// with a limit of one second. Returns out, or null when there is no answer.
char *ResolveHostText(Resolver *resolver, char *out, const char *host, size_t size);

// The resolver the engines use: made by the library's module set-up, null
// before it (the engine then resolves names itself, blocking).
Resolver *ProcessResolver();
void SetProcessResolver(Resolver *resolver);

#endif
