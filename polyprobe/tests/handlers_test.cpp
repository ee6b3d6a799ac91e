#include <gtest/gtest.h>

#include "handlers.h"

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

}  // namespace
