#include "host.h"

#include "netsys.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

PolyprobeApi::PolyprobeApi(const DynamicLibrary &library) {
#define POLYPROBE_LOOKUP(name) name = library.get<decltype(&::name)>(#name);
  POLYPROBE_EXPORTS(POLYPROBE_LOOKUP)
#undef POLYPROBE_LOOKUP
}

bool PolyprobeApi::complete() const {
  bool all = true;
#define POLYPROBE_PRESENT(name) all = all && name != nullptr;
  POLYPROBE_EXPORTS(POLYPROBE_PRESENT)
#undef POLYPROBE_PRESENT
  return all;
}

std::string DescriptionFile(const std::vector<Service> &services) {
  std::ostringstream text;
  text << "<?xml version=\"1.0\"?>\n<pmonitor>\n";
  for (const Service &s : services)
    text << " <service name=\"" << s.name << "\" port=\"" << s.port << "\" protocol=\"" << s.transport
         << "\">\n  <info>" << s.name << " check</info>\n  " << s.body << "\n </service>\n";
  text << "</pmonitor>\n";
  return text.str();
}

std::string WriteTempFile(const std::string &name, const std::string &bytes) {
  std::string path = testing::TempDir() + "polyprobe-" + name;
  FILE *file = std::fopen(path.c_str(), "wb");
  EXPECT_NE(file, nullptr) << path;
  if (file) {
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  }
  return path;
}

int PeerPort(const std::string &name) {
  const char *path = std::getenv("POLYPROBE_PEERS");
  if (!path) return 0;
  std::ifstream peers(path);
  std::string key;
  int port;
  while (peers >> key >> port)
    if (key == name) return port;
  return 0;
}

bool RawIcmpAllowed() {
  bool started = os::SocketsStart();
  os::Socket probe = static_cast<os::Socket>(socket(AF_INET, SOCK_RAW, 1));
  bool raw = probe != os::kInvalidSocket;
  if (raw) os::SocketClose(probe);
  if (started) os::SocketsStop();
  return raw;
}

std::mutex HookLines::lock;
std::vector<std::pair<int, std::string>> HookLines::lines;

void HookLines::Hook(int level, const char *text) {
  std::lock_guard<std::mutex> guard(lock);
  lines.emplace_back(level, text);
}

bool HookLines::Contains(const std::string &text, int level) {
  std::lock_guard<std::mutex> guard(lock);
  for (const auto &line : lines)
    if (line.first == level && line.second.find(text) != std::string::npos) return true;
  return false;
}

void PolyprobeTest::SetUp() {
  ASSERT_TRUE(library.loaded()) << POLYPROBE_LIBRARY;
  ASSERT_TRUE(api.complete());
  ASSERT_NE(api._pqmModuleInit(), nullptr);
  moduleOpen = true;
  api._pqmHookDisplay(HookLines::Hook);
}

void PolyprobeTest::CloseHandles() {
  for (MonitorHandle *handle : handles) api._pqmClose(handle);
  handles.clear();
}

PolyprobeTest::~PolyprobeTest() {
  CloseHandles();
  if (moduleOpen) {
    api._pqmHookDisplay(nullptr);
    api._pqmModuleClose();
  }
}

MonitorHandle *PolyprobeTest::Open(const std::vector<Service> &services, int snmp) {
  const testing::TestInfo *test = testing::UnitTest::GetInstance()->current_test_info();
  std::string path = WriteTempFile(std::string(test->name()) + ".dat", DescriptionFile(services));
  MonitorHandle *handle = api._pqmInit(path.c_str(), snmp);
  if (handle) handles.push_back(handle);
  return handle;
}

CheckResult PolyprobeTest::Result(MonitorHandle *handle, int id) {
  CheckResult result{};
  EXPECT_EQ(api._pqmGet(handle, id, &result), 1);
  return result;
}

bool PolyprobeTest::WaitFor(const std::function<bool()> &done) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

CheckResult PolyprobeTest::Finished(MonitorHandle *handle, int id) {
  EXPECT_TRUE(WaitFor([&] {
    CheckResult r = Result(handle, id);
    return r.status != 0 && r.total >= r.samples;
  })) << "check " << id << " never finished its first cycle";
  return Result(handle, id);
}
