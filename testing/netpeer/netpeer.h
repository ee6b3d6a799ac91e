// The download servers of the net tests: netpeer.py run as a Linux program
// (Wine starts those too) on 127.0.0.1, serving one folder over HTTP
// (Python's file server) or FTP (pyftpdlib) on the protocol's default port,
// the only one the system's internet library reaches here. Wine hands a
// Linux program neither pipes nor a process handle that could end it, so
// the two talk through files in a folder of the test's: the server writes
// its state into "peer-status" ("ready", "unavailable: <reason>",
// "stopped") and stops when "peer-stop" appears, or when this process (its
// Linux process id, read from Wine's view of /proc) has ended, so a crashed
// test leaves no server behind. It notes every file asked for in
// "peer-requests" and misbehaves on the files "peer-behaviour" names.
// Tests that start one hold the ctest lock wininet_default_ports.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace netpeer {

constexpr const char* kLoopback = "127.0.0.1";

class NetPeer {
public:
  // Starts the server of kind ("http", "ftp") on port, serving the folder
  // root, and waits until it listens; its files go into the folder talk.
  // Both are Linux paths (Windows sees them below Z:).
  NetPeer(const std::string& kind, const std::string& root, const std::string& talk, int port);
  // Stops the server and waits until its port is closed.
  ~NetPeer();
  NetPeer(const NetPeer&) = delete;
  NetPeer& operator=(const NetPeer&) = delete;

  bool Ready() const { return state_ == "ready"; }
  bool PortTaken() const { return state_.rfind("unavailable:", 0) == 0; }
  std::string State() const;
  // From now on the server misbehaves on the file name: "cut" (the first
  // half, then the transfer ends), "stall" (the first half, then nothing)
  // or "slow" (pieces with pauses).
  void Misbehave(const std::string& name, const std::string& how) const;
  // From now on the server serves every file as it is.
  void MisbehaveNoMore() const;
  // The names of the files clients asked for, in order.
  std::vector<std::string> Requests() const;
  // Forgets the requests noted so far.
  void ForgetRequests() const;

  // A Linux path as the Windows programs see it.
  static std::filesystem::path WindowsPath(const std::string& unix_path) { return "Z:" + unix_path; }

private:
  // The status file's text once done(text), or what it held at the deadline.
  std::string AwaitStatus(bool (*done)(const std::string&)) const;

  std::filesystem::path talk_;
  bool started_ = false;
  std::string state_;
};

// The bytes of a file; empty when it can't be read.
std::string ReadWholeFile(const std::filesystem::path& path);

}  // namespace netpeer
