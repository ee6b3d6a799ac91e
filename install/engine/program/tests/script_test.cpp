// The product's install script, read into the engine as install.exe reads
// it: every value it stores is read and written back, its objects have the
// product's shape, and each one sits where the product needs it.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "dialogs.h"
#include "items/installfile.h"
#include "items/regentries.h"
#include "items/shelllinks.h"
#include "items/uninstall.h"
#include "paths/registry.h"
#include "paths/standardpaths.h"
#include "stream.h"
#include "testing/fixtures.h"
#include "wineview.h"

namespace install_test {
namespace {

using namespace forms;
using namespace install;

const std::string kProduct = std::string(wineview::kProgramFiles) + "\\ZUV";

// One object of a stored stream: its class, its name and its property
// statements (a statement whose value spans lines, a collection or binary
// data, is kept whole), comments left out.
struct StoredObject {
  std::string class_name;
  std::string name;
  std::vector<std::string> statements;
};

size_t Indent(const std::string& line) { return line.find_first_not_of(' '); }

std::vector<StoredObject> StoredObjects(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t start = Indent(line);
    if (start == std::string::npos || line.compare(start, 2, "//") == 0) continue;
    lines.push_back(line);
  }
  std::vector<StoredObject> objects;
  std::vector<size_t> open;  // the objects whose bodies the text is in
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    std::string trimmed = line.substr(Indent(line));
    if (trimmed == "}") {
      open.pop_back();
    } else if (trimmed.back() == '{' && trimmed.find(" = ") == std::string::npos) {
      std::istringstream words(trimmed);
      StoredObject object;
      words >> object.class_name >> object.name;
      if (object.name == "{") object.name.clear();
      open.push_back(objects.size());
      objects.push_back(object);
    } else {
      std::string statement = trimmed;
      if (trimmed.back() == '<' || trimmed.back() == '{')
        while (++i < lines.size() && Indent(lines[i]) > Indent(line)) statement += "\n" + lines[i].substr(Indent(lines[i]));
      if (i < lines.size() && statement != trimmed) statement += "\n" + lines[i].substr(Indent(lines[i]));
      objects[open.back()].statements.push_back(statement);
    }
  }
  return objects;
}

class ProductScript : public EngineTest {
protected:
  template <class T>
  T* Find(const std::string& name) {
    auto* found = dynamic_cast<T*>(form_->FindComponent(name));
    EXPECT_TRUE(found) << name;
    return found;
  }
  // The components of the script of class T (or derived from it).
  template <class T>
  std::vector<T*> All() {
    std::vector<T*> found;
    for (int i = 0; i < form_->ComponentCount(); ++i)
      if (auto* component = dynamic_cast<T*>(form_->Components(i))) found.push_back(component);
    return found;
  }
  TInstallMainForm* form_ = nullptr;
};

TEST_F(ProductScript, ReadsEveryValueAndWritesItBack) {
  form_ = LoadProductScript();
  ASSERT_TRUE(form_);
  const std::string written = WriteComponent(*form_);
  std::vector<StoredObject> stored = StoredObjects(ProductScriptText());
  std::vector<StoredObject> back = StoredObjects(written);
  ASSERT_EQ(back.size(), stored.size()) << written;
  for (size_t i = 0; i < stored.size(); ++i) {
    ASSERT_EQ(back[i].class_name + " " + back[i].name, stored[i].class_name + " " + stored[i].name) << "object " << i;
    for (const std::string& statement : stored[i].statements)
      EXPECT_TRUE(std::find(back[i].statements.begin(), back[i].statements.end(), statement) !=
                  back[i].statements.end())
          << stored[i].name << " does not write back: " << statement;
  }
  // What was written reads back into the same script.
  Free(form_);
  form_ = LoadMainForm({"-sC:\\Loader"}, written);
  EXPECT_EQ(WriteComponent(*form_), written);
}

TEST_F(ProductScript, HasTheProductsShape) {
  form_ = LoadProductScript();
  ASSERT_TRUE(form_);
  std::vector<TCustomInstallGroup*> groups = All<TCustomInstallGroup>();
  ASSERT_EQ(groups.size(), 1u);
  EXPECT_EQ(groups[0]->Container(), TCustomInstall::Instance());
  // Every directory is below the group, every file in a directory.
  std::vector<TInstallDirectory*> directories = All<TInstallDirectory>();
  EXPECT_EQ(directories.size(), 12u);
  for (TInstallDirectory* directory : directories) {
    TInstallContainer* above = directory->Container();
    while (dynamic_cast<TInstallDirectory*>(above)) above = static_cast<TInstallDirectory*>(above)->Container();
    EXPECT_EQ(above, groups[0]) << directory->Name();
  }
  std::vector<TCustomInstallFile*> files = All<TCustomInstallFile>();
  EXPECT_EQ(files.size(), 49u);
  EXPECT_EQ(All<TUninstallEXE>().size(), 1u);
  for (TCustomInstallFile* file : files)
    EXPECT_TRUE(dynamic_cast<TInstallDirectory*>(file->Container())) << file->Name();
  ASSERT_TRUE(MainLinkGroup());
  std::vector<TInstallMainLink*> links = All<TInstallMainLink>();
  EXPECT_EQ(links.size(), 3u);
  for (TInstallMainLink* link : links) EXPECT_EQ(link->Container(), MainLinkGroup()) << link->Name();
  EXPECT_EQ(All<TInstallRegistry>().size(), 8u);
  EXPECT_EQ(All<TDialogManager>().size(), 6u);
  EXPECT_EQ(All<TCustomBaseInstallDlg>().size(), 7u);
}

