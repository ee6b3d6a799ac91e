#include "sockrecv.h"

#include <cerrno>
#include <cstring>

void MakeSockAddr(sockaddr_in *addr, const char *host, int port) {
  std::memset(addr, 0, sizeof *addr);
  addr->sin_family = AF_INET;
  addr->sin_port = htons(static_cast<unsigned short>(port));
  addr->sin_addr.s_addr = inet_addr(host);
  if (addr->sin_addr.s_addr != INADDR_NONE) return;
  hostent *entry = gethostbyname(host);
  if (entry && entry->h_addrtype == AF_INET && entry->h_length == 4 && entry->h_addr_list[0])
    std::memcpy(&addr->sin_addr, entry->h_addr_list[0], 4);
}

static int RecvSome(os::Socket s, char *buffer, int n) {
  for (;;) {
    int got = static_cast<int>(recv(os::Raw(s), buffer, n, 0));
#ifndef _WIN32
    if (got < 0 && errno == EINTR) continue;
#endif
    return got;
  }
}

int RecvTimed(os::Socket s, char *buffer, int n, uint32_t timeoutMs) {
  int have = 0;
  if (timeoutMs == 0) {
    while (have < n) {
      int got = RecvSome(s, buffer + have, n - have);
      if (got <= 0) return got;
      have += got;
    }
    return n;
  }
  const uint32_t start = os::TickCount();
  const uint32_t slice = timeoutMs <= 1000 ? timeoutMs : 1000;
  while (have < n) {
    // Unsigned difference: correct across the tick's 32-bit wrap.
    uint32_t elapsed = os::TickCount() - start;
    if (elapsed >= timeoutMs) return -1;
    uint32_t left = timeoutMs - elapsed;
    int ready = os::SocketWaitReadable(s, left < slice ? left : slice);
    if (ready < 0) return -1;
    if (ready == 0) continue;
    int got = RecvSome(s, buffer + have, n - have);
    if (got <= 0) return got;
    have += got;
  }
  return n;
}

static unsigned LittleU16(const char *p) {
  return static_cast<unsigned char>(p[0]) | static_cast<unsigned char>(p[1]) << 8;
}

int RecvPacket(os::Socket s, char *buffer, int maxLength, uint32_t timeoutMs) {
  if (maxLength < 3) return -1;
  int got = RecvTimed(s, buffer, 2, 0);
  if (got <= 0) return got;
  int length = static_cast<int>(LittleU16(buffer));
  if (length < 3 || length >= maxLength) return -1;
  got = RecvTimed(s, buffer + 2, length - 2, timeoutMs);
  if (got <= 0) return got;
  return length;
}

// Reads and drops n bytes; false when they can't all be read.
static bool Discard(os::Socket s, int n, uint32_t timeoutMs) {
  char scrap[512];
  while (n > 0) {
    int chunk = n < static_cast<int>(sizeof scrap) ? n : static_cast<int>(sizeof scrap);
    if (RecvTimed(s, scrap, chunk, timeoutMs) != chunk) return false;
    n -= chunk;
  }
  return true;
}

int RecvReply(os::Socket s, char *body, int capacity, int *received, uint32_t timeoutMs) {
  *received = 0;
  char header[4];
  if (RecvTimed(s, header, 4, timeoutMs) != 4) return -1;
  int total = static_cast<int>(LittleU16(header));
  int status = static_cast<short>(LittleU16(header + 2));
  if (total < 4) return -1;
  int bodyLength = total - 4;
  if (status == -1 || bodyLength > capacity) {
    if (!Discard(s, bodyLength, timeoutMs)) return -1;
    return status;
  }
  if (bodyLength > 0 && RecvTimed(s, body, bodyLength, timeoutMs) != bodyLength) return -1;
  *received = bodyLength;
  return status;
}
