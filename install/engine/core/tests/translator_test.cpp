#include "core/translator.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "controls.h"
#include "core/exceptions.h"
#include "testing/fixtures.h"

namespace install_test {
namespace {

using namespace forms;
using namespace install;

class Translator : public EngineTest {
protected:
  void SetUp() override {
    EngineTest::SetUp();
    translator_ = New<TTranslator>(owner_);
  }
  TLanguage& Language(TQndrLanguage ident) { return *translator_->LanguageByIdent(ident); }
  TTranslator* translator_ = nullptr;
};

std::string ParseError(TLanguage& language, const TStringList& lines) {
  try {
    language.SetStrings(lines);
  } catch (const Exception& error) {
    return error.Message();
  }
  return "";
}

TEST_F(Translator, HasTheTwentyOneLanguagesInOrder) {
  auto languages = translator_->Languages();
  ASSERT_EQ(languages.size(), 21u);
  EXPECT_EQ(languages.front()->LanguageIdent(), qlChineseSimplified);
  EXPECT_EQ(languages.back()->LanguageIdent(), qlVietnamese);
  EXPECT_EQ(translator_->LanguageByIdent(qlUser), nullptr);
  EXPECT_EQ(Language(qlPortugese).ResourceName(), "BM_LANG_PORTUGESE");
  EXPECT_EQ(Language(qlNorwegianNynorsk).TextFileName(), "qndiNorwegianNynorsk.txt");
  EXPECT_EQ(translator_->TranslateIntoLanguage(), qlUser);
  EXPECT_EQ(GlobalTranslator(), translator_);
}

TEST_F(Translator, ParsesOneLineTextsAndBlocks) {
  TLanguage& german = Language(qlGerman);
  german.SetStrings({"12;Hello;World", "* a comment", "", "  13; padded text ;", "#5;ignored",
                     "first line", "*not in the block", "  second line  ", "#", "14;After"});
  ASSERT_TRUE(german.StringByGLID(12));
  EXPECT_EQ(german.StringByGLID(12)->Text, "Hello");
  EXPECT_EQ(german.StringByGLID(13)->Text, " padded text ");
  EXPECT_EQ(german.StringByGLID(14)->LineIndex, 9);
  const TLanguageMemo* memo = german.MemoByGLID(5);
  ASSERT_TRUE(memo);
  EXPECT_EQ(memo->Lines, (TStringList{"first line", "second line"}));
  EXPECT_EQ(memo->LineIndex, 4);
}

TEST_F(Translator, FormatErrorsNameTheLineAndLeaveNoEntries) {
  TLanguage& french = Language(qlFrench);
  EXPECT_EQ(ParseError(french, {"1;ok", "12; "}),
            "The 1'th string (12;) does not have the proper format of GLID;Text");
  EXPECT_EQ(french.StringByGLID(1), nullptr);
  EXPECT_EQ(ParseError(french, {"x;Hi"}),
            "The 0'th string (x;Hi) does not have the proper format of GLID;Text or .GLID;");
  EXPECT_EQ(ParseError(french, {"1;a", "#"}), "Found the end of memo marker # at line 1. Was not in a memo however");
  EXPECT_EQ(ParseError(french, {"#;"}), "The 0'th string (#;) does not have the proper format of GLID;Text");
  EXPECT_EQ(ParseError(french, {"#x;"}),
            "The 0'th string (#x;) does not have the proper format of GLID;Text or .GLID;");
  EXPECT_EQ(ParseError(french, {"7"}), "The 0'th string (7) does not have the proper format of GLID;Text");
}

TEST_F(Translator, LongTextsAreCutAndAnOpenBlockIsDropped) {
  TLanguage& dutch = Language(qlDutch);
  dutch.SetStrings({"1;" + std::string(300, 'a'), "#2;", "dangling"});
  EXPECT_EQ(dutch.StringByGLID(1)->Text.size(), 255u);
  EXPECT_EQ(dutch.MemoByGLID(2), nullptr);
}

TEST_F(Translator, EveryChangeReparsesButDeleteOnlyMovesLineIndexes) {
  TLanguage& czech = Language(qlCzech);
  czech.Strings().Add("1;one");
  czech.Strings().Add("2;two");
  czech.Strings().Insert(0, "3;three");
  EXPECT_EQ(czech.StringByGLID(2)->LineIndex, 2);
  czech.Strings().Delete(0);
  EXPECT_EQ(czech.StringByGLID(2)->LineIndex, 1);
  EXPECT_TRUE(czech.StringByGLID(3));  // not re-parsed
  czech.Strings().Clear();
  EXPECT_EQ(czech.StringByGLID(1), nullptr);
}

TEST_F(Translator, TranslatesThroughTheGLIDOfTheSourceText) {
  Language(qlEnglish).SetStrings({"1;OK", "2;Cancel"});
  Language(qlGerman).SetStrings({"2;Abbrechen", "1;Gut"});
  translator_->SetTranslateIntoLanguage(qlGerman);
  EXPECT_EQ(translator_->TranslateText(qlEnglish, "ok"), "Gut");
  EXPECT_EQ(TranslateString("Cancel"), "Abbrechen");
  EXPECT_EQ(TranslateString("Unknown"), "Unknown");
  EXPECT_EQ(translator_->TranslateByGLID(2, "x"), "Abbrechen");
  EXPECT_EQ(translator_->TranslateByGLID(9, "x"), "x");
  translator_->SetTranslateIntoLanguage(qlKorean);  // no texts: as written
  EXPECT_EQ(TranslateString("Cancel"), "Cancel");
}

TEST_F(Translator, MemosTranslateAsAWhole) {
  Language(qlEnglish).SetStrings({"#4;", "Line one", "Line two", "#"});
  Language(qlSpanish).SetStrings({"#4;", "Linea uno", "#"});
  translator_->SetTranslateIntoLanguage(qlSpanish);
  TStringList out;
  translator_->TranslateMemo(qlEnglish, {"Line one", "Line two"}, out);
  EXPECT_EQ(out, TStringList{"Linea uno"});
  translator_->TranslateMemo(qlEnglish, {"Line one"}, out);
  EXPECT_EQ(out, TStringList{"Line one"});
}

TEST_F(Translator, TranslatedExceptionsFallBackToEnglishWhenSpecifiersDiffer) {
  Language(qlEnglish).SetStrings({"1;Cannot add a blank base helper component to %s", "2;Index %d"});
  Language(qlGerman).SetStrings({"1;Kann keine leere Komponente zu %s hinzufuegen", "2;Index %s"});
  translator_->SetTranslateIntoLanguage(qlGerman);
  EXPECT_EQ(IEInstallContainer("Cannot add a blank base helper component to %s", {std::string("Root")}).Message(),
            "Kann keine leere Komponente zu Root hinzufuegen");
  EXPECT_EQ(IEInstallContainer("Index %d", {int64_t{3}}).Message(), "Index 3");
}

TEST(LanguageIds, MapToLanguages) {
  struct Case {
    uint16_t id;
    TQndrLanguage expected;
  } cases[] = {
      {0x0407, qlGerman},           {0x0807, qlGerman},      {0x0409, qlEnglish},   {0x0809, qlEnglish},
      {0x0404, qlChineseTraditional}, {0x0804, qlChineseSimplified}, {0x0414, qlNorwegianBokmal},
      {0x0814, qlNorwegianNynorsk}, {0x0416, qlPortugese},   {0x0816, qlPortugese}, {0x0419, qlRussian},
      {0x042A, qlVietnamese},       {0x041F, qlEnglish},     {0x040E, qlEnglish},
  };
  for (const auto& c : cases) EXPECT_EQ(LanguageFromLangID(c.id), c.expected) << std::hex << c.id;
}

TEST(LanguageFonts, CharacterSetFaceAndMinimumSize) {
  EXPECT_EQ(FontSettingsOf(qlPortugese).charset, 0);  // Western, so its accents show
  EXPECT_EQ(FontSettingsOf(qlPolish).charset, 238);
  EXPECT_EQ(FontSettingsOf(qlGerman).face, "MS Sans Serif");
  EXPECT_EQ(FontSettingsOf(qlJapanese).min_size, 9);
  EXPECT_EQ(FontSettingsOf(qlKorean).face, "\xB9\xD9\xC5\xC1");
  EXPECT_THROW(FontSettingsOf(qlUser), Exception);
}

class TTestPanel : public TWinControl {
  FORMS_CLASS(TTestPanel)
public:
  TStringList& Items() { return items_; }
  void SetItems(const TStringList& v) { items_.Assign(v); }
  std::string Hint() const { return hint_; }
  void SetHint(const std::string& v) { hint_ = v; }

private:
  TStringList items_;
  std::string hint_;
};

const ClassInfo& TTestPanel::StaticClass() {
  using C = TTestPanel;
  static const ClassInfo info{"TTestPanel", &TWinControl::StaticClass(), nullptr,
                              {StringsProp<C, TStringList>("Items", &C::Items, &C::SetItems),
                               StringProp<C>("Hint", &C::Hint, &C::SetHint)}};
  return info;
}

TEST_F(Translator, TranslatesAComponentAndWhatItOwns) {
  Language(qlEnglish).SetStrings({"1;Next", "2;Back", "3;Choose"});
  Language(qlFrench).SetStrings({"1;Suivant", "2;Retour", "3;Choisir", "9;Par numero"});
  translator_->SetTranslateIntoLanguage(qlFrench);
  auto* page = New<TTestPanel>(owner_);
  page->SetName("Next");  // names are never translated
  page->SetCaption("Next");
  page->SetHint("  ");
  page->SetItems({"Back", "Other"});
  auto* button = New<TTranslateBitBtn>(page);
  button->SetCaption("Back");
  button->SetGLID(9);
  auto* label = New<TTranslateLabel>(page);
  label->SetCaption("Choose");
  auto* fixed = New<TTranslateLabel>(page);
  fixed->SetCaption("Next");
  fixed->SetGLID(-1);  // neither by id nor by text
  EXPECT_EQ(translator_->TranslateComponent(qlEnglish, page), qlFrench);
  EXPECT_EQ(page->Name(), "Next");
  EXPECT_EQ(page->Caption(), "Suivant");
  EXPECT_EQ(page->Items(), (TStringList{"Retour", "Other"}));
  EXPECT_EQ(button->Caption(), "Par numero");
  EXPECT_EQ(label->Caption(), "Choisir");
  EXPECT_TRUE(label->AutoSize());  // off only while it changed
  EXPECT_EQ(fixed->Caption(), "Next");
  EXPECT_TRUE(page->Visible());  // hidden only while it changed
  // From French into Spanish with no Spanish texts: unchanged, still French.
  EXPECT_EQ(TranslateComponentInto(qlFrench, qlSpanish, page), qlFrench);
  EXPECT_EQ(page->Caption(), "Suivant");
  EXPECT_EQ(translator_->TranslateIntoLanguage(), qlFrench);
}

TEST_F(Translator, AppliesTheLanguageFontToAControlAndItsChildren) {
  auto* panel = New<TTestPanel>(owner_);
  auto* child = New<TTestPanel>(owner_);
  child->SetParent(panel);
  child->Font().SetSize(12);
  translator_->SetTranslateIntoLanguage(qlRussian);
  ApplyLanguageFont(panel);  // Russian has no texts: English settings
  EXPECT_EQ(panel->Font().Charset(), 0);
  EXPECT_EQ(panel->Font().Name(), "Arial");
  translator_->ApplyFont(panel, true);
  EXPECT_EQ(child->Font().Charset(), 204);
  EXPECT_EQ(child->Font().Size(), 12);
  Language(qlJapanese).Strings().Add("1;x");
  ApplyLanguageFontFor(qlJapanese, panel);
  EXPECT_EQ(panel->Font().Size(), 9);
  EXPECT_EQ(panel->Font().Charset(), 128);
  Language(qlHebrew).SetFontOverride(true);
  Language(qlHebrew).Font().SetName("Hebrew Face");
  Language(qlHebrew).Strings().Add("1;x");
  ApplyLanguageFontFor(qlHebrew, panel);
  EXPECT_EQ(child->Font().Name(), "Hebrew Face");
  EXPECT_EQ(translator_->TranslateIntoLanguage(), qlRussian);
}

// The user's language as the system reports it (under Wine: by LANG; the
// build runs this test under several). English where nothing else is set.
TEST_F(Translator, UserLanguageFollowsTheSystem) {
  const char* expected = std::getenv("INSTALL_EXPECTED_LANGUAGE");
  ASSERT_TRUE(translator_->UserLanguage());
  EXPECT_EQ(kLanguageNames[translator_->UserLanguage()->LanguageIdent()], expected ? expected : "qlEnglish");
  EXPECT_EQ(translator_->TargetLanguage(), translator_->UserLanguage());
}

TEST_F(Translator, TheGlobalTranslatorGoesWithItsComponent) {
  Free(translator_);
  EXPECT_EQ(GlobalTranslator(), nullptr);
  EXPECT_EQ(TranslateString("Cancel"), "Cancel");
}

}  // namespace
}  // namespace install_test
