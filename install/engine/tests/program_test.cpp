// Runs install.exe as a user would and reads the message box it shows on a
// bad command line, as the user sees it; and installs the product from a
// distribution beside it.
// Registry calls of Windows Vista and later (RegGetValue, RegDeleteTree).
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600
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

// Reads a text value, empty when it is not there.
std::string RegistryText(HKEY root, const char* key, const char* value) {
  char data[MAX_PATH] = {};
  DWORD size = sizeof data;
  if (RegGetValueA(root, key, value, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS) return "";
  return data;
}

// A file beside this test program (and install.exe).
std::filesystem::path BesideTheTest(const char* name) {
  char program[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, program, sizeof program);
  return std::filesystem::path(program).parent_path() / name;
}

const char* const kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Network Monitor";

// The distribution beside the installer: the main archive with the
// script's system updaters and the product's files, as the build packs
// them. The control is a library that registers itself under a value of
// its own.
TEST(InstallProgram, StartsFromItsScriptRunsAndEnds) {
  fixture::TempDir loader;
  struct Packed {
    const char* name;
    std::string data;
  } packed[] = {
      {"Redist\\ShFolder.Exe", "MZ shell folders"},
      {"Redist\\50ComUpd.Exe", "MZ common controls"},
      {"Bin\\dmwclient.dll", "MZ trend agent"},
      {"Bin\\polyprobe.dll", "MZ service monitor"},
      {"Bin\\pagerwire.dll", "MZ messaging"},
      {"Bin\\tipcaster.ocx", fixture::ReadFile(BesideTheTest("install_program_regserver.dll"))},
  };
  std::vector<fixture::Member> members;
  for (const Packed& p : packed) {
    fixture::Member member;
    member.name = p.name;
    member.data = p.data;
    member.fileID = static_cast<int32_t>(members.size());  // the identifiers of the script
    members.push_back(member);
  }
  fixture::WriteFile(loader.path() / "files.1", fixture::PlainArchive(members));
  RegDeleteKeyValueA(HKEY_CURRENT_USER, "Software\\NetmonTests", "ProgramTestRegistered");
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, kUninstallKey);
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
  for (size_t i = 2; i < members.size(); ++i) {
    std::string file = members[i].name.substr(members[i].name.find('\\') + 1);
    EXPECT_EQ(fixture::ReadFile(product / file), members[i].data) << file;
  }
  EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, "Software\\NetmonTests", "ProgramTestRegistered"),
            (product / "tipcaster.ocx").string());
  std::string active_x = std::string(kUninstallKey) + "\\ActiveX";
  EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, active_x.c_str(), "File1"), (product / "tipcaster.ocx").string() + ";0");
  EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, (std::string(kUninstallKey) + "\\Files").c_str(), "Entries"), "3");
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, kUninstallKey);
  RegDeleteKeyValueA(HKEY_CURRENT_USER, "Software\\NetmonTests", "ProgramTestRegistered");
  std::error_code ignored;
  std::filesystem::remove_all(product, ignored);
}

}  // namespace
