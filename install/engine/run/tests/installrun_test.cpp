// The installation run where it needs no registry: the typed passes, the
// cursor while the archive is read, the end of the application, and
// (natively, where failures are printed) the failures of a run.
#include <gtest/gtest.h>

#include "core/exceptions.h"
#include "screen.h"
#include "testing/filetree.h"

namespace install_test {
namespace {

using namespace forms;
using namespace install;

class InstallRun : public FileTreeTest {
protected:
  // An engine on a main form with a listener among its helpers.
  TCustomInstall* Engine(const std::string& properties = "RunAutomatic = False") {
    LoadMainForm({"-s" + AddTrailingPathDelimiter(temp_.path().string())},
                 "TInstallMainForm F { TInstall Install1 { " + properties + " } }");
    listener_ = Listen(TCustomInstall::Instance());
    return TCustomInstall::Instance();
  }
  TListener* listener_ = nullptr;
};

TEST_F(InstallRun, ATypedPassProcessesTheContainersOfItsTypeUnderOneStatusText) {
  TCustomInstall* install = Engine();
  TTestObject* first = Object("FirstLink", 8000, install);
  TTestObject* second = Object("SecondLink", 8000, install);
  Object("Key", 8500, install);
  install->ProcessRegisteredType(8000, "Installing shell links...");
  install->ProcessRegisteredType(2750, "Installing ODBC drivers...");
  install->ProcessRegisteredType(8700, "");
  EXPECT_TRUE(first->Installed());
  EXPECT_TRUE(second->Installed());
  std::vector<int> codes = listener_->Codes();
  EXPECT_EQ(std::count(codes.begin(), codes.end(), ieShowStatus), 1);
  EXPECT_EQ(std::count(codes.begin(), codes.end(), ieHideStatus), 1);
  EXPECT_EQ(codes.front(), ieShowStatus);
  EXPECT_EQ(codes.back(), ieHideStatus);
  // In creation order, not in helper order.
  auto installed = [](const std::string& line) { return line.rfind("install ", 0) == 0; };
  std::vector<std::string> order;
  std::copy_if(Journal().begin(), Journal().end(), std::back_inserter(order), installed);
  EXPECT_EQ(order, (std::vector<std::string>{"install FirstLink", "install SecondLink"}));
}

// The cursor as the user meets it: the screen's, and under Windows the one
// the system shows and the one the main form gives on the next mouse move.
struct CursorSeen {
  TCursor screen = crDefault;
  bool hourglass_shown = false;
  bool hourglass_after_mouse_move = false;
};

CursorSeen SeeCursor() {
  CursorSeen seen;
  seen.screen = Screen().Cursor();
#ifdef _WIN32
  const HCURSOR hourglass = LoadCursorA(nullptr, IDC_WAIT);
  seen.hourglass_shown = GetCursor() == hourglass;
  HWND main_form = TCustomInstall::Instance()->MainForm()->Handle();
  SetCursor(LoadCursorA(nullptr, IDC_ARROW));
  SendMessageA(main_form, WM_SETCURSOR, reinterpret_cast<WPARAM>(main_form), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  seen.hourglass_after_mouse_move = GetCursor() == hourglass;
#else
  seen.hourglass_shown = seen.hourglass_after_mouse_move = seen.screen == crHourGlass;
#endif
  return seen;
}

TEST_F(InstallRun, TheHourglassShowsWhileTheArchiveIsReadAndTheNormalCursorAfterwards) {
  TCustomInstall* install = Engine();
  TInstallDirectory* directory = Directory("Programs");
  directory->SetContainer(install);
  directory->SetArchiveFileType(nullptr);
  directory->SetArchiveFile(archive_);
  Source("one.dat", 3000);
  Pack(File("IFone", "one.dat", directory));
  CursorSeen reading;
  listener_->on_event = [&](int code) {
    if (code == ieShowStatus) reading = SeeCursor();
  };
  install->ReadArchiveInfo();
  EXPECT_EQ(reading.screen, crHourGlass);
  EXPECT_TRUE(reading.hourglass_shown);
  EXPECT_TRUE(reading.hourglass_after_mouse_move);
  CursorSeen after = SeeCursor();
  EXPECT_EQ(after.screen, crDefault);
  EXPECT_FALSE(after.hourglass_shown);
  EXPECT_FALSE(after.hourglass_after_mouse_move);
}

TEST_F(InstallRun, AReadThatFailsAlsoPutsTheNormalCursorBack) {
  TCustomInstall* install = Engine();
  // A file with no archive to read from.
  TInstallFile* file = File("IFlost", "lost.dat", install);
  file->SetArchiveFileType(nullptr);
  file->SetArchiveFile("");
  EXPECT_THROW(install->ReadArchiveInfo(), IECustomInstallFile);
  CursorSeen after = SeeCursor();
  EXPECT_EQ(after.screen, crDefault);
  EXPECT_FALSE(after.hourglass_shown);
  EXPECT_FALSE(after.hourglass_after_mouse_move);
}

TEST_F(InstallRun, TheLoadingProgramBringsTheMainArchive) {
  TCustomInstall* install = Engine("RunAutomatic = False UseLoadingProgram = False");
  install->SetArchiveFileType(nullptr);
  install->SetArchiveFile("C:\\elsewhere\\files.1");
  install->SetUseLoadingProgram(true);
  ASSERT_TRUE(install->ArchiveFileType());
  EXPECT_EQ(install->ArchiveFileType()->ClassName(), "TpsMainArchiveFile");
  EXPECT_EQ(install->ArchiveFile(), "");
}

TEST_F(InstallRun, ShutdownEndsTheApplicationUnlessVetoed) {
  TCustomInstall* install = Engine();
  bool terminate = false;
  install->SetOnBeforeShutdown([&](TComponent*, bool& go_on) { go_on = terminate; });
  EXPECT_TRUE(install->Shutdown());
  EXPECT_FALSE(Application()->Terminated());
  terminate = true;
  EXPECT_FALSE(install->Shutdown());
  EXPECT_TRUE(Application()->Terminated());
}

// On Windows the failure is shown in a message box; here it goes to the
// standard error, where the test reads it.
#ifndef _WIN32
TEST_F(InstallRun, WithoutTheLoaderPathTheRunFailsAsABadInstallation) {
  LoadMainForm({}, "TInstallMainForm F { TInstall Install1 { RunAutomatic = False } }");
  TCustomInstall* install = TCustomInstall::Instance();
  listener_ = Listen(install);
  std::vector<std::string> journal;
  install->SetOnAfterNotifyBadInstall([&](TComponent*) { journal.push_back("bad"); });
  testing::internal::CaptureStderr();
  CallHandlingExceptions(install, [&] { install->Process(); });
  std::string shown = testing::internal::GetCapturedStderr();
  EXPECT_NE(shown.find("The path of the loading program was not passed correctly."), std::string::npos) << shown;
  EXPECT_EQ(listener_->Codes(), (std::vector<int>{ieBadInstall, ieBadInstallDialogs}));
  EXPECT_EQ(journal, std::vector<std::string>{"bad"});
  EXPECT_TRUE(install->Aborted());
  EXPECT_FALSE(install->Running());
  // A failure ends the application even without RunAutomatic.
  EXPECT_TRUE(Application()->Terminated());
  // The program's caller learns that the installation failed.
  EXPECT_EQ(ProgramExitCode(), kExitInstallFailed);
  SetProgramExitCode(0);
}

TEST_F(InstallRun, WithoutARegistryNoInstallRecordCanBeKept) {
  TCustomInstall* install = Engine("RunAutomatic = False UseLoadingProgram = False");
  testing::internal::CaptureStderr();
  CallHandlingExceptions(install, [&] { install->Process(); });
  std::string shown = testing::internal::GetCapturedStderr();
  EXPECT_NE(shown.find("The TInstall could not either write or read unfinished business from the registry"),
            std::string::npos)
      << shown;
  EXPECT_EQ(listener_->Codes(), (std::vector<int>{ieBadInstall, ieBadInstallDialogs}));
}

TEST_F(InstallRun, FailuresOutsideARunAreShownPlainly) {
  TCustomInstall* install = Engine();
  testing::internal::CaptureStderr();
  CallHandlingExceptions(install, [] { throw EAIUserAbort(); });
  std::string shown = testing::internal::GetCapturedStderr();
  EXPECT_NE(shown.find("Installation aborted by the user"), std::string::npos) << shown;
  EXPECT_TRUE(listener_->heard.empty());
  EXPECT_FALSE(Application()->Terminated());
}
#endif

}  // namespace
}  // namespace install_test
