// The local modules as the host reaches them: the library loaded at run
// time, exports looked up by name, records in the host's layout.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "agent.h"
#include "classmgr.h"
#include "csched.h"
#include "dynlib.h"
#include "testfiles.h"
#include "trenddecoder.h"
#include "trendfile.h"
#include "xmlbuild.h"

namespace {

class LocalModulesLibrary : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(library.loaded()) << DMWCLIENT_LIBRARY; }
  template <typename Function>
  Function Get(const char *name) {
    Function function = library.get<Function>(name);
    EXPECT_NE(function, nullptr) << name;
    return function;
  }
  DynamicLibrary library{DMWCLIENT_LIBRARY};
};

TEST_F(LocalModulesLibrary, XmlDocumentBuiltThroughTheExports) {
  auto create = Get<decltype(&_xmlCreate)>("_xmlCreate");
  auto close = Get<decltype(&_xmlClose)>("_xmlClose");
  auto param = Get<decltype(&_xmlParam)>("_xmlParam");
  auto paramInt = Get<decltype(&_xmlParamInt)>("_xmlParamInt");
  auto paramList = Get<decltype(&_xmlParamList)>("_xmlParamList");
  auto open = Get<decltype(&_xmlTagOpen)>("_xmlTagOpen");
  auto closeTag = Get<decltype(&_xmlTagClose)>("_xmlTagClose");
  auto data = Get<decltype(&_xmlAddData)>("_xmlAddData");
  auto quote = Get<decltype(&_xmlQuote)>("_xmlQuote");
  ASSERT_TRUE(create && close && param && paramInt && paramList && open && closeTag && data &&
              quote);

  char document[256];
  XmlWriter *writer = create(document);
  ASSERT_NE(writer, nullptr);
  open(writer, "alerts", nullptr, 0);
  open(writer, "alert", paramList(paramInt("type", 3), param("host", "x&yyy"), nullptr), 0);
  data(writer, "disk > 90%");
  closeTag(writer);
  closeTag(writer);
  close(writer);
  EXPECT_STREQ(document,
               "<alerts><alert type=\"3\" host=\"x&amp;yyy\">disk &gt; 90%</alert></alerts>");
  char quoted[8];
  EXPECT_STREQ(quote(quoted, "'<'", sizeof quoted), "&apos;");
}

TEST_F(LocalModulesLibrary, TimingTextOfTheHostsTaskRecord) {
  auto toText = Get<decltype(&_TaskInfo2Str)>("_TaskInfo2Str");
  auto fromText = Get<decltype(&_Str2TaskInfo)>("_Str2TaskInfo");
  ASSERT_TRUE(toText && fromText);
  ScheduledTask task{};
  EXPECT_EQ(fromText("e10|0|3e|3c|15180", &task), 5);
  char text[TASK_INFO_TEXT_MAX];
  EXPECT_STREQ(toText(&task, text), "e10|0|3e|3c|15180");
  // The timing fields are the record's last five ints.
  const unsigned char *record = reinterpret_cast<const unsigned char *>(&task);
  EXPECT_EQ(record[sizeof task - 20], 0x10);
  EXPECT_EQ(record[sizeof task - 4], 0x80);
}

TEST_F(LocalModulesLibrary, TrendValueWrittenByAClient) {
  auto start = Get<decltype(&_StartClient)>("_StartClient");
  auto stop = Get<decltype(&_StopClient)>("_StopClient");
  auto write = Get<decltype(&_WriteData)>("_WriteData");
  ASSERT_TRUE(start && stop && write);
  ScratchDir scratch("library_");
  start(scratch.path().c_str(), "HOST");
  std::time_t before = std::time(nullptr);
  EXPECT_EQ(write("net|eth0", 2, 15, 1234), 0);
  EXPECT_EQ(write("net|eth0", 96, 15, 1), -1);
  stop();

  char name[32];
  std::time_t after = std::time(nullptr);
  std::string directory = scratch.path() + kSep + "trends" + kSep + "net" + kSep + "eth0" + kSep;
  std::string bytes;
  for (std::time_t when : {before, after}) {
    std::strftime(name, sizeof name, "%Y%m%d.tra", std::localtime(&when));
    if (bytes.empty()) bytes = FileBytes(directory + name);
  }
  Day day = Decode(bytes);
  EXPECT_EQ(day.interval, 15);
  ASSERT_EQ(day.entries.size(), 1440u);
  EXPECT_EQ(day.entries[2], 1234u);
  EXPECT_EQ(day.entries[3], kEmpty);
}

TEST_F(LocalModulesLibrary, ObjectAndSchedulingExportsExist) {
  for (const char *name :
       {"_cmRegisterClass", "_cmUnregisterClass", "_cmClearObjects", "_ObjCreate", "_ObjFree",
        "_ObjRequest", "_ObjBroadcast", "_ScheduleInternalWork", "_RemoveScheduledTask",
        "_RemoveScheduledTaskByName"})
    EXPECT_NE(library.get<void *>(name), nullptr) << name;
}

}  // namespace
