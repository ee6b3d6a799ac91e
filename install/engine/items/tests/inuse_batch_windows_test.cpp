// A file in use whose renaming the system refuses, on a system whose
// temporary folder is a full disk (the 64 KB floppy S:, filled by the
// test): its batch can't be written, and that is an error; no RunOnce
// value is left to run a batch that is not there.
#include <windows.h>

#include <gtest/gtest.h>

#include "core/exceptions.h"
#include "paths/registry.h"
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
