// The exported interface's own rules: checks, their settings, the protocol
// queries and the description file's transform.
#include <cstring>
#include <string>

#include "host.h"

namespace {

const std::vector<Service> kServices = {
    {"Web", "TCP", 80, "<receive><text>HTTP</text></receive>"},
    {"Time", "udp", 37, ""},
};

class Api : public PolyprobeTest {};

TEST_F(Api, ChecksGetIncreasingIdsAndTheirSettings) {
  MonitorHandle *handle = Open(kServices);
  ASSERT_NE(handle, nullptr);
  api._pqmSetCheckMode(nullptr);  // null handles are accepted
  int first = api._pqmAdd(handle, "10.9.9.9", "Unknown", 10, 0, 3);
  int second = api._pqmAdd(handle, "10.9.9.9", "Unknown", 10, 0, 0);
  EXPECT_EQ(first, 1289);  // the library was loaded afresh for this test
  EXPECT_GT(second, first);
  CheckResult r = Result(handle, first);
  EXPECT_EQ(r.samples, 3);
  EXPECT_EQ(r.enabled, 1);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.loss, 100);
  EXPECT_EQ(r.average, -1);
  EXPECT_EQ(r.replies, nullptr);
  EXPECT_EQ(Result(handle, second).samples, 1);  // at least one sample per cycle
  api._pqmSet(handle, first, 10, 0, 7);
  EXPECT_EQ(Result(handle, first).samples, 7);
  CheckResult missing{};
  EXPECT_EQ(api._pqmGet(handle, 999999, &missing), 0);
  api._pqmDelete(handle, first);
  EXPECT_EQ(api._pqmGet(handle, first, &missing), 0);
  api._pqmClear(handle);
  EXPECT_EQ(api._pqmGet(handle, second, &missing), 0);
}

TEST_F(Api, ASecondModuleSetUpKeepsTheResolverAndItsThreads) {
  void *resolver = api._pqmModuleInit();
  EXPECT_NE(resolver, nullptr);
  EXPECT_EQ(api._pqmModuleInit(), resolver);
  MonitorHandle *handle = Open(kServices);
  ASSERT_NE(handle, nullptr);
  char info[64];
  api._pqmProtocolDesc(handle, "Web", info);
  EXPECT_STREQ(info, "Web check");
}

TEST_F(Api, SnmpChecksWithAParameterTakeFiveSamples) {
  MonitorHandle *handle = Open(kServices);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(Result(handle, api._pqmAddEx2(handle, "h", "snmp", "1.3.6", 1000, 0, 3, 0)).samples, 5);
  EXPECT_EQ(Result(handle, api._pqmAddEx2(handle, "h", "SNMP GET", "1.3.6", 1000, 0, 3, 0)).samples, 3);
  EXPECT_EQ(Result(handle, api._pqmAddEx2(handle, "h", "SNMP", "1.3.6", 1000, 0, 3, 1)).samples, 3);
  EXPECT_EQ(Result(handle, api._pqmAddEx(handle, "h", "SNMP", nullptr, 1000, 0, 3)).samples, 3);
  EXPECT_EQ(api._pqmAdd(handle, nullptr, "Web", 1000, 0, 1), -1);
}

TEST_F(Api, ProtocolQueriesDescribeTheLoadedServices) {
  MonitorHandle *handle = Open(kServices);
  ASSERT_NE(handle, nullptr);
  ASSERT_EQ(api._pqmProtocolCount(handle), 3);  // and the built-in PING
  char name[64] = "x", info[64] = "x", transport = 0;
  int port = 0;
  api._pqmProtocolInfo2(handle, 1, name, &transport, info, &port);
  EXPECT_STREQ(name, "Time");
  EXPECT_STREQ(info, "Time check");
  EXPECT_EQ(transport, 2);
  EXPECT_EQ(port, 37);
  api._pqmProtocolInfo(handle, 5, name, &transport, info);
  EXPECT_STREQ(name, "");
  EXPECT_STREQ(info, "");
  api._pqmProtocolDesc(handle, "WEB", info);
  EXPECT_STREQ(info, "Web check");
  api._pqmProtocolDesc(handle, "Gopher", info);
  EXPECT_STREQ(info, "");
}

TEST_F(Api, AFailedDescriptionLoadIsReportedToTheHost) {
  MonitorHandle *handle = Open(kServices);
  ASSERT_NE(handle, nullptr);
  std::string missing = testing::TempDir() + "polyprobe-no-such-file.dat";
  EXPECT_EQ(api._pqmLoadProtocolInfo(handle, missing.c_str()), -1);
  EXPECT_EQ(api._pqmProtocolCount(handle), 1);  // only the built-in PING
  EXPECT_TRUE(HookLines::Contains("can't read the description file", -1));
}

TEST_F(Api, AScrambledFileLoadsLikeThePlainOne) {
  std::string plain = DescriptionFile(kServices);
  std::string scrambled = plain;
  EXPECT_EQ(api._pqmProcessData(&scrambled[0], static_cast<int>(scrambled.size())), 0);
  ASSERT_NE(scrambled[0], '<');
  std::string path = WriteTempFile("scrambled-api.dat", scrambled);
  MonitorHandle *handle = api._pqmInit(path.c_str(), 0);
  ASSERT_NE(handle, nullptr);
  handles.push_back(handle);
  ASSERT_EQ(api._pqmProtocolCount(handle), 3);
  char name[64], info[64], transport = 0;
  api._pqmProtocolInfo(handle, 0, name, &transport, info);
  EXPECT_STREQ(name, "Web");
  EXPECT_EQ(transport, 1);
}

}  // namespace
