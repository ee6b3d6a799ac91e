#include "paths/metavars.h"

#include <gtest/gtest.h>

#include "core/exceptions.h"
#include "testing/fixtures.h"

namespace install_test {
namespace {

using namespace install;

class MetaVariables : public EngineTest {};

// The message of the failure text raises, or "" when it does not raise.
template <class E>
std::string Failure(const std::string& text, TInstallObject* link) {
  try {
    ExpandMetaVariables(text, link);
  } catch (const E& error) {
    return error.Message();
  }
  return "";
}

TEST_F(MetaVariables, PercentSignsAndUnknownLetters) {
  struct Case {
    const char* text;
    const char* expanded;
  } cases[] = {{"%%i", "%i"}, {"%x", ""}, {"a%xb", "ab"}, {"100%", "100"}, {"plain", "plain"}, {"%%%%", "%%"}};
  for (const auto& c : cases) EXPECT_EQ(ExpandMetaVariables(c.text, nullptr), c.expanded) << c.text;
}

TEST_F(MetaVariables, TheShortcutsFolderAndItsContainers) {
  TTestObject* group = Object("Group", 500);
  group->SetDestDir("C:\\Apps\\Tool\\");
  TTestObject* link = Object("Link", 8000, group);
  link->SetDestDir("\\Menu");
  EXPECT_EQ(ExpandMetaVariables("%c\\run.exe %A", link), "C:\\Apps\\Tool\\run.exe C:\\Apps\\Tool\\Menu");
  EXPECT_EQ(Failure<EAICannotExpandContainerDirMV>("%c", group),
            "Cannot expand the %c meta variable because the Container property is Nil");
  EXPECT_EQ(Failure<EAICannotExpandContainerDirMV>("%C", nullptr),
            "Cannot expand the %c meta variable because the component is Nil");
  EXPECT_EQ(Failure<EAICannotExpandContainerDirMV>("%a", nullptr),
            "Cannot expand the %a meta variable because the component is Nil");
  EXPECT_EQ(Failure<EAICannotExpandInstallDirMV>("%i", link),
            "Cannot expand the %i meta variable because there is no TInstall component");
}

}  // namespace
}  // namespace install_test