TEST_F(ProductScript, CarriesEveryStandardSpecifierAndInstallsIntoProgramFiles) {
  form_ = LoadProductScript();
  ASSERT_TRUE(form_);
  // One of each registered class, and the shortcuts' own.
  std::vector<std::string> classes = {"TpsObjectLink"};
  for (const ClassInfo* specifier_class : PathSpecifierClasses().Items()) classes.push_back(specifier_class->name);
  for (const std::string& class_name : classes) {
    std::vector<TCustomPathSpecifier*> instances;
    for (TCustomPathSpecifier* specifier : StandardPathSpecifiers().Items())
      if (specifier->ClassName() == class_name) instances.push_back(specifier);
    ASSERT_EQ(instances.size(), 1u) << class_name;
    EXPECT_EQ(instances[0]->Owner(), form_) << class_name;
    EXPECT_EQ(instances[0]->Name(), instances[0]->SpecifierName()) << class_name;
  }
  EXPECT_EQ(TCustomInstall::Instance()->GetFullDestDir(), kProduct);
}

// Each file from the vendor's build folder into its directory of the
// product's folder, out of the main archive beside the loader.
TEST_F(ProductScript, PutsEachFileInItsDirectory) {
  form_ = LoadProductScript();
  ASSERT_TRUE(form_);
  struct Expected {
    const char* component;
    const char* source;       // IncludeFromDir\FileName
    const char* destination;  // below the product's folder
  } expected[] = {
      {"IFdmwclient_dll", "Bin\\dmwclient.dll", "Agent\\dmwclient.dll"},
      {"IFdmwagent_cfg", "Config\\dmwagent.cfg", "Agent\\dmwagent.cfg"},
      {"IFalerter_cfg", "Config\\alerter.cfg", "Agent\\local\\alerter.cfg"},
      {"IFpolyprobe_dll", "Bin\\polyprobe.dll", "Monitor\\polyprobe.dll"},
      {"IFpolyprobe_dat", "Data\\polyprobe.dat", "Monitor\\polyprobe.dat"},
      {"IFpagerwire_dll", "Bin\\pagerwire.dll", "Messaging\\pagerwire.dll"},
      {"IFtipcaster_ocx", "Bin\\tipcaster.ocx", "Control\\tipcaster.ocx"},
      {"IFnetmon_chm", "Help\\netmon.chm", "Help\\netmon.chm"},
      {"IFalerts_htm", "Help\\agent\\alerts.htm", "Help\\agent\\alerts.htm"},
      {"IFShFolder_Exe", "Redist\\ShFolder.Exe", "Updates\\ShFolder.Exe"},
      {"IFreadme_txt", "Docs\\readme.txt", "Misc\\readme.txt"},
      {"IFuninstall_exe", "Redist\\uninstall.exe", "Misc\\uninstall.exe"},
  };
  for (const Expected& e : expected) {
    TCustomInstallFile* file = Find<TCustomInstallFile>(e.component);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->SourcePath(), e.source) << e.component;
    EXPECT_EQ(file->DestinationPath(), kProduct + "\\" + e.destination) << e.component;
    EXPECT_EQ(file->GetArchivePath(), "C:\\Loader\\files.1") << e.component;
  }
  // The libraries are replaced only by newer ones and the settings never,
  // so that a new installation keeps what the user changed; the control
  // registers itself and counts as shared.
  for (const char* library : {"IFdmwclient_dll", "IFpolyprobe_dll", "IFpagerwire_dll", "IFtipcaster_ocx"})
    EXPECT_EQ(Find<TInstallFile>(library)->OverwriteMode(), owVersionDate) << library;
  for (const char* settings : {"IFdmwagent_cfg", "IFalerter_cfg", "IFreplictr_cfg"})
    EXPECT_EQ(Find<TInstallFile>(settings)->OverwriteMode(), owNever) << settings;
  for (TCustomInstallFile* file : All<TCustomInstallFile>()) {
    bool control = file->Name() == "IFtipcaster_ocx";
    EXPECT_EQ(file->ActiveX(), control) << file->Name();
    EXPECT_EQ(file->UpdateDLLCounter(), control) << file->Name();
  }
}

