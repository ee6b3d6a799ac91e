// Round trips per second of one request frame against the fake trend
// server on loopback: through _DMWRequest, and through a bare socket loop
// that sends the same frames and reads the same replies. The ratio shows
// what the connection table, its locks and the stale-data test cost.
#include <chrono>
#include <cstdio>
#include <string>

#include "dmwclnt.h"
#include "globals.h"
#include "loopback.h"
#include "trendserver.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr unsigned kCode = 0x1003;
constexpr int kCapacity = 64;
constexpr auto kRunTime = std::chrono::seconds(2);

const std::string kRequestBody(16, 'q');
const std::string kReplyBody(20, 'r');

struct Result {
  long trips = 0;
  double seconds = 0;
  bool ok = true;
  double rate() const { return seconds > 0 ? trips / seconds : 0; }
};

// Runs `trip` until the run time has passed or a trip fails.
template <typename Trip>
Result Measure(Trip trip) {
  Result result;
  auto start = Clock::now();
  while (Clock::now() - start < kRunTime) {
    for (int i = 0; i < 100; i++, result.trips++)
      if (!trip()) {
        result.ok = false;
        break;
      }
    if (!result.ok) break;
  }
  result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  return result;
}

Result BareSocketLoop(int port) {
  os::Socket s = loopback::Connect(port);
  if (s == os::kInvalidSocket || !loopback::SendAll(s, trendserver::kHandshakeLine))
    return Result{0, 0, false};
  const std::string frame = trendserver::RequestFrame(kCode, kRequestBody, kCapacity);
  char reply[4 + kCapacity];
  Result result = Measure([&] {
    return loopback::SendAll(s, frame) && trendserver::ReceiveExact(s, reply, 4, 5000) &&
           trendserver::ReceiveExact(s, reply + 4, kReplyBody.size(), 5000);
  });
  os::SocketClose(s);
  return result;
}

Result LibraryLoop(int port) {
  InitClientGlobals(".", "bench");
  if (ConnTableInit() != 0) return Result{0, 0, false};
  int slot = _DMWOpen("127.0.0.1", port);
  std::string frame = trendserver::RequestFrame(kCode, kRequestBody, kCapacity);
  char reply[kCapacity];
  Result result = Measure([&] {
    int capacity = kCapacity;
    return _DMWRequest(slot, &frame[0], static_cast<int>(frame.size()), reply, &capacity) == 0 &&
           capacity == static_cast<int>(kReplyBody.size());
  });
  _DMWClose(slot);
  ConnTableDone();
  FreeGlobals();
  return result;
}

void Print(const char *name, const Result &result) {
  std::printf("%-22s %9ld trips in %.2f s: %10.0f round trips/s%s\n", name, result.trips,
              result.seconds, result.rate(), result.ok ? "" : "  (a trip FAILED)");
}

}  // namespace

int main() {
  trendserver::FakeTrendServer server;
  if (!server.listening()) {
    std::fprintf(stderr, "the fake server could not listen\n");
    return 1;
  }
  server.Answer(kCode, trendserver::Reply{0, kReplyBody});
  Result bare = BareSocketLoop(server.port());
  Result library = LibraryLoop(server.port());
  std::printf("request of %zu body bytes, reply of %zu body bytes, loopback TCP\n",
              kRequestBody.size(), kReplyBody.size());
  Print("bare socket loop", bare);
  Print("_DMWRequest", library);
  if (bare.rate() > 0)
    std::printf("_DMWRequest reaches %.1f%% of the bare loop's rate\n",
                100.0 * library.rate() / bare.rate());
  return bare.ok && library.ok ? 0 : 1;
}
