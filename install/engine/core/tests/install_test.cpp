#include "core/install.h"

#include <gtest/gtest.h>

#include "archive/qndr_compress.h"
#include "core/exceptions.h"
#include "core/translator.h"
#include "items/installfile.h"
#include "stream.h"
#include "testing/fixtures.h"

namespace install_test {
namespace {

using namespace forms;
using namespace install;

const char* const kScript = R"(
TInstallMainForm InstallMainForm {
  Caption = "Install"
  TTestObject Files {
    Container = Install1      // the engine stands further down
    TypeNumber = 1000
    WithContainer = True
  }
  TInstall Install1 {
    DestDir = "\\Product"
    BuildInfo.AppName = "Monitor Setup"
    BuildInfo.SignCode = True
    Information.ProductName = "Monitor"
    InstallTypes = [itFull, itCompact]
    AutoMaximizeWindow = True
    HideMainForm = True
    PresetupFiles = ("readme.txt", "  ", "", "license.txt")
  }
  TTestObject Link {
    Container = Install1
    TypeNumber = 8000
  }
}
)";

class Engine : public EngineTest {
protected:
  void SetUp() override {
    EngineTest::SetUp();
    UsePrivateRegistry();
  }
  TInstallMainForm* Load(std::vector<std::string> arguments, const std::string& script = kScript) {
    return LoadMainForm(std::move(arguments), script);
  }
  std::string LoadError(std::vector<std::string> arguments, const std::string& script = kScript) {
    try {
      Load(std::move(arguments), script);
    } catch (const Exception& error) {
      return error.Message();
    }
    return "";
  }
};

TEST_F(Engine, LoadsTheScriptWithItsValuesDefaultsAndReferences) {
  TInstallMainForm* form = Load({"-sC:\\Loader"});
  TCustomInstall* install = TCustomInstall::Instance();
  ASSERT_TRUE(install);
  EXPECT_EQ(install->Owner(), form);
  EXPECT_EQ(form->Width(), 729);
  EXPECT_EQ(install->DestDir(), "\\Product");
  EXPECT_EQ(install->Information().ProductName(), "Monitor");
  EXPECT_EQ(install->Information().CompanyName(), "My Company");
  EXPECT_EQ(install->BuildInfo().AppName, "Monitor Setup");
  EXPECT_TRUE(install->BuildInfo().SignCode);
  EXPECT_TRUE(install->BuildInfo().AddUninstallOnCreate);
  EXPECT_EQ(install->BuildInfo().BuildDirectory, "c:\\build");
  EXPECT_EQ(install->PresetupFiles(), (TStringList{"readme.txt", "license.txt"}));
  EXPECT_TRUE(install->RunAutomatic());
  EXPECT_TRUE(install->UseLoadingProgram());
  EXPECT_FALSE(install->Reboot());
  // Both stay as stored while loading.
  EXPECT_TRUE(install->AutoMaximizeWindow());
  EXPECT_TRUE(install->HideMainForm());
  EXPECT_EQ(install->HelperCount(), 2);
  EXPECT_EQ(install->Helpers(0)->Name(), "Files");
  EXPECT_EQ(install->LoaderDirectory(), "C:\\Loader");
  EXPECT_EQ(install->InstallType(), itCompact);
  EXPECT_EQ(install->Helpers(1)->InstallType(), itCompact);
  EXPECT_EQ(form->Left(), -2 * 729);
  EXPECT_EQ(form->Top(), -2 * 472);
  install->SetAutoMaximizeWindow(true);
  EXPECT_FALSE(install->HideMainForm());
  install->SetHideMainForm(true);
  EXPECT_FALSE(install->AutoMaximizeWindow());
}

TEST_F(Engine, InstallTypeFollowsTheOfferedTypes) {
  struct Case {
    const char* types;
    TInstallType expected;
  } cases[] = {{"[itFull, itCompact]", itCompact}, {"[itCompact, itDefault]", itDefault},
               {"[itFull]", itFull}, {"[]", itFull}, {"[itCustom]", itFull}};
  for (const auto& c : cases) {
    Load({}, std::string("TInstallMainForm F { TInstall I { InstallTypes = ") + c.types + " } }");
    EXPECT_EQ(TCustomInstall::Instance()->InstallType(), c.expected) << c.types;
    Free(Application()->MainForm());
  }
}

#ifdef _WIN32
// A whole run: the engine reads the archive information, lets the wizard
// run, installs its tree, runs the typed passes and ends as a good
// installation (the registry is the test's own).
TEST_F(Engine, FirstActivationRunsTheInstallationOnceAndEnds) {
  TInstallMainForm* form = Load({"-sC:\\Loader"});
  int earlier_handler_calls = 0;
  TCustomInstall* install = TCustomInstall::Instance();
  install->Information().SetProductName("Monitor");
  form->Activate();
  EXPECT_TRUE(install->FirstActivationDone());
  EXPECT_EQ(form->WindowState(), TWindowState::wsMaximized);
  EXPECT_TRUE(install->Installed());
  EXPECT_TRUE(Application()->Terminated());
  EXPECT_FALSE(install->Running());
  // Files goes with its container; the link waits for the pass of its type.
  std::vector<std::string> expected = {
      "loaded Files",
      "loaded Link",
      "Link heard -984 from Install1",
      "Link heard -974 from Install1",
      "Link heard -973 from Install1",
      "Link heard -983 from Install1",
      "Link heard -986 from Install1",
      "Link heard -980 from Install1",
      "Link heard -990 from Install1",
      "Link heard -999 from Install1",
      "Link heard -992 from Install1",
      "install Files",
      "Files uninstall \\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Monitor",
      "Link heard -996 from Install1",
      "Link heard -989 from Install1",
      "Link heard -974 from Install1",
      "install Link",
      "Link uninstall \\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Monitor",
      "Link heard -973 from Install1",
      "Link heard -995 from Install1",
      "Link heard -979 from Install1"};
  EXPECT_EQ(Journal(), expected);
  // The form has its own handler back.
  form->SetOnActivate([&](TComponent*) { ++earlier_handler_calls; });
  form->Activate();
  EXPECT_EQ(earlier_handler_calls, 1);
}

// A cancel stays set after the archive operation it stopped, so that the
// run learns of it; the next installation starts without it.
TEST_F(Engine, AnInstallationStartsWithoutAnEarlierArchiveCancel) {
  TInstallMainForm* form = Load({"-sC:\\Loader"});
  SharedArchive()->SetAbort(true);
  form->Activate();
  EXPECT_TRUE(TCustomInstall::Instance()->Installed());
  EXPECT_FALSE(SharedArchive()->Abort());
}
#endif

TEST_F(Engine, WithoutRunAutomaticTheFormShowsAndNothingRuns) {
  TInstallMainForm* form =
      Load({}, "TInstallMainForm F { TInstall I { RunAutomatic = False AutoMaximizeWindow = False } }");
  form->Activate();
  form->Activate();
  EXPECT_TRUE(TCustomInstall::Instance()->FirstActivationDone());
  EXPECT_FALSE(TCustomInstall::Instance()->Installed());
  EXPECT_FALSE(Application()->Terminated());
  EXPECT_EQ(form->WindowState(), TWindowState::wsNormal);
}

TEST_F(Engine, CommandLineAndLoadingErrors) {
  EXPECT_EQ(LoadError({"-x"}),
            "Invalid parameter <-x>. Valid command line parameters are: -b (Build), -d (Debug), -f (Transfer to "
            "floppies), -e (Called by self-extractor), -r (After reboot)");
  const std::string forgot =
      "You forgot to pass in the build directory. In Run | Parameters, follow this format: -d \"-sC:\\My Build\"";
  EXPECT_EQ(LoadError({"-d"}), forgot);
  EXPECT_EQ(LoadError({"-d", "-s  "}), forgot);
  EXPECT_EQ(LoadError({"*x", "-d", "-sC:\\Build"}), "");
}

TEST_F(Engine, EveryComponentIsLoadedBeforeTheChosenModeRuns) {
  // The build and the floppy copy show their failures, then the program
  // ends with exit code 1. The build needs BUILD.INF beside the program,
  // which this test program has not; the floppy copy runs only from the
  // self-extracting file.
  std::vector<std::string> shown;
  SetQuestionHandler([&shown](const std::string& text, TQuestion) {
    shown.push_back(text);
    return true;
  });
  Free(Load({"-b", "-r"}));
  EXPECT_EQ(Journal(), (std::vector<std::string>{"loaded Files", "loaded Link"}));
  EXPECT_TRUE(Application()->Terminated());
  EXPECT_EQ(LoadError({"-f"}), "");
  SetQuestionHandler(nullptr);
  EXPECT_EQ(shown, (std::vector<std::string>{
                       "Need to have a BUILD.INF file in this directory with the first line specifying the build "
                       "directory",
                       "Sorry... You can only transfer this installation to floppies through the self-extracting "
                       "file. Usage example: setup.exe *TODISK"}));
  EXPECT_EQ(ProgramExitCode(), 1);
  SetProgramExitCode(0);
}

TEST_F(Engine, OneEngineOnAFormOnly) {
  TInstallMainForm* form = Load({});
  EXPECT_THROW(New<TInstall>(form), IEInstall);
  Free(form);
  EXPECT_THROW(New<TInstall>(owner_), IEInstall);
  EXPECT_EQ(TCustomInstall::Instance(), nullptr);
  EXPECT_NE(New<TInstall>(New<TInstallMainForm>(owner_)), nullptr);
}

TEST_F(Engine, TheScriptsTranslatorCarriesItsLanguages) {
  Load({}, R"(TInstallMainForm F {
    TTranslator Translator1 {
      lgEnglish.Strings = ("1;Installation aborted by the user")
      lgGerman.Strings = ("1;Installation vom Benutzer abgebrochen", "#2;", "two", "lines", "#")
      lgGerman.FontOverride = True
      TranslateIntoLanguage = qlGerman
    }
    TInstall I { RunAutomatic = False }
  })");
  EXPECT_EQ(EAIUserAbort().Message(), "Installation aborted by the user");  // not a translated class
  EXPECT_EQ(TranslateString("Installation aborted by the user"), "Installation vom Benutzer abgebrochen");
  EXPECT_TRUE(GlobalTranslator()->LanguageByIdent(qlGerman)->FontOverride());
  EXPECT_TRUE(GlobalTranslator()->LanguageByIdent(qlGerman)->MemoByGLID(2));
}

