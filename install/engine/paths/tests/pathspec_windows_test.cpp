// The standard path specifiers on Windows: each resolves to the folder the
// system reports for it, for every system family Wine can present; the
// database engine and Office folders come from the registry.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "paths/osroutines.h"
#include "paths/registry.h"
#include "paths/shellpaths.h"
#include "testing/child_process.h"
#include "testing/fixtures.h"
#include "wineview.h"

namespace install_test {
namespace {

using namespace install;

// The folder as SHGetFolderPathA reports it; empty when it has none.
std::string Reported(int csidl) {
  char path[MAX_PATH];
  return SUCCEEDED(SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)) ? path : "";
}

// The probe's report: specifier name -> "=path" or "!message".
std::map<std::string, std::string> StandardPathsUnder(const char* version) {
  std::string output;
  RunProbeUnder(version, "paths", output);
  std::map<std::string, std::string> paths;
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t mark = line.find_first_of("=!");
    if (mark != std::string::npos) paths[line.substr(0, mark)] = line.substr(mark);
  }
  return paths;
}

enum Family { kNT, k9x, kOther };

// What each shell-folder specifier answers in a family: a folder, the
// text "undefined", or the path left as it was (empty).
struct ShellRow {
  const char* name;
  int nt, windows9x, other;  // CSIDL, or one of the two answers below
};
constexpr int kUndefined = -2, kLeft = -1;
const ShellRow kShellRows[] = {
    {"psRecent", CSIDL_RECENT, kUndefined, kUndefined},
    {"psSendTo", CSIDL_SENDTO, kLeft, kLeft},
    {"psStartup", CSIDL_STARTUP, kLeft, kLeft},
    {"psFavorites", CSIDL_FAVORITES, kUndefined, kUndefined},
    {"psCookies", CSIDL_COOKIES, kLeft, kLeft},
    {"psCommonAltStartup", CSIDL_COMMON_ALTSTARTUP, CSIDL_ALTSTARTUP, kLeft},
    {"psCommonStartup", CSIDL_COMMON_STARTUP, CSIDL_STARTUP, kLeft},
    {"psCommonDesktopDirectory", CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_DESKTOPDIRECTORY, kUndefined},
    {"psCommonFavorites", CSIDL_COMMON_FAVORITES, CSIDL_FAVORITES, kLeft},
    {"psCommonPrograms", CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS, kLeft},
    {"psCommonStartMenu", CSIDL_COMMON_STARTMENU, CSIDL_STARTMENU, kLeft}};
// Folders without a file-system path: in the NT family the shell gives no
// path (Wine: a "::{" name); elsewhere "undefined" or left as it was.
const ShellRow kVirtualRows[] = {{"psPrinters", CSIDL_PRINTERS, kUndefined, kUndefined},
                                 {"psControlPanel", CSIDL_CONTROLS, kLeft, kLeft},
                                 {"psBitBucket", CSIDL_BITBUCKET, kLeft, kLeft}};

std::string Answer(int answer) { return answer == kUndefined ? "=undefined" : answer == kLeft ? "=" : "=" + Reported(answer); }

