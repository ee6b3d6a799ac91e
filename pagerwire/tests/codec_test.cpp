// The packet builders byte for byte, and the readers against frames made by
// the fake service's own encoder.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "oscar_wire.h"
#include "packets.h"
#include "pagerwire.h"
#include "replies.h"

namespace {

using oscar::Be16;
using oscar::Be32;
using oscar::Le16;
using oscar::Le32;

std::string Bytes(const icq::Packet &packet) {
  return packet ? std::string(reinterpret_cast<const char *>(packet.data()), packet.size()) : "";
}

std::string FromHex(const char *hex) {
  std::string bytes;
  for (const char *p = hex; *p;) {
    if (*p == ' ') {
      ++p;
      continue;
    }
    bytes += static_cast<char>(std::stoi(std::string(p, 2), nullptr, 16));
    p += 2;
  }
  return bytes;
}

const uint8_t *Data(const std::string &s) { return reinterpret_cast<const uint8_t *>(s.data()); }

// ---- fixed packets ------------------------------------------------------

struct FixedPacket {
  const char *name;
  std::function<icq::Packet(uint16_t &)> build;
  const char *hex;  // with the FLAP sequence starting at 0x1234
  int frames;       // how far the sequence steps
};

void PrintTo(const FixedPacket &p, std::ostream *os) { *os << p.name; }

class FixedPackets : public testing::TestWithParam<FixedPacket> {};

TEST_P(FixedPackets, AreWrittenByteForByte) {
  uint16_t sequence = 0x1234;
  EXPECT_EQ(oscar::Hex(Bytes(GetParam().build(sequence))), oscar::Hex(FromHex(GetParam().hex)));
  EXPECT_EQ(sequence, 0x1234 + GetParam().frames);
}

INSTANTIATE_TEST_SUITE_P(
    Codec, FixedPackets,
    testing::Values(
        FixedPacket{"hello", icq::BuildHello, "2A 01 12 34 00 04 00 00 00 01", 1},
        FixedPacket{"goodbye", icq::BuildGoodbye, "2A 04 12 34 00 00", 1},
        FixedPacket{"versions", icq::BuildFamilyVersions,
                    "2A 02 12 34 00 32 00 01 00 17 00 00 00 00 00 17"
                    " 00 01 00 03 00 13 00 02 00 02 00 01 00 03 00 01 00 15 00 01"
                    " 00 04 00 01 00 06 00 01 00 09 00 01 00 0A 00 01 00 0B 00 01",
                    1},
        FixedPacket{"rate request", icq::BuildRateRequest,
                    "2A 02 12 34 00 0A 00 01 00 06 00 00 00 00 00 06", 1},
        FixedPacket{"rate acknowledge", icq::BuildRateAcknowledge,
                    "2A 02 12 34 00 14 00 01 00 08 00 00 00 00 00 08 00 01 00 02 00 03 00 04 00 05",
                    1},
        FixedPacket{"self information", icq::BuildSelfInfoRequest,
                    "2A 02 12 34 00 0A 00 01 00 0E 00 00 00 00 00 0E", 1},
        FixedPacket{"privacy", icq::BuildPrivacyRequest,
                    "2A 02 12 34 00 0A 00 09 00 05 00 00 00 00 00 05", 1},
        FixedPacket{"ready pair", icq::BuildReadyPair,
                    "2A 02 12 34 00 0A 00 01 00 1E 00 00 00 00 00 1E"
                    " 2A 02 12 35 00 4A 00 01 00 02 00 00 00 00 00 02"
                    " 00 01 00 03 01 10 02 8A 00 02 00 01 01 01 02 8A"
                    " 00 03 00 01 01 10 02 8A 00 15 00 01 01 10 02 8A"
                    " 00 04 00 01 01 10 02 8A 00 06 00 01 01 10 02 8A"
                    " 00 09 00 01 01 10 02 8A 00 0A 00 01 01 10 02 8A",
                    2},
        FixedPacket{"cookie",
                    [](uint16_t &s) {
                      static const uint8_t cookie[] = {1, 2, 3};
                      return icq::BuildCookie(s, cookie, 3);
                    },
                    "2A 01 12 34 00 0B 00 00 00 01 00 06 00 03 01 02 03", 1},
        FixedPacket{"offline request",
                    [](uint16_t &s) {
                      uint16_t meta = 7;
                      return icq::BuildOfflineRequest(s, meta, "123456");
                    },
                    "2A 02 12 34 00 18 00 15 00 02 00 00 00 00 00 02"
                    " 00 01 00 0A 08 00 40 E2 01 00 3C 00 07 00",
                    1},
        FixedPacket{"offline delete",
                    [](uint16_t &s) {
                      uint16_t meta = 7;
                      return icq::BuildOfflineDelete(s, meta, "123456");
                    },
                    "2A 02 12 34 00 18 00 15 00 02 00 00 00 00 00 02"
                    " 00 01 00 0A 08 00 40 E2 01 00 3E 00 07 00",
                    1},
        FixedPacket{"registration",
                    [](uint16_t &s) { return icq::BuildRegistration(s, "pw"); },
                    "2A 02 12 34 00 43 00 17 00 04 00 00 00 00 00 00"
                    " 00 01 00 3A 00 00 00 00 28 00 03 00 00 00 00 00 00 00 00 00"
                    " 40 64 00 00 40 64 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"
                    " 03 00 70 77 00 40 64 00 00 00 00 CF 01",
                    1}));

// ---- login ---------------------------------------------------------------

TEST(Login, CarriesTheTlvsInOrderWithTheScrambledPassword) {
  uint16_t sequence = 0x0102;
  oscar::Frame f = oscar::ParseFrame(Bytes(icq::BuildLogin(sequence, "12345", "secret")));
  EXPECT_EQ(f.channel, 1);
  EXPECT_EQ(f.sequence, 0x0102);
  EXPECT_EQ(f.data.substr(0, 4), Be32(1));
  const auto tlvs = oscar::Tlvs(f.data, 4);
  const std::vector<std::pair<uint16_t, std::string>> expected = {
      {1, "12345"},
      {2, FromHex("ED 24 A4 77 5E A6")},
      {3, "ICQ Inc. - Product of ICQ (TM).2000b.4.63.1.3279.85"},
      {0x16, Be16(266)},
      {0x17, Be16(4)},
      {0x18, Be16(63)},
      {0x19, Be16(1)},
      {0x1A, Be16(3279)},
      {0x14, Be32(85)},
      {0x0F, "en"},
      {0x0E, "us"}};
  EXPECT_EQ(tlvs, expected);
  EXPECT_EQ(oscar::GetBe16(f.raw, 4), f.raw.size() - 6);
}

TEST(Login, PasswordKeyRepeatsEvery16BytesAndZeroBytesAreKept) {
  // 0x9E scrambles to zero at index 0; the 17th byte meets the first key byte again.
  const std::string password = "\x9E" + std::string(15, 'a') + "\x9E" + "z";
  uint16_t sequence = 0;
  oscar::Frame f = oscar::ParseFrame(Bytes(icq::BuildLogin(sequence, "1", password.c_str())));
  const std::string scrambled = oscar::TlvValue(f.data, 2, 4);
  ASSERT_EQ(scrambled.size(), password.size());
  EXPECT_EQ(scrambled[0], '\0');
  EXPECT_EQ(scrambled[16], '\0');
  EXPECT_EQ(static_cast<uint8_t>(scrambled[17]), 'z' ^ 0x41);
}

// ---- message -------------------------------------------------------------

TEST(Message, TenCharactersGiveTlvLength23AndFragmentLength14) {
  uint16_t sequence = 0x2000;
  oscar::Frame f = oscar::ParseFrame(Bytes(icq::BuildMessage(sequence, "4711", "0123456789")));
  ASSERT_TRUE(f.snac);
  EXPECT_EQ(f.family, 4);
  EXPECT_EQ(f.subtype, 6);
  EXPECT_EQ(f.requestId, 0x00010006u);
  const std::string expectedBody = FromHex("0C 71 88 01 90 45 00 00 00 01 04") + "4711" +
                                   FromHex("00 02 00 17 05 01 00 01 01 01 01 00 0E 00 00 00 00") +
                                   "0123456789" + FromHex("00 06 00 00");
  EXPECT_EQ(oscar::Hex(f.body), oscar::Hex(expectedBody));
  EXPECT_EQ(oscar::GetBe16(f.raw, 4), f.raw.size() - 6);
  EXPECT_EQ(sequence, 0x2001);
}

// ---- SMS -----------------------------------------------------------------

struct SmsPacket {
  oscar::MetaRequest meta;
  std::string xml;
  oscar::Frame frame;
};

SmsPacket BuildSms(const char *phone, const char *text, const char *nick, time_t when) {
  uint16_t sequence = 0x3000, metaSequence = 5;
  SmsPacket sms;
  sms.frame = oscar::ParseFrame(
      Bytes(icq::BuildSms(sequence, metaSequence, "123456", nick, phone, text, when)));
  sms.meta = oscar::ParseMeta(sms.frame);
  // the XML follows LE16 subtype, BE16 1, BE16 0x16, 16 zero bytes and its BE32 length
  const std::string &v = sms.meta.value;
  const size_t xmlLength = v.size() > 36 ? oscar::GetBe32(v, 32) : 0;
  sms.xml = v.size() >= 36 + xmlLength ? v.substr(36, xmlLength) : "";
  return sms;
}

TEST(Sms, CarriesTheMetaHeaderAndTheXmlDocument) {
  const time_t when = 784111777;  // Sun, 06 Nov 1994 08:49:37 GMT
  SmsPacket sms = BuildSms("+4912345", "hi", "Nick", when);
  EXPECT_EQ(sms.frame.family, 0x15);
  EXPECT_EQ(sms.frame.subtype, 2);
  EXPECT_EQ(sms.frame.requestId, 0x00010002u);
  const std::string xml =
      "<icq_sms_message><destination>+4912345</destination><text>hi</text>"
      "<codepage>1250</codepage><senders_UIN>123456</senders_UIN><senders_name>Nick"
      "</senders_name><delivery_receipt>Yes</delivery_receipt><time>Sun, 06 Nov 1994 08:49:37 GMT"
      "</time></icq_sms_message>";
  EXPECT_EQ(sms.xml.substr(0, xml.size()), xml);
  EXPECT_EQ(sms.meta.value.size(), xml.size() + 37);
  EXPECT_EQ(sms.meta.tlvLength, xml.size() + 37);
  EXPECT_EQ(sms.meta.chunkSize, xml.size() + 35);
  EXPECT_EQ(sms.meta.uin, 123456u);
  EXPECT_EQ(sms.meta.type, 2000);
  EXPECT_EQ(sms.meta.sequence, 5);
  EXPECT_EQ(sms.meta.subtype, 0x1482);
  EXPECT_EQ(sms.meta.value.substr(12, 20), Be16(1) + Be16(0x16) + std::string(16, '\0'));
  EXPECT_EQ(oscar::GetBe32(sms.meta.value, 32), xml.size() + 1);
  EXPECT_EQ(sms.meta.value.back(), '\0');
}

TEST(Sms, TextIsCutTo160CharactersWithoutTouchingTheCallersText) {
  std::string text(200, 'x');
  text[159] = 'L';
  const std::string before = text;
  SmsPacket sms = BuildSms("1", text.c_str(), "n", 0);
  EXPECT_NE(sms.xml.find("<text>" + std::string(159, 'x') + "L</text>"), std::string::npos);
  EXPECT_EQ(text, before);
}

TEST(Sms, EscapesMarkupInPhoneTextAndNicknameAfterTheCut) {
  std::string text = std::string(159, 'a') + "&<>";  // the cut keeps only the '&'
  SmsPacket sms = BuildSms("<1&2>", text.c_str(), "A&B <C>", 0);
  EXPECT_NE(sms.xml.find("<destination>&lt;1&amp;2&gt;</destination>"), std::string::npos);
  EXPECT_NE(sms.xml.find("<text>" + std::string(159, 'a') + "&amp;</text>"), std::string::npos);
  EXPECT_NE(sms.xml.find("<senders_name>A&amp;B &lt;C&gt;</senders_name>"), std::string::npos);
}

// ---- unregister -----------------------------------------------------------

TEST(Unregister, CarriesThePasswordAndTheStepsOfTheMetaSequence) {
  uint16_t sequence = 0x4000, metaSequence = 9;
  oscar::Frame f =
      oscar::ParseFrame(Bytes(icq::BuildUnregister(sequence, metaSequence, "123456", "pw")));
  EXPECT_EQ(f.family, 0x15);
  EXPECT_EQ(f.subtype, 2);
  EXPECT_EQ(f.requestId, 0x00090002u);
  const std::string expected = Be16(1) + Be16(21) + Le16(19) + Le32(123456) + Le16(2000) +
                               Le16(12) + Le16(0x04C4) + Le32(123456) + Le16(3) + "pw" +
                               std::string(1, '\0');
  EXPECT_EQ(oscar::Hex(f.body), oscar::Hex(expected));
  EXPECT_EQ(metaSequence, 10);
}

// ---- arguments that don't fit their length fields --------------------------

TEST(Builders, RefuseWhatOverflowsALengthField) {
  uint16_t s = 0, m = 0;
  const std::string longUin(256, '1'), longText(70000, 't'), longNick(66000, 'n');
  const std::string almostFull(65535 - 13, 't');
  using Fault = icq::Packet::Fault;
  EXPECT_EQ(icq::BuildMessage(s, longUin.c_str(), "x").fault(), Fault::badArgument);
  EXPECT_EQ(icq::BuildMessage(s, "1", longText.c_str()).fault(), Fault::badArgument);
  // Fits the TLV, but not the FLAP length around it.
  EXPECT_EQ(icq::BuildMessage(s, "1", almostFull.c_str()).fault(), Fault::badArgument);
  EXPECT_EQ(icq::BuildSms(s, m, "1", longNick.c_str(), "1", "x", 0).fault(), Fault::badArgument);
  EXPECT_EQ(icq::BuildLogin(s, "1", longText.c_str()).fault(), Fault::badArgument);
  EXPECT_EQ(icq::BuildRegistration(s, longText.c_str()).fault(), Fault::badArgument);
  EXPECT_EQ(icq::BuildUnregister(s, m, "1", longText.c_str()).fault(), Fault::badArgument);
  EXPECT_EQ(icq::BuildMessage(s, nullptr, "x").fault(), Fault::badArgument);
  // The largest message that fits is built.
  const std::string largest(65535 - 42 - 1, 't');
  EXPECT_TRUE(icq::BuildMessage(s, "1", largest.c_str()));
}

// ---- login reply reader ----------------------------------------------------

struct LoginCase {
  const char *name;
  std::string frame;
  int result;
};
void PrintTo(const LoginCase &c, std::ostream *os) { *os << c.name; }

class LoginReplies : public testing::TestWithParam<LoginCase> {};

TEST_P(LoginReplies, GiveTheirCode) {
  icq::LoginTicket ticket;
  const std::string &f = GetParam().frame;
  EXPECT_EQ(icq::ReadLoginReply(Data(f), f.size(), ticket), GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(
    Codec, LoginReplies,
    testing::Values(
        LoginCase{"wrong password", oscar::LoginRefused("1", 5, false), ICQ_ERR_WRONG_PASSWORD},
        LoginCase{"rate limit", oscar::LoginRefused("1", 0x18, false), ICQ_ERR_RATE_LIMITED},
        LoginCase{"other error", oscar::LoginRefused("1", 1, false), ICQ_ERR_LOGIN_REFUSED},
        LoginCase{"error after web address", oscar::LoginRefused("1", 5, true),
                  ICQ_ERR_WRONG_PASSWORD},
        LoginCase{"accepted", oscar::LoginAccepted("1", "10.0.0.1:5190", "C"), 1},
        LoginCase{"address without port", oscar::LoginAccepted("1", "10.0.0.1", "C"), 0},
        LoginCase{"port out of range", oscar::LoginAccepted("1", "10.0.0.1:70000", "C"), 0},
        LoginCase{"host part too long", oscar::LoginAccepted("1", "hostname-of-18-chr:1", "C"),
                  0},
        LoginCase{"no cookie", oscar::Flap(4, oscar::Tlv(1, "1") + oscar::Tlv(5, "1.2.3.4:5")),
                  0},
        LoginCase{"wrong channel", oscar::Flap(2, oscar::Tlv(1, "1") + oscar::Tlv(8, Be16(5))), 0},
        LoginCase{"no UIN first", oscar::Flap(4, oscar::Tlv(8, Be16(5))), 0},
        LoginCase{"error value cut short", oscar::Flap(4, oscar::Tlv(1, "1") + oscar::Tlv(8, "")),
                  0},
        LoginCase{"length past the end",
                  oscar::LoginRefused("1", 5, false).substr(0, 12), 0},
        LoginCase{"empty", "", 0}));

TEST(LoginReply, FillsTheTicket) {
  const std::string f = oscar::LoginAccepted("1", "127.1.2.3:23443", std::string("\0ab", 3));
  icq::LoginTicket ticket;
  ASSERT_EQ(icq::ReadLoginReply(Data(f), f.size(), ticket), 1);
  EXPECT_STREQ(ticket.host, "127.1.2.3");
  EXPECT_EQ(ticket.port, 23443);
  ASSERT_EQ(ticket.cookieLength, 3u);
  EXPECT_EQ(std::string(reinterpret_cast<char *>(ticket.cookie.get()), 3), std::string("\0ab", 3));
}

// ---- classifier --------------------------------------------------------------

struct ClassifyCase {
  const char *name;
  std::string frame;
  int kind;
};
void PrintTo(const ClassifyCase &c, std::ostream *os) { *os << c.name; }

class Classifier : public testing::TestWithParam<ClassifyCase> {};

TEST_P(Classifier, NamesTheFrame) {
  const std::string &f = GetParam().frame;
  EXPECT_EQ(icq::Classify(Data(f), f.size(), "4711"), GetParam().kind);
}

const std::string kCookie8(8, '\x01');

INSTANTIATE_TEST_SUITE_P(
    Codec, Classifier,
    testing::Values(
        ClassifyCase{"too short", "\x2A\x02\x00", icq::kUnusable},
        ClassifyCase{"not FLAP", std::string("\x2B\x01\x00\x00\x00\x00", 6), icq::kUnusable},
        ClassifyCase{"length past the end", oscar::Hello().substr(0, 9), icq::kUnusable},
        ClassifyCase{"sign-off channel", oscar::Flap(4, ""), icq::kUnusable},
        ClassifyCase{"channel 5", oscar::Flap(5, "x"), icq::kUnusable},
        ClassifyCase{"hello", oscar::Hello(), icq::kServerHello},
        ClassifyCase{"sign-on but no hello", oscar::Flap(1, Be32(2)), icq::kOther},
        ClassifyCase{"error channel", oscar::Flap(3, ""), icq::kOther},
        ClassifyCase{"SNAC header cut", oscar::Flap(2, Be16(1) + Be16(3)), icq::kUnusable},
        ClassifyCase{"host online", oscar::SnacFrame(1, 3, ""), icq::kHostOnline},
        ClassifyCase{"rate info", oscar::SnacFrame(1, 7, ""), icq::kRateInfo},
        ClassifyCase{"self info", oscar::SnacFrame(1, 0x0F, ""), icq::kSelfInfo},
        ClassifyCase{"versions", oscar::SnacFrame(1, 0x18, ""), icq::kVersionsAccepted},
        ClassifyCase{"family 1 other", oscar::SnacFrame(1, 0x13, ""), icq::kOther},
        ClassifyCase{"location error", oscar::SnacFrame(2, 1, ""), icq::kUnusable},
        ClassifyCase{"location other", oscar::SnacFrame(2, 3, ""), icq::kOther},
        ClassifyCase{"ack", oscar::MessageAck("4711"), icq::kAcknowledged},
        ClassifyCase{"ack of another UIN", oscar::MessageAck("4712"), icq::kOther},
        ClassifyCase{"ack naming a longer UIN", oscar::MessageAck("47110"), icq::kOther},
        ClassifyCase{"ack on channel 2", oscar::MessageAck("4711", 2), icq::kOther},
        ClassifyCase{"ack cut short", oscar::MessageAck("4711").substr(0, 28), icq::kUnusable},
        ClassifyCase{"ack UIN past the end",
                     oscar::SnacFrame(4, 0x0C, kCookie8 + Be16(1) + "\x09" + "4711"),
                     icq::kUnusable},
        ClassifyCase{"incoming text", oscar::IncomingMessage(1, "hi"), icq::kIncomingMessage},
        ClassifyCase{"delivered", oscar::IncomingMessage(4, "..<delivered>Yes</delivered>"),
                     icq::kSmsDelivered},
        ClassifyCase{"not delivered", oscar::IncomingMessage(4, "<delivered>No</delivered>"),
                     icq::kSmsNotDelivered},
        ClassifyCase{"delivered marker at the end", oscar::IncomingMessage(4, "<delivered>Y"),
                     icq::kSmsNotDelivered},
        ClassifyCase{"incoming channel 2", oscar::IncomingMessage(2, "x"), icq::kOther},
        ClassifyCase{"incoming without channel", oscar::SnacFrame(4, 7, kCookie8 + "\x00"),
                     icq::kUnusable},
        ClassifyCase{"offline message", oscar::OfflineMessage(1, 2, "x"), icq::kOfflineMessage},
        ClassifyCase{"offline end", oscar::OfflineEnd(1, 2), icq::kOfflineMessage},
        ClassifyCase{"sms deliverable",
                     oscar::SmsReply(1, 2, 0x96, "<deliverable>Yes</deliverable>"),
                     icq::kSmsDeliverable},
        ClassifyCase{"sms not deliverable",
                     oscar::SmsReply(1, 2, 0x96, "<deliverable>No</deliverable>"),
                     icq::kSmsNotDelivered},
        ClassifyCase{"sms failed", oscar::SmsReply(1, 2, 0x01, ""), icq::kSmsNotDelivered},
        ClassifyCase{"sms refused", oscar::SmsReply(1, 2, 0x64, ""), icq::kSmsNotDelivered},
        ClassifyCase{"meta info other subtype", oscar::SmsReply(1, 2, 0xC8, ""), icq::kOther},
        ClassifyCase{"meta other type", oscar::MetaReply(1, 0x43, 2, ""), icq::kOther},
        ClassifyCase{"meta cut short", oscar::SnacFrame(0x15, 3, "0123456789"), icq::kUnusable},
        ClassifyCase{"other family", oscar::SnacFrame(0x13, 6, ""), icq::kOther}));

TEST(Classify, NullBufferIsUnusable) { EXPECT_EQ(icq::Classify(nullptr, 10, "1"), icq::kUnusable); }

TEST(Classify, ReadsOnlyTheFramesOwnLength) {
  // An acknowledgement whose FLAP length leaves out the UIN must not be
  // read from the bytes after it.
  std::string ack = oscar::MessageAck("4711");
  std::string cut = ack.substr(0, 4) + Be16(uint16_t(ack.size() - 6 - 4)) + ack.substr(6);
  EXPECT_EQ(icq::Classify(Data(cut), cut.size(), "4711"), icq::kUnusable);
}

// ---- registration reply reader ----------------------------------------------

TEST(RegistrationReply, GivesTheNewUinOnlyWithTheCookie) {
  const std::string good = oscar::RegistrationReply(987654, icq::kRegistrationCookie);
  icq::RegistrationReply r = icq::ReadRegistrationReply(Data(good), good.size());
  EXPECT_EQ(r.kind, icq::RegistrationReply::Kind::accepted);
  EXPECT_EQ(r.uin, 987654u);

  const std::string wrong = oscar::RegistrationReply(987654, 0x12345678);
  EXPECT_EQ(icq::ReadRegistrationReply(Data(wrong), wrong.size()).kind,
            icq::RegistrationReply::Kind::wrongCookie);

  for (const std::string &other :
       {good.substr(0, good.size() - 9 - 8), oscar::SnacFrame(0x17, 1, std::string(60, '\0')),
        oscar::Hello(), std::string()}) {
    EXPECT_EQ(icq::ReadRegistrationReply(Data(other), other.size()).kind,
              icq::RegistrationReply::Kind::notTheReply)
        << oscar::Hex(other);
  }
}

}  // namespace
