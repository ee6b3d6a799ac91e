// Test support for the engine: the installer's units and application object
// for the length of one test, and a plain install object whose registered
// type and processing are set by the test and whose calls are journalled.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "application.h"
#include "core/container.h"
#include "core/install.h"
#include "core/units.h"
#ifdef _WIN32
#include "testing/moved_keys.h"
#endif

namespace install_test {

std::vector<std::string>& Journal();

class TTestObject : public install::TInstallObject {
  FORMS_CLASS(TTestObject)
public:
  int RegisteredType() const override { return type_number_; }
  void Loaded() override;
  void DoInstall() override;
  void DoInformationEvent(forms::TComponent* sender, int code, forms::TPersistent* param) override;
  void WriteUninstallInfo(const std::string& key) override;

  int32_t TypeNumber() const { return type_number_; }
  void SetTypeNumber(int32_t v) { type_number_ = v; }
  bool WithContainer() const { return ProcessWithContainer(); }
  void SetWithContainer(bool v) { SetProcessWithContainer(v); }

private:
  int32_t type_number_ = 2000;
};

// Units and application up for each test, down (in the program's order)
// after it.
class EngineTest : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;
  // Loads a main form from script with the program's arguments (its own
  // name is put first).
  install::TInstallMainForm* LoadMainForm(std::vector<std::string> arguments, const std::string& script);
#ifdef INSTALL_SCRIPT_FILE
  // The text of the product's own install script; empty when the file
  // can't be read.
  static std::string ProductScriptText();
  // Loads the product's own install script in place of the test's path
  // specifiers (started with -sC:\Loader); nil when the file can't be read.
  install::TInstallMainForm* LoadProductScript();
#endif
  // A test object owned by the owner made for the test.
  TTestObject* Object(const std::string& name, int type_number, install::TInstallContainer* container = nullptr);
  // On Windows the registry roots of this process (classes root, current
  // user, local machine) become the test's own until it ends; nothing
  // where there is no registry.
  void UsePrivateRegistry();
  forms::TComponent* owner_ = nullptr;
#ifdef _WIN32
  std::unique_ptr<MovedRootKeys> keys_;
#endif
};

}  // namespace install_test