TEST(StandardPathsUnderWine, EachSpecifierGivesTheFolderTheSystemReports) {
  const std::string program_files = wineview::kProgramFiles;
  const std::map<std::string, std::string> same_everywhere = {
      {"psBDEDLL", "=" + program_files + "\\Borland\\Common Files\\BDE"},
      {"psCommonFiles", "=" + program_files + "\\Common Files"},
      {"psDesktopMenu", "=" + Reported(CSIDL_DESKTOPDIRECTORY)},
      {"psProgramFiles", "=" + program_files},
      {"psProgramMenu", "=" + Reported(CSIDL_PROGRAMS)},
      {"psStartMenu", "=" + Reported(CSIDL_STARTMENU)},
      {"psStartupMenu", "=" + Reported(CSIDL_STARTUP)},
      {"psSystem", "=" + GetSystemDir()},
      {"psWindow", "=" + GetWindowsDir()},
      {"psQuickLaunchMenu", "=" + Reported(CSIDL_APPDATA) + "\\Microsoft\\Internet Explorer\\Quick Launch"},
      {"psOfficeUserTemplates", "=" + program_files + "\\Microsoft Office\\Templates"},
      {"psOfficeWorkgroupTemplates", "=" + program_files + "\\Microsoft Office\\Templates"},
      {"psOfficeClipartDirectory", "=" + program_files + "\\Microsoft Office\\Clipart"},
      {"psOfficeStartupDirectory", "=" + program_files + "\\Microsoft Office\\Office\\Startup"},
      {"psOfficeToolsDirectory", "=" + program_files + "\\Microsoft Office\\Office"},
      {"psOfficeFavoritesDirectory", "=" + Reported(CSIDL_FAVORITES)}};
  struct Case {
    const char* version;
    Family family;
  } cases[] = {{nullptr, kNT}, {"winxp", kNT}, {"win2k", kNT}, {"nt40", kNT},
               {"win98", k9x}, {"winme", k9x}, {"win31", kOther}, {"nt351", kOther}};
  for (const auto& c : cases) {
    std::string version = c.version ? c.version : "default";
    std::map<std::string, std::string> paths = StandardPathsUnder(c.version);
    ASSERT_EQ(paths.size(), 35u) << version;
    for (const auto& [name, expected] : same_everywhere) EXPECT_EQ(paths[name], expected) << version << " " << name;
    for (const ShellRow& row : kShellRows) {
      int answer = c.family == kNT ? row.nt : c.family == k9x ? row.windows9x : row.other;
      EXPECT_EQ(paths[row.name], Answer(answer)) << version << " " << row.name;
    }
    for (const ShellRow& row : kVirtualRows) {
      if (c.family == kNT)
        EXPECT_TRUE(paths[row.name] == "=" || paths[row.name].rfind("=::{", 0) == 0) << version << " " << row.name;
      else
        EXPECT_EQ(paths[row.name], Answer(c.family == k9x ? row.windows9x : row.other)) << version << " " << row.name;
    }
    // Without an object and an engine these refuse.
    for (const char* name :
         {"psContainerArchiveFile", "psContainerDestDir", "psInstallSource", "psMainInstall", "psMainArchiveFile"})
      EXPECT_EQ(paths[name].substr(0, 1), "!") << version << " " << name;
  }
}

class PrivateRegistry : public EngineTest {
protected:
  void SetUp() override {
    EngineTest::SetUp();
    UsePrivateRegistry();
  }
  static std::string PathOf(const char* class_name) {
    std::string path;
    StandardPathSpecifiers().FindByClass(class_name)->GetPath(nullptr, path);
    return path;
  }
  // The installed word processor: its current version and its server.
  void InstallWord(const std::string& current_version, const std::string& server) {
    WriteRegistryString(hkClassesRoot, "\\Word.Document\\CurVer", "", current_version);
    WriteRegistryString(hkClassesRoot, "\\" + current_version + "\\protocol\\StdFileEditing\\server", "", server);
  }
};

TEST_F(PrivateRegistry, DatabaseEngineFolderIsTheFirstOfItsList) {
  EXPECT_EQ(PathOf("TpsBDEDLL"), GetProgramFilesDir() + "\\Borland\\Common Files\\BDE");
  WriteRegistryString(hkLocalMachine, "\\Software\\Borland\\Database Engine", "DLLPath", "C:\\BDE;D:\\Other");
  EXPECT_EQ(PathOf("TpsBDEDLL"), "C:\\BDE");
  WriteRegistryString(hkLocalMachine, "\\Software\\Borland\\Database Engine", "DLLPath", "C:\\BDE\\");
  EXPECT_EQ(PathOf("TpsBDEDLL"), "C:\\BDE\\");
}

