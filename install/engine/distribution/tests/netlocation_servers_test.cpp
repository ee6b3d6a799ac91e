// Downloads through the system's internet library from real servers on
// loopback: Python's HTTP file server and pyftpdlib's FTP server (netpeer.h),
// each started by the test on its protocol's default port (the only ports
// the library reaches here) and stopped again on every path. Tests that bind
// a default port hold a ctest lock, so no two of them run at once.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <tuple>

#include "distribution/distribution.h"
#include "distribution/netlocation.h"
#include "items/installfile.h"
#include "netpeer.h"
#include "paths/registry.h"
#include "testing/fixtures.h"

namespace install_test {
namespace {

using namespace forms;
using namespace install;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::StartsWith;

using netpeer::kLoopback;
using netpeer::NetPeer;
using netpeer::ReadWholeFile;

const char* const kInternetSettings = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

// Text of n bytes that differs from block to block.
std::string Pattern(size_t n) {
  std::string text(n, '\0');
  for (size_t i = 0; i < n; ++i) text[i] = static_cast<char>('a' + (i * 7 + i / 8192) % 26);
  return text;
}

// What a location reported, in order.
struct Report {
  std::vector<std::string> events;
  std::vector<std::tuple<int32_t, int32_t, int32_t>> blocks;  // bytes, total, size
  std::vector<std::tuple<int32_t, int32_t, int32_t>> hooked;
  bool aborted = false;
};

// A served directory and a download directory of this process's own, under
// the build tree (which the server sees by its Linux path and the test
// through Wine's Z: drive).
class ServerTest : public EngineTest {
protected:
  ServerTest(const char* kind, int port) : kind_(kind), port_(port) {}

  void SetUp() override {
    EngineTest::SetUp();
    std::string unix_dir = std::string(NETPEER_WORK_DIR) + "/netpeer-" + std::to_string(GetCurrentProcessId());
    work_ = NetPeer::WindowsPath(unix_dir);
    std::filesystem::remove_all(work_);
    std::filesystem::create_directories(work_ / "served");
    std::filesystem::create_directories(work_ / "local");
    peer_ = std::make_unique<NetPeer>(kind_, unix_dir + "/served", unix_dir, port_);
    if (peer_->PortTaken()) GTEST_SKIP() << "port " << port_ << " can't be bound: " << peer_->State();
    ASSERT_TRUE(peer_->Ready()) << peer_->State();
  }

  void TearDown() override {
    peer_.reset();
    SetDownloadAborted(false);
    EngineTest::TearDown();
    std::error_code ignored;
    std::filesystem::remove_all(work_, ignored);
  }

  void Serve(const std::string& relative, const std::string& content) {
    std::filesystem::path path = work_ / "served" / relative;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
  }

  std::string Local(const std::string& name) const { return (work_ / "local" / name).string(); }

  TNetInstallLocation* Location(TInternetProtocol protocol, const std::string& directory,
                                const std::string& name = "Site") {
    auto* location = New<TNetInstallLocation>(owner_);
    location->SetName(name);
    location->LoginInformation().SetProtocol(protocol);
    location->LoginInformation().SetHostname(kLoopback);
    location->LoginInformation().SetDirectory(directory);
    return location;
  }

  // Records every event and progress call of location into report.
  static void Watch(TNetInstallLocation* location, Report& report) {
    location->SetOnBeforeLogin([&report](TComponent*) { report.events.push_back("before login"); });
    location->SetOnAfterLogin([&report](TComponent*) { report.events.push_back("after login"); });
    location->SetOnBeforeDownload([&report](TComponent*) { report.events.push_back("before download"); });
    location->SetOnAfterDownload([&report](TComponent*, bool aborted) {
      report.events.push_back("after download");
      report.aborted = aborted;
    });
    location->SetOnDataReceived([&report](TComponent*, const std::string&, int32_t bytes, int32_t total,
                                          int32_t size, const char*) {
      report.blocks.emplace_back(bytes, total, size);
    });
  }

  // The ENIL the download raises, as its message; empty when none.
  template <class E>
  std::string FailureOf(TNetInstallLocation* location, const std::string& remote, const std::string& local) {
    try {
      location->Download(remote, local);
    } catch (const E& error) {
      return error.Message();
    }
    return "";
  }

