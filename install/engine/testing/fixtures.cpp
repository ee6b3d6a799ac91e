#include "testing/fixtures.h"

#include <fstream>
#include <sstream>
#include "items/installfile.h"
#ifdef INSTALL_WITH_WIZARD
#include "wizardunits.h"
#endif

namespace install_test {

using namespace forms;
using namespace install;

std::vector<std::string>& Journal() {
  static std::vector<std::string> journal;
  return journal;
}

const ClassInfo& TTestObject::StaticClass() {
  using C = TTestObject;
  static const ClassInfo info{"TTestObject", &TInstallObject::StaticClass(),
                              [](TComponent* owner) -> TComponent* { return New<TTestObject>(owner); },
                              {ContainerProperty(), IntProp<C>("TypeNumber", &C::TypeNumber, &C::SetTypeNumber),
                               BoolProp<C>("WithContainer", &C::WithContainer, &C::SetWithContainer)}};
  return info;
}

void TTestObject::Loaded() {
  Journal().push_back("loaded " + Name());
  TInstallObject::Loaded();
}

void TTestObject::DoInstall() {
  Journal().push_back("install " + Name());
  TInstallObject::DoInstall();
}

void TTestObject::DoInformationEvent(TComponent* sender, int code, TPersistent*) {
  Journal().push_back(Name() + " heard " + std::to_string(code) + " from " + sender->Name());
}

void TTestObject::WriteUninstallInfo(const std::string& key) { Journal().push_back(Name() + " uninstall " + key); }

void EngineTest::SetUp() {
  Journal().clear();
  // No test restarts the system it runs on.
  SetExitWindowsHandler([](uint32_t, uint32_t) {
    ADD_FAILURE() << "the engine asked the system to restart";
    return false;
  });
  InitializeInstallUnits();
#ifdef INSTALL_WITH_WIZARD
  InitializeWizardUnits();
#endif
  RegisterStreamClass(TTestObject::StaticClass());
  InitializeApplication();
  owner_ = New<TComponent>(nullptr);
  CreateStandardPathSpecifiers(owner_, true);
}

void EngineTest::TearDown() {
  Free(owner_);
  FinalizeApplication();
#ifdef INSTALL_WITH_WIZARD
  FinalizeWizardUnits();
#endif
  FinalizeInstallUnits();
  SetInstallRecordKey("");
  SetQuestionHandler(nullptr);
  SetExitWindowsHandler(nullptr);
#ifdef _WIN32
  keys_.reset();
#endif
}

void EngineTest::UsePrivateRegistry() {
#ifdef _WIN32
  keys_ = std::make_unique<MovedRootKeys>(
      CurrentTestName(), std::initializer_list<HKEY>{HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE});
  EXPECT_TRUE(keys_->Moved());
#endif
}

TInstallMainForm* EngineTest::LoadMainForm(std::vector<std::string> arguments, const std::string& script) {
  arguments.insert(arguments.begin(), "install.exe");
  SetProgramArguments(arguments);
  return Application()->CreateForm<TInstallMainForm>(script);
}

#ifdef INSTALL_SCRIPT_FILE
std::string EngineTest::ProductScriptText() {
  std::ifstream file(INSTALL_SCRIPT_FILE, std::ios::binary);
  std::stringstream script;
  script << file.rdbuf();
  return script.str();
}

TInstallMainForm* EngineTest::LoadProductScript() {
  std::string script = ProductScriptText();
  if (script.empty()) return nullptr;
  std::vector<TCustomPathSpecifier*> made_for_the_test = StandardPathSpecifiers().Items();
  for (TCustomPathSpecifier* specifier : made_for_the_test) Free(specifier);
  return LoadMainForm({"-sC:\\Loader"}, script);
}
#endif

TTestObject* EngineTest::Object(const std::string& name, int type_number, TInstallContainer* container) {
  auto* object = New<TTestObject>(owner_);
  object->SetName(name);
  object->SetTypeNumber(type_number);
  if (container) object->SetContainer(container);
  return object;
}

}  // namespace install_test