TEST_F(PrivateRegistry, OfficeVersionNeedsTwoDotsANumberAndAnExistingServer) {
  std::string notepad = GetWindowsDir() + "\\notepad.exe";
  struct Case {
    const char* current_version;
    std::string server;
    int expected;
  } cases[] = {{"Word.Document.9", notepad, 9},
               {"Word.Document.8", notepad, 8},
               {"Word.Document.20", notepad, 20},
               {"Word.Document.9", GetWindowsDir() + "\\no such word.exe", -1},
               {"Word.9", notepad, -1},
               {"Word.Document.nine", notepad, -1}};
  EXPECT_EQ(GetOfficeVersion("Word.Document"), -1);
  for (const auto& c : cases) {
    InstallWord(c.current_version, c.server);
    EXPECT_EQ(GetOfficeVersion("Word.Document"), c.expected) << c.current_version << " " << c.server;
  }
}

TEST_F(PrivateRegistry, OfficeFoldersFromTheInstalledVersionsKeys) {
  std::string notepad = GetWindowsDir() + "\\notepad.exe";
  const std::string fallback = GetProgramFilesDir() + "\\Microsoft Office\\";
  WriteRegistryString(hkCurrentUser, "\\Software\\Policies\\Microsoft\\Office\\9.0\\Word\\Options", "PICTURE-PATH",
                      "E:\\Clips9\\");
  WriteRegistryString(hkCurrentUser, "\\Software\\Microsoft\\Office\\8.0\\Word\\Options", "PICTURE-PATH",
                      "E:\\Clips8");
  WriteRegistryString(hkCurrentUser, "\\Software\\Policies\\Microsoft\\Office\\9.0\\Common\\FileNew\\LocalTemplates",
                      "", "E:\\Mine");
  InstallWord("Word.Document.9", notepad);
  EXPECT_EQ(PathOf("TpsOfficeClipartDirectory"), "E:\\Clips9");
  EXPECT_EQ(PathOf("TpsOfficeStartupDirectory"), fallback + "Office\\Startup");
  EXPECT_EQ(PathOf("TpsOfficeUserTemplates"), "E:\\Mine");
  // Without a workgroup folder the templates are the user's.
  EXPECT_EQ(PathOf("TpsOfficeWorkgroupTemplates"), "E:\\Mine");
  WriteRegistryString(hkCurrentUser,
                      "\\Software\\Policies\\Microsoft\\Office\\9.0\\Common\\FileNew\\SharedTemplates", "",
                      "F:\\Shared\\");
  EXPECT_EQ(PathOf("TpsOfficeWorkgroupTemplates"), "F:\\Shared");

  InstallWord("Word.Document.8", notepad);
  EXPECT_EQ(PathOf("TpsOfficeClipartDirectory"), "E:\\Clips8");
  EXPECT_EQ(PathOf("TpsOfficeUserTemplates"), fallback + "Templates");

  // An unknown version: every Office folder falls back to Program Files.
  InstallWord("Word.Document.20", notepad);
  EXPECT_EQ(PathOf("TpsOfficeClipartDirectory"), fallback + "Clipart");
  EXPECT_EQ(PathOf("TpsOfficeToolsDirectory"), fallback + "Office");
  EXPECT_EQ(PathOf("TpsOfficeUserTemplates"), fallback + "Templates");
  EXPECT_EQ(PathOf("TpsOfficeWorkgroupTemplates"), fallback + "Templates");
}

TEST_F(PrivateRegistry, OfficeFavoritesFromTheShellFoldersOrTheWindowsFolder) {
  EXPECT_EQ(PathOf("TpsOfficeFavoritesDirectory"), GetWindowsDir() + "\\Favorites");
  WriteRegistryString(hkCurrentUser, "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                      "Favorites", "G:\\Fav\\");
  EXPECT_EQ(PathOf("TpsOfficeFavoritesDirectory"), "G:\\Fav");
}

TEST(ShellFolders, QuickLaunchBelowTheApplicationData) {
  std::string app_data = GetSpecialFolderPath(CSIDL_APPDATA);
  ASSERT_FALSE(app_data.empty());
  EXPECT_EQ(app_data, Reported(CSIDL_APPDATA));
  EXPECT_EQ(GetSpecialFolderPath(CSIDL_ALTSTARTUP), "");
}

}  // namespace
}  // namespace install_test
