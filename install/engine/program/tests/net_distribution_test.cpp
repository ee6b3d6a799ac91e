// The product as a net distribution, as its vendor and its users meet it:
// the vendor's install.exe carries the product's install script with a net
// location of its own (the loopback server, directory "netmon") and a net
// distribution type; install.exe -b builds the distribution, whose net
// archives and file list below "127.0.0.1\netmon" a real server on
// loopback serves (Python's HTTP file server or pyftpdlib, netpeer.h); a
// user installs from setup.exe, which downloads what the installation
// needs. The file list is read back with the test's own reader of its
// 80-byte records, the archives with the test's own archive reader, and
// the server's request log tells what was downloaded.
// Registry calls of Windows Vista and later (RegSetKeyValue, RegDeleteKeyValue).
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "archive/tests/archive_fixture.h"
#include "distribution/tests/distribution_fixture.h"
#include "installer_user.h"
#include "netpeer.h"
#include "product.h"
#include "vendor_and_user.h"

namespace {

namespace fs = std::filesystem;
using installer_user::Outcome;
using netpeer::NetPeer;
using ::testing::HasSubstr;
using ::testing::StartsWith;

const char* const kInternetSettings = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

// The archives of a net build of the product: one for each folder with
// files that have no archive of their own, and one for each file whose
// overwrite rule compares versions and dates (the libraries and the
// control), so that a current copy on the user's disk need not be fetched.
const std::set<std::string> kFolderArchives = {"idAgent.1",       "idAgentLocal.1",    "idMonitor.1",
                                               "idHelp.1",        "idHelpAgent.1",     "idHelpMonitor.1",
                                               "idHelpMessaging.1", "idHelpControl.1", "idUpdates.1",
                                               "idMisc.1"};
const std::set<std::string> kOwnArchives = {"IFdmwclient_dll.1", "IFpolyprobe_dll.1", "IFpagerwire_dll.1",
                                            "IFtipcaster_ocx.1"};

std::set<std::string> Union(const std::set<std::string>& a, const std::set<std::string>& b) {
  std::set<std::string> both = a;
  both.insert(b.begin(), b.end());
  return both;
}

// The script's name of a product file's component: "IF" and its file name
// with the dot as an underscore.
std::string ComponentName(const product::File& file) {
  std::string name = "IF" + fs::path(file.name).filename().string();
  std::replace(name.begin(), name.end(), '.', '_');
  return name;
}

// Puts text in place of the first anchor of script.
void Replace(std::string& script, const std::string& anchor, const std::string& text) {
  size_t at = script.find(anchor);
  ASSERT_NE(at, std::string::npos) << anchor;
  script.replace(at, anchor.size(), text);
}

// The product's install script as a net distribution of the type, from
// the location Site on the loopback server over the protocol; the files
// named are marked Net.
std::string NetScript(const std::string& type, const std::string& protocol,
                      const std::vector<std::string>& net_files = {}) {
  std::string script = fixture::ReadFile(INSTALL_SCRIPT_FILE);
  Replace(script, "  TInstall Install1 {\n",
          "  TNetInstallLocation Site {\n"
          "    LoginInformation.Hostname = \"127.0.0.1\"\n"
          "    LoginInformation.Directory = \"netmon\"\n"
          "    LoginInformation.Protocol = " + protocol + "\n"
          "  }\n"
          "  TInstall Install1 {\n"
          "    DistributeType = " + type + "\n"
          "    NetLocation = Site\n");
  for (const std::string& name : net_files)
    Replace(script, "  TInstallFile " + name + " {\n", "  TInstallFile " + name + " {\n    Net = True\n");
  return script;
}

// Notes the language of the first resource found.
BOOL CALLBACK TakeLanguage(HMODULE, LPCSTR, LPCSTR, WORD found, LONG_PTR language) {
  *reinterpret_cast<WORD*>(language) = found;
  return FALSE;
}

// The install script stored in the program at path becomes script, as if
// the vendor had built the program with it.
void StoreScript(const fs::path& program, const std::string& script) {
  HMODULE image = LoadLibraryExA(program.string().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(image, nullptr) << program;
  WORD language = 0;
  EnumResourceLanguagesA(image, MAKEINTRESOURCEA(10), "TINSTALLMAINFORM", TakeLanguage,  // RT_RCDATA
                         reinterpret_cast<LONG_PTR>(&language));
  FreeLibrary(image);
  HANDLE update = BeginUpdateResourceA(program.string().c_str(), FALSE);
  ASSERT_NE(update, nullptr) << GetLastError();
  ASSERT_TRUE(UpdateResourceA(update, MAKEINTRESOURCEA(10), "TINSTALLMAINFORM", language,
                              const_cast<char*>(script.data()), static_cast<DWORD>(script.size())));
  ASSERT_TRUE(EndUpdateResourceA(update, FALSE)) << GetLastError();
}

// The system's receive time-out of the internet library, for as long as
// the object lives.
class ReceiveTimeout {
public:
  explicit ReceiveTimeout(DWORD milliseconds) {
    RegSetKeyValueA(HKEY_CURRENT_USER, kInternetSettings, "ReceiveTimeout", REG_DWORD, &milliseconds,
                    sizeof milliseconds);
  }
  ~ReceiveTimeout() { RegDeleteKeyValueA(HKEY_CURRENT_USER, kInternetSettings, "ReceiveTimeout"); }
  ReceiveTimeout(const ReceiveTimeout&) = delete;
  ReceiveTimeout& operator=(const ReceiveTimeout&) = delete;
};

// The vendor builds into a folder below the build tree, which the server
// serves by its Linux path; the distribution's net files stand in
// "127.0.0.1\netmon" there.
class NetDistribution : public VendorAndUser {
protected:
  void SetUp() override {
    VendorAndUser::SetUp();
    work_ = std::string(NETPEER_WORK_DIR) + "/netdist-" + std::to_string(GetCurrentProcessId());
    fs::remove_all(NetPeer::WindowsPath(work_));
    dist_ = NetPeer::WindowsPath(work_ + "/dist").make_preferred();
    net_ = dist_ / "127.0.0.1" / "netmon";
    fs::create_directories(net_);
    product::Forget();
  }
  void TearDown() override {
    peer_.reset();
    product::Forget();
    std::error_code ignored;
    fs::remove_all(NetPeer::WindowsPath(work_), ignored);
  }

  // The distribution of script, built by the vendor's install.exe.
  void BuildWith(const std::string& script) {
    ASSERT_NO_FATAL_FAILURE(StoreScript(stage_ / "install.exe", script));
    BuildTheDistribution();
  }
  // The server of kind for the distribution.
  void StartServer(const char* kind, int port) {
    peer_ = std::make_unique<NetPeer>(kind, work_ + "/dist/127.0.0.1", work_, port);
    ASSERT_TRUE(peer_->Ready()) << peer_->State();
  }
  // A user installs from the distribution.
  Outcome Install(bool cancel_the_copy = false) { return RunSetup(dist_ / "setup.exe", "", cancel_the_copy); }

  // What the user's downloads left in the temporary folder: their
  // archives (".1") and the names reserved for them (".tmp").
  std::vector<std::string> DownloadFilesLeft() const {
    std::vector<std::string> left;
    for (const fs::directory_entry& entry : fs::directory_iterator(user_temp_.path())) {
      std::string extension = entry.path().extension().string();
      if (entry.is_regular_file() && (extension == ".1" || extension == ".tmp"))
        left.push_back(entry.path().filename().string());
    }
    return left;
  }
  // A user installs from the distribution without a word from the
  // installer: the server was asked for the file list, then for the
  // archives, and no download is left behind.
  void InstallFetching(const std::set<std::string>& archives) {
    Outcome outcome = Install();
    EXPECT_EQ(outcome.pages, product::kWizardPages);
    EXPECT_EQ(outcome.box_text, "");
    EXPECT_EQ(outcome.exit_code, 0u);
    ExpectRequests(archives);
    EXPECT_EQ(DownloadFilesLeft(), std::vector<std::string>{});
  }
  // The files the server was asked for: the file list first, then the
  // archives.
  void ExpectRequests(const std::set<std::string>& archives) const {
    std::vector<std::string> requests = peer_->Requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.front(), "filelist.lst");
    std::vector<std::string> rest(requests.begin() + 1, requests.end());
    std::sort(rest.begin(), rest.end());
    EXPECT_EQ(rest, std::vector<std::string>(archives.begin(), archives.end()));
  }
  // The names of the files below the net folder of the distribution.
  std::set<std::string> NetFiles() const {
    std::set<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(net_))
      names.insert(entry.path().filename().string());
    return names;
  }
  // Every product file whose installed copy is there.
  std::vector<std::string> InstalledFiles() const {
    char program_files[MAX_PATH] = {};
    ExpandEnvironmentStringsA("%ProgramFiles%", program_files, sizeof program_files);
    std::vector<std::string> installed;
    for (const product::File& file : files_)
      if (fs::exists(fs::path(program_files) / "ZUV" / file.folder / fs::path(file.name).filename()))
        installed.push_back(file.name);
    return installed;
  }
  // The archives' members by name, each archive read on its own.
  std::map<std::string, fixture::Member> NetMembers(const std::set<std::string>& archives) const {
    std::map<std::string, fixture::Member> members;
    for (const std::string& archive : archives)
      for (const auto& [name, member] : fixture::MembersByName(net_ / archive)) {
        EXPECT_EQ(members.count(name), 0u) << name << " is in two archives";
        members[name] = member;
      }
    return members;
  }

