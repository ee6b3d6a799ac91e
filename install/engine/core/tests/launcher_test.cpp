#include "core/launcher.h"

#include <gtest/gtest.h>

#include "core/exceptions.h"

#ifdef _WIN32
#include <windows.h>

#include <fstream>
#include <sstream>
#endif

namespace install {
namespace {

TEST(ProgramLauncher, ErrorTextsByCode) {
  struct Case {
    int code;
    const char* text;
  } cases[] = {{0, "Out of memory"},         {8, "Out of memory"},      {2, "File not found"},
               {3, "Path not found"},        {11, "Invalid file"},      {13, "Invalid DOS version"},
               {31, "File type has no association"}, {21, "Application requires Win32"},
               {1, "Unknown error"},         {-1, "Unknown error"}};
  for (const auto& c : cases) EXPECT_EQ(LauncherErrorMessage(c.code), c.text) << c.code;
  try {
    RaiseLauncherError(2);
    FAIL();
  } catch (const EProgramLauncherFailed& error) {
    EXPECT_EQ(error.ErrorCode(), 2);
    EXPECT_EQ(error.Message(), "File not found");
  }
}

TEST(ProgramLauncher, CommandLineQuotesTheProgramBeforeItsParameters) {
  EXPECT_EQ(LauncherCommandLine("C:\\Program Files\\App\\reg.exe", "/REGSERVER"),
            "\"C:\\Program Files\\App\\reg.exe\" /REGSERVER");
}

TEST(ProgramLauncher, Defaults) {
  auto* launcher = forms::New<TProgramLauncher>(nullptr);
  EXPECT_EQ(launcher->Action(), "Open");
  EXPECT_EQ(launcher->ShowMode(), smNormal);
  EXPECT_EQ(launcher->Timeout(), -1);
  EXPECT_TRUE(launcher->Wait());
  forms::Free(launcher);
}

#ifdef _WIN32
std::string BesideThisProgram(const std::string& name) {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string self(path, length);
  return self.substr(0, self.find_last_of('\\') + 1) + name;
}

TEST(ProgramLauncher, StartedProgramSeesItsParametersAsArguments) {
  std::string record = BesideThisProgram("launch_record.txt");
  DeleteFileA(record.c_str());
  SetEnvironmentVariableA("INSTALL_LAUNCH_RECORD", record.c_str());
  auto* launcher = forms::New<TProgramLauncher>(nullptr);
  launcher->SetFileName(BesideThisProgram("install_launch_probe.exe"));
  launcher->SetParameters("/REGSERVER second");
  launcher->SetShowMode(smHide);
  launcher->Execute();
  forms::Free(launcher);
  std::string lines;
  for (int i = 0; i < 300 && lines.find("second\n") == std::string::npos; ++i) {
    Sleep(100);
    std::ifstream in(record);
    std::stringstream content;
    content << in.rdbuf();
    lines = content.str();
  }
  EXPECT_EQ(lines, "/REGSERVER\nsecond\n");
  DeleteFileA(record.c_str());
}

TEST(ProgramLauncher, AMissingProgramRaisesFileNotFound) {
  auto* launcher = forms::New<TProgramLauncher>(nullptr);
  launcher->SetFileName(BesideThisProgram("no_such_program.exe"));
  try {
    launcher->Execute();
    ADD_FAILURE() << "started";
  } catch (const EProgramLauncherFailed& error) {
    EXPECT_EQ(error.ErrorCode(), 2);
    EXPECT_EQ(error.Message(), "File not found");
  }
  forms::Free(launcher);
}
#endif

}  // namespace
}  // namespace install
