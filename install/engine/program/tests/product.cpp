// Registry calls of Windows Vista and later (RegGetValue, RegDeleteTree).
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600
#include "product.h"

#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <utility>

#include "archive/tests/archive_fixture.h"
#include "shortcut.h"

namespace product {

namespace {

const char* const kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Network Monitor";
const char* const kSharedDLLsKey = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const char* const kHtmlHelpKey = "SOFTWARE\\Microsoft\\Windows\\HTML Help";

std::filesystem::path ProductFolder() {
  char program_files[MAX_PATH] = {};
  ExpandEnvironmentStringsA("%ProgramFiles%", program_files, sizeof program_files);
  return std::filesystem::path(program_files) / "ZUV";
}

std::string InProduct(const std::string& path) { return (ProductFolder() / path).string(); }

// The product's folder in the Start menu's Programs.
std::filesystem::path StartMenuFolder() {
  char programs[MAX_PATH] = {};
  SHGetFolderPathA(nullptr, CSIDL_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT, programs);
  return std::filesystem::path(programs) / "Network Monitor";
}

// A number value, or -1 when it is not there.
int64_t RegistryNumber(HKEY root, const std::string& key, const char* value) {
  DWORD data = 0;
  DWORD size = sizeof data;
  if (RegGetValueA(root, key.c_str(), value, RRF_RT_REG_DWORD, nullptr, &data, &size) != ERROR_SUCCESS) return -1;
  return data;
}

// The values of a key, by name: text values as they stand, numbers in
// decimal.
std::map<std::string, std::string> Values(HKEY root, const std::string& key) {
  std::map<std::string, std::string> values;
  HKEY opened;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return values;
  char name[256];
  BYTE data[1024];
  for (DWORD i = 0;; ++i) {
    DWORD name_size = sizeof name, data_size = sizeof data - 1, type = 0;
    if (RegEnumValueA(opened, i, name, &name_size, nullptr, &type, data, &data_size) != ERROR_SUCCESS) break;
    if (type == REG_DWORD) {
      DWORD number;
      std::memcpy(&number, data, sizeof number);
      values[name] = std::to_string(number);
    } else {
      data[data_size] = 0;
      values[name] = reinterpret_cast<const char*>(data);
    }
  }
  RegCloseKey(opened);
  return values;
}

std::vector<std::string> Sorted(std::vector<std::string> items) {
  std::sort(items.begin(), items.end());
  return items;
}

// The entries "File1" ... of an uninstall list.
std::vector<std::string> ListEntries(const std::string& list) {
  std::map<std::string, std::string> values = Values(HKEY_LOCAL_MACHINE, std::string(kUninstallKey) + "\\" + list);
  std::vector<std::string> entries;
  int count = std::stoi(values.count("Entries") ? values["Entries"] : "0");
  for (int i = 1; i <= count; ++i) entries.push_back(values["File" + std::to_string(i)]);
  return entries;
}

bool IsUpdater(const File& file) { return file.folder == "Updates"; }
bool IsControl(const File& file) { return file.name == "Bin\\tipcaster.ocx"; }
bool IsUninstallProgram(const File& file) { return file.name == "Redist\\uninstall.exe"; }

void ExpectFilesInTheirFolders(const std::vector<File>& files) {
  for (const File& file : files) {
    std::string path = Installed(file);
    if (file.name == "Redist\\50ComUpd.Exe") {
      EXPECT_FALSE(std::filesystem::exists(path)) << path;
      continue;
    }
    EXPECT_TRUE(fixture::ReadFile(path) == file.data) << path;
  }
}

void ExpectShortcuts() {
  const std::filesystem::path folder = StartMenuFolder();
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  EXPECT_EQ(Sorted(names), (std::vector<std::string>{"Network Monitor Help.lnk", "Read me.lnk",
                                                    "Uninstall Network Monitor.lnk"}));
  using shortcut::Shortcut;
  EXPECT_EQ(shortcut::Read(folder / "Read me.lnk"),
            (Shortcut{true, InProduct("Misc\\readme.txt"), "", InProduct("Misc")}));
  EXPECT_EQ(shortcut::Read(folder / "Network Monitor Help.lnk"),
            (Shortcut{true, InProduct("Help\\netmon.chm"), "", InProduct("Help")}));
  EXPECT_EQ(shortcut::Read(folder / "Uninstall Network Monitor.lnk"),
            (Shortcut{true, InProduct("Misc\\uninstall.exe"), "Network Monitor", InProduct("Misc")}));
}

// The registry keys of the script, in the order the installation writes
// them: root, key and values.
struct Value {
  std::string name;
  std::string data;  // a number in decimal
  bool number = false;
};

struct Key {
  HKEY root;
  int32_t root_ordinal;  // as the uninstall data records it
  std::string key;
  std::vector<Value> values;
};

std::vector<Key> ProductKeys() {
  return {
      {HKEY_LOCAL_MACHINE, 4, "SOFTWARE\\ZUV\\Network Monitor",
       {{"Path", ProductFolder().string()}, {"Version", "1.0"}, {"ReadMe", InProduct("Misc\\readme.txt")}}},
      {HKEY_LOCAL_MACHINE, 4, "SOFTWARE\\ZUV\\Network Monitor\\1.0",
       {{"dmwclient", InProduct("Agent\\dmwclient.dll")},
        {"polyprobe", InProduct("Monitor\\polyprobe.dll")},
        {"pagerwire", InProduct("Messaging\\pagerwire.dll")},
        {"tipcaster", InProduct("Control\\tipcaster.ocx")}}},
      {HKEY_LOCAL_MACHINE, 4, "SOFTWARE\\ZUV\\Network Monitor\\Trend Agent",
       {{"BaseDir", InProduct("Agent")},
        {"ConfigFile", InProduct("Agent\\dmwagent.cfg")},
        {"ConfigDir", InProduct("Agent\\local")},
        {"AgentType", "network monitor"}}},
      {HKEY_LOCAL_MACHINE, 4, "SOFTWARE\\ZUV\\Network Monitor\\Service Monitor",
       {{"DescriptionFile", InProduct("Monitor\\polyprobe.dat")}, {"SNMP", "1", true}}},
      {HKEY_LOCAL_MACHINE, 4, "SOFTWARE\\ZUV\\Network Monitor\\Messaging",
       {{"Nickname", "Network Monitor"}, {"SkipPrivacy", "0", true}}},
      {HKEY_LOCAL_MACHINE, 4, "SOFTWARE\\ZUV\\Network Monitor\\Help Button",
       {{"mapFile", InProduct("Help\\netmon.map")}, {"command", "0", true}, {"view", "0", true}}},
      {HKEY_LOCAL_MACHINE, 4, kHtmlHelpKey, {{"netmon.chm", InProduct("Help")}}},
      {HKEY_CURRENT_USER, 2, "Software\\ZUV\\Network Monitor\\Settings", {{"HelpInBrowser", "0", true}}},
  };
}

// Each key holds its values (the system's HTML Help key holds other help
// files' too).
void ExpectRegistryKeys() {
  for (const Key& key : ProductKeys()) {
    std::map<std::string, std::string> values = Values(key.root, key.key);
    for (const Value& value : key.values) EXPECT_EQ(values[value.name], value.data) << key.key << " " << value.name;
    if (key.key != kHtmlHelpKey) {
      EXPECT_EQ(values.size(), key.values.size()) << key.key;
    }
  }
}

void ExpectUninstallEntry(const std::vector<File>& files) {
  std::map<std::string, std::string> values = Values(HKEY_LOCAL_MACHINE, kUninstallKey);
  EXPECT_EQ(values, (std::map<std::string, std::string>{
                        {"DisplayName", "Network Monitor"},
                        {"UninstallString", InProduct("Misc\\uninstall.exe") + " Network Monitor"},
                        {"Comments", "Trend agent, service monitor, messaging and context help of the network monitor"},
                        {"Contact", "ZUV product support"},
                        {"DisplayIcon", InProduct("Misc\\uninstall.exe")},
                        {"DisplayVersion", "1.0"},
                        {"HelpLink", "http://www.zuv.example/netmon/support/"},
                        {"Publisher", "ZUV"},
                        {"Readme", InProduct("Misc\\readme.txt")},
                        {"URLInfoAbout", "http://www.zuv.example/netmon/"},
                        {"URLUpdateInfo", "http://www.zuv.example/netmon/updates/"},
                    }));
  // The file list: every installed file the uninstaller removes, and the
  // shortcuts; the control is on the ActiveX list, to be unregistered.
  std::vector<std::string> expected;
  for (const File& file : files)
    if (!IsUpdater(file) && !IsControl(file) && !IsUninstallProgram(file)) expected.push_back(Installed(file));
  for (const char* link : {"Read me.lnk", "Network Monitor Help.lnk", "Uninstall Network Monitor.lnk"})
    expected.push_back((StartMenuFolder() / link).string());
  EXPECT_EQ(Sorted(ListEntries("Files")), Sorted(expected));
  EXPECT_EQ(ListEntries("ActiveX"), std::vector<std::string>{InProduct("Control\\tipcaster.ocx") + ";0"});
  // One entry per registry key, with the key, its root and its values.
  std::vector<Key> keys = ProductKeys();
  const std::string registry_keys = std::string(kUninstallKey) + "\\RegistryKeys";
  EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, registry_keys.c_str(), "Entries"), std::to_string(keys.size()));
  for (size_t i = 0; i < keys.size(); ++i) {
    std::string entry = registry_keys + "\\RegistryKey" + std::to_string(i + 1);
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, entry.c_str(), "Key"), "\\" + keys[i].key) << entry;
    EXPECT_EQ(RegistryNumber(HKEY_LOCAL_MACHINE, entry, "Root"), keys[i].root_ordinal) << entry;
    // Each value as text: a number's entry records the text it has none of.
    std::map<std::string, std::string> recorded;
    for (const Value& value : keys[i].values) recorded[value.name] = value.number ? "" : value.data;
    EXPECT_EQ(Values(HKEY_LOCAL_MACHINE, entry + "\\Entries"), recorded) << entry;
  }
}

}  // namespace