  std::string work_;  // Linux path
  fs::path net_;
  std::unique_ptr<NetPeer> peer_;
};

TEST_F(NetDistribution, AWebDistributionInstallsOverHttpAndFetchesNoCurrentFileAgain) {
  BuildWith(NetScript("dtWeb", "ipHTTP"));

  // Every file is in a net archive; setup.exe carries no files.1.
  EXPECT_TRUE(Built("setup.exe"));
  EXPECT_FALSE(Built("files.1"));
  std::set<std::string> archives = Union(kFolderArchives, kOwnArchives);
  EXPECT_EQ(NetFiles(), Union(archives, {"filelist.lst"}));
  std::map<std::string, fixture::Member> members = NetMembers(archives);
  ASSERT_EQ(members.size(), files_.size());
  for (const product::File& file : files_) {
    EXPECT_EQ(members[file.name].fileID, file.id) << file.name;
    EXPECT_TRUE(members[file.name].data == file.data) << file.name;
  }
  // The file list: a record for every file, with its size.
  std::vector<fixture::FileListRecord> records = fixture::ReadFileList(fixture::ReadFile(net_ / "filelist.lst"));
  ASSERT_EQ(records.size(), files_.size());
  std::map<std::string, const fixture::FileListRecord*> by_name;
  for (const fixture::FileListRecord& record : records) {
    EXPECT_TRUE(record.padding_zero && record.terminated) << record.name;
    EXPECT_GT(record.date, 0) << record.name;
    by_name[record.name] = &record;
  }
  for (const product::File& file : files_) {
    ASSERT_EQ(by_name.count(ComponentName(file)), 1u) << ComponentName(file);
    EXPECT_EQ(by_name[ComponentName(file)]->size, static_cast<int32_t>(file.data.size())) << file.name;
  }

  StartServer("http", 80);
  // Every archive comes down once.
  InstallFetching(archives);
  product::ExpectInstalled(files_);
  EXPECT_EQ(LoaderFolders(), std::vector<std::string>{});

  // Installed again: the libraries and the control are current and the
  // settings are kept, so neither their archives nor the folders that hold
  // nothing else are fetched.
  peer_->ForgetRequests();
  InstallFetching({"idMonitor.1", "idHelp.1", "idHelpAgent.1", "idHelpMonitor.1", "idHelpMessaging.1",
                   "idHelpControl.1", "idUpdates.1", "idMisc.1"});
}

