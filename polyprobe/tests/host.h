// What the library tests share: polyprobe loaded by name as the product's
// host loads it, a handle over a description file written by the test, the
// peers' ports, and waits that end at a generous deadline.
#ifndef POLYPROBE_TESTS_HOST_H
#define POLYPROBE_TESTS_HOST_H

#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "dynlib.h"
#include "polyprobe.h"

#define POLYPROBE_EXPORTS(X)                                                                   \
  X(_pqmModuleInit) X(_pqmModuleClose) X(_pqmHookDisplay) X(_pqmInit) X(_pqmLoadProtocolInfo) \
  X(_pqmClose) X(_pqmProcessData) X(_pqmAddEx2) X(_pqmAddEx) X(_pqmAdd) X(_pqmSet)            \
  X(_pqmEnable) X(_pqmCheckNow) X(_pqmSetParam) X(_pqmDelete) X(_pqmClear)                    \
  X(_pqmSetCheckMode) X(_pqmGetInfo) X(_pqmGet) X(_pqmLockResult) X(_pqmGetResultData)        \
  X(_pqmGetResultStr) X(_pqmUnlockResult) X(_pqmProtocolCount) X(_pqmProtocolInfo)            \
  X(_pqmProtocolInfo2) X(_pqmProtocolDesc)

struct PolyprobeApi {
  explicit PolyprobeApi(const DynamicLibrary &library);
  bool complete() const;
#define POLYPROBE_MEMBER(name) decltype(&::name) name;
  POLYPROBE_EXPORTS(POLYPROBE_MEMBER)
#undef POLYPROBE_MEMBER
};

// A service of the description file the test writes.
struct Service {
  std::string name, transport;
  int port;
  std::string body;  // the send and receive elements
};
std::string DescriptionFile(const std::vector<Service> &services);
std::string WriteTempFile(const std::string &name, const std::string &bytes);

// The port of a peer started for the tests; 0 when the peers don't run.
int PeerPort(const std::string &name);

// Whether this process may open raw ICMP sockets (root only).
bool RawIcmpAllowed();

// Lines the library logged through the host's display hook.
struct HookLines {
  static void Hook(int level, const char *text);
  static bool Contains(const std::string &text, int level);
  static std::mutex lock;
  static std::vector<std::pair<int, std::string>> lines;
};

class PolyprobeTest : public testing::Test {
 protected:
  ~PolyprobeTest() override;
  void SetUp() override;
  // A handle over these services (with the SNMP GET handler when `snmp`);
  // closed after the test.
  MonitorHandle *Open(const std::vector<Service> &services, int snmp = 0);
  // Closes the handles opened so far (also done after the test).
  void CloseHandles();
  CheckResult Result(MonitorHandle *handle, int id);
  // Waits (up to 20 s) until `done` holds; false when it never did.
  static bool WaitFor(const std::function<bool()> &done);
  // Waits until the check finished its first cycle, and gives its result.
  CheckResult Finished(MonitorHandle *handle, int id);

  DynamicLibrary library{POLYPROBE_LIBRARY};
  PolyprobeApi api{library};
  std::vector<MonitorHandle *> handles;
  bool moduleOpen = false;
};

#endif
