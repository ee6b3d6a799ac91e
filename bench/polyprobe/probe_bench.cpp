// Loads polyprobe as a host does and runs it against a TCP peer on the
// loopback that answers each request after a delay it measures itself:
//  1. throughput: many checks on one handle, counted for a few seconds;
//  2. accuracy: one check asked again and again, each reported response
//     time set against the time from accept to answer at the peer.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "dynlib.h"
#include "loopback.h"
#include "polyprobe.h"

namespace {

using Clock = std::chrono::steady_clock;

// Answers "+PONG" to each connection's request, `delayMs` after accepting
// it, and keeps the time it measured from accept to answer.
class Peer {
 public:
  int port() const { return loop_.port(); }
  void SetDelay(int ms) { delayMs_ = ms; }
  std::vector<double> Measured() {
    std::lock_guard<std::mutex> guard(lock_);
    return measured_;
  }

 private:
  void Serve(os::Socket client) {
    Clock::time_point accepted = Clock::now();
    loopback::ReceiveSome(client, 64, 1000);
    std::this_thread::sleep_until(accepted + std::chrono::milliseconds(delayMs_.load()));
    loopback::SendAll(client, "+PONG\r\n");
    double ms = std::chrono::duration<double, std::milli>(Clock::now() - accepted).count();
    std::lock_guard<std::mutex> guard(lock_);
    measured_.push_back(ms);
  }
  std::atomic<int> delayMs_{0};
  std::mutex lock_;
  std::vector<double> measured_;
  loopback::AcceptLoop loop_{[this](os::Socket client) { Serve(client); }};
};

struct Api {
  explicit Api(const DynamicLibrary &library)
      : moduleInit(library.get<decltype(&_pqmModuleInit)>("_pqmModuleInit")),
        moduleClose(library.get<decltype(&_pqmModuleClose)>("_pqmModuleClose")),
        init(library.get<decltype(&_pqmInit)>("_pqmInit")),
        close(library.get<decltype(&_pqmClose)>("_pqmClose")),
        add(library.get<decltype(&_pqmAdd)>("_pqmAdd")),
        checkNow(library.get<decltype(&_pqmCheckNow)>("_pqmCheckNow")),
        get(library.get<decltype(&_pqmGet)>("_pqmGet")) {}
  decltype(&_pqmModuleInit) moduleInit;
  decltype(&_pqmModuleClose) moduleClose;
  decltype(&_pqmInit) init;
  decltype(&_pqmClose) close;
  decltype(&_pqmAdd) add;
  decltype(&_pqmCheckNow) checkNow;
  decltype(&_pqmGet) get;
};

std::string DescriptionFile(int port) {
  std::string path = "/tmp/polyprobe-bench-" + std::to_string(port) + ".dat";
  FILE *file = std::fopen(path.c_str(), "wb");
  if (!file) return "";
  std::fprintf(file,
               "<pmonitor><service name=\"Pong\" port=\"%d\" protocol=\"TCP\">"
               "<send><text>PING<br/></text></send>"
               "<receive><text start=\"0\">+PONG</text></receive></service></pmonitor>\n",
               port);
  std::fclose(file);
  return path;
}

int Total(const Api &api, MonitorHandle *handle, int id) {
  CheckResult r{};
  api.get(handle, id, &r);
  return r.total;
}

void Throughput(const Api &api, const std::string &path) {
  MonitorHandle *handle = api.init(path.c_str(), 0);
  std::vector<int> ids;
  for (int i = 0; i < 200; ++i) ids.push_back(api.add(handle, "127.0.0.1", "Pong", 1000, 2000, 1));
  std::this_thread::sleep_for(std::chrono::seconds(1));  // past the start-up
  auto count = [&] {
    int total = 0;
    for (int id : ids) total += Total(api, handle, id);
    return total;
  };
  int before = count();
  Clock::time_point start = Clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(5));
  int done = count() - before;
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  std::printf("throughput: %d checks in %.2f s on one handle = %.1f checks/s\n", done, seconds,
              done / seconds);
  api.close(handle);
}

void Accuracy(const Api &api, const std::string &path, Peer &peer) {
  MonitorHandle *handle = api.init(path.c_str(), 0);
  int id = api.add(handle, "127.0.0.1", "Pong", 60000, 2000, 1);
  const int delays[] = {0, 5, 20, 50, 120};
  std::vector<int> reported;
  size_t first = peer.Measured().size();
  for (int round = 0; round < 50; ++round) {
    peer.SetDelay(delays[round % 5]);
    int total = Total(api, handle, id);
    if (round > 0) api.checkNow(handle, id);
    while (Total(api, handle, id) == total) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    CheckResult r{};
    api.get(handle, id, &r);
    reported.push_back(r.average);
  }
  std::vector<double> measured = peer.Measured();
  double sum = 0, worst = 0;
  int compared = 0;
  for (size_t i = 0; i < reported.size() && first + i < measured.size(); ++i) {
    double difference = reported[i] - measured[first + i];
    sum += std::fabs(difference);
    worst = std::max(worst, std::fabs(difference));
    ++compared;
  }
  std::printf("accuracy: %d requests with answer delays of 0-120 ms: reported minus peer-measured "
              "response time |mean| %.2f ms, worst %.2f ms\n",
              compared, compared ? sum / compared : 0.0, worst);
  api.close(handle);
}

}  // namespace

int main() {
  DynamicLibrary library(POLYPROBE_LIBRARY);
  if (!library.loaded()) {
    std::fprintf(stderr, "can't load %s\n", POLYPROBE_LIBRARY);
    return 1;
  }
  Api api(library);
  if (!api.moduleInit()) return 1;
  Peer peer;
  std::string path = DescriptionFile(peer.port());
  if (path.empty()) return 1;
  Throughput(api, path);
  Accuracy(api, path, peer);
  api.moduleClose();
  std::remove(path.c_str());
  return 0;
}
