// _ICQ_Init and _ICQ_Connect against the fake service: the login, the
// session set-up at the BOS server, refusals, the login ports, and servers
// that stay silent, close or cut their frames differently.
#include <gtest/gtest.h>

#include "host.h"

namespace {

using oscar::Reply;
using oscar::Stage;

TEST(PagerwireInit, RefusesMissingTexts) {
  DynamicLibrary library(PAGERWIRE_LIBRARY);
  ASSERT_TRUE(library.loaded());
  PagerwireApi api(library);
  EXPECT_EQ(api.init("1", "pw", nullptr, nullptr, nullptr, 0), nullptr);
  EXPECT_EQ(api.init("1", nullptr, "n", nullptr, nullptr, 0), nullptr);
  EXPECT_EQ(api.init(nullptr, "pw", "n", nullptr, nullptr, 0), nullptr);
  EXPECT_EQ(api.connect(nullptr, 0), ICQ_ERR_ARGUMENT);
}

using Connect = PagerwireTest;

TEST_F(Connect, LogsInAndSetsUpTheSession) {
  IcqHandle *h = Open();
  ASSERT_EQ(api.connect(h, 0), ICQ_OK);

  // Login connected (2), login accepted (3), and the user value each time.
  ASSERT_GE(host.statuses.size(), 2u);
  EXPECT_EQ(std::vector<int>(host.statuses.begin(), host.statuses.begin() + 2),
            (std::vector<int>{ICQ_STATUS_LOGIN_CONNECTED, ICQ_STATUS_LOGIN_ACCEPTED}));
  for (int user : host.users) EXPECT_EQ(user, kUser);

  ASSERT_TRUE(service.WaitFor(Stage::goodbye));
  auto login = LoginFrames(Stage::login);
  ASSERT_EQ(login.size(), 1u);
  EXPECT_EQ(oscar::TlvValue(login[0].frame.data, 1, 4), kUin);
  EXPECT_EQ(oscar::Hex(oscar::TlvValue(login[0].frame.data, 2, 4)), "ED 24 A4 77 5E A6");
  EXPECT_EQ(LoginFrames(Stage::goodbye).size(), 1u);
  EXPECT_EQ(LoginFrames(Stage::goodbye)[0].frame.sequence, uint16_t(login[0].frame.sequence + 1));

  // The cookie comes back to the BOS server, then the set-up in order.
  const std::vector<Stage> expected = {Stage::cookie,          Stage::familyVersions,
                                       Stage::rateRequest,     Stage::rateAcknowledge,
                                       Stage::selfInfo,        Stage::privacy,
                                       Stage::readyPrefix,     Stage::clientReady};
  EXPECT_EQ(BosStages(), expected);
  auto cookie = BosFrames(Stage::cookie);
  ASSERT_EQ(cookie.size(), 1u);
  EXPECT_EQ(oscar::TlvValue(cookie[0].frame.data, 6, 4), service.cookie());

  // One FLAP sequence on the connection, one step per frame.
  uint16_t next = cookie[0].frame.sequence;
  for (const oscar::Received &r : service.Frames()) {
    if (!r.bos || r.stage == Stage::bosConnected) continue;
    EXPECT_EQ(r.frame.sequence, next) << oscar::StageName(r.stage);
    next = uint16_t(r.frame.sequence + 1);
  }

  Disconnect(h);
  service.Stop();
  EXPECT_EQ(BosFrames(Stage::goodbye).size(), 1u);
}

TEST_F(Connect, SkipPrivacyLeavesOutThePrivacyRequest) {
  IcqHandle *h = Open();
  ASSERT_EQ(api.connect(h, 1), ICQ_OK);
  const std::vector<Stage> expected = {Stage::cookie,      Stage::familyVersions,
                                       Stage::rateRequest, Stage::rateAcknowledge,
                                       Stage::selfInfo,    Stage::readyPrefix,
                                       Stage::clientReady};
  EXPECT_EQ(BosStages(), expected);
}

TEST_F(Connect, WorksWithoutCallback) {
  IcqHandle *h = Open(false);
  EXPECT_EQ(api.connect(h, 0), ICQ_OK);
  EXPECT_TRUE(host.statuses.empty());
}

struct Refusal {
  const char *name;
  uint16_t error;
  bool withUrl;
  int result;
};
void PrintTo(const Refusal &r, std::ostream *os) { *os << r.name; }

class ConnectRefused : public PagerwireTest, public testing::WithParamInterface<Refusal> {};

TEST_P(ConnectRefused, GivesTheErrorAndLeavesTheHandleUnconnected) {
  const Refusal refusal = GetParam();
  service.Set(Stage::login, [refusal](const oscar::Frame &) {
    return Reply{{oscar::LoginRefused(kUin, refusal.error, refusal.withUrl)}};
  });
  IcqHandle *h = Open();
  EXPECT_EQ(api.connect(h, 0), refusal.result);
  EXPECT_EQ(host.statuses, std::vector<int>{ICQ_STATUS_LOGIN_CONNECTED});
  EXPECT_EQ(api.sendMessage(h, "4711", "hi"), ICQ_ERR_ARGUMENT);
  service.Stop();
  EXPECT_TRUE(BosFrames(Stage::bosConnected).empty());
}

INSTANTIATE_TEST_SUITE_P(Flows, ConnectRefused,
                         testing::Values(Refusal{"wrong_password", 5, false, ICQ_ERR_WRONG_PASSWORD},
                                         Refusal{"rate_limit", 0x18, false, ICQ_ERR_RATE_LIMITED},
                                         Refusal{"other", 1, false, ICQ_ERR_LOGIN_REFUSED},
                                         Refusal{"with_url", 5, true, ICQ_ERR_WRONG_PASSWORD}));

TEST_F(Connect, UnreadableLoginReplyGivesZero) {
  service.Set(Stage::login, [](const oscar::Frame &) {
    return Reply{{oscar::Flap(4, oscar::Tlv(1, kUin) + oscar::Tlv(9, "?"))}};
  });
  EXPECT_EQ(api.connect(Open(), 0), 0);
}

TEST_F(Connect, FailedConnectLeavesTheHandleUsable) {
  service.Set(Stage::login, [](const oscar::Frame &) {
    return Reply{{oscar::LoginRefused(kUin, 0x18, false)}};
  });
  IcqHandle *h = Open();
  ASSERT_EQ(api.connect(h, 0), ICQ_ERR_RATE_LIMITED);
  service.Set(Stage::login, [this](const oscar::Frame &) {
    return Reply{{oscar::LoginAccepted(kUin, service.host() + ":" + std::to_string(service.bosPort()),
                                       service.cookie())}};
  });
  EXPECT_EQ(api.connect(h, 0), ICQ_OK);
  EXPECT_EQ(api.sendMessage(h, "4711", "hi"), ICQ_MESSAGE_ACKNOWLEDGED);
}

TEST_F(Connect, OverlongPasswordIsRefusedBeforeAnyConnection) {
  const std::string password(70000, 'p');
  IcqHandle *h = api.init(kUin, password.c_str(), kNickname, service.host().c_str(), nullptr, 0);
  handles.push_back(h);
  EXPECT_EQ(api.connect(h, 0), ICQ_ERR_ARGUMENT);
  service.Stop();
  EXPECT_TRUE(service.Frames().empty());
}

TEST_F(Connect, UnresolvableHostGivesMinus7) {
  IcqHandle *h = api.init(kUin, kPassword, kNickname, "no-such-host.invalid", nullptr, 0);
  handles.push_back(h);
  EXPECT_EQ(api.connect(h, 0), ICQ_ERR_HOST_UNKNOWN);
}

TEST_F(Connect, NoServerGivesMinus4) {
  service.Stop();  // nothing listens on the service's address any more
  EXPECT_EQ(api.connect(Open(), 0), ICQ_ERR_NO_CONNECTION);
}

// The login server is silent, closes or answers with something else at each
// point of the login: the hello and the reply waits end the call.
struct LoginFault {
  const char *name;
  Stage stage;
  enum { silent, close, notHello } fault;
  int result;
};
void PrintTo(const LoginFault &f, std::ostream *os) { *os << f.name; }

class ConnectLoginFault : public PagerwireTest, public testing::WithParamInterface<LoginFault> {};

TEST_P(ConnectLoginFault, EndsTheCall) {
  const LoginFault f = GetParam();
  if (f.fault == LoginFault::silent) service.Silence(f.stage);
  if (f.fault == LoginFault::close) service.CloseAt(f.stage);
  if (f.fault == LoginFault::notHello)
    service.Set(f.stage, [](const oscar::Frame &) { return Reply{{oscar::SnacFrame(1, 3, "")}}; });
  host.abortAfterWaits = 2;
  IcqHandle *h = Open();
  EXPECT_EQ(api.connect(h, 0), f.result);
  EXPECT_EQ(api.sendMessage(h, "4711", "hi"), ICQ_ERR_ARGUMENT);
}

INSTANTIATE_TEST_SUITE_P(
    Flows, ConnectLoginFault,
    testing::Values(
        LoginFault{"silent_hello", Stage::loginConnected, LoginFault::silent, ICQ_ERR_NO_CONNECTION},
        LoginFault{"closed_before_hello", Stage::loginConnected, LoginFault::close,
                   ICQ_ERR_NO_CONNECTION},
        LoginFault{"other_frame_for_hello", Stage::loginConnected, LoginFault::notHello,
                   ICQ_ERR_NO_CONNECTION},
        LoginFault{"silent_reply", Stage::login, LoginFault::silent, ICQ_ERR_ABORTED},
        LoginFault{"closed_at_login", Stage::login, LoginFault::close, ICQ_ERR_CONNECTION_LOST}));

// Every step of the BOS set-up that goes wrong gives -4 and no session.
struct BosFault {
  Stage stage;
  bool close;  // else silent
};
void PrintTo(const BosFault &f, std::ostream *os) {
  *os << (f.close ? "close_at_" : "silent_at_") << oscar::StageName(f.stage);
}

class ConnectBosFault : public PagerwireTest, public testing::WithParamInterface<BosFault> {};

TEST_P(ConnectBosFault, GivesMinus4AndNoSession) {
  if (GetParam().close)
    service.CloseAt(GetParam().stage);
  else
    service.Silence(GetParam().stage);
  host.abortAfterWaits = 2;
  IcqHandle *h = Open();
  EXPECT_EQ(api.connect(h, 0), ICQ_ERR_NO_CONNECTION);
  EXPECT_EQ(api.sendMessage(h, "4711", "hi"), ICQ_ERR_ARGUMENT);
}

INSTANTIATE_TEST_SUITE_P(Flows, ConnectBosFault,
                         testing::Values(BosFault{Stage::bosConnected, false},
                                         BosFault{Stage::bosConnected, true},
                                         BosFault{Stage::cookie, false},
                                         BosFault{Stage::cookie, true},
                                         BosFault{Stage::rateRequest, false},
                                         BosFault{Stage::selfInfo, true},
                                         BosFault{Stage::clientReady, true}));

TEST_F(Connect, WrongCookieEndsTheSession) {
  service.Set(Stage::login, [this](const oscar::Frame &) {
    return Reply{{oscar::LoginAccepted(
        kUin, service.host() + ":" + std::to_string(service.bosPort()), "stale")}};
  });
  host.abortAfterWaits = 2;
  EXPECT_EQ(api.connect(Open(), 0), ICQ_ERR_NO_CONNECTION);
}

// The login ports are tried in their order until one connects.
class ConnectLoginPorts : public testing::TestWithParam<std::vector<uint16_t>> {};

TEST_P(ConnectLoginPorts, FindTheFirstListeningPort) {
  DynamicLibrary library(PAGERWIRE_LIBRARY);
  PagerwireApi api(library);
  oscar::Service service(GetParam());
  ASSERT_TRUE(service.listening());
  IcqHandle *h = api.init(kUin, kPassword, kNickname, service.host().c_str(), nullptr, 0);
  EXPECT_EQ(api.connect(h, 0), ICQ_OK);
  api.disconnect(h);
  auto frames = service.Frames();
  ASSERT_FALSE(frames.empty());
  EXPECT_EQ(frames[0].stage, Stage::loginConnected);
}

INSTANTIATE_TEST_SUITE_P(Flows, ConnectLoginPorts,
                         testing::Values(std::vector<uint16_t>{14316, 23443},
                                         std::vector<uint16_t>{15182},
                                         std::vector<uint16_t>{23443}));

TEST(ConnectLoginPortsOrder, TakesTheEarliestPortOfTheTable) {
  // Two services on one address would need two processes; instead the
  // service listens on a later port and an earlier one, and only the
  // earlier one may see the login.
  DynamicLibrary library(PAGERWIRE_LIBRARY);
  PagerwireApi api(library);
  oscar::Service service({23443, 14316});
  ASSERT_TRUE(service.listening());
  IcqHandle *h = api.init(kUin, kPassword, kNickname, service.host().c_str(), nullptr, 0);
  EXPECT_EQ(api.connect(h, 0), ICQ_OK);
  api.disconnect(h);
  service.Stop();
  auto logins = service.FramesAt(Stage::login);
  ASSERT_EQ(logins.size(), 1u);
  EXPECT_EQ(logins[0].port, 14316);
}

// However the service cuts its writes, each frame is handled once.
class ConnectWrites : public PagerwireTest, public testing::WithParamInterface<oscar::Writes> {};

TEST_P(ConnectWrites, SetUpTheSession) {
  service.SetWrites(GetParam());
  IcqHandle *h = Open();
  ASSERT_EQ(api.connect(h, 0), ICQ_OK);
  EXPECT_EQ(api.sendMessage(h, "4711", "hi"), ICQ_MESSAGE_ACKNOWLEDGED);
  EXPECT_EQ(BosFrames(Stage::familyVersions).size(), 1u);
  EXPECT_EQ(BosFrames(Stage::clientReady).size(), 1u);
}

std::string WritesName(const testing::TestParamInfo<oscar::Writes> &info) {
  static const char *const kNames[] = {"whole", "merged", "split"};
  return kNames[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Flows, ConnectWrites,
                         testing::Values(oscar::Writes::whole, oscar::Writes::merged,
                                         oscar::Writes::split),
                         WritesName);

TEST_F(Connect, HandlesTheWholeSetUpInOneWrite) {
  // The hello, the login reply and, at the BOS server, the hello with the
  // whole set-up arrive merged; each frame still gets its one answer.
  service.SetWrites(oscar::Writes::merged);
  service.Set(Stage::loginConnected, [this](const oscar::Frame &) {
    return Reply{{oscar::Hello(),
                  oscar::LoginAccepted(kUin,
                                       service.host() + ":" + std::to_string(service.bosPort()),
                                       service.cookie())}};
  });
  service.Silence(Stage::login);
  service.Set(Stage::bosConnected, [](const oscar::Frame &) {
    return Reply{{oscar::Hello(), oscar::SnacFrame(1, 3, ""), oscar::SnacFrame(1, 0x18, ""),
                  oscar::SnacFrame(1, 7, ""), oscar::SnacFrame(1, 0x0F, ""),
                  oscar::SnacFrame(0x0B, 2, "")}};
  });
  for (Stage s : {Stage::cookie, Stage::familyVersions, Stage::rateRequest, Stage::selfInfo,
                  Stage::privacy, Stage::clientReady})
    service.Silence(s);
  IcqHandle *h = Open();
  ASSERT_EQ(api.connect(h, 0), ICQ_OK);
  service.Stop();
  const std::vector<Stage> expected = {Stage::cookie,          Stage::familyVersions,
                                       Stage::rateRequest,     Stage::rateAcknowledge,
                                       Stage::selfInfo,        Stage::privacy,
                                       Stage::readyPrefix,     Stage::clientReady};
  EXPECT_EQ(BosStages(), expected);
}

}  // namespace
