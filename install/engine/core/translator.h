// The translator: 21 user-interface languages, each holding its texts as
// lines "GLID;Text" and multi-line blocks "#GLID;" ... "#", keyed by an
// integer text id (GLID). An English text is translated by finding its GLID
// in the source language and the text of that GLID in the target language;
// whatever is missing leaves the text as written. The first translator made
// is the global one that TranslateString and the translated exceptions use.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "classes.h"
#include "font.h"
#include "stdctrls.h"

namespace install {

enum TQndrLanguage : uint8_t {
  qlChineseSimplified, qlChineseTraditional, qlCzech, qlDanish, qlDutch, qlEnglish, qlFrench,
  qlGerman, qlGreek, qlHebrew, qlItalian, qlJapanese, qlKorean, qlNorwegianBokmal,
  qlNorwegianNynorsk, qlPolish, qlPortugese, qlRussian, qlSpanish, qlSwedish, qlUser, qlVietnamese
};
extern const std::vector<std::string> kLanguageNames;

// The language of a Windows language id; unlisted languages are English.
TQndrLanguage LanguageFromLangID(uint16_t id);

// Character set, face and minimum size of a language's forms.
struct LanguageFontSettings {
  uint8_t charset;
  std::string face;
  int32_t min_size;
};
// Raises forms::Exception "Unrecognized language" for qlUser.
LanguageFontSettings FontSettingsOf(TQndrLanguage language);

class TLanguage;

class TLanguageElement {
public:
  TLanguageElement(int32_t glid, TLanguage* language, int32_t line)
      : GLID(glid), Language(language), LineIndex(line) {}
  virtual ~TLanguageElement() = default;
  int32_t GLID;
  TLanguage* Language;
  int32_t LineIndex;  // the entry's first line in the language's Strings
};

class TLanguageString : public TLanguageElement {
public:
  static constexpr size_t kMaxLength = 255;
  TLanguageString(int32_t glid, TLanguage* language, int32_t line, const std::string& text)
      : TLanguageElement(glid, language, line), Text(text.substr(0, kMaxLength)) {}
  std::string Text;
};

class TLanguageMemo : public TLanguageElement {
public:
  TLanguageMemo(int32_t glid, TLanguage* language, int32_t line, forms::TStringList lines)
      : TLanguageElement(glid, language, line), Lines(std::move(lines)) {}
  forms::TStringList Lines;
};

// The raw lines of one language: every change re-parses the language.
class TLangFormatStrings : public forms::TStringList {
public:
  explicit TLangFormatStrings(TLanguage& language) : language_(language) {}
  int Add(const std::string& line) override;
  void AddStrings(const forms::TStringList& other) override;
  void Insert(int index, const std::string& line) override;
  void Move(int from, int to) override;
  void Clear() override;
  void SetText(const std::string& text) override;
  // One parse after the whole change, also when the parse fails.
  void Assign(const forms::TStringList& other) override;
  // No parse: the string entries after the line move up by one.
  void Delete(int index) override;

private:
  void Reparse();
  TLanguage& language_;
};

class TTranslator;

class TLanguage : public forms::TPersistent {
  FORMS_CLASS(TLanguage)
public:
  TLanguage(TTranslator* translator, std::string resource_name, std::string file_name,
            TQndrLanguage ident);

  TTranslator* Translator() const { return translator_; }
  TQndrLanguage LanguageIdent() const { return ident_; }
  const std::string& ResourceName() const { return resource_name_; }
  const std::string& TextFileName() const { return file_name_; }
  forms::TFont& Font() { return font_; }
  void SetFont(const forms::TFont& font) { font_.Assign(font); }
  bool FontOverride() const { return font_override_; }
  void SetFontOverride(bool v) { font_override_ = v; }
  TLangFormatStrings& Strings() { return strings_; }
  void SetStrings(const forms::TStringList& lines) { strings_.Assign(lines); }

  // Parses Strings into entries; on a format error no entry is left and the
  // error passes on.
  void ParseStrings();
  bool ParsingEnabled() const { return parsing_enabled_; }
  void SetParsingEnabled(bool v) { parsing_enabled_ = v; }