TEST_F(Engine, ABadLanguageLineFailsTheScript) {
  EXPECT_EQ(LoadError({}, "TInstallMainForm F { TTranslator T { lgDanish.Strings = (\"x;y\") } }"),
            "The 0'th string (x;y) does not have the proper format of GLID;Text or .GLID;");
}

// Stands in for an install file: what the updater choice sets.
class TTestUpdater : public TTestObject {
  FORMS_CLASS(TTestUpdater)
public:
  bool RunAfterInstall = true;
  std::string RunParameters;
};

const ClassInfo& TTestUpdater::StaticClass() {
  using C = TTestUpdater;
  static const ClassInfo info{"TTestUpdater", &TTestObject::StaticClass(),
                              [](TComponent* owner) -> TComponent* { return New<TTestUpdater>(owner); },
                              {BoolField<C>("RunAfterInstall", &C::RunAfterInstall, false),
                               StringField<C>("RunParameters", &C::RunParameters)}};
  return info;
}

// A script holding both updaters; the engine's further properties given.
std::string UpdaterScript(const std::string& install_properties = "") {
  return "TInstallMainForm F {\n"
         "  TInstall Install1 { RunAutomatic = False " + install_properties + " }\n"
         "  TTestUpdater IFShFolder_Exe { Container = Install1 RunAfterInstall = True }\n"
         "  TTestUpdater IF50ComUpd_Exe { Container = Install1 RunAfterInstall = True }\n"
         "}\n";
}

