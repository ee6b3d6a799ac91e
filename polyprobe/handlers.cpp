#include "handlers.h"

#include <cstdlib>

#include "text.h"

static void HandlerFree(void *item) {
  auto *handler = static_cast<ProtocolHandler *>(item);
  std::free(handler->name);
  std::free(handler);
}

Collection *HandlerListCreate() { return _Co_Create(1, 1, HandlerFree); }

void HandlerListFree(Collection *registry) { _Co_Free(registry); }

ProtocolHandler *HandlerFind(Collection *registry, const char *name) {
  if (!registry) return nullptr;
  for (int i = 0; i < registry->Count; ++i) {
    auto *handler = static_cast<ProtocolHandler *>(_Co_Get(registry, i));
    if (handler && EqualNoCase(handler->name, name)) return handler;
  }
  return nullptr;
}

void HandlerRegister(Collection *registry, const char *name, RequestBuilder builder,
                     ReplyMatcher matcher, bool writesReplies) {
  if (!registry || !name || HandlerFind(registry, name)) return;
  auto *handler = static_cast<ProtocolHandler *>(std::calloc(1, sizeof(ProtocolHandler)));
  if (!handler) return;
  handler->name = DupText(name);
  handler->builder = builder;
  handler->matcher = matcher;
  handler->writesReplies = writesReplies;
  if (!handler->name) {
    HandlerFree(handler);
    return;
  }
  _Co_Add(registry, handler);
}

void HandlerUnregister(Collection *registry, const char *name) {
  ProtocolHandler *handler = HandlerFind(registry, name);
  if (handler) _Co_DelItem(registry, handler);
}

const unsigned char *HandlerBuildRequest(Collection *registry, CheckItem *check,
                                         ProtocolDesc *desc, int *sendLength, int *minimumReply,
                                         int *bufferSize) {
  ProtocolHandler *handler = HandlerFind(registry, desc->name);
  if (handler) return handler->builder(check, desc, sendLength, minimumReply, bufferSize);
  return ProtocolDescRequest(desc, sendLength, minimumReply, bufferSize);
}

bool HandlerWritesReplies(Collection *registry, const ProtocolDesc *desc) {
  ProtocolHandler *handler = HandlerFind(registry, desc->name);
  return handler && handler->writesReplies;
}

int HandlerMatchReply(Collection *registry, CheckItem *check, ProtocolDesc *desc,
                      PendingRequest *request, const unsigned char *reply, int received) {
  ProtocolHandler *handler = HandlerFind(registry, desc->name);
  if (handler) return handler->matcher(check, request, reply, received);
  return ProtocolDescMatch(desc, reply, received);
}

void BuiltinRegister(Collection *registry, LockedList *protocols, const BuiltinProtocol &builtin) {
  HandlerRegister(registry, builtin.name, builtin.builder, builtin.matcher, builtin.writesReplies);
  ListGuard guard(protocols);
  if (!guard.items) return;
  ProtocolRemove(protocols, builtin.name);
  ProtocolDesc *desc = ProtocolDescNew(builtin.name);
  if (!desc) return;
  desc->transport = builtin.transport;
  desc->port = builtin.port;
  desc->sendLength = builtin.sendSize;
  desc->sendBytes = static_cast<unsigned char *>(std::calloc(static_cast<size_t>(builtin.sendSize), 1));
  desc->info = DupText(builtin.info);
  if (!desc->sendBytes || (builtin.info && !desc->info)) {
    ProtocolDescFree(desc);
    return;
  }
  _Co_Add(guard.items, desc);  // a refused add has freed the record
}

void BuiltinUnregister(Collection *registry, LockedList *protocols, const char *name) {
  HandlerUnregister(registry, name);
  ProtocolRemove(protocols, name);
}
