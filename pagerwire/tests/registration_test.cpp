// _ICQ_RegisterNewUIN against the fake service's login server.
#include <gtest/gtest.h>

#include "host.h"
#include "packets.h"

namespace {

using oscar::Reply;
using oscar::Stage;

class Registration : public PagerwireTest {
 protected:
  int Register(const char *password = "newpass") {
    return api.registerUin(password, service.host().c_str(), ProgressHost::Callback, kUser);
  }
};

TEST_F(Registration, GivesTheNewUin) {
  EXPECT_EQ(Register(), int(oscar::Service::kNewUin));
  ASSERT_TRUE(service.WaitFor(Stage::goodbye));
  const std::vector<Stage> expected = {Stage::loginConnected, Stage::clientHello,
                                       Stage::registration, Stage::goodbye};
  std::vector<Stage> stages;
  for (const oscar::Received &r : service.Frames()) stages.push_back(r.stage);
  EXPECT_EQ(stages, expected);
  auto request = LoginFrames(Stage::registration);
  ASSERT_EQ(request.size(), 1u);
  const oscar::Frame &f = request[0].frame;
  EXPECT_EQ(f.requestId, 0u);
  EXPECT_EQ(oscar::GetBe16(f.raw, 4), 65 + 7);  // FLAP length: password length + 65
  EXPECT_EQ(f.body.substr(44, 10), oscar::Le16(8) + "newpass" + std::string(1, '\0'));
  EXPECT_EQ(oscar::GetBe32(f.body, 54), icq::kRegistrationCookie);
  EXPECT_EQ(oscar::GetBe32(f.body, 58), 0x0000CF01u);
  const uint16_t hello = LoginFrames(Stage::clientHello)[0].frame.sequence;
  EXPECT_EQ(f.sequence, uint16_t(hello + 1));
}

TEST_F(Registration, OtherFramesBeforeTheReplyKeepTheWaitGoing) {
  service.Set(Stage::registration, [](const oscar::Frame &f) {
    return Reply{{oscar::SnacFrame(1, 3, ""), oscar::Flap(5, "junk"),
                  oscar::RegistrationReply(555123, oscar::GetBe32(f.body, 20))}};
  });
  EXPECT_EQ(Register(), 555123);
}

TEST_F(Registration, SplitReplyIsRead) {
  service.SetWrites(oscar::Writes::split);
  EXPECT_EQ(Register(), int(oscar::Service::kNewUin));
}

struct RegistrationFault {
  const char *name;
  std::function<void(oscar::Service &)> setUp;
  int result;
};
void PrintTo(const RegistrationFault &f, std::ostream *os) { *os << f.name; }

class RegistrationFaults : public Registration,
                           public testing::WithParamInterface<RegistrationFault> {};

TEST_P(RegistrationFaults, GiveTheirCode) {
  GetParam().setUp(service);
  host.abortAfterWaits = 2;
  EXPECT_EQ(Register(), GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(
    Flows, RegistrationFaults,
    testing::Values(
        RegistrationFault{"wrong_cookie",
                          [](oscar::Service &s) {
                            s.Set(Stage::registration, [](const oscar::Frame &) {
                              return Reply{{oscar::RegistrationReply(555123, 0x11223344)}};
                            });
                          },
                          ICQ_ERR_REGISTRATION},
        RegistrationFault{"closed_after_request",
                          [](oscar::Service &s) { s.CloseAt(Stage::registration); },
                          ICQ_ERR_REGISTRATION},
        RegistrationFault{"silent",
                          [](oscar::Service &s) { s.Silence(Stage::registration); },
                          ICQ_ERR_ABORTED},
        RegistrationFault{"no_hello",
                          [](oscar::Service &s) { s.Silence(Stage::loginConnected); },
                          ICQ_ERR_NO_CONNECTION},
        RegistrationFault{"no_server", [](oscar::Service &s) { s.Stop(); },
                          ICQ_ERR_NO_CONNECTION}));

TEST_F(Registration, NullPasswordIsRefused) {
  EXPECT_EQ(api.registerUin(nullptr, service.host().c_str(), nullptr, 0), ICQ_ERR_ARGUMENT);
}

TEST_F(Registration, UnresolvableServerGivesMinus7) {
  EXPECT_EQ(api.registerUin("pw", "no-such-host.invalid", nullptr, 0), ICQ_ERR_HOST_UNKNOWN);
}

}  // namespace
