// Feeds arbitrary bytes, as a peer would send them, through the packet and
// reply readers over a socket pair, with guard bytes after each buffer.
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "sockrecv.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size > 4096) return 0;  // stays within the socket buffer: one write
  int ends[2];
  if (socketpair(AF_UNIX, SOCK_STREAM, 0, ends) != 0) return 0;
  if (size) (void)!write(ends[1], data, size);
  shutdown(ends[1], SHUT_WR);

  constexpr int kPacketMax = 2048, kBodyCapacity = 100, kGuard = 32;
  char packet[kPacketMax + kGuard];
  char body[kBodyCapacity + kGuard];
  std::memset(packet, 0x5A, sizeof packet);
  std::memset(body, 0x5A, sizeof body);
  os::Socket s = static_cast<os::Socket>(ends[0]);
  int length = RecvPacket(s, packet, kPacketMax, 10);
  if (length > 0 && (length < 3 || length >= kPacketMax)) std::abort();
  int received = -1;
  for (int i = 0; i < 8; i++) {
    int status = RecvReply(s, body, kBodyCapacity, &received, 10);
    if (received < 0 || received > kBodyCapacity) std::abort();
    if (status == -1 && received != 0) std::abort();
  }
  for (int i = 0; i < kGuard; i++)
    if (packet[kPacketMax + i] != 0x5A || body[kBodyCapacity + i] != 0x5A) std::abort();
  close(ends[0]);
  close(ends[1]);
  return 0;
}
