// Whole installation runs against Wine: a good run from the install record
// to the clean-up, a run that ends with a reboot request, a cancel in the
// wizard, the programs run after installation and the clean-up of the
// loader directory. Failures that would show a message box fail the test
// instead; the reboot goes to a handler of the test.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "core/exceptions.h"
#include "distribution/distribution.h"
#include "paths/registry.h"
#include "screen.h"
#include "testing/child_process.h"
#include "testing/filetree.h"

namespace install_test {
namespace {

using namespace forms;
using namespace install;

const char* const kRunOnce = "\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

class RunOnWindows : public FileTreeTest {
protected:
  // The engine with the temporary folder as loader directory (so that its
  // main archive is archive_), a directory of two files and a listener.
  TCustomInstall* Engine(const std::string& properties = "", std::vector<std::string> arguments = {}) {
    arguments.insert(arguments.begin(), "-s" + temp_.path().string());
    form_ = LoadMainForm(arguments, "TInstallMainForm F { TInstall Install1 { Information.ProductName = \"Netmon\" " +
                                        properties + " } }");
    TCustomInstall* install = TCustomInstall::Instance();
    // A failure other than a cancel would show a message box: the test
    // fails instead.
    Application()->SetOnException([this, install](TComponent* sender, const std::exception& error) {
      if (dynamic_cast<const EAIUserAbort*>(&error))
        install->HandleInstallException(sender, error);
      else
        failures_.push_back(error.what());
    });
    listener_ = Listen(install);
    directory_ = Directory("Programs");
    directory_->SetContainer(install);
    directory_->SetDestDirType(nullptr);
    directory_->SetDestDir(dest_);
    for (const char* name : {"one", "two"}) {
      TInstallFile* file = File(std::string("IF") + name, std::string(name) + ".dat", directory_);
      Source(file->FileName(), 2000);
      Pack(file);
    }
    return install;
  }
  void Activate() { CallHandlingExceptions(form_, [this] { form_->Activate(); }); }
  // The listener's codes among the given ones, in order.
  std::vector<int> Heard(std::initializer_list<int> wanted) const {
    std::vector<int> codes;
    for (int code : listener_->Codes())
      if (std::find(wanted.begin(), wanted.end(), code) != wanted.end()) codes.push_back(code);
    return codes;
  }
  bool RecordsExist() const {
    TqndrRegistry registry;
    registry.SetRootKey(HKEY_LOCAL_MACHINE);
    return registry.KeyExists("\\SOFTWARE\\ZUV\\Install");
  }

