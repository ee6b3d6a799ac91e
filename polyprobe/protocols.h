// Protocol descriptions: the protocol list of a monitor handle, loaded from
// the XML description file (stored scrambled by a byte-wise XOR unless it
// begins with '<'). A description gives the transport and port, the bytes
// to send and the receive patterns a reply must meet.
#ifndef POLYPROBE_PROTOCOLS_H
#define POLYPROBE_PROTOCOLS_H

#include <cstdint>

#include "collection.h"
#include "threads.h"

enum Transport { kTcp = 1, kUdp = 2, kIpx = 3, kIcmp = 4 };

struct ReceivePattern {
  int32_t start;    // first reply offset to compare at; -1 = any offset
  int32_t end;      // last offset; 0 = only the start offset
  unsigned char *bytes;
  int32_t compare;  // the comparison's required result, as a signed byte
  int32_t length;
};

struct ProtocolDesc {
  char *name;
  char *info;
  int32_t transport;
  int32_t port;
  unsigned char *sendBytes;
  int32_t sendLength;
  uint8_t checkAll;
  uint8_t textFlag;  // at least one text receive pattern
  Collection *patterns;  // text patterns first, then hexadecimal ones
};

LockedList *ProtocolListCreate(const char *path);
// Replaces the list's contents with the file's descriptions: their number,
// or -1 when the file can't be read or holds no description list (the list
// is left empty and the failure logged as an error).
int ProtocolListLoad(LockedList *list, const char *path);
void ProtocolListFree(LockedList *list);
// The first description of that name (letter case ignored), or null; the
// caller holds the list's lock while it uses it.
ProtocolDesc *ProtocolFind(LockedList *list, const char *name);
void ProtocolRemove(LockedList *list, const char *name);

ProtocolDesc *ProtocolDescNew(const char *name);
void ProtocolDescFree(void *desc);

// The send bytes (not copied) and what a reply needs: the bytes before it
// is judged and the size of its buffer.
const unsigned char *ProtocolDescRequest(const ProtocolDesc *desc, int *sendLength,
                                         int *minimumReply, int *bufferSize);
// 1 when the received bytes meet the receive patterns; never reads beyond
// `received` bytes.
int ProtocolDescMatch(const ProtocolDesc *desc, const unsigned char *reply, int received);

// The description file's transform, its own inverse.
void ScrambleData(char *buffer, int length);
// Reads at most 2n hex digits of `text` into n bytes of out.
void HexToBytes(unsigned char *out, const char *text, int n);

#endif
