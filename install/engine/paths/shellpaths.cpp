#include "paths/shellpaths.h"

#include "core/support.h"
#include "paths/osroutines.h"
#include "paths/registry.h"

namespace install {

using namespace forms;

namespace {

// The shell's folder identifiers the specifiers ask for.
enum Csidl : int {
  kPrograms = 2, kControls = 3, kPrinters = 4, kFavorites = 6, kStartup = 7, kRecent = 8, kSendTo = 9,
  kBitBucket = 10, kStartMenu = 11, kDesktopDirectory = 16, kCommonStartMenu = 22, kCommonPrograms = 23,
  kCommonStartup = 24, kCommonDesktopDirectory = 25, kAppData = 26, kAltStartup = 29, kCommonAltStartup = 30,
  kCommonFavorites = 31, kCookies = 33
};
// Answers of a family without the folder.
constexpr int kLeaveAsIs = -1;
constexpr int kUndefined = -2;

constexpr OSSet kWindows9xOSSet = OSBit(oswin95) | OSBit(oswin98) | OSBit(oswinME);

// The folder of the running system's family: NT, 9x or any other.
template <int NT, int Windows9x, int Other>
void FolderOfFamily(std::string& path) {
  OSSet os = OSBit(GetOSVersion());
  int answer = (os & NTFamilyOSSet) ? NT : (os & kWindows9xOSSet) ? Windows9x : Other;
  if (answer == kUndefined)
    path = "undefined";
  else if (answer != kLeaveAsIs)
    path = GetSpecialFolderPath(answer);
}

void QuickLaunchPath(std::string& path) {
  std::string app_data = RemoveTrailingBackslash(GetSpecialFolderPath(kAppData));
  path = app_data.empty() ? "undefined"
                          : RemoveTrailingBackslash(app_data + "\\Microsoft\\Internet Explorer\\Quick Launch");
}

const char* const kUserTemplatesSubDir = "Microsoft Office\\Templates";

void OfficeUserTemplatesPath(std::string& path) {
  path = GetOfficeTemplatesPath("LocalTemplates", kUserTemplatesSubDir);
}

// The workgroup templates where the installed Office names them; else the
// user templates folder, where the templates are found when no workgroup
// folder is set.
void OfficeWorkgroupTemplatesPath(std::string& path) {
  std::string user_templates = GetOfficeTemplatesPath("LocalTemplates", kUserTemplatesSubDir);
  int version = GetOfficeVersion("Word.Document");
  path = version >= 7 && version <= 19
             ? RemoveTrailingBackslash(
                   ReadRegistryString(hkCurrentUser, GetOfficeFileNewKey("SharedTemplates"), "", user_templates))
             : user_templates;
}

void OfficeClipartPath(std::string& path) {
  path = GetOfficeWordPath("PICTURE-PATH", "Microsoft Office\\Clipart");
}
void OfficeStartupPath(std::string& path) {
  path = GetOfficeWordPath("STARTUP-PATH", "Microsoft Office\\Office\\Startup");
}
void OfficeToolsPath(std::string& path) { path = GetOfficeWordPath("TOOLS-PATH", "Microsoft Office\\Office"); }
void OfficeFavoritesPath(std::string& path) {
  path = RemoveTrailingBackslash(ReadRegistryString(hkCurrentUser,
                                                    "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                                                    "Favorites", AddTrailingBackslash(GetWindowsDir()) + "Favorites"));
}

const StandardSpecifierRow kRows[] = {
    {"TpsPrinters", "psPrinters", "virtual folder containing installed printers", "Installed Printers",
     FolderOfFamily<kPrinters, kUndefined, kUndefined>},
    {"TpsRecent", "psRecent", "Recently Used Documents", "Recently Used", FolderOfFamily<kRecent, kUndefined, kUndefined>},
    {"TpsSendTo", "psSendTo", "Send To Menu", "Send To", FolderOfFamily<kSendTo, kLeaveAsIs, kLeaveAsIs>},
    {"TpsStartup", "psStartup", "User Startup", "Startup", FolderOfFamily<kStartup, kLeaveAsIs, kLeaveAsIs>},
    {"TpsControlPanel", "psControlPanel", "Control Panel", "Control Panel",
     FolderOfFamily<kControls, kLeaveAsIs, kLeaveAsIs>},
    {"TpsFavorites", "psFavorites", "Favorites", "Favorites", FolderOfFamily<kFavorites, kUndefined, kUndefined>},
    {"TpsBitBucket", "psBitBucket", "Recycle bin", "Recycle bin", FolderOfFamily<kBitBucket, kLeaveAsIs, kLeaveAsIs>},
    {"TpsCookies", "psCookies", "Cookies", "Cookies", FolderOfFamily<kCookies, kLeaveAsIs, kLeaveAsIs>},
    {"TpsCommonAltStartup", "psCommonAltStartup", "Alternate Startup folder for (All Users profile)",
     "Common Alternate Startup folder", FolderOfFamily<kCommonAltStartup, kAltStartup, kLeaveAsIs>},
    {"TpsCommonStartup", "psCommonStartup", "Common Startup directory", "Common Startup",
     FolderOfFamily<kCommonStartup, kStartup, kLeaveAsIs>},
    {"TpsCommonDesktopDirectory", "psCommonDesktopDirectory", "Common Desktop Directory", "Common Desktop",
     FolderOfFamily<kCommonDesktopDirectory, kDesktopDirectory, kUndefined>},
    {"TpsCommonFavorites", "psCommonFavorites", "Common Favorites", "Common Favorites",
     FolderOfFamily<kCommonFavorites, kFavorites, kLeaveAsIs>},
    {"TpsCommonPrograms", "psCommonPrograms", "Common Programs", "Common Programs",
     FolderOfFamily<kCommonPrograms, kPrograms, kLeaveAsIs>},
    {"TpsCommonStartMenu", "psCommonStartMenu", "Common Start Menu", "Common Start Menu",
     FolderOfFamily<kCommonStartMenu, kStartMenu, kLeaveAsIs>},
    {"TpsQuickLaunchMenu", "psQuickLaunchMenu", "Path of the Quick Launch Toolbar Menu", "Quick Launch Toolbar menu",
     QuickLaunchPath},
    {"TpsOfficeUserTemplates", "psOfficeUserTemplates", "Path to the MS Office User Templates directory",
     "User Templates", OfficeUserTemplatesPath},
    {"TpsOfficeWorkgroupTemplates", "psOfficeWorkgroupTemplates",
     "Path to the MS Office Workgroup Templates directory", "Workgroup Templates", OfficeWorkgroupTemplatesPath},
    {"TpsOfficeClipartDirectory", "psOfficeClipartDirectory", "Path to the MS Office Clipart directory",
     "Office Clipart dir", OfficeClipartPath},
    {"TpsOfficeStartupDirectory", "psOfficeStartupDirectory", "Path to the MS Office Startup directory",
     "Office Startup dir", OfficeStartupPath},
    {"TpsOfficeToolsDirectory", "psOfficeToolsDirectory", "Path to the MS Office Tools directory", "Office Tools dir",
     OfficeToolsPath},
    {"TpsOfficeFavoritesDirectory", "psOfficeFavoritesDirectory", "Path to the MS Office Favorites directory",
     "Office Favorites dir", OfficeFavoritesPath}};

// The text after the first '.' and the next one (Word.Document.8 gives
// 8); false when one of the dots is missing.
bool VersionPart(const std::string& prog_id, std::string& version) {
  size_t first = prog_id.find('.');
  size_t second = first == std::string::npos ? first : prog_id.find('.', first + 1);
  if (second == std::string::npos) return false;
  version = prog_id.substr(second + 1);
  return true;
}

bool KnownOfficeVersion(int version) { return version >= 7 && version <= 19; }

// The key of Office's settings for the installed version, followed by tail.
std::string OfficeKey(const std::string& tail) {
  int version = GetOfficeVersion("Word.Document");
  if (version == 7 || version == 8) return "\\Software\\Microsoft\\Office\\" + IntToStr(version) + ".0\\" + tail;
  if (KnownOfficeVersion(version))
    return "\\Software\\Policies\\Microsoft\\Office\\" + IntToStr(version) + ".0\\" + tail;
  return "";
}

std::string InProgramFiles(const std::string& sub_dir) { return AddTrailingBackslash(GetProgramFilesDir()) + sub_dir; }

}  // namespace

int GetOfficeVersion(const std::string& prog_id) {
  int result = -1;
  try {
    std::string current = ReadRegistryString(hkClassesRoot, "\\" + prog_id + "\\CurVer", "", "");
    std::string version;
    if (current.empty() || !VersionPart(current, version)) return result;
    std::string server =
        ReadRegistryString(hkClassesRoot, "\\" + current + "\\protocol\\StdFileEditing\\server", "", "");
    int32_t number;
    if (!server.empty() && FileExists(server)) result = TryStrToInt(version, number) ? number : -1;
  } catch (const Exception&) {
    // Whatever fails, the version stays unknown.
  }
  return result;
}

std::string GetOfficeFileNewKey(const std::string& name) {
  std::string key = OfficeKey("Common\\FileNew\\");
  return key.empty() ? key : key + name;
}

std::string GetWordOptionsKey() { return OfficeKey("Word\\Options"); }

std::string ReadOfficePath(const std::string& key, const std::string& value_name, const std::string& sub_dir) {
  return RemoveTrailingBackslash(ReadRegistryString(hkCurrentUser, key, value_name, InProgramFiles(sub_dir)));
}

std::string GetOfficeTemplatesPath(const std::string& name, const std::string& sub_dir) {
  if (!KnownOfficeVersion(GetOfficeVersion("Word.Document"))) return InProgramFiles(sub_dir);
  return ReadOfficePath(GetOfficeFileNewKey(name), "", sub_dir);
}

std::string GetOfficeWordPath(const std::string& name, const std::string& sub_dir) {
  if (!KnownOfficeVersion(GetOfficeVersion("Word.Document"))) return InProgramFiles(sub_dir);
  return ReadOfficePath(GetWordOptionsKey(), name, sub_dir);
}

std::vector<const StandardSpecifierRow*> ShellFolderSpecifierRows() {
  std::vector<const StandardSpecifierRow*> rows;
  for (const StandardSpecifierRow& row : kRows) rows.push_back(&row);
  return rows;
}

}  // namespace install