TEST_F(NetDistribution, ATraditionalDistributionWithNetFilesInstallsOverFtp) {
  BuildWith(NetScript("dtTraditionalNet", "ipFTP", {"IFpolyprobe_dll", "IFnetmon_chm"}));

  // The Net files are in net archives: the library in one of its own, the
  // help in its folder's and the uninstall program (a Net file of every
  // script) in its folder's; the others are in files.1.
  const std::set<std::string> archives = {"IFpolyprobe_dll.1", "idHelp.1", "idMisc.1"};
  EXPECT_EQ(NetFiles(), Union(archives, {"filelist.lst"}));
  const std::set<std::string> net_files = {"Bin\\polyprobe.dll", "Help\\netmon.chm", "Redist\\uninstall.exe"};
  std::map<std::string, fixture::Member> net = NetMembers(archives);
  std::map<std::string, fixture::Member> local = fixture::MembersByName(dist_ / "files.1");
  EXPECT_EQ(net.size(), net_files.size());
  EXPECT_EQ(local.size(), files_.size() - net_files.size());
  for (const product::File& file : files_)
    EXPECT_EQ(net.count(file.name), net_files.count(file.name)) << file.name;

  StartServer("ftp", 21);
  InstallFetching(archives);
  product::ExpectInstalled(files_);
}