TEST_F(ProductScript, RunsTheSystemUpdatersAfterInstallation) {
  form_ = LoadProductScript();
  ASSERT_TRUE(form_);
  for (TCustomInstallFile* file : All<TCustomInstallFile>()) {
    bool updater = file->Name() == "IFShFolder_Exe" || file->Name() == "IF50ComUpd_Exe";
    EXPECT_EQ(file->RunAfterInstall(), updater) << file->Name();
    // The system keeps what they bring: the uninstaller leaves it.
    EXPECT_EQ(file->Uninstall(), !updater) << file->Name();
    if (updater) {
      EXPECT_EQ(file->RunParameters(), "/Q") << file->Name();
      EXPECT_EQ(file->GetFullDestDir(), kProduct + "\\Updates") << file->Name();
    }
  }
}

TEST_F(ProductScript, LinksTheReadMeTheHelpAndTheUninstallProgram) {
  form_ = LoadProductScript();
  ASSERT_TRUE(form_);
  ASSERT_TRUE(MainLinkGroup());
  EXPECT_EQ(MainLinkGroup()->Container(), TCustomInstall::Instance());
  const std::string folder = GetProgramsMenuDir() + "\\Network Monitor";
  EXPECT_EQ(MainLinkGroup()->GetFullDestDir(), folder);
  struct Expected {
    const char* link;
    const char* file_name;
    const char* target;
  } expected[] = {
      {"lnkReadme", "Read me.lnk", "Misc\\readme.txt"},
      {"lnkHelp", "Network Monitor Help.lnk", "Help\\netmon.chm"},
      {"lnkUninstall", "Uninstall Network Monitor.lnk", "Misc\\uninstall.exe"},
  };
  for (const Expected& e : expected) {
    TInstallMainLink* link = Find<TInstallMainLink>(e.link);
    ASSERT_TRUE(link);
    EXPECT_EQ(link->GetLinkFileName(), folder + "\\" + e.file_name) << e.link;
    EXPECT_EQ(link->GetObjectPath(), kProduct + "\\" + e.target) << e.link;
  }
}

TEST_F(ProductScript, TellsTheProgramWhereItsPartsAre) {
  form_ = LoadProductScript();
  ASSERT_TRUE(form_);
  struct Expected {
    const char* component;
    TRootKeys root;
    const char* key;
    std::vector<std::pair<std::string, std::string>> values;  // Ident, value text
  } expected[] = {
      {"rkProduct", hkLocalMachine, "\\SOFTWARE\\ZUV\\Network Monitor",
       {{"Path", kProduct}, {"Version", "1.0"}, {"ReadMe", kProduct + "\\Misc\\readme.txt"}}},
      {"rkLibraries", hkLocalMachine, "\\SOFTWARE\\ZUV\\Network Monitor\\1.0",
       {{"dmwclient", kProduct + "\\Agent\\dmwclient.dll"},
        {"polyprobe", kProduct + "\\Monitor\\polyprobe.dll"},
        {"pagerwire", kProduct + "\\Messaging\\pagerwire.dll"},
        {"tipcaster", kProduct + "\\Control\\tipcaster.ocx"}}},
      {"rkTrendAgent", hkLocalMachine, "\\SOFTWARE\\ZUV\\Network Monitor\\Trend Agent",
       {{"BaseDir", kProduct + "\\Agent"},
        {"ConfigFile", kProduct + "\\Agent\\dmwagent.cfg"},
        {"ConfigDir", kProduct + "\\Agent\\local"},
        {"AgentType", "network monitor"}}},
      {"rkServiceMonitor", hkLocalMachine, "\\SOFTWARE\\ZUV\\Network Monitor\\Service Monitor",
       {{"DescriptionFile", kProduct + "\\Monitor\\polyprobe.dat"}, {"SNMP", ""}}},
      {"rkMessaging", hkLocalMachine, "\\SOFTWARE\\ZUV\\Network Monitor\\Messaging",
       {{"Nickname", "Network Monitor"}, {"SkipPrivacy", ""}}},
      {"rkHelpButton", hkLocalMachine, "\\SOFTWARE\\ZUV\\Network Monitor\\Help Button",
       {{"mapFile", kProduct + "\\Help\\netmon.map"}, {"command", ""}, {"view", ""}}},
      {"rkHtmlHelp", hkLocalMachine, "\\SOFTWARE\\Microsoft\\Windows\\HTML Help", {{"netmon.chm", kProduct + "\\Help"}}},
      {"rkUserSettings", hkCurrentUser, "\\Software\\ZUV\\Network Monitor\\Settings", {{"HelpInBrowser", ""}}},
  };
  for (const Expected& e : expected) {
    TInstallRegistry* registry = Find<TInstallRegistry>(e.component);
    ASSERT_TRUE(registry);
    EXPECT_EQ(registry->RootKey(), e.root) << e.component;
    EXPECT_EQ(registry->GetKeyPath(), e.key) << e.component;
    std::vector<std::pair<std::string, std::string>> values;
    for (int i = 0; i < registry->Entries().Count(); ++i)
      values.emplace_back(registry->Entries().Items(i)->Ident(), registry->Entries().Items(i)->GetValueText());
    EXPECT_EQ(values, e.values) << e.component;
  }
}

}  // namespace
}  // namespace install_test
