// The files the product ships, read by the parts of the product that read
// them: the trend agent its settings, the service monitor its description
// file, the help button its map file; and the help's pages link only to
// pages the product ships, all of them compiled into the help file.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "cini.h"
#include "globals.h"
#include "mapfile.h"
#include "protocols.h"

namespace {

namespace fs = std::filesystem;

// The files as the vendor's build folder holds them, and the help project.
const fs::path kFiles = PRODUCT_FILES_SOURCE;
const fs::path kHelpProject = HELP_PROJECT_SOURCE;

std::string Text(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// A scratch folder named after the running test, removed afterwards.
class Scratch {
public:
  Scratch() : path_(fs::path(::testing::TempDir()) / ("product_" + std::string(Name()))) {
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~Scratch() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  const fs::path& path() const { return path_; }

private:
  static const char* Name() { return ::testing::UnitTest::GetInstance()->current_test_info()->name(); }
  fs::path path_;
};

// One value of an ini-style file, as the product's libraries read them.
class IniValues : public MapSource {
public:
  explicit IniValues(const fs::path& path) : ini_(_IniCreate(path.string().c_str())) {}
  ~IniValues() override { _IniClose(ini_); }
  std::string Read(const std::string& section, const std::string& key) const override {
    char value[INI_LINE_MAX + 1] = "";
    _IniReadStr(ini_, section.empty() ? nullptr : section.c_str(), key.c_str(), value);
    return value;
  }
  int Integer(const char* section, const char* key) const { return _IniReadInt(ini_, section, key, -12345); }

private:
  IniFile* ini_;
};

TEST(ShippedFiles, TheAgentStartsFromItsSettingsWithItsPartsBesideThem) {
  Scratch agent;
  fs::copy_file(kFiles / "Config" / "dmwagent.cfg", agent.path() / "dmwagent.cfg");
  LoadGlobals(agent.path().string().c_str(), "HOST", "network monitor");
  GlobalData data;
  _GetGlobalData(&data);
  EXPECT_STREQ(data.Server, "127.0.0.1");
  EXPECT_EQ(+data.ServerSocket, 2001);
  EXPECT_EQ(+data.RetryDelay, 15);
  EXPECT_EQ(Globals().rcvTimeOutMs, 60000);
  EXPECT_EQ(+data.DebugLevel, 0);
  EXPECT_STREQ(data.ComputerName, "HOST");
  // The settings of the agent's parts are in the folder "local" beside the
  // file, where the installation puts alerter.cfg and replictr.cfg.
  EXPECT_EQ(fs::path(data.CFGPath), agent.path() / "local");
  EXPECT_EQ(fs::path(data.DBPath), agent.path() / "local");
  FreeGlobals();
  // Written back with the folders filled in, its comments kept.
  std::string written = Text(agent.path() / "dmwagent.cfg");
  EXPECT_NE(written.find("CFGPath=" + (agent.path() / "local").string()), std::string::npos) << written;
  EXPECT_NE(written.find("; The trend server: its host name or address, and its TCP port."), std::string::npos);

  IniValues alerter(kFiles / "Config" / "alerter.cfg");
  EXPECT_EQ(alerter.Integer(nullptr, "WaitBeforeSend"), 5);
  EXPECT_EQ(alerter.Integer(nullptr, "MaxAlertsMem"), 65536);
  IniValues replicator(kFiles / "Config" / "replictr.cfg");
  EXPECT_EQ(replicator.Read("", "schedule"), "") << "no copies until the server sends a schedule";
  EXPECT_EQ(replicator.Integer(nullptr, "Retries"), 5);
  EXPECT_EQ(replicator.Integer(nullptr, "WaitBeforeRetry"), 15);
}

std::string Bytes(const ProtocolDesc* service) {
  return std::string(reinterpret_cast<const char*>(service->sendBytes), static_cast<size_t>(service->sendLength));
}

bool Matches(const ProtocolDesc* service, const std::string& reply) {
  return ProtocolDescMatch(service, reinterpret_cast<const unsigned char*>(reply.data()), static_cast<int>(reply.size()));
}

TEST(ShippedFiles, TheServiceMonitorKnowsTheServicesOfItsDescriptionFile) {
  struct Services {
    LockedList* list = ProtocolListCreate(nullptr);
    ~Services() { ProtocolListFree(list); }
  } loaded;
  LockedList* services = loaded.list;
  ASSERT_EQ(ProtocolListLoad(services, (kFiles / "Data" / "polyprobe.dat").string().c_str()), 10);
  struct Expected {
    const char* name;
    int transport;
    int port;
    std::string request;
    std::string good_reply;
    std::string bad_reply;
  } expected[] = {
      {"HTTP", kTcp, 80, "HEAD / HTTP/1.0\r\n\r\n", "HTTP/1.1 200 OK\r\n", "<html>"},
      {"FTP", kTcp, 21, "", "220 ready\r\n", "421 busy\r\n"},
      {"SMTP", kTcp, 25, "", "220 mail ESMTP\r\n", "554 no\r\n"},
      {"POP3", kTcp, 110, "", "+OK ready\r\n", "-ERR\r\n"},
      {"IMAP", kTcp, 143, "", "* OK ready\r\n", "* BYE\r\n"},
      {"NNTP", kTcp, 119, "", "201 no posting\r\n", "502 denied\r\n"},
      {"SSH", kTcp, 22, "", "SSH-2.0-server\r\n", "Protocol mismatch.\n"},
      {"Telnet", kTcp, 23, "", "\xFF\xFD\x18", "login: "},
      {"DNS", kUdp, 53, std::string("\x4E\x4D\x01\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x01", 17),
       std::string("\x4E\x4D\x81\x80", 4), std::string("\x12\x34\x81\x80", 4)},
      {"Echo", kUdp, 7, "network monitor", "network monitor", "network"},
  };
  for (const Expected& e : expected) {
    ProtocolDesc* service = ProtocolFind(services, e.name);
    ASSERT_TRUE(service) << e.name;
    EXPECT_EQ(service->transport, e.transport) << e.name;
    EXPECT_EQ(service->port, e.port) << e.name;
    EXPECT_TRUE(service->info && *service->info) << e.name;
    EXPECT_EQ(Bytes(service), e.request) << e.name;
    EXPECT_TRUE(Matches(service, e.good_reply)) << e.name;
    EXPECT_FALSE(Matches(service, e.bad_reply)) << e.name;
  }
}

// The pages of the help, as paths below the folder Help with '/'.
std::set<std::string> HelpPages() {
  std::set<std::string> pages;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(kFiles / "Help"))
    if (entry.path().extension() == ".htm")
      pages.insert(fs::relative(entry.path(), kFiles / "Help").generic_string());
  return pages;
}

TEST(ShippedFiles, TheMapFileNamesTheHelpFileAndAPageForEachHelpNumber) {
  IniValues map(kFiles / "Help" / "netmon.map");
  EXPECT_EQ(map.Read("OPTIONS", "Compiled File"), "netmon.chm");
  EXPECT_EQ(ReadFrameset(map, false), "frames.htm");
  EXPECT_EQ(map.Read("OPTIONS", "Default Topic"), "index.htm");
  std::set<std::string> pages = HelpPages();
  std::set<std::string> mapped;
  std::istringstream lines(Text(kFiles / "Help" / "netmon.map"));
  for (std::string line; std::getline(lines, line);) {
    int32_t context = 0;
    if (std::sscanf(line.c_str(), "%d=", &context) != 1) continue;
    MapTopic topic;
    ASSERT_TRUE(LookupContext(map, context, topic)) << context;
    EXPECT_EQ(pages.count(topic.topic), 1u) << context << " " << topic.topic;
    mapped.insert(topic.topic);
  }
  // Every page but the frameset and its contents has a help number.
  for (const std::string& page : pages) {
    bool frameset = page == "frames.htm" || page == "contents.htm";
    EXPECT_EQ(mapped.count(page), frameset ? 0u : 1u) << page;
  }
  MapTopic glossary;
  ASSERT_TRUE(LookupContext(map, 21, glossary));
  EXPECT_EQ(glossary.width, 400);
  EXPECT_EQ(glossary.height, 300);
}

TEST(ShippedFiles, TheHelpLinksOnlyToItsOwnPagesAndCompilesThemAll) {
  std::set<std::string> pages = HelpPages();
  const std::regex link("(?:href|src)=\"([^\"#:]+)\"");
  for (const std::string& page : pages) {
    std::string text = Text(kFiles / "Help" / page);
    for (std::sregex_iterator found(text.begin(), text.end(), link), end; found != end; ++found) {
      fs::path target = (kFiles / "Help" / page).parent_path() / (*found)[1].str();
      EXPECT_TRUE(fs::exists(target)) << page << " links to " << (*found)[1].str();
    }
  }
  // The help project compiles every page and the style sheet; its
  // contents and index name only pages it compiles.
  std::string project = Text(kHelpProject / "netmon.hhp");
  std::set<std::string> compiled;
  std::istringstream lines(project.substr(project.find("[FILES]")));
  std::getline(lines, project);
  for (std::string line; std::getline(lines, line) && !line.empty() && line[0] != '[';) compiled.insert(line);
  std::set<std::string> shipped = pages;
  shipped.insert("netmon.css");
  EXPECT_EQ(compiled, shipped);
  const std::regex local("name=\"Local\" value=\"([^\"]+)\"");
  for (const char* sitemap : {"netmon.hhc", "netmon.hhk"}) {
    std::string text = Text(kHelpProject / sitemap);
    for (std::sregex_iterator found(text.begin(), text.end(), local), end; found != end; ++found)
      EXPECT_EQ(compiled.count((*found)[1].str()), 1u) << sitemap << ": " << (*found)[1].str();
  }
}

}  // namespace
