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
};

Collection *HandlerListCreate();
void HandlerListFree(Collection *registry);
// Does nothing when a handler of that name (letter case ignored) exists.
void HandlerRegister(Collection *registry, const char *name, RequestBuilder builder,
                     ReplyMatcher matcher);
void HandlerUnregister(Collection *registry, const char *name);
ProtocolHandler *HandlerFind(Collection *registry, const char *name);

// The handler of the description's name, else the description itself.
const unsigned char *HandlerBuildRequest(Collection *registry, CheckItem *check,
                                         ProtocolDesc *desc, int *sendLength, int *minimumReply,
                                         int *bufferSize);
int HandlerMatchReply(Collection *registry, CheckItem *check, ProtocolDesc *desc,
                      PendingRequest *request, const unsigned char *reply, int received);

#endif
