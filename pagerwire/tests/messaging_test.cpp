// Messages, SMS, offline messages, unregistration and disconnection on a
// connected handle, against the fake service's BOS server.
#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <functional>

#include "host.h"
#include "loopback.h"
#include "netsys.h"

namespace {

using oscar::Reply;
using oscar::Stage;

using Messaging = PagerwireTest;

// ---- text messages ----------------------------------------------------------

TEST_F(Messaging, MessageIsAcknowledged) {
  IcqHandle *h = Connected();
  EXPECT_EQ(api.sendMessage(h, "4711", "0123456789"), ICQ_MESSAGE_ACKNOWLEDGED);
  auto sent = BosFrames(Stage::message);
  ASSERT_EQ(sent.size(), 1u);
  const std::string &body = sent[0].frame.body;
  EXPECT_EQ(body.substr(8, 7), oscar::Be16(1) + "\x04" + "4711");
  EXPECT_EQ(oscar::GetBe16(body, 17), 23);  // TLV 2 length
  EXPECT_EQ(body.substr(body.size() - 14), "0123456789" + oscar::Be16(6) + oscar::Be16(0));
  // Still connected: another message goes through.
  EXPECT_EQ(api.sendMessage(h, "4711", "again"), ICQ_MESSAGE_ACKNOWLEDGED);
}

TEST_F(Messaging, OtherFramesDoNotEndTheWait) {
  service.Set(Stage::message, [](const oscar::Frame &) {
    return Reply{{oscar::MessageAck("999"), oscar::IncomingMessage(1, "hello"),
                  oscar::SnacFrame(1, 0x0F, ""), oscar::MessageAck("4711")}};
  });
  IcqHandle *h = Connected();
  EXPECT_EQ(api.sendMessage(h, "4711", "hi"), ICQ_MESSAGE_ACKNOWLEDGED);
}

TEST_F(Messaging, MergedAndSplitAnswersAreEachHandledOnce) {
  // Two acknowledgements for two messages arrive in one write: the second
  // stays buffered and ends the next wait at once.
  IcqHandle *h = Connected();
  service.SetWrites(oscar::Writes::merged);
  service.Set(Stage::message, [](const oscar::Frame &) {
    return Reply{{oscar::MessageAck("4711"), oscar::MessageAck("4712")}};
  });
  EXPECT_EQ(api.sendMessage(h, "4711", "one"), ICQ_MESSAGE_ACKNOWLEDGED);
  service.Silence(Stage::message);
  host.abortAfterWaits = host.waits + 2;
  EXPECT_EQ(api.sendMessage(h, "4712", "two"), ICQ_MESSAGE_ACKNOWLEDGED);

  service.SetWrites(oscar::Writes::split);
  service.Set(Stage::message, [](const oscar::Frame &) {
    return Reply{{oscar::IncomingMessage(1, "x"), oscar::MessageAck("4713")}};
  });
  host.abortAfterWaits = 0;
  EXPECT_EQ(api.sendMessage(h, "4713", "three"), ICQ_MESSAGE_ACKNOWLEDGED);
}

TEST_F(Messaging, UnconnectedHandleSendsNothing) {
  IcqHandle *h = Open();
  EXPECT_EQ(api.sendMessage(h, "4711", "hi"), ICQ_ERR_ARGUMENT);
  EXPECT_EQ(api.sendSms(h, "+49", "hi"), ICQ_ERR_ARGUMENT);
  EXPECT_EQ(api.pullOffline(h), ICQ_ERR_ARGUMENT);
  EXPECT_EQ(api.unregisterUin(h), 0);
  EXPECT_EQ(api.sendMessage(nullptr, "4711", "hi"), ICQ_ERR_ARGUMENT);
  EXPECT_EQ(api.sendSms(nullptr, "+49", "hi"), ICQ_ERR_ARGUMENT);
  EXPECT_EQ(api.pullOffline(nullptr), ICQ_ERR_ARGUMENT);
  EXPECT_EQ(api.unregisterUin(nullptr), 0);
  service.Stop();
  EXPECT_TRUE(service.Frames().empty());
}

TEST_F(Messaging, NullArgumentsAreRefused) {
  IcqHandle *h = Connected();
  EXPECT_EQ(api.sendMessage(h, nullptr, "hi"), ICQ_ERR_ARGUMENT);
  EXPECT_EQ(api.sendMessage(h, "4711", nullptr), ICQ_ERR_ARGUMENT);
  EXPECT_EQ(api.sendSms(h, nullptr, "hi"), ICQ_ERR_ARGUMENT);
  EXPECT_EQ(api.sendSms(h, "+49", nullptr), ICQ_ERR_ARGUMENT);
}

TEST_F(Messaging, OverlongArgumentsAreRefusedAndNothingIsSent) {
  IcqHandle *h = Connected();
  const std::string uin(256, '1'), text(70000, 't'), nearlyFull(65500, 't');
  EXPECT_EQ(api.sendMessage(h, uin.c_str(), "hi"), ICQ_ERR_ARGUMENT);
  EXPECT_EQ(api.sendMessage(h, "4711", text.c_str()), ICQ_ERR_ARGUMENT);
  EXPECT_EQ(api.sendMessage(h, "4711", nearlyFull.c_str()), ICQ_ERR_ARGUMENT);
  EXPECT_EQ(api.sendSms(h, text.c_str(), "hi"), ICQ_ERR_ARGUMENT);
  EXPECT_TRUE(BosFrames(Stage::message).empty());
  EXPECT_TRUE(BosFrames(Stage::sms).empty());
  // The session is still there.
  EXPECT_EQ(api.sendMessage(h, "4711", "hi"), ICQ_MESSAGE_ACKNOWLEDGED);
}

// A server that closes at the request ends the call with -6 and the
// session with it: the next call finds the handle unconnected.
struct ClosingServer {
  const char *name;
  Stage stage;
  std::function<int(const PagerwireApi &, IcqHandle *)> call;
};
void PrintTo(const ClosingServer &c, std::ostream *os) { *os << c.name; }

class ServerCloses : public PagerwireTest, public testing::WithParamInterface<ClosingServer> {};

TEST_P(ServerCloses, EndsTheCallAndTheSession) {
  service.CloseAt(GetParam().stage);
  IcqHandle *h = Connected();
  EXPECT_EQ(GetParam().call(api, h), ICQ_ERR_CONNECTION_LOST);
  EXPECT_EQ(GetParam().call(api, h), ICQ_ERR_ARGUMENT);
  EXPECT_EQ(BosFrames(GetParam().stage).size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Flows, ServerCloses,
    testing::Values(
        ClosingServer{"message", Stage::message,
                      [](const PagerwireApi &api, IcqHandle *h) {
                        return api.sendMessage(h, "4711", "hi");
                      }},
        ClosingServer{"sms", Stage::sms,
                      [](const PagerwireApi &api, IcqHandle *h) {
                        return api.sendSms(h, "+49", "hi");
                      }},
        ClosingServer{"offline", Stage::offlineRequest,
                      [](const PagerwireApi &api, IcqHandle *h) { return api.pullOffline(h); }}));

TEST_F(Messaging, HostAbortEndsTheWaitButKeepsTheSession) {
  service.Silence(Stage::message);
  IcqHandle *h = Connected();
  host.abortAfterWaits = host.waits + 1;
  EXPECT_EQ(api.sendMessage(h, "4711", "hi"), ICQ_ERR_ABORTED);
  EXPECT_EQ(host.statuses.back(), ICQ_STATUS_WAITING);
  service.Set(Stage::message, [](const oscar::Frame &) { return Reply{{oscar::MessageAck("4711")}}; });
  host.abortAfterWaits = 0;
  EXPECT_EQ(api.sendMessage(h, "4711", "hi"), ICQ_MESSAGE_ACKNOWLEDGED);
}

// Without a callback the wait ends 60 seconds after the last data.
TEST_F(Messaging, SilentServerWithoutCallbackTimesOut) {
  service.Silence(Stage::message);
  IcqHandle *h = Open(false);
  // Without the privacy request the set-up ends on the service's last frame.
  ASSERT_EQ(api.connect(h, 1), ICQ_OK);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(api.sendMessage(h, "4711", "hi"), ICQ_ERR_TIMEOUT);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
}

TEST_F(Messaging, UnacknowledgedMessageWithOtherTrafficEndsWith4) {
  service.Set(Stage::message,
              [](const oscar::Frame &) { return Reply{{oscar::IncomingMessage(1, "busy")}}; });
  IcqHandle *h = Open(false);
  ASSERT_EQ(api.connect(h, 0), ICQ_OK);
  EXPECT_EQ(api.sendMessage(h, "4711", "hi"), 4);
}

// ---- SMS ---------------------------------------------------------------------

struct SmsAnswer {
  const char *name;
  std::string frame;
  int result;
};
void PrintTo(const SmsAnswer &a, std::ostream *os) { *os << a.name; }

class SmsAnswers : public PagerwireTest, public testing::WithParamInterface<SmsAnswer> {};

TEST_P(SmsAnswers, GiveTheirResult) {
  const std::string frame = GetParam().frame;
  service.Set(Stage::sms, [frame](const oscar::Frame &) {
    return Reply{{oscar::IncomingMessage(1, "first"), frame}};
  });
  IcqHandle *h = Connected();
  EXPECT_EQ(api.sendSms(h, "+4912345", "hello"), GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(
    Flows, SmsAnswers,
    testing::Values(
        SmsAnswer{"deliverable", oscar::SmsReply(10001, 1, 0x96, "<deliverable>Yes</deliverable>"),
                  ICQ_SMS_DELIVERED},
        SmsAnswer{"not_deliverable",
                  oscar::SmsReply(10001, 1, 0x96, "<deliverable>No</deliverable>"),
                  ICQ_SMS_NOT_DELIVERED},
        SmsAnswer{"failed", oscar::SmsReply(10001, 1, 0x01, ""), ICQ_SMS_NOT_DELIVERED},
        SmsAnswer{"delivery_receipt", oscar::IncomingMessage(4, "<delivered>Yes</delivered>"),
                  ICQ_SMS_DELIVERED},
        SmsAnswer{"not_delivered_receipt", oscar::IncomingMessage(4, "<delivered>No</delivered>"),
                  ICQ_SMS_NOT_DELIVERED}));

TEST_F(Messaging, SmsCarriesTheCutAndEscapedTextAndLeavesTheCallersTextAlone) {
  IcqHandle *h = Connected();
  char text[201];
  std::memset(text, 'x', 200);
  text[200] = '\0';
  text[158] = '<';
  text[159] = '&';
  const std::string before = text;
  const time_t start = std::time(nullptr);
  ASSERT_EQ(api.sendSms(h, "+49 <1>", text), ICQ_SMS_DELIVERED);
  EXPECT_EQ(std::string(text), before);

  auto sent = BosFrames(Stage::sms);
  ASSERT_EQ(sent.size(), 1u);
  oscar::MetaRequest meta = oscar::ParseMeta(sent[0].frame);
  EXPECT_EQ(meta.uin, 10001u);
  EXPECT_EQ(meta.tlvLength, meta.value.size());
  const std::string xml = meta.value.substr(36, oscar::GetBe32(meta.value, 32) - 1);
  const std::string expectedStart =
      "<icq_sms_message><destination>+49 &lt;1&gt;</destination><text>" + std::string(158, 'x') +
      "&lt;&amp;</text><codepage>1250</codepage><senders_UIN>10001</senders_UIN>"
      "<senders_name>Nick</senders_name><delivery_receipt>Yes</delivery_receipt><time>";
  EXPECT_EQ(xml.substr(0, expectedStart.size()), expectedStart);
  // The time is the send time in UTC.
  const std::string sentAt = xml.substr(expectedStart.size(), 29);
  char day[4], month[4];
  int date, year, hour, minute, second;
  ASSERT_EQ(std::sscanf(sentAt.c_str(), "%3s, %d %3s %d %d:%d:%d GMT", day, &date, month, &year,
                        &hour, &minute, &second),
            7)
      << sentAt;
  const struct tm *utc = std::gmtime(&start);
  EXPECT_EQ(year, utc->tm_year + 1900);
  EXPECT_EQ(xml.substr(expectedStart.size() + 29), "</time></icq_sms_message>");
}

TEST_F(Messaging, HostAbortEndsTheSmsWait) {
  service.Silence(Stage::sms);
  IcqHandle *h = Connected();
  host.abortAfterWaits = host.waits + 2;
  EXPECT_EQ(api.sendSms(h, "+49", "hi"), ICQ_ERR_ABORTED);
}

// ---- offline messages ------------------------------------------------------------

TEST_F(Messaging, OfflineMessagesAreFetchedAndDeleted) {
  IcqHandle *h = Connected();
  EXPECT_EQ(api.pullOffline(h), ICQ_OFFLINE_FETCHED);
  ASSERT_TRUE(service.WaitFor(Stage::offlineDelete));
  auto request = BosFrames(Stage::offlineRequest);
  auto remove = BosFrames(Stage::offlineDelete);
  ASSERT_EQ(request.size(), 1u);
  ASSERT_EQ(remove.size(), 1u);
  oscar::MetaRequest asked = oscar::ParseMeta(request[0].frame);
  oscar::MetaRequest deleted = oscar::ParseMeta(remove[0].frame);
  EXPECT_EQ(asked.uin, 10001u);
  EXPECT_EQ(asked.chunkSize, 8);
  EXPECT_EQ(asked.sequence, 1);  // the first meta request of the handle
  EXPECT_EQ(deleted.sequence, 2);
  EXPECT_EQ(remove[0].frame.sequence, uint16_t(request[0].frame.sequence + 1));
}

TEST_F(Messaging, EndOfOfflineMessagesAloneIsEnough) {
  service.Set(Stage::offlineRequest, [](const oscar::Frame &f) {
    return Reply{{oscar::SnacFrame(1, 0x0F, ""), oscar::OfflineEnd(oscar::ParseMeta(f).uin, 1)}};
  });
  IcqHandle *h = Connected();
  EXPECT_EQ(api.pullOffline(h), ICQ_OFFLINE_FETCHED);
  EXPECT_TRUE(service.WaitFor(Stage::offlineDelete));
}

// ---- unregistration and disconnection ------------------------------------------------

TEST_F(Messaging, UnregisterSendsTheRequestAndSignsOff) {
  IcqHandle *h = Connected();
  EXPECT_EQ(api.unregisterUin(h), 1);
  service.Stop();
  auto request = BosFrames(Stage::unregister);
  ASSERT_EQ(request.size(), 1u);
  oscar::MetaRequest meta = oscar::ParseMeta(request[0].frame);
  EXPECT_EQ(meta.uin, 10001u);
  EXPECT_EQ(meta.value.substr(12), oscar::Le32(10001) + oscar::Le16(7) + "secret" +
                                       std::string(1, '\0'));
  EXPECT_EQ(BosFrames(Stage::goodbye).size(), 1u);
  EXPECT_EQ(api.sendMessage(h, "4711", "hi"), ICQ_ERR_ARGUMENT);
  EXPECT_EQ(api.unregisterUin(h), 0);
}

TEST_F(Messaging, DisconnectAfterALostSessionLeavesTheHostsSocketsAlone) {
  service.CloseAt(Stage::message);
  IcqHandle *h = Connected();
  ASSERT_EQ(api.sendMessage(h, "4711", "hi"), ICQ_ERR_CONNECTION_LOST);
  // The host's next socket may take the number the session had.
  loopback::Listener listener = loopback::Listen();
  ASSERT_NE(listener.socket, os::kInvalidSocket);
  Disconnect(h);
  os::Socket client = loopback::Connect(listener.port);
  ASSERT_NE(client, os::kInvalidSocket);
  os::Socket server = loopback::Accept(listener);
  ASSERT_NE(server, os::kInvalidSocket);
  EXPECT_TRUE(loopback::SendAll(client, "ping"));
  EXPECT_EQ(loopback::ReceiveSome(server, 16, 2000), "ping");
  loopback::Close(client);
  loopback::Close(server);
  loopback::Close(listener.socket);
}

TEST(PagerwireSockets, DisconnectOfAnUnconnectedHandleKeepsTheHostsSocketLayer) {
  ASSERT_TRUE(os::SocketsStart());  // the host's own start, the only one
  {
    DynamicLibrary library(PAGERWIRE_LIBRARY);
    PagerwireApi api(library);
    ASSERT_TRUE(api.complete());
    api.disconnect(nullptr);
    api.disconnect(api.init("1", "pw", "n", nullptr, nullptr, 0));
  }
  // A raw socket call: the test helpers would start the socket layer again.
  os::Socket s = static_cast<os::Socket>(socket(AF_INET, SOCK_STREAM, 0));
  EXPECT_NE(s, os::kInvalidSocket) << "socket error " << os::SocketError();
  if (s != os::kInvalidSocket) os::SocketClose(s);
  os::SocketsStop();
}

}  // namespace
