// Bytes per second that one replication pass uploads to the fake trend
// server on loopback (walk, per-file open and close on the trend store,
// 1024-byte blocks each answered by the server), beside a bare socket that
// streams the bytes of the same day files to a reader, in one run. The
// ratio shows what the remote file store's request per block costs.
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "classmgr.h"
#include "dmwclnt.h"
#include "dmwfiles.h"
#include "globals.h"
#include "loopback.h"
#include "netsys.h"
#include "replictr.h"
#include "tmpmgr.h"
#include "trendfile.h"
#include "trendserver.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kFiles = 200;
constexpr size_t kDayFileBytes = kTrendHeaderSize + kTrendDataSize;  // a raw day
constexpr int kRepeats = 3;

struct Result {
  double seconds = 0;
  bool ok = false;
};

std::string Relative(int index) {
  return "series" + std::to_string(index) + kPathSeparator + "today.tra";
}

// Day files of raw, incompressible values, last written now (so that they
// are kept after the upload).
std::vector<std::string> MakeDayFiles(const std::string &trends) {
  std::mt19937 random(7);
  std::vector<std::string> paths;
  for (int i = 0; i < kFiles; i++) {
    std::string path = trends + kPathSeparator + Relative(i);
    fs::create_directories(fs::path(path).parent_path());
    std::string bytes(kDayFileBytes, '\0');
    for (char &byte : bytes) byte = static_cast<char>(random());
    std::ofstream(path, std::ios::binary) << bytes;
    paths.push_back(path);
  }
  return paths;
}

std::string FileBytes(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// One replication run, as the scheduler makes it, against a fresh server.
Result ReplicationRun(const std::string &base) {
  trendserver::FakeTrendServer server;
  if (!server.listening()) return {};
  std::ofstream(base + kPathSeparator + "dmwagent.cfg")
      << "[AGENT]\nServerSocket=" << server.port() << "\nDBPath=" << base
      << "\nCFGPath=" << base << "\n";
  LoadGlobals(base.c_str(), "BENCH", "bench agent");
  Result result;
  if (ClassMgrInit() == 0 && TmpMgrInit() == 0 && ConnTableInit() == 0) {
    ReplicatorInit();
    auto start = Clock::now();
    int id = _ObjCreate(1, kReplicatorClass, nullptr);
    int finished = 0;
    while (id >= 0 && !finished) {
      int length = sizeof finished;
      _ObjRequest(id, 0, nullptr, &finished, &length);
      if (!finished) std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    _ObjFree(id);
    result.ok = id >= 0;
    for (int i = 0; i < kFiles && result.ok; i++) {
      trendserver::StoredFile stored;
      result.ok = server.GetFile(DB_CLASS_TRENDS, Relative(i), &stored) &&
                  stored.bytes.size() == kDayFileBytes;
    }
    ReplicatorDone();
  }
  ConnTableDone();
  TmpMgrDone();
  ClassMgrDone();
  FreeGlobals();
  return result;
}

// The same files' bytes streamed over one loopback connection to a reader.
Result BareTransfer(const std::vector<std::string> &paths) {
  loopback::Listener listener = loopback::Listen();
  if (listener.socket == os::kInvalidSocket) return {};
  size_t received = 0;
  std::thread reader([&] {
    os::Socket s = loopback::Accept(listener);
    char buffer[65536];
    for (;;) {
      int got = static_cast<int>(recv(os::Raw(s), buffer, sizeof buffer, 0));
      if (got <= 0) break;
      received += static_cast<size_t>(got);
    }
    loopback::Close(s);
  });
  auto start = Clock::now();
  os::Socket s = loopback::Connect(listener.port);
  bool sent = s != os::kInvalidSocket;
  for (const std::string &path : paths)
    if (sent) sent = loopback::SendAll(s, FileBytes(path));
  loopback::Close(s);
  reader.join();
  Result result;
  result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  result.ok = sent && received == paths.size() * kDayFileBytes;
  loopback::Close(listener.socket);
  return result;
}

template <typename Run>
Result Best(Run run) {
  Result best;
  for (int i = 0; i < kRepeats; i++) {
    Result result = run();
    if (!result.ok) return result;
    if (!best.ok || result.seconds < best.seconds) best = result;
  }
  return best;
}

void Print(const char *name, const Result &result) {
  double megabytes = kFiles * kDayFileBytes / 1e6;
  std::printf("%-22s %7.3f s: %8.2f MB/s, %8.0f day files/s%s\n", name, result.seconds,
              megabytes / result.seconds, kFiles / result.seconds,
              result.ok ? "" : "  (FAILED)");
}

}  // namespace

int main() {
  loopback::EnsureSockets();
  fs::path scratch = fs::temp_directory_path() / "netmon_replication_bench";
  fs::remove_all(scratch);
  fs::create_directories(scratch);
  const std::string base = scratch.string();
  std::vector<std::string> paths = MakeDayFiles(base + kPathSeparator + "trends");

  Result replication = Best([&] { return ReplicationRun(base); });
  Result bare = Best([&] { return BareTransfer(paths); });
  std::printf("%d raw day files of %zu bytes (%.2f MB), loopback TCP, best of %d\n", kFiles,
              kDayFileBytes, kFiles * kDayFileBytes / 1e6, kRepeats);
  Print("replication pass", replication);
  Print("bare socket stream", bare);
  if (replication.ok && bare.ok)
    std::printf("replication reaches %.2f%% of the bare stream's throughput\n",
                100.0 * bare.seconds / replication.seconds);
  fs::remove_all(scratch);
  return replication.ok && bare.ok ? 0 : 1;
}
