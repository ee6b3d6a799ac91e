// Install records in Wine's registry (the roots of this process are the
// test's own): the search by the setup file's size and date, the
// unfinished list, the removal of a record and the run after a reboot.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <mutex>
#include <thread>

#include "core/exceptions.h"
#include "paths/registry.h"
#include "testing/filetree.h"

namespace install_test {
namespace {

using namespace forms;
using namespace install;

const std::string kRecords = "\\SOFTWARE\\ZUV\\Install";

// Closes every message box this process shows while it lives, keeping
// their texts: a run that starts while the script loads reports its
// failures in boxes before a test can put its own handler in place.
class MessageBoxCloser {
public:
  MessageBoxCloser() : thread_([this] { Watch(); }) {}
  ~MessageBoxCloser() {
    stop_ = true;
    thread_.join();
  }
  std::vector<std::string> Texts() {
    std::lock_guard<std::mutex> lock(mutex_);
    return texts_;
  }

private:
  static BOOL CALLBACK Close(HWND window, LPARAM context) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char class_name[32] = {};
    GetClassNameA(window, class_name, sizeof class_name);
    if (owner != GetCurrentProcessId() || std::string(class_name) != "#32770" || !IsWindowVisible(window))
      return TRUE;
    auto* self = reinterpret_cast<MessageBoxCloser*>(context);
    char text[1024] = {};
    GetDlgItemTextA(window, 0xFFFF, text, sizeof text);
    {
      std::lock_guard<std::mutex> lock(self->mutex_);
      self->texts_.push_back(text);
    }
    PostMessageA(window, WM_COMMAND, IDOK, 0);
    return TRUE;
  }
  void Watch() {
    while (!stop_) {
      EnumWindows(Close, reinterpret_cast<LPARAM>(this));
      Sleep(50);
    }
  }
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<std::string> texts_;
  std::thread thread_;
};

class InstallRecords : public FileTreeTest {
protected:
  TCustomInstall* Engine(std::vector<std::string> arguments = {}, const std::string& more = "",
                         const std::string& install_properties = "RunAutomatic = False") {
    arguments.push_back("-s" + temp_.path().string());
    LoadMainForm(arguments, "TInstallMainForm F {\n"
                            "  TTranslator Translator1 { }\n"
                            "  TInstall Install1 { " + install_properties + " }\n" +
                                more + "}\n");
    TCustomInstall* install = TCustomInstall::Instance();
    Application()->SetOnException([this](TComponent*, const std::exception& error) {
      failures_.push_back(error.what());
    });
    return install;
  }
  // A record as an earlier run left it.
  void Record(const std::string& name, double date, int32_t size) {
    std::string key = kRecords + "\\" + name;
    WriteRegistryString(hkLocalMachine, key, "Path", "C:\\elsewhere\\setup.1");
    TqndrRegistry registry;
    registry.SetRootKey(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(registry.OpenKey(key, false));
    registry.WriteFloat("CreationDate", date);
    registry.WriteInteger("Size", size);
  }
  static bool KeyExists(const std::string& key) {
    TqndrRegistry registry;
    registry.SetRootKey(HKEY_LOCAL_MACHINE);
    return registry.KeyExists(key);
  }
  double own_date_ = 0;
  int32_t own_size_ = 0;
  void SetUp() override {
    FileTreeTest::SetUp();
    ASSERT_TRUE(ReadFileDateAndSize(ProgramFileName(), own_date_, own_size_));
  }
  std::vector<std::string> failures_;
};

TEST_F(InstallRecords, ARecordIsFoundBySizeAndDateOrMadeWithTheLowestFreeNumber) {
  Record("Install0", own_date_ + 1.0, own_size_);      // rebuilt: another date
  Record("Install2", own_date_, own_size_ + 1);         // another size
  WriteRegistryString(hkLocalMachine, kRecords + "\\Install3", "Path", "x");  // no size nor date
  TCustomInstall* install = Engine();
  EXPECT_EQ(InstallRecordKey(), "");
  EXPECT_EQ(install->FindInstallRecordKey(false), "");
  std::string made = install->FindInstallRecordKey(true);
  EXPECT_EQ(made, kRecords + "\\Install1");
  EXPECT_EQ(ReadRegistryString(hkLocalMachine, made, "Path", ""), ProgramFileName());
  EXPECT_EQ(ReadRegistryInteger(hkLocalMachine, made, "Size", 0), own_size_);
  EXPECT_EQ(ReadRegistryString(hkLocalMachine, made, "SelfExtract", "(none)"), "(none)");
  // Found again, as a copy of the setup file elsewhere would be: its path
  // is written anew.
  WriteRegistryString(hkLocalMachine, made, "Path", "D:\\copy\\setup.1");
  EXPECT_EQ(install->FindInstallRecordKey(true), made);
  EXPECT_EQ(ReadRegistryString(hkLocalMachine, made, "Path", ""), ProgramFileName());
}

TEST_F(InstallRecords, AStartFromTheSelfExtractorRecordsIt) {
  TCustomInstall* install = Engine({"-eSetup.exe"});
  std::string made = install->FindInstallRecordKey(true);
  EXPECT_EQ(ReadRegistryString(hkLocalMachine, made, "SelfExtract", ""),
            AddTrailingBackslash(temp_.path().string()) + "Setup.exe");
}

TEST_F(InstallRecords, TheUnfinishedListNeedsARecord) {
  TCustomInstall* install = Engine();
  TStringList list;
  for (auto operation : {std::function<void()>([&] { install->AddUnfinished("IFx", 0); }),
                         std::function<void()>([&] { install->ReadUnfinishedList(list); }),
                         std::function<void()>([&] { install->ClearUnfinished(); })}) {
    try {
      operation();
      ADD_FAILURE();
    } catch (const IEInstall& error) {
      EXPECT_EQ(error.Message(), "The TInstall could not either write or read unfinished business from the registry");
    }
  }
  SetInstallRecordKey(install->FindInstallRecordKey(true));
  install->AddUnfinished("IFx", 0);
  install->AddUnfinished("C:\\temp\\bat1.bat", 1);
  install->ReadUnfinishedList(list);
  std::vector<std::string> entries = list.Lines();
  std::sort(entries.begin(), entries.end());
  EXPECT_EQ(entries, (std::vector<std::string>{"C:\\temp\\bat1.bat;1", "IFx;0"}));
  EXPECT_EQ(install->InUseCount(), 2);
  install->ClearUnfinished();
  install->ReadUnfinishedList(list);
  EXPECT_EQ(list.Count(), 0);
}

TEST_F(InstallRecords, ClearingTheListOnAFirstRunFailsBeforeARecordIsMade) {
  TCustomInstall* install = Engine({"-n"});
  CallHandlingExceptions(install, [&] { install->Process(); });
  EXPECT_EQ(failures_,
            std::vector<std::string>{"The TInstall could not either write or read unfinished business from the registry"});
  EXPECT_FALSE(KeyExists(kRecords + "\\Install0"));
}

TEST_F(InstallRecords, RemovingARecordTakesItsDownloadsAndTheEmptyKeysAbove) {
  TCustomInstall* install = Engine();
  SetInstallRecordKey(install->FindInstallRecordKey(true));
  std::string download = temp_ / "Programs.1";
  fixture::WriteFile(download, "archive");
  WriteRegistryString(hkLocalMachine, InstallRecordKey() + "\\Programs", "LocalFile", download);
  WriteRegistryString(hkLocalMachine, InstallRecordKey() + "\\Unfinished", "IFx", "0");
  WriteRegistryString(hkLocalMachine, "\\Software\\Quendric\\Empty", "", "");
  DeleteRegistryKeyTree(hkLocalMachine, "\\Software\\Quendric\\Empty");
  install->CleanupInstallRecord();
  EXPECT_FALSE(FileExists(download));
  EXPECT_FALSE(KeyExists(kRecords));
  EXPECT_FALSE(KeyExists("\\Software\\Quendric"));
  EXPECT_EQ(InstallRecordKey(), "");

  // Another record keeps the keys above.
  Record("Install5", 1.0, 1);
  SetInstallRecordKey(install->FindInstallRecordKey(true));
  install->CleanupInstallRecord();
  EXPECT_TRUE(KeyExists(kRecords + "\\Install5"));
}

TEST_F(InstallRecords, TheRunAfterTheRebootFinishesTheUnfinished) {
  // The first run left a file in use, a batch and the user's language.
  TCustomInstall* install = Engine();
  std::string record = install->FindInstallRecordKey(true);
  SetInstallRecordKey(record);
  std::string batch = temp_ / "move.bat";
  fixture::WriteFile(batch, "move");
  std::string target = Existing("locked.dll", "new");
  install->AddUnfinished("IFlocked", kUnfinishedResume);
  install->AddUnfinished(batch, kUnfinishedDeleteFile);
  WriteRegistryInteger(hkLocalMachine, record, "Language", qlGerman);
  Free(Application()->MainForm());
  SetInstallRecordKey("");

  MessageBoxCloser boxes;
  Engine({"-r"}, "  TListener Listener { Container = Install1 }\n"
                 "  TInstallFile IFlocked {\n"
                 "    DestDir = " + ScriptString(dest_) + "\n"
                 "    DestName = \"locked.dll\"\n"
                 "    InstallAttributes = [qfaReadOnly]\n"
                 "  }\n",
         "");

  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{});
  EXPECT_FALSE(FileExists(batch));
  EXPECT_NE(GetFileAttributesA(target.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
  SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(GlobalTranslator()->TranslateIntoLanguage(), qlGerman);
  auto* listener = static_cast<TListener*>(Application()->MainForm()->FindComponent("Listener"));
  EXPECT_EQ(listener->Codes(), (std::vector<int>{ieGoodInstall, ieGoodInstallDialogs}));
  EXPECT_FALSE(KeyExists(record));
  EXPECT_TRUE(Application()->Terminated());
}

TEST_F(InstallRecords, AnEntryWithoutANumberStopsTheResumption) {
  TCustomInstall* install = Engine();
  SetInstallRecordKey(install->FindInstallRecordKey(true));
  WriteRegistryString(hkLocalMachine, InstallRecordKey() + "\\Unfinished", "IFx", "abc");
  install->ResumeUnfinished();
  EXPECT_EQ(failures_, std::vector<std::string>{"There is an invalid entry for the unfinished install list IFx;abc"});
}

}  // namespace
}  // namespace install_test
