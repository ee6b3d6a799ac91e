#include "classes.h"

#include <gtest/gtest.h>

#include "widgets.h"

namespace forms_test {
namespace {

using namespace forms;

// A base whose constructor step asks a virtual question and whose destructor
// step calls an overridable operation: both must reach the derived class.
class TBase : public TComponent {
  FORMS_CLASS(TBase)
public:
  void Create(TComponent* owner) override {
    TComponent::Create(owner);
    asked = WantsExtra();
  }
  void Destroy() override {
    Goodbye();
    TComponent::Destroy();
  }
  virtual bool WantsExtra() const { return true; }
  virtual void Goodbye() { Journal().push_back("base goodbye"); }
  bool asked = false;
};

class TDerived : public TBase {
  FORMS_CLASS(TDerived)
public:
  bool WantsExtra() const override { return false; }
  void Goodbye() override { Journal().push_back("derived goodbye " + Name()); }
};

const ClassInfo& TBase::StaticClass() {
  static const ClassInfo info{"TBase", &TComponent::StaticClass()};
  return info;
}
const ClassInfo& TDerived::StaticClass() {
  static const ClassInfo info{"TDerived", &TBase::StaticClass()};
  return info;
}

class TFailing : public TBase {
  FORMS_CLASS(TFailing)
public:
  void Create(TComponent* owner) override {
    TBase::Create(owner);
    throw Exception("refused");
  }
};
const ClassInfo& TFailing::StaticClass() {
  static const ClassInfo info{"TFailing", &TBase::StaticClass()};
  return info;
}

TEST(Components, VirtualCallsInTheConstructorAndDestructorStepsReachTheDerivedClass) {
  Journal().clear();
  TDerived* derived = New<TDerived>(nullptr);
  EXPECT_FALSE(derived->asked);
  derived->SetName("D");
  Free(derived);
  EXPECT_EQ(Journal(), std::vector<std::string>{"derived goodbye D"});
}

TEST(Components, AFailingConstructorStepRunsTheDestructorStepAndLeavesTheOwner) {
  Journal().clear();
  TComponent* owner = New<TComponent>(nullptr);
  EXPECT_THROW(New<TFailing>(owner), Exception);
  EXPECT_EQ(owner->ComponentCount(), 0);
  EXPECT_EQ(Journal(), std::vector<std::string>{"base goodbye"});
  Free(owner);
}

TEST(Components, OwnerFreesItsComponentsLastFirstAndAFreedChildLeavesIt) {
  Journal().clear();
  TComponent* owner = New<TComponent>(nullptr);
  for (const char* name : {"A", "B", "C"}) New<TDerived>(owner)->SetName(name);
  Free(owner->FindComponent("b"));
  ASSERT_EQ(owner->ComponentCount(), 2);
  EXPECT_EQ(owner->Components(1)->Name(), "C");
  Free(owner);
  EXPECT_EQ(Journal(), (std::vector<std::string>{"derived goodbye B", "derived goodbye C",
                                                 "derived goodbye A"}));
}

TEST(Components, NamesAreIdentifiersUniquePerOwner) {
  TComponent* owner = New<TComponent>(nullptr);
  TComponent* a = New<TComponent>(owner);
  TComponent* b = New<TComponent>(owner);
  a->SetName("Same");
  EXPECT_THROW(b->SetName("SAME"), EComponentError);
  EXPECT_THROW(b->SetName("1st"), EComponentError);
  EXPECT_THROW(b->SetName("has space"), EComponentError);
  b->SetName("Other_2");
  TComponent* elsewhere = New<TComponent>(nullptr);
  elsewhere->SetName("Same");  // another owner's name space
  Free(elsewhere);
  Free(owner);
}

TEST(Components, ClassNamesAndClassQueries) {
  TDerived* derived = New<TDerived>(nullptr);
  EXPECT_EQ(derived->ClassName(), "TDerived");
  EXPECT_TRUE(derived->InheritsFrom("TBase"));
  EXPECT_TRUE(derived->InheritsFrom("tcomponent"));
  EXPECT_FALSE(derived->InheritsFrom("TTestWidget"));
  Free(derived);
}

TEST(Components, AGoingComponentIsReportedToItsSiblingsAndFreeNotificationClients) {
  TComponent* owner = New<TComponent>(nullptr);
  TComponent* other_owner = New<TComponent>(nullptr);
  TTestWidget* sibling = New<TTestWidget>(owner);
  TTestWidget* stranger = New<TTestWidget>(other_owner);
  TTestWidget* target = New<TTestWidget>(owner);
  sibling->SetBuddy(target);
  stranger->SetBuddy(target);
  Free(target);
  EXPECT_EQ(sibling->Buddy(), nullptr);
  EXPECT_EQ(stranger->Buddy(), nullptr);
  Free(owner);
  Free(other_owner);
}

TEST(Components, DestroyingStateReachesOwnedComponents) {
  TComponent* owner = New<TComponent>(nullptr);
  TBase* child = New<TBase>(owner);
  bool child_destroying_seen = false;
  struct Probe : TTestWidget {
    bool* seen = nullptr;
    TComponent* watched = nullptr;
    void Destroy() override {
      *seen = watched->Destroying();
      TTestWidget::Destroy();
    }
  };
  Probe* probe = New<Probe>(owner);
  probe->seen = &child_destroying_seen;
  probe->watched = child;
  Free(owner);
  EXPECT_TRUE(child_destroying_seen);
}

}  // namespace
}  // namespace forms_test
