// The event client against the fake trend server: registrations reach the
// server, events reach the right callbacks, and stopping is prompt.
#include "evclnt.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "dmwclnt.h"
#include "globals.h"
#include "trendserver.h"

namespace {

using trendserver::Bytes;
using trendserver::EventConnection;
using trendserver::Reply;

constexpr unsigned kWait = 5000;

struct Call {
  int who;
  int code;
  std::string payload;  // code 1
  int value;            // codes 0 and 2: the int the data points to
  int slot;
};

std::mutex g_callsLock;
std::condition_variable g_callsChanged;
std::vector<Call> g_calls;

void Record(Call call) {
  std::lock_guard<std::mutex> guard(g_callsLock);
  g_calls.push_back(std::move(call));
  g_callsChanged.notify_all();
}

// A component's callback; its payloads are texts (but those of the
// component that receives empty payloads, which are not read).
template <int Who, bool ReadsPayload = true>
void Component(int code, void *data, int slot) {
  std::string payload = code == 1 && ReadsPayload ? static_cast<char *>(data) : "";
  Record(Call{Who, code, payload, code == 1 ? 0 : *static_cast<int *>(data), slot});
}

std::vector<Call> CallsOf(int who, int code) {
  std::lock_guard<std::mutex> guard(g_callsLock);
  std::vector<Call> matching;
  for (const Call &call : g_calls)
    if (call.who == who && call.code == code) matching.push_back(call);
  return matching;
}

bool WaitForCalls(int who, int code, size_t count) {
  std::unique_lock<std::mutex> guard(g_callsLock);
  return g_callsChanged.wait_for(guard, std::chrono::milliseconds(kWait), [&] {
    size_t matching = 0;
    for (const Call &call : g_calls) matching += call.who == who && call.code == code;
    return matching >= count;
  });
}

std::string Text(const std::string &text) { return Bytes().Str(text); }

class EventClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    {
      std::lock_guard<std::mutex> guard(g_callsLock);
      g_calls.clear();
    }
    ASSERT_TRUE(server.listening());
    InitClientGlobals(".", "EVHOST");
    Globals().serverSocket = server.port();
    Globals().retryDelay = 1;
    Globals().rcvTimeOutMs = 2000;
    ASSERT_EQ(ConnTableInit(), 0);
    ASSERT_EQ(EvClntInit(), 0);
    port = WaitForListener();
    ASSERT_NE(port, 0);
  }
  // In the agent's order: connections first, then the event client.
  void TearDown() override {
    ConnTableDone();
    EvClntDone();
    FreeGlobals();
  }
  static int WaitForListener() {
    for (int i = 0; i < 500 && Globals().eventListenerPort == 0; i++)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return Globals().eventListenerPort;
  }
  std::vector<std::string> RegisteredNames() {
    std::vector<std::string> names;
    for (const auto &frame : server.FramesOf(2)) names.push_back(trendserver::Reader(frame.body).Str());
    return names;
  }

  trendserver::FakeTrendServer server;
  int port = 0;
};

TEST_F(EventClientTest, EventsReachTheFirstRegistrationOfTheirName) {
  EXPECT_EQ(_DMWRegisterForEvent("Alpha", Component<1>), 1);
  EXPECT_EQ(_DMWRegisterForEvent("alpha", Component<2>), 2);
  EXPECT_EQ(_DMWRegisterForEvent("Beta", Component<3, false>), 3);
  EventConnection events(port);
  ASSERT_TRUE(events.connected());
  EXPECT_TRUE(events.Send("ALPHA", Text("one")));
  EXPECT_TRUE(events.Send("beta", ""));
  EXPECT_TRUE(events.Send("nobody", Text("dropped")));
  EXPECT_TRUE(events.Send("alpha", Text("two")));
  ASSERT_TRUE(WaitForCalls(1, 1, 2));
  auto alpha = CallsOf(1, 1);
  EXPECT_EQ(alpha[0].payload, "one");
  EXPECT_EQ(alpha[1].payload, "two");
  EXPECT_EQ(alpha[0].slot, -1);
  EXPECT_TRUE(CallsOf(2, 1).empty()) << "only the lower slot of a name gets its events";
  EXPECT_EQ(CallsOf(3, 1).size(), 1u) << "an empty payload is still an event";
}