const std::vector<std::string> kWizardPages = {"Welcome", "Choose Destination Location",
                                               "Select folder in start menu", "Setup complete"};

std::string Installed(const File& file) {
  return InProduct(file.folder + "\\" + std::filesystem::path(file.name).filename().string());
}

std::vector<File> Files() {
  struct Placed {
    const char* name;
    int32_t id;
    const char* folder;
  } placed[] = {
      {"Bin\\dmwclient.dll", 2, "Agent"},
      {"Config\\dmwagent.cfg", 6, "Agent"},
      {"Config\\alerter.cfg", 7, "Agent\\local"},
      {"Config\\replictr.cfg", 8, "Agent\\local"},
      {"Bin\\polyprobe.dll", 3, "Monitor"},
      {"Data\\polyprobe.dat", 9, "Monitor"},
      {"Bin\\pagerwire.dll", 4, "Messaging"},
      {"Bin\\tipcaster.ocx", 5, "Control"},
      {"Help\\netmon.chm", 10, "Help"},
      {"Help\\netmon.map", 11, "Help"},
      {"Help\\contact.htm", 12, "Help"},
      {"Help\\contents.htm", 13, "Help"},
      {"Help\\folders.htm", 14, "Help"},
      {"Help\\frames.htm", 15, "Help"},
      {"Help\\glossary.htm", 16, "Help"},
      {"Help\\index.htm", 17, "Help"},
      {"Help\\install.htm", 18, "Help"},
      {"Help\\netmon.css", 19, "Help"},
      {"Help\\requirements.htm", 20, "Help"},
      {"Help\\troubleshooting.htm", 21, "Help"},
      {"Help\\uninstall.htm", 22, "Help"},
      {"Help\\agent\\agent.htm", 23, "Help\\agent"},
      {"Help\\agent\\alerts.htm", 24, "Help\\agent"},
      {"Help\\agent\\events.htm", 25, "Help\\agent"},
      {"Help\\agent\\replication.htm", 26, "Help\\agent"},
      {"Help\\agent\\schedule.htm", 27, "Help\\agent"},
      {"Help\\agent\\server.htm", 28, "Help\\agent"},
      {"Help\\agent\\settings.htm", 29, "Help\\agent"},
      {"Help\\agent\\trends.htm", 30, "Help\\agent"},
      {"Help\\monitor\\checks.htm", 31, "Help\\monitor"},
      {"Help\\monitor\\descriptions.htm", 32, "Help\\monitor"},
      {"Help\\monitor\\monitor.htm", 33, "Help\\monitor"},
      {"Help\\monitor\\ping.htm", 34, "Help\\monitor"},
      {"Help\\monitor\\results.htm", 35, "Help\\monitor"},
      {"Help\\monitor\\sendexpect.htm", 36, "Help\\monitor"},
      {"Help\\monitor\\snmp.htm", 37, "Help\\monitor"},
      {"Help\\messaging\\account.htm", 38, "Help\\messaging"},
      {"Help\\messaging\\messages.htm", 39, "Help\\messaging"},
      {"Help\\messaging\\messaging.htm", 40, "Help\\messaging"},
      {"Help\\messaging\\offline.htm", 41, "Help\\messaging"},
      {"Help\\messaging\\sms.htm", 42, "Help\\messaging"},
      {"Help\\control\\helpbutton.htm", 43, "Help\\control"},
      {"Help\\control\\javahelp.htm", 44, "Help\\control"},
      {"Help\\control\\mapfile.htm", 45, "Help\\control"},
      {"Help\\control\\routes.htm", 46, "Help\\control"},
      {"Redist\\ShFolder.Exe", 0, "Updates"},
      {"Redist\\50ComUpd.Exe", 1, "Updates"},
      {"Redist\\uninstall.exe", 48, "Misc"},
      {"Docs\\readme.txt", 47, "Misc"},
  };
  const std::map<std::string, std::string> own_contents = {
      {"Bin\\dmwclient.dll", "MZ trend agent " + fixture::TextData(20000, 2)},
      {"Bin\\polyprobe.dll", "MZ service monitor"},
      {"Bin\\pagerwire.dll", "MZ messaging"},
      {"Bin\\tipcaster.ocx", fixture::ReadFile(BesideTheTest("install_program_regserver.dll"))},
      {"Redist\\ShFolder.Exe", "MZ shell folders"},
      {"Redist\\50ComUpd.Exe", "MZ common controls"},
      {"Redist\\uninstall.exe", "MZ uninstall program"},
  };
  std::vector<File> files;
  for (const Placed& file : placed) {
    auto own = own_contents.find(file.name);
    files.push_back({file.name, file.id, file.folder,
                     own != own_contents.end() ? own->second
                                               : fixture::ReadFile(std::filesystem::path(PRODUCT_FILES) / file.name)});
  }
  return files;
}

