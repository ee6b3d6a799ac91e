// Scenarios as the host program runs them: the library loaded at run time,
// a display hook installed, the agent or client brought up and down
// against the fake trend server. Under Wine this is the 32-bit host
// loading dmwclient.dll; natively the same scenarios run on the shared
// library.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "agent.h"
#include "alclnt.h"
#include "classmgr.h"
#include "csched.h"
#include "dmwclnt.h"
#include "dynlib.h"
#include "evclnt.h"
#include "globals.h"
#include "oswrap.h"
#include "testfiles.h"
#include "trendserver.h"

namespace {

using trendserver::Bytes;
using trendserver::Reply;

std::mutex g_linesLock;
std::vector<std::pair<int, std::string>> g_lines;

void RecordLine(int level, const char *text) {
  std::lock_guard<std::mutex> guard(g_linesLock);
  g_lines.emplace_back(level, text);
}

std::vector<std::pair<int, std::string>> Lines() {
  std::lock_guard<std::mutex> guard(g_linesLock);
  return g_lines;
}

// What the host's component was told: code 1 with its text payload, codes
// 0 and 2 with the int their data points to.
std::mutex g_eventsLock;
std::vector<std::pair<int, std::string>> g_events;
decltype(&::SetProbesLoaded) g_setProbesLoaded = nullptr;

void ComponentCallback(int code, void *data, int) {
  std::string what = code == 1 ? static_cast<char *>(data) : std::to_string(*static_cast<int *>(data));
  std::lock_guard<std::mutex> guard(g_eventsLock);
  g_events.emplace_back(code, what);
}

// A probe host: told that probes are loaded, its probes lower the counter.
void ProbesCallback(int code, void *data, int slot) {
  ComponentCallback(code, data, slot);
  if (code == 0) g_setProbesLoaded(-1);
}

std::vector<std::string> EventsOf(int code) {
  std::lock_guard<std::mutex> guard(g_eventsLock);
  std::vector<std::string> matching;
  for (const auto &event : g_events)
    if (event.first == code) matching.push_back(event.second);
  return matching;
}

bool WaitForEvents(int code, size_t count) {
  return WaitUntil([&] { return EventsOf(code).size() >= count; });
}

// The exports the scenarios call, looked up by name as the host does.
struct Exports {
  explicit Exports(const DynamicLibrary &library) {
#define DMW_EXPORT(name) name = library.get<decltype(&::name)>(#name)
    DMW_EXPORT(InitAgent);
    DMW_EXPORT(StartAgent);
    DMW_EXPORT(StopAgent);
    DMW_EXPORT(NotifyProbes);
    DMW_EXPORT(SetProbesLoaded);
    DMW_EXPORT(DispMsg);
    DMW_EXPORT(_StartClient);
    DMW_EXPORT(_StopClient);
    DMW_EXPORT(_HookDisplay);
    DMW_EXPORT(_GetGlobalData);
    DMW_EXPORT(_DMWOpen);
    DMW_EXPORT(_DMWClose);
    DMW_EXPORT(_DMWConnectAgent);
    DMW_EXPORT(_DMWConnectConsole);
    DMW_EXPORT(_DMWRegisterAgent);
    DMW_EXPORT(_DMWRegisterForEvent);
    DMW_EXPORT(_RObjCreate);
    DMW_EXPORT(_RObjRequest);
    DMW_EXPORT(_DmwDecodeTime);
    DMW_EXPORT(_DmwEncodeTime);
#undef DMW_EXPORT
  }
  bool complete() const {
    return InitAgent && StartAgent && StopAgent && NotifyProbes && SetProbesLoaded && DispMsg &&
           _StartClient && _StopClient && _HookDisplay && _GetGlobalData && _DMWOpen && _DMWClose &&
           _DMWConnectAgent && _DMWConnectConsole && _DMWRegisterAgent && _DMWRegisterForEvent &&
           _RObjCreate &&
           _RObjRequest && _DmwDecodeTime && _DmwEncodeTime;
  }
  decltype(&::InitAgent) InitAgent;
  decltype(&::StartAgent) StartAgent;
  decltype(&::StopAgent) StopAgent;
  decltype(&::NotifyProbes) NotifyProbes;
  decltype(&::SetProbesLoaded) SetProbesLoaded;
  decltype(&::DispMsg) DispMsg;
  decltype(&::_StartClient) _StartClient;
  decltype(&::_StopClient) _StopClient;
  decltype(&::_HookDisplay) _HookDisplay;
  decltype(&::_GetGlobalData) _GetGlobalData;
  decltype(&::_DMWOpen) _DMWOpen;
  decltype(&::_DMWClose) _DMWClose;
  decltype(&::_DMWConnectAgent) _DMWConnectAgent;
  decltype(&::_DMWConnectConsole) _DMWConnectConsole;
  decltype(&::_DMWRegisterAgent) _DMWRegisterAgent;
  decltype(&::_DMWRegisterForEvent) _DMWRegisterForEvent;
  decltype(&::_RObjCreate) _RObjCreate;
  decltype(&::_RObjRequest) _RObjRequest;
  decltype(&::_DmwDecodeTime) _DmwDecodeTime;
  decltype(&::_DmwEncodeTime) _DmwEncodeTime;
};

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.listening());
    Load();
  }
  void TearDown() override {
    if (dmw) dmw->_HookDisplay(nullptr);
    Unload();
  }
  void Load() {
    library = std::make_unique<DynamicLibrary>(DMWCLIENT_LIBRARY);
    ASSERT_TRUE(library->loaded()) << DMWCLIENT_LIBRARY;
    dmw = std::make_unique<Exports>(*library);
    ASSERT_TRUE(dmw->complete());
    {
      std::lock_guard<std::mutex> guard(g_linesLock);
      g_lines.clear();
    }
    {
      std::lock_guard<std::mutex> guard(g_eventsLock);
      g_events.clear();
    }
    g_setProbesLoaded = dmw->SetProbesLoaded;
    EXPECT_EQ(dmw->_HookDisplay(RecordLine), RecordLine);
  }
  void Unload() {
    dmw.reset();
    library.reset();
  }
  std::string ConfigPath() const { return base + kSep + "dmwagent.cfg"; }
  void WriteConfig(const std::string &agentLines) {
    WriteFileBytes(ConfigPath(), "[AGENT]\nServerSocket=" + std::to_string(server.port()) +
                                     "\nRcvTimeOut=2\n" + agentLines);
  }
  GlobalData Data() const {
    GlobalData data;
    dmw->_GetGlobalData(&data);
    return data;
  }
  static std::string Text(const char *text) { return text ? text : "<null>"; }
  // The event listener's port, once its thread has bound it.
  int WaitForListener() const {
    WaitUntil([this] { return Data().EventListenerPort != 0; });
    return Data().EventListenerPort;
  }

  ScratchDir scratch{"host_"};
  const std::string base = scratch.path();
  trendserver::FakeTrendServer server;
  std::unique_ptr<DynamicLibrary> library;
  std::unique_ptr<Exports> dmw;
};

