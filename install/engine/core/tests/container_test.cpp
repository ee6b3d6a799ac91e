#include "core/container.h"

#include <gtest/gtest.h>

#include "core/exceptions.h"
#include "testing/fixtures.h"

namespace install_test {
namespace {

using namespace forms;
using namespace install;

class ObjectModel : public EngineTest {};

std::vector<std::string> HelperNames(const TInstallContainer& container) {
  std::vector<std::string> names;
  for (int i = 0; i < container.HelperCount(); ++i) names.push_back(container.Helpers(i)->Name());
  return names;
}

TEST_F(ObjectModel, HelpersAreSortedByTypeNewestFirstWithinAType) {
  TTestObject* root = Object("Root", 1000);
  Object("FileA", 2000, root);
  Object("Dir", 1000, root);
  Object("FileB", 2000, root);
  Object("Group", 500, root);
  EXPECT_EQ(HelperNames(*root), (std::vector<std::string>{"Group", "Dir", "FileB", "FileA"}));
  EXPECT_EQ(root->CountOf("TTestObject"), 4);
  EXPECT_EQ(root->Comp(1, "TTestObject")->Name(), "Dir");
}

TEST_F(ObjectModel, RefusedHelpersLeaveTheTreeUnchanged) {
  TTestObject* top = Object("Top", 500);
  TTestObject* middle = Object("Middle", 1000, top);
  TTestObject* bottom = Object("Bottom", 2000, middle);
  struct Case {
    TInstallContainer* container;
    TInstallContainer* helper;
    const char* message;
  } cases[] = {
      {bottom, top, "Circular reference"},
      {bottom, middle, "Circular reference"},
      {middle, middle, "Circular reference"},
      {middle, nullptr, "Cannot add a blank base helper component to Middle"},
  };
  for (const auto& c : cases) {
    try {
      c.container->AddHelper(c.helper);
      ADD_FAILURE() << "accepted";
    } catch (const IEInstallContainer& error) {
      EXPECT_EQ(error.Message(), c.message);
    }
  }
  EXPECT_THROW(top->SetContainer(bottom), IEInstallContainer);
  EXPECT_EQ(top->Container(), nullptr);
  EXPECT_EQ(HelperNames(*top), std::vector<std::string>{"Middle"});
  EXPECT_EQ(HelperNames(*bottom), std::vector<std::string>{});
}

TEST_F(ObjectModel, BadHelperIndexAndComponentTypeAreReported) {
  TTestObject* root = Object("Root", 1000);
  try {
    root->Helpers(3);
    FAIL();
  } catch (const IEInstallContainer& error) {
    EXPECT_EQ(error.Message(),
              "Tried to reference a helper component in the following component: Root. The following index was used: 3");
  }
  EXPECT_THROW(root->Comp(0, "TTestObject"), IEInstallContainer);
  auto* bare = New<TInstallContainer>(owner_);
  EXPECT_THROW(bare->RegisteredType(), IEInstallContainer);
}

TEST_F(ObjectModel, SetContainerNilLeavesTheOldContainerAndStoresNil) {
  TTestObject* first = Object("First", 1000);
  TTestObject* second = Object("Second", 1000);
  TTestObject* child = Object("Child", 2000, first);
  EXPECT_EQ(child->DestDirType()->Name(), "psContainerDestDir");
  child->SetContainer(second);
  EXPECT_EQ(HelperNames(*first), std::vector<std::string>{});
  EXPECT_EQ(HelperNames(*second), std::vector<std::string>{"Child"});
  child->SetContainer(nullptr);
  EXPECT_EQ(child->Container(), nullptr);
  EXPECT_EQ(HelperNames(*second), std::vector<std::string>{});
  EXPECT_EQ(child->DestDirType(), nullptr);
}

TEST_F(ObjectModel, AFreedObjectLeavesItsContainerAndItsChildrenLoseTheirs) {
  TTestObject* root = Object("Root", 1000);
  TTestObject* dir = Object("Dir", 1000, root);
  TTestObject* file = Object("File", 2000, dir);
  Free(dir);
  EXPECT_EQ(root->HelperCount(), 0);
  EXPECT_EQ(file->Container(), nullptr);
  EXPECT_EQ(ContainerList()->Items().size(), 2u);
}

TEST_F(ObjectModel, EmptyInstallTypesStoreFull) {
  TTestObject* object = Object("O", 2000);
  EXPECT_EQ(object->InstallTypes(), InstallTypeBit(itFull) | InstallTypeBit(itDefault) | InstallTypeBit(itCompact));
  object->SetInstallTypes(0);
  EXPECT_EQ(object->InstallTypes(), InstallTypeBit(itFull));
}

TEST_F(ObjectModel, ProcessRunsHelpersThatGoWithTheirContainer) {
  TTestObject* root = Object("Root", 1000);
  Object("Link", 8000, root);  // waits for its own pass
  Object("File", 2000, root)->SetWithContainer(true);
  root->Process();
  EXPECT_EQ(Journal(), (std::vector<std::string>{"File heard -990 from Root", "Link heard -990 from Root",
                                                 "File heard -999 from Root", "Link heard -999 from Root",
                                                 "install Root", "install File", "File heard -989 from Root",
                                                 "Link heard -989 from Root"}));
  EXPECT_TRUE(root->Installed());
}

TEST_F(ObjectModel, AnObjectForAnotherSystemStaysExcludedButStillAnnouncesItself) {
  TTestObject* root = Object("Root", 1000);
  Object("Listener", 2000, root);
  int before_calls = 0;
  root->SetOnBeforeProcess([&](TInstallContainer*) { ++before_calls; });
  root->SetOS(OSBit(oswinME));
  root->Process();
  root->SetOS(static_cast<OSSet>(0xFFFF));
  root->Process();
  EXPECT_EQ(before_calls, 2);
  EXPECT_FALSE(root->Include());
  EXPECT_FALSE(root->Installed());
  EXPECT_EQ(Journal(), (std::vector<std::string>{"Listener heard -990 from Root", "Listener heard -990 from Root"}));
}

TEST_F(ObjectModel, InstallTypesFilterUnlessCustom) {
  TTestObject* object = Object("O", 2000);
  object->SetInstallTypes(InstallTypeBit(itCompact));
  object->SetInstallType(itFull);
  EXPECT_FALSE(object->IsIncluded());
  object->Process();
  EXPECT_FALSE(object->Installed());
  object->SetInstallType(itCustom);
  EXPECT_TRUE(object->IsIncluded());
  object->Process();
  EXPECT_TRUE(object->Installed());
}

TEST_F(ObjectModel, AbortFromOnBeforeProcessSkipsTheObjectSilently) {
  TTestObject* object = Object("O", 2000);
  object->SetOnBeforeProcess([](TInstallContainer*) { Abort(); });
  EXPECT_NO_THROW(object->Process());
  EXPECT_FALSE(object->Installed());
  object->SetOnBeforeProcess([](TInstallContainer*) { throw EAI("broken"); });
  EXPECT_THROW(object->Process(), EAI);
}

TEST_F(ObjectModel, BroadcastsReachOnlyDirectHelpersFromType2000OrTheEventTarget) {
  TTestObject* root = Object("Root", 1000);
  TTestObject* dir = Object("Dir", 1000, root);
  Object("Deep", 2000, dir);
  TTestObject* dialog = Object("Dialog", 9000, root);
  TTestObject* file = Object("File", 2000, root);
  root->ShowStatusMessage("copying");
  EXPECT_EQ(Journal(), (std::vector<std::string>{"File heard -974 from Root", "Dialog heard -974 from Root"}));
  Journal().clear();
  root->SetEventTarget(dir);  // the target hears it whatever its type
  root->HideStatusMessage();
  EXPECT_EQ(Journal(), std::vector<std::string>{"Dir heard -973 from Root"});
  Journal().clear();
  root->SetEventTarget(dialog);
  root->HideStatusMessage();
  EXPECT_EQ(Journal(), std::vector<std::string>{"Dialog heard -973 from Root"});
  // A target that goes leaves the broadcasts to everyone again.
  Free(dialog);
  EXPECT_EQ(root->EventTarget(), nullptr);
  Journal().clear();
  root->HideStatusMessage();
  EXPECT_EQ(Journal(), std::vector<std::string>{"File heard -973 from Root"});
  (void)file;
}

TEST_F(ObjectModel, BroadcastToHelpersBelow2000ReachesNobody) {
  TTestObject* root = Object("Root", 1000);
  Object("Group", 500, root);
  Object("Dir", 1000, root);
  root->BroadcastInformationEvent(root, ieCopyFinished, nullptr);
  EXPECT_TRUE(Journal().empty());
}

TEST_F(ObjectModel, FullDestDirJoinsTheSpecifierPathAndDropsTheTrailingBackslash) {
  TTestObject* root = Object("Root", 1000);
  root->SetDestDir("C:\\Apps\\");
  EXPECT_EQ(root->GetFullDestDir(), "C:\\Apps");
  TTestObject* child = Object("Child", 2000, root);
  child->SetDestDir("\\bin");
  EXPECT_EQ(child->GetFullDestDir(), "C:\\Apps\\bin");
}

TEST(Percent, RoundsHalvesToEven) {
  EXPECT_EQ(PercentOf(800, 1000), 80);
  EXPECT_EQ(PercentOf(1, 8), 12);  // 12.5
  EXPECT_EQ(PercentOf(3, 8), 38);  // 37.5
  EXPECT_EQ(PercentOf(5, 0), 0);
}

}  // namespace
}  // namespace install_test
