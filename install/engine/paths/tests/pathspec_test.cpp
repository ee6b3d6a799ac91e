#include "paths/pathspec.h"

#include <gtest/gtest.h>

#include "core/exceptions.h"
#include "core/install.h"
#include "form.h"
#include "items/filecontainer.h"
#include "paths/metavars.h"
#include "paths/standardpaths.h"
#include "testing/fixtures.h"

namespace install_test {
namespace {

using namespace forms;
using namespace install;

class PathSpecifiers : public EngineTest {
protected:
  // The message of the exception E that running f raises; "" for none.
  template <class E, class F>
  static std::string Raised(F f) {
    try {
      f();
    } catch (const E& error) {
      return error.Message();
    }
    return "";
  }
  static std::string PathFor(TCustomPathSpecifier* specifier, TComponent* obj) {
    std::string path;
    specifier->GetPath(obj, path);
    return path;
  }
  static TCustomPathSpecifier* Standard(const std::string& class_name) {
    return StandardPathSpecifiers().FindByClass(class_name);
  }
  void FreeStandardSpecifiers() {
    std::vector<TCustomPathSpecifier*> standard = StandardPathSpecifiers().Items();
    for (TCustomPathSpecifier* specifier : standard) Free(specifier);
  }
};

const char* const kRegistrationOrder[] = {
    "psBDEDLL", "psCommonFiles", "psContainerArchiveFile", "psContainerDestDir", "psDesktopMenu",
    "psInstallSource", "psMainInstall", "psProgramFiles", "psProgramMenu", "psStartMenu", "psStartupMenu",
    "psSystem", "psMainArchiveFile", "psWindow",
    // shell folders
    "psPrinters", "psRecent", "psSendTo", "psStartup", "psControlPanel", "psFavorites", "psBitBucket",
    "psCookies", "psCommonAltStartup", "psCommonStartup", "psCommonDesktopDirectory", "psCommonFavorites",
    "psCommonPrograms", "psCommonStartMenu", "psQuickLaunchMenu",
    // Office folders
    "psOfficeUserTemplates", "psOfficeWorkgroupTemplates", "psOfficeClipartDirectory",
    "psOfficeStartupDirectory", "psOfficeToolsDirectory", "psOfficeFavoritesDirectory"};

TEST_F(PathSpecifiers, ListsRefuseNil) {
  EXPECT_THROW(install::PathSpecifiers().Add(nullptr), IEPathSpecifierList);
  EXPECT_EQ(Raised<IEPathSpecifierClassList>([] { PathSpecifierClasses().Add(nullptr); }),
            "Tried to add a nil object to the path specifier list");
  EXPECT_THROW(PathSpecifierClasses().Add(&TTestObject::StaticClass()), IEPathSpecifierClassList);
}

TEST_F(PathSpecifiers, EveryStandardClassOnceInRegistrationOrderNamedBySpecifierName) {
  FreeStandardSpecifiers();
  auto* form = New<TForm>(owner_);
  New<TTestObject>(form);
  New<TTestObject>(form);
  const auto& standard = StandardPathSpecifiers().Items();
  ASSERT_EQ(standard.size(), std::size(kRegistrationOrder));
  for (size_t i = 0; i < standard.size(); ++i) {
    EXPECT_EQ(standard[i]->Name(), kRegistrationOrder[i]);
    EXPECT_EQ(standard[i]->SpecifierName(), kRegistrationOrder[i]);
    EXPECT_EQ(standard[i]->ClassName(), "T" + std::string(kRegistrationOrder[i]));
    EXPECT_EQ(standard[i]->Owner(), form);
  }
  // A plain owner is neither a form nor a data module: nothing is made.
  New<TTestObject>(New<TComponent>(owner_));
  EXPECT_EQ(StandardPathSpecifiers().Items().size(), std::size(kRegistrationOrder));
}

TEST_F(PathSpecifiers, FindByClassGivesTheFirstMadeOrRaises) {
  auto* user_defined = New<TPathSpecifier>(owner_);
  EXPECT_EQ(Standard("TStandardPathSpecifier")->Name(), "psBDEDLL");
  EXPECT_EQ(install::PathSpecifiers().FindByClass("TCustomPathSpecifier")->Name(), "psBDEDLL");
  EXPECT_EQ(install::PathSpecifiers().FindByClass("TPathSpecifier"), user_defined);
  EXPECT_EQ(install::PathSpecifiers().Items().back(), user_defined);
  Free(Standard("TpsProgramFiles"));
  EXPECT_EQ(Raised<IEPathSpecifier>([] { Standard("TpsProgramFiles"); }), "Could not find the path specifier");
  FreeStandardSpecifiers();
  EXPECT_EQ(install::PathSpecifiers().Items().size(), 1u);
}

TEST_F(PathSpecifiers, UserDefinedPathComesFromItsHandler) {
  auto* specifier = New<TPathSpecifier>(owner_);
  std::string text;
  specifier->GetDescription(text);
  EXPECT_EQ(text, "My cool new path specifier");
  specifier->GetDisplayName(text);
  EXPECT_EQ(text, "My cool new path specifier");
  std::string path = "stale";
  specifier->GetPath(nullptr, path);
  EXPECT_EQ(path, "");
  specifier->SetOnGetPath([](TComponent*, std::string& p) { p = "D:\\Tools"; });
  TTestObject* object = Object("O", 2000);
  object->SetDestDirType(specifier);
  object->SetDestDir("\\bin\\");
  EXPECT_EQ(object->GetFullDestDir(), "D:\\Tools\\bin");
}

TEST_F(PathSpecifiers, PathMacro) {
  struct Case {
    const char* text;
    const char* path;
    const char* expanded;
  } cases[] = {{"%p\\bin", "C:\\App", "C:\\App\\bin"}, {"%%P", "X", "%P"}, {"a%xb", "X", "axb"},
               {"100%", "X", "100"},                   {"%P%P", "X", "XX"}, {"%%%p", "X", "%X"}};
  for (const auto& c : cases)
    EXPECT_EQ(TCustomPathSpecifier::ExpandPathMacro(c.text, c.path), c.expanded) << c.text;
}

TEST_F(PathSpecifiers, ContainerDestinationAsSeenFromEachObject) {
  TCustomPathSpecifier* specifier = Standard("TpsContainerDestDir");
  TTestObject* group = Object("Group", 500);
  group->SetDestDir("C:\\Apps\\Tool\\");
  TTestObject* file = Object("File", 2000, group);
  EXPECT_EQ(file->DestDirType(), specifier);
  EXPECT_EQ(PathFor(specifier, file), "C:\\Apps\\Tool");
  file->SetDestDir("\\bin");
  EXPECT_EQ(file->GetFullDestDir(), "C:\\Apps\\Tool\\bin");

  std::string text;
  specifier->GetDescriptionFor(file, text);
  EXPECT_EQ(text, "Path of the <Group> group");
  specifier->GetDisplayNameFor(file, text);
  EXPECT_EQ(text, "<Group>");
  specifier->GetDescriptionFor(group, text);
  EXPECT_EQ(text, "Path of the group (container)");

  EXPECT_EQ(Raised<IEPathSpecifier>([&] { PathFor(specifier, group); }),
            "Cannot use ddContainerDestDir for Group unless you assign a Container");
  TComponent* plain = New<TComponent>(owner_);
  plain->SetName("Plain");
  EXPECT_EQ(Raised<IEPathSpecifier>([&] { specifier->Validate(plain); }),
            "Plain must be a TInstallObject to use the psContainerDestDir path specifier");
  // A refused specifier is not stored.
  EXPECT_THROW(group->SetDestDirType(specifier), IEPathSpecifier);
  EXPECT_EQ(group->DestDirType(), nullptr);
}

TEST_F(PathSpecifiers, ContainerDestinationNamesFileContainersByTheirDescription) {
  TCustomPathSpecifier* specifier = Standard("TpsContainerDestDir");
  auto* group = New<TInstallGroup>(owner_);
  group->SetName("igTools");
  group->SetDescription("Tools");
  auto* directory = New<TInstallDirectory>(owner_);
  directory->SetName("idDocs");
  directory->SetDescription("Documents");
  auto* install = New<TInstall>(New<TInstallMainForm>(owner_));
  struct Case {
    TInstallContainer* container;
    const char* description;
    const char* display_name;
  } cases[] = {{group, "Path of the <Tools> group", "<Tools>"},
               {directory, "Path of the <Documents> directory", "<Documents>"},
               {install, "Main installation directory", "Main installation directory"}};
  TTestObject* file = Object("File", 2000);
  for (const auto& c : cases) {
    file->SetContainer(c.container);
    std::string text;
    specifier->GetDescriptionFor(file, text);
    EXPECT_EQ(text, c.description);
    specifier->GetDisplayNameFor(file, text);
    EXPECT_EQ(text, c.display_name);
  }
}

// A file-related container that keeps its files in an archive.
class TArchiveGroup : public TTestObject, public IArchivePathSource {
  FORMS_CLASS(TArchiveGroup)
public:
  std::string GetArchivePath() override { return "D:\\Disk1\\files.1\\"; }
};

const ClassInfo& TArchiveGroup::StaticClass() {
  static const ClassInfo file_related{"TFileRelated", &TTestObject::StaticClass()};
  static const ClassInfo info{"TArchiveGroup", &file_related};
  return info;
}

TEST_F(PathSpecifiers, ContainerArchiveOfFileRelatedContainersOnly) {
  TCustomPathSpecifier* specifier = Standard("TpsContainerArchiveFile");
  auto* archive_group = New<TArchiveGroup>(owner_);
  TTestObject* file = Object("File", 2000, archive_group);
  EXPECT_EQ(PathFor(specifier, file), "D:\\Disk1\\files.1");
  TTestObject* other = Object("Other", 2000, Object("Group", 500));
  EXPECT_EQ(Raised<IEPathSpecifier>([&] { PathFor(specifier, other); }),
            "Cannot use the ddContainerArchiveFile path specifier for Other because the Container is not a "
            "TFileRelated descendant");
  EXPECT_EQ(Raised<IEPathSpecifier>([&] { PathFor(specifier, archive_group); }),
            "Cannot use ddContainerArchiveFile for  unless you assign a Container");
}

TEST_F(PathSpecifiers, EngineSpecifiersNeedTheEngine) {
  TTestObject* object = Object("O", 2000);
  for (const char* class_name : {"TpsInstallSource", "TpsMainInstall", "TpsMainArchiveFile"})
    EXPECT_EQ(Raised<IEPathSpecifier>([&] { PathFor(Standard(class_name), object); }),
              "There is no TInstall component so the path specifier could not be expanded for O")
        << class_name;
}

const char* const kEngineScript = R"(
TInstallMainForm InstallMainForm {
  TInstall Install1 {
    DestDir = "\\Product\\"
    DestDirType = Fixed
  }
  TPathSpecifier Fixed {
    Description = "Fixed place"
  }
  TTestObject Files {
    Container = Install1
  }
}
)";

TEST_F(PathSpecifiers, EngineSpecifiersAnswerTheEnginesPlaces) {
  FreeStandardSpecifiers();
  LoadMainForm({"-sC:\\Loader\\"}, kEngineScript);
  TCustomInstall* install = TCustomInstall::Instance();
  auto* fixed = static_cast<TPathSpecifier*>(install->DestDirType());
  ASSERT_EQ(fixed->Name(), "Fixed");
  fixed->SetOnGetPath([](TComponent*, std::string& p) { p = "E:\\Programs"; });
  TComponent* files = install->Owner()->FindComponent("Files");

  EXPECT_EQ(PathFor(Standard("TpsInstallSource"), files), "C:\\Loader");
  EXPECT_EQ(PathFor(Standard("TpsMainInstall"), files), "E:\\Programs\\Product");
  EXPECT_EQ(ExpandMetaVariables("%i\\run.exe", nullptr), "E:\\Programs\\Product\\run.exe");
  EXPECT_EQ(Raised<IEPathSpecifier>([&] { PathFor(Standard("TpsMainInstall"), install); }),
            "Cannot use the ddMainInstallDir path specifier for a TInstall component");
  auto* archive = static_cast<TpsMainArchiveFile*>(Standard("TpsMainArchiveFile"));
  EXPECT_EQ(PathFor(archive, files), "C:\\Loader\\files.1");
  archive->SetDiskPath("A:\\");
  EXPECT_EQ(PathFor(archive, files), "A:\\files.1");
}

TEST_F(PathSpecifiers, MainArchiveOfASelfExtractingStart) {
  FreeStandardSpecifiers();
  LoadMainForm({"-sC:\\Loader", "-eSetup.exe"}, kEngineScript);
  TCustomPathSpecifier* archive = Standard("TpsMainArchiveFile");
  EXPECT_EQ(PathFor(archive, nullptr), "C:\\Loader\\Setup.exe");
}

TEST_F(PathSpecifiers, ASelfExtractingStartWithoutItsNameIsRefused) {
  FreeStandardSpecifiers();
  LoadMainForm({"-sC:\\Loader", "-e"}, kEngineScript);
  EXPECT_EQ(Raised<IEInstall>([&] { PathFor(Standard("TpsMainArchiveFile"), nullptr); }),
            "You forgot to pass in the name of the self-extracting executable. Usage example: \"-eSetup.exe\"");
}

TEST_F(PathSpecifiers, TheEnginesDestinationDefaultsToProgramFilesUnlessStreamed) {
  FreeStandardSpecifiers();
  auto* form = New<TForm>(owner_);
  auto* install = New<TInstall>(form);
  EXPECT_EQ(install->DestDirType(), StandardPathSpecifiers().FindByClass("TpsProgramFiles"));
  Free(form);
  // A stored engine keeps only the specifier its stream names.
  LoadMainForm({}, R"(
TInstallMainForm InstallMainForm {
  TInstall Install1 {
  }
})");
  EXPECT_EQ(TCustomInstall::Instance()->DestDirType(), nullptr);
}

}  // namespace
}  // namespace install_test