TEST_F(HostTest, AgentWithoutConfigurationWritesTheDefaults) {
  dmw->InitAgent(base.c_str(), "HOST", "probe agent");
  EXPECT_EQ(FileBytes(ConfigPath()), DefaultAgentConfig(base));
  ExpectAgentDefaults(Data(), "HOST", "probe agent");
  dmw->StopAgent();
  EXPECT_EQ(Data().Server, nullptr) << "the settings are freed";
}

bool HasLine(const std::string &text) {
  auto lines = Lines();
  return std::find(lines.begin(), lines.end(), std::make_pair(0, text)) != lines.end();
}

TEST_F(HostTest, AgentCycleRunsTwiceAgainstTheServerAndTheLibraryUnloads) {
  WriteConfig("");
  std::vector<int> ports;
  for (int round = 0; round < 2; round++) {
    SCOPED_TRACE(round);
    {
      std::lock_guard<std::mutex> guard(g_eventsLock);
      g_events.clear();
    }
    dmw->InitAgent(base.c_str(), "HOST", "probe agent");
    int port = WaitForListener();
    ASSERT_NE(port, 0);
    ports.push_back(port);
    // The library's own components registered before the host's.
    EXPECT_GT(dmw->_DMWRegisterForEvent("Component", ComponentCallback), 1);
    EXPECT_EQ(dmw->StartAgent(), 1);
    EXPECT_TRUE(HasLine("Dunmorrow Agent:  HOST\n"));
    EXPECT_TRUE(HasLine("Dunmorrow Server: 127.0.0.1\n"));
    ASSERT_TRUE(WaitForEvents(2, 1)) << "the component was registered with the server";
    EXPECT_EQ(EventsOf(2)[0], "0");

    trendserver::EventConnection events(port);
    EXPECT_TRUE(events.Send("COMPONENT", Bytes().Str("trend data")));
    ASSERT_TRUE(WaitForEvents(1, 1));
    EXPECT_EQ(EventsOf(1)[0], "trend data");
    // The server holds its event connection open: the stop ends it.
    dmw->StopAgent();
    EXPECT_TRUE(events.ClosedByPeer(5000));
    EXPECT_EQ(dmw->_DMWOpen("127.0.0.1", server.port()), -1) << "stopped: no table";
  }
  // Each round identifies with its own listener port; a registration pass
  // that timed out on a loaded machine identifies once more, never otherwise.
  std::vector<std::string> expected;
  for (int port : ports) expected.push_back(Bytes().Str("HOST").Int(port).Int(2).str());
  std::vector<std::string> identifies;
  for (const auto &identify : server.FramesOf(1)) identifies.push_back(identify.body);
  ASSERT_GE(identifies.size(), 2u);
  EXPECT_EQ(identifies.front(), expected[0]);
  EXPECT_EQ(identifies.back(), expected[1]);
  for (const auto &identify : identifies)
    EXPECT_TRUE(identify == expected[0] || identify == expected[1]);
  for (const auto &connect : server.FramesOf(5))
    EXPECT_EQ(connect.body, Bytes().Int(1).Str("probe agent").Int(1).str());
  std::vector<std::string> registered;
  for (const auto &registration : server.FramesOf(2)) registered.push_back(registration.body);
  EXPECT_NE(std::find(registered.begin(), registered.end(), Bytes().Str("Component").str()),
            registered.end());
  EXPECT_NE(std::find(registered.begin(), registered.end(), Bytes().Str("alerter").str()),
            registered.end());
  auto handshakes = server.Handshakes();
  EXPECT_GE(handshakes.size(), 2u);
  for (const auto &handshake : handshakes) EXPECT_EQ(handshake, trendserver::kHandshakeLine);

  dmw->_HookDisplay(nullptr);
  Unload();
#ifdef _WIN32
  EXPECT_EQ(GetModuleHandleA(DMWCLIENT_LIBRARY), nullptr) << "the library has unloaded";
#endif
  Load();
  dmw->InitAgent(base.c_str(), "HOST", "probe agent");
  EXPECT_GE(dmw->_DMWOpen("127.0.0.1", server.port()), 0) << "and loads and runs again";
  dmw->StopAgent();
}