TEST_F(EventClientTest, FreedHandlesAreReused) {
  EXPECT_EQ(_DMWRegisterForEvent("a", Component<1>), 1);
  EXPECT_EQ(_DMWRegisterForEvent("b", Component<2>), 2);
  _DMWUnregisterEvent(1);
  _DMWUnregisterEvent(0);
  _DMWUnregisterEvent(9);
  EXPECT_EQ(_DMWRegisterForEvent("c", Component<3>), 1);
  EventConnection events(port);
  EXPECT_TRUE(events.Send("a", Text("gone")));
  EXPECT_TRUE(events.Send("c", Text("here")));
  ASSERT_TRUE(WaitForCalls(3, 1, 1));
  EXPECT_TRUE(CallsOf(1, 1).empty());
}

// Packets the listener must refuse by ending the connection; the next
// connection is served as usual.
struct BadPacketCase {
  const char *name;
  std::string bytes;
};

void PrintTo(const BadPacketCase &c, std::ostream *out) { *out << c.name; }

class BadEventPacketTest : public EventClientTest,
                           public ::testing::WithParamInterface<BadPacketCase> {};

TEST_P(BadEventPacketTest, EndsTheConnectionWithoutACall) {
  ASSERT_EQ(_DMWRegisterForEvent("abcd", Component<1>), 1);
  {
    EventConnection events(port);
    EXPECT_TRUE(events.SendRaw(GetParam().bytes));
    EXPECT_TRUE(events.ClosedByPeer(kWait));
  }
  EventConnection next(port);
  EXPECT_TRUE(next.Send("abcd", Text("fine")));
  ASSERT_TRUE(WaitForCalls(1, 1, 1));
  EXPECT_EQ(CallsOf(1, 1).size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Packets, BadEventPacketTest,
    ::testing::Values(
        BadPacketCase{"NameRunsPastThePacket",
                      Bytes().U16(6).Raw("abcd")},
        BadPacketCase{"LongerThanTheBuffer", Bytes().U16(2048).Str("abcd").Raw(std::string(2042, 'p'))},
        BadPacketCase{"ShorterThanALengthAndAName", Bytes().U16(2)}),
    [](const auto &info) { return std::string(info.param.name); });

// A callback that unregisters itself: it runs outside the registrations'
// lock, so it doesn't wait for it.
int g_selfHandle = 0;
void UnregistersItself(int code, void *data, int slot) {
  _DMWUnregisterEvent(g_selfHandle);
  Component<1>(code, data, slot);
}

TEST_F(EventClientTest, CallbackMayUnregisterItself) {
  g_selfHandle = _DMWRegisterForEvent("once", UnregistersItself);
  ASSERT_EQ(g_selfHandle, 1);
  EXPECT_EQ(_DMWRegisterForEvent("later", Component<2>), 2);
  EventConnection events(port);
  EXPECT_TRUE(events.Send("once", Text("first")));
  EXPECT_TRUE(events.Send("once", Text("second")));
  EXPECT_TRUE(events.Send("later", Text("marker")));
  ASSERT_TRUE(WaitForCalls(2, 1, 1));
  EXPECT_EQ(CallsOf(1, 1).size(), 1u);
}

TEST_F(EventClientTest, RegistrationsChangeWhileEventsFlow) {
  ASSERT_EQ(_DMWRegisterForEvent("steady", Component<1>), 1);
  std::atomic<bool> stop{false};
  std::thread churn([&] {
    while (!stop) {
      int handle = _DMWRegisterForEvent("churn", Component<2>);
      _DMWUnregisterEvent(handle);
    }
  });
  EventConnection events(port);
  for (int i = 0; i < 50; i++) {
    events.Send("churn", Text("c"));
    events.Send("steady", Text(std::to_string(i)));
  }
  EXPECT_TRUE(WaitForCalls(1, 1, 50));
  stop = true;
  churn.join();
}

TEST_F(EventClientTest, NotifyComponentsCallsEveryCallbackWithCodeZero) {
  _DMWRegisterForEvent("a", Component<1>);
  _DMWRegisterForEvent("b", Component<2>);
  NotifyComponents(-1, -1);
  for (int who : {1, 2}) {
    auto calls = CallsOf(who, 0);
    ASSERT_EQ(calls.size(), 1u) << who;
    EXPECT_EQ(calls[0].value, -1);
    EXPECT_EQ(calls[0].slot, 0);
  }
  NotifyComponents(1, 7);
  EXPECT_EQ(CallsOf(2, 0).size(), 2u) << "an index above 0 names one slot";
  EXPECT_EQ(CallsOf(1, 0).size(), 1u);
}

TEST_F(EventClientTest, RegistrationThreadRegistersEveryNameAndAgainOnRefresh) {
  _DMWRegisterForEvent("one", Component<1>);
  _DMWRegisterForEvent("two", Component<2>);
  ASSERT_EQ(EvClntStart(), 1);
  ASSERT_TRUE(WaitForCalls(2, 2, 1));
  EXPECT_EQ(RegisteredNames(), (std::vector<std::string>{"one", "two"}));
  auto connect = server.FramesOf(5);
  ASSERT_EQ(connect.size(), 1u);
  EXPECT_EQ(connect[0].body, Bytes().Int(1).Str("server agent").Int(1).str());
  EXPECT_EQ(server.FramesOf(1)[0].body, Bytes().Str("EVHOST").Int(port).Int(2).str())
      << "the identify carries the listener's port";
  auto registered = CallsOf(1, 2);
  ASSERT_EQ(registered.size(), 1u);
  EXPECT_EQ(registered[0].value, 0);
  EXPECT_GE(registered[0].slot, 0);

  EventConnection events(port);
  EXPECT_TRUE(events.Send("cfgrefresh", ""));
  ASSERT_TRUE(WaitForCalls(2, 2, 2));
  EXPECT_EQ(RegisteredNames().size(), 4u);
  EXPECT_TRUE(CallsOf(1, 1).empty() && CallsOf(2, 1).empty()) << "a refresh is no event";

  // Stopping while the thread waits its hour, with the event connection
  // held open and idle by the server, ends both threads.
  auto start = std::chrono::steady_clock::now();
  ConnTableDone();
  EvClntDone();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_TRUE(events.ClosedByPeer(kWait));
}

TEST_F(EventClientTest, RegistrationStatusReachesTheCallback) {
  server.Answer(2, Reply{-1, ""});
  _DMWRegisterForEvent("one", Component<1>);
  ASSERT_EQ(EvClntStart(), 1);
  ASSERT_TRUE(WaitForCalls(1, 2, 1));
  EXPECT_EQ(CallsOf(1, 2)[0].value, -1);
}

TEST_F(EventClientTest, RefusedAgentRegistersNothingAndTriesAgain) {
  server.AnswerOnce(5, Reply{3, ""});
  _DMWRegisterForEvent("one", Component<1>);
  ASSERT_EQ(EvClntStart(), 1);
  ASSERT_TRUE(WaitForCalls(1, 2, 1)) << "the retry after RetryDelay is accepted";
  EXPECT_EQ(server.FramesOf(5).size(), 2u);
  EXPECT_EQ(RegisteredNames(), std::vector<std::string>{"one"});
}

TEST_F(EventClientTest, NewRegistrationWakesTheThreadWhileTheServerIsAway) {
  Globals().retryDelay = 600;
  server.Refuse();
  _DMWRegisterForEvent("one", Component<1>);
  ASSERT_EQ(EvClntStart(), 1);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  server.Resume();
  _DMWRegisterForEvent("two", Component<2>);
  EXPECT_TRUE(WaitForCalls(2, 2, 1)) << "registered without waiting the retry delay";
}

TEST_F(EventClientTest, StopEndsAnIdleEventConnection) {
  _DMWRegisterForEvent("a", Component<1>);
  EventConnection events(port);
  EXPECT_TRUE(events.Send("a", Text("x")));
  ASSERT_TRUE(WaitForCalls(1, 1, 1));
  EvClntDone();
  EXPECT_TRUE(events.ClosedByPeer(kWait));
  EXPECT_EQ(_DMWRegisterForEvent("late", Component<2>), -1) << "stopped: not set up";
  EXPECT_EQ(EvClntStart(), 0);
}

}  // namespace
