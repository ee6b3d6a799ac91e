// A file in use whose renaming the system refuses: the batch run at the
// next start moves the new file into its place, also where the folders'
// names have blanks; on a system whose temporary folder is a full disk
// (the 64 KB floppy S:, filled by the test) its batch can't be written,
// and that is an error; no RunOnce value is left to run a batch that is
// not there.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "core/exceptions.h"
#include "paths/registry.h"
#include "testing/child_process.h"
#include "testing/filetree.h"

namespace install_test {
namespace {

using namespace forms;
using namespace install;

// Fills the disk at path with one file; deletes it again at the end.
class FullDisk {
public:
  explicit FullDisk(const std::string& path) : filler_(path + "filler") {
    HANDLE file = CreateFileA(filler_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    std::string block(4096, 'x');
    DWORD written = 0;
    while (file != INVALID_HANDLE_VALUE && WriteFile(file, block.data(), block.size(), &written, nullptr) &&
           written == block.size()) {
      // until the disk takes no more
    }
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  }
  ~FullDisk() { DeleteFileA(filler_.c_str()); }

private:
  std::string filler_;
};

class InUseBatch : public FileTreeTest {
protected:
  void TearDown() override {
    SetDelayedMoveHandler(nullptr);
    SetEnvironmentVariableA("TMP", previous_tmp_.empty() ? nullptr : previous_tmp_.c_str());
    FileTreeTest::TearDown();
  }
  // The temporary folder of this process becomes folder.
  void UseTemporaryFolder(const std::string& folder) {
    char previous[MAX_PATH] = {};
    if (GetEnvironmentVariableA("TMP", previous, sizeof previous)) previous_tmp_ = previous;
    SetEnvironmentVariableA("TMP", folder.c_str());
  }
  std::string previous_tmp_;
};

// The default destination and a temporary folder below "Documents and
// Settings": every path in the batch has blanks. Beside the target lie
// files named like the words of those paths, which the batch leaves alone.
TEST_F(InUseBatch, TheBatchMovesTheNewFileIntoPlaceThoughThePathsHaveBlanks) {
  dest_ = temp_ / "Program Files\\Net Monitor";
  std::string temporary = temp_ / "Documents and Settings\\Temp";
  std::filesystem::create_directories(temporary);
  LoadMainForm({}, "TInstallMainForm F { TInstall Install1 { RunAutomatic = False } }");
  SetInstallRecordKey("\\SOFTWARE\\ZUV\\Install\\Install0");
  TInstallDirectory* directory = Directory("Programs");
  TInstallFile* file = File("IFlocked", "in use.dll", directory);
  Source("in use.dll", 300);
  Pack(file);
  std::string target = Existing("in use.dll", "running");
  const char* const neighbours[] = {"in", "use.1", "use.dll"};
  for (const char* name : neighbours) Existing(name, name);
  HANDLE held = CreateFileA(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  SetDelayedMoveHandler([](const std::string&, const std::string&) { return false; });
  UseTemporaryFolder(temporary);
  directory->Process();
  CloseHandle(held);
  std::string command = ReadRegistryString(hkCurrentUser, "\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
                                           "QuendricBatFile", "");
  ASSERT_GE(command.size(), 2u);
  ASSERT_EQ(command.front(), '"') << "the batch is named in quotes: " << command;
  ASSERT_EQ(command.back(), '"') << command;
  std::string batch = command.substr(1, command.size() - 2);
  ASSERT_EQ(ExtractFileDir(batch), temporary);

  // The next start runs the batch, from the destination folder.
  char previous[MAX_PATH] = {};
  GetCurrentDirectoryA(sizeof previous, previous);
  SetCurrentDirectoryA(dest_.c_str());
  std::string output;
  int code = RunProgram("cmd /c " + command, output);
  SetCurrentDirectoryA(previous);

  EXPECT_EQ(code, 0) << output;
  EXPECT_EQ(fixture::ReadFile(target), fixture::TextData(300, 300)) << output;
  EXPECT_FALSE(FileExists(AddTrailingPathDelimiter(dest_) + "in use.1")) << output;
  for (const char* name : neighbours)
    EXPECT_EQ(fixture::ReadFile(AddTrailingPathDelimiter(dest_) + name), name) << output;
  std::filesystem::remove(batch);
}

TEST_F(InUseBatch, ABatchThatCannotBeWrittenIsAnErrorAndNoRunOnceValue) {
  ASSERT_EQ(GetFileAttributesA("S:\\") & FILE_ATTRIBUTE_DIRECTORY, static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY))
      << "the tmpfs drive S: is not there";
  LoadMainForm({}, "TInstallMainForm F { TInstall Install1 { RunAutomatic = False } }");
  SetInstallRecordKey("\\SOFTWARE\\ZUV\\Install\\Install0");
  TCustomInstall* install = TCustomInstall::Instance();
  TInstallDirectory* directory = Directory("Programs");
  TInstallFile* file = File("IFlocked", "locked.dll", directory);
  Source("locked.dll", 300);
  Pack(file);
  std::string target = Existing("locked.dll", "running");
  HANDLE held = CreateFileA(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  SetDelayedMoveHandler([](const std::string&, const std::string&) { return false; });
  UseTemporaryFolder("S:\\");
  FullDisk full("S:\\");

  try {
    directory->Process();
    ADD_FAILURE();
  } catch (const IECustomInstallFile& error) {
    std::string message = error.Message();
    size_t batch_at = message.find("S:\\"), batch_end = message.find(" that moves");
    EXPECT_EQ(message.substr(0, batch_at), "IFlocked cannot write the batch file ");
    EXPECT_EQ(message.substr(batch_end), " that moves the file after the computer is reboot");
    // What could be written of it is gone again.
    EXPECT_FALSE(FileExists(message.substr(batch_at, batch_end - batch_at))) << message;
  }
  CloseHandle(held);
  EXPECT_EQ(ReadRegistryString(hkCurrentUser, "\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
                               "QuendricBatFile", ""),
            "");
  TStringList unfinished;
  install->ReadUnfinishedList(unfinished);
  EXPECT_EQ(unfinished.Count(), 0);
}

}  // namespace
}  // namespace install_test