TEST_F(Engine, SystemUpdatersRunOnlyWhereTheSystemNeedsThem) {
  RegisterStreamClass(TTestUpdater::StaticClass());
  struct Case {
    UpdaterFacts facts;
    bool shell_folder_runs;
    bool common_controls_included;
  } cases[] = {
      {{true, 6, false, 0x60000}, false, false},  // today's Windows
      {{true, 4, false, 0x40046}, true, true},    // NT 4 with old common controls
      {{true, 4, true, 0x40047}, false, false},   // NT 4 with both present
      {{false, 4, false, 0x40000}, true, true},   // Windows 98 as shipped
  };
  for (const auto& c : cases) {
    auto* form = Load({}, UpdaterScript());
    form->ChooseUpdaters(c.facts);
    auto* shell_folder = static_cast<TTestUpdater*>(form->FindComponent("IFShFolder_Exe"));
    auto* common_controls = static_cast<TTestUpdater*>(form->FindComponent("IF50ComUpd_Exe"));
    EXPECT_EQ(shell_folder->RunAfterInstall, c.shell_folder_runs);
    EXPECT_EQ(common_controls->Include(), c.common_controls_included);
    EXPECT_EQ(common_controls->RunParameters, c.common_controls_included ? "/Q" : "");
    Free(form);
  }
}

TEST_F(Engine, AScriptWithoutUpdatersSkipsThem) {
  auto* form = Load({}, "TInstallMainForm F { TInstall I { RunAutomatic = False } }");
  EXPECT_NO_THROW(form->ChooseUpdaters(UpdaterFacts{}));
}