std::filesystem::path BesideTheTest(const char* name) {
  char program[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, program, sizeof program);
  return std::filesystem::path(program).parent_path() / name;
}

std::string RegistryText(HKEY root, const char* key, const char* value) {
  char data[MAX_PATH] = {};
  DWORD size = sizeof data;
  if (RegGetValueA(root, key, value, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS) return "";
  return data;
}

void ExpectInstalled(const std::vector<File>& files) {
  ExpectFilesInTheirFolders(files);
  std::string control = InProduct("Control\\tipcaster.ocx");
  EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, "Software\\NetmonTests", "ProgramTestRegistered"), control);
  EXPECT_EQ(RegistryNumber(HKEY_LOCAL_MACHINE, kSharedDLLsKey, control.c_str()), 1);
  ExpectShortcuts();
  ExpectRegistryKeys();
  ExpectUninstallEntry(files);
}

void Forget() {
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, kUninstallKey);
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\ZUV\\Network Monitor");
  RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kHtmlHelpKey, "netmon.chm");
  RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kSharedDLLsKey, InProduct("Control\\tipcaster.ocx").c_str());
  RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\ZUV\\Network Monitor");
  RegDeleteKeyValueA(HKEY_CURRENT_USER, "Software\\NetmonTests", "ProgramTestRegistered");
  std::error_code ignored;
  std::filesystem::remove_all(ProductFolder(), ignored);
  std::filesystem::remove_all(StartMenuFolder(), ignored);
}

}  // namespace product