  // A server that ends the transfer early, or stops sending, is a read
  // failure over either protocol: over HTTP the body is shorter than the
  // length the server announced, over FTP the server answers the transfer
  // with 426; the system's receive time-out (here 1.5 seconds) bounds the
  // wait for a block. The location stays usable for the next download.
  void ExpectTransfersThatEndEarlyToFail(TInternetProtocol protocol) {
    UsePrivateRegistry();
    WriteRegistryInteger(hkCurrentUser, kInternetSettings, "ReceiveTimeout", 1500);
    Serve("cut.1", Pattern(40000));
    Serve("stall.1", Pattern(40000));
    Serve("whole.1", Pattern(40000));
    peer_->Misbehave("cut.1", "cut");
    peer_->Misbehave("stall.1", "stall");
    TNetInstallLocation* location = Location(protocol, "");
    struct Case {
      const char* remote;
      const char* error_name;
    } cases[] = {{"cut.1", "ERROR_INTERNET_CONNECTION_ABORTED"}, {"stall.1", "ERROR_INTERNET_TIMEOUT"}};
    for (const Case& c : cases) {
      std::string message = FailureOf<ENIL_ReadFile>(location, c.remote, Local(c.remote));
      EXPECT_THAT(message, StartsWith(std::string("Could not read from file ") + c.remote +
                                      " on the server. Error message " + c.error_name + ". Server 127.0.0.1. "))
          << c.remote;
    }
    location->Download("whole.1", Local("whole.1"));
    EXPECT_EQ(ReadWholeFile(Local("whole.1")), Pattern(40000));
  }

