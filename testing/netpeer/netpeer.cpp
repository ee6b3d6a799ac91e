#include "netpeer.h"

#include <windows.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

namespace netpeer {

namespace {

constexpr auto kPeerWait = std::chrono::seconds(20);

}  // namespace

std::string ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

NetPeer::NetPeer(const std::string& kind, const std::string& root, const std::string& talk, int port)
    : talk_(WindowsPath(talk)) {
  std::string owner = ReadWholeFile(WindowsPath("/proc/self/stat"));
  owner = owner.substr(0, owner.find(' '));
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  std::string command = std::string("/usr/bin/python3 ") + NETPEER_SCRIPT + " " + kind + " " + root + " " +
                        kLoopback + " " + std::to_string(port) + " " + talk + "/peer-status " + talk + "/peer-stop " +
                        owner;
  PROCESS_INFORMATION process{};
  started_ = !owner.empty() && CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                              &startup, &process);
  if (!started_) return;
  // A Linux program's process can't be waited for or ended through these.
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  state_ = AwaitStatus([](const std::string& status) { return !status.empty(); });
}

NetPeer::~NetPeer() {
  if (!Ready()) return;
  std::ofstream(talk_ / "peer-stop") << "stop";
  AwaitStatus([](const std::string& status) { return status == "stopped"; });
}

std::string NetPeer::State() const {
  if (!started_) return "python3 could not be started";
  return state_.empty() ? "the server did not answer" : state_;
}

void NetPeer::Misbehave(const std::string& name, const std::string& how) const {
  std::ofstream(talk_ / "peer-behaviour", std::ios::app) << name << " " << how << "\n";
}

void NetPeer::MisbehaveNoMore() const {
  std::error_code ignored;
  std::filesystem::remove(talk_ / "peer-behaviour", ignored);
}

std::vector<std::string> NetPeer::Requests() const {
  std::ifstream log(talk_ / "peer-requests");
  std::vector<std::string> names;
  for (std::string line; std::getline(log, line);) names.push_back(line);
  return names;
}

void NetPeer::ForgetRequests() const {
  std::error_code ignored;
  std::filesystem::remove(talk_ / "peer-requests", ignored);
}

std::string NetPeer::AwaitStatus(bool (*done)(const std::string&)) const {
  auto deadline = std::chrono::steady_clock::now() + kPeerWait;
  std::string status;
  while (std::chrono::steady_clock::now() < deadline) {
    status = ReadWholeFile(talk_ / "peer-status");
    if (done(status)) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return status;
}

}  // namespace netpeer