#ifdef _WIN32
TEST_F(Engine, UnderWineNeitherUpdaterIsNeeded) {
  RegisterStreamClass(TTestUpdater::StaticClass());
  auto* form = Load({}, UpdaterScript("OnAfterInitialized = Install1AfterInitialized"));
  TCustomInstall::Instance()->OnAfterInitialized()(TCustomInstall::Instance());
  EXPECT_FALSE(static_cast<TTestUpdater*>(form->FindComponent("IFShFolder_Exe"))->RunAfterInstall);
  EXPECT_FALSE(static_cast<TTestUpdater*>(form->FindComponent("IF50ComUpd_Exe"))->Include());
}
#endif

// A 2 x 1 bitmap (a red and a blue pixel) and a 16 x 16 icon, as a script
// stores them.
const char* const kBitmapHex =
    "424D3E000000000000003600000028000000020000000100000001001800000000000800000000000000000000000000"
    "000000000000 0000FFFF00000000";
const char* const kIconHex =
    "000001000100 10100000010020002800000016000000"
    "00000000000000000000000000000000000000000000000000000000000000000000000000000000";

TEST_F(Engine, TheThemeBitmapAndAGroupsIconLoadFromTheScriptAndWriteBack) {
  const std::string script = std::string("TInstallMainForm F {\n  TInstall Install1 {\n    DialogThemeBitmap.Data = {\n") +
                             kBitmapHex + "\n    }\n  }\n  TInstallGroup Group1 {\n    Container = Install1\n"
                             "    DialogOptions.SmallIcon.Data = { " + kIconHex + " }\n  }\n}\n";
  TInstallMainForm* form = Load({}, script);
  TCustomInstall* install = TCustomInstall::Instance();
  EXPECT_EQ(install->DialogThemeBitmap().Width(), 2);
  EXPECT_EQ(install->DialogThemeBitmap().ResourceName(), "");
  auto* group = dynamic_cast<TInstallGroup*>(form->FindComponent("Group1"));
  ASSERT_TRUE(group);
  EXPECT_EQ(group->DialogOptions().SmallIcon().Width(), 16);
  const std::string written = WriteComponent(*form);
  EXPECT_NE(written.find("    DialogThemeBitmap.Data = {\n      424D3E00"), std::string::npos) << written;
  EXPECT_NE(written.find("    DialogOptions.SmallIcon.Data = {\n      00000100"), std::string::npos) << written;
  // Options copied with their icon; the theme copied, not shared.
  TInstallGroupDialogOptions options;
  options.Assign(group->DialogOptions());
  EXPECT_EQ(options.SmallIcon().Data(), group->DialogOptions().SmallIcon().Data());
  TPicture theme;
  theme.Assign(install->DialogThemeBitmap());
  install->SetDialogThemeBitmap(TPicture());
  EXPECT_TRUE(install->DialogThemeBitmap().Empty());
  install->SetDialogThemeBitmap(theme);
  EXPECT_EQ(install->DialogThemeBitmap().Width(), 2);
  // The written script loads in a program of its own as it was written.
  FinalizeApplication();
  InitializeApplication();
  EXPECT_EQ(WriteComponent(*Load({}, written)), written);
}

TEST_F(Engine, TheThemeBitmapIsTheProgramsOwnUnlessTheScriptStoresOne) {
  TInstallMainForm* form = Load({});
  const TPicture& theme = TCustomInstall::Instance()->DialogThemeBitmap();
#ifdef _WIN32
  EXPECT_EQ(theme.ResourceName(), "INSTALLTHEME1");
  EXPECT_EQ(theme.Width(), 117);
  EXPECT_EQ(theme.Height(), 290);
#else
  EXPECT_TRUE(theme.Empty()) << "only Windows programs carry the picture";
#endif
  EXPECT_EQ(WriteComponent(*form).find("DialogThemeBitmap"), std::string::npos);
}

TEST_F(Engine, ABadThemeBitmapFailsTheScriptNamingItsLine) {
  EXPECT_EQ(LoadError({}, "TInstallMainForm F {\n  TInstall Install1 {\n    DialogThemeBitmap.Data = { 424D00 }\n"
                          "  }\n}\n"),
            "Line 3: Invalid value for property DialogThemeBitmap.Data: The picture is not a bitmap: too short for its "
            "headers");
}

TEST_F(Engine, TheScriptGoesBeforeTheListsThatReferToIt) {
  Load({});
  FinalizeApplication();
  EXPECT_EQ(TCustomInstall::Instance(), nullptr);
  EXPECT_TRUE(ContainerList()->Items().empty());
}

}  // namespace
}  // namespace install_test
