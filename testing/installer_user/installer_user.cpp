#include "installer_user.h"

#include <tlhelp32.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>

#include "screenshot.h"

namespace installer_user {
namespace {

using Processes = std::vector<DWORD>;

// The process and every process it started, directly or through others:
// a loader's installer shows the windows the user sees.
Processes ProcessTree(DWORD root) {
  Processes tree{root};
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return tree;
  std::vector<PROCESSENTRY32> entries;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
    entries.push_back(entry);
  CloseHandle(snapshot);
  for (size_t known = 0; known < tree.size(); ++known)
    for (const PROCESSENTRY32& e : entries)
      if (e.th32ParentProcessID == tree[known] && std::find(tree.begin(), tree.end(), e.th32ProcessID) == tree.end())
        tree.push_back(e.th32ProcessID);
  return tree;
}

bool Owns(const Processes& processes, HWND window) {
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  return std::find(processes.begin(), processes.end(), owner) != processes.end();
}

struct BoxSearch {
  Processes processes;
  HWND box = nullptr;
};

BOOL CALLBACK FindBox(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<BoxSearch*>(context);
  char class_name[32] = {};
  GetClassNameA(window, class_name, sizeof class_name);
  if (Owns(search->processes, window) && std::string(class_name) == "#32770" && IsWindowVisible(window)) {
    search->box = window;
    return FALSE;
  }
  return TRUE;
}

struct CopyWindowSearch {
  Processes processes;
  HWND cancel = nullptr;
};

BOOL CALLBACK FindCancelButton(HWND child, LPARAM context) {
  char class_name[32] = {}, text[64] = {};
  GetClassNameA(child, class_name, sizeof class_name);
  GetWindowTextA(child, text, sizeof text);
  if (lstrcmpiA(class_name, "Button") != 0 || std::string(text) != "Cancel" || !IsWindowVisible(child)) return TRUE;
  reinterpret_cast<CopyWindowSearch*>(context)->cancel = child;
  return FALSE;
}

// The Cancel button of the copy-progress window, when it shows.
BOOL CALLBACK FindCopyWindow(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<CopyWindowSearch*>(context);
  char caption[64] = {};
  GetWindowTextA(window, caption, sizeof caption);
  if (!Owns(search->processes, window) || !IsWindowVisible(window) ||
      std::string(caption) != "Copying installation files")
    return TRUE;
  EnumChildWindows(window, FindCancelButton, context);
  return search->cancel ? FALSE : TRUE;
}

struct WizardSearch {
  Processes processes;
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
  if (!Owns(search->processes, window) || !IsWindowVisible(window)) return TRUE;
  EnumChildWindows(window, FindGoOnButton, context);
  if (!search->button) return TRUE;
  search->host = window;
  return FALSE;
}

// Saves what the page shows, once it has painted itself.
void SaveScreenshot(HWND host, const std::string& folder, Outcome& outcome) {
  Sleep(300);
  std::string name = outcome.pages.back();
  for (char& c : name)
    if (!isalnum(static_cast<unsigned char>(c))) c = '_';
  char place[8];
  snprintf(place, sizeof place, "%02u_", static_cast<unsigned>(outcome.pages.size()));
  std::string path = folder + "\\" + place + name + ".bmp";
  CreateDirectoryA(folder.c_str(), nullptr);
  if (screenshot::Capture(host).SaveAs(path)) outcome.screenshots.push_back(path);
}

// Goes on through the wizard as a user who takes every default: presses
// Next or Finish on the page that shows and notes the page's caption.
void TakeTheDefaults(const Processes& processes, const std::string& screenshot_folder, Outcome& outcome) {
  WizardSearch search{processes};
  EnumWindows(FindWizardPage, reinterpret_cast<LPARAM>(&search));
  if (!search.button) return;
  char caption[128] = {};
  GetWindowTextA(search.host, caption, sizeof caption);
  if (outcome.pages.empty() || outcome.pages.back() != caption) {
    outcome.pages.push_back(caption);
    if (!screenshot_folder.empty()) SaveScreenshot(search.host, screenshot_folder, outcome);
  }
  PostMessageA(search.button, BM_CLICK, 0, 0);
  Sleep(400);  // the next page shows before the user reads it
}

}  // namespace

Outcome RunInstaller(const std::string& command_line, const std::string& directory,
                     const std::string& screenshot_folder, bool cancel_the_copy) {
  std::string command = command_line;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  Outcome outcome;
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      directory.empty() ? nullptr : directory.c_str(), &startup, &process))
    return outcome;
  outcome.started = true;
  for (int step = 0; step < 600; ++step) {
    if (WaitForSingleObject(process.hProcess, 100) == WAIT_OBJECT_0) {
      outcome.exited = true;
      break;
    }
    Processes processes = ProcessTree(process.dwProcessId);
    BoxSearch search{processes};
    EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
    if (search.box && outcome.box_text.empty()) {
      char text[1024] = {};
      GetDlgItemTextA(search.box, 0xFFFF, text, sizeof text);
      outcome.box_text = text;
      GetWindowTextA(search.box, text, sizeof text);
      outcome.box_caption = text;
      PostMessageA(search.box, WM_COMMAND, IDOK, 0);
    } else if (!search.box) {
      CopyWindowSearch copy{processes};
      if (cancel_the_copy && !outcome.cancelled_the_copy) EnumWindows(FindCopyWindow, reinterpret_cast<LPARAM>(&copy));
      if (copy.cancel) {
        PostMessageA(copy.cancel, BM_CLICK, 0, 0);
        outcome.cancelled_the_copy = true;
      } else {
        TakeTheDefaults(processes, screenshot_folder, outcome);
      }
    }
  }
  if (!outcome.exited) TerminateProcess(process.hProcess, 99);
  GetExitCodeProcess(process.hProcess, &outcome.exit_code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return outcome;
}

}  // namespace installer_user
