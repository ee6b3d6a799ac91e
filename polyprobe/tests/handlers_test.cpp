#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "handlers.h"
#include "ping.h"
#include "snmp.h"

namespace {

const unsigned char kBuilt[] = {1, 2, 3};

const unsigned char *Builder(CheckItem *, ProtocolDesc *, int *sendLength, int *minimumReply,
                             int *bufferSize) {
  *sendLength = 3;
  *minimumReply = 1;
  *bufferSize = 8;
  return kBuilt;
}

int AcceptAll(CheckItem *, PendingRequest *, const unsigned char *, int received) { return received > 0; }
int AcceptNone(CheckItem *, PendingRequest *, const unsigned char *, int) { return 0; }

struct Fixture {
  Fixture() : registry(HandlerListCreate()), desc(ProtocolDescNew("Probe")) {
    desc->sendBytes = static_cast<unsigned char *>(std::malloc(2));
    desc->sendBytes[0] = 'h';
    desc->sendBytes[1] = 'i';
    desc->sendLength = 2;
  }
  ~Fixture() {
    HandlerListFree(registry);
    ProtocolDescFree(desc);
  }
  Collection *registry;
  ProtocolDesc *desc;
};

TEST(Handlers, ARegisteredHandlerBuildsAndJudgesInPlaceOfTheDescription) {
  Fixture f;
  int sendLength, minimumReply, bufferSize;
  const unsigned char *bytes = HandlerBuildRequest(f.registry, nullptr, f.desc, &sendLength, &minimumReply, &bufferSize);
  EXPECT_EQ(bytes, f.desc->sendBytes);  // no handler: the description's own
  EXPECT_EQ(sendLength, 2);
  const unsigned char reply[] = {'x'};
  EXPECT_EQ(HandlerMatchReply(f.registry, nullptr, f.desc, nullptr, reply, 1), 0);

  HandlerRegister(f.registry, "PROBE", Builder, AcceptAll);
  HandlerRegister(f.registry, "probe", Builder, AcceptNone);  // the first one stays
  EXPECT_EQ(f.registry->Count, 1);
  EXPECT_EQ(HandlerBuildRequest(f.registry, nullptr, f.desc, &sendLength, &minimumReply, &bufferSize), kBuilt);
  EXPECT_EQ(bufferSize, 8);
  EXPECT_EQ(HandlerMatchReply(f.registry, nullptr, f.desc, nullptr, reply, 1), 1);

  HandlerUnregister(f.registry, "Probe");
  EXPECT_EQ(HandlerFind(f.registry, "Probe"), nullptr);
  HandlerRegister(nullptr, "Probe", Builder, AcceptAll);  // no registry: nothing
}

// The built-in protocols: each registers its handler once and replaces a
// description of its name (in any letter case) by its own record.
TEST(Handlers, BuiltInProtocolsRegisterOnceAndReplaceTheirDescriptions) {
  struct Case {
    void (*registerBuiltin)(Collection *, LockedList *);
    void (*unregisterBuiltin)(Collection *, LockedList *);
    const char *name;
    int transport;
    int port;
    int sendLength;
    const char *info;
  } cases[] = {
      {PingRegister, PingUnregister, "PING", kIcmp, 0, 55, "Ping over Internet Message Control Protocol"},
      {SnmpRegister, SnmpUnregister, "SNMP GET", kUdp, 161, 4500, nullptr},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    Collection *registry = HandlerListCreate();
    LockedList *protocols = ProtocolListCreate(nullptr);
    std::string lower = c.name;
    for (char &letter : lower) letter = static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
    _Co_Add(protocols->items, ProtocolDescNew(lower.c_str()));
    for (int load = 0; load < 2; ++load) {
      c.registerBuiltin(registry, protocols);
      EXPECT_EQ(registry->Count, 1);
      ASSERT_EQ(protocols->items->Count, 1);
      auto *desc = static_cast<ProtocolDesc *>(_Co_Get(protocols->items, 0));
      EXPECT_STREQ(desc->name, c.name);
      EXPECT_EQ(desc->transport, c.transport);
      EXPECT_EQ(desc->port, c.port);
      EXPECT_EQ(desc->sendLength, c.sendLength);
      if (c.info)
        EXPECT_STREQ(desc->info, c.info);
      else
        EXPECT_EQ(desc->info, nullptr);
    }
    c.unregisterBuiltin(registry, protocols);
    EXPECT_EQ(HandlerFind(registry, c.name), nullptr);
    EXPECT_EQ(protocols->items->Count, 0);
    c.registerBuiltin(nullptr, protocols);  // the record alone
    EXPECT_EQ(protocols->items->Count, 1);
    HandlerListFree(registry);
    ProtocolListFree(protocols);
  }
}

}  // namespace
