// The SNMP GET handler on its own: the requests it writes, read back by the
// tests' own decoder, and the responses it accepts, written by the tests'
// own encoder.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "held_list.h"
#include "snmp.h"
#include "snmp_wire.h"

namespace {

using snmpwire::Message;
using snmpwire::Null;

class Snmp : public testing::Test {
 protected:
  void SetUp() override {
    SnmpRegister(registry, protocols);
    desc = ProtocolFind(protocols, "snmp get");
    ASSERT_NE(desc, nullptr);
  }
  ~Snmp() override {
    for (CheckItem *check : checks) CheckFree(check);
    HandlerListFree(registry);
    ProtocolListFree(protocols);
  }
  CheckItem *Check(const char *param, int32_t id = 1289, bool keepData = true) {
    CheckItem *check = CheckNew("127.0.0.1", "SNMP GET", param, 1000, 250, 1, keepData);
    check->id = id;
    checks.push_back(check);
    return check;
  }
  std::string Request(CheckItem *check) {
    int sendLength = -1, minimumReply = -1, bufferSize = -1;
    const unsigned char *bytes =
        HandlerBuildRequest(registry, check, desc, &sendLength, &minimumReply, &bufferSize);
    EXPECT_EQ(minimumReply, sendLength ? 23 : 0);
    EXPECT_EQ(bufferSize, sendLength ? 4500 : 0);
    return std::string(reinterpret_cast<const char *>(bytes), static_cast<size_t>(sendLength));
  }
  std::vector<std::string> OidsAsked(CheckItem *check) {
    snmpwire::Request request;
    EXPECT_TRUE(snmpwire::ReadRequest(Request(check), &request));
    return request.oids;
  }
  int Match(CheckItem *check, const std::string &reply) {
    return HandlerMatchReply(registry, check, desc, nullptr,
                             reinterpret_cast<const unsigned char *>(reply.data()),
                             static_cast<int>(reply.size()));
  }
  static std::vector<std::string> Entries(CheckItem *check) {
    std::vector<std::string> entries;
    ListGuard guard(check->replies);
    for (int i = 0; i < guard.items->Count; ++i)
      entries.emplace_back(static_cast<const char *>(_Co_Get(guard.items, i)));
    return entries;
  }
  static std::string Response(int32_t id, const std::vector<snmpwire::Varbind> &varbinds,
                              int errorStatus = 0, int errorIndex = 0) {
    return Message(snmpwire::kGetResponse, id, errorStatus, errorIndex, varbinds);
  }