TEST_F(HostTest, ClientCycleAndReconnect) {
  for (int round = 0; round < 2; round++) {
    SCOPED_TRACE(round);
    dmw->_StartClient((base + kSep).c_str(), "console");
    GlobalData data = Data();
    EXPECT_EQ(Text(data.DBPath), base);
    EXPECT_EQ(Text(data.CFGPath), base);
    EXPECT_EQ(Text(data.Server), "127.0.0.1");
    EXPECT_EQ(+data.ServerSocket, 2001);
    EXPECT_EQ(+data.DebugLevel, 0);

    int port = WaitForListener();
    ASSERT_NE(port, 0) << "a client listens for events too";
    int slot = dmw->_DMWOpen("127.0.0.1", server.port());
    ASSERT_GE(slot, 0);
    // Each round identifies twice: on opening and on reconnecting.
    ASSERT_TRUE(server.WaitForFrames(1, static_cast<size_t>(2 * round + 1), 5000));
    EXPECT_EQ(server.FramesOf(1).back().body, Bytes().Str("console").Int(port).Int(2).str());
    EXPECT_EQ(dmw->_DMWConnectConsole(slot, "operator"), 0);
    server.Answer(0x1002, Reply{0, Bytes().Int(41 + round)});
    int object = 0;
    EXPECT_EQ(dmw->_RObjCreate(slot, 0x80001, nullptr, 0, &object), 0);
    EXPECT_EQ(object, 41 + round);

    server.DropConnections();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(dmw->_DMWOpen("127.0.0.1", server.port()), slot) << "reconnected in place";
    server.Answer(0x1003, Reply{0, "", trendserver::Fault::None, 0, true});
    char reply[16];
    int length = sizeof reply;
    EXPECT_EQ(dmw->_RObjRequest(slot, object, 7, "abc", 3, reply, &length), 0);
    EXPECT_EQ(std::string(reply, static_cast<size_t>(length)),
              Bytes().Int(object).Int(7).Raw("abc").str());
    dmw->_DMWClose(slot);
    dmw->_DMWClose(slot);
    dmw->_StopClient();
    EXPECT_EQ(dmw->_DMWOpen("127.0.0.1", server.port()), -1);
  }
}

