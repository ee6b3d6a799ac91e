// The control against the system's own HTML Help (Wine's), with a help
// file compiled by chmcmd: the topic of a context number opens in a help
// window of the help system.
#include <gmock/gmock.h>

#include "fixture.h"

namespace {

using HtmlHelpFunction = HWND(WINAPI *)(HWND, LPCSTR, UINT, DWORD_PTR);
const UINT kCloseAll = 0x12;

// The titles of the help system's top-level windows in this process.
std::vector<std::string> HelpWindows() {
  std::vector<std::string> titles;
  DWORD process = GetCurrentProcessId();
  for (HWND window = nullptr; (window = FindWindowExA(nullptr, window, "HH Parent", nullptr)) != nullptr;) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char title[256] = "";
    GetWindowTextA(window, title, sizeof title);
    if (owner == process) titles.push_back(title);
  }
  return titles;
}

using SystemHtmlHelpTest = HelpControlTest;

TEST_F(SystemHtmlHelpTest, ContextNumberOpensTheTopicOfACompiledFile) {
  ASSERT_TRUE(CopyFileA(TIPCASTER_SMOKE_CHM, PathOf("smoke.chm").c_str(), FALSE));
  UseMapFile("[OPTIONS]\r\nCompiled File=smoke.chm\r\n[MAP]\r\n7=\"intro.htm\"\r\n");
  EXPECT_THAT(HelpWindows(), ::testing::IsEmpty());
  CallMethod(control(), "ShowHTMLHelpTopicId", {7L, ""});
  // The window carries the title of the compiled help file.
  EXPECT_THAT(HelpWindows(), ::testing::ElementsAre("Smoke"));
  EXPECT_THAT(boxes_->Texts(), ::testing::IsEmpty());

  HMODULE help = GetModuleHandleA("hhctrl.ocx");
  ASSERT_NE(help, nullptr);
  auto htmlHelp = reinterpret_cast<HtmlHelpFunction>(reinterpret_cast<void *>(GetProcAddress(help, MAKEINTRESOURCEA(14))));
  htmlHelp(nullptr, nullptr, kCloseAll, 0);
}

}  // namespace
