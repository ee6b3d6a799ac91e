#include "globals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string>

#include "log.h"
#include "testfiles.h"

namespace {

class GlobalsTest : public ::testing::Test {
 protected:
  void TearDown() override {
    FreeGlobals();
    LogSetDebugLevel(0);
  }
  std::string ConfigPath() const { return base + kSep + "dmwagent.cfg"; }
  void WriteConfig(const std::string &text) { WriteFileBytes(ConfigPath(), text); }
  std::string ConfigText() const { return FileBytes(ConfigPath()); }
  // How the file system names a path that _XMakePath created.
  static std::string AsCreated(std::string path) {
#ifdef _WIN32
    std::transform(path.begin(), path.end(), path.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
#endif
    return path;
  }
  GlobalData Data() {
    GlobalData data;
    _GetGlobalData(&data);
    return data;
  }
  ScratchDir scratch{"globals_"};
  const std::string base = scratch.path();
};

TEST_F(GlobalsTest, MissingFileIsWrittenWithTheDefaults) {
  LoadGlobals(base.c_str(), "HOST1", "probe agent");
  const std::string local = base + kSep + "local";
  EXPECT_EQ(ConfigText(), DefaultAgentConfig(base));
  EXPECT_TRUE(std::filesystem::is_directory(AsCreated(local)));

  GlobalData data = Data();
  EXPECT_EQ(std::string(data.DBPath), AsCreated(local));
  EXPECT_EQ(std::string(data.CFGPath), AsCreated(local));
  EXPECT_EQ(std::string(data.BaseDir), base);
  EXPECT_EQ(std::string(data.ConfigFile), ConfigPath());
  ExpectAgentDefaults(data, "HOST1", "probe agent");
  EXPECT_EQ(+data.EventListenerPort, 0) << "no listener has bound a port";
  EXPECT_EQ(Globals().rcvTimeOutMs, 60000);
}

TEST_F(GlobalsTest, EmptyFileGetsTheSixKeysOnly) {
  WriteConfig("");
  LoadGlobals(base.c_str(), nullptr, nullptr);
  std::string text = ConfigText();
  for (const char *key :
       {"DBPath=", "CFGPath=", "Server=", "RetryDelay=", "ServerSocket=", "DebugLevel="})
    EXPECT_NE(text.find(key), std::string::npos) << key;
  EXPECT_EQ(text.find("RcvTimeOut"), std::string::npos);
  EXPECT_EQ(text.find("ComputerName"), std::string::npos);
  EXPECT_STREQ(Data().ComputerName, "UNKNOWN");
  EXPECT_STREQ(Data().AgentTypeName, "server agent");
}

TEST_F(GlobalsTest, TrailingSeparatorOfTheBaseIsIgnored) {
  LoadGlobals((base + kSep).c_str(), "H", "a");
  EXPECT_EQ(std::string(Data().ConfigFile), ConfigPath());
  EXPECT_EQ(std::string(Data().BaseDir), base);
  EXPECT_EQ(std::string(Data().DBPath), AsCreated(base + kSep + "local"));
}

TEST_F(GlobalsTest, ValuesFromTheFile) {
  const std::string data = base + kSep + "Trend" + kSep + "Data" + kSep;
  WriteConfig("[agent]\nDBPath=" + data +
              "\nServer=trend.example\nServerSocket=2101\n"
              "RetryDelay=3\nRcvTimeOut=7\nDebugLevel=300\nComputerName=Named\n");
  LoadGlobals(base.c_str(), "HOST", "a");
  const std::string expected = AsCreated(base + kSep + "Trend" + kSep + "Data");
  EXPECT_EQ(std::string(Data().DBPath), expected);
  EXPECT_TRUE(std::filesystem::is_directory(expected));
  EXPECT_STREQ(Data().Server, "trend.example");
  EXPECT_EQ(+Data().ServerSocket, 2101);
  EXPECT_EQ(+Data().RetryDelay, 3);
  EXPECT_EQ(Globals().rcvTimeOutMs, 7000);
  EXPECT_EQ(+Data().DebugLevel, 44) << "the low 8 bits of 300";
  EXPECT_EQ(LogDebugLevel(), 44);
  EXPECT_STREQ(Data().ComputerName, "Named");
  std::string text = ConfigText();
  EXPECT_NE(text.find("DebugLevel=44"), std::string::npos);
  EXPECT_NE(text.find("DBPath=" + data + "\n"), std::string::npos) << "written back as read";
  EXPECT_NE(text.find("RcvTimeOut=7"), std::string::npos);
}

TEST_F(GlobalsTest, LongValuesAreCutToTheLibrarysBuffers) {
  WriteConfig("[AGENT]\nDBPath=" + base + kSep + std::string(2000, 'd') + "\nServer=" +
              std::string(3000, 's') + "\nComputerName=" + std::string(3000, 'c') + "\n");
  LoadGlobals(base.c_str(), "HOST", "a");
  EXPECT_LT(std::string(Data().DBPath).size(), 260u);
  EXPECT_EQ(std::string(Data().Server), std::string(255, 's'));
  EXPECT_EQ(std::string(Data().ComputerName), std::string(255, 'c'));
}

TEST_F(GlobalsTest, ClientModeDerivesEverythingFromTheBase) {
  InitClientGlobals((base + kSep).c_str(), "console");
  GlobalData data = Data();
  EXPECT_EQ(std::string(data.DBPath), base);
  EXPECT_EQ(std::string(data.CFGPath), base);
  EXPECT_STREQ(data.Server, "127.0.0.1");
  EXPECT_EQ(+data.ServerSocket, 2001);
  EXPECT_EQ(+data.DebugLevel, 0);
  EXPECT_EQ(data.ConfigFile, nullptr);
  EXPECT_STREQ(data.ComputerName, "console");
  EXPECT_FALSE(std::filesystem::exists(ConfigPath()));
}

TEST_F(GlobalsTest, FreeGlobalsUnsetsTheTexts) {
  LoadGlobals(base.c_str(), "HOST", "a");
  FreeGlobals();
  GlobalData data = Data();
  EXPECT_EQ(data.DBPath, nullptr);
  EXPECT_EQ(data.CFGPath, nullptr);
  EXPECT_EQ(data.Server, nullptr);
  EXPECT_EQ(data.BaseDir, nullptr);
  EXPECT_EQ(data.ConfigFile, nullptr);
  EXPECT_EQ(data.ComputerName, nullptr);
}

TEST(OsTypeName, NamesTheKnownCodes) {
  EXPECT_STREQ(OsTypeName(1), "NetWare");
  EXPECT_STREQ(OsTypeName(2), "WindowsNT");
  EXPECT_STREQ(OsTypeName(3), "Linux");
  EXPECT_STREQ(OsTypeName(0), "UNKNOWN");
  EXPECT_STREQ(OsTypeName(4), "UNKNOWN");
}

}  // namespace