TEST_F(HostTest, DispMsgShowsTheTextAsItIs) {
  WriteConfig("DebugLevel=3\n");
  dmw->InitAgent(base.c_str(), "HOST", "agent");
  const char text[] = "100% done %s %n %d\n";
  dmw->DispMsg(3, text);
  dmw->DispMsg(4, "hidden\n");
  auto lines = Lines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), std::make_pair(4, std::string(text))),
            lines.end());
  for (const auto &line : lines) EXPECT_NE(line.second, "hidden\n");
  dmw->StopAgent();
}

TEST_F(HostTest, NotifyProbesWaitsForTheCounter) {
  dmw->InitAgent(base.c_str(), "HOST", "agent");
  dmw->NotifyProbes();  // nothing loaded: returns at once
  EXPECT_EQ(dmw->SetProbesLoaded(1), 1);
  EXPECT_EQ(+Data().ProbesLoaded, 1);
  auto start = std::chrono::steady_clock::now();
  std::thread probes([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    dmw->SetProbesLoaded(-1);
  });
  dmw->NotifyProbes();
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(150));
  EXPECT_EQ(+Data().ProbesLoaded, 0);
  probes.join();
  dmw->StopAgent();
}

TEST_F(HostTest, NotifyProbesTellsTheComponents) {
  dmw->InitAgent(base.c_str(), "HOST", "agent");
  EXPECT_GT(dmw->_DMWRegisterForEvent("probes", ProbesCallback), 0);
  dmw->NotifyProbes();
  EXPECT_TRUE(EventsOf(0).empty()) << "nothing loaded: nothing is called";
  dmw->SetProbesLoaded(1);
  dmw->NotifyProbes();
  EXPECT_EQ(EventsOf(0), std::vector<std::string>{"-1"});
  EXPECT_EQ(+Data().ProbesLoaded, 0);
  dmw->StopAgent();
}

// A host's class of local objects, counting what the library did with it.
std::atomic<int> g_created{0};
std::atomic<int> g_freed{0};
int g_objectData;

void *CountedCreate(int, void *) {
  g_created++;
  return &g_objectData;
}
int FinishedRequest(void *, int, void *, void *buffer, int *) {
  if (buffer) *static_cast<int *>(buffer) = 0;  // still running
  return 0;
}
void CountedFree(void *) { g_freed++; }
const ClassCallbacks kHostClass = {CountedCreate, FinishedRequest, CountedFree};