  Collection *registry = HandlerListCreate();
  LockedList *protocols = ProtocolListCreate(nullptr);
  ProtocolDesc *desc = nullptr;
  std::vector<CheckItem *> checks;
};

TEST_F(Snmp, ARequestAsksForTheNextValueOfEachObjectId) {
  const unsigned char expected[] = {
      0x30, 0x27, 0x02, 0x01, 0x00, 0x04, 0x06, 'o', 'r', 'c', 'h', 'i', 'd',
      0xA1, 0x1A, 0x02, 0x02, 0x05, 0x09, 0x02, 0x01, 0x00, 0x02, 0x01, 0x00,
      0x30, 0x0E, 0x30, 0x0C, 0x06, 0x08, 0x2B, 0x06, 0x01, 0x02, 0x01, 0x01, 0x03, 0x00, 0x05, 0x00};
  EXPECT_EQ(Request(Check("1.3.6.1.2.1.1.3.0", 1289)),
            std::string(reinterpret_cast<const char *>(expected), sizeof expected));

  // Many object ids need lengths in the long form.
  std::string param;
  std::vector<snmpwire::Varbind> varbinds;
  for (int i = 0; i < 40; ++i) {
    std::string oid = "1.3.6.1.4.1.200." + std::to_string(i * 1000);
    param += oid + ";";
    varbinds.push_back({oid, Null()});
  }
  EXPECT_EQ(Request(Check(param.c_str(), 5000)),
            Message(snmpwire::kGetNextRequest, 5000, 0, 0, varbinds));
  EXPECT_NE(Request(Check("1.3.200")).find("\x06\x03\x2B\x81\x48"), std::string::npos);
}

TEST_F(Snmp, TheParameterListsTheObjectIds) {
  struct Case {
    const char *param;
    std::vector<std::string> oids;
  } cases[] = {
      {"1.3.6.1.2.1.1.3.0;", {"1.3.6.1.2.1.1.3.0"}},
      {"1.3.6.1.2.1.1.3;1.3.6.1.2.1.1.5", {"1.3.6.1.2.1.1.3", "1.3.6.1.2.1.1.5"}},
      {"1.3.6;;2.100.7", {"1.3.6", "2.100.7"}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.param);
    EXPECT_EQ(OidsAsked(Check(c.param)), c.oids);
  }
  // Nothing to ask: no request.
  EXPECT_EQ(Request(Check(nullptr)), "");
  EXPECT_EQ(Request(Check("")), "");
  EXPECT_EQ(Request(Check(";")), "");
}

// The request id is a signed integer: ids with the top bit of their last
// byte set get a leading zero byte.
TEST_F(Snmp, RequestIdsAreSentAsPositiveNumbers) {
  for (int32_t id : {0x7F, 0x80, 0x1289, 0x8000, 0xFFFF, 0x800000, 0x7FFFFFFF}) {
    SCOPED_TRACE(id);
    snmpwire::Request request;
    ASSERT_TRUE(snmpwire::ReadRequest(Request(Check("1.3.6.1", id)), &request));
    EXPECT_EQ(request.requestId, id);
    EXPECT_EQ(request.pduTag, snmpwire::kGetNextRequest);
    EXPECT_EQ(request.community, "orchid");
    EXPECT_EQ(Match(checks.back(), Response(id, {{"1.3.6.1.1", snmpwire::Integer(7)}})), 1);
  }
}

// The whole message, its tag and length included, fits the 4500 bytes of
// the send buffer; a parameter that would need more gives no request.
TEST_F(Snmp, TheWholeMessageFitsTheSendBuffer) {
  // 372 object ids of 12 bytes each give a message of 4497 bytes; the last
  // one three components longer makes 4500, four longer 4501.
  std::string base;
  std::vector<snmpwire::Varbind> varbinds;
  for (int i = 0; i < 371; ++i) {
    base += "1.3.6.1.4.1.1;";
    varbinds.push_back({"1.3.6.1.4.1.1", Null()});
  }
  struct Case {
    const char *last;
    size_t size;
  } cases[] = {{"1.3.6.1.4.1.1.1.1.1", 4500}, {"1.3.6.1.4.1.1.1.1.1.1", 4501}};
  for (const Case &c : cases) {
    std::vector<snmpwire::Varbind> all = varbinds;
    all.push_back({c.last, Null()});
    std::string message = Message(snmpwire::kGetNextRequest, 1289, 0, 0, all);
    ASSERT_EQ(message.size(), c.size);
    std::string param = base + c.last;
    EXPECT_EQ(Request(Check(param.c_str())), c.size <= 4500 ? message : "");
  }
}

TEST_F(Snmp, ValuesBecomeTextEntries) {
  CheckItem *check = Check("1.3.6.1.2.1.1.3");
  std::vector<snmpwire::Varbind> first = {
      {"1.3.6.1.2.1.1.3.0", snmpwire::Unsigned(snmpwire::kTimeTicks, 0x1A2B)},
      {"1.3.6.1.4.1.9.1", snmpwire::Integer(-5)},
      {"1.3.6.1.4.1.9.2", snmpwire::Unsigned(snmpwire::kCounter64, 0x100000005ULL)},
      {"1.3.6.1.4.1.9.3", snmpwire::OctetString("text")},
      {"1.3.6.1.4.1.9.4", snmpwire::Unsigned(snmpwire::kGauge32, 0xFFFFFFFFULL)},
      {"1.3.6.1.4.1.9.5", snmpwire::Unsigned(snmpwire::kCounter32, 0)},
      {"1.3.6.1.4.1.9.6", snmpwire::Integer(-9223372036854775807LL - 1)},
      {"2.999.3", snmpwire::Integer(300)},
  };
  ASSERT_EQ(Match(check, Response(1289, first)), 1);
  EXPECT_EQ(Entries(check), (std::vector<std::string>{
                                "<SNMP oid=\"1.3.6.1.2.1.1.3.0\" val=\"1A2B\">",
                                "<SNMP oid=\"1.3.6.1.4.1.9.1\" val=\"-5\">",
                                "<SNMP oid=\"1.3.6.1.4.1.9.2\" val=\"100000005\">",
                                "<SNMP oid=\"1.3.6.1.4.1.9.3\" error=\"1\">",
                                "<SNMP oid=\"1.3.6.1.4.1.9.4\" val=\"FFFFFFFF\">",
                                "<SNMP oid=\"1.3.6.1.4.1.9.5\" error=\"1\">",
                                "<SNMP oid=\"1.3.6.1.4.1.9.6\" val=\"-8000000000000000\">",
                                "<SNMP oid=\"2.999.3\" val=\"12C\">",
                            }));
  // Later responses rewrite the entries in place, a value 0 as a value.
  ASSERT_EQ(Match(check, Response(1289, {{"1.3.6.1.4.1.9.1", snmpwire::Integer(0)},
                                         {"1.3.6.1.4.1.9.3", snmpwire::Integer(-1)}})),
            1);
  std::vector<std::string> entries = Entries(check);
  ASSERT_EQ(entries.size(), 8u);
  EXPECT_EQ(entries[1], "<SNMP oid=\"1.3.6.1.4.1.9.1\" val=\"0\">");
  EXPECT_EQ(entries[3], "<SNMP oid=\"1.3.6.1.4.1.9.3\" val=\"-1\">");
}

TEST_F(Snmp, ResponsesThatAreNotForTheCheckAreRefused) {
  std::vector<snmpwire::Varbind> value = {{"1.3.6.1.2.1.1.3.0", snmpwire::Integer(1)}};
  std::string good = Response(1289, value);
  using snmpwire::Element;
  std::string nineByteId = Element(0x02, std::string("\0\0\0\0\0\0\0\x05\x09", 9));
  std::string pdu = nineByteId + snmpwire::Integer(0) + snmpwire::Integer(0) +
                    Element(0x30, Element(0x30, snmpwire::Oid("1.3.6.1.2.1.1.3.0") + snmpwire::Integer(1)));
  struct Case {
    const char *what;
    std::string reply;
  } cases[] = {
      {"another request id", Response(1290, value)},
      {"another PDU", Message(snmpwire::kGetNextRequest, 1289, 0, 0, value)},
      {"no varbinds", Response(1289, {})},
      {"22 bytes", good.substr(0, 22)},
      {"cut short", good.substr(0, good.size() - 3)},
      {"not a sequence", "\x31" + good.substr(1)},
      {"a length of five bytes", std::string("\x30\x85\x00\x00\x00\x00\x20", 7) + good.substr(2)},
      {"a request id of nine bytes",
       Element(0x30, snmpwire::Integer(0) + snmpwire::OctetString("orchid") + Element(snmpwire::kGetResponse, pdu))},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    CheckItem *check = Check("1.3.6.1.2.1.1.3");
    EXPECT_EQ(Match(check, c.reply), 0);
    EXPECT_TRUE(Entries(check).empty());
    EXPECT_STREQ(check->param, "1.3.6.1.2.1.1.3");
  }
  EXPECT_EQ(Match(Check("1.3.6.1.2.1.1.3", 1289, false), good), 0);  // keeps no replies
  EXPECT_EQ(Match(Check("1.3.6.1.2.1.1.3"), good), 1);
}

// An error status without an error index names no object id: the
// response is not good, and nothing changes.
TEST_F(Snmp, OnlyAnAnswerWithoutErrorIsGood) {
  CheckItem *check = Check("1.3.6.1.2.1.1.3");
  EXPECT_EQ(Match(check, Response(1289, {{"1.3.6.1.2.1.1.3", Null()}}, 5, 0)), 0);
  EXPECT_EQ(Match(check, Response(1289, {{"1.3.6.1.2.1.1.3", Null()}}, 2, 2)), 0);  // no second
  EXPECT_TRUE(Entries(check).empty());
  EXPECT_STREQ(check->param, "1.3.6.1.2.1.1.3");
}

// Agents answer an erroneous request with its own varbinds: the object id
// at the error index is cut from the parameter (with its ';') and reported.
TEST_F(Snmp, AnObjectIdTheAgentRejectsIsCutAndReported) {
  struct Case {
    const char *param;
    const char *named;
    const char *left;
  } cases[] = {
      {"1.3.6.1.2.1.1.5;1.3.6.1.9.9;1.3.6.1.2.1.1.3", "1.3.6.1.9.9", "1.3.6.1.2.1.1.5;1.3.6.1.2.1.1.3"},
      {"1.3.6.1.2.1.1.5;1.3.6.1.9.9", "1.3.6.1.9.9", "1.3.6.1.2.1.1.5;"},
      {"1.3.6.1.9.9", "1.3.6.1.9.9", ""},
      // An instance id is cut for the id it was asked under.
      {"1.3.6.1.2.1.1.5;1.3.6.1.9.9.0", "1.3.6.1.9.9", "1.3.6.1.2.1.1.5;"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.param);
    CheckItem *check = Check(c.param);
    std::vector<snmpwire::Varbind> echoed;
    int index = 0;
    for (const std::string &oid : OidsAsked(check)) {
      echoed.push_back({oid, Null()});
      if (oid.rfind(c.named, 0) == 0) index = static_cast<int>(echoed.size());
    }
    echoed[static_cast<size_t>(index - 1)].oid = c.named;
    EXPECT_EQ(Match(check, Response(1289, echoed, 2, index)), 0);
    EXPECT_STREQ(check->param, c.left);
    EXPECT_EQ(Entries(check), std::vector<std::string>{"<SNMP oid=\"" + std::string(c.named) + "\" error=\"2\">"});
    if (*c.left) {
      std::vector<std::string> asked = OidsAsked(check);
      EXPECT_EQ(std::count(asked.begin(), asked.end(), std::string(c.named)), 0);
    } else {
      EXPECT_EQ(Request(check), "");
    }
  }
}

// A response judged while a host holds the replies is judged at once; its
// entries are written once the replies are free.
TEST_F(Snmp, AResponseToHeldRepliesIsWrittenOnceTheyAreFree) {
  CheckItem *check = Check("1.3.6.1.2.1.1.3;1.3.6.1.9.9");
  {
    HeldList host(check->replies);
    EXPECT_EQ(Match(check, Response(1289, {{"1.3.6.1.2.1.1.3.0", snmpwire::Integer(7)}})), 1);
    EXPECT_EQ(Match(check, Response(1289, {{"1.3.6.1.2.1.1.3", Null()}, {"1.3.6.1.9.9", Null()}}, 2, 2)), 0);
    EXPECT_STREQ(check->param, "1.3.6.1.2.1.1.3;") << "the rejected id is cut at once";
    CheckFlushReplies(check);
  }
  CheckFlushReplies(check);
  EXPECT_EQ(Entries(check), (std::vector<std::string>{"<SNMP oid=\"1.3.6.1.2.1.1.3.0\" val=\"7\">",
                                                      "<SNMP oid=\"1.3.6.1.9.9\" error=\"2\">"}));
}

TEST_F(Snmp, AReportedObjectIdKeepsItsEntry) {
  CheckItem *check = Check("1.3.6.1.2.1.1.3;1.3.6.1.9.9");
  ASSERT_EQ(Match(check, Response(1289, {{"1.3.6.1.9.9", snmpwire::Integer(4)}})), 1);
  EXPECT_EQ(Match(check, Response(1289, {{"1.3.6.1.2.1.1.3", Null()}, {"1.3.6.1.9.9", snmpwire::Integer(4)}}, 2, 2)), 0);
  EXPECT_EQ(Entries(check), std::vector<std::string>{"<SNMP oid=\"1.3.6.1.9.9\" error=\"2\">"});
  EXPECT_STREQ(check->param, "1.3.6.1.2.1.1.3;");
}

}  // namespace
