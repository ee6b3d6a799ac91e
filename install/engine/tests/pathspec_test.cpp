#include "pathspec.h"

#include <gtest/gtest.h>

#include "exceptions.h"
#include "fixtures.h"
#include "form.h"

namespace install_test {
namespace {

using namespace forms;
using namespace install;

class PathSpecifiers : public EngineTest {};

TEST_F(PathSpecifiers, ListsRefuseNil) {
  EXPECT_THROW(install::PathSpecifiers().Add(nullptr), IEPathSpecifierList);
  try {
    PathSpecifierClasses().Add(nullptr);
    FAIL();
  } catch (const IEPathSpecifierClassList& error) {
    EXPECT_EQ(error.Message(), "Tried to add a nil object to the path specifier list");
  }
  EXPECT_THROW(PathSpecifierClasses().Add(&TTestObject::StaticClass()), IEPathSpecifierClassList);
}

TEST_F(PathSpecifiers, FindByClassGivesTheFirstMadeOrRaises) {
  auto* user_defined = New<TCustomPathSpecifier>(owner_);
  EXPECT_EQ(StandardPathSpecifiers().FindByClass("TStandardPathSpecifier")->Name(), "psContainerDestDir");
  EXPECT_EQ(install::PathSpecifiers().FindByClass("TCustomPathSpecifier")->Name(), "psContainerDestDir");
  EXPECT_EQ(StandardPathSpecifiers().Items().size(), 1u);
  EXPECT_EQ(install::PathSpecifiers().Items().back(), user_defined);
  try {
    StandardPathSpecifiers().FindByClass("TpsProgramFiles");
    FAIL();
  } catch (const IEPathSpecifier& error) {
    EXPECT_EQ(error.Message(), "Could not find the path specifier");
  }
  Free(StandardPathSpecifiers().Items().front());
  EXPECT_TRUE(StandardPathSpecifiers().Items().empty());
  EXPECT_EQ(install::PathSpecifiers().Items().size(), 1u);
}

TEST_F(PathSpecifiers, TheFirstInstallObjectOnAFormBringsTheStandardSpecifiersOnce) {
  Free(StandardPathSpecifiers().Items().front());
  auto* form = New<TForm>(owner_);
  New<TTestObject>(form);
  New<TTestObject>(form);
  ASSERT_EQ(StandardPathSpecifiers().Items().size(), 1u);
  EXPECT_EQ(StandardPathSpecifiers().Items().front()->Owner(), form);
  EXPECT_EQ(form->FindComponent("psContainerDestDir"), StandardPathSpecifiers().Items().front());
  // A plain owner is neither a form nor a data module: nothing is made.
  New<TTestObject>(New<TComponent>(owner_));
  EXPECT_EQ(StandardPathSpecifiers().Items().size(), 1u);
}

TEST_F(PathSpecifiers, UserDefinedPathComesFromItsHandler) {
  auto* specifier = New<TCustomPathSpecifier>(owner_);
  std::string path = "stale";
  specifier->GetPath(nullptr, path);
  EXPECT_EQ(path, "");
  specifier->SetOnGetPath([](TComponent*, std::string& p) { p = "D:\\Tools"; });
  TTestObject* object = Object("O", 2000);
  object->SetDestDirType(specifier);
  object->SetDestDir("\\bin\\");
  EXPECT_EQ(object->GetFullDestDir(), "D:\\Tools\\bin");
}

}  // namespace
}  // namespace install_test
