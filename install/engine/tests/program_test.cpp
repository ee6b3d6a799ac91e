// Runs install.exe as a user would and reads the message box it shows on a
// bad command line, as the user sees it.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "archive_fixture.h"

namespace {

struct Outcome {
  bool exited = false;
  DWORD exit_code = 0;
  std::string box_caption;
  std::string box_text;
  std::vector<std::string> pages;  // the wizard's pages, in the order the user went through them
};

struct BoxSearch {
  DWORD process_id;
  HWND box = nullptr;
};

BOOL CALLBACK FindBox(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<BoxSearch*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  char class_name[32] = {};
  GetClassNameA(window, class_name, sizeof class_name);
  if (owner == search->process_id && std::string(class_name) == "#32770" && IsWindowVisible(window)) {
    search->box = window;
    return FALSE;
  }
  return TRUE;
}

struct WizardSearch {
  DWORD process_id;
  HWND host = nullptr;
  HWND button = nullptr;
};

// The first visible and enabled "Next >" or "Finish" button below the window.
BOOL CALLBACK FindGoOnButton(HWND child, LPARAM context) {
  auto* search = reinterpret_cast<WizardSearch*>(context);
  char class_name[32] = {}, text[64] = {};
  GetClassNameA(child, class_name, sizeof class_name);
  GetWindowTextA(child, text, sizeof text);
  std::string caption = text;
  if (lstrcmpiA(class_name, "Button") == 0 && (caption == "Next >" || caption == "Finish") &&
      IsWindowVisible(child) && IsWindowEnabled(child)) {
    search->button = child;
    return FALSE;
  }
  return TRUE;
}

// A visible window of the process that offers the user a way on.
BOOL CALLBACK FindWizardPage(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<WizardSearch*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->process_id || !IsWindowVisible(window)) return TRUE;
  EnumChildWindows(window, FindGoOnButton, context);
  if (!search->button) return TRUE;
  search->host = window;
  return FALSE;
}

// Goes on through the wizard as a user who takes every default: presses
// Next or Finish on the page that shows and notes the page's caption.
void TakeTheDefaults(DWORD process_id, Outcome& outcome) {
  WizardSearch search{process_id};
  EnumWindows(FindWizardPage, reinterpret_cast<LPARAM>(&search));
  if (!search.button) return;
  char caption[128] = {};
  GetWindowTextA(search.host, caption, sizeof caption);
  if (outcome.pages.empty() || outcome.pages.back() != caption) outcome.pages.push_back(caption);
  PostMessageA(search.button, BM_CLICK, 0, 0);
  Sleep(400);  // the next page shows before the user reads it
}

// Starts install.exe with the arguments; presses OK on the first message box
// it shows and goes through the wizard with the defaults. Gives up after a
// minute.
Outcome RunInstaller(const std::string& arguments) {
  std::string command = "install.exe " + arguments;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  Outcome outcome;
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    ADD_FAILURE() << "cannot start " << command << ": " << GetLastError();
    return outcome;
  }
  for (int step = 0; step < 600; ++step) {
    if (WaitForSingleObject(process.hProcess, 100) == WAIT_OBJECT_0) {
      outcome.exited = true;
      break;
    }
    BoxSearch search{process.dwProcessId};
    EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
    if (search.box && outcome.box_text.empty()) {
      char text[1024] = {};
      GetDlgItemTextA(search.box, 0xFFFF, text, sizeof text);
      outcome.box_text = text;
      GetWindowTextA(search.box, text, sizeof text);
      outcome.box_caption = text;
      PostMessageA(search.box, WM_COMMAND, IDOK, 0);
    } else if (!search.box) {
      TakeTheDefaults(process.dwProcessId, outcome);
    }
  }
  if (!outcome.exited) TerminateProcess(process.hProcess, 99);
  GetExitCodeProcess(process.hProcess, &outcome.exit_code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return outcome;
}

const char* const kInvalid =
    "Invalid parameter <%s>. Valid command line parameters are: -b (Build), -d (Debug), -f (Transfer to floppies), -e "
    "(Called by self-extractor), -r (After reboot).";

std::string Invalid(const std::string& argument) {
  std::string text = kInvalid;
  return text.replace(text.find("%s"), 2, argument);
}

TEST(InstallProgram, RefusesABadCommandLineWithTheMessage) {
  struct Case {
    const char* arguments;
    std::string message;
  } cases[] = {
      {"-x", Invalid("-x")},
      {"*x -", Invalid("-")},
      {"\"-sC:\\dist\\\" -q", Invalid("-q")},  // the quote ends the group, -q stays an argument
      {"-d", "You forgot to pass in the build directory. In Run | Parameters, follow this format: -d \"-sC:\\My "
             "Build\"."},
  };
  for (const auto& c : cases) {
    Outcome outcome = RunInstaller(c.arguments);
    EXPECT_TRUE(outcome.exited) << c.arguments;
    EXPECT_EQ(outcome.exit_code, 1u) << c.arguments;
    EXPECT_EQ(outcome.box_caption, "Install") << c.arguments;
    EXPECT_EQ(outcome.box_text, c.message) << c.arguments;
  }
}

// The distribution beside the installer: the main archive with the
// script's system updaters, as the build packs them.
TEST(InstallProgram, StartsFromItsScriptRunsAndEnds) {
  fixture::TempDir loader;
  fixture::Member shell_folder, common_controls;
  shell_folder.name = "Redist\\ShFolder.Exe";
  shell_folder.data = "MZ shell folders";
  shell_folder.fileID = 0;
  common_controls.name = "Redist\\50ComUpd.Exe";
  common_controls.data = "MZ common controls";
  common_controls.fileID = 1;
  fixture::WriteFile(loader.path() / "files.1", fixture::PlainArchive({shell_folder, common_controls}));
  Outcome outcome = RunInstaller("*x \"-s" + loader.path().string() + "\"");
  EXPECT_TRUE(outcome.exited);
  EXPECT_EQ(outcome.pages, (std::vector<std::string>{"Welcome", "Choose Destination Location",
                                                      "Select folder in start menu", "Setup complete"}));
  EXPECT_EQ(outcome.box_text, "");
  EXPECT_EQ(outcome.exit_code, 0u);
  // Under Wine neither updater is needed: the shell-folder one is
  // installed and not run, the common-controls one is left out.
  char program_files[MAX_PATH] = {};
  ExpandEnvironmentStringsA("%ProgramFiles%", program_files, sizeof program_files);
  std::filesystem::path product = std::filesystem::path(program_files) / "ZUV";
  EXPECT_EQ(fixture::ReadFile(product / "Updates" / "ShFolder.Exe"), "MZ shell folders");
  EXPECT_FALSE(std::filesystem::exists(product / "Updates" / "50ComUpd.Exe"));
  std::error_code ignored;
  std::filesystem::remove_all(product, ignored);
}

}  // namespace