TEST_F(HostTest, AgentRunsTheHostsScheduledWorkUntilItStops) {
  auto registerClass = library->get<decltype(&::_cmRegisterClass)>("_cmRegisterClass");
  auto schedule = library->get<decltype(&::_ScheduleInternalWork)>("_ScheduleInternalWork");
  auto createObject = library->get<decltype(&::_ObjCreate)>("_ObjCreate");
  ASSERT_TRUE(registerClass && schedule && createObject);
  g_created = g_freed = 0;
  dmw->InitAgent(base.c_str(), "HOST", "agent");
  ASSERT_EQ(registerClass(0x4000, &kHostClass), 1);
  // Once a day from midnight to the day's end, never run: due at once.
  EXPECT_GT(schedule(0x4000, "host work", 0, "0|0|7f|0|15180", nullptr), 0);
  WaitUntil([] { return g_created != 0; });
  EXPECT_EQ(g_created, 1) << "the scheduler created the task's object";
  dmw->StopAgent();
  EXPECT_EQ(g_freed, 1) << "the stop freed the running object";
  EXPECT_EQ(registerClass(0x4000, &kHostClass), 0) << "stopped: no class manager";
  EXPECT_EQ(schedule(0x4000, "host work", 0, "0|0|7f|0|15180", nullptr), 0);

  dmw->_StartClient(base.c_str(), "console");
  ASSERT_EQ(registerClass(0x4000, &kHostClass), 1) << "a client has local objects too";
  EXPECT_GE(createObject(1, 0x4000, nullptr), 0);
  dmw->_StopClient();
  EXPECT_EQ(g_freed, 2);
  EXPECT_EQ(registerClass(0x4000, &kHostClass), 0);
}

// A host's class whose objects note every request and their free; each
// object's data is its name.
std::mutex g_heardLock;
std::vector<std::string> g_heard;

void Hear(const std::string &what) {
  std::lock_guard<std::mutex> guard(g_heardLock);
  g_heard.push_back(what);
}
void *NamedCreate(int, void *name) { return name; }
int NotingRequest(void *name, int method, void *, void *, int *) {
  Hear(static_cast<const char *>(name) + std::string(" method ") + std::to_string(method));
  return 0;
}
void NotingFree(void *name) { Hear(static_cast<const char *>(name) + std::string(" freed")); }
const ClassCallbacks kNotingClass = {NamedCreate, NotingRequest, NotingFree};

TEST_F(HostTest, StopAgentTellsObjectsSharingTheReplicatorsClassBitsToStop) {
  auto registerClass = library->get<decltype(&::_cmRegisterClass)>("_cmRegisterClass");
  auto createObject = library->get<decltype(&::_ObjCreate)>("_ObjCreate");
  ASSERT_TRUE(registerClass && createObject);
  g_heard.clear();
  dmw->InitAgent(base.c_str(), "HOST", "agent");
  // The replicator's class is 0x1010: 0x10 shares a bit with it, 0x20 none.
  ASSERT_EQ(registerClass(0x10, &kNotingClass), 1);
  ASSERT_EQ(registerClass(0x20, &kNotingClass), 1);
  char sharing[] = "sharing", apart[] = "apart";
  ASSERT_GE(createObject(5, 0x10, sharing), 0);
  ASSERT_GE(createObject(5, 0x20, apart), 0);
  dmw->StopAgent();
  EXPECT_EQ(g_heard, (std::vector<std::string>{"sharing method 1", "sharing freed", "apart freed"}));
}

TEST_F(HostTest, HostsAlertReachesTheServer) {
  auto sendEvent = library->get<decltype(&::_SendEvent)>("_SendEvent");
  ASSERT_TRUE(sendEvent);
  EXPECT_EQ(sendEvent(5, "x", 1), -1) << "no agent yet";
  WriteConfig("RetryDelay=1\n");
  dmw->InitAgent(base.c_str(), "HOST", "agent");
  EXPECT_EQ(sendEvent(5, "disk full", 9), 0);
  ASSERT_TRUE(server.WaitForFrames(0x1005, 1, 10000));
  auto alerts = server.Alerts();
  EXPECT_EQ(alerts[0].type, 5);
  EXPECT_EQ(alerts[0].data, "disk full");
  dmw->StopAgent();
  EXPECT_EQ(sendEvent(5, "x", 1), -1) << "stopped";
}

TEST_F(HostTest, TimeConversionThroughTheLibrary) {
  DmwTime record;
  for (xtime_t t : {xtime_t{0}, xtime_t{1234567890}, xtime_t{2000000000}})
    EXPECT_EQ(dmw->_DmwEncodeTime(dmw->_DmwDecodeTime(t, &record)), t) << t;
}

}  // namespace