  TInstallMainForm* form_ = nullptr;
  TListener* listener_ = nullptr;
  TInstallDirectory* directory_ = nullptr;
  std::vector<std::string> failures_;
};

TEST_F(RunOnWindows, AGoodRunInstallsTheTreeAndEndsClean) {
  TCustomInstall* install = Engine();
  std::vector<bool> aborted;
  install->SetOnAfterInstallObjects([&](TInstallContainer*, bool was_aborted) { aborted.push_back(was_aborted); });
  bool record_during_run = false;
  std::vector<TCursor> cursors_while_installing;
  listener_->on_event = [&](int code) {
    if (code == ieBeforeInstallDialogs) record_during_run = RecordsExist() && !InstallRecordKey().empty();
    if (code == ieInstallStarting || code == ieFileStatus) cursors_while_installing.push_back(Screen().Cursor());
  };

  Activate();

  EXPECT_EQ(failures_, std::vector<std::string>{});
  EXPECT_EQ(Heard({ieBeforeReadArchiveInfo, ieAfterReadArchiveInfo, ieAfterInitialized, ieBeforeInstallDialogs,
                   ieInstallStarting, ieGoodInstall, ieGoodInstallDialogs, ieBadInstall, ieReboot}),
            (std::vector<int>{ieBeforeReadArchiveInfo, ieAfterReadArchiveInfo, ieAfterInitialized,
                              ieBeforeInstallDialogs, ieInstallStarting, ieGoodInstall, ieGoodInstallDialogs}));
  EXPECT_EQ(fixture::ReadFile(AddTrailingPathDelimiter(dest_) + "two.dat"), fixture::TextData(2000, 2000));
  EXPECT_EQ(aborted, std::vector<bool>{false});
  EXPECT_EQ(ReadRegistryString(hkLocalMachine, "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Netmon\\Files",
                               "Entries", ""),
            "2");
  // The install record lived through the run and is gone at its end.
  EXPECT_TRUE(record_during_run);
  EXPECT_FALSE(RecordsExist());
  EXPECT_EQ(InstallRecordKey(), "");
  EXPECT_TRUE(Application()->Terminated());
  EXPECT_FALSE(install->Running());
  // The hourglass while the containers install their files, the normal
  // cursor once they are done.
  ASSERT_FALSE(cursors_while_installing.empty());
  EXPECT_EQ(std::count(cursors_while_installing.begin(), cursors_while_installing.end(), crHourGlass),
            static_cast<long>(cursors_while_installing.size()));
  EXPECT_EQ(Screen().Cursor(), crDefault);
}

// Started from a self-extracting setup.exe: the loader's bytes, setup.1 and
// files.1 behind them, the header and the checksum trailer. The files come from the
// archive inside it; no files.1 lies beside it.
TEST_F(RunOnWindows, ARunFromTheSelfExtractingFileReadsTheArchiveInsideIt) {
  Engine("", {"-esetup.exe"});
  const std::filesystem::path dir = temp_.path();
  fixture::WriteFile(dir / "setup.exe", "MZ the loader program");
  fixture::WriteFile(dir / "setup.1", "the installer's own archive");
  WriteSelfExtractHeader((dir / "setup.exe").string(), (dir / "setup.1").string(), archive_);
  // The trailer's place: its digits are checked by the loader, not here.
  AppendFileCheckSum((dir / "setup.exe").string(), std::string(40, '0'));
  std::filesystem::remove(archive_);

  Activate();

  EXPECT_EQ(failures_, std::vector<std::string>{});
  EXPECT_EQ(fixture::ReadFile(AddTrailingPathDelimiter(dest_) + "one.dat"), fixture::TextData(2000, 2000));
  EXPECT_EQ(fixture::ReadFile(AddTrailingPathDelimiter(dest_) + "two.dat"), fixture::TextData(2000, 2000));
}

// A registration failure inside the tree waits until the tree is done; its
// retry then ends the run as a failure.
TEST_F(RunOnWindows, ARegistrationThatFailsInTheTreeIsRetriedAtItsEnd) {
  Engine();
  TInstallFile* library = File("IFplain", "install_plain_library.dll", directory_);
  std::filesystem::copy_file(BesideThisProgram("install_plain_library.dll"), library->SourcePath());
  library->SetActiveX(true);
  library->SetUpdateDLLCounter(false);
  library->SetDestDirType(nullptr);
  library->SetDestDir(dest_);
  Pack(library);
  Activate();
  ASSERT_EQ(failures_.size(), 1u);
  EXPECT_NE(failures_[0].find("because the DllRegisterServer function could not be found"), std::string::npos);
  // The files after it in the tree are installed.
  EXPECT_TRUE(FileExists(AddTrailingPathDelimiter(dest_) + "one.dat"));
  EXPECT_EQ(Heard({ieGoodInstall}), std::vector<int>{});
}

TEST_F(RunOnWindows, ARebootRequestEndsTheRunWhateverThePageAnswers) {
  for (bool page_declines : {true, false}) {
    SCOPED_TRACE(page_declines ? "declined" : "accepted");
    TCustomInstall* install = Engine("Reboot = True");
    std::vector<uint32_t> requests;
    SetExitWindowsHandler([&](uint32_t flags, uint32_t reason) {
      requests.push_back(flags);
      EXPECT_EQ(reason, 0u);
      return true;
    });
    std::string resume_value;
    listener_->on_event = [&](int code) {
      if (code != ieReboot) return;
      resume_value = ReadRegistryString(hkCurrentUser, kRunOnce, "QuendricUnfinished", "");
      if (page_declines) install->SetReboot(false);
    };

    Activate();

    EXPECT_EQ(failures_, std::vector<std::string>{});
    EXPECT_EQ(resume_value, "\"" + ProgramFileName() + "\" -r \"-s" + temp_.path().string() + "\"");
    EXPECT_EQ(requests, page_declines ? std::vector<uint32_t>{} : std::vector<uint32_t>{EWX_REBOOT});
    EXPECT_EQ(Heard({ieGoodInstall, ieBadInstall, ieReboot}), std::vector<int>{ieReboot});
    EXPECT_TRUE(Application()->Terminated());
    // The record waits for the run after the reboot.
    EXPECT_TRUE(RecordsExist());
    EXPECT_TRUE(FileExists(AddTrailingPathDelimiter(dest_) + "one.dat"));
    TearDown();
    SetUp();
  }
}

TEST_F(RunOnWindows, ARebootThatFailsIsReportedToTheUser) {
  TCustomInstall* install = Engine("Reboot = True RunAutomatic = False");
  SetExitWindowsHandler([](uint32_t, uint32_t) { return false; });
  std::vector<std::string> told;
  SetQuestionHandler([&](const std::string& text, TQuestion kind) {
    EXPECT_EQ(kind, TQuestion::Ok);
    told.push_back(text);
    return true;
  });
  install->RebootWindows();
  EXPECT_EQ(told, std::vector<std::string>{"Could not reboot windows. Please manually reboot windows."});
  int failed_reboots = 0;
  install->SetOnFailedReboot([&](TComponent*) { ++failed_reboots; });
  install->RebootWindows();
  EXPECT_EQ(failed_reboots, 1);
  EXPECT_EQ(told.size(), 1u);
}

TEST_F(RunOnWindows, ACancelInTheWizardEndsTheRunAsABadInstallation) {
  for (bool run_automatic : {true, false}) {
    SCOPED_TRACE(run_automatic ? "automatic" : "by hand");
    TCustomInstall* install = Engine(run_automatic ? "" : "RunAutomatic = False");
    // The wizard's Cancel raises inside its modal loop, where the
    // application's handler takes it while the wizard still shows.
    listener_->on_event = [&](int code) {
      if (code == ieBeforeInstallDialogs) CallHandlingExceptions(install, [] { throw EAIUserAbort(); });
    };
    if (run_automatic)
      Activate();
    else
      CallHandlingExceptions(install, [&] { install->Process(); });

    EXPECT_EQ(failures_, std::vector<std::string>{});
    EXPECT_TRUE(install->Aborted());
    EXPECT_EQ(Heard({ieBadInstall, ieBadInstallDialogs, ieGoodInstall, ieInstallStarting}),
              (std::vector<int>{ieBadInstall, ieBadInstallDialogs}));
    EXPECT_FALSE(FileExists(AddTrailingPathDelimiter(dest_) + "one.dat"));
    EXPECT_FALSE(RecordsExist());
    EXPECT_EQ(Application()->Terminated(), run_automatic);
    EXPECT_EQ(ProgramExitCode(), kExitUserAborted);
    SetProgramExitCode(0);
    TearDown();
    SetUp();
  }
}

// Waits up to a minute for the launched program's record.
std::string WaitForRecord(const std::string& path) {
  for (int i = 0; i < 600 && !FileExists(path); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  return fixture::ReadFile(path);
}

TEST_F(RunOnWindows, ProgramsRunAfterInstallationWithTheirParameters) {
  TCustomInstall* install = Engine("RunAutomatic = False");
  auto* program = New<TInstallFile>(owner_);
  program->SetName("IFprobe");
  program->SetDestDir(ExtractFileDir(BesideThisProgram("install_launch_probe.exe")));
  program->SetDestName("install_launch_probe.exe");
  program->SetRunAfterInstall(true);
  std::vector<std::string> asked;
  bool run = true;
  install->SetOnBeforeRunFile([&](TComponent*, TCustomInstallFile* file, bool& go_on) {
    asked.push_back(file->Name());
    go_on = run;
  });
  struct Case {
    std::string parameters;
    bool run;
    std::string record;
  } cases[] = {{"/Q", true, "/Q\r\n"}, {"", true, ""}, {"/Q", false, "(not run)"}};
  int n = 0;
  for (const Case& c : cases) {
    std::string record = temp_ / ("record" + std::to_string(++n));
    SetEnvironmentVariableA("INSTALL_LAUNCH_RECORD", record.c_str());
    program->SetRunParameters(c.parameters);
    run = c.run;
    install->RunAfterInstallFiles();
    if (!c.run) std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(c.run ? WaitForRecord(record) : FileExists(record) ? "(run)" : "(not run)", c.record) << n;
  }
  SetEnvironmentVariableA("INSTALL_LAUNCH_RECORD", nullptr);
  EXPECT_EQ(asked, (std::vector<std::string>{"IFprobe", "IFprobe", "IFprobe"}));
}

TEST_F(RunOnWindows, TheLoaderDirectoryIsCleanedOnlyWhenAsked) {
  std::string loader = temp_ / "loader";
  struct Case {
    std::vector<std::string> arguments;
    bool veto;
    bool cleaned;
  } cases[] = {{{"-c"}, false, true}, {{"-c", "-d"}, false, false}, {{}, false, false}, {{"-c"}, true, false}};
  for (const Case& c : cases) {
    std::filesystem::create_directories(loader);
    fixture::WriteFile(loader + "\\setup.1", "installer");
    fixture::WriteFile(loader + "\\files.1", "archive");
    std::vector<std::string> arguments = c.arguments;
    arguments.push_back("-s" + loader);
    TCustomInstall* install = Engine("RunAutomatic = False", arguments);
    install->SetOnBeforeCleanup([&](TComponent*, bool& go_on) { go_on = !c.veto; });
    install->CleanupLoader();
    // The batch would remove this test program once it ends: it goes first.
    struct DeleteBatch {
      std::string path;
      ~DeleteBatch() {
        if (!path.empty()) DeleteFileA(path.c_str());
      }
    } delete_batch{install->BatchFile()};
    EXPECT_EQ(std::filesystem::exists(loader), !c.cleaned);
    EXPECT_EQ(install->BatchPrepared(), c.cleaned);
    if (c.cleaned) {
      std::string program = ProgramFileName();
      std::string batch = install->BatchFile();
      EXPECT_EQ(ExtractFileExt(batch), ".bat");
      std::string folder = "\"" + ExtractFileDir(program) + "\"";
      EXPECT_EQ(fixture::ReadFile(batch), "ERASE \"" + program + "\"\r\nDELTREE /Y " + folder + "\r\nRMDIR /S /Q " +
                                              folder + "\r\nERASE \"" + ChangeFileExt(batch, ".PIF") +
                                              "\"\r\nERASE \"" + batch + "\"\r\n");
    }
    TearDown();
    SetUp();
  }
}

}  // namespace
}  // namespace install_test