  std::string kind_;
  int port_;
  std::filesystem::path work_;
  std::unique_ptr<NetPeer> peer_;
};

class HttpDownload : public ServerTest {
protected:
  HttpDownload() : ServerTest("http", 80) {}
};

class FtpDownload : public ServerTest {
protected:
  FtpDownload() : ServerTest("ftp", 21) {}
};

// 20000 bytes arrive in blocks of 8192, 8192 and 3616, each reported first
// to OnDataReceived and then to the hook of the object that downloads.
TEST_F(HttpDownload, AFileArrivesBlockByBlockWithItsEvents) {
  const std::string content = Pattern(20000);
  Serve("setup/files/files.1", content);
  TNetInstallLocation* location = Location(ipHTTP, "setup\\files");
  Report report;
  Watch(location, report);
  TComponent* downloader = owner_;
  location->SetDownloadProgressHook(downloader, [&](TComponent* sender, const std::string& name, int32_t bytes,
                                                    int32_t total, int32_t size, const char* buffer) {
    EXPECT_EQ(sender, location);
    EXPECT_EQ(name, "files.1");
    EXPECT_EQ(std::string(buffer, 3), content.substr(total - bytes, 3));
    ASSERT_EQ(report.blocks.size(), report.hooked.size() + 1) << "the hook runs after OnDataReceived";
    report.hooked.emplace_back(bytes, total, size);
  });
  location->Download("files.1", Local("files.1"));

  EXPECT_EQ(ReadWholeFile(Local("files.1")), content);
  std::vector<std::tuple<int32_t, int32_t, int32_t>> expected = {
      {8192, 8192, 20000}, {8192, 16384, 20000}, {3616, 20000, 20000}};
  EXPECT_EQ(report.blocks, expected);
  EXPECT_EQ(report.hooked, expected);
  EXPECT_EQ(report.events,
            (std::vector<std::string>{"before login", "after login", "before download", "after download"}));
  EXPECT_FALSE(report.aborted);
  EXPECT_EQ(location->DownloadProgressObject(), downloader);
  EXPECT_EQ(CurrentLocation(), location);
}

TEST_F(HttpDownload, LaterDownloadsUseTheSameConnection) {
  Serve("one.txt", "first file");
  Serve("two.txt", "second file");
  TNetInstallLocation* location = Location(ipHTTP, "");
  Report report;
  Watch(location, report);
  location->Download("one.txt", Local("one.txt"));
  location->Download("two.txt", Local("two.txt"));
  EXPECT_EQ(ReadWholeFile(Local("one.txt")), "first file");
  EXPECT_EQ(ReadWholeFile(Local("two.txt")), "second file");
  EXPECT_EQ(std::count(report.events.begin(), report.events.end(), "before login"), 1);
  EXPECT_TRUE(location->Connected());
}

// A missing file (the server's error page does not say 404 at its start),
// a page that opens with 404 and an empty file all count as not found; the
// local file has been made, with nothing in it.
TEST_F(HttpDownload, MissingAndEmptyFilesAreNotFound) {
  Serve("notice.txt", "Error 404: this page is not here");
  Serve("empty.1", "");
  TNetInstallLocation* location = Location(ipHTTP, "\\");
  for (const char* remote : {"missing.1", "notice.txt", "empty.1"}) {
    std::string local = Local(remote);
    std::string message = FailureOf<ENIL_FileNotFound>(location, remote, local);
    EXPECT_THAT(message, StartsWith("Could not find the file " + std::string(remote) +
                                    " on the server. Error message "))
        << remote;
    EXPECT_THAT(message, HasSubstr(". Server 127.0.0.1. Response from server ")) << remote;
    EXPECT_TRUE(std::filesystem::exists(local)) << remote;
    EXPECT_EQ(std::filesystem::file_size(local), 0u) << remote;
  }
}

// Cancel during a download: the block in hand is not written, the download
// ends without an error and reports that it was aborted.
TEST_F(HttpDownload, ACancelStopsAfterTheCurrentBlock) {
  Serve("files.1", Pattern(30000));
  TNetInstallLocation* location = Location(ipHTTP, "");
  Report report;
  Watch(location, report);
  location->SetOnDataReceived([&](TComponent*, const std::string&, int32_t bytes, int32_t total, int32_t size,
                                  const char*) {
    report.blocks.emplace_back(bytes, total, size);
    if (total > 8192) SetDownloadAborted(true);
  });
  location->Download("files.1", Local("files.1"));
  EXPECT_EQ(report.blocks.size(), 2u);
  EXPECT_EQ(ReadWholeFile(Local("files.1")), Pattern(8192));
  EXPECT_TRUE(report.aborted);
  EXPECT_EQ(report.events.back(), "after download");
}

TEST_F(HttpDownload, ALocalFileThatCannotBeMadeIsAWriteFailure) {
  Serve("files.1", "archive");
  TNetInstallLocation* location = Location(ipHTTP, "");
  std::string local = Local("no such folder\\files.1");
  try {
    location->Download("files.1", local);
    FAIL() << "wrote into a missing folder";
  } catch (const ENIL_WriteDestFile& error) {
    EXPECT_EQ(error.Message(), "Site could not write to the local dest file " + local);
  }
  // The failure closed the request: the next download goes through.
  location->Download("files.1", Local("files.1"));
  EXPECT_EQ(ReadWholeFile(Local("files.1")), "archive");
}

// No server there: the request can't be sent.
TEST_F(HttpDownload, AHostWithoutServerRefusesTheRequest) {
  TNetInstallLocation* location = Location(ipHTTP, "");
  location->LoginInformation().SetHostname("127.0.0.254");
  std::string message = FailureOf<ENIL_HTTPSendRequest>(location, "files.1", Local("files.1"));
  // The library is loaded now, and the server's last response is empty.
  EXPECT_EQ(message,
            "Cannot send request for file files.1 to the server. Error message ERROR_INTERNET_CANNOT_CONNECT. "
            "Server 127.0.0.254. Response from server ");
  EXPECT_FALSE(std::filesystem::exists(Local("files.1")));
}

TEST_F(HttpDownload, ATransferThatEndsEarlyFails) {
  ExpectTransfersThatEndEarlyToFail(ipHTTP);
  EXPECT_EQ(peer_->Requests(), (std::vector<std::string>{"cut.1", "stall.1", "whole.1"}));
}

TEST_F(FtpDownload, ATransferThatEndsEarlyFails) {
  ExpectTransfersThatEndEarlyToFail(ipFTP);
  // The server's answer to the broken transfer is in the message.
  EXPECT_THAT(FailureOf<ENIL_ReadFile>(Location(ipFTP, "", "Again"), "cut.1", Local("again.1")),
              HasSubstr("Response from server 426 "));
}

// The installer's own location gives the list of a net distribution's
// files: the install file of each record's name takes its size, date and
// version.
TEST_F(HttpDownload, TheNetFileListComesFromTheInstallersLocation) {
  std::string record(80, '\0');
  record[0] = '\x10';  // 16 bytes
  double date = 38000.25;
  std::memcpy(&record[8], &date, sizeof date);
  record.replace(16, 12, "IFviewer_exe");
  record.replace(56, 7, "5.20.00");
  Serve("setup/filelist.lst", std::string("\x01\0\0\0", 4) + record);
  auto* file = New<TInstallFile>(owner_);
  file->SetName("IFviewer_exe");
  SetDefaultLocation(Location(ipHTTP, "setup"));
  FetchNetFileList();
  EXPECT_EQ(file->Size(), 16);
  EXPECT_EQ(file->Date(), 38000.25);
  EXPECT_EQ(file->Version(), "5.20.00");
}

// Anonymous FTP from a directory below the root, twice over one connection.
TEST_F(FtpDownload, FilesComeFromTheLocationsDirectory) {
  const std::string content = Pattern(20000);
  Serve("setup/files/files.1", content);
  Serve("setup/files/files.2", "second disk");
  Serve("files.2", "the root's own file");
  TNetInstallLocation* location = Location(ipFTP, "setup\\files");
  Report report;
  Watch(location, report);
  location->Download("files.1", Local("files.1"));
  ASSERT_FALSE(report.blocks.empty());
  EXPECT_EQ(std::get<1>(report.blocks.back()), 20000);
  location->Download("files.2", Local("files.2"));
  EXPECT_EQ(ReadWholeFile(Local("files.1")), content);
  EXPECT_EQ(ReadWholeFile(Local("files.2")), "second disk");
  EXPECT_EQ(std::count(report.events.begin(), report.events.end(), "before login"), 1);
}

TEST_F(FtpDownload, AUserLogsInWithItsPassword) {
  Serve("files.1", "for members");
  TNetInstallLocation* location = Location(ipFTP, "");
  location->LoginInformation().SetAnonymous(false);
  location->LoginInformation().SetUsername("netuser");
  location->LoginInformation().SetPassword("secret");
  location->Download("files.1", Local("files.1"));
  EXPECT_EQ(ReadWholeFile(Local("files.1")), "for members");
}

TEST_F(FtpDownload, AWrongPasswordCarriesTheServersAnswer) {
  TNetInstallLocation* location = Location(ipFTP, "");
  location->LoginInformation().SetAnonymous(false);
  location->LoginInformation().SetUsername("netuser");
  location->LoginInformation().SetPassword("wrong");
  std::string message = FailureOf<ENIL_OpenService>(location, "files.1", Local("files.1"));
  EXPECT_THAT(message, StartsWith("Cannot connect to host 127.0.0.1. Error message ERROR_INTERNET_LOGIN_FAILURE. "
                                  "Server 127.0.0.1. Response from server "));
  EXPECT_THAT(message, HasSubstr("530"));
  EXPECT_FALSE(location->Connected());
}

TEST_F(FtpDownload, MissingDirectoriesFilesAndEmptyFilesFail) {
  Serve("pub/empty.1", "");
  TNetInstallLocation* lost = Location(ipFTP, "no\\such");
  EXPECT_THAT(FailureOf<ENIL_FTPSetDir>(lost, "files.1", Local("files.1")),
              StartsWith("Cannot set directory on server to no/such. Error message "));
  TNetInstallLocation* location = Location(ipFTP, "pub", "Pub");
  EXPECT_THAT(FailureOf<ENIL_FTPOpenFile>(location, "missing.1", Local("missing.1")),
              StartsWith("Cannot open file missing.1 on server. Error message "));
  EXPECT_THAT(FailureOf<ENIL_FileNotFound>(location, "empty.1", Local("empty.1")),
              StartsWith("Could not find the file empty.1 on the server. Error message "));
  EXPECT_EQ(std::filesystem::file_size(Local("empty.1")), 0u);
}

}  // namespace
}  // namespace install_test
