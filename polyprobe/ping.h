// The built-in "PING" protocol: an ICMP echo request per sample and the
// echo reply that answers it.
//
// The 55-byte request carries the low 16 bits of the check id as its
// identifier and the check's sample index as its sequence, both in memory
// order (little-endian), then 12 zero bytes, 32 bytes 0xAA and 3 zero
// bytes, with the Internet checksum over all of them. A reply is the whole
// IP datagram; the ICMP message after its header is accepted when it is an
// echo reply, or the request itself seen on the loopback, carrying the
// check's identifier and current sequence.
#ifndef POLYPROBE_PING_H
#define POLYPROBE_PING_H

#include "handlers.h"

constexpr int kEchoRequestLength = 55;

// Registers the handler and replaces any "PING" description by the
// built-in record (ICMP, port 0, a 55-byte send buffer).
void PingRegister(Collection *registry, LockedList *protocols);
// Removes the handler (when a registry is given) and the record.
void PingUnregister(Collection *registry, LockedList *protocols);

const unsigned char *PingBuildRequest(CheckItem *check, ProtocolDesc *desc, int *sendLength,
                                      int *minimumReply, int *bufferSize);
int PingMatchReply(CheckItem *check, PendingRequest *request, const unsigned char *reply,
                   int received);

#endif
