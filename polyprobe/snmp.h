// The built-in "SNMP GET" protocol: one SNMPv1 GetNextRequest per sample
// for the object ids of the check's parameter (dotted decimal, separated
// by ';'), sent with the community "orchid" to UDP port 161, and the
// GetResponse that answers it.
//
// The request id is the check id. An accepted response (error status 0)
// writes one text entry per object id into the check's reply list, which
// then stays the check's result:
//   <SNMP oid="1.3.6.1.2.1.1.3.0" val="1A2B">   the value in upper-case hex,
//                                               '-' before a negative one
//   <SNMP oid="..." error="1">                  a first value that is 0 or
//                                               not a number
// A response with an error status names the object id in error: it is cut
// from the parameter and its entry reads error="2"; the response is not
// accepted. BER is written and read by hand, lengths checked against the
// data at every step.
#ifndef POLYPROBE_SNMP_H
#define POLYPROBE_SNMP_H

#include <cstdint>

#include "handlers.h"

constexpr int kSnmpSendBufferSize = 4500;
constexpr int kSnmpMostOidComponents = 128;

struct SnmpVarbind {
  uint32_t components[kSnmpMostOidComponents];
  int count;
  uint64_t value;  // two's complement when signed
  bool isSigned;
};

struct SnmpResponse {
  int64_t version;
  char community[64];  // cut to fit
  unsigned char pduTag;
  int64_t requestId;
  int64_t errorStatus;
  int64_t errorIndex;
  SnmpVarbind *varbinds;  // heap; the varbinds read before the data ended
  int varbindCount;
};

// Reads a response up to its varbinds; false when it is 22 bytes or
// shorter, or malformed before them. Free a parsed response with
// SnmpResponseFree.
bool SnmpParseResponse(const unsigned char *bytes, int length, SnmpResponse *response);
void SnmpResponseFree(SnmpResponse *response);

// Registers the handler and replaces any "SNMP GET" description by the
// built-in record (UDP, port 161, a 4500-byte send buffer).
void SnmpRegister(Collection *registry, LockedList *protocols);
void SnmpUnregister(Collection *registry, LockedList *protocols);

// The request for the check's parameter and id in the record's send
// buffer; all three outputs are 0 when there is nothing to send (no
// object id, or a message that would not fit the buffer).
const unsigned char *SnmpBuildRequest(CheckItem *check, ProtocolDesc *desc, int *sendLength,
                                      int *minimumReply, int *bufferSize);
// 1 for an accepted response; the caller holds the check list's lock.
int SnmpMatchReply(CheckItem *check, PendingRequest *request, const unsigned char *reply,
                   int received);

#endif
