// Fuzz target: any bytes as an SNMP response, read and then judged for a
// check whose id and parameter the response can name: its entries are
// written, or an object id is cut from its parameter, and the next request
// is built from what is left.
#include <cstdint>
#include <cstdlib>

#include "snmp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  int length = size > 4096 ? 4096 : static_cast<int>(size);
  SnmpResponse response;
  if (SnmpParseResponse(data, length, &response)) SnmpResponseFree(&response);

  static Collection *registry = HandlerListCreate();
  static LockedList *protocols = [] {
    LockedList *list = ProtocolListCreate(nullptr);
    SnmpRegister(registry, list);
    return list;
  }();
  CheckItem *check = CheckNew("127.0.0.1", "SNMP GET", "1.3.6.1.2.1.1.3;1.3.6.1.9.9.0;1.3", 1000,
                              250, 1, true);
  if (!check) return 0;
  check->id = 1;  // within reach of a one-byte request id
  ProtocolDesc *desc = ProtocolFind(protocols, "SNMP GET");
  for (int round = 0; round < 2; ++round) {
    HandlerMatchReply(registry, check, desc, nullptr, data, length);
    int sendLength, minimumReply, bufferSize;
    HandlerBuildRequest(registry, check, desc, &sendLength, &minimumReply, &bufferSize);
  }
  CheckFree(check);
  return 0;
}
