#include "core/baseform.h"

#include <gtest/gtest.h>

#include "testing/fixtures.h"

namespace install_test {
namespace {

using namespace forms;
using namespace install;

class BaseForm : public EngineTest {
protected:
  void SetUp() override {
    EngineTest::SetUp();
    translator_ = New<TTranslator>(owner_);
    translator_->LanguageByIdent(qlEnglish)->SetStrings({"1;Welcome", "2;Next"});
    translator_->LanguageByIdent(qlGerman)->SetStrings({"1;Willkommen", "2;Weiter"});
    translator_->LanguageByIdent(qlRussian)->SetStrings({"1;Privet"});
    form_ = New<TBaseQuendricForm>(owner_);
    form_->SetCaption("Welcome");
    form_->Font().SetName("Stored Face");
  }
  TTranslator* translator_ = nullptr;
  TBaseQuendricForm* form_ = nullptr;
};

TEST_F(BaseForm, StartsInEnglishWithTheWesternCharacterSet) {
  EXPECT_EQ(form_->Font().Charset(), 0);
  EXPECT_TRUE(form_->AutoSetFont());
  EXPECT_TRUE(form_->AutoTranslate());
  EXPECT_FALSE(form_->OverrideMainTranslator());
  EXPECT_EQ(form_->TextLanguage(), qlEnglish);
  EXPECT_EQ(form_->TranslateIntoLanguage(), qlUser);
}

TEST_F(BaseForm, FollowsTheGlobalTranslatorAndTranslatesFromItsCurrentTexts) {
  translator_->SetTranslateIntoLanguage(qlGerman);
  form_->UpdateLanguage();
  EXPECT_EQ(form_->Caption(), "Willkommen");
  EXPECT_EQ(form_->TextLanguage(), qlGerman);
  EXPECT_EQ(form_->Font().Name(), "MS Sans Serif");
  // The next translation starts from the German texts.
  translator_->SetTranslateIntoLanguage(qlRussian);
  form_->ApplyFontAndTranslation();
  EXPECT_EQ(form_->Caption(), "Privet");
  EXPECT_EQ(form_->TextLanguage(), qlRussian);
  EXPECT_EQ(form_->Font().Charset(), 204);
}

TEST_F(BaseForm, OverrideFollowsItsOwnLanguage) {
  translator_->SetTranslateIntoLanguage(qlRussian);
  form_->SetOverrideMainTranslator(true);
  form_->SetTranslateIntoLanguage(qlGerman);
  form_->ApplyFontAndTranslation();
  EXPECT_EQ(form_->Caption(), "Willkommen");
  EXPECT_EQ(form_->Font().Name(), "MS Sans Serif");
  EXPECT_EQ(translator_->TranslateIntoLanguage(), qlRussian);
}

TEST_F(BaseForm, WithoutAutomaticFontAndTranslationNothingChanges) {
  translator_->SetTranslateIntoLanguage(qlGerman);
  form_->SetAutoSetFont(false);
  form_->SetAutoTranslate(false);
  form_->ApplyFontAndTranslation();
  EXPECT_EQ(form_->Caption(), "Welcome");
  EXPECT_EQ(form_->Font().Name(), "Stored Face");
  EXPECT_EQ(form_->TextLanguage(), qlEnglish);
}

}  // namespace
}  // namespace install_test