// A download that fails ends the installation with an error that names
// the file and the server; nothing of the archive it was fetching is
// installed, and no download is left behind.
TEST_F(NetDistribution, AFailedDownloadIsAClearErrorAndInstallsNothingOfItsArchive) {
  BuildWith(NetScript("dtWeb", "ipHTTP"));
  StartServer("http", 80);
  ReceiveTimeout timeout(2000);
  const fs::path help = net_ / "idHelp.1";
  const fs::path aside = dist_ / "idHelp.1";
  struct Case {
    const char* what;
    std::function<void()> arrange;
    std::string message;
  } cases[] = {
      {"a missing archive", [&] { fs::rename(help, aside); }, "Could not find the file idHelp.1 on the server."},
      {"a server that closes mid-file", [&] { peer_->Misbehave("idHelp.1", "cut"); },
       "Could not read from file idHelp.1 on the server. Error message ERROR_INTERNET_CONNECTION_ABORTED."},
      {"a server that stalls", [&] { peer_->Misbehave("idHelp.1", "stall"); },
       "Could not read from file idHelp.1 on the server. Error message ERROR_INTERNET_TIMEOUT."},
  };
  for (const Case& c : cases) {
    c.arrange();
    Outcome outcome = Install();
    EXPECT_EQ(outcome.box_caption, "Install") << c.what;
    EXPECT_THAT(outcome.box_text, StartsWith(c.message)) << c.what;
    EXPECT_THAT(outcome.box_text, HasSubstr(" Server 127.0.0.1. ")) << c.what;
    ASSERT_FALSE(outcome.pages.empty()) << c.what;
    EXPECT_EQ(outcome.pages.back(), "Setup incomplete") << c.what;
    EXPECT_EQ(outcome.exit_code, 2u) << c.what;
    for (const std::string& installed : InstalledFiles())
      EXPECT_NE(fs::path(installed).parent_path(), "Help") << c.what << ": " << installed;
    EXPECT_EQ(DownloadFilesLeft(), std::vector<std::string>{}) << c.what;
    if (fs::exists(aside)) fs::rename(aside, help);
    peer_->MisbehaveNoMore();
    product::Forget();
  }
}

// Cancel in the copy-progress window stops the download that runs, and
// the installation ends as the user's abort: no error, nothing more
// fetched or installed, the loader's folder, the install record and every
// download gone. The server keeps back the second half of every archive,
// so a download is on its way whenever the user presses Cancel; the
// vendor's read-me is large, so that its folder's archive, the first the
// installation fetches, brings a whole block (and with it the window)
// before it stalls.
TEST_F(NetDistribution, CancelDuringADownloadEndsAsTheUsersAbort) {
  std::mt19937 random(7);
  std::string readme(64 * 1024, '\0');
  for (char& c : readme) c = static_cast<char>(random());
  fixture::WriteFile(stage_ / "Docs\\readme.txt", readme);
  BuildWith(NetScript("dtWeb", "ipHTTP"));
  StartServer("http", 80);
  for (const std::string& archive : Union(kFolderArchives, kOwnArchives)) peer_->Misbehave(archive, "stall");

  Outcome outcome = Install(true);

  EXPECT_TRUE(outcome.cancelled_the_copy);
  EXPECT_EQ(outcome.box_text, "");
  ASSERT_FALSE(outcome.pages.empty());
  EXPECT_EQ(outcome.pages.back(), "Setup incomplete");
  EXPECT_EQ(outcome.exit_code, 3u);
  std::vector<std::string> requests = peer_->Requests();
  EXPECT_EQ(requests, (std::vector<std::string>{"filelist.lst", "idMisc.1"}));
  EXPECT_EQ(InstalledFiles(), std::vector<std::string>{});
  EXPECT_EQ(DownloadFilesLeft(), std::vector<std::string>{});
  EXPECT_EQ(LoaderFolders(), std::vector<std::string>{});
  EXPECT_EQ(RecordsOfTheLoadersInstaller(), std::vector<std::string>{});
}

}  // namespace
