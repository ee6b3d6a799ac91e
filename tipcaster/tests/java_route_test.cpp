// The JavaHelp route against the Java runtime stand-in (installed as
// javaw.exe and jrew.exe in a folder with blanks): the first topic starts
// the viewer with its command line, later topics and commands go through
// its standard input, and changed settings start a new viewer.
#include <gmock/gmock.h>

#include <map>

#include "fixture.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

class JavaRouteTest : public HelpControlTest {
 protected:
  void SetUp() override {
    HelpControlTest::SetUp();
    const std::string bin = TIPCASTER_STANDINS;
    for (const char *folder : {"java runtime", "java runtime\\old", "help viewer", "javahelp"})
      CreateDirectoryA(PathOf(folder).c_str(), nullptr);
    const std::string standin = bin + "/tipcaster_java_standin.exe";
    ASSERT_TRUE(CopyFileA(standin.c_str(), PathOf("java runtime\\javaw.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(standin.c_str(), PathOf("java runtime\\old\\jrew.exe").c_str(), FALSE));
    WriteTestFile("help viewer\\Tipcaster.jar", "");
    WriteTestFile("javahelp\\jh.jar", "");
    WriteTestFile("project.hs", "");
  }

  // Every viewer must end once the control is gone. One that is still
  // running is a failure, and it is ended here: a viewer left behind holds
  // the test's output open and the test would never be seen to end.
  void TearDown() override {
    const auto viewers = Viewers();
    host_.reset();
    for (const auto &viewer : viewers) {
      HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, std::stoul(viewer.first));
      if (!process) continue;
      if (WaitForSingleObject(process, 30000) != WAIT_OBJECT_0) {
        ADD_FAILURE() << "viewer " << viewer.first << " still running after the control was destroyed";
        TerminateProcess(process, 1);
      }
      CloseHandle(process);
    }
    HelpControlTest::TearDown();
  }

  void UseSettings(long version, const std::string &jre) {
    CallMethod(control(), "SetJavaHelpSettings",
               {version, jre, PathOf("javahelp"), PathOf("help viewer"), PathOf("project.hs"), ""});
  }

  // What one viewer received on its standard input, by process id.
  std::map<std::string, std::string> Inputs() const {
    std::map<std::string, std::string> inputs;
    for (const std::string &record : Records("stdin")) {
      size_t bar = record.find('|');
      inputs[record.substr(0, bar)] += record.substr(bar + 1);
    }
    return inputs;
  }

  bool WaitForInput(const std::string &expected) const {
    for (int attempt = 0; attempt < 4000; ++attempt) {
      for (const auto &input : Inputs())
        if (input.second == expected) return true;
      PauseAnsweringMessages(10);
    }
    return false;
  }

  // The process id and command line of each viewer started.
  std::vector<std::pair<std::string, std::string>> Viewers() const {
    std::vector<std::pair<std::string, std::string>> viewers;
    for (const std::string &record : Records("java")) {
      size_t bar = record.find('|');
      viewers.emplace_back(record.substr(0, bar), record.substr(bar + 1));
    }
    return viewers;
  }

  std::string CommandLine(const std::string &runtime, const std::string &swing, const std::string &topic) const {
    return "\"" + runtime + "\" -cp \"" + PathOf("help viewer\\Tipcaster.jar") + ";;" + PathOf("javahelp\\jh.jar") +
           ";" + swing + "\" tipcaster.viewer.HelpViewer \"" + PathOf("project.hs") + "\" " + topic;
  }
};

TEST_F(JavaRouteTest, ViewerStartsOnceAndTakesLaterTopicsThroughItsInput) {
  UseSettings(0, PathOf("java runtime"));
  CallMethod(control(), "ShowJavaHelpTopic", {"intro"});
  ASSERT_TRUE(WaitForRecord("java", "intro"));
  CallMethod(control(), "ShowJavaHelpTopic", {"details"});
  CallMethod(control(), "ShowJavaHelpTopic", {""});
  // Another JavaHelp folder alone does not restart the viewer.
  CallMethod(control(), "SetJavaHelpSettings",
             {0L, PathOf("java runtime"), PathOf("elsewhere"), PathOf("help viewer"), PathOf("project.hs"), ""});
  CallMethod(control(), "ShowJavaHelpTopic", {"more"});
  EXPECT_TRUE(WaitForInput("details$$$home$$$more"));
  auto viewers = Viewers();
  ASSERT_EQ(viewers.size(), 1u);
  EXPECT_EQ(viewers[0].second, CommandLine(PathOf("java runtime\\javaw.exe"), "", "intro"));

  // Quitting with the control: the quit command, then the input ends.
  host_->DestroyControl();
  EXPECT_TRUE(WaitForInput("details$$$home$$$more$$$qv-quit$$$"));
  EXPECT_TRUE(WaitForRecord("stdin-ended", viewers[0].first));
  EXPECT_THAT(boxes_->Texts(), IsEmpty());
}

TEST_F(JavaRouteTest, ChangedSettingsStartANewViewer) {
  UseSettings(0, PathOf("java runtime"));
  CallMethod(control(), "ShowJavaHelpTopic", {"intro"});
  ASSERT_TRUE(WaitForRecord("java", "intro"));
  UseSettings(1, PathOf("java runtime\\old\\"));
  CallMethod(control(), "ShowJavaHelpTopic", {"again"});
  ASSERT_TRUE(WaitForRecord("java", "again"));
  auto viewers = Viewers();
  ASSERT_EQ(viewers.size(), 2u);
  // The old viewer is told and its input ends; the new one has the old runtime.
  EXPECT_TRUE(WaitForInput("$$$new-helpset$$$"));
  EXPECT_TRUE(WaitForRecord("stdin-ended", viewers[0].first));
  EXPECT_EQ(viewers[1].second,
            CommandLine(PathOf("java runtime\\old\\jrew.exe"), PathOf("javahelp\\swingall.jar"), "again"));
  host_->DestroyControl();
  EXPECT_TRUE(WaitForRecord("stdin-ended", viewers[1].first));
}

TEST_F(JavaRouteTest, ViewerThatEndedIsStartedAgain) {
  UseSettings(0, PathOf("java runtime"));
  CallMethod(control(), "ShowJavaHelpTopic", {"intro"});
  ASSERT_TRUE(WaitForRecord("java", "intro"));
  // The user closes the viewer.
  HANDLE viewer = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, std::stoul(Viewers()[0].first));
  ASSERT_NE(viewer, nullptr);
  TerminateProcess(viewer, 0);
  WaitForSingleObject(viewer, 30000);
  CloseHandle(viewer);
  CallMethod(control(), "ShowJavaHelpTopic", {"after"});
  ASSERT_TRUE(WaitForRecord("java", "after"));
  EXPECT_EQ(Viewers().size(), 2u);
  host_->DestroyControl();
  EXPECT_TRUE(WaitForRecord("stdin-ended", Viewers()[1].first));
}

TEST_F(JavaRouteTest, ClickWithTheJavaHelpCommandUsesTheProperties) {
  UseSettings(0, PathOf("java runtime"));
  PutProperty(control(), "command", 10L);
  PutProperty(control(), "topic", "clicked");
  host_->Click();
  EXPECT_TRUE(WaitForRecord("java", "clicked"));
  host_->DestroyControl();
}

TEST_F(JavaRouteTest, MissingFilesAreReportedAndNothingStarts) {
  CallMethod(control(), "ShowJavaHelpTopic", {"intro"});
  UseSettings(0, PathOf("java runtime"));
  DeleteFileA(PathOf("javahelp\\jh.jar").c_str());
  CallMethod(control(), "ShowJavaHelpTopic", {"intro"});
  EXPECT_THAT(boxes_->Texts(),
              ElementsAre("You have not set up the JavaHelp settings yet.  Call SetJavaHelpSettings first.",
                          "Unable to show JavaHelp topic, javaw.exe does not exist.",
                          "Unable to show JavaHelp topic, " + PathOf("javahelp\\jh.jar") + " does not exist."));
  EXPECT_THAT(Records("java"), IsEmpty());
}

}  // namespace
