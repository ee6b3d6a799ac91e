#include "stream.h"

#include <gtest/gtest.h>

#include "widgets.h"

namespace forms_test {
namespace {

using namespace forms;

class StreamTest : public ::testing::Test {
protected:
  void SetUp() override {
    RegisterTestClasses();
    Journal().clear();
    form_ = New<TTestForm>(nullptr);
  }
  void TearDown() override {
    Free(form_);
    UnregisterClasses();
  }
  TTestWidget* Widget(const std::string& name) {
    return dynamic_cast<TTestWidget*>(form_->FindComponent(name));
  }
  TTestForm* form_ = nullptr;
};

const char* const kScript = R"(// a test script
TTestForm Form1 {
  TTestWidget First {
    Count = 3
    Buddy = Second        // a component further down the text
    Caption = "Say \"hi\"" " and go\x21"
    Colours = [clRed, clBlue]
    Items = ("one", "two")
    Info.Title = "titled"
    OnClick = WidgetClicked
    Enabled = False
  }
  TTestWidget Second {
    Shade = clBlue
    Tag = -12
  }
}
)";

TEST_F(StreamTest, SetsPropertiesInStreamOrderThenFixesUpThenLoadsEveryComponent) {
  ReadComponent(*form_, kScript);
  std::vector<std::string> expected = {
      "First.Count=3 loading",      "First.Caption=Say \"hi\" and go! loading",
      "First.Colours=5 loading",    "First.Items=2 loading",
      "First.Enabled=False loading", "Second.Shade=2 loading",
      "First.Buddy=Second loading", "Form1.Loaded loading",
      "First.Loaded loading",       "Second.Loaded loading",
      "First.AfterLoaded",          "Second.AfterLoaded"};
  EXPECT_EQ(Journal(), expected);
  EXPECT_EQ(form_->Name(), "Form1");
  EXPECT_FALSE(form_->Loading());
  TTestWidget* first = Widget("First");
  TTestWidget* second = Widget("Second");
  ASSERT_TRUE(first && second);
  EXPECT_EQ(first->Buddy(), second);
  EXPECT_EQ(first->Items(), (TStringList{"one", "two"}));
  EXPECT_EQ(first->Info().Title(), "titled");
  EXPECT_EQ(second->Tag(), -12);
  first->Click();
  EXPECT_EQ(form_->clicks, std::vector<std::string>{"First"});
}

TEST_F(StreamTest, OmittedPropertiesKeepTheirDefaults) {
  ReadComponent(*form_, "TTestForm Form1 { TTestWidget Plain { } }");
  TTestWidget* plain = Widget("Plain");
  ASSERT_TRUE(plain);
  EXPECT_TRUE(plain->Enabled());
  EXPECT_EQ(plain->Count(), 7);
  EXPECT_EQ(plain->Shade(), Colour::Green);
  EXPECT_EQ(plain->Buddy(), nullptr);
  EXPECT_EQ(plain->Info().Title(), "untitled");
  // Only the loading calls were journalled: no setter ran.
  EXPECT_EQ(Journal(), (std::vector<std::string>{"Form1.Loaded loading", "Plain.Loaded loading",
                                                 "Plain.AfterLoaded"}));
}

TEST_F(StreamTest, ReferenceToTheRootAndNilAreAccepted) {
  ReadComponent(*form_, "TTestForm F { TTestWidget W { Buddy = nil } }");
  EXPECT_EQ(Widget("W")->Buddy(), nullptr);
}

struct BadScript {
  const char* name;
  const char* text;
  const char* message;
};

void PrintTo(const BadScript& bad, std::ostream* os) { *os << bad.name; }

class BadScriptTest : public StreamTest, public ::testing::WithParamInterface<BadScript> {};

TEST_P(BadScriptTest, FailsWithAMessageNamingTheCulprit) {
  try {
    ReadComponent(*form_, GetParam().text);
    FAIL() << "loaded";
  } catch (const EReadError& error) {
    EXPECT_EQ(error.Message(), GetParam().message);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Stream, BadScriptTest,
    ::testing::Values(
        BadScript{"unknown_class", "TTestForm F {\n TNoSuchThing X { }\n}",
                  "Line 2: Class TNoSuchThing not found"},
        BadScript{"unknown_property", "TTestForm F {\n TTestWidget W {\n  Colour = clRed\n }\n}",
                  "Line 3: Property Colour does not exist in TTestWidget"},
        BadScript{"unknown_component", "TTestForm F {\n TTestWidget W {\n  Buddy = Ghost\n }\n}",
                  "Line 3: Unknown component Ghost"},
        BadScript{"component_of_wrong_class", "TTestForm F { TTestWidget W { Buddy = F } }",
                  "Line 1: F is not a TTestWidget for property Buddy"},
        BadScript{"unknown_method", "TTestForm F { TTestWidget W { OnClick = Nowhere } }",
                  "Line 1: Method Nowhere not found in TTestForm"},
        BadScript{"method_of_wrong_signature",
                  "TTestForm F { TTestWidget W { OnClick = WrongSignature } }",
                  "Line 1: Method WrongSignature does not fit event OnClick"},
        BadScript{"unknown_enum_value", "TTestForm F { TTestWidget W { Shade = clPink } }",
                  "Line 1: Invalid value 'clPink' for property Shade"},
        BadScript{"integer_out_of_range", "TTestForm F { TTestWidget W { Count = 4294967296 } }",
                  "Line 1: Invalid value '4294967296' for property Count"},
        BadScript{"text_for_boolean", "TTestForm F { TTestWidget W { Enabled = \"yes\" } }",
                  "Line 1: Invalid value 'yes' for property Enabled"},
        BadScript{"wrong_root_class", "TTestWidget F { }", "Line 1: TTestWidget is not the class of TTestForm"},
        BadScript{"duplicate_name", "TTestForm F { TTestWidget W { } TTestWidget W { } }",
                  "Line 1: A component named W already exists"},
        BadScript{"unterminated_string", "TTestForm F { TTestWidget W { Caption = \"abc\n } }",
                  "Line 1: unterminated string"},
        BadScript{"missing_brace", "TTestForm F { TTestWidget W { }", "Line 1: expected a property or a class name"},
        BadScript{"trailing_text", "TTestForm F { } x", "Line 1: text after the end of the root object"},
        BadScript{"item_without_body", "TTestForm F { TTestWidget W { Rows = < Label > } }",
                  "Line 1: expected '{'"},
        BadScript{"unknown_item_property", "TTestForm F {\n TTestWidget W {\n  Rows = < { Colour = 1 } >\n }\n}",
                  "Line 3: Property Colour does not exist in TTestRow"},
        BadScript{"sub_property_of_plain", "TTestForm F { TTestWidget W { Count.X = 1 } }",
                  "Line 1: Property Count holds no properties"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StreamTest, WritesWhatItReadsLeavingDefaultsOut) {
  ReadComponent(*form_, kScript);
  New<TTestWidget>(form_)->SetCaption("line\nbreak \xE9");
  const std::string expected = R"(TTestForm Form1 {
  TTestWidget First {
    Enabled = False
    Count = 3
    Caption = "Say \"hi\" and go!"
    Colours = [clRed, clBlue]
    Buddy = Second
    Items = ("one", "two")
    Info.Title = "titled"
    OnClick = WidgetClicked
  }
  TTestWidget Second {
    Tag = -12
    Shade = clBlue
    Info.Title = "untitled"
  }
  TTestWidget {
    Caption = "line\x0Abreak \xE9"
    Info.Title = "untitled"
  }
}
)";
  std::string written = WriteComponent(*form_);
  EXPECT_EQ(written, expected);
  auto* copy = New<TTestForm>(nullptr);
  ReadComponent(*copy, written);
  EXPECT_EQ(WriteComponent(*copy), written);
  Free(copy);
}

const char* const kRows = R"(TTestForm Form1 {
  TTestWidget Table {
    Info.Title = "untitled"
    Rows = <
      {
        Label = "first"
        Target = Other
      }
      {
      }
      {
        Label = "third"
      }
    >
  }
  TTestWidget Other {
    Info.Title = "untitled"
  }
}
)";

