// Socket helpers of the server protocol: IPv4 address resolution and the
// timed reads that every reply and event packet goes through. Lengths on the
// wire are little-endian u16. Each read writes only within the caller's
// capacity, whatever the peer announces.
#ifndef NETMON_COMMON_SOCKRECV_H
#define NETMON_COMMON_SOCKRECV_H

#include "netsys.h"
#include "os.h"

// Zero-fills addr, then takes host as a dotted address or, failing that, the
// first address the resolver gives. An unresolved name leaves the address
// 0xFFFFFFFF, which callers test.
void MakeSockAddr(sockaddr_in *addr, const char *host, int port);

// Reads exactly n bytes: n, or the recv result when it is 0 (peer closed) or
// negative, or -1 when timeoutMs passes first. 0 ms means no time limit.
int RecvTimed(os::Socket s, char *buffer, int n, uint32_t timeoutMs);

// Reads one packet whose u16 length counts its own two bytes: the length
// bytes without a time limit, the rest within timeoutMs. Returns the total
// length, or 0 or less when the connection closes, fails or times out, or
// the announced length is below 3 or not below maxLength.
int RecvPacket(os::Socket s, char *buffer, int maxLength, uint32_t timeoutMs);

// Reads one reply: a 4-byte header (u16 total length, i16 status) and, when
// the status is not -1 and the body fits capacity, the body. *received is
// the body bytes read. Returns the status, or -1 on a time-out, a close, a
// short body or a header shorter than itself. A body that is not kept is
// read and dropped, so the next reply starts where it should.
int RecvReply(os::Socket s, char *body, int capacity, int *received, uint32_t timeoutMs);

#endif
