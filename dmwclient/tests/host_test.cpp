// Scenarios as the host program runs them: the library loaded at run time,
// a display hook installed, the agent or client brought up and down
// against the fake trend server. Under Wine this is the 32-bit host
// loading dmwclient.dll; natively the same scenarios run on the shared
// library.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "agent.h"
#include "dmwclnt.h"
#include "dynlib.h"
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
    DMW_EXPORT(_RObjCreate);
    DMW_EXPORT(_RObjRequest);
    DMW_EXPORT(_DmwDecodeTime);
    DMW_EXPORT(_DmwEncodeTime);
#undef DMW_EXPORT
  }
  bool complete() const {
    return InitAgent && StartAgent && StopAgent && NotifyProbes && SetProbesLoaded && DispMsg &&
           _StartClient && _StopClient && _HookDisplay && _GetGlobalData && _DMWOpen && _DMWClose &&
           _DMWConnectAgent && _DMWConnectConsole && _DMWRegisterAgent && _RObjCreate &&
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

TEST_F(HostTest, AgentCycleRunsTwiceAgainstTheServerAndTheLibraryUnloads) {
  WriteConfig("");
  for (int round = 0; round < 2; round++) {
    SCOPED_TRACE(round);
    dmw->InitAgent(base.c_str(), "HOST", "probe agent");
    EXPECT_EQ(dmw->StartAgent(), 0);
    auto lines = Lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        std::make_pair(0, std::string("Dunmorrow Agent:  HOST\n"))),
              lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        std::make_pair(0, std::string("Dunmorrow Server: 127.0.0.1\n"))),
              lines.end());
    GlobalData data = Data();
    int slot = dmw->_DMWOpen(data.Server, data.ServerSocket);
    ASSERT_GE(slot, 0);
    EXPECT_EQ(dmw->_DMWConnectAgent(slot, data.AgentTypeName), 0);
    EXPECT_EQ(dmw->_DMWRegisterAgent(slot, "component"), 0);
    dmw->_DMWClose(slot);
    dmw->StopAgent();
    EXPECT_EQ(dmw->_DMWOpen("127.0.0.1", server.port()), -1) << "stopped: no table";
  }
  ASSERT_TRUE(server.WaitForFrames(2, 2, 5000));
  auto identifies = server.FramesOf(1);
  ASSERT_EQ(identifies.size(), 2u);
  for (const auto &identify : identifies)
    EXPECT_EQ(identify.body, Bytes().Str("HOST").Int(0).Int(2).str());
  EXPECT_EQ(server.FramesOf(5)[1].body, Bytes().Int(1).Str("probe agent").Int(1).str());
  EXPECT_EQ(server.FramesOf(2)[1].body, Bytes().Str("component").str());
  EXPECT_EQ(server.Handshakes(),
            std::vector<std::string>(2, std::string(trendserver::kHandshakeLine)));

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

    int slot = dmw->_DMWOpen("127.0.0.1", server.port());
    ASSERT_GE(slot, 0);
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
  auto identifies = server.FramesOf(1);
  ASSERT_GE(identifies.size(), 1u);
  EXPECT_EQ(identifies[0].body, Bytes().Str("console").Int(0).Int(2).str());
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

TEST_F(HostTest, TimeConversionThroughTheLibrary) {
  DmwTime record;
  for (xtime_t t : {xtime_t{0}, xtime_t{1234567890}, xtime_t{2000000000}})
    EXPECT_EQ(dmw->_DmwEncodeTime(dmw->_DmwDecodeTime(t, &record)), t) << t;
}

}  // namespace