TEST_F(StreamTest, CollectionsReadItemByItemAndWriteBackTheSame) {
  ReadComponent(*form_, kRows);
  TTestWidget* table = Widget("Table");
  ASSERT_TRUE(table);
  TCollection& rows = table->Rows();
  ASSERT_EQ(rows.Count(), 3);
  auto* first = dynamic_cast<TTestRow*>(rows.Items(0));
  ASSERT_TRUE(first);
  EXPECT_EQ(first->Label(), "first");
  EXPECT_EQ(first->Target(), Widget("Other"));
  EXPECT_EQ(first->Collection(), &rows);
  EXPECT_EQ(rows.Owner(), table);
  EXPECT_EQ(dynamic_cast<TTestRow*>(rows.Items(2))->Label(), "third");
  EXPECT_EQ(WriteComponent(*form_), kRows);
}

TEST_F(StreamTest, AStoredCollectionReplacesTheItemsThereWere) {
  auto* table = New<TTestWidget>(form_);
  table->SetName("Table");
  table->Rows().Add();
  ReadComponent(*table, "TTestWidget Table { Rows = < { Label = \"only\" } > }");
  ASSERT_EQ(table->Rows().Count(), 1);
  EXPECT_EQ(dynamic_cast<TTestRow*>(table->Rows().Items(0))->Label(), "only");
  EXPECT_THROW(table->Rows().Items(1), EConvertError);
}

TEST_F(StreamTest, CollectionsCopyItemByItemAndRefuseOtherSources) {
  ReadComponent(*form_, kRows);
  auto* copy = New<TTestWidget>(form_);
  copy->Rows().Assign(Widget("Table")->Rows());
  ASSERT_EQ(copy->Rows().Count(), 3);
  auto* first = dynamic_cast<TTestRow*>(copy->Rows().Items(0));
  EXPECT_EQ(first->Label(), "first");
  EXPECT_EQ(first->Collection(), &copy->Rows());
  TTestInfo info;
  EXPECT_THROW(first->Assign(info), EConvertError);
}

TEST_F(StreamTest, NoLoadedCallWhenTheStreamFails) {
  EXPECT_THROW(ReadComponent(*form_, "TTestForm F { TTestWidget W { Buddy = Ghost } }"), EReadError);
  for (const auto& entry : Journal()) EXPECT_EQ(entry.find("Loaded"), std::string::npos) << entry;
}

TEST_F(StreamTest, DeeplyNestedObjectsAreRefused) {
  std::string text = "TTestForm F ";
  for (int i = 0; i < 100; ++i) text += "{ TTestWidget W" + std::to_string(i) + " ";
  EXPECT_THROW(ReadComponent(*form_, text), EReadError);
}

}  // namespace
}  // namespace forms_test
