// Fuzz target: a description file of any content, plain or scrambled, is
// loaded, and every description's request values and matcher are used on
// the input itself as a reply.
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "log.h"
#include "protocols.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static const std::string path = "/tmp/polyprobe-fuzz-" + std::to_string(getpid()) + ".dat";
  LogSetHook([](int, const char *) {});
  FILE *file = std::fopen(path.c_str(), "wb");
  if (!file) return 0;
  std::fwrite(data, 1, size, file);
  std::fclose(file);
  LockedList *list = ProtocolListCreate(path.c_str());
  if (Collection *items = LockedListLock(list)) {
    for (int i = 0; i < items->Count; ++i) {
      auto *desc = static_cast<ProtocolDesc *>(_Co_Get(items, i));
      int sendLength, minimumReply, bufferSize;
      ProtocolDescRequest(desc, &sendLength, &minimumReply, &bufferSize);
      ProtocolDescMatch(desc, data, static_cast<int>(size));
    }
    LockedListUnlock(list);
  }
  ProtocolListFree(list);
  return 0;
}
