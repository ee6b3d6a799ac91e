// The handler registry of a probe engine: built-in handlers, by protocol
// name, for protocols whose request depends on the check. A registered
// handler builds the request and judges replies in place of the
// description's send bytes and patterns; the description of the same name
// still gives transport and port.
#ifndef POLYPROBE_HANDLERS_H
#define POLYPROBE_HANDLERS_H

#include "checks.h"
#include "collection.h"
#include "protocols.h"

struct PendingRequest;

// Builds the request for `check` (the engine's working copy) into the
// description's send buffer; returns the bytes.
using RequestBuilder = const unsigned char *(*)(CheckItem *check, ProtocolDesc *desc,
                                               int *sendLength, int *minimumReply,
                                               int *bufferSize);
// Nonzero for an accepted reply; `check` is the check in the check list.
using ReplyMatcher = int (*)(CheckItem *check, PendingRequest *request,
                             const unsigned char *reply, int received);

struct ProtocolHandler {
  char *name;
  RequestBuilder builder;
  ReplyMatcher matcher;
  // The matcher writes the check's reply list itself: the engine then
  // stores no raw reply over what it wrote.
  bool writesReplies;
};

Collection *HandlerListCreate();
void HandlerListFree(Collection *registry);
// Does nothing when a handler of that name (letter case ignored) exists.
void HandlerRegister(Collection *registry, const char *name, RequestBuilder builder,
                     ReplyMatcher matcher, bool writesReplies = false);
void HandlerUnregister(Collection *registry, const char *name);
ProtocolHandler *HandlerFind(Collection *registry, const char *name);

// The handler of the description's name, else the description itself.
const unsigned char *HandlerBuildRequest(Collection *registry, CheckItem *check,
                                         ProtocolDesc *desc, int *sendLength, int *minimumReply,
                                         int *bufferSize);
// Whether the handler of the description's name writes its own replies.
bool HandlerWritesReplies(Collection *registry, const ProtocolDesc *desc);
int HandlerMatchReply(Collection *registry, CheckItem *check, ProtocolDesc *desc,
                      PendingRequest *request, const unsigned char *reply, int received);


// A built-in protocol: its handler, and under the protocol list's lock a
// fresh record of its name (replacing any description of that name) with
// a zeroed send buffer of `sendSize` bytes, also the send length until the
// first request is built. A record that can't be made is left out.
struct BuiltinProtocol {
  const char *name;
  const char *info;  // null: none
  int transport;
  int port;
  int sendSize;
  RequestBuilder builder;
  ReplyMatcher matcher;
  bool writesReplies;
};
void BuiltinRegister(Collection *registry, LockedList *protocols, const BuiltinProtocol &builtin);
// Removes the handler (when a registry is given) and the record.
void BuiltinUnregister(Collection *registry, LockedList *protocols, const char *name);

#endif
