#include "fixture.h"

#include <fstream>
#include <sstream>

namespace {

using RegisterFunction = HRESULT(WINAPI *)();

void DeleteFolder(const std::string &folder) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      std::string path = folder + "\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        DeleteFolder(path);
      else
        DeleteFileA(path.c_str());
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  RemoveDirectoryA(folder.c_str());
}

}  // namespace

void HelpControlTest::SetUpTestSuite() {
  // As the setup program does: the library registers itself.
  HMODULE library = LoadLibraryA(TIPCASTER_OCX);
  ASSERT_NE(library, nullptr);
  auto registerServer =
      reinterpret_cast<RegisterFunction>(reinterpret_cast<void *>(GetProcAddress(library, "DllRegisterServer")));
  ASSERT_EQ(registerServer(), S_OK);
}

void HelpControlTest::SetUp() {
  ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
  folder_ = std::string(temp) + "tipcaster " + info->test_suite_name() + "." + info->name();
  DeleteFolder(folder_);
  ASSERT_TRUE(CreateDirectoryA(folder_.c_str(), nullptr));
  log_ = PathOf("standins.log");
  SetEnvironmentVariableA("TIPCASTER_STANDIN_LOG", log_.c_str());
  SetCurrentDirectoryA(folder_.c_str());
  boxes_ = std::make_unique<MessageBoxWatcher>();
  host_ = std::make_unique<HelpButtonHost>();
  ASSERT_NE(control(), nullptr);
}

void HelpControlTest::TearDown() {
  host_.reset();
  boxes_.reset();
  OleUninitialize();
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  SetCurrentDirectoryA(temp);
  DeleteFolder(folder_);
}

std::string HelpControlTest::WriteTestFile(const std::string &name, const std::string &content) {
  std::string path = PathOf(name);
  std::ofstream(path, std::ios::binary) << content;
  return path;
}

std::string HelpControlTest::UseMapFile(const std::string &lines) {
  std::string path = WriteTestFile("help.map", lines);
  PutProperty(control(), "mapFile", path);
  return path;
}

std::vector<std::string> HelpControlTest::Records(const std::string &kind) const {
  std::ifstream file(log_, std::ios::binary);
  std::stringstream all;
  all << file.rdbuf();
  std::vector<std::string> found;
  std::string line;
  const std::string prefix = kind + "|";
  while (std::getline(all, line)) {
    if (line.compare(0, prefix.size(), prefix) == 0) found.push_back(line.substr(prefix.size()));
    else if (line == kind) found.push_back("");
  }
  return found;
}

bool HelpControlTest::WaitForRecord(const std::string &kind, const std::string &text) const {
  for (int attempt = 0; attempt < 4000; ++attempt) {
    for (const std::string &record : Records(kind))
      if (record.find(text) != std::string::npos) return true;
    PauseAnsweringMessages(10);
  }
  return false;
}

void HelpControlTest::PauseAnsweringMessages(DWORD ms) {
  const DWORD start = GetTickCount();
  for (DWORD passed = 0; passed < ms; passed = GetTickCount() - start) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - passed, QS_SENDMESSAGE);
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);  // handles the messages sent to this thread
  }
}
