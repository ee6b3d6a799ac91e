// Sweeps loopback addresses with PING checks on one polyprobe handle, and
// the same addresses with `fping -C` (Debian's fping), in one run:
//  - completion time: from the first check added until every check has
//    finished its first cycle, against fping's run from start to exit;
//  - round-trip times: the mean of the checks' reported averages against
//    the mean of fping's per-target times.
// Raw ICMP sockets: run as root.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "dynlib.h"
#include "polyprobe.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kTargets = 32;
constexpr int kSamples = 5;
constexpr int kTimeoutMs = 1000;

struct Sweep {
  double seconds = 0;
  double meanRttMs = 0;
  int answered = 0;  // targets with at least one reply
};

std::vector<std::string> Targets() {
  std::vector<std::string> targets;
  for (int i = 1; i <= kTargets; ++i) targets.push_back("127.0.0." + std::to_string(i));
  return targets;
}

bool PolyprobeSweep(const DynamicLibrary &library, Sweep *sweep) {
  auto init = library.get<decltype(&_pqmInit)>("_pqmInit");
  auto close = library.get<decltype(&_pqmClose)>("_pqmClose");
  auto add = library.get<decltype(&_pqmAdd)>("_pqmAdd");
  auto get = library.get<decltype(&_pqmGet)>("_pqmGet");
  auto hook = library.get<decltype(&_pqmHookDisplay)>("_pqmHookDisplay");
  hook([](int, const char *) {});  // the missing description file is expected
  // No description file: the handle knows only its built-in protocols.
  MonitorHandle *handle = init("/nonexistent/polyprobe.dat", 0);
  if (!handle) return false;
  Clock::time_point start = Clock::now();
  std::vector<int> ids;
  for (const std::string &target : Targets())
    ids.push_back(add(handle, target.c_str(), "PING", 60000, kTimeoutMs, kSamples));
  std::vector<CheckResult> results(ids.size());
  for (bool finished = false; !finished;) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    finished = true;
    for (size_t i = 0; i < ids.size(); ++i) {
      get(handle, ids[i], &results[i]);
      finished = finished && results[i].status != 0 && results[i].total >= kSamples;
    }
  }
  sweep->seconds = std::chrono::duration<double>(Clock::now() - start).count();
  double sum = 0;
  for (const CheckResult &r : results) {
    if (r.average < 0) continue;
    sum += r.average;
    ++sweep->answered;
  }
  sweep->meanRttMs = sweep->answered ? sum / sweep->answered : -1;
  close(handle);
  return true;
}

// fping -C prints one line per target to stderr: "addr : t1 t2 ..." with
// "-" for a lost sample.
bool FpingSweep(const std::string &options, Sweep *sweep) {
  std::string command = "fping -q -C " + std::to_string(kSamples) + " -t " +
                        std::to_string(kTimeoutMs) + " " + options;
  for (const std::string &target : Targets()) command += " " + target;
  command += " 2>&1";
  Clock::time_point start = Clock::now();
  FILE *output = popen(command.c_str(), "r");
  if (!output) return false;
  std::string text;
  char chunk[4096];
  for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, output)) > 0;) text.append(chunk, n);
  pclose(output);
  sweep->seconds = std::chrono::duration<double>(Clock::now() - start).count();
  std::istringstream lines(text);
  std::string line;
  double sum = 0;
  while (std::getline(lines, line)) {
    size_t colon = line.find(" : ");
    if (colon == std::string::npos) continue;
    std::istringstream times(line.substr(colon + 3));
    std::string time;
    double targetSum = 0;
    int good = 0;
    while (times >> time) {
      if (time == "-") continue;
      targetSum += std::atof(time.c_str());
      ++good;
    }
    if (good == 0) continue;
    sum += targetSum / good;
    ++sweep->answered;
  }
  sweep->meanRttMs = sweep->answered ? sum / sweep->answered : -1;
  return sweep->answered > 0;
}

void Report(const char *name, const Sweep &sweep) {
  std::printf("  %-28s %6.3f s, %2d/%d targets answered, mean round trip %.3f ms\n", name,
              sweep.seconds, sweep.answered, kTargets, sweep.meanRttMs);
}

}  // namespace

int main() {
  DynamicLibrary library(POLYPROBE_LIBRARY);
  if (!library.loaded()) {
    std::fprintf(stderr, "can't load %s\n", POLYPROBE_LIBRARY);
    return 1;
  }
  auto moduleInit = library.get<decltype(&_pqmModuleInit)>("_pqmModuleInit");
  auto moduleClose = library.get<decltype(&_pqmModuleClose)>("_pqmModuleClose");
  if (!moduleInit()) return 1;
  Sweep polyprobe, fping, fpingFast;
  bool ran = PolyprobeSweep(library, &polyprobe);
  moduleClose();
  const char *fastOptions = "-p 20 -i 1";
  if (!ran || !FpingSweep("", &fping) || !FpingSweep(fastOptions, &fpingFast)) {
    std::fprintf(stderr, "the sweep did not run (root and fping are needed)\n");
    return 1;
  }
  std::printf("PING sweep of %d loopback targets, %d samples each, timeout %d ms:\n", kTargets,
              kSamples, kTimeoutMs);
  Report("polyprobe, one handle", polyprobe);
  Report("fping -C (default pacing)", fping);
  Report("fping -C -p 20 -i 1", fpingFast);
  std::printf("completion time ratio polyprobe/fping: %.2f (default pacing), %.2f (-p 20 -i 1)\n",
              polyprobe.seconds / fping.seconds, polyprobe.seconds / fpingFast.seconds);
  std::printf("mean round trip polyprobe - fping: %+.3f ms (default pacing), %+.3f ms (-p 20 -i 1)\n",
              polyprobe.meanRttMs - fping.meanRttMs, polyprobe.meanRttMs - fpingFast.meanRttMs);
  return 0;
}