  const TLanguageString* StringByGLID(int32_t glid) const;
  const TLanguageMemo* MemoByGLID(int32_t glid) const;
  // The first entry whose text equals text, ignoring case.
  const TLanguageString* StringByText(const std::string& text) const;
  // The first memo whose whole text equals that of lines exactly.
  const TLanguageMemo* MemoByText(const forms::TStringList& lines) const;
  std::vector<std::unique_ptr<TLanguageString>>& StringEntries() { return string_entries_; }

private:
  void ParseInto();

  TTranslator* translator_;
  std::string resource_name_;
  std::string file_name_;
  forms::TFont font_;
  bool font_override_ = false;
  std::vector<std::unique_ptr<TLanguageMemo>> memo_entries_;
  std::vector<std::unique_ptr<TLanguageString>> string_entries_;
  TQndrLanguage ident_;
  TLangFormatStrings strings_;
  bool parsing_enabled_ = true;
};

class TTranslator : public forms::TComponent {
  FORMS_CLASS(TTranslator)
public:
  void Create(forms::TComponent* owner) override;
  void Destroy() override;

  TQndrLanguage TranslateIntoLanguage() const { return translate_into_; }
  void SetTranslateIntoLanguage(TQndrLanguage language);
  void SetOnChange(std::function<void()> handler) { on_change_ = std::move(handler); }

  TLanguage* LanguageByIdent(TQndrLanguage language) const;
  // The language of the user's Windows settings (none on a failure).
  TLanguage* UserLanguage() const;
  TLanguage* TargetLanguage() const;
  std::string TranslateText(TQndrLanguage source, const std::string& text) const;
  std::string TranslateByGLID(int32_t glid, const std::string& text) const;
  void TranslateMemo(TQndrLanguage source, const forms::TStringList& lines, forms::TStringList& out) const;
  // Translates the component's published texts and those of the components
  // it owns (forms excepted); returns the language the texts are in now.
  TQndrLanguage TranslateComponent(TQndrLanguage source, forms::TComponent* component);
  TQndrLanguage TranslateComponentInto(TQndrLanguage source, TQndrLanguage target,
                                       forms::TComponent* component);
  // The target language's font settings on the object and everything it
  // holds (see ApplyFontToObject).
  void ApplyFont(forms::TPersistent* control, bool force);
  void ApplyFontFor(TQndrLanguage language, forms::TPersistent* control);

  std::vector<TLanguage*> Languages() const;

private:
  void TranslateTexts(TQndrLanguage source, forms::TComponent* component);
  TLanguage& LanguageField(TQndrLanguage language);

  TQndrLanguage translate_into_ = qlUser;
  std::function<void()> on_change_;
  std::vector<std::unique_ptr<TLanguage>> languages_;  // enumeration order, no qlUser
};

// A label and a button translated by their text id when GLID is above 0.
class TTranslateLabel : public forms::TLabel {
  FORMS_CLASS(TTranslateLabel)
public:
  int32_t GLID() const { return glid_; }
  void SetGLID(int32_t v) { glid_ = v; }

private:
  int32_t glid_ = 0;
};

class TTranslateBitBtn : public forms::TBitBtn {
  FORMS_CLASS(TTranslateBitBtn)
public:
  int32_t GLID() const { return glid_; }
  void SetGLID(int32_t v) { glid_ = v; }

private:
  int32_t glid_ = 0;
};

TTranslator* GlobalTranslator();
std::string TranslateString(const std::string& text);
TQndrLanguage TranslateComponent(TQndrLanguage source, forms::TComponent* component);
TQndrLanguage TranslateComponentInto(TQndrLanguage source, TQndrLanguage target,
                                     forms::TComponent* component);
void ApplyLanguageFont(forms::TPersistent* control);
void ApplyLanguageFontFor(TQndrLanguage language, forms::TPersistent* control);

// The user's Windows language id (0x0409 where the system has none).
uint16_t UserDefaultLangID();

}  // namespace install
